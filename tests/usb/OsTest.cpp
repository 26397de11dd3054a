// The operating-system wrappers: auto-reset events with clock-driven time-outs,
// mutexes that the owning thread may take again, and threads.
#include "usb/Os.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/clock/Clock.h"
#include "platform/drv/DrvStatus.h"

namespace {

class OsTest : public ::testing::Test {
  protected:
    void SetUp() override { plat::SetClockSpeed(100.0); }
};

TEST_F(OsTest, EventIsAutoResetAndWaitsTimeOutOnTheClock) {
    usb::OsEvent* event = nullptr;
    ASSERT_EQ(usb::OsEventCreate(&event), 0u);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(usb::OsEventWait(event, 30), drv::kTimeout) << "created unsignalled";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2))
        << "30 clock seconds are 0.3 s at speed 100";
    ASSERT_EQ(usb::OsEventSignal(event), 0u);
    EXPECT_EQ(usb::OsEventWait(event, 1), 0u);
    EXPECT_EQ(usb::OsEventWait(event, 0), drv::kTimeout) << "one signal wakes one wait";
    usb::OsEventClose(event);
}

TEST_F(OsTest, EventWaitWithoutLimitWakesOnSignal) {
    usb::OsEvent* event = nullptr;
    ASSERT_EQ(usb::OsEventCreate(&event), 0u);
    std::thread signaller([event] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        usb::OsEventSignal(event);
    });
    EXPECT_EQ(usb::OsEventWait(event, -1), 0u);
    signaller.join();
    usb::OsEventClose(event);
}

TEST_F(OsTest, MissingHandlesFailOrAreIgnored) {
    EXPECT_EQ(usb::OsEventSignal(nullptr), drv::kInternalError);
    EXPECT_EQ(usb::OsEventWait(nullptr, 1), drv::kInternalError);
    usb::OsEventClose(nullptr);
    usb::OsMutexClose(nullptr);
    usb::OsThreadWait(nullptr);
}

TEST_F(OsTest, MutexMayBeTakenAgainByItsOwnerAndExcludesOthers) {
    usb::OsMutex* mutex = nullptr;
    ASSERT_EQ(usb::OsMutexCreate(&mutex), 0u);
    EXPECT_EQ(usb::OsMutexLock(mutex), 0u);
    EXPECT_EQ(usb::OsMutexLock(mutex), 0u);
    std::atomic<bool> gotIt{false};
    std::thread other([&] {
        usb::OsMutexUnlock(mutex);  // not the owner: ignored
        usb::OsMutexLock(mutex);
        gotIt = true;
        usb::OsMutexUnlock(mutex);
    });
    usb::OsMutexUnlock(mutex);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(gotIt) << "still held once";
    usb::OsMutexUnlock(mutex);
    other.join();
    EXPECT_TRUE(gotIt);
    usb::OsMutexClose(mutex);
}

TEST_F(OsTest, ThreadRunsItsFunctionAndIsJoined) {
    std::atomic<int> runs{0};
    usb::OsThread* thread = nullptr;
    ASSERT_EQ(
        usb::OsThreadStart(
            &thread, [](void* argument) { ++*static_cast<std::atomic<int>*>(argument); }, &runs),
        0u);
    usb::OsThreadWait(thread);
    EXPECT_EQ(runs, 1);
}

}  // namespace
