#pragma once
// A fixture for the link against the driver core, the USB library and a virtual
// projector: a fast clock, a `.USB` file beside a stand-in executable path, a message-box
// responder, and a fresh device table and connection for every test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "link/State.h"
#include "platform/clock/Clock.h"
#include "platform/drv/Drv.h"
#include "platform/drv/VirtualBus.h"
#include "platform/vcl/core/MessageBox.h"
#include "platform/vcl/core/Paths.h"
#include "sim/Projector.h"

namespace linktest {

constexpr char kOneProjector[] = "[USB]\nVID=1501\n[PID_DMD]\n5010=XGA\n7616=WXGA\n";

// Waits (real time, bounded) until `done` holds.
template <typename Pred>
bool WaitUntil(Pred done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class LinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        plat::SetClockSpeed(100.0);
        drv::SetUnopenable(false);
        drv::TheVirtualBus().UnplugAll();
        char pattern[] = "/tmp/ostrel-link-XXXXXX";
        folder_ = ::mkdtemp(pattern);
        std::filesystem::create_directories(folder_ / "bin");
        vcl::SetExecutablePathForTesting((folder_ / "bin" / "ostrel").string());
        lnk::myDevice.fill(lnk::DeviceEntry{});
        lnk::model7616 = false;
    }

    void TearDown() override {
        lnk::MyUSBclose();
        projector_.reset();
        drv::TheVirtualBus().UnplugAll();
        vcl::SetExecutablePathForTesting("");
        std::filesystem::remove_all(folder_);
        drv::SetUnopenable(false);
    }

    std::string UsbFilePath() const { return (folder_ / "bin" / "ostrel.USB").string(); }
    void WriteUsbFile(const std::string& text) const { std::ofstream(UsbFilePath()) << text; }

    sim::Projector& Projector(sim::ProjectorConfig config = {}) {
        projector_ = std::make_unique<sim::Projector>(config);
        return *projector_;
    }

    // Opens the link with the given `.USB` file and plugs a projector of `config` in.
    sim::Projector& OpenAttached(sim::ProjectorConfig config = {}) {
        projector_.reset();  // an earlier projector leaves before the link opens
        WriteUsbFile(kOneProjector);
        EXPECT_TRUE(lnk::myUSBopen());
        sim::Projector& projector = Projector(config);
        projector.PlugInto(drv::TheVirtualBus());
        EXPECT_TRUE(WaitUntil([] { return lnk::attached.load(); }));
        return projector;
    }

    std::filesystem::path folder_;
    vcl::MessageBoxResponder boxes_;
    std::unique_ptr<sim::Projector> projector_;
};

}  // namespace linktest
