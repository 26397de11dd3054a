#pragma once
// FlashJob: Ostrel's one flash job record, program-global for the whole run. The window
// thread starts a job and steps its state machine; the writer thread streams the file
// and reports its progress. Fields both threads touch are atomics (one writer each, read
// without a lock); `state` belongs to the window thread alone.
#include <atomic>
#include <cstdint>
#include <cstdio>

namespace ostrel {

enum class JobState : int {
    Idle = 0,
    AwaitProgramming = 1,
    AwaitErase = 2,
    Writing = 3,
    Verifying = 4,
};

struct FlashJobRecord {
    // The job file: opened by the job start on the window thread before the writer
    // thread starts, closed by the writer thread when it ends.
    std::FILE* file = nullptr;
    // Before writing the start offset (0, or 0x4000 when the boot area is skipped);
    // while writing the file offset reached.
    std::atomic<int32_t> position{0};
    // The size of the file: the end offset of the write.
    std::atomic<int32_t> total{0};
    // Image checksum of the bytes the projector accepted so far.
    std::atomic<uint32_t> checksum{0};
    // A job has been started and its data is not yet all written.
    std::atomic<bool> busy{false};
    // Set by the erase operations when they complete.
    std::atomic<bool> eraseDone{false};
    // Set by the writer thread when it ends.
    std::atomic<bool> writeDone{false};
    // Set with writeDone when every byte from the start offset to `total` was read and
    // acknowledged by the projector, each block exactly once as far as the host can tell
    // (no block needed sending again after an unanswered attempt). A job without it is
    // never reported as verified, whatever the checksums say.
    std::atomic<bool> writeComplete{false};
    // The state machine's state.
    JobState state = JobState::Idle;
    // Whole clock seconds at which the write started (the writer's progress display).
    std::atomic<int64_t> writeStartTime{0};
};

extern FlashJobRecord FlashJob;

// Back to the values at program start (tests run many windows in one process). Does not
// close a file that is still open.
void ResetFlashJob();

}  // namespace ostrel
