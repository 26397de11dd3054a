#include "link/UsbConnection.h"

#include "link/DeviceRecords.h"
#include "link/DriverTrace.h"
#include "link/UsbConfig.h"
#include "platform/drv/Drv.h"
#include "platform/vcl/core/IniFile.h"
#include "platform/vcl/core/MessageBox.h"
#include "platform/vcl/core/Paths.h"
#include "platform/vcl/core/Program.h"

namespace lnk {
namespace {

bool IsLibraryHandle(usb::DriverContext* handle) {
    return handle != nullptr && handle != usb::kNoDriverContext;
}

void CloseDriverHandle() {
    if (driverOpen.exchange(false)) {
        drv::DrvClose(driverHandle.exchange(drv::kNoHandle));
    }
}

// Closes the event and the lock of a context that no callback can reach any more.
void CloseContextObjects() {
    if (LinkContext.event != nullptr) {
        usb::OsEventClose(LinkContext.event);
        LinkContext.event = nullptr;
        DriverTrace("\n<USBmain:MyUSBclose OsEventClose> Eventtable removed!-----------\n");
    }
    if (LinkContext.lock != nullptr) {
        usb::OsMutexClose(LinkContext.lock);
        LinkContext.lock = nullptr;
    }
}

void ClearCurrentDevice() {
    currentDevice.handle = nullptr;
    currentDevice.vendorId = 0;
    currentDevice.productId = 0;
    currentDevice.interfaceNumber = 0;
    currentDevice.alternateSetting = 0;
}

}  // namespace

bool myUSBopen() {
    // A second open while the library runs would start a second notifier on the same
    // context; the link stays as it is.
    if (usbOpen.load()) {
        return true;
    }
    const std::string configPath = UsbConfigPath();
    if (!vcl::FileExists(configPath)) {
        vcl::MessageBox("No INI file found! USB will not work!", "INI open error");
        return false;
    }
    AddConfiguredDevices(vcl::TIniFile(configPath), myDevice);

    // Leftovers of an earlier open that failed half-way are closed, not leaked.
    CloseDriverHandle();
    CloseContextObjects();

    const drv::Handle handle = drv::DrvOpen();
    if (handle == drv::kNoHandle) {
        vcl::MessageBox("USB WinDriver not installed!", "myUSBopen");
        vcl::Halt(1);
    }
    driverHandle = handle;
    driverOpen = true;
    FreeDeviceRecords(LinkContext);
    LinkContext = LinkContextRecord{};
    ClearCurrentDevice();

    if (usb::OsEventCreate(&LinkContext.event) != 0 || usb::OsMutexCreate(&LinkContext.lock) != 0) {
        return false;
    }

    usb::MatchEntry table[kDeviceEntries]{};
    for (size_t i = 0; i < kDeviceEntries; ++i) {
        table[i].vendorId = myDevice[i].vendorId;
        table[i].productId = myDevice[i].productId;
    }
    const usb::EventTable events{DeviceAttach, DeviceDetach, nullptr, &LinkContext};
    usb::DriverContext* library = nullptr;
    const uint32_t status =
        usb::WDU_Init(&library, table, kDeviceEntries, &events, usb::kAcknowledge);
    if (status != 0) {
        return false;
    }
    libraryHandle = library;
    usbOpen = true;
    return true;
}

bool MyUSBclose() {
    // The library is stopped first: WDU_Uninit joins the notifier thread, so no attach or
    // detach callback can touch the event, the lock or the records closed below.
    usb::DriverContext* library = libraryHandle.exchange(nullptr);
    if (IsLibraryHandle(library)) {
        usb::WDU_Uninit(library);
        DriverTrace("\n<USBmain:MyUSBclose WDU_Uninit> WDU uninstalled!----------------\n");
    }
    // The library removes its devices without detach callbacks; their records go here.
    FreeDeviceRecords(LinkContext);
    CloseContextObjects();
    CloseDriverHandle();
    usbOpen = false;
    attached = false;
    return true;
}

uint32_t USBWritePipe(uint32_t pipe, const uint8_t* bytes, uint32_t count) {
    uint32_t done = 0;
    // The library takes one buffer type for both directions; a write only reads it.
    return usb::WDU_PipeTransfer(currentDevice.handle.load(), pipe, 0, 0,
                                 const_cast<uint8_t*>(bytes), count, &done, nullptr,
                                 kPipeTimeoutMs);
}

uint32_t USBReadPipe(uint32_t pipe, uint8_t* buffer, uint32_t* received) {
    *received = 0;
    return usb::WDU_PipeTransfer(currentDevice.handle.load(), pipe, 1, 0, buffer, 64, received,
                                 nullptr, kPipeTimeoutMs);
}

}  // namespace lnk
