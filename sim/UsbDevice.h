#pragma once
// One appearance of the virtual projector on a bus: the drv::BusDevice the driver
// core sees between one attach and the following detach. A restart makes a new one;
// the old one answers every request with kDeviceNotFound from then on, as a handle
// to a re-enumerated real device does.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/drv/Bus.h"
#include "sim/Descriptors.h"

namespace sim {

class Session;

class UsbDevice final : public drv::BusDevice {
  public:
    UsbDevice(std::shared_ptr<Session> session, uint64_t attachment, UsbDescriptors descriptors);

    std::vector<uint8_t> DeviceDescriptor() override;
    std::vector<uint8_t> ConfigurationDescriptor() override;
    uint32_t SetInterface(uint32_t interfaceNumber, uint32_t alternateSetting) override;
    // Pipe 0 answers the standard requests (GET_DESCRIPTOR honouring wLength); a
    // write to 0x01 delivers one command packet; a read from 0x81 returns the next
    // answer or waits for one until the time-out.
    uint32_t Transfer(uint32_t interfaceNumber, uint32_t pipe, bool read, uint8_t* buffer,
                      uint32_t length, uint32_t* done, const uint8_t* setup,
                      uint32_t timeoutMs) override;

    uint64_t Attachment() const { return attachment_; }

  private:
    uint32_t Control(bool read, uint8_t* buffer, uint32_t length, uint32_t* done,
                     const uint8_t* setup);

    std::shared_ptr<Session> session_;
    uint64_t attachment_;
    UsbDescriptors descriptors_;
};

}  // namespace sim
