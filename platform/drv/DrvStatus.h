#pragma once
// Status codes of the kernel driver stand-in, shared by every layer above it.
#include <cstdint>

namespace drv {

enum Status : uint32_t {
    kSuccess = 0x00000000,
    kInvalidDriverHandle = 0xFFFFFFFF,
    kError = 0x20000000,
    kInvalidHandle = 0x20000001,
    kInvalidPipeNumber = 0x20000002,
    kInsufficientResources = 0x20000005,
    kInternalError = 0x20000007,
    kDataMismatch = 0x20000008,
    kNotImplemented = 0x2000000A,
    kDeviceNotFound = 0x2000000F,
    kWrongUniqueId = 0x20000010,
    kDescriptorError = 0x20000012,
    kTimeout = 0x20000015,
    kCancelled = 0x20000016,
    kNoEvents = 0x2000001A,
    kInvalidParameter = 0x2000001B,
    kIncorrectVersion = 0x2000001C,
    kTryAgain = 0x2000001D,
    kFailedOpen = 0x2000001E,
    kInvalidIoctl = 0x2000001F,
    kOperationFailed = 0x20000020,
    kUsbdStall = 0xC0000004,
};

}  // namespace drv
