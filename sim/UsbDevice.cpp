#include "sim/UsbDevice.h"

#include <algorithm>
#include <span>

#include "platform/drv/DrvStatus.h"
#include "sim/Session.h"

namespace sim {

UsbDevice::UsbDevice(std::shared_ptr<Session> session, uint64_t attachment,
                     UsbDescriptors descriptors)
    : session_(std::move(session)), attachment_(attachment), descriptors_(std::move(descriptors)) {}

std::vector<uint8_t> UsbDevice::DeviceDescriptor() {
    return descriptors_.device;
}

std::vector<uint8_t> UsbDevice::ConfigurationDescriptor() {
    return descriptors_.configuration;
}

uint32_t UsbDevice::SetInterface(uint32_t interfaceNumber, uint32_t alternateSetting) {
    if (!session_->IsCurrent(attachment_)) {
        return drv::kDeviceNotFound;
    }
    const auto& interfaces = descriptors_.interfaces;
    if (alternateSetting != 0 ||
        std::find(interfaces.begin(), interfaces.end(), interfaceNumber) == interfaces.end()) {
        return drv::kInvalidParameter;
    }
    return drv::kSuccess;
}

uint32_t UsbDevice::Transfer(uint32_t /*interfaceNumber*/, uint32_t pipe, bool read,
                             uint8_t* buffer, uint32_t length, uint32_t* done, const uint8_t* setup,
                             uint32_t timeoutMs) {
    uint32_t ignored = 0;
    if (done == nullptr) {
        done = &ignored;
    }
    *done = 0;
    if (!session_->IsCurrent(attachment_)) {
        return drv::kDeviceNotFound;
    }
    if (length > 0 && buffer == nullptr) {
        return drv::kInvalidParameter;
    }
    if (pipe == 0) {
        return Control(read, buffer, length, done, setup);
    }
    if (pipe == kBulkOut && !read) {
        return session_->Write(attachment_, std::span<const uint8_t>(buffer, length), done);
    }
    if (pipe == kBulkIn && read) {
        return session_->Read(attachment_, buffer, length, done, timeoutMs);
    }
    return drv::kInvalidPipeNumber;
}

uint32_t UsbDevice::Control(bool read, uint8_t* buffer, uint32_t length, uint32_t* done,
                            const uint8_t* setup) {
    if (setup == nullptr) {
        return drv::kInvalidParameter;
    }
    const std::span<const uint8_t, 8> packet(setup, 8);
    const bool deviceToHost = (packet[0] & 0x80) != 0;
    if (deviceToHost != read) {
        return drv::kInvalidParameter;
    }
    const auto answer = AnswerControlRequest(descriptors_, packet);
    if (!answer) {
        return drv::kUsbdStall;
    }
    const uint32_t count = std::min<uint32_t>(length, static_cast<uint32_t>(answer->size()));
    if (count > 0) {
        std::copy_n(answer->begin(), count, buffer);
    }
    *done = count;
    return drv::kSuccess;
}

}  // namespace sim
