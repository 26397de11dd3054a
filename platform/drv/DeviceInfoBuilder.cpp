#include "platform/drv/DeviceInfoBuilder.h"

#include <cstring>
#include <new>

// The block's layout is the one the USB library hands to programs; the driver fills
// it, as a kernel driver fills the information records of its user-mode library.
#include "usb/Wdu.h"

namespace drv {
namespace {

constexpr size_t AlignUp(size_t offset) {
    constexpr size_t alignment = alignof(std::max_align_t);
    return (offset + alignment - 1) / alignment * alignment;
}

struct Offsets {
    size_t interfaceInfo;
    size_t alternates;
    size_t endpoints;  // endpoint descriptors of every alternate, one after another
    size_t total;
};

Offsets LayOut(const InterfaceLayout& interface) {
    Offsets o{};
    o.interfaceInfo = AlignUp(sizeof(usb::DeviceInfo));
    o.alternates = AlignUp(o.interfaceInfo + sizeof(usb::InterfaceInfo));
    o.endpoints =
        AlignUp(o.alternates + sizeof(usb::AlternateSetting) * interface.alternates.size());
    size_t endpointCount = 0;
    for (const auto& alternate : interface.alternates) {
        endpointCount += alternate.endpoints.size();
    }
    o.total = AlignUp(o.endpoints + sizeof(usb::EndpointDescriptor) * endpointCount);
    return o;
}

}  // namespace

uint32_t DeviceInfoSize(const InterfaceLayout& interface) {
    return static_cast<uint32_t>(LayOut(interface).total);
}

void BuildDeviceInfo(void* buffer, const std::array<uint8_t, 18>& deviceDescriptor,
                     const InterfaceLayout& interface, size_t activeIndex) {
    const Offsets o = LayOut(interface);
    auto* base = static_cast<uint8_t*>(buffer);
    std::memset(base, 0, o.total);

    auto* info = new (base) usb::DeviceInfo{};
    std::memcpy(&info->deviceDescriptor, deviceDescriptor.data(), deviceDescriptor.size());
    auto* interfaceInfo = new (base + o.interfaceInfo) usb::InterfaceInfo{};
    info->activeInterfaceCount = 1;
    info->activeInterfaces = interfaceInfo;

    auto* alternates = reinterpret_cast<usb::AlternateSetting*>(base + o.alternates);
    auto* endpoints = reinterpret_cast<usb::EndpointDescriptor*>(base + o.endpoints);
    for (size_t i = 0; i < interface.alternates.size(); ++i) {
        const AlternateLayout& source = interface.alternates[i];
        auto* alternate = new (&alternates[i]) usb::AlternateSetting{};
        std::memcpy(&alternate->descriptor, source.interfaceDescriptor.data(),
                    source.interfaceDescriptor.size());
        alternate->endpointCount = static_cast<uint32_t>(source.endpoints.size());
        alternate->endpoints = source.endpoints.empty() ? nullptr : endpoints;
        for (const auto& endpoint : source.endpoints) {
            std::memcpy(endpoints, endpoint.data(), endpoint.size());
            ++endpoints;
        }
    }
    interfaceInfo->alternateSettingCount = static_cast<uint32_t>(interface.alternates.size());
    interfaceInfo->alternateSettings = alternates;
    interfaceInfo->activeAlternateSetting =
        activeIndex < interface.alternates.size() ? &alternates[activeIndex] : alternates;
}

}  // namespace drv
