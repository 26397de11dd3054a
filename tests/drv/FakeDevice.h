#pragma once
// A small USB device for the driver and library tests: chosen ids and interfaces,
// bulk pipes 0x01 and 0x81 on each, scripted answers, and a record of what it was asked.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/drv/Bus.h"
#include "platform/drv/DrvStatus.h"

namespace drvtest {

struct FakeInterface {
    uint8_t number = 0;
    uint8_t alternateSettings = 1;  // settings 0 .. n-1, each with the two bulk pipes
};

struct TransferCall {
    uint32_t interfaceNumber;
    uint32_t pipe;
    bool read;
    uint32_t length;
    std::vector<uint8_t> setup;
    uint32_t timeoutMs;
};

class FakeDevice final : public drv::BusDevice {
  public:
    FakeDevice(uint16_t vendorId, uint16_t productId,
               std::vector<FakeInterface> interfaces = {FakeInterface{}})
        : vendorId_(vendorId), productId_(productId), interfaces_(std::move(interfaces)) {}

    std::vector<uint8_t> DeviceDescriptor() override {
        return {18,
                1,
                0x00,
                0x02,
                0,
                0,
                0,
                64,
                Low(vendorId_),
                High(vendorId_),
                Low(productId_),
                High(productId_),
                0x00,
                0x01,
                1,
                2,
                3,
                1};
    }

    std::vector<uint8_t> ConfigurationDescriptor() override {
        std::vector<uint8_t> bytes{9, 2, 0,    0, static_cast<uint8_t>(interfaces_.size()),
                                   1, 0, 0x80, 50};
        for (const auto& interface : interfaces_) {
            for (uint8_t alternate = 0; alternate < interface.alternateSettings; ++alternate) {
                bytes.insert(bytes.end(), {9, 4, interface.number, alternate, 2, 0xFF, 0, 0, 0});
                bytes.insert(bytes.end(), {7, 5, 0x01, 2, 64, 0, 0});
                bytes.insert(bytes.end(), {7, 5, 0x81, 2, 64, 0, 0});
            }
        }
        bytes[2] = Low(static_cast<uint16_t>(bytes.size()));
        bytes[3] = High(static_cast<uint16_t>(bytes.size()));
        return bytes;
    }

    uint32_t SetInterface(uint32_t interfaceNumber, uint32_t alternateSetting) override {
        std::lock_guard lock(mutex_);
        setInterfaceCalls_.emplace_back(interfaceNumber, alternateSetting);
        return setInterfaceStatus_;
    }

    // Reads fill the buffer with `fill`; the answer is the scripted status and bytes.
    uint32_t Transfer(uint32_t interfaceNumber, uint32_t pipe, bool read, uint8_t* buffer,
                      uint32_t length, uint32_t* done, const uint8_t* setup,
                      uint32_t timeoutMs) override {
        std::lock_guard lock(mutex_);
        transfers_.push_back(TransferCall{interfaceNumber, pipe, read, length,
                                          std::vector<uint8_t>(setup, setup + 8), timeoutMs});
        const uint32_t moved = transferDone_ < length ? transferDone_ : length;
        if (read && buffer != nullptr) {
            std::memset(buffer, fill_, moved);
        }
        *done = moved;
        return transferStatus_;
    }

    void AnswerTransfers(uint32_t status, uint32_t done, uint8_t fill = 0xA5) {
        std::lock_guard lock(mutex_);
        transferStatus_ = status;
        transferDone_ = done;
        fill_ = fill;
    }
    void AnswerSetInterface(uint32_t status) {
        std::lock_guard lock(mutex_);
        setInterfaceStatus_ = status;
    }
    std::vector<TransferCall> Transfers() const {
        std::lock_guard lock(mutex_);
        return transfers_;
    }
    std::vector<std::pair<uint32_t, uint32_t>> SetInterfaceCalls() const {
        std::lock_guard lock(mutex_);
        return setInterfaceCalls_;
    }

  private:
    static uint8_t Low(uint16_t value) { return static_cast<uint8_t>(value & 0xFF); }
    static uint8_t High(uint16_t value) { return static_cast<uint8_t>(value >> 8); }

    const uint16_t vendorId_;
    const uint16_t productId_;
    const std::vector<FakeInterface> interfaces_;
    mutable std::mutex mutex_;
    uint32_t transferStatus_ = drv::kSuccess;
    uint32_t transferDone_ = UINT32_MAX;  // everything asked for
    uint8_t fill_ = 0xA5;
    uint32_t setInterfaceStatus_ = drv::kSuccess;
    std::vector<TransferCall> transfers_;
    std::vector<std::pair<uint32_t, uint32_t>> setInterfaceCalls_;
};

}  // namespace drvtest
