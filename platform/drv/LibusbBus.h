#pragma once
// The bus of real USB devices, on libusb-1.0.
//
// Which devices: those whose vendor id is in the bus's vendor list (by default the
// projector's, 0x1501, in both of its personalities); an empty list takes every device.
// The core's match table still decides which of them a program sees; the vendor list
// only keeps the bus from opening keyboards and disks it has no business with.
//
// How they are found: libusb's hot-plug notices where the platform has them, else a look
// at the device list every kPollMs real milliseconds. Either way one thread of the bus
// runs libusb's event handling (with a short time-out, so that Stop() ends it) and
// does all the opening and reporting, so the core hears of arrivals and departures on
// that thread only, never from inside a transfer.
//
// Each device is opened, its device and active configuration descriptors read (the
// latter from the device itself), and reported as one drv::BusDevice (LibusbDevice.h).
// USB that cannot be reached here (no usbfs, no udev, as in containers) is not an
// error: the bus has no devices. A device of the list that cannot be opened is not
// reported to the core, but named on standard error and in the driver's debug log,
// with the way to grant access (the udev rule 70-ostrel.rules); it is tried again when
// it comes back, so fixing the permission and replugging works.
#include <libusb.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/drv/Bus.h"

namespace drv {

class LibusbContext;
class LibusbDevice;

class LibusbBus final : public Bus {
  public:
    static constexpr uint16_t kProjectorVendor = 0x1501;
    // How often the device list is looked at where hot-plug is missing (real ms).
    static constexpr int kPollMs = 1000;

    // Where the bus's diagnostics go; by default standard error and the debug log.
    using Report = std::function<void(const std::string& line)>;

    explicit LibusbBus(std::vector<uint16_t> vendors = {kProjectorVendor}, Report report = {});
    ~LibusbBus() override;
    LibusbBus(const LibusbBus&) = delete;
    LibusbBus& operator=(const LibusbBus&) = delete;

    void Start(BusListener& listener) override;
    void Stop() override;

    // Whether libusb started (false: USB is unavailable here and the bus stays empty).
    bool Available() const { return available_.load(); }
    // Devices reported to the core and present now.
    size_t DeviceCount() const;

    // The message for a device of the list that could not be opened.
    static std::string RefusalMessage(const std::string& device, int libusbError);

  private:
    struct Change {
        bool arrived;
        libusb_device* device;  // one reference held by the change
    };

    static int LIBUSB_CALL HotplugCallback(libusb_context* context, libusb_device* device,
                                           libusb_hotplug_event event, void* self);
    void Queue(bool arrived, libusb_device* device);
    void Run();
    void ApplyChanges();
    void PollDeviceList();
    void Arrive(libusb_device* device);
    void Leave(libusb_device* device);
    bool Wanted(uint16_t vendorId) const;
    void Say(const std::string& line) const;

    std::vector<uint16_t> vendors_;
    Report report_;
    std::shared_ptr<LibusbContext> context_;
    BusListener* listener_ = nullptr;
    libusb_hotplug_callback_handle hotplug_ = 0;
    bool hotplugRegistered_ = false;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> available_{false};

    std::mutex changesMutex_;
    std::deque<Change> changes_;

    // Owned by the bus thread (and by Start/Stop while it is not running); the count is
    // read by other threads.
    mutable std::mutex devicesMutex_;
    std::map<libusb_device*, std::shared_ptr<LibusbDevice>> present_;  // a reference each
    std::map<libusb_device*, bool> refused_;  // a reference each; retried when they return
};

}  // namespace drv
