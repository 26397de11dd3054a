#include "platform/clock/Clock.h"

#include <atomic>
#include <thread>

namespace plat {
namespace {

std::atomic<double> speed{1.0};

struct Origin {
    std::chrono::steady_clock::time_point steady = std::chrono::steady_clock::now();
    int64_t wallSeconds = std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
};

const Origin& ProcessOrigin() {
    static const Origin origin;
    return origin;
}

}  // namespace

void SetClockSpeed(double factor) {
    ProcessOrigin();
    speed.store(factor > 0 ? factor : 1.0);
}

double ClockSpeed() { return speed.load(); }

std::chrono::steady_clock::duration RealDuration(uint32_t clockMs) {
    const auto real = std::chrono::duration<double, std::milli>(clockMs / speed.load());
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(real);
}

void Sleep(uint32_t ms) { std::this_thread::sleep_for(RealDuration(ms)); }

uint64_t NowMs() {
    const auto elapsed = std::chrono::steady_clock::now() - ProcessOrigin().steady;
    const double realMs = std::chrono::duration<double, std::milli>(elapsed).count();
    return static_cast<uint64_t>(realMs * speed.load());
}

int64_t NowSeconds() {
    if (speed.load() == 1.0) {
        return std::chrono::duration_cast<std::chrono::seconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }
    return ProcessOrigin().wallSeconds + static_cast<int64_t>(NowMs() / 1000);
}

}  // namespace plat
