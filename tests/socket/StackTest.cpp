// The whole way from the projector link to a virtual projector in another place: link,
// USB library, driver core, socket bus, socket, simulator server, projector model. First
// with the server in this process, then with the real ostrel-sim program as a child.
#include <signal.h>

#include <fstream>
#include <sstream>

#include "link/State.h"
#include "platform/clock/Clock.h"
#include "platform/drv/Drv.h"
#include "platform/drv/SocketBus.h"
#include "platform/vcl/core/MessageBox.h"
#include "platform/vcl/core/Paths.h"
#include "sim/Projector.h"
#include "sim/cli/SocketServer.h"
#include "tests/app/ChildProcess.h"
#include "tests/socket/SocketFixture.h"

namespace socktest {
namespace {

// The driver core and its buses live as long as the process: one socket bus, on a path
// of this test run's own, serves every test here.
const TempFolder& RunFolder() {
    static const TempFolder folder;
    return folder;
}

const std::string& SocketPath() {
    static const std::string path = RunFolder() / "sim.sock";
    return path;
}

class StackTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        plat::SetClockSpeed(100.0);
        drv::AddBus(std::make_unique<drv::SocketBus>(SocketPath()));
    }

    void SetUp() override {
        std::filesystem::create_directories(RunFolder() / "bin");
        vcl::SetExecutablePathForTesting(RunFolder() / "bin/ostrel");
        std::ofstream(RunFolder() / "bin/ostrel.USB") << "[USB]\nVID=1501\n[PID_DMD]\n5010=XGA\n";
        lnk::myDevice.fill(lnk::DeviceEntry{});
        lnk::model7616 = false;
        ASSERT_TRUE(lnk::myUSBopen());
    }

    void TearDown() override {
        lnk::MyUSBclose();
        projector_.reset();
        server_.reset();
        vcl::SetExecutablePathForTesting("");
    }

    void Serve() {
        server_ = std::make_unique<sim::cli::SocketServer>(SocketPath());
        std::string error;
        ASSERT_TRUE(server_->Start(error)) << error;
        sim::ProjectorConfig config;
        // The host reads the acknowledgement of EnterBootloader through the socket: give
        // it more than the default 5 ms of real time at this clock speed (sanitizers).
        config.timing.acknowledgeGraceMs = 100000;
        projector_ = std::make_unique<sim::Projector>(config);
        projector_->PlugInto(*server_);
    }

    vcl::MessageBoxResponder boxes_;
    std::unique_ptr<sim::cli::SocketServer> server_;
    std::unique_ptr<sim::Projector> projector_;
};

TEST_F(StackTest, TheLinkFollowsAProjectorServedOverTheSocket) {
    Serve();
    ASSERT_TRUE(WaitUntil([] { return lnk::attached.load(); }));
    EXPECT_FALSE(lnk::ostrelMode);
    EXPECT_EQ(lnk::attachedProductId, 0x5010);
    EXPECT_EQ(lnk::AttachedStrings().product, "Virtual Projector");
    EXPECT_EQ(lnk::ReadStatus(), lnk::kApplicationReady);

    // A mode switch crosses the socket as a detach and an attach in Ostrel mode.
    EXPECT_EQ(lnk::EnterBootloader(), drv::kSuccess);
    ASSERT_TRUE(projector_->WaitForAttach(sim::Mode::Bootloader, 10000));
    ASSERT_TRUE(WaitUntil([] { return lnk::attached && lnk::ostrelMode; }));
    EXPECT_EQ(lnk::ReadStatus(), lnk::kBootloaderReady);

    EXPECT_TRUE(boxes_.Boxes().empty());

    // The simulator goes: the projector detaches. It comes back: the link sees it again.
    server_->Stop();
    EXPECT_TRUE(WaitUntil([] { return !lnk::attached; }));
    EXPECT_EQ(lnk::ReadStatus(), 0) << "transfers to a departed projector fail";
    projector_.reset();
    server_.reset();
    Serve();
    ASSERT_TRUE(WaitUntil([] { return lnk::attached.load(); }));
    EXPECT_EQ(lnk::ReadStatus(), lnk::kApplicationReady);
}

// ---- The real program ----

TEST_F(StackTest, TheOstrelSimProgramServesAProjectorUntilItIsStopped) {
    const std::string output = RunFolder() / "ostrel-sim.out";
    apptest::Child child({OSTREL_SIM_PROGRAM, "--fast", "100", "--socket", SocketPath(),
                          "--product-string", "Child Beamer"},
                         output);
    ASSERT_TRUE(child.Spawned());
    ASSERT_TRUE(WaitUntil([] { return lnk::attached.load(); }));
    EXPECT_EQ(lnk::AttachedStrings().product, "Child Beamer");
    EXPECT_EQ(lnk::ReadStatus(), lnk::kApplicationReady);

    // A short write in the bootloader, to see the lines of a flash job. The program's
    // projector restarts 5 ms (real) after its acknowledgement whether or not it was read
    // by then, so the status of the switch itself is not looked at.
    lnk::EnterBootloader();
    ASSERT_TRUE(WaitUntil([] { return lnk::attached && lnk::ostrelMode; }));
    EXPECT_EQ(lnk::EraseSector(0x1F0000), drv::kSuccess);
    EXPECT_EQ(lnk::SetFlashRange(0x1F0000, 3 * 56), drv::kSuccess);
    const std::vector<uint8_t> block(56, 0x5A);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(lnk::WriteFlashBlock(block.data(), 56), drv::kSuccess);
    }

    child.Signal(SIGTERM);
    EXPECT_TRUE(WaitUntil([] { return !lnk::attached; }));
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(SocketPath())) << "the socket goes with the program";

    const std::string lines = apptest::Contents(output);
    const char* const expected[] = {
        "#1 attached in application mode (normal)\n",
        "driver connected\n",
        "#1 ReadStatus\n",
        "#1 EnterBootloader\n",
        "#1 mode change: application -> bootloader\n",
        "#1 attached in bootloader mode (Ostrel mode)\n",
        "#1 EraseSector 0x1F0000\n",
        "#1 SetSize 0x0000A8\n",
        "#1 WriteFlashBlock 56 bytes (block 1)\n",
        "#1 WriteFlashBlock 56 bytes (block 3, last of 168 bytes)\n",
        "ostrel-sim: stopping (Terminated)\n",
        "#1 detached\n",
        "ostrel-sim: stopped\n",
    };
    for (const char* line : expected) {
        EXPECT_NE(lines.find(line), std::string::npos) << line << "missing from:\n" << lines;
    }
}

}  // namespace
}  // namespace socktest
