// The flash job's writer against the floor of the same work, in wall time on the
// in-process link to a virtual projector in its bootloader:
//   - the writer thread (TmyThread) streaming a 1 MiB job file in 56-byte blocks: the file
//     read, the block transaction with its acknowledgement check, the checksum and the
//     progress shown on the window thread once a second;
//   - the floor: a bare loop of the same WriteFlashBlock transactions from memory, on a
//     thread of the same priority while the window thread runs its events.
// Blocks per second are the counters; their ratio is the writer's overhead.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "app/ostrel/FlashJob.h"
#include "app/ostrel/Mythread.h"
#include "link/State.h"
#include "platform/drv/VirtualBus.h"
#include "platform/vcl/Vcl.h"
#include "platform/vcl/core/Paths.h"
#include "sim/Projector.h"

namespace {

constexpr uint32_t kJobSize = 0x100000;
constexpr uint32_t kBlock = ostrel::kFlashBlockSize;

// The application object, the link and a projector waiting in its bootloader with a
// 4 MB chip, and the job file. Kept for the whole run.
struct Stand {
    Stand() {
        char pattern[] = "/tmp/ostrel-bench-XXXXXX";
        folder = ::mkdtemp(pattern);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);  // no display needed
        application = std::make_unique<vcl::TApplication>(argc, argv);
        vcl::SetExecutablePathForTesting((folder / "ostrel").string());
        std::ofstream(folder / "ostrel.USB") << "[USB]\nVID=1501\n[PID_DMD]\n5010=XGA\n";
        ok = lnk::myUSBopen();
        sim::ProjectorConfig config;
        config.flash.chip = sim::kChip4MbBoot;
        config.startMode = sim::Mode::Bootloader;
        projector = std::make_unique<sim::Projector>(config);
        projector->PlugInto(drv::TheVirtualBus());
        for (int i = 0; i < 5000 && !lnk::attached.load(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ok = ok && lnk::attached.load();
        data.resize(kJobSize);
        for (uint32_t i = 0; i < kJobSize; ++i) {
            data[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
        }
        jobFile = (folder / "job.img").string();
        std::ofstream(jobFile, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), kJobSize);
    }
    ~Stand() {
        lnk::MyUSBclose();
        projector.reset();
        application.reset();
        std::filesystem::remove_all(folder);
    }

    // A fresh range, so every run writes the same blocks from the start.
    bool NewRange() const {
        projector->ClearCommandLog();
        return lnk::SetFlashRange(0, kJobSize) == 0;
    }

    int argc = 1;
    char name[16] = "writer_bench";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<vcl::TApplication> application;
    std::filesystem::path folder;
    std::unique_ptr<sim::Projector> projector;
    std::vector<uint8_t> data;
    std::string jobFile;
    bool ok = false;
};

Stand& TheStand() {
    static Stand stand;
    return stand;
}

// One whole write by the writer thread, as the job's Writing state starts it; the window
// thread runs its events meanwhile (the progress display) until the writer is done.
bool RunWriter(const Stand& stand) {
    ostrel::ResetFlashJob();
    ostrel::FlashJob.file = std::fopen(stand.jobFile.c_str(), "rb");
    if (ostrel::FlashJob.file == nullptr) {
        return false;
    }
    ostrel::FlashJob.total = static_cast<int32_t>(kJobSize);
    ostrel::FlashJob.busy = true;
    auto* writer = new ostrel::TmyThread(true);
    writer->SetPriority(vcl::tpHighest);
    writer->Resume();
    while (!ostrel::FlashJob.writeDone.load()) {
        vcl::PumpEvents(1);
    }
    return ostrel::FlashJob.writeComplete.load();
}

// The bare loop: every block of the job from memory, each acknowledged.
bool WriteBlocks(const Stand& stand) {
    for (uint32_t at = 0; at < kJobSize; at += kBlock) {
        const uint32_t length = std::min(kBlock, kJobSize - at);
        lnk::BlockOutcome outcome = lnk::BlockOutcome::NotSent;
        if (lnk::WriteFlashBlock(stand.data.data() + at, length, outcome) != 0 ||
            outcome != lnk::BlockOutcome::Acknowledged) {
            return false;
        }
    }
    return true;
}

// The bare loop on a thread of the writer's priority while the window thread runs its
// events, so that the two differ only in what the writer does around each transaction.
class BareLoopThread : public vcl::TThread {
  public:
    explicit BareLoopThread(const Stand& stand) : TThread(true), stand_(stand) {}
    std::atomic<bool> done{false};
    bool ok = false;

  protected:
    void Execute() override {
        ok = WriteBlocks(stand_);
        done = true;
    }

  private:
    const Stand& stand_;
};

bool RunBareLoop(const Stand& stand) {
    BareLoopThread loop(stand);
    loop.SetPriority(vcl::tpHighest);
    loop.Resume();
    while (!loop.done.load()) {
        vcl::PumpEvents(1);
    }
    loop.WaitFor();
    return loop.ok;
}

// Times whole jobs of `write`, each on a fresh range, and reports blocks per second.
template <typename Write>
void TimeJobs(benchmark::State& state, Write write) {
    Stand& stand = TheStand();
    if (!stand.ok) {
        state.SkipWithError("the link found no virtual projector");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        const bool ready = stand.NewRange();
        state.ResumeTiming();
        if (!ready || !write(stand)) {
            state.SkipWithError("the write did not complete");
            return;
        }
    }
    state.counters["blocks/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * ((kJobSize + kBlock - 1) / kBlock),
        benchmark::Counter::kIsRate);
}

void BM_Writer(benchmark::State& state) {
    TimeJobs(state, RunWriter);
}

void BM_BareBlockLoop(benchmark::State& state) {
    TimeJobs(state, RunBareLoop);
}

BENCHMARK(BM_Writer)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);
BENCHMARK(BM_BareBlockLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
