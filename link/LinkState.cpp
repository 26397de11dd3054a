#include "link/LinkState.h"

#include <mutex>

namespace lnk {

std::array<DeviceEntry, kDeviceEntries> myDevice{};
LinkContextRecord LinkContext{};
CurrentDeviceRecord currentDevice{};

std::atomic<bool> driverOpen{false};
std::atomic<bool> usbOpen{false};
std::atomic<bool> attached{false};
std::atomic<bool> ostrelMode{false};
std::atomic<bool> identityShown{false};
std::atomic<bool> model7616{false};

std::atomic<int> matchIndex{0};
std::atomic<uint16_t> attachedVendorId{0};
std::atomic<uint16_t> attachedProductId{0};
std::atomic<uint16_t> serialNumberIndex{0};
std::atomic<uint16_t> interfaceNumber{0};

std::atomic<usb::DriverContext*> libraryHandle{nullptr};
std::atomic<drv::Handle> driverHandle{drv::kNoHandle};

namespace {
std::mutex stringsMutex;
IdentityStrings strings;
}  // namespace

IdentityStrings AttachedStrings() {
    std::lock_guard lock(stringsMutex);
    return strings;
}

void SetAttachedString(std::string IdentityStrings::*which, std::string value) {
    std::lock_guard lock(stringsMutex);
    strings.*which = std::move(value);
}

std::string AttachedDescription() {
    const int index = matchIndex.load();
    if (index < 0 || static_cast<size_t>(index) >= myDevice.size()) {
        return {};
    }
    return myDevice[static_cast<size_t>(index)].name;
}

}  // namespace lnk
