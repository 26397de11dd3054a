#include "platform/drv/LibusbDevice.h"

#include <algorithm>
#include <limits>

#include "platform/drv/DrvStatus.h"
#include "platform/drv/LibusbStatus.h"

namespace drv {

std::shared_ptr<LibusbContext> LibusbContext::Create() {
    libusb_context* context = nullptr;
    if (libusb_init(&context) != LIBUSB_SUCCESS) {
        return nullptr;
    }
    return std::shared_ptr<LibusbContext>(new LibusbContext(context));
}

LibusbContext::~LibusbContext() {
    libusb_exit(context_);
}

LibusbDevice::LibusbDevice(std::shared_ptr<LibusbContext> context, libusb_device_handle* handle,
                           std::vector<uint8_t> deviceDescriptor,
                           std::vector<uint8_t> configuration,
                           std::map<uint8_t, LibusbEndpoint> endpoints, std::string name)
    : context_(std::move(context)),
      handle_(handle),
      deviceDescriptor_(std::move(deviceDescriptor)),
      configuration_(std::move(configuration)),
      endpoints_(std::move(endpoints)),
      name_(std::move(name)) {}

LibusbDevice::~LibusbDevice() {
    // Releasing hands a detached kernel driver its interface back; a device that has
    // gone has nothing left to release.
    if (!gone_) {
        for (uint8_t interfaceNumber : claimed_) {
            libusb_release_interface(handle_, interfaceNumber);
        }
    }
    libusb_close(handle_);
}

uint32_t LibusbDevice::Claim(uint8_t interfaceNumber) {
    std::lock_guard lock(claimMutex_);
    if (claimed_.count(interfaceNumber) != 0) {
        return kSuccess;
    }
    const int result = libusb_claim_interface(handle_, interfaceNumber);
    if (result != LIBUSB_SUCCESS) {
        return StatusFromLibusb(result);
    }
    claimed_.insert(interfaceNumber);
    return kSuccess;
}

uint32_t LibusbDevice::SetInterface(uint32_t interfaceNumber, uint32_t alternateSetting) {
    if (gone_) {
        return kDeviceNotFound;
    }
    if (interfaceNumber > std::numeric_limits<uint8_t>::max() ||
        alternateSetting > std::numeric_limits<uint8_t>::max()) {
        return kInvalidParameter;
    }
    const uint32_t claimed = Claim(static_cast<uint8_t>(interfaceNumber));
    if (claimed != kSuccess) {
        return claimed;
    }
    return StatusFromLibusb(libusb_set_interface_alt_setting(
        handle_, static_cast<int>(interfaceNumber), static_cast<int>(alternateSetting)));
}

uint32_t LibusbDevice::Transfer(uint32_t /*interfaceNumber*/, uint32_t pipe, bool read,
                                uint8_t* buffer, uint32_t length, uint32_t* done,
                                const uint8_t* setup, uint32_t timeoutMs) {
    *done = 0;
    if (gone_) {
        return kDeviceNotFound;
    }
    const unsigned int timeout = LibusbTimeout(timeoutMs);
    if (pipe == 0) {
        if (setup == nullptr) {
            return kInvalidParameter;
        }
        return Control(buffer, length, done, setup, timeout);
    }
    const auto found = endpoints_.find(static_cast<uint8_t>(pipe));
    if (pipe > 0xFF || found == endpoints_.end() || ((pipe & 0x80) != 0) != read) {
        return kInvalidPipeNumber;
    }
    return Pipe(found->second, static_cast<uint8_t>(pipe), buffer, length, done, timeout);
}

uint32_t LibusbDevice::Control(uint8_t* buffer, uint32_t length, uint32_t* done,
                               const uint8_t* setup, unsigned int timeout) {
    const uint16_t value = static_cast<uint16_t>(setup[2] | (setup[3] << 8));
    const uint16_t index = static_cast<uint16_t>(setup[4] | (setup[5] << 8));
    const uint16_t wanted = static_cast<uint16_t>(setup[6] | (setup[7] << 8));
    // Never move more than the caller's buffer holds, whatever the setup packet asks.
    const auto size = static_cast<uint16_t>(std::min<uint32_t>(wanted, length));
    const int result =
        libusb_control_transfer(handle_, setup[0], setup[1], value, index, buffer, size, timeout);
    if (result < 0) {
        return StatusFromLibusb(result);
    }
    *done = static_cast<uint32_t>(result);
    return kSuccess;
}

uint32_t LibusbDevice::Pipe(const LibusbEndpoint& endpoint, uint8_t address, uint8_t* buffer,
                            uint32_t length, uint32_t* done, unsigned int timeout) {
    const uint32_t claimed = Claim(endpoint.interfaceNumber);
    if (claimed != kSuccess) {
        return claimed;
    }
    const int size = static_cast<int>(std::min<uint32_t>(length, std::numeric_limits<int>::max()));
    int moved = 0;
    const int result =
        endpoint.transferType == LIBUSB_TRANSFER_TYPE_INTERRUPT
            ? libusb_interrupt_transfer(handle_, address, buffer, size, &moved, timeout)
            : libusb_bulk_transfer(handle_, address, buffer, size, &moved, timeout);
    *done = static_cast<uint32_t>(std::max(moved, 0));
    if (result == LIBUSB_ERROR_PIPE) {
        // A halted endpoint stays halted until the host clears it: clear it now so
        // that the next transaction on the pipe can go through.
        libusb_clear_halt(handle_, address);
    }
    return StatusFromLibusb(result);
}

}  // namespace drv
