// The device side of the driver core: device data, interface selection, transfers.
// The lock is held only to look a device up; the device itself is called without it.
#include <cstdint>

#include "platform/drv/DeviceInfoBuilder.h"
#include "platform/drv/DriverCore.h"

namespace drv {

DriverCore::DeviceEntry* DriverCore::FindDevice(uint32_t dwUniqueID) {
    for (auto& entry : devices_) {
        if (entry.dwUniqueID == dwUniqueID) {
            return &entry;
        }
    }
    return nullptr;
}

uint32_t DriverCore::GetDeviceData(void* record, uint32_t size) {
    if (size < sizeof(DeviceDataRecord)) {
        return kInvalidParameter;
    }
    auto* data = static_cast<DeviceDataRecord*>(record);
    std::lock_guard lock(mutex_);
    const DeviceEntry* entry = FindDevice(data->dwUniqueID);
    if (entry == nullptr) {
        return kDeviceNotFound;
    }
    const uint32_t needed = DeviceInfoSize(entry->interface);
    const uint32_t given = data->size;
    data->size = needed;
    if (data->buffer == nullptr) {
        return kSuccess;
    }
    const auto address = reinterpret_cast<uintptr_t>(data->buffer);
    if (given < needed || address % alignof(std::max_align_t) != 0) {
        return kInvalidParameter;
    }
    BuildDeviceInfo(data->buffer, entry->deviceDescriptor, entry->interface, entry->activeIndex);
    return kSuccess;
}

uint32_t DriverCore::SetInterface(void* record, uint32_t size) {
    if (size < sizeof(SetInterfaceRecord)) {
        return kInvalidParameter;
    }
    const auto* request = static_cast<const SetInterfaceRecord*>(record);
    std::shared_ptr<BusDevice> device;
    {
        std::lock_guard lock(mutex_);
        const DeviceEntry* entry = FindDevice(request->dwUniqueID);
        if (entry == nullptr) {
            return kDeviceNotFound;
        }
        device = entry->device;
    }
    const uint32_t status =
        device->SetInterface(request->interfaceNumber, request->alternateSetting);
    if (status != kSuccess) {
        return status;
    }
    // Every entry of this device for that interface now reports the new setting.
    std::lock_guard lock(mutex_);
    for (auto& entry : devices_) {
        if (entry.device == device && entry.interface.number == request->interfaceNumber) {
            if (auto index = entry.interface.IndexOf(request->alternateSetting)) {
                entry.activeIndex = *index;
            }
        }
    }
    return kSuccess;
}

uint32_t DriverCore::Transfer(void* record, uint32_t size) {
    if (size < sizeof(TransferRecord)) {
        return kInvalidParameter;
    }
    auto* request = static_cast<TransferRecord*>(record);
    std::shared_ptr<BusDevice> device;
    uint32_t interfaceNumber = 0;
    {
        std::lock_guard lock(mutex_);
        const DeviceEntry* entry = FindDevice(request->dwUniqueID);
        if (entry == nullptr) {
            return kDeviceNotFound;
        }
        device = entry->device;
        interfaceNumber = entry->interface.number;
    }
    if (request->buffer == nullptr && request->length != 0) {
        return kInvalidParameter;
    }
    uint32_t done = 0;
    const uint32_t status = device->Transfer(
        interfaceNumber, request->pipe, request->read != 0, static_cast<uint8_t*>(request->buffer),
        request->length, &done, request->setup, request->timeoutMs);
    request->bytesDone = done;
    return status;
}

}  // namespace drv
