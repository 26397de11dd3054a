// The library when things go wrong underneath it: a driver that cannot be reached by
// the notifier thread, and memory that runs out for a DevList node.
#include <atomic>
#include <chrono>
#include <thread>

#include "tests/usb/LibraryFixture.h"

namespace usbtest {
namespace {

constexpr uint16_t kProduct = 0x7616;
const std::vector<usb::MatchEntry> kTable{{LibraryTest::kVendor, kProduct, {}}};

TEST_F(LibraryTest, FailingNotifierWaitsPauseInsteadOfSpinningAndRecover) {
    Recorder& recorder = NewRecorder();
    usb::DriverContext* handle = nullptr;
    ASSERT_EQ(Init(&handle, kTable, recorder.Table()), 0u);

    // From now on every wait request fails to open the driver.
    drv::SetUnopenable(true);
    const uint64_t refusedBefore = Core().RefusedOpens();
    Core().WakeNotifiers();  // the wait in progress returns; the next one fails
    // 100 ms real time is 10 clock seconds: pauses of 10, 20, 40 ... 1000 ms allow
    // about 16 attempts; a thread that spins would make many thousands.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const uint64_t attempts = Core().RefusedOpens() - refusedBefore;
    EXPECT_GE(attempts, 2u);
    EXPECT_LE(attempts, 30u);

    drv::SetUnopenable(false);
    Plug(kProduct);
    EXPECT_TRUE(recorder.WaitForCount(1)) << "the thread waits again once the driver answers";
}

TEST_F(LibraryTest, UninitEndsANotifierThatCannotReachTheDriver) {
    Recorder& recorder = NewRecorder();
    usb::DriverContext* handle = nullptr;
    ASSERT_EQ(Init(&handle, kTable, recorder.Table()), 0u);
    drv::SetUnopenable(true);
    Core().WakeNotifiers();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto start = std::chrono::steady_clock::now();
    Uninit(handle);  // the context's own handle is still open: unregistering works
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(Core().RegistrationCount(), 0u);
}

TEST_F(LibraryTest, AttachWithoutMemoryForTheDevListNodeIsDroppedButAcknowledged) {
    Recorder& recorder = NewRecorder();
    usb::DriverContext* handle = nullptr;
    ASSERT_EQ(Init(&handle, kTable, recorder.Table()), 0u);
    usb::FailDevListNodeAllocations(true);
    auto device = Plug(kProduct);
    ASSERT_TRUE(WaitForAcknowledgements(1));
    usb::FailDevListNodeAllocations(false);

    const auto acknowledgement = Core().Acknowledgements()[0];
    EXPECT_EQ(acknowledgement.action, drv::kActionAttach);
    EXPECT_EQ(acknowledgement.options, usb::kAcknowledge) << "control was not taken";
    EXPECT_TRUE(recorder.Records().empty()) << "no attach callback for an untracked device";
    EXPECT_EQ(usb::DevListSize(), 0u);

    drv::TheVirtualBus().Unplug(device);
    ASSERT_TRUE(WaitForAcknowledgements(2));
    EXPECT_TRUE(recorder.Records().empty()) << "and no detach callback either";

    Plug(kProduct);
    EXPECT_TRUE(recorder.WaitForCount(1)) << "the next attach is handled normally";
}

TEST_F(LibraryTest, AttachOfADeviceThatLeftBeforeItsInfoWasReadIsDropped) {
    // The first attach callback holds the notifier thread while a second device comes
    // and goes: its attach event is handled only after it has left, so its information
    // cannot be read; it is forgotten, and its detach calls nothing.
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        bool inside = false;
        bool open = false;
        std::atomic<int> attaches{0};
        std::atomic<int> detaches{0};
        static int Attach(usb::DeviceContext*, usb::DeviceInfo*, void* context) {
            auto* self = static_cast<Gate*>(context);
            std::unique_lock lock(self->mutex);
            self->inside = true;
            self->changed.notify_all();
            self->changed.wait(lock, [self] { return self->open; });
            ++self->attaches;
            return 1;
        }
        static void Detach(usb::DeviceContext*, void* context) {
            ++static_cast<Gate*>(context)->detaches;
        }
    } gate;
    const usb::EventTable events{Gate::Attach, Gate::Detach, nullptr, &gate};
    usb::DriverContext* handle = nullptr;
    ASSERT_EQ(Init(&handle, kTable, events), 0u);
    Plug(kProduct);
    {
        std::unique_lock lock(gate.mutex);
        gate.changed.wait(lock, [&] { return gate.inside; });
    }
    auto passing = Plug(kProduct);
    drv::TheVirtualBus().Unplug(passing);
    {
        std::lock_guard lock(gate.mutex);
        gate.open = true;
    }
    gate.changed.notify_all();
    ASSERT_TRUE(WaitForAcknowledgements(3));  // first attach, passing attach and detach
    EXPECT_EQ(gate.attaches, 1);
    EXPECT_EQ(gate.detaches, 0);
    EXPECT_EQ(usb::DevListSize(), 1u);
    const auto acknowledgements = Core().Acknowledgements();
    EXPECT_EQ(acknowledgements[1].action, drv::kActionAttach);
    EXPECT_EQ(acknowledgements[1].options, usb::kAcknowledge) << "not taken";
    Uninit(handle);
}

}  // namespace
}  // namespace usbtest

namespace usbtest {
namespace {

TEST_F(LibraryTest, MissingRegistrationsAndNotifiersAreInvalidHandles) {
    EXPECT_EQ(usb::EventUnregister(nullptr), drv::kInvalidHandle);
    EXPECT_EQ(usb::NotifierStop(nullptr), drv::kInvalidHandle);
}

TEST_F(LibraryTest, EventRegisterThatTheDriverRefusesLeavesNothingBehind) {
    drv::OneEntryEventRecord record{};
    record.event.action = drv::kActionAttach;
    record.event.version = drv::kEventRecordVersion;
    record.event.matchCount = 1;
    usb::EventRegistration* registration = reinterpret_cast<usb::EventRegistration*>(0x1);
    EXPECT_EQ(usb::EventRegister(&registration, drv::kNoHandle, &record.event, usb::EventHandler,
                                 nullptr),
              drv::kInvalidDriverHandle);
    EXPECT_EQ(registration, nullptr);

    const size_t registrations = Core().RegistrationCount();
    const drv::Handle handle = drv::DrvOpen();
    record.event.version = 2;  // a record the driver does not know
    EXPECT_EQ(usb::EventRegister(&registration, handle, &record.event, usb::EventHandler, nullptr),
              drv::kInvalidParameter);
    EXPECT_EQ(Core().RegistrationCount(), registrations);
    drv::DrvClose(handle);
}

}  // namespace
}  // namespace usbtest
