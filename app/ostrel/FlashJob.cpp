#include "app/ostrel/FlashJob.h"

namespace ostrel {

FlashJobRecord FlashJob;

void ResetFlashJob() {
    FlashJob.file = nullptr;
    FlashJob.position = 0;
    FlashJob.total = 0;
    FlashJob.checksum = 0;
    FlashJob.busy = false;
    FlashJob.eraseDone = false;
    FlashJob.writeDone = false;
    FlashJob.writeComplete = false;
    FlashJob.state = JobState::Idle;
    FlashJob.writeStartTime = 0;
}

}  // namespace ostrel
