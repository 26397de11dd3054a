#pragma once
// Lays out the information block about one attached interface of a device (the
// usb::DeviceInfo layout) in a caller's buffer, all internal pointers into that buffer.
#include <array>
#include <cstdint>

#include "platform/drv/ConfigurationParser.h"

namespace drv {

// The bytes the block needs for this interface.
uint32_t DeviceInfoSize(const InterfaceLayout& interface);

// Writes the block into `buffer` (at least DeviceInfoSize bytes, pointer-aligned):
// the device descriptor, one active interface with every alternate setting of it and
// their endpoints; `activeIndex` is the index of the alternate setting in use.
void BuildDeviceInfo(void* buffer, const std::array<uint8_t, 18>& deviceDescriptor,
                     const InterfaceLayout& interface, size_t activeIndex);

}  // namespace drv
