#include "app/ostrel/LoadedImage.h"

namespace ostrel {

firmware::ImageCheckState imageCheck;
bool imageCheckedAsLayout2 = false;

}  // namespace ostrel
