#pragma once
// The one USB connection of a program run: reads the `.USB` file, opens the link's own
// driver handle, starts the USB library with the accepted projectors and follows their
// attach and detach events; carries every command over bulk pipes 0x01 and 0x81.
#include <cstdint>
#include <vector>

#include "link/LinkState.h"
#include "usb/Wdu.h"

namespace lnk {

constexpr uint32_t kWritePipe = 0x01;
constexpr uint32_t kReadPipe = 0x81;
constexpr uint32_t kPipeTimeoutMs = 30000;
constexpr uint32_t kDescriptorTimeoutMs = 10000;
// The serial-number string index by which a projector shows it runs in Ostrel mode.
constexpr uint8_t kOstrelModeSerialIndex = 3;

// Opens the link; true when the library runs. Without a `.USB` file it shows "No INI file
// found! USB will not work!" and returns false. Without the kernel driver it shows "USB
// WinDriver not installed!" and ends the program with exit code 1.
bool myUSBopen();

// Stops the library (no callback runs after it), frees the connection's device records,
// closes the event, the lock and the driver handle. Closes only what exists. Always true.
bool MyUSBclose();

// The library's callbacks, run on its notifier thread. `context` is &LinkContext.
int DeviceAttach(usb::DeviceContext* device, usb::DeviceInfo* info, void* context);
void DeviceDetach(usb::DeviceContext* device, void* context);

// Bulk transfers on the current device, 30 s time-out each. USBReadPipe reads at most 64
// bytes into `buffer` (which holds 64 or more) and sets `received` (0 when nothing came).
uint32_t USBWritePipe(uint32_t pipe, const uint8_t* bytes, uint32_t count);
uint32_t USBReadPipe(uint32_t pipe, uint8_t* buffer, uint32_t* received);

// A copy of the connection's device records, in list order (taken under the lock).
std::vector<AttachedDevice> ConnectionRecords();

}  // namespace lnk
