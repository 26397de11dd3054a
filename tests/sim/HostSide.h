#pragma once
// What the host does on the wire, written independently of the model's own framing
// code, so that a fault in one is not hidden by the same fault in the other.
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/drv/Bus.h"
#include "platform/drv/DrvStatus.h"
#include "sim/Faults.h"

namespace simtest {

// A command packet: kind, sequence, 0, length LE, payload, sum of bytes 1 .. 4 + N.
inline std::vector<uint8_t> Packet(uint8_t kind, std::vector<uint8_t> payload, uint8_t seq = 1) {
    std::vector<uint8_t> p = {kind, seq, 0, static_cast<uint8_t>(payload.size()),
                              static_cast<uint8_t>(payload.size() >> 8)};
    p.insert(p.end(), payload.begin(), payload.end());
    unsigned sum = 0;
    for (size_t i = 1; i < p.size(); ++i) {
        sum += p[i];
    }
    p.push_back(static_cast<uint8_t>(sum));
    return p;
}

inline std::vector<uint8_t> StatusQuery(uint8_t seq = 1) {
    return Packet(0x04, {0x34, 0x00, 0x02}, seq);
}
inline std::vector<uint8_t> EnterBootloader() {
    return Packet(0x02, {0x34, 0x30, 0x01}, 5);
}
inline std::vector<uint8_t> ExitBootloader() {
    return Packet(0x02, {0x34, 0x30, 0x02}, 0xAB);
}
inline std::vector<uint8_t> FlashWord(uint8_t reg) {
    return Packet(0x04, {0x34, 0x03, 0x0A, 0x00, 0x15, reg}, 7);
}
inline std::vector<uint8_t> Parameter(uint8_t number) {
    return Packet(0x04, {0x34, 0x05, 0x02, 0x02, number}, 9);
}
inline std::vector<uint8_t> Resolution() {
    return Packet(0x04, {0x34, 0x02, 0x04, 0x06, 0x4E});
}
inline std::vector<uint8_t> Value24(uint8_t op, uint32_t value) {
    return Packet(0x02, {0x34, op, static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                         static_cast<uint8_t>(value >> 16)});
}
inline std::vector<uint8_t> SetAddress(uint32_t address) {
    return Value24(0x29, address);
}
inline std::vector<uint8_t> SetSize(uint32_t size) {
    return Value24(0x2C, size);
}
inline std::vector<uint8_t> Erase() {
    return Packet(0x02, {0x34, 0x28, 0x01}, 0x0B);
}
inline std::vector<uint8_t> StartChecksum() {
    return Packet(0x02, {0x34, 0x26, 0x01}, 0xA4);
}
inline std::vector<uint8_t> Block(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> payload = {0x34, 0x25};
    payload.insert(payload.end(), data.begin(), data.end());
    return Packet(0x02, payload);
}

// The host's answer decodings.
inline uint16_t StatusWordOf(const std::vector<uint8_t>& a) {
    return static_cast<uint16_t>(a.at(8) << 8 | a.at(9));
}
inline uint16_t Word13(const std::vector<uint8_t>& a) {
    return static_cast<uint16_t>(a.at(13) | a.at(14) << 8);
}
inline uint32_t Le32At(const std::vector<uint8_t>& a, size_t at) {
    return a.at(at) | a.at(at + 1) << 8 | a.at(at + 2) << 16 |
           static_cast<uint32_t>(a.at(at + 3)) << 24;
}
inline bool ChecksumValid(const std::vector<uint8_t>& a) {
    if (a.size() < 6) {
        return false;
    }
    const size_t n = a[3] | a[4] << 8;
    if (a.size() < n + 6) {
        return false;
    }
    unsigned sum = 0;
    for (size_t i = 1; i < 5 + n; ++i) {
        sum += a[i];
    }
    return static_cast<uint8_t>(sum) == a[5 + n];
}

// A port that only records what was plugged and unplugged.
class RecordingPort : public drv::DevicePort {
  public:
    struct Event {
        bool plugged;
        std::shared_ptr<drv::BusDevice> device;
    };
    void Plug(const std::shared_ptr<drv::BusDevice>& device) override {
        std::lock_guard lock(mutex_);
        events_.push_back({true, device});
    }
    void Unplug(const std::shared_ptr<drv::BusDevice>& device) override {
        std::lock_guard lock(mutex_);
        events_.push_back({false, device});
    }
    std::vector<Event> Events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<Event> events_;
};

// USB-level helpers on a drv::BusDevice.
struct Result {
    uint32_t status = 0;
    std::vector<uint8_t> bytes;
};

inline Result Control(drv::BusDevice& device, std::initializer_list<uint8_t> setup,
                      uint32_t length = 255) {
    std::vector<uint8_t> s(setup);
    Result r;
    r.bytes.resize(length);
    uint32_t done = 0;
    r.status =
        device.Transfer(0, 0, (s[0] & 0x80) != 0, r.bytes.data(), length, &done, s.data(), 10000);
    r.bytes.resize(done);
    return r;
}

inline uint32_t Write(drv::BusDevice& device, std::vector<uint8_t> bytes) {
    uint32_t done = 0;
    return device.Transfer(0, 0x01, false, bytes.data(), static_cast<uint32_t>(bytes.size()), &done,
                           nullptr, 30000);
}

inline Result Read(drv::BusDevice& device, uint32_t timeoutMs = 30000) {
    Result r;
    r.bytes.resize(64);
    uint32_t done = 0;
    r.status = device.Transfer(0, 0x81, true, r.bytes.data(), 64, &done, nullptr, timeoutMs);
    r.bytes.resize(done);
    return r;
}

// One command and its answer.
inline Result Transact(drv::BusDevice& device, const std::vector<uint8_t>& command,
                       uint32_t timeoutMs = 30000) {
    Result r;
    r.status = Write(device, command);
    if (r.status != drv::kSuccess) {
        return r;
    }
    return Read(device, timeoutMs);
}

// A set of faults made by editing the defaults: FaultsWith([](auto& f) { ... }).
template <typename Edit>
sim::Faults FaultsWith(Edit edit) {
    sim::Faults faults;
    edit(faults);
    return faults;
}

}  // namespace simtest
