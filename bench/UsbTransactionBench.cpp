// What the USB path costs per transaction: one status query (a 9-byte packet out on
// 0x01, its answer in on 0x81) through the projector link, the USB library, the driver
// core and the libusb bus, against the same two transfers issued on the bus's libusb
// device object directly (libusb_bulk_transfer on the open handle), on an emulated
// projector of the same kind in the same run. Run under umockdev-wrapper (scripts/bench).
//
// Both sides pay for the emulation (a socket round trip per usbfs request and the
// projector model): the difference between them is the cost of our layers.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "link/State.h"
#include "platform/drv/Drv.h"
#include "platform/drv/LibusbBus.h"
#include "platform/vcl/core/Paths.h"
#include "sim/Projector.h"
#include "tests/libusb/UsbfsEmulator.h"

namespace {

// The status query as the link sends it (sequence 1, checksum included).
constexpr std::array<uint8_t, 9> kReadStatus = {0x04, 0x01, 0x00, 0x03, 0x00,
                                                0x34, 0x00, 0x02, 0x3a};

constexpr uint16_t kDirectVendor = 0x1502;

template <typename Pred>
bool WaitUntil(Pred done) {
    for (int i = 0; i < 5000 && !done(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

// The emulated bus; it lives as long as the bus threads that use it.
usbemu::UsbfsEmulator& TheEmulator() {
    static auto* emulator = new usbemu::UsbfsEmulator;
    return *emulator;
}

// A projector of a vendor the libusb bus leaves alone, for libusb alone.
struct DirectStand {
    DirectStand() {
        sim::ProjectorConfig config;
        config.identity.vendorId = kDirectVendor;
        projector = std::make_unique<sim::Projector>(config);
        projector->PlugInto(TheEmulator());
    }
    std::unique_ptr<sim::Projector> projector;
};

// A projector found by the libusb bus and attached to the link.
struct LinkStand {
    LinkStand() {
        char pattern[] = "/tmp/ostrel-bench-XXXXXX";
        folder = ::mkdtemp(pattern);
        vcl::SetExecutablePathForTesting((folder / "ostrel").string());
        std::ofstream(folder / "ostrel.USB") << "[USB]\nVID=1501\n[PID_DMD]\n5010=XGA\n";
        drv::AddBus(std::make_unique<drv::LibusbBus>());
        ok = lnk::myUSBopen();
        projector = std::make_unique<sim::Projector>();
        projector->PlugInto(TheEmulator());
        ok = ok && WaitUntil([] { return lnk::attached.load(); });
    }
    std::filesystem::path folder;
    std::unique_ptr<sim::Projector> projector;
    bool ok = false;
};

void BM_LinkTransaction(benchmark::State& state) {
    static auto* stand = new LinkStand;
    if (!stand->ok) {
        state.SkipWithError("no emulated projector (run under umockdev-wrapper)");
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

// Catches the one device of a bus of its own.
struct Catcher : drv::BusListener {
    void Arrived(const std::shared_ptr<drv::BusDevice>& arrived) override { device = arrived; }
    void Left(const std::shared_ptr<drv::BusDevice>&) override {}
    std::shared_ptr<drv::BusDevice> device;
};

// The bare libusb side: the libusb bus's device object used on its own, whose Transfer
// is libusb_bulk_transfer on the open handle, without the USB library and driver core.
void BM_DirectLibusbTransaction(benchmark::State& state) {
    static auto* stand = new DirectStand;
    static auto* catcher = new Catcher;
    static auto* bus = [] {
        auto* b = new drv::LibusbBus({kDirectVendor});
        b->Start(*catcher);
        return b;
    }();
    (void)stand;
    (void)bus;
    if (!WaitUntil([] { return catcher->device != nullptr; })) {
        state.SkipWithError("no emulated projector (run under umockdev-wrapper)");
        return;
    }
    drv::BusDevice& device = *catcher->device;
    device.SetInterface(0, 0);
    std::array<uint8_t, kReadStatus.size()> packet = kReadStatus;
    std::array<uint8_t, 64> answer{};
    for (auto _ : state) {
        uint32_t done = 0;
        if (device.Transfer(0, 0x01, false, packet.data(), packet.size(), &done, nullptr, 30000) !=
                0 ||
            device.Transfer(0, 0x81, true, answer.data(), answer.size(), &done, nullptr, 30000) !=
                0) {
            state.SkipWithError("transfer failed");
            break;
        }
        benchmark::DoNotOptimize(answer);
    }
    state.SetItemsProcessed(state.iterations());
}

// Process CPU time: the work is spread over the caller, libusb's event handling, the
// notifier and the emulation threads.
// The direct side runs first.
BENCHMARK(BM_DirectLibusbTransaction)->MeasureProcessCPUTime()->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_LinkTransaction)->MeasureProcessCPUTime()->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
