#pragma once
// The check results of the firmware image the user loaded (imageValid, the flash table
// copies, imageRelease): written by the file load, read by the status tick (Start is
// enabled only for a valid image) and by the flash job.
#include "app/firmware/FirmwareImage.h"

namespace ostrel {

extern firmware::ImageCheckState imageCheck;
// The last check read the image as layout 2 (a 0x7616 projector was identified then).
extern bool imageCheckedAsLayout2;

}  // namespace ostrel
