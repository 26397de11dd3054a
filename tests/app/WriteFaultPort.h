#pragma once
// A port between a virtual projector and the virtual bus that can make the write of the
// bootloader exit packet end with a chosen status: the cases a real cable produces
// (the transfer cancelled by the projector's restart, a failed write) and the virtual
// projector does not.
#include <atomic>
#include <map>
#include <memory>
#include <mutex>

#include "platform/drv/Bus.h"
#include "platform/drv/DrvStatus.h"
#include "platform/drv/VirtualBus.h"

namespace apptest {

class WriteFaultPort final : public drv::DevicePort {
  public:
    // The status the next exit packet's write ends with; `delivered`: the projector
    // still receives it (a restart that cancels the transfer) or not (a failed write).
    void FailExitWrite(uint32_t status, bool delivered) {
        exitStatus_ = status;
        exitDelivered_ = delivered;
    }

    void Plug(const std::shared_ptr<drv::BusDevice>& device) override {
        auto wrapped = std::make_shared<Wrapped>(device, *this);
        {
            std::lock_guard lock(mutex_);
            wrapped_[device.get()] = wrapped;
        }
        drv::TheVirtualBus().Plug(wrapped);
    }

    void Unplug(const std::shared_ptr<drv::BusDevice>& device) override {
        std::shared_ptr<Wrapped> wrapped;
        {
            std::lock_guard lock(mutex_);
            const auto found = wrapped_.find(device.get());
            if (found == wrapped_.end()) {
                return;
            }
            wrapped = found->second;
            wrapped_.erase(found);
        }
        drv::TheVirtualBus().Unplug(wrapped);
    }

  private:
    class Wrapped final : public drv::BusDevice {
      public:
        Wrapped(std::shared_ptr<drv::BusDevice> inner, WriteFaultPort& port)
            : inner_(std::move(inner)), port_(port) {}

        std::vector<uint8_t> DeviceDescriptor() override { return inner_->DeviceDescriptor(); }
        std::vector<uint8_t> ConfigurationDescriptor() override {
            return inner_->ConfigurationDescriptor();
        }
        uint32_t SetInterface(uint32_t number, uint32_t setting) override {
            return inner_->SetInterface(number, setting);
        }
        uint32_t Transfer(uint32_t interfaceNumber, uint32_t pipe, bool read, uint8_t* buffer,
                          uint32_t length, uint32_t* done, const uint8_t* setup,
                          uint32_t timeoutMs) override {
            if (!read && pipe == 0x01 && IsExitPacket(buffer, length)) {
                const uint32_t status = port_.exitStatus_.exchange(drv::kSuccess);
                if (status != drv::kSuccess) {
                    if (port_.exitDelivered_) {
                        inner_->Transfer(interfaceNumber, pipe, read, buffer, length, done, setup,
                                         timeoutMs);
                    }
                    *done = 0;
                    return status;
                }
            }
            return inner_->Transfer(interfaceNumber, pipe, read, buffer, length, done, setup,
                                    timeoutMs);
        }

      private:
        // Payload 34 30 02: leave the bootloader.
        static bool IsExitPacket(const uint8_t* bytes, uint32_t length) {
            return length >= 8 && bytes[5] == 0x34 && bytes[6] == 0x30 && bytes[7] == 0x02;
        }

        std::shared_ptr<drv::BusDevice> inner_;
        WriteFaultPort& port_;
    };

    std::mutex mutex_;
    std::map<const drv::BusDevice*, std::shared_ptr<Wrapped>> wrapped_;
    std::atomic<uint32_t> exitStatus_{drv::kSuccess};
    std::atomic<bool> exitDelivered_{false};
};

}  // namespace apptest
