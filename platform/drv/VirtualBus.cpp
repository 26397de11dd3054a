#include "platform/drv/VirtualBus.h"

#include <algorithm>

#include "platform/drv/DriverCore.h"

namespace drv {

// The listener is called without the device list lock held (the core reads the
// device's descriptors in Arrived), but under notifyMutex_, so that the arrival and
// the departure of one device always reach the core in that order.

void VirtualBus::Start(BusListener& listener) {
    std::lock_guard notifying(notifyMutex_);
    std::vector<std::shared_ptr<BusDevice>> present;
    {
        std::lock_guard lock(mutex_);
        listener_ = &listener;
        present = devices_;
    }
    for (const auto& device : present) {
        listener.Arrived(device);
    }
}

void VirtualBus::Stop() {
    std::lock_guard notifying(notifyMutex_);
    BusListener* listener = nullptr;
    std::vector<std::shared_ptr<BusDevice>> present;
    {
        std::lock_guard lock(mutex_);
        listener = listener_;
        listener_ = nullptr;
        present = devices_;
    }
    if (listener != nullptr) {
        for (const auto& device : present) {
            listener->Left(device);
        }
    }
}

void VirtualBus::Plug(const std::shared_ptr<BusDevice>& device) {
    std::lock_guard notifying(notifyMutex_);
    BusListener* listener = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (!device || std::find(devices_.begin(), devices_.end(), device) != devices_.end()) {
            return;
        }
        devices_.push_back(device);
        listener = listener_;
    }
    if (listener != nullptr) {
        listener->Arrived(device);
    }
}

void VirtualBus::Unplug(const std::shared_ptr<BusDevice>& device) {
    std::lock_guard notifying(notifyMutex_);
    BusListener* listener = nullptr;
    {
        std::lock_guard lock(mutex_);
        auto found = std::find(devices_.begin(), devices_.end(), device);
        if (found == devices_.end()) {
            return;
        }
        devices_.erase(found);
        listener = listener_;
    }
    if (listener != nullptr) {
        listener->Left(device);
    }
}

void VirtualBus::UnplugAll() {
    std::lock_guard notifying(notifyMutex_);
    BusListener* listener = nullptr;
    std::vector<std::shared_ptr<BusDevice>> present;
    {
        std::lock_guard lock(mutex_);
        present.swap(devices_);
        listener = listener_;
    }
    if (listener != nullptr) {
        for (const auto& device : present) {
            listener->Left(device);
        }
    }
}

size_t VirtualBus::DeviceCount() const {
    std::lock_guard lock(mutex_);
    return devices_.size();
}

VirtualBus& TheVirtualBus() {
    return DriverCore::Instance().Virtual();
}

}  // namespace drv
