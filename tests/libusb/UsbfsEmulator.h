#pragma once
// Real libusb against emulated USB devices: a drv::DevicePort whose devices appear to
// libusb as usbfs device nodes of a umockdev test bed. Each plugged drv::BusDevice (a
// virtual projector's appearance on the bus) becomes a sysfs device with its descriptors
// and a device node whose usbfs requests (claim, set interface, submit, reap, discard)
// are answered by that BusDevice; unplugging sends the "remove" event and fails the
// node's requests with ENODEV, as the kernel does for a pulled cable.
//
// The process must run under umockdev-wrapper (the preload library redirects /sys,
// /dev and the udev netlink socket into the test bed). One emulator per process.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/drv/Bus.h"

namespace usbemu {

// What the emulated usbfs has seen, for tests.
struct UsbfsCounts {
    uint64_t submitted = 0;  // URBs
    uint64_t reaped = 0;
    uint64_t discarded = 0;
    uint64_t controlRequests = 0;  // control URBs
    uint64_t stringReads = 0;      // GET_DESCRIPTOR(STRING) among them
    uint64_t claims = 0;
    uint64_t driverDetaches = 0;  // a bound kernel driver let go before a claim
    uint64_t setInterfaces = 0;
};

class UsbfsEmulator final : public drv::DevicePort {
  public:
    // Creates the test bed; false from Available() when not under umockdev-wrapper.
    UsbfsEmulator();
    ~UsbfsEmulator() override;
    UsbfsEmulator(const UsbfsEmulator&) = delete;
    UsbfsEmulator& operator=(const UsbfsEmulator&) = delete;

    bool Available() const;

    void Plug(const std::shared_ptr<drv::BusDevice>& device) override;
    void Unplug(const std::shared_ptr<drv::BusDevice>& device) override;

    // Devices plugged from now on get a device node nobody may open (mode 000): the
    // calling process must have given up its power to override file permissions.
    void SetNodesUnreadable(bool unreadable);
    // Interfaces claimed on the present device nodes, by node.
    std::vector<std::string> ClaimedInterfaces() const;
    UsbfsCounts Counts() const;
    size_t PresentDevices() const;

    class Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

// Gives up the calling thread's (and its future threads') power to override file
// permissions, so that a mode-000 node cannot be opened by root either. Call it before
// any other thread starts. False when it could not be done while it would be needed.
bool DropPermissionOverride();

}  // namespace usbemu
