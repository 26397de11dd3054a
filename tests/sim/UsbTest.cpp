// The virtual projector at its USB level: descriptors over the control pipe, command
// packets over the bulk pipes, leaving and coming back on a port, and the faults that
// show on the wire.
#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <thread>

#include "platform/clock/Clock.h"
#include "platform/drv/DrvStatus.h"
#include "sim/Projector.h"
#include "tests/sim/HostSide.h"

namespace {

using Bytes = std::vector<uint8_t>;
using sim::Mode;
using namespace simtest;

class FastClock : public ::testing::Environment {
  public:
    void SetUp() override { plat::SetClockSpeed(100.0); }
};
const auto* const kFastClock = ::testing::AddGlobalTestEnvironment(new FastClock);

constexpr uint32_t kWait = 100000;  // clock ms: at most 1 s of real time

class OnPort : public ::testing::Test {
  protected:
    void Start(sim::ProjectorConfig config = {}) {
        config.flash.fill = sim::FlashFill::Erased;
        projector = std::make_unique<sim::Projector>(config);
        projector->PlugInto(port);
    }

    drv::BusDevice& Device() {
        device = projector->Device();
        EXPECT_TRUE(device);
        return *device;
    }

    void EnterBootloader() {
        const auto ack = Transact(Device(), simtest::EnterBootloader());
        ASSERT_EQ(ack.status, drv::kSuccess);
        ASSERT_TRUE(projector->WaitForAttach(Mode::Bootloader, kWait));
    }

    RecordingPort port;  // declared first: outlives the projector
    std::unique_ptr<sim::Projector> projector;
    std::shared_ptr<drv::BusDevice> device;
};

TEST_F(OnPort, IdentityOverTheControlPipe) {
    sim::ProjectorConfig config;
    config.identity.productId = 0x7616;
    config.identity.manufacturer = "Maker";
    config.identity.serial = "0042";
    Start(config);
    ASSERT_EQ(port.Events().size(), 1u);
    EXPECT_TRUE(port.Events()[0].plugged);

    // The reads the link makes at attach: 18-byte device descriptor, then strings.
    const auto descriptor = Control(Device(), {0x80, 0x06, 0x00, 0x01, 0x00, 0x00, 0x12, 0x00});
    ASSERT_EQ(descriptor.status, drv::kSuccess);
    ASSERT_EQ(descriptor.bytes.size(), 18u);
    EXPECT_EQ(descriptor.bytes, Device().DeviceDescriptor());
    EXPECT_EQ(descriptor.bytes[10] | descriptor.bytes[11] << 8, 0x7616);
    EXPECT_EQ(descriptor.bytes[16], 0);

    const auto manufacturer = Control(Device(), {0x80, 0x06, 1, 0x03, 0x09, 0x04, 0x40, 0x00});
    EXPECT_EQ(manufacturer.bytes, (Bytes{12, 3, 'M', 0, 'a', 0, 'k', 0, 'e', 0, 'r', 0}));
    const auto languages = Control(Device(), {0x80, 0x06, 0, 0x03, 0x09, 0x04, 0x40, 0x00});
    EXPECT_EQ(languages.bytes, (Bytes{0x04, 0x03, 0x09, 0x04}));
    const auto config9 = Control(Device(), {0x80, 0x06, 0, 0x02, 0, 0, 9, 0});
    EXPECT_EQ(config9.bytes.size(), 9u);
    EXPECT_EQ(Control(Device(), {0x80, 0x06, 9, 0x03, 0x09, 0x04, 0x40, 0x00}).status,
              drv::kUsbdStall);
    // A buffer smaller than wLength gets what fits.
    EXPECT_EQ(Control(Device(), {0x80, 0x06, 0, 0x01, 0, 0, 0x12, 0}, 8).bytes.size(), 8u);
}

TEST_F(OnPort, CommandAndAnswerOnTheBulkPipes) {
    Start();
    const auto answer = Transact(Device(), StatusQuery(7));
    ASSERT_EQ(answer.status, drv::kSuccess);
    EXPECT_TRUE(ChecksumValid(answer.bytes));
    EXPECT_EQ(answer.bytes[1], 7);
    EXPECT_EQ(StatusWordOf(answer.bytes), 8);

    // Answers come back in the order their commands went out.
    ASSERT_EQ(Write(Device(), Parameter(0x71)), drv::kSuccess);
    ASSERT_EQ(Write(Device(), StatusQuery(8)), drv::kSuccess);
    EXPECT_EQ(Read(Device()).bytes[6], 0x05);
    EXPECT_EQ(Read(Device()).bytes[1], 8);
}

TEST_F(OnPort, ReadWithoutAnAnswerTimesOut) {
    Start();
    const auto started = std::chrono::steady_clock::now();
    const auto r = Read(Device(), 3000);  // 30 ms of real time
    EXPECT_EQ(r.status, drv::kTimeout);
    EXPECT_TRUE(r.bytes.empty());
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(25));
    // A refused command queues nothing either.
    EXPECT_EQ(Transact(Device(), FlashWord(0x0D), 1000).status, drv::kTimeout);
}

TEST_F(OnPort, PipesAndInterfacesTheDeviceDoesNotHave) {
    sim::ProjectorConfig config;
    config.identity.applicationLayout = sim::InterfaceLayout::Interface1Then0;
    Start(config);
    Bytes buffer(64);
    uint32_t done = 0;
    EXPECT_EQ(Device().Transfer(0, 0x81, false, buffer.data(), 64, &done, nullptr, 100),
              drv::kInvalidPipeNumber);
    EXPECT_EQ(Device().Transfer(0, 0x01, true, buffer.data(), 64, &done, nullptr, 100),
              drv::kInvalidPipeNumber);
    EXPECT_EQ(Device().Transfer(0, 0x82, true, buffer.data(), 64, &done, nullptr, 100),
              drv::kInvalidPipeNumber);
    EXPECT_EQ(Device().Transfer(0, 0, true, buffer.data(), 64, &done, nullptr, 100),
              drv::kInvalidParameter);  // control without a setup packet
    EXPECT_EQ(Device().SetInterface(0, 0), drv::kSuccess);
    EXPECT_EQ(Device().SetInterface(1, 0), drv::kSuccess);
    EXPECT_EQ(Device().SetInterface(2, 0), drv::kInvalidParameter);
    EXPECT_EQ(Device().SetInterface(0, 1), drv::kInvalidParameter);
}

TEST_F(OnPort, UnplugWakesAWaitingReadAndKillsTheHandle) {
    Start();
    auto& current = Device();
    std::atomic<uint32_t> status{0};
    std::thread reader([&] { status = Read(current, 0).status; });  // no time-out
    plat::Sleep(500);
    projector->Unplug();
    reader.join();
    EXPECT_EQ(status.load(), drv::kDeviceNotFound);
    EXPECT_EQ(Write(current, StatusQuery()), drv::kDeviceNotFound);
    EXPECT_EQ(Control(current, {0x80, 0x06, 0, 1, 0, 0, 18, 0}).status, drv::kDeviceNotFound);
    EXPECT_EQ(current.SetInterface(0, 0), drv::kDeviceNotFound);
    ASSERT_EQ(port.Events().size(), 2u);
    EXPECT_FALSE(port.Events()[1].plugged);
    EXPECT_EQ(port.Events()[1].device, device);
    EXPECT_FALSE(projector->Device());

    projector->Plug();
    EXPECT_NE(projector->Device(), device);  // a new appearance on the bus
    EXPECT_EQ(Transact(Device(), StatusQuery()).status, drv::kSuccess);
}

TEST_F(OnPort, EnterBootloaderLeavesAfterTheAcknowledgementAndComesBack) {
    sim::ProjectorConfig config;
    config.identity.bootloaderLayout = sim::InterfaceLayout::Interface0Then1;
    Start(config);
    auto& application = Device();
    const auto ack = Transact(application, simtest::EnterBootloader());
    ASSERT_EQ(ack.status, drv::kSuccess);
    EXPECT_TRUE(ChecksumValid(ack.bytes));
    ASSERT_TRUE(projector->WaitForAttach(Mode::Bootloader, kWait));

    const auto events = port.Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_FALSE(events[1].plugged);
    EXPECT_EQ(events[1].device, device);
    EXPECT_TRUE(events[2].plugged);
    EXPECT_EQ(events[2].device, projector->Device());
    EXPECT_EQ(Transact(application, StatusQuery()).status, drv::kDeviceNotFound);

    auto& bootloader = Device();
    EXPECT_EQ(bootloader.DeviceDescriptor()[16], 3);
    EXPECT_EQ(Control(bootloader, {0x80, 0x06, 0, 0x02, 0, 0, 0xFF, 0}).bytes,
              bootloader.ConfigurationDescriptor());
    EXPECT_EQ(bootloader.ConfigurationDescriptor()[4], 2);  // two interfaces
    EXPECT_EQ(StatusWordOf(Transact(bootloader, StatusQuery()).bytes), 0x8000);
    EXPECT_EQ(projector->Counts().attaches, 2u);
    EXPECT_EQ(projector->Counts().detaches, 1u);
}

TEST_F(OnPort, EnterBootloaderRestartsEvenIfTheAcknowledgementIsNeverRead) {
    Start();
    ASSERT_EQ(Write(Device(), simtest::EnterBootloader()), drv::kSuccess);
    EXPECT_TRUE(projector->WaitForAttach(Mode::Bootloader, kWait));
    // The unread acknowledgement went with the old appearance.
    EXPECT_EQ(Read(Device(), 1000).status, drv::kTimeout);
}

TEST_F(OnPort, ExitBootloaderQueuesNoAnswerAndReturnsInApplicationMode) {
    sim::ProjectorConfig config;
    config.startMode = Mode::Bootloader;
    Start(config);
    auto& bootloader = Device();
    ASSERT_EQ(Write(bootloader, simtest::ExitBootloader()), drv::kSuccess);
    // Nothing to read: the wait ends with the device leaving, not with an answer.
    EXPECT_EQ(Read(bootloader, kWait).status, drv::kDeviceNotFound);
    ASSERT_TRUE(projector->WaitForAttach(Mode::Application, kWait));
    EXPECT_EQ(Device().DeviceDescriptor()[16], 0);
    EXPECT_EQ(Read(Device(), 500).status, drv::kTimeout);
    EXPECT_EQ(StatusWordOf(Transact(Device(), StatusQuery()).bytes), 8);
}

TEST_F(OnPort, RestartByHandAndUnplugDuringARestart) {
    sim::ProjectorConfig config;
    config.timing.restartMs = 1000000;  // long enough to be caught while away
    Start(config);
    projector->Restart(Mode::Bootloader);
    ASSERT_TRUE(projector->WaitForDetach(kWait));
    projector->Unplug();  // cable pulled while the projector restarts
    plat::Sleep(3000);
    EXPECT_FALSE(projector->IsPlugged());
    projector->Plug();
    EXPECT_EQ(projector->CurrentMode(), Mode::Bootloader);
    EXPECT_EQ(Device().DeviceDescriptor()[16], 3);
}

TEST_F(OnPort, WholeFlashJobOverUsb) {
    sim::ProjectorConfig config;
    config.flash.chip = sim::kChip4MbBoot;
    Start(config);
    EnterBootloader();
    auto& usb = Device();
    EXPECT_EQ(Word13(Transact(usb, FlashWord(0x0D)).bytes), 0x22A8);

    Bytes image(0x5000);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
    }
    for (uint32_t sector : {2u, 1u, 0u}) {  // from the top down, as the host erases
        ASSERT_EQ(Write(usb, SetAddress(sector * 0x2000)), drv::kSuccess);
        ASSERT_EQ(Read(usb).status, drv::kSuccess);
        ASSERT_EQ(Transact(usb, Erase()).status, drv::kSuccess);
        ASSERT_EQ(StatusWordOf(Transact(usb, StatusQuery()).bytes), 0x8000);
    }
    ASSERT_EQ(Transact(usb, SetAddress(0)).status, drv::kSuccess);
    ASSERT_EQ(Transact(usb, SetSize(static_cast<uint32_t>(image.size()))).status, drv::kSuccess);
    for (size_t at = 0; at < image.size(); at += 56) {
        const size_t n = std::min<size_t>(56, image.size() - at);
        const auto block = Block(Bytes(image.begin() + at, image.begin() + at + n));
        ASSERT_LE(block.size(), 64u);
        ASSERT_EQ(Transact(usb, block).status, drv::kSuccess);
    }
    ASSERT_EQ(Transact(usb, StartChecksum()).status, drv::kSuccess);
    ASSERT_EQ(StatusWordOf(Transact(usb, StatusQuery()).bytes), 0x8000);
    const auto sum = Transact(usb, FlashWord(0x00));
    EXPECT_EQ(Le32At(sum.bytes, 13), std::accumulate(image.begin(), image.end(), 0u));
    EXPECT_EQ(projector->ReadFlash(0, static_cast<uint32_t>(image.size())), image);
    EXPECT_EQ(projector->ErasedSectors(), (std::vector<size_t>{2, 1, 0}));
}

TEST_F(OnPort, DetachInTheMiddleOfAWriteAndComeBack) {
    sim::ProjectorConfig config;
    config.startMode = Mode::Bootloader;
    Start(config);
    auto& before = Device();
    Transact(before, SetAddress(0));
    Transact(before, Erase());
    Transact(before, SetSize(0x100));
    projector->SetFaults(FaultsWith([](sim::Faults& f) {
        f.detachDuringWrite = sim::DetachDuringWrite{3, true, 1000};
    }));
    EXPECT_EQ(Transact(before, Block(Bytes(56, 0x11))).status, drv::kSuccess);
    EXPECT_EQ(Transact(before, Block(Bytes(56, 0x22))).status, drv::kSuccess);
    EXPECT_EQ(Transact(before, Block(Bytes(56, 0x33))).status, drv::kDeviceNotFound);
    ASSERT_TRUE(projector->WaitForAttach(Mode::Bootloader, kWait));
    // The write position survived the pulled cable: the next block follows the third.
    EXPECT_EQ(Transact(Device(), Block(Bytes(8, 0x44))).status, drv::kSuccess);
    EXPECT_EQ(projector->ReadFlash(112, 64), [] {
        Bytes b(56, 0x33);
        b.insert(b.end(), 8, 0x44);
        return b;
    }());
}

TEST_F(OnPort, DetachThatStaysAway) {
    sim::ProjectorConfig config;
    config.startMode = Mode::Bootloader;
    Start(config);
    projector->SetFaults(FaultsWith([](sim::Faults& f) {
        f.detachDuringWrite = sim::DetachDuringWrite{1, false, std::nullopt};
    }));
    EXPECT_EQ(Transact(Device(), Block({1})).status, drv::kDeviceNotFound);
    ASSERT_TRUE(projector->WaitForDetach(kWait));
    plat::Sleep(3000);
    EXPECT_FALSE(projector->IsPlugged());
}

TEST_F(OnPort, SlowAnswerArrivesLateOrTimesOut) {
    Start();
    projector->SetFaults(FaultsWith([](sim::Faults& f) { f.delayMs = 2000; }));
    EXPECT_EQ(Transact(Device(), StatusQuery(), 500).status, drv::kTimeout);
    // The late answer is still queued and comes with the next read that waits long enough.
    const auto late = Read(Device(), 20000);
    EXPECT_EQ(late.status, drv::kSuccess);
    EXPECT_EQ(StatusWordOf(late.bytes), 8);
}

TEST_F(OnPort, SmallReadBufferLosesTheRestOfTheAnswer) {
    Start();
    ASSERT_EQ(Write(Device(), StatusQuery()), drv::kSuccess);
    Bytes small(4);
    uint32_t done = 0;
    EXPECT_EQ(Device().Transfer(0, 0x81, true, small.data(), 4, &done, nullptr, 1000),
              drv::kOperationFailed);
    EXPECT_EQ(done, 4u);
    EXPECT_EQ(Read(Device(), 500).status, drv::kTimeout);
}

TEST_F(OnPort, ObserversSeeCommandsAndAttaches) {
    Start();
    std::mutex mutex;
    std::vector<std::string> seen;
    projector->SetCommandObserver([&](const sim::LoggedCommand& c) {
        std::lock_guard lock(mutex);
        seen.push_back(c.detail);
    });
    projector->SetAttachObserver([&](Mode mode, bool attached) {
        std::lock_guard lock(mutex);
        seen.push_back(std::string(attached ? "attach " : "detach ") + sim::ModeName(mode));
    });
    EnterBootloader();
    projector.reset();  // leaving the bus for good is a detach too
    EXPECT_EQ(seen, (std::vector<std::string>{"EnterBootloader", "detach application",
                                              "attach bootloader", "detach bootloader"}));
}

// Faults set from another thread while the host streams blocks: the model stays
// consistent and every block is either acknowledged or visibly not.
TEST_F(OnPort, FaultsChangeWhileTransfersRun) {
    sim::ProjectorConfig config;
    config.startMode = Mode::Bootloader;
    Start(config);
    auto& usb = Device();
    Transact(usb, SetAddress(0));
    Transact(usb, Erase());
    std::atomic<bool> done{false};
    std::thread toggler([&] {
        for (uint32_t i = 0; !done; ++i) {
            projector->SetFaults(FaultsWith([&](sim::Faults& f) {
                f.loseAnswer = {sim::Command::WriteFlashBlock, 0, i % 2};
            }));
            projector->CommandLog();
            plat::Sleep(5);
        }
    });
    int acknowledged = 0;
    for (int i = 0; i < 200; ++i) {
        const auto r = Transact(usb, Block({static_cast<uint8_t>(i)}), 200);
        acknowledged += r.status == drv::kSuccess;
    }
    done = true;
    toggler.join();
    EXPECT_EQ(projector->Counts().blocksWritten, 200u);
    EXPECT_EQ(projector->Counts().answers, static_cast<uint64_t>(acknowledged) + 2);
}

}  // namespace
