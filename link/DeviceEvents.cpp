// The attach and detach callbacks of the USB connection, run on the library's notifier
// thread one event after another.
#include <algorithm>
#include <new>

#include "link/DeviceRecords.h"
#include "link/DriverTrace.h"
#include "link/UsbConnection.h"

namespace lnk {
namespace {

constexpr size_t kDeviceDescriptorSize = 18;
constexpr size_t kStringDescriptorSize = 64;
constexpr uint8_t kStringDescriptorType = 3;

class ContextLock {
  public:
    explicit ContextLock(LinkContextRecord& context) : lock_(context.lock) {
        usb::OsMutexLock(lock_);
    }
    ~ContextLock() { usb::OsMutexUnlock(lock_); }
    ContextLock(const ContextLock&) = delete;
    ContextLock& operator=(const ContextLock&) = delete;

  private:
    usb::OsMutex* lock_;
};

const usb::AlternateSetting* ActiveSetting(const usb::DeviceInfo* info) {
    if (info->activeInterfaceCount == 0 || info->activeInterfaces == nullptr) {
        return nullptr;
    }
    return info->activeInterfaces[0].activeAlternateSetting;
}

int FindEntry(uint16_t vendorId, uint16_t productId) {
    for (size_t i = 0; i < myDevice.size(); ++i) {
        if (myDevice[i].vendorId == vendorId && myDevice[i].productId == productId) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// A control transfer on the current device with the context's lock held around it.
uint32_t ReadDescriptor(LinkContextRecord& context, const uint8_t (&setup)[8], uint8_t* buffer,
                        uint32_t length, uint32_t* done) {
    ContextLock lock(context);
    *done = 0;
    return usb::WDU_ControlTransfer(currentDevice.handle.load(), 1, 0, buffer, length, done, setup,
                                    kDescriptorTimeoutMs);
}

// The string of a string descriptor: the low byte of each UTF-16 code unit after the
// two-byte header, at most 31 of them, ending at a zero unit.
std::string DescriptorString(const uint8_t* bytes, uint32_t received) {
    std::string text;
    const size_t units = (std::min<size_t>(received, kStringDescriptorSize) - 2) / 2;
    for (size_t i = 0; i < units && text.size() < kIdentityStringLength; ++i) {
        const uint8_t low = bytes[2 + 2 * i];
        if (low == 0) {
            break;
        }
        text.push_back(static_cast<char>(low));
    }
    return text;
}

// Reads the device descriptor and the three identity strings. False when a read fails;
// the strings read before the failure stay.
bool ReadIdentity(LinkContextRecord& context) {
    uint8_t descriptor[kDeviceDescriptorSize]{};
    uint32_t done = 0;
    const uint8_t deviceSetup[8]{0x80, 0x06, 0x00, 0x01, 0x00, 0x00, kDeviceDescriptorSize, 0x00};
    if (ReadDescriptor(context, deviceSetup, descriptor, kDeviceDescriptorSize, &done) != 0) {
        return false;
    }
    const struct {
        size_t indexByte;
        std::string IdentityStrings::*string;
    } strings[] = {{14, &IdentityStrings::manufacturer},
                   {15, &IdentityStrings::product},
                   {16, &IdentityStrings::serial}};
    for (const auto& s : strings) {
        const uint8_t setup[8]{0x80, 0x06, descriptor[s.indexByte], 0x03,
                               0x09, 0x04, kStringDescriptorSize,   0x00};
        uint8_t answer[kStringDescriptorSize]{};
        if (ReadDescriptor(context, setup, answer, kStringDescriptorSize, &done) != 0) {
            return false;
        }
        if (done >= 2 && answer[1] == kStringDescriptorType) {
            SetAttachedString(s.string, DescriptorString(answer, done));
        }
    }
    return true;
}

void RefuseListedRecord(LinkContextRecord& context, AttachedDevice* record) {
    ContextLock lock(context);
    record->refused = true;
    if (context.activeDevice == record) {
        context.activeDevice = nullptr;
    }
}

// Interface 1 is never taken; interface 0 is selected instead. A projector in Ostrel mode
// shows only then, so it still counts as attached.
int RejectInterfaceOne(usb::DeviceContext* device, uint16_t vendorId, uint16_t productId,
                       uint32_t iface, uint8_t serialIndex) {
    interfaceNumber = 0;
    DriverTraceF(
        "DeviceAttach: received but REJECTED attach for\nVID:0x%x, PID:0x%x, interface %ld, "
        "device handle %p\n",
        vendorId, productId, static_cast<long>(iface), static_cast<void*>(device));
    if (usb::WDU_SetInterface(device, 0, 0) == 0) {
        DriverTrace("\nDeviceAttach: SetInterface 0\n");
    } else {
        DriverTrace("\nDeviceAttach: SetIinterface 0 FAIL!\n");
    }
    if (serialIndex == kOstrelModeSerialIndex) {
        ostrelMode = true;
        identityShown = false;
        attached = true;
    } else {
        ostrelMode = false;
    }
    return 0;
}

}  // namespace

int DeviceAttach(usb::DeviceContext* device, usb::DeviceInfo* info, void* context) {
    attached = false;
    DriverTrace("\n<USBMain:DeviceAttach>\n");
    auto* link = static_cast<LinkContextRecord*>(context);
    const usb::AlternateSetting* setting = info != nullptr ? ActiveSetting(info) : nullptr;
    if (link == nullptr || setting == nullptr) {
        return 0;
    }
    const uint32_t iface = setting->descriptor.bInterfaceNumber;
    const uint32_t alternate = setting->descriptor.bAlternateSetting;
    const uint16_t vendorId = info->deviceDescriptor.idVendor;
    const uint16_t productId = info->deviceDescriptor.idProduct;
    const uint8_t serialIndex = info->deviceDescriptor.iSerialNumber;

    const int match = FindEntry(vendorId, productId);
    if (match >= 0) {
        matchIndex = match;
        attachedVendorId = myDevice[static_cast<size_t>(match)].vendorId;
        attachedProductId = myDevice[static_cast<size_t>(match)].productId;
        serialNumberIndex = serialIndex;
        interfaceNumber = static_cast<uint16_t>(iface);
    }
    // A device that matches no entry is refused even after an earlier projector matched.
    if (match < 0 || attachedVendorId == 0) {
        DriverTraceF("\nDeviceAttach: VID=0x%04X PID=0x%04X but not in myDevice list!\n", vendorId,
                     productId);
        return 0;
    }
    if (iface == 1) {
        return RejectInterfaceOne(device, vendorId, productId, iface, serialIndex);
    }
    DriverTraceF(
        "DeviceAttach: received and accepted attach for\nVID:0x%x, PID:0x%x, interface %ld, "
        "device handle %p\n",
        vendorId, productId, static_cast<long>(iface), static_cast<void*>(device));

    auto* record = new (std::nothrow)
        AttachedDevice{nullptr, device, vendorId, productId, iface, alternate, false};
    if (record == nullptr) {
        return 0;
    }
    if (iface == 0) {
        currentDevice.handle = device;
        currentDevice.vendorId = vendorId;
        currentDevice.productId = productId;
        currentDevice.interfaceNumber = iface;
        currentDevice.alternateSetting = alternate;
    }
    uint32_t count = 0;
    {
        ContextLock lock(*link);
        AppendRecord(*link, record);
        count = link->deviceCount;
    }
    usb::OsEventSignal(link->event);
    DriverTraceF("DeviceAttach: DeviceCount:%ld Handle keeps as %p interface:%ld\n",
                 static_cast<long>(count), static_cast<void*>(currentDevice.handle.load()),
                 static_cast<long>(currentDevice.interfaceNumber.load()));

    usb::DeviceContext* activeHandle = nullptr;
    uint32_t activeInterface = 0;
    {
        ContextLock lock(*link);
        if (link->deviceCount == 0) {
            DriverTrace("\nDeviceAttach: DeviceCount not zero\n");
            return 0;
        }
        if (link->activeDevice == nullptr) {
            link->activeDevice = FirstUsableRecord(*link);
            if (link->activeDevice != nullptr) {
                DriverTraceF("\nDeviceAttach: Active Device %p\n",
                             static_cast<void*>(link->activeDevice->handle));
            }
        }
        if (link->activeDevice != nullptr) {
            activeHandle = link->activeDevice->handle;
            activeInterface = link->activeDevice->interfaceNumber;
        }
    }
    if (activeHandle == nullptr) {
        DriverTrace("\nDeviceAttach: No Active Device!\n");
        return 0;
    }
    usb::WDU_SetInterface(device, activeInterface, 0);
    DriverTraceF("\nDeviceAttach: Set Interface %d at handle %p\n",
                 static_cast<int>(activeInterface), static_cast<void*>(activeHandle));

    if (!ReadIdentity(*link)) {
        RefuseListedRecord(*link, record);
        return 0;
    }
    ostrelMode = serialNumberIndex.load() == kOstrelModeSerialIndex;
    identityShown = false;
    attached = true;
    return 1;
}

void DeviceDetach(usb::DeviceContext* device, void* context) {
    DriverTraceF("\nDeviceDetach: receive detach for device handle %p\n",
                 static_cast<void*>(device));
    auto* link = static_cast<LinkContextRecord*>(context);
    if (link == nullptr || link->lock == nullptr) {
        return;
    }
    bool activeDetached = false;
    {
        ContextLock lock(*link);
        AttachedDevice* record = FindRecord(*link, device);
        if (record == nullptr) {
            return;  // a device this connection never listed
        }
        if (record == link->activeDevice) {
            activeDetached = true;
            attached = false;
            link->activeDevice = nullptr;
            DriverTraceF("\nDeviceDetach: active device %p detached\n", static_cast<void*>(device));
        }
        RemoveRecord(*link, record);
    }
    if (activeDetached) {
        DriverTraceF("DeviceDetach: received detach for device handle %p============\n",
                     static_cast<void*>(device));
    }
}

std::vector<AttachedDevice> ConnectionRecords() {
    if (LinkContext.lock == nullptr) {
        return DeviceRecords(LinkContext);
    }
    ContextLock lock(LinkContext);
    return DeviceRecords(LinkContext);
}

}  // namespace lnk
