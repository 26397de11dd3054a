// What the USB path costs per transaction in CPU, on the in-process virtual bus, against
// the one-millisecond frame of a full-speed bus. One status query (9 bytes out on 0x01,
// its answer in on 0x81), three ways in the same run:
//   - through the projector link (lnk::ReadStatus: hex text, packet, checksum check),
//     the USB library and the driver core;
//   - as a bare pair of WDU_PipeTransfer calls on the link's device (library + driver
//     core, no link);
//   - the floor: the same two transfers on the virtual projector's bus device directly.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "link/State.h"
#include "platform/drv/VirtualBus.h"
#include "platform/vcl/core/Paths.h"
#include "sim/Projector.h"
#include "usb/Wdu.h"

namespace {

// The status query as the link sends it (sequence 1, checksum included).
constexpr std::array<uint8_t, 9> kReadStatus = {0x04, 0x01, 0x00, 0x03, 0x00,
                                                0x34, 0x00, 0x02, 0x3a};

// The link opened on a `.USB` file beside a stand-in executable, with one virtual
// projector attached. Kept for the whole run.
struct Stand {
    Stand() {
        char pattern[] = "/tmp/ostrel-bench-XXXXXX";
        folder = ::mkdtemp(pattern);
        vcl::SetExecutablePathForTesting((folder / "ostrel").string());
        std::ofstream(folder / "ostrel.USB") << "[USB]\nVID=1501\n[PID_DMD]\n5010=XGA\n";
        ok = lnk::myUSBopen();
        projector = std::make_unique<sim::Projector>();
        projector->PlugInto(drv::TheVirtualBus());
        for (int i = 0; i < 5000 && !lnk::attached.load(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ok = ok && lnk::attached.load();
    }
    ~Stand() {
        lnk::MyUSBclose();
        projector.reset();
        std::filesystem::remove_all(folder);
    }
    std::filesystem::path folder;
    std::unique_ptr<sim::Projector> projector;
    bool ok = false;
};

Stand& TheStand() {
    static Stand stand;
    return stand;
}

void BM_VirtualLinkReadStatus(benchmark::State& state) {
    if (!TheStand().ok) {
        state.SkipWithError("the link found no virtual projector");
        return;
    }
    for (auto _ : state) {
        if (lnk::ReadStatus() != lnk::kApplicationReady) {
            state.SkipWithError("status query failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_VirtualLibraryPipePair(benchmark::State& state) {
    if (!TheStand().ok) {
        state.SkipWithError("the link found no virtual projector");
        return;
    }
    usb::DeviceContext* device = lnk::currentDevice.handle.load();
    std::array<uint8_t, kReadStatus.size()> packet = kReadStatus;
    std::array<uint8_t, 64> answer{};
    for (auto _ : state) {
        uint32_t done = 0;
        if (usb::WDU_PipeTransfer(device, 0x01, 0, 0, packet.data(), packet.size(), &done, nullptr,
                                  30000) != 0 ||
            usb::WDU_PipeTransfer(device, 0x81, 1, 0, answer.data(), answer.size(), &done, nullptr,
                                  30000) != 0) {
            state.SkipWithError("transfer failed");
            return;
        }
        benchmark::DoNotOptimize(answer);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_VirtualBusDevicePair(benchmark::State& state) {
    if (!TheStand().ok) {
        state.SkipWithError("the link found no virtual projector");
        return;
    }
    const std::shared_ptr<drv::BusDevice> device = TheStand().projector->Device();
    std::array<uint8_t, kReadStatus.size()> packet = kReadStatus;
    std::array<uint8_t, 64> answer{};
    for (auto _ : state) {
        uint32_t done = 0;
        if (device->Transfer(0, 0x01, false, packet.data(), packet.size(), &done, nullptr, 30000) !=
                0 ||
            device->Transfer(0, 0x81, true, answer.data(), answer.size(), &done, nullptr, 30000) !=
                0) {
            state.SkipWithError("transfer failed");
            return;
        }
        benchmark::DoNotOptimize(answer);
    }
    state.SetItemsProcessed(state.iterations());
}

// Process CPU time: a transaction may be finished on another thread of the process.
BENCHMARK(BM_VirtualBusDevicePair)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(1.0)
    ->Repetitions(3);
BENCHMARK(BM_VirtualLibraryPipePair)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(1.0)
    ->Repetitions(3);
BENCHMARK(BM_VirtualLinkReadStatus)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(1.0)
    ->Repetitions(3);

}  // namespace

BENCHMARK_MAIN();
