// A whole firmware job in Ostrel's window through real libusb: the projector sits on
// emulated usbfs (umockdev) instead of the virtual bus, so its re-enumeration into the
// bootloader and back, the erase, every block, the checksum and the reset all go through
// the libusb bus, libusb and the kernel's usbfs interface as on a real machine.
#include <gtest/gtest.h>

#include <numeric>
#include <regex>

#include "app/shell/InfoText.h"
#include "platform/drv/LibusbBus.h"
#include "tests/app/JobFixture.h"
#include "tests/libusb/UsbfsEmulator.h"

namespace {

usbemu::UsbfsEmulator* emulator = nullptr;
drv::LibusbBus* bus = nullptr;  // owned by the driver core

// The application object, then the test bed, both for the whole program.
class Environment final : public ::testing::Environment {
  public:
    void SetUp() override {
        application_.SetUp();
        emulator = new usbemu::UsbfsEmulator;
    }
    void TearDown() override { application_.TearDown(); }

  private:
    apptest::ApplicationEnvironment application_;
};
[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new Environment);

const std::regex kVerifiedLine("Update Completed!   Checksum:0x[0-9A-F]{8} Verified!");

class LibusbFlashJobTest : public apptest::JobWindow {
  protected:
    void SetUp() override {
        JobWindow::SetUp();
        if (!emulator->Available()) {
            GTEST_SKIP() << "needs umockdev-wrapper";
        }
        if (bus == nullptr) {
            auto owned = std::make_unique<drv::LibusbBus>();
            bus = owned.get();
            drv::AddBus(std::move(owned));  // before the window's first open starts the buses
        }
    }

    void TearDown() override {
        JobWindow::TearDown();  // the link closes and the projector leaves the bus
        if (bus != nullptr) {
            EXPECT_TRUE(apptest::WaitUntil([] { return emulator->PresentDevices() == 0; }));
            EXPECT_TRUE(apptest::WaitUntil([] { return bus->DeviceCount() == 0; }));
        }
    }
};

TEST_F(LibusbFlashJobTest, FirmwareJobRunsThroughLibusbToVerified) {
    firmware::SampleImageSpec spec;
    spec.size = 0x8000;
    const std::vector<uint8_t> image = firmware::MakeSampleImage(spec);
    sim::ProjectorConfig config;
    config.flash.chip = sim::kChip2MbBoot;

    OpenBoth();
    ASSERT_TRUE(bus->Available()) << "libusb did not start under umockdev";
    sim::Projector& projector = Plug(config, *emulator);
    ASSERT_EQ(bus->DeviceCount(), 1u) << "attached through libusb";
    Tick();
    ostrel::FormOstrel->CheckBoxSkipBoot->SetChecked(false);
    ostrel::FormOstrel->cbReset->SetChecked(true);
    Choose(WriteFile("firmware.img", image));
    ASSERT_TRUE(ostrel::FormOstrel->btnFlash->Enabled());
    boxes_.Clear();
    const uint64_t submittedBefore = emulator->Counts().submitted;

    // Every emulated usbfs request is a socket round trip in real time: the clock's
    // limit leaves room for a slow (sanitized) build.
    ASSERT_TRUE(RunJob(6000000)) << "state " << static_cast<int>(ostrel::FlashJob.state) << " busy "
                                 << ostrel::FlashJob.busy << " status " << LoggedStatus() << " sum "
                                 << ostrel::FormOstrel->lblCheckSum->Caption() << " boxes "
                                 << ::testing::PrintToString(boxes_.Texts()) << " flash "
                                 << ::testing::PrintToString(Captions());
    EXPECT_TRUE(std::regex_match(LoggedStatus(), kVerifiedLine)) << LoggedStatus();
    const std::string checksum = ostrel::FormOstrel->lblCheckSum->Caption();
    EXPECT_TRUE(checksum.ends_with(" Verified!")) << checksum;
    EXPECT_EQ(checksum, shell::FormatText("Checksum:0x%08X Verified!",
                                          std::accumulate(image.begin(), image.end(), 0u)));
    EXPECT_EQ(projector.ReadFlash(0, spec.size), image);

    // Every block and its answer were URBs of the emulated node; the projector went into
    // its bootloader and back out (three appearances on the bus).
    const size_t blocks = apptest::CountOf(projector, sim::Command::WriteFlashBlock);
    EXPECT_GE(blocks, spec.size / 64);
    EXPECT_GE(emulator->Counts().submitted - submittedBefore, 2 * blocks);
    EXPECT_EQ(apptest::CountOf(projector, sim::Command::ExitBootloader), 1u);
    WaitForAttach(sim::Mode::Application);
    EXPECT_EQ(projector.Counts().attaches, 3u);
    EXPECT_EQ(BoxCount("Warning") + BoxCount("Warning again"), 2u) << "a newer image";
    // A status query of the window can meet the projector while it re-enumerates through
    // the emulation and show its transfer box; no box may report a failed job.
    for (const std::string& caption : Captions()) {
        EXPECT_NE(caption, "Checksum Error");
        EXPECT_NE(caption, "Flash Erase");
        EXPECT_NE(caption, "FlashErase");
        EXPECT_NE(caption, "ERR");
    }
}

}  // namespace
