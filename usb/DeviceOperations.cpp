// Operations on one attached device, named by its handle. Each starts with the same
// check: the handle must be in DevList. What the request needs of the device is copied
// during that check; the device record itself is not touched afterwards without the
// lock, because a detach on the notifier thread may free it at any moment.
#include <cstdlib>
#include <cstring>

#include "usb/Hooks.h"
#include "usb/Library.h"
#include "usb/StatusText.h"

namespace usb {
namespace {

// The DevList check: a null handle, or one DevList does not hold for whatever reason
// (the lock could not be had included), is a device that is not there.
bool CheckDevice(DeviceContext* device, DeviceSnapshot* snapshot) {
    return device != nullptr && FindDeviceByCtx(device, snapshot) == drv::kSuccess;
}

}  // namespace

uint32_t WDU_GetDeviceInfo(DeviceContext* device, DeviceInfo** info) {
    DeviceSnapshot snapshot;
    if (!CheckDevice(device, &snapshot)) {
        return drv::kDeviceNotFound;
    }
    drv::DeviceDataRecord data{};
    data.dwUniqueID = snapshot.dwUniqueID;
    uint32_t status =
        drv::DrvCall(drv::DrvGetDeviceData, snapshot.driverHandle, &data, sizeof(data), false);
    if (status != drv::kSuccess) {
        return status;
    }
    void* block = std::malloc(data.size);
    if (block == nullptr) {
        ErrorHook("WDU_GetDeviceInfo: cannot alloc memory\n");
        *info = nullptr;
        return drv::kInsufficientResources;
    }
    data.buffer = block;
    status = drv::DrvCall(drv::DrvGetDeviceData, snapshot.driverHandle, &data, sizeof(data), false);
    if (status != drv::kSuccess) {
        std::free(block);
        *info = nullptr;
        return status;
    }
    *info = static_cast<DeviceInfo*>(block);
    return drv::kSuccess;
}

void WDU_ReleaseDeviceInfo(DeviceInfo* info) {
    std::free(info);
}

uint32_t WDU_SetInterface(DeviceContext* device, uint32_t interfaceNumber,
                          uint32_t alternateSetting) {
    DeviceSnapshot snapshot;
    if (!CheckDevice(device, &snapshot)) {
        return drv::kDeviceNotFound;
    }
    drv::SetInterfaceRecord request{snapshot.dwUniqueID, interfaceNumber, alternateSetting, 0};
    const uint32_t status =
        drv::DrvCall(drv::DrvSetInterface, snapshot.driverHandle, &request, sizeof(request), false);
    if (status != drv::kSuccess) {
        ErrorHook(
            "WDU_SetInterface: Set interface (interface: %ld, alternate setting: %ld) "
            "failed:\nError: 0x%lx (%s)\n",
            static_cast<long>(interfaceNumber), static_cast<long>(alternateSetting),
            static_cast<unsigned long>(status), StatusText(status));
        return status;
    }
    // The cached block follows the driver: the first active interface's active setting
    // becomes the entry at the alternate setting's index. An index the block does not
    // have (the driver accepted a setting the block does not list) leaves it as it is,
    // rather than pointing outside the array.
    UpdateActiveSetting(device, alternateSetting);
    return drv::kSuccess;
}

uint32_t WDU_PipeTransfer(DeviceContext* device, uint32_t pipe, uint32_t read, uint32_t options,
                          void* buffer, uint32_t length, uint32_t* bytesDone, const uint8_t* setup,
                          uint32_t timeoutMs) {
    DeviceSnapshot snapshot;
    if (!CheckDevice(device, &snapshot)) {
        return drv::kDeviceNotFound;
    }
    drv::TransferRecord request{};
    request.dwUniqueID = snapshot.dwUniqueID;
    request.pipe = pipe;
    request.read = read;
    request.options = options;
    request.buffer = buffer;
    request.length = length;
    if (setup != nullptr) {
        std::memcpy(request.setup, setup, sizeof(request.setup));
    }
    request.timeoutMs = timeoutMs;
    // Each transfer runs on its own driver handle, so that transfers of different
    // threads never share one.
    const uint32_t status =
        drv::DrvCall(drv::DrvTransfer, drv::kNoHandle, &request, sizeof(request), true);
    if (bytesDone != nullptr) {
        *bytesDone = request.bytesDone;
    }
    return status;
}

uint32_t WDU_ControlTransfer(DeviceContext* device, uint32_t read, uint32_t options, void* buffer,
                             uint32_t length, uint32_t* bytesDone, const uint8_t* setup,
                             uint32_t timeoutMs) {
    return WDU_PipeTransfer(device, 0, read, options, buffer, length, bytesDone, setup, timeoutMs);
}

}  // namespace usb
