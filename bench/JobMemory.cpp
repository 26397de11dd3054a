// Peak memory of whole firmware jobs. Ostrel's window, in this process, flashes a 64 KiB
// and a 4 MiB image to the ostrel-sim program; the simulator is a separate process, so
// its flash and command log are not counted here. Before each job the peak resident
// size (VmHWM) is reset; after it, the peak above the resident size at the job's start
// is what the job needed. A job that streams its file block by block needs the same for
// both sizes; one that held the image in memory would need 4 MiB more for the large one.
//
// Run by scripts/bench; prints the figures and fails when the large job needs more than
// a quarter of its image beyond the small one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>

#include "platform/drv/SocketBus.h"
#include "tests/app/ChildProcess.h"
#include "tests/app/JobFixture.h"

namespace apptest {
namespace {

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM").
long StatusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stol(line.substr(field.size() + 1));
        }
    }
    return -1;
}

// Makes the peak resident size start again from the present one.
bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

struct JobMemory {
    long startKiB = 0;  // resident at Start
    long peakKiB = 0;   // peak during the job
    bool verified = false;
};

class JobMemoryBench : public JobWindow {
  protected:
    static std::string SocketPath() {
        static const std::string path =
            "/tmp/ostrel-memory-sim-" + std::to_string(::getpid()) + ".sock";
        return path;
    }

    void SetUp() override {
        JobWindow::SetUp();
        drv::AddBus(std::make_unique<drv::SocketBus>(SocketPath()));
    }

    std::string MakeImage(uint32_t size) {
        const std::string path = (folder_ / ("image-" + std::to_string(size) + ".img")).string();
        Child maker({OSTREL_SAMPLE_IMAGE_PROGRAM, "--size", std::to_string(size), path},
                    (folder_ / "maker.out").string());
        EXPECT_TRUE(maker.Spawned());
        EXPECT_EQ(maker.Wait(), 0);
        return path;
    }

    // One job of `path` to a projector that is attached and shown.
    JobMemory Flash(const std::string& path) {
        Choose(path);
        EXPECT_TRUE(ostrel::FormOstrel->btnFlash->Enabled());
        boxes_.Clear();
        JobMemory memory;
        EXPECT_TRUE(ResetPeak()) << "the peak resident size cannot be reset";
        memory.startKiB = StatusKiB("VmRSS");
        EXPECT_TRUE(RunJob(60 * 60 * 1000));
        memory.peakKiB = StatusKiB("VmHWM");
        memory.verified = std::regex_match(
            LoggedStatus(), std::regex("Update Completed!   Checksum:0x[0-9A-F]{8} Verified!"));
        // The reset: wait for the projector's application before the next job.
        EXPECT_TRUE(WaitUntil([] { return lnk::attached.load() && !lnk::ostrelMode.load(); },
                              std::chrono::seconds(60)));
        Tick();
        return memory;
    }
};

TEST_F(JobMemoryBench, PeakMemoryOfAJobDoesNotGrowWithItsImage) {
    constexpr uint32_t kSmall = 0x10000;
    constexpr uint32_t kLarge = 0x400000;
    const std::string small = MakeImage(kSmall);
    const std::string large = MakeImage(kLarge);
    Child simulator(
        {OSTREL_SIM_PROGRAM, "--fast", "100", "--socket", SocketPath(), "--chip", "22a8"},
        (folder_ / "ostrel-sim.out").string());
    ASSERT_TRUE(simulator.Spawned());
    OpenBoth();
    ASSERT_TRUE(WaitUntil([] { return lnk::attached.load(); }));
    Tick();

    const JobMemory first = Flash(small);
    const JobMemory second = Flash(large);
    EXPECT_TRUE(first.verified && second.verified);
    const long smallNeed = first.peakKiB - first.startKiB;
    const long largeNeed = second.peakKiB - second.startKiB;
    std::printf("Peak resident memory of whole firmware jobs (VmHWM, reset at Start):\n");
    std::printf("  %-10s %12s %14s %14s\n", "image", "at Start", "peak in job", "job's need");
    std::printf("  %-10s %9ld KiB %11ld KiB %11ld KiB\n", "64 KiB", first.startKiB, first.peakKiB,
                smallNeed);
    std::printf("  %-10s %9ld KiB %11ld KiB %11ld KiB\n", "4 MiB", second.startKiB, second.peakKiB,
                largeNeed);
    std::printf("  the 4 MiB job's need less the 64 KiB job's: %ld KiB (%.1f %% of the image)\n",
                largeNeed - smallNeed, 100.0 * static_cast<double>(largeNeed - smallNeed) / 4096.0);
    EXPECT_LT(largeNeed - smallNeed, 1024) << "the job's memory grows with its image";
    simulator.Signal(SIGTERM);
    simulator.Wait();
}

}  // namespace
}  // namespace apptest
