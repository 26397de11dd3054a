#pragma once
// libusb's error codes as the driver's status codes, and the time-outs it is given.
#include <cstdint>

namespace drv {

// One table for every libusb call of the bus: a time-out stays a time-out, a device that
// has gone is kDeviceNotFound, a stalled endpoint is a USBD stall, and whatever the
// table does not know is kOperationFailed.
uint32_t StatusFromLibusb(int libusbError);

// The real milliseconds libusb waits for a time-out given in clock milliseconds: the
// same number at the shipped programs' clock speed of 1, shorter under a fast test
// clock. 0 (no limit) stays 0; a limit never rounds down to "no limit".
unsigned int LibusbTimeout(uint32_t clockMs);

}  // namespace drv
