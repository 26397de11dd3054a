#pragma once
// What the window tests of both programs share: an application object for the test
// program, a fast clock, a `.USB` file beside a stand-in executable path, a message-box
// responder, a virtual projector on the virtual bus, and a fresh link for every test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/shell/ProjectorInfo.h"
#include "link/State.h"
#include "platform/clock/Clock.h"
#include "platform/drv/DriverCore.h"
#include "platform/drv/Drv.h"
#include "platform/drv/VirtualBus.h"
#include "platform/vcl/Vcl.h"
#include "platform/vcl/core/Paths.h"
#include "sim/Projector.h"

namespace apptest {

constexpr char kUsbFile[] = "[USB]\nVID=1501\n[PID_DMD]\n5010=XGA\n7616=WXGA\n";
constexpr double kClockSpeed = 100.0;

// Waits (real time, bounded) until `done` holds, without running the window's events.
template <typename Pred>
bool WaitUntil(Pred done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Runs the window thread's events (timers tick) until `done` or `clockMs` have passed.
template <typename Pred>
bool PumpUntil(Pred done, uint32_t clockMs = 60000) {
    const uint64_t end = plat::NowMs() + clockMs;
    while (!done()) {
        if (plat::NowMs() > end) {
            return false;
        }
        vcl::PumpEvents(50);
    }
    return true;
}

// The commands the projector received, by kind.
inline std::vector<sim::Command> Commands(const sim::Projector& projector) {
    std::vector<sim::Command> commands;
    for (const sim::LoggedCommand& logged : projector.CommandLog()) {
        commands.push_back(logged.command);
    }
    return commands;
}

inline size_t CountOf(const sim::Projector& projector, sim::Command command) {
    const std::vector<sim::Command> all = Commands(projector);
    return static_cast<size_t>(std::count(all.begin(), all.end(), command));
}

// One application object for the whole test program, as a program has.
class ApplicationEnvironment final : public ::testing::Environment {
  public:
    void SetUp() override {
        plat::SetClockSpeed(kClockSpeed);
        application_ = std::make_unique<vcl::TApplication>(argc_, argv_);
    }
    void TearDown() override { application_.reset(); }

  private:
    int argc_ = 1;
    char name_[16] = "window_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<vcl::TApplication> application_;
};

class WindowTest : public ::testing::Test {
  protected:
    explicit WindowTest(std::string executableName) : executableName_(std::move(executableName)) {}

    void SetUp() override {
        drv::SetUnopenable(false);
        drv::SetReportedVersion(drv::kStandInVersion);
        drv::TheVirtualBus().UnplugAll();
        char pattern[] = "/tmp/ostrel-window-XXXXXX";
        folder_ = ::mkdtemp(pattern);
        std::filesystem::create_directories(folder_ / "bin");
        vcl::SetExecutablePathForTesting((folder_ / "bin" / executableName_).string());
        lnk::myDevice.fill(lnk::DeviceEntry{});
        lnk::model7616 = false;
        lnk::identityShown = false;
        shell::ResetProjectorInfo();
        // An odd width: the window's left edge is rounded toward zero.
        vcl::Screen->SetSizeForTest(1025, 769);
        WriteUsbFile(kUsbFile);
    }

    void TearDown() override {
        lnk::MyUSBclose();
        projector_.reset();
        drv::TheVirtualBus().UnplugAll();
        vcl::Screen->SetSizeForTest(std::nullopt, std::nullopt);
        vcl::SetExecutablePathForTesting("");
        std::filesystem::remove_all(folder_);
        drv::SetUnopenable(false);
        drv::SetReportedVersion(drv::kStandInVersion);
    }

    std::string UsbFilePath() const {
        return (folder_ / "bin" / (executableName_ + ".USB")).string();
    }
    void WriteUsbFile(const std::string& text) const { std::ofstream(UsbFilePath()) << text; }
    void RemoveUsbFile() const { std::filesystem::remove(UsbFilePath()); }

    // Plugs a projector of `config` into `port` (which outlives it) and waits until the
    // link has it attached.
    sim::Projector& Plug(sim::ProjectorConfig config = {},
                         drv::DevicePort& port = drv::TheVirtualBus()) {
        projector_.reset();
        EXPECT_TRUE(WaitUntil([] { return !lnk::attached.load(); }));
        projector_ = std::make_unique<sim::Projector>(config);
        projector_->PlugInto(port);
        WaitForAttach(config.startMode);
        return *projector_;
    }

    void WaitForAttach(sim::Mode mode) {
        const uint16_t index = mode == sim::Mode::Bootloader ? lnk::kOstrelModeSerialIndex : 0;
        EXPECT_TRUE(WaitUntil([index] {
            return lnk::attached.load() && lnk::serialNumberIndex.load() == index;
        })) << "the projector never attached in mode "
            << sim::ModeName(mode);
    }

    void Unplug() {
        projector_->Unplug();
        EXPECT_TRUE(WaitUntil([] { return !lnk::attached.load(); }));
    }

    static sim::ProjectorConfig Model7616() {
        sim::ProjectorConfig config;
        config.identity.productId = 0x7616;
        config.information.logoAddress = 0xFD000000;
        return config;
    }

    std::vector<std::string> Captions() const {
        std::vector<std::string> captions;
        for (const vcl::MessageRecord& box : boxes_.Boxes()) {
            captions.push_back(box.caption);
        }
        return captions;
    }
    bool Shown(const std::string& text) const {
        const std::vector<std::string> texts = boxes_.Texts();
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }

    std::string executableName_;
    std::filesystem::path folder_;
    vcl::MessageBoxResponder boxes_;
    std::unique_ptr<sim::Projector> projector_;
};

}  // namespace apptest
