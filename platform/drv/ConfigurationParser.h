#pragma once
// Reads the interface layout of a device out of its configuration descriptor. Works on
// bytes only: the descriptor comes from a device and is not trusted.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace drv {

struct AlternateLayout {
    std::array<uint8_t, 9> interfaceDescriptor{};
    std::vector<std::array<uint8_t, 7>> endpoints;
};

struct InterfaceLayout {
    uint8_t number = 0;
    std::vector<AlternateLayout> alternates;  // in the order they stand

    // The index of the alternate setting with this bAlternateSetting, if there is one.
    std::optional<size_t> IndexOf(uint32_t alternateSetting) const;
};

// The interfaces of a configuration descriptor in the order of their first appearance.
// Nothing when the descriptor is malformed (a length that leaves the data, a descriptor
// shorter than its kind, an endpoint before any interface) or names no interface.
std::optional<std::vector<InterfaceLayout>> ParseConfiguration(std::span<const uint8_t> bytes);

}  // namespace drv
