#pragma once
#include <cstdint>

namespace usb {

// The fixed English text of a status code; "Unrecognized error code" for codes
// without a row. The text lives as long as the program.
const char* StatusText(uint32_t status);

}  // namespace usb
