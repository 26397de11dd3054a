#include "platform/clock/Clock.h"

#include <gtest/gtest.h>

namespace {

TEST(Clock, FastClockShortensWaitsAndAdvancesSeconds) {
    plat::SetClockSpeed(100.0);
    const auto realStart = std::chrono::steady_clock::now();
    const int64_t clockStart = plat::NowSeconds();
    plat::Sleep(3000);  // three clock seconds: 30 ms of real time
    const auto realElapsed = std::chrono::steady_clock::now() - realStart;
    EXPECT_LT(realElapsed, std::chrono::milliseconds(1000));
    EXPECT_GE(plat::NowSeconds() - clockStart, 2);
    plat::SetClockSpeed(1.0);
}

TEST(Clock, RealClockGivesTimeOfDay) {
    plat::SetClockSpeed(1.0);
    const int64_t wall = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    EXPECT_LE(std::llabs(plat::NowSeconds() - wall), 1);
}

}  // namespace
