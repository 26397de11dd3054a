#pragma once
// One device of the libusb bus: an open libusb handle behind the BusDevice operations.
//
// Interfaces are claimed on first use (SetInterface, or a transfer on one of their
// endpoints) with the kernel driver detached where one is bound, and released when the
// device object goes. Transfers are synchronous libusb transfers; they may run from
// several threads at once. Once the bus has seen the device leave, every operation
// answers kDeviceNotFound; a transfer already running ends as the kernel ends it (the
// device's requests fail with "no device").
#include <libusb.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/drv/Bus.h"

namespace drv {

class LibusbContext;

// An endpoint of the device's active configuration, in any alternate setting.
struct LibusbEndpoint {
    uint8_t interfaceNumber = 0;
    uint8_t transferType = LIBUSB_TRANSFER_TYPE_BULK;
};

class LibusbDevice final : public BusDevice {
  public:
    // Takes over `handle`; `context` outlives every handle opened in it.
    LibusbDevice(std::shared_ptr<LibusbContext> context, libusb_device_handle* handle,
                 std::vector<uint8_t> deviceDescriptor, std::vector<uint8_t> configuration,
                 std::map<uint8_t, LibusbEndpoint> endpoints, std::string name);
    ~LibusbDevice() override;
    LibusbDevice(const LibusbDevice&) = delete;
    LibusbDevice& operator=(const LibusbDevice&) = delete;

    std::vector<uint8_t> DeviceDescriptor() override { return deviceDescriptor_; }
    std::vector<uint8_t> ConfigurationDescriptor() override { return configuration_; }
    uint32_t SetInterface(uint32_t interfaceNumber, uint32_t alternateSetting) override;
    uint32_t Transfer(uint32_t interfaceNumber, uint32_t pipe, bool read, uint8_t* buffer,
                      uint32_t length, uint32_t* done, const uint8_t* setup,
                      uint32_t timeoutMs) override;

    // "bus 001 address 011, 1501:7616", for messages.
    const std::string& Name() const { return name_; }
    void MarkGone() { gone_ = true; }

  private:
    uint32_t Claim(uint8_t interfaceNumber);
    uint32_t Control(uint8_t* buffer, uint32_t length, uint32_t* done, const uint8_t* setup,
                     unsigned int timeout);
    uint32_t Pipe(const LibusbEndpoint& endpoint, uint8_t address, uint8_t* buffer, uint32_t length,
                  uint32_t* done, unsigned int timeout);

    std::shared_ptr<LibusbContext> context_;
    libusb_device_handle* handle_;
    std::vector<uint8_t> deviceDescriptor_;
    std::vector<uint8_t> configuration_;
    std::map<uint8_t, LibusbEndpoint> endpoints_;
    std::string name_;
    std::atomic<bool> gone_{false};
    std::mutex claimMutex_;
    std::set<uint8_t> claimed_;
};

// A libusb context, ended when the bus and the last of its devices are done with it.
class LibusbContext {
  public:
    // nullptr when libusb cannot start here (no usbfs, no udev): the bus has no devices.
    static std::shared_ptr<LibusbContext> Create();
    ~LibusbContext();
    LibusbContext(const LibusbContext&) = delete;
    LibusbContext& operator=(const LibusbContext&) = delete;
    libusb_context* get() const { return context_; }

  private:
    explicit LibusbContext(libusb_context* context) : context_(context) {}
    libusb_context* context_;
};

}  // namespace drv
