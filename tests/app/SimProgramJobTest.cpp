// The firmware job the way a user first meets it: the sample image written by
// ostrel-sample-image, chosen in Ostrel and flashed to the virtual projector of the
// ostrel-sim program, a separate process on its own simulator socket.
#include <signal.h>

#include <regex>

#include "platform/drv/SocketBus.h"
#include "tests/app/ChildProcess.h"
#include "tests/app/JobFixture.h"

namespace apptest {
namespace {

class SimProgramJob : public JobWindow {
  protected:
    static std::string SocketPath() {
        static const std::string path =
            "/tmp/ostrel-job-sim-" + std::to_string(::getpid()) + ".sock";
        return path;
    }
    void SetUp() override {
        JobWindow::SetUp();
        static const bool added = [] {
            drv::AddBus(std::make_unique<drv::SocketBus>(SocketPath()));
            return true;
        }();
        (void)added;
    }
};

TEST_F(SimProgramJob, SampleImageIsFlashedToTheOstrelSimProgram) {
    const std::string sample = (folder_ / "sample-firmware.img").string();
    const std::string made = (folder_ / "sample.out").string();
    // As scripts/run writes it, only smaller: each block is a round trip between the
    // two processes.
    Child maker(
        {OSTREL_SAMPLE_IMAGE_PROGRAM, "--size", "32768", "--release", "2008-01-15B", sample}, made);
    ASSERT_TRUE(maker.Spawned());
    ASSERT_EQ(maker.Wait(), 0) << Contents(made);

    const std::string output = (folder_ / "ostrel-sim.out").string();
    Child simulator(
        {OSTREL_SIM_PROGRAM, "--fast", "100", "--socket", SocketPath(), "--release", "2007-03-01C"},
        output);
    ASSERT_TRUE(simulator.Spawned());
    OpenBoth();
    ASSERT_TRUE(WaitUntil([] { return lnk::attached.load(); }));
    Tick();
    Choose(sample);
    ASSERT_TRUE(ostrel::FormOstrel->btnFlash->Enabled());
    ASSERT_TRUE(RunJob(3000000)) << "state " << static_cast<int>(ostrel::FlashJob.state) << ", at "
                                 << ostrel::FlashJob.position.load();
    EXPECT_TRUE(std::regex_match(
        LoggedStatus(), std::regex("Update Completed!   Checksum:0x[0-9A-F]{8} Verified!")))
        << LoggedStatus();
    // The reset: the projector comes back in its application.
    ASSERT_TRUE(WaitUntil([] { return lnk::attached.load() && !lnk::ostrelMode.load(); }));

    simulator.Signal(SIGTERM);
    EXPECT_EQ(simulator.Wait(), 0);
    const std::string lines = Contents(output);
    const char* const expected[] = {
        "#1 EnterBootloader\n",
        "#1 mode change: application -> bootloader\n",
        "#1 attached in bootloader mode (Ostrel mode)\n",
        "#1 EraseSector 0x1F0000\n",
        "#1 SetSize 0x008000\n",
        "#1 WriteFlashBlock 56 bytes (block 1)\n",
        "#1 WriteFlashBlock 8 bytes (block 586, last of 32768 bytes)\n",
        "#1 ExitBootloader\n",
        "#1 mode change: bootloader -> application\n",
    };
    for (const char* line : expected) {
        EXPECT_NE(lines.find(line), std::string::npos) << line << "missing from the output";
    }
}

}  // namespace
}  // namespace apptest
