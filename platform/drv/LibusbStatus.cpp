#include "platform/drv/LibusbStatus.h"

#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <limits>

#include "platform/clock/Clock.h"
#include "platform/drv/DrvStatus.h"

namespace drv {
namespace {

struct ErrorMapping {
    int libusbError;
    uint32_t status;
};

constexpr ErrorMapping kErrorMappings[] = {
    {LIBUSB_SUCCESS, kSuccess},
    {LIBUSB_ERROR_TIMEOUT, kTimeout},
    {LIBUSB_ERROR_INTERRUPTED, kCancelled},
    {LIBUSB_ERROR_NO_DEVICE, kDeviceNotFound},
    {LIBUSB_ERROR_PIPE, kUsbdStall},
    {LIBUSB_ERROR_INVALID_PARAM, kInvalidParameter},
    {LIBUSB_ERROR_NOT_FOUND, kInvalidParameter},  // no such interface or setting
    {LIBUSB_ERROR_ACCESS, kFailedOpen},
    {LIBUSB_ERROR_BUSY, kTryAgain},  // another program holds the interface
    {LIBUSB_ERROR_NO_MEM, kInsufficientResources},
    {LIBUSB_ERROR_NOT_SUPPORTED, kNotImplemented},
    {LIBUSB_ERROR_OVERFLOW, kOperationFailed},  // the device sent more than asked for
    {LIBUSB_ERROR_IO, kOperationFailed},
    {LIBUSB_ERROR_OTHER, kOperationFailed},
};

}  // namespace

uint32_t StatusFromLibusb(int libusbError) {
    for (const ErrorMapping& mapping : kErrorMappings) {
        if (mapping.libusbError == libusbError) {
            return mapping.status;
        }
    }
    return kOperationFailed;
}

unsigned int LibusbTimeout(uint32_t clockMs) {
    if (clockMs == 0) {
        return 0;
    }
    const auto real = std::chrono::ceil<std::chrono::milliseconds>(plat::RealDuration(clockMs));
    const auto limit = static_cast<long long>(std::numeric_limits<unsigned int>::max());
    return static_cast<unsigned int>(std::clamp<long long>(real.count(), 1, limit));
}

}  // namespace drv
