#include "platform/drv/ConfigurationParser.h"

#include <algorithm>

namespace drv {
namespace {

constexpr uint8_t kConfigurationType = 2;
constexpr uint8_t kInterfaceType = 4;
constexpr uint8_t kEndpointType = 5;
constexpr size_t kConfigurationLength = 9;
constexpr size_t kInterfaceLength = 9;
constexpr size_t kEndpointLength = 7;

InterfaceLayout& InterfaceNumbered(std::vector<InterfaceLayout>& interfaces, uint8_t number) {
    auto found = std::find_if(interfaces.begin(), interfaces.end(),
                              [number](const InterfaceLayout& i) { return i.number == number; });
    if (found != interfaces.end()) {
        return *found;
    }
    interfaces.push_back(InterfaceLayout{number, {}});
    return interfaces.back();
}

}  // namespace

std::optional<size_t> InterfaceLayout::IndexOf(uint32_t alternateSetting) const {
    for (size_t i = 0; i < alternates.size(); ++i) {
        if (alternates[i].interfaceDescriptor[3] == alternateSetting) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::vector<InterfaceLayout>> ParseConfiguration(std::span<const uint8_t> bytes) {
    if (bytes.size() < kConfigurationLength || bytes[1] != kConfigurationType) {
        return std::nullopt;
    }
    // wTotalLength says how much belongs to the configuration; never read past either.
    const size_t total = std::min<size_t>(bytes.size(), bytes[2] | (bytes[3] << 8));
    std::vector<InterfaceLayout> interfaces;
    AlternateLayout* current = nullptr;
    size_t at = 0;
    while (at + 2 <= total) {
        const size_t length = bytes[at];
        const uint8_t type = bytes[at + 1];
        if (length < 2 || at + length > total) {
            return std::nullopt;
        }
        if (type == kInterfaceType) {
            if (length < kInterfaceLength) {
                return std::nullopt;
            }
            AlternateLayout alternate;
            std::copy_n(bytes.begin() + at, kInterfaceLength,
                        alternate.interfaceDescriptor.begin());
            auto& interface = InterfaceNumbered(interfaces, bytes[at + 2]);
            interface.alternates.push_back(std::move(alternate));
            current = &interface.alternates.back();
        } else if (type == kEndpointType) {
            if (length < kEndpointLength || current == nullptr) {
                return std::nullopt;
            }
            std::array<uint8_t, 7> endpoint{};
            std::copy_n(bytes.begin() + at, kEndpointLength, endpoint.begin());
            current->endpoints.push_back(endpoint);
        }
        at += length;
    }
    if (interfaces.empty()) {
        return std::nullopt;
    }
    return interfaces;
}

}  // namespace drv
