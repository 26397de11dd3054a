#include "app/ostrel/LoadedImage.h"

namespace ostrel {

firmware::ImageCheckState imageCheck;

}  // namespace ostrel
