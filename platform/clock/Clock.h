#pragma once
// The one clock of the programs: every wait, timer interval and whole-second time
// goes through here, so that tests can run a whole flash job faster than real time.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace plat {

// How many times faster than real time the clock runs. The shipped programs never
// change it (1); tests set it once, before any waiting starts.
void SetClockSpeed(double factor);
double ClockSpeed();

// A duration of clock milliseconds as real time.
std::chrono::steady_clock::duration RealDuration(uint32_t clockMs);

// Blocks the calling thread for `ms` clock milliseconds.
void Sleep(uint32_t ms);

// The current time in whole clock seconds since the epoch. At speed 1 this is the
// time of day; faster clocks advance from the real time at which the process started.
int64_t NowSeconds();

// Clock milliseconds since the process started (monotonic).
uint64_t NowMs();

// Waits on `cv` for at most `ms` clock milliseconds or until `done()` holds.
// Returns done() as it stood at the end.
template <typename Pred>
bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, uint32_t ms,
             Pred done) {
    return cv.wait_for(lock, RealDuration(ms), done);
}

}  // namespace plat
