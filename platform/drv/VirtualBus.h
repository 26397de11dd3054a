#pragma once
// The in-process bus: devices are objects that tests, benchmarks and the socket
// bridge plug in and pull out. The driver core always has exactly one.
#include <memory>
#include <mutex>
#include <vector>

#include "platform/drv/Bus.h"

namespace drv {

class VirtualBus final : public Bus, public DevicePort {
public:
    void Start(BusListener& listener) override;
    void Stop() override;

    // A device plugged in before the driver starts is reported when it starts.
    void Plug(const std::shared_ptr<BusDevice>& device) override;
    void Unplug(const std::shared_ptr<BusDevice>& device) override;
    void UnplugAll();
    size_t DeviceCount() const;

private:
    std::mutex notifyMutex_;  // held while the listener is told; taken before mutex_
    mutable std::mutex mutex_;
    BusListener* listener_ = nullptr;
    std::vector<std::shared_ptr<BusDevice>> devices_;
};

// The process-wide virtual bus of the driver core.
VirtualBus& TheVirtualBus();

}  // namespace drv
