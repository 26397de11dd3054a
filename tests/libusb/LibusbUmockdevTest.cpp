// The libusb bus for real: libusb-1.0 against emulated usbfs devices (umockdev), each
// answered by a virtual projector, under the USB library and the projector link.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <numeric>
#include <random>
#include <string>
#include <thread>

#include "platform/drv/Drv.h"
#include "platform/drv/LibusbBus.h"
#include "tests/libusb/UsbfsEmulator.h"
#include "tests/link/LinkFixture.h"

namespace {

using linktest::kOneProjector;
using linktest::WaitUntil;

usbemu::UsbfsEmulator* emulator = nullptr;
drv::LibusbBus* bus = nullptr;  // owned by the driver core
bool permissionDropped = false;

// Before any thread starts: threads inherit the dropped power, the test bed's own
// worker included.
class Environment : public ::testing::Environment {
  public:
    void SetUp() override {
        permissionDropped = usbemu::DropPermissionOverride();
        emulator = new usbemu::UsbfsEmulator;
    }
};
[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new Environment);

bool LogHas(const std::string& part) {
    for (const std::string& line : drv::DebugLog()) {
        if (line.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

class LibusbTest : public linktest::LinkTest {
  protected:
    void SetUp() override {
        LinkTest::SetUp();
        if (!emulator->Available()) {
            GTEST_SKIP() << "needs umockdev-wrapper";
        }
        if (bus == nullptr) {
            auto owned = std::make_unique<drv::LibusbBus>();
            bus = owned.get();
            drv::AddBus(std::move(owned));
        }
        drv::DrvClose(drv::DrvOpen());  // the core starts its buses at the first open
        ASSERT_TRUE(bus->Available()) << "libusb did not start under umockdev";
        drv::ClearDebugLog();
        emulator->SetNodesUnreadable(false);
    }

    void TearDown() override {
        LinkTest::TearDown();  // the projector leaves the bus
        if (bus != nullptr) {
            EXPECT_TRUE(WaitUntil([] { return emulator->PresentDevices() == 0; }));
            EXPECT_TRUE(WaitUntil([] { return bus->DeviceCount() == 0; }));
        }
    }

    // Opens the link, then plugs a projector into the emulated usbfs.
    sim::Projector& OpenUsb(sim::ProjectorConfig config = {}) {
        projector_.reset();
        WriteUsbFile(kOneProjector);
        EXPECT_TRUE(lnk::myUSBopen());
        sim::Projector& projector = Projector(config);
        projector.PlugInto(*emulator);
        EXPECT_TRUE(WaitUntil([] { return lnk::attached.load(); }));
        return projector;
    }
};

TEST_F(LibusbTest, PresentProjectorIsFoundWithItsDescriptorsAndInterfaceZeroClaimed) {
    WriteUsbFile(kOneProjector);
    sim::ProjectorConfig config;
    config.identity.productId = 0x7616;
    config.identity.manufacturer = "Emulated Optics";
    config.identity.product = "Projector over usbfs";
    config.startMode = sim::Mode::Bootloader;  // names its serial string
    config.identity.serial = "UMOCK-0042";
    Projector(config).PlugInto(*emulator);
    ASSERT_TRUE(WaitUntil([] { return bus->DeviceCount() == 1; })) << "found by libusb";

    ASSERT_TRUE(lnk::myUSBopen());
    ASSERT_TRUE(WaitUntil([] { return lnk::attached.load(); }));
    EXPECT_TRUE(lnk::ostrelMode);
    EXPECT_EQ(lnk::attachedVendorId, 0x1501);
    EXPECT_EQ(lnk::attachedProductId, 0x7616);
    const lnk::IdentityStrings strings = lnk::AttachedStrings();
    EXPECT_EQ(strings.manufacturer, "Emulated Optics");
    EXPECT_EQ(strings.product, "Projector over usbfs");
    EXPECT_EQ(strings.serial, "UMOCK-0042");

    const usbemu::UsbfsCounts counts = emulator->Counts();
    EXPECT_GE(counts.stringReads, 3u) << "the strings came over the control pipe";
    EXPECT_GE(counts.driverDetaches, 1u) << "the bound kernel driver was detached";
    EXPECT_GE(counts.setInterfaces, 1u);
    const auto claimed = emulator->ClaimedInterfaces();
    ASSERT_EQ(claimed.size(), 1u);
    EXPECT_NE(claimed[0].find("interface 0"), std::string::npos) << claimed[0];
}

TEST_F(LibusbTest, InformationQueriesAreAnswered) {
    sim::ProjectorConfig config;
    config.information.release = {9, 12, 24, 1};
    config.information.configuration = {4, 5, 6, 7};
    config.information.unitLife = 4321;
    config.information.logoAddress = 0xFE3A0000;
    config.information.width = 1280;
    config.information.height = 800;
    OpenUsb(config);

    EXPECT_EQ(lnk::ReadStatus(), lnk::kApplicationReady);
    lnk::InfoRecord release{};
    EXPECT_EQ(lnk::ReadReleaseDate(release), 0u);
    EXPECT_EQ(release, (lnk::InfoRecord{9, 12, 24, 1}));
    lnk::InfoRecord configuration{};
    EXPECT_EQ(lnk::ReadConfig(configuration), 0u);
    EXPECT_EQ(configuration, (lnk::InfoRecord{4, 5, 6, 7}));
    uint32_t width = 0;
    uint32_t height = 0;
    EXPECT_EQ(lnk::ReadResolution(width, height), 0u);
    EXPECT_EQ(width, 1280u);
    EXPECT_EQ(height, 800u);
    uint32_t life = 0;
    EXPECT_EQ(lnk::ReadUnitLife(life), 0u);
    EXPECT_EQ(life, 4321u);
    uint32_t logo = 0;
    EXPECT_EQ(lnk::ReadLogoAddress(logo), 0u);
    EXPECT_EQ(logo, 0xFE3A0000u);
    EXPECT_TRUE(boxes_.Boxes().empty());
}

// The projector re-enumerates into its bootloader (a remove and an add on the emulated
// bus), takes an erase, a range and the blocks, and sums them as the host did.
TEST_F(LibusbTest, FirmwareJobRunsToAMatchingChecksum) {
    sim::ProjectorConfig config;
    config.flash.chip = sim::kChip2MbBoot;
    sim::Projector& projector = OpenUsb(config);
    ASSERT_EQ(lnk::EnterBootloader(), 0u);
    ASSERT_TRUE(WaitUntil([] { return lnk::attached && lnk::ostrelMode; }));
    EXPECT_EQ(lnk::ReadStatus(), lnk::kBootloaderReady);
    EXPECT_EQ(lnk::ReadFlashType(), 0x00010000u | sim::kChip2MbBoot);

    constexpr uint32_t kOffset = 0x010000;
    std::vector<uint8_t> image(56 * 40 + 17);
    std::mt19937 random(7);
    std::generate(image.begin(), image.end(), [&] { return static_cast<uint8_t>(random()); });
    ASSERT_EQ(lnk::EraseSector(kOffset), 0u);
    ASSERT_EQ(lnk::SetFlashRange(kOffset, static_cast<uint32_t>(image.size())), 0u);
    uint32_t sum = 0;
    for (size_t at = 0; at < image.size(); at += 56) {
        const auto length = static_cast<uint32_t>(std::min<size_t>(56, image.size() - at));
        ASSERT_EQ(lnk::WriteFlashBlock(image.data() + at, length), 0u) << "block at " << at;
        sum = std::accumulate(image.begin() + static_cast<long>(at),
                              image.begin() + static_cast<long>(at + length), sum);
    }
    EXPECT_EQ(lnk::ReadFlashChecksum(), sum);
    EXPECT_EQ(projector.ReadFlash(kOffset, static_cast<uint32_t>(image.size())), image);

    EXPECT_EQ(lnk::ExitBootloader(), 0u);
    ASSERT_TRUE(WaitUntil([] { return lnk::attached && !lnk::ostrelMode; }));
    EXPECT_EQ(projector.Counts().attaches, 3u);
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(LibusbTest, UnplugDuringAReadGivesDeviceNotFoundAndTheLinkFallsBack) {
    sim::Projector& projector = OpenUsb();
    sim::Faults faults;
    faults.delayMs = 20000;  // the answer would come well after the cable is out
    projector.SetFaults(faults);
    const uint64_t before = emulator->Counts().submitted;
    std::atomic<uint32_t> status{1};
    std::array<uint8_t, 64> answer{};
    std::thread reader([&] { status = lnk::SendHexCommand(lnk::kReadStatusText, answer); });
    // The packet went out and the read for its answer is waiting in the device.
    ASSERT_TRUE(WaitUntil([&] { return emulator->Counts().submitted >= before + 2; }));
    projector.Unplug();
    reader.join();
    EXPECT_EQ(status, drv::kDeviceNotFound);
    EXPECT_TRUE(WaitUntil([] { return !lnk::attached.load(); }));
    EXPECT_TRUE(lnk::usbOpen) << "the link waits for the projector to come back";

    projector.ClearFaults();
    projector.Plug();
    EXPECT_TRUE(WaitUntil([] { return lnk::attached.load(); }));
    EXPECT_EQ(lnk::ReadStatus(), lnk::kApplicationReady);
}

TEST_F(LibusbTest, ReadWithNoAnswerTimesOut) {
    sim::Projector& projector = OpenUsb();
    sim::Faults faults;
    faults.ignore = {std::nullopt, 0, sim::kForever};
    projector.SetFaults(faults);
    const uint64_t discarded = emulator->Counts().discarded;
    std::array<uint8_t, 64> answer{};
    const uint64_t start = plat::NowMs();
    EXPECT_EQ(lnk::SendHexCommand(lnk::kReadStatusText, answer), drv::kTimeout);
    EXPECT_GE(plat::NowMs() - start, 30000u);
    EXPECT_GT(emulator->Counts().discarded, discarded) << "libusb withdrew the read";
    EXPECT_TRUE(lnk::attached) << "a time-out is no detach";
}

// Root may open anything: the test gave up that power before any thread started.
TEST_F(LibusbTest, ProjectorWithoutPermissionIsNamedAndTheLinkGoesOnWaiting) {
    if (!permissionDropped) {
        GTEST_SKIP() << "cannot give up the power to override file permissions";
    }
    emulator->SetNodesUnreadable(true);
    WriteUsbFile(kOneProjector);
    ASSERT_TRUE(lnk::myUSBopen());
    testing::internal::CaptureStderr();
    sim::Projector& projector = Projector();
    projector.PlugInto(*emulator);
    const bool logged = WaitUntil([] { return LogHas("70-ostrel.rules"); });
    const std::string stderrText = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(logged);
    for (const char* part : {"1501:5010", "LIBUSB_ERROR_ACCESS", "70-ostrel.rules"}) {
        EXPECT_NE(stderrText.find(part), std::string::npos) << part << " in: " << stderrText;
        EXPECT_TRUE(LogHas(part)) << part;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(lnk::attached);
    EXPECT_EQ(bus->DeviceCount(), 0u);
    EXPECT_TRUE(lnk::usbOpen);

    // The rule installed, the projector replugged: it is tried again and found.
    emulator->SetNodesUnreadable(false);
    projector.Unplug();
    projector.Plug();
    EXPECT_TRUE(WaitUntil([] { return lnk::attached.load(); }));
    EXPECT_EQ(lnk::ReadStatus(), lnk::kApplicationReady);
}

}  // namespace
