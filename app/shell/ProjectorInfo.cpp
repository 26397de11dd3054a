#include "app/shell/ProjectorInfo.h"

namespace shell {

bool infoShown = false;
uint32_t deviceRelease = 0;
bool logoReady = false;
uint32_t logoAddress = 0;
uint32_t unitLife = 0;
uint32_t displayWidth = kDefaultDisplayWidth;
uint32_t displayHeight = kDefaultDisplayHeight;

void ResetProjectorInfo() {
    infoShown = false;
    deviceRelease = 0;
    logoReady = false;
    logoAddress = 0;
    unitLife = 0;
    displayWidth = kDefaultDisplayWidth;
    displayHeight = kDefaultDisplayHeight;
}

}  // namespace shell
