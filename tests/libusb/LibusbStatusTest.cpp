// The libusb bus without devices: its error table, its time-outs, its message for a
// projector it may not open, and a bus that finds no USB at all.
#include <gtest/gtest.h>
#include <libusb.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/clock/Clock.h"
#include "platform/drv/DrvStatus.h"
#include "platform/drv/LibusbBus.h"
#include "platform/drv/LibusbStatus.h"

namespace {

TEST(LibusbStatus, EveryLibusbErrorHasItsStatus) {
    struct Case {
        const char* name;
        int error;
        uint32_t status;
    };
    const Case cases[] = {
        {"success", LIBUSB_SUCCESS, drv::kSuccess},
        {"time-out", LIBUSB_ERROR_TIMEOUT, drv::kTimeout},
        {"cancelled", LIBUSB_ERROR_INTERRUPTED, drv::kCancelled},
        {"device gone", LIBUSB_ERROR_NO_DEVICE, drv::kDeviceNotFound},
        {"stall", LIBUSB_ERROR_PIPE, drv::kUsbdStall},
        {"no such interface", LIBUSB_ERROR_NOT_FOUND, drv::kInvalidParameter},
        {"bad parameter", LIBUSB_ERROR_INVALID_PARAM, drv::kInvalidParameter},
        {"no permission", LIBUSB_ERROR_ACCESS, drv::kFailedOpen},
        {"interface busy", LIBUSB_ERROR_BUSY, drv::kTryAgain},
        {"no memory", LIBUSB_ERROR_NO_MEM, drv::kInsufficientResources},
        {"not supported", LIBUSB_ERROR_NOT_SUPPORTED, drv::kNotImplemented},
        {"overflow", LIBUSB_ERROR_OVERFLOW, drv::kOperationFailed},
        {"i/o error", LIBUSB_ERROR_IO, drv::kOperationFailed},
        {"other", LIBUSB_ERROR_OTHER, drv::kOperationFailed},
        {"unknown code", -1234, drv::kOperationFailed},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(drv::StatusFromLibusb(c.error), c.status) << c.name;
    }
}

TEST(LibusbStatus, TimeoutsFollowTheClockAndNeverBecomeUnlimited) {
    plat::SetClockSpeed(1.0);
    EXPECT_EQ(drv::LibusbTimeout(30000), 30000u) << "the shipped programs pass them through";
    EXPECT_EQ(drv::LibusbTimeout(0), 0u) << "no limit stays no limit";
    plat::SetClockSpeed(100.0);
    EXPECT_EQ(drv::LibusbTimeout(30000), 300u);
    EXPECT_EQ(drv::LibusbTimeout(10), 1u) << "a short limit rounds up, never to 0";
    EXPECT_EQ(drv::LibusbTimeout(0), 0u);
    plat::SetClockSpeed(1.0);
}

TEST(LibusbStatus, RefusalNamesTheDeviceAndTheWayToAccess) {
    const std::string refused =
        drv::LibusbBus::RefusalMessage("bus 001 address 011, 1501:7616", LIBUSB_ERROR_ACCESS);
    for (const char* part :
         {"bus 001 address 011, 1501:7616", "LIBUSB_ERROR_ACCESS", "70-ostrel.rules",
          "/etc/udev/rules.d", "udevadm", "plug", "plugdev"}) {
        EXPECT_NE(refused.find(part), std::string::npos) << part << " in: " << refused;
    }
    EXPECT_EQ(refused.find('\n'), std::string::npos) << "one line for the log";
    const std::string other = drv::LibusbBus::RefusalMessage("x", LIBUSB_ERROR_IO);
    EXPECT_NE(other.find("LIBUSB_ERROR_IO"), std::string::npos);
    EXPECT_EQ(other.find("udev"), std::string::npos) << "the rule only helps with permission";
}

struct CountingListener : drv::BusListener {
    void Arrived(const std::shared_ptr<drv::BusDevice>&) override { ++arrived; }
    void Left(const std::shared_ptr<drv::BusDevice>&) override { ++left; }
    std::atomic<int> arrived{0};
    std::atomic<int> left{0};
};

// Here (a container without usbfs) libusb either does not start or finds nothing of
// that vendor: either way the bus is empty, says nothing is wrong and stops at once.
TEST(LibusbBus, NoUsbIsNotAnError) {
    CountingListener listener;
    std::vector<std::string> said;
    drv::LibusbBus bus({0xFFFE}, [&said](const std::string& line) { said.push_back(line); });
    bus.Start(listener);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(bus.DeviceCount(), 0u);
    const auto start = std::chrono::steady_clock::now();
    bus.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(listener.arrived, 0);
    EXPECT_EQ(listener.left, 0);
    EXPECT_TRUE(said.empty());
    bus.Stop();  // a second stop is harmless
}

}  // namespace
