#pragma once
// The contract between the driver core and its bus backends (virtual, socket, libusb).
//
// A backend discovers devices and reports them to the core through a BusListener; the
// core turns each interface of a device into one attach event, gives it a dwUniqueID,
// and later calls the device's operations for the requests that name that ID.
//
// Threads and locks: the core never holds its own lock while it calls into a device,
// so device operations may block (transfers wait up to their time-out). A backend may
// call the listener from any thread, but never while it is inside a device operation
// of the same device. After Left() the core calls nothing more on that device.
#include <cstdint>
#include <memory>
#include <vector>

namespace drv {

// One physical device on a bus.
class BusDevice {
public:
    virtual ~BusDevice() = default;

    // The standard 18-byte device descriptor.
    virtual std::vector<uint8_t> DeviceDescriptor() = 0;

    // The complete active configuration descriptor (configuration, interface and
    // endpoint descriptors, as GET_DESCRIPTOR returns them). Its interfaces, in the
    // order they stand, give the order of the attach events.
    virtual std::vector<uint8_t> ConfigurationDescriptor() = 0;

    // Selects an alternate setting of an interface. Returns a status (0 = done).
    // May block briefly. Errors: kDeviceNotFound once the device has gone,
    // kInvalidParameter for an interface or setting the device does not have.
    virtual uint32_t SetInterface(uint32_t interfaceNumber, uint32_t alternateSetting) = 0;

    // Runs one transfer and returns when it is done, failed or timed out.
    // pipe: endpoint address (0 = default control pipe, with an 8-byte setup packet).
    // read: true from the device. timeoutMs: clock milliseconds, 0 = no limit.
    // *done receives the bytes moved, also on failure.
    // Errors: kTimeout, kCancelled, kDeviceNotFound (gone, also while waiting),
    // kInvalidPipeNumber, kUsbdStall, kOperationFailed.
    virtual uint32_t Transfer(uint32_t interfaceNumber, uint32_t pipe, bool read, uint8_t* buffer,
                              uint32_t length, uint32_t* done, const uint8_t* setup,
                              uint32_t timeoutMs) = 0;
};

// Where a backend reports devices that arrive and leave.
class BusListener {
public:
    virtual ~BusListener() = default;
    virtual void Arrived(const std::shared_ptr<BusDevice>& device) = 0;
    virtual void Left(const std::shared_ptr<BusDevice>& device) = 0;
};

// One backend. The core starts every bus it owns when the driver is first opened and
// stops it when the process ends (or a test resets the core).
class Bus {
public:
    virtual ~Bus() = default;
    // Begins reporting devices, those already present included. Must not block long.
    virtual void Start(BusListener& listener) = 0;
    // Stops reporting; devices still present are reported as left before it returns.
    virtual void Stop() = 0;
};

// A place a device can be plugged into and pulled out of by itself or by a test:
// the virtual bus, and the sockets of simulator processes.
class DevicePort {
public:
    virtual ~DevicePort() = default;
    virtual void Plug(const std::shared_ptr<BusDevice>& device) = 0;
    virtual void Unplug(const std::shared_ptr<BusDevice>& device) = 0;
};

// Adds a backend to the process-wide driver core, which owns it from then on.
void AddBus(std::unique_ptr<Bus> bus);

}  // namespace drv
