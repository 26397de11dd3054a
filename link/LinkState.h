#pragma once
// The program-global state of the projector link: the table of accepted projectors, the
// connection's device list, the device every transfer goes to, the connection flags and
// the identity of the attached projector.
//
// Threads: the attach and detach callbacks write on the USB library's notifier thread; the
// window thread and the flash writer thread poll. Every value shared that way is an atomic
// (single writer, read without a lock, a value one tick old is fine) or, for the identity
// strings, copied out under a lock. The device list belongs to LinkContext and is guarded
// by its lock.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/drv/Drv.h"
#include "usb/Os.h"
#include "usb/Wdu.h"

namespace lnk {

constexpr size_t kDeviceEntries = 32;
constexpr size_t kDescriptionLength = 25;     // characters of a myDevice name
constexpr size_t kIdentityStringLength = 31;  // characters of a descriptor string kept
constexpr uint16_t kFreeVendorId = 0xDEAD;    // this vendor and product mark a free entry
constexpr uint16_t kFreeProductId = 0xBEEF;
constexpr char kNewDeviceName[] = "NEW USB Device           ";

// One accepted projector: its USB identifiers and its description (the DMD resolution).
struct DeviceEntry {
    uint16_t vendorId = kFreeVendorId;
    uint16_t productId = kFreeProductId;
    char name[kDescriptionLength + 1] = "NEW USB Device           ";

    bool IsFree() const { return vendorId == kFreeVendorId && productId == kFreeProductId; }
};

// Filled by myUSBopen on the window thread while the library is stopped, read by the
// attach callback and the windows; entries are never emptied again.
extern std::array<DeviceEntry, kDeviceEntries> myDevice;

// One accepted interface of a projector, kept by the connection until its detach.
struct AttachedDevice {
    AttachedDevice* next = nullptr;
    usb::DeviceContext* handle = nullptr;
    uint32_t vendorId = 0;
    uint32_t productId = 0;
    uint32_t interfaceNumber = 0;
    uint32_t alternateSetting = 0;
    // Set when the attach that made this record failed after listing it: the library has
    // already dropped the device, so no detach will come for it and it must never become
    // the active device.
    bool refused = false;
};

// The context handed to the library's callbacks. `lock` guards count, list and active.
struct LinkContextRecord {
    usb::OsEvent* event = nullptr;  // signalled after each added device
    usb::OsMutex* lock = nullptr;
    uint32_t deviceCount = 0;
    AttachedDevice* deviceList = nullptr;  // new records at the tail
    AttachedDevice* activeDevice = nullptr;
};
extern LinkContextRecord LinkContext;

// The device of the most recent accepted attach on interface 0: every transfer and every
// descriptor read uses its handle. Detach leaves it, so transfers after an unplug fail
// with "Device not found" (0x2000000F).
struct CurrentDeviceRecord {
    std::atomic<usb::DeviceContext*> handle{nullptr};
    std::atomic<uint32_t> vendorId{0};
    std::atomic<uint32_t> productId{0};
    std::atomic<uint32_t> interfaceNumber{0};
    std::atomic<uint32_t> alternateSetting{0};
};
extern CurrentDeviceRecord currentDevice;

// Connection flags.
extern std::atomic<bool> driverOpen;  // the link's own driver handle is open
extern std::atomic<bool> usbOpen;     // the library runs
extern std::atomic<bool> attached;    // a projector is attached and its identity read
extern std::atomic<bool> ostrelMode;  // the projector names serial-number string index 3
// The window's flag that the identity lines are up to date; every attach clears it.
extern std::atomic<bool> identityShown;
// The attached product is 0x7616; written by the window when it shows the identity.
extern std::atomic<bool> model7616;

// Identity of the attached projector (kept after a detach). The attached vendor id is 0
// until the first match.
extern std::atomic<int> matchIndex;
extern std::atomic<uint16_t> attachedVendorId;
extern std::atomic<uint16_t> attachedProductId;
extern std::atomic<uint16_t> serialNumberIndex;
extern std::atomic<uint16_t> interfaceNumber;

// The descriptor strings of the attached projector, at most 31 characters each. Each
// character is the low byte of the descriptor's UTF-16 code unit (Latin-1).
struct IdentityStrings {
    std::string manufacturer;
    std::string product;
    std::string serial;
};
IdentityStrings AttachedStrings();
void SetAttachedString(std::string IdentityStrings::*which, std::string value);

// The description of the matched myDevice entry, blanks included.
std::string AttachedDescription();

// The library handle and the link's own driver handle.
extern std::atomic<usb::DriverContext*> libraryHandle;
extern std::atomic<drv::Handle> driverHandle;

}  // namespace lnk
