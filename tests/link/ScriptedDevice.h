#pragma once
// A projector stand-in for the cases the virtual projector does not produce: answers
// given byte for byte, string descriptors of any shape, and failing descriptor reads.
#include <cstdint>
#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "platform/drv/Bus.h"
#include "platform/drv/DrvStatus.h"

namespace linktest {

class ScriptedDevice final : public drv::BusDevice {
  public:
    ScriptedDevice(uint16_t vendorId, uint16_t productId, uint8_t serialIndex)
        : vendorId_(vendorId), productId_(productId), serialIndex_(serialIndex) {}

    std::vector<uint8_t> DeviceDescriptor() override {
        return {18,
                1,
                0x00,
                0x02,
                0,
                0,
                0,
                64,
                static_cast<uint8_t>(vendorId_),
                static_cast<uint8_t>(vendorId_ >> 8),
                static_cast<uint8_t>(productId_),
                static_cast<uint8_t>(productId_ >> 8),
                0x00,
                0x01,
                1,
                2,
                serialIndex_,
                1};
    }

    std::vector<uint8_t> ConfigurationDescriptor() override {
        return {9, 2, 32,   0, 1,  1,    0, 0x80, 50,  //
                9, 4, 0,    0, 2,  0xFF, 0, 0,    0,   //
                7, 5, 0x01, 2, 64, 0,    0,            //
                7, 5, 0x81, 2, 64, 0,    0};
    }

    uint32_t SetInterface(uint32_t, uint32_t) override { return drv::kSuccess; }

    uint32_t Transfer(uint32_t, uint32_t pipe, bool read, uint8_t* buffer, uint32_t length,
                      uint32_t* done, const uint8_t* setup, uint32_t) override {
        std::lock_guard lock(mutex_);
        *done = 0;
        if (pipe == 0) {
            return Control(buffer, length, done, setup);
        }
        if (!read) {
            written_.emplace_back(buffer, buffer + length);
            *done = length;
            return drv::kSuccess;
        }
        if (answers_.empty()) {
            return drv::kTimeout;
        }
        const std::vector<uint8_t> answer = answers_.front();
        answers_.pop_front();
        *done = static_cast<uint32_t>(std::min<size_t>(answer.size(), length));
        std::copy_n(answer.begin(), *done, buffer);
        return drv::kSuccess;
    }

    // The next read of pipe 0x81 returns these bytes.
    void QueueAnswer(std::vector<uint8_t> bytes) {
        std::lock_guard lock(mutex_);
        answers_.push_back(std::move(bytes));
    }
    // String descriptor `index` answers these raw bytes.
    void SetString(uint8_t index, std::vector<uint8_t> bytes) {
        std::lock_guard lock(mutex_);
        strings_[index] = std::move(bytes);
    }
    // Control reads fail from the `n`-th one (0: the device descriptor) on.
    void FailControlFrom(int n) {
        std::lock_guard lock(mutex_);
        failControlFrom_ = n;
    }
    std::vector<std::vector<uint8_t>> Written() const {
        std::lock_guard lock(mutex_);
        return written_;
    }

  private:
    uint32_t Control(uint8_t* buffer, uint32_t length, uint32_t* done, const uint8_t* setup) {
        if (failControlFrom_ >= 0 && controlReads_++ >= failControlFrom_) {
            return drv::kUsbdStall;
        }
        std::vector<uint8_t> bytes;
        if (setup[3] == 1) {
            bytes = DeviceDescriptor();
        } else if (setup[3] == 3) {
            const auto found = strings_.find(setup[2]);
            bytes = found != strings_.end() ? found->second : std::vector<uint8_t>{4, 3, 9, 4};
        }
        *done = static_cast<uint32_t>(std::min<size_t>(bytes.size(), length));
        std::copy_n(bytes.begin(), *done, buffer);
        return drv::kSuccess;
    }

    const uint16_t vendorId_;
    const uint16_t productId_;
    const uint8_t serialIndex_;
    mutable std::mutex mutex_;
    std::deque<std::vector<uint8_t>> answers_;
    std::map<uint8_t, std::vector<uint8_t>> strings_;
    std::vector<std::vector<uint8_t>> written_;
    int failControlFrom_ = -1;
    int controlReads_ = 0;
};

// A string descriptor of `text` as UTF-16LE.
inline std::vector<uint8_t> StringDescriptor(const std::string& text) {
    std::vector<uint8_t> bytes{static_cast<uint8_t>(2 + 2 * text.size()), 3};
    for (const char c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(0);
    }
    return bytes;
}

}  // namespace linktest
