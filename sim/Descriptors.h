#pragma once
// The USB descriptors of the projector in each mode and the standard requests on
// its control pipe.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "sim/Config.h"

namespace sim {

inline constexpr uint8_t kBulkOut = 0x01;
inline constexpr uint8_t kBulkIn = 0x81;
inline constexpr uint8_t kCommandInterface = 0;
inline constexpr uint8_t kSerialIndexApplication = 0;
inline constexpr uint8_t kSerialIndexBootloader = 3;

struct UsbDescriptors {
    std::vector<uint8_t> device;                // 18 bytes
    std::vector<uint8_t> configuration;         // configuration, interfaces, endpoints
    std::vector<std::vector<uint8_t>> strings;  // by index; 0 is the language list
    std::vector<uint8_t> interfaces;            // interface numbers in descriptor order
};

UsbDescriptors BuildDescriptors(const Identity& identity, Mode mode);

// A string descriptor: UTF-8 text as UTF-16LE, cut to fit the one-byte length.
std::vector<uint8_t> StringDescriptor(std::string_view utf8);

// Answers a standard request on the control pipe. Device-to-host requests give the
// bytes to return (already cut to wLength); host-to-device requests the device accepts
// give an empty vector. Nothing means the device stalls the request.
std::optional<std::vector<uint8_t>> AnswerControlRequest(const UsbDescriptors& descriptors,
                                                         std::span<const uint8_t, 8> setup);

}  // namespace sim
