// The virtual projector plugged into the driver core's own virtual bus: every
// appearance on the bus reaches the core as one device per interface, and a restart
// replaces them.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/clock/Clock.h"
#include "platform/drv/DriverCore.h"
#include "platform/drv/VirtualBus.h"
#include "sim/Projector.h"
#include "tests/sim/HostSide.h"

namespace {

using sim::Mode;

TEST(OnTheVirtualBus, RestartReplacesTheAttachedInterfaces) {
    plat::SetClockSpeed(100.0);
    const drv::Handle handle = drv::DrvOpen();  // starts the buses
    ASSERT_NE(handle, drv::kNoHandle);
    auto& core = drv::DriverCore::Instance();

    sim::ProjectorConfig config;
    config.identity.applicationLayout = sim::InterfaceLayout::Interface1Then0;
    config.identity.bootloaderLayout = sim::InterfaceLayout::Interface0;
    {
        sim::Projector projector(config);
        projector.PlugInto(drv::TheVirtualBus());
        EXPECT_EQ(drv::TheVirtualBus().DeviceCount(), 1u);
        const auto application = core.DeviceIds();
        EXPECT_EQ(application.size(), 2u);

        const auto ack = simtest::Transact(*projector.Device(), simtest::EnterBootloader());
        ASSERT_EQ(ack.status, drv::kSuccess);
        ASSERT_TRUE(projector.WaitForAttach(Mode::Bootloader, 10000));
        const auto bootloader = core.DeviceIds();
        ASSERT_EQ(bootloader.size(), 1u);
        EXPECT_EQ(std::count(application.begin(), application.end(), bootloader[0]), 0);
        EXPECT_EQ(drv::TheVirtualBus().DeviceCount(), 1u);
    }
    // Destroying the projector takes it off the bus.
    EXPECT_TRUE(core.DeviceIds().empty());
    EXPECT_EQ(drv::TheVirtualBus().DeviceCount(), 0u);
    drv::DrvClose(handle);
}

}  // namespace
