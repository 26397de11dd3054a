// Reading a configuration descriptor into interfaces, and laying out the DeviceInfo
// block from it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/drv/ConfigurationParser.h"
#include "platform/drv/DeviceInfoBuilder.h"
#include "tests/drv/FakeDevice.h"
#include "usb/Wdu.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes WithTotalLength(Bytes bytes) {
    bytes[2] = static_cast<uint8_t>(bytes.size());
    bytes[3] = static_cast<uint8_t>(bytes.size() >> 8);
    return bytes;
}

const Bytes kHeader{9, 2, 0, 0, 2, 1, 0, 0x80, 50};

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return WithTotalLength(all);
}

TEST(ConfigurationParser, ReadsInterfacesInOrderWithTheirSettingsAndEndpoints) {
    // Interface 1 stands first; a class-specific descriptor (type 0x21) is skipped.
    const Bytes bytes = Join({kHeader,
                              {9, 4, 1, 0, 1, 0xFF, 0, 0, 0},
                              {7, 5, 0x82, 2, 64, 0, 0},
                              {9, 4, 0, 0, 2, 0xFF, 0, 0, 0},
                              {5, 0x21, 1, 2, 3},
                              {7, 5, 0x01, 2, 64, 0, 0},
                              {7, 5, 0x81, 2, 64, 0, 0},
                              {9, 4, 1, 1, 0, 0xFF, 0, 0, 0}});
    const auto interfaces = drv::ParseConfiguration(bytes);
    ASSERT_TRUE(interfaces);
    ASSERT_EQ(interfaces->size(), 2u);
    EXPECT_EQ((*interfaces)[0].number, 1);
    ASSERT_EQ((*interfaces)[0].alternates.size(), 2u);
    EXPECT_EQ((*interfaces)[0].alternates[0].endpoints.size(), 1u);
    EXPECT_EQ((*interfaces)[0].alternates[1].endpoints.size(), 0u);
    EXPECT_EQ((*interfaces)[0].IndexOf(1), 1u);
    EXPECT_FALSE((*interfaces)[0].IndexOf(2));
    EXPECT_EQ((*interfaces)[1].number, 0);
    ASSERT_EQ((*interfaces)[1].alternates[0].endpoints.size(), 2u);
    EXPECT_EQ((*interfaces)[1].alternates[0].endpoints[1][2], 0x81);
}

TEST(ConfigurationParser, RefusesMalformedDescriptors) {
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Bytes interface { 9, 4, 0, 0, 1, 0xFF, 0, 0, 0 };
    const Case cases[] = {
        {"empty", {}},
        {"not a configuration", WithTotalLength({9, 4, 0, 0, 0, 0, 0, 0, 0})},
        {"no interface", WithTotalLength(kHeader)},
        {"zero length descriptor", Join({kHeader, interface, {0, 5}})},
        {"descriptor past the end", Join({kHeader, interface, {7, 5, 0x81, 2}})},
        {"short interface", Join({kHeader, {5, 4, 0, 0, 0}})},
        {"short endpoint", Join({kHeader, interface, {5, 5, 0x81, 2, 64}})},
        {"endpoint before any interface", Join({kHeader, {7, 5, 0x81, 2, 64, 0, 0}, interface})},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(drv::ParseConfiguration(c.bytes)) << c.name;
    }
}

TEST(ConfigurationParser, ReadsNoFurtherThanTheTotalLength) {
    Bytes bytes = Join({kHeader, {9, 4, 0, 0, 0, 0xFF, 0, 0, 0}});
    const Bytes trailing{9, 4, 7, 0, 0, 0xFF, 0, 0, 0};  // beyond wTotalLength
    bytes.insert(bytes.end(), trailing.begin(), trailing.end());
    const auto interfaces = drv::ParseConfiguration(bytes);
    ASSERT_TRUE(interfaces);
    EXPECT_EQ(interfaces->size(), 1u);
}

TEST(DeviceInfoBuilder, BuildsASelfContainedBlockInTheCallersBuffer) {
    drvtest::FakeDevice device(0x1501, 0x7616, {drvtest::FakeInterface{0, 3}});
    const auto interfaces = drv::ParseConfiguration(device.ConfigurationDescriptor());
    ASSERT_TRUE(interfaces);
    const Bytes descriptorBytes = device.DeviceDescriptor();
    std::array<uint8_t, 18> descriptor{};
    std::copy(descriptorBytes.begin(), descriptorBytes.end(), descriptor.begin());

    const uint32_t size = drv::DeviceInfoSize((*interfaces)[0]);
    void* block = std::malloc(size);
    drv::BuildDeviceInfo(block, descriptor, (*interfaces)[0], 2);
    // Every pointer of the block lies inside it.
    const auto* begin = static_cast<const uint8_t*>(block);
    auto inside = [&](const void* p) {
        const auto* b = static_cast<const uint8_t*>(p);
        return b >= begin && b < begin + size;
    };
    const auto* info = static_cast<const usb::DeviceInfo*>(block);
    EXPECT_EQ(info->deviceDescriptor.idProduct, 0x7616);
    ASSERT_TRUE(inside(info->activeInterfaces));
    const usb::InterfaceInfo& interface = info->activeInterfaces[0];
    ASSERT_EQ(interface.alternateSettingCount, 3u);
    EXPECT_EQ(interface.activeAlternateSetting, &interface.alternateSettings[2]);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(inside(&interface.alternateSettings[i]));
        EXPECT_TRUE(inside(interface.alternateSettings[i].endpoints + 1));
    }
    std::free(block);
}

}  // namespace
