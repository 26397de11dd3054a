// The USB library against the driver core and the virtual bus with a small fake device:
// driver contexts, the notifier thread, DevList and the callbacks.
#include <atomic>
#include <chrono>
#include <thread>

#include "tests/usb/LibraryFixture.h"

namespace usbtest {
namespace {

constexpr uint16_t kProduct = 0x7616;
constexpr uint16_t kOtherProduct = 0x2222;

std::vector<usb::MatchEntry> Table(std::initializer_list<uint16_t> products) {
    std::vector<usb::MatchEntry> table;
    for (uint16_t product : products) {
        table.push_back(usb::MatchEntry{LibraryTest::kVendor, product, {}});
    }
    return table;
}

using Kind = CallbackRecord::Kind;

TEST_F(LibraryTest, AttachAndDetachReachTheCallbacksOnTheNotifierThread) {
    Recorder& recorder = NewRecorder();
    recorder.transferInside = true;
    usb::DriverContext* handle = nullptr;
    ASSERT_EQ(Init(&handle, Table({kProduct}), recorder.Table()), 0u);

    auto device = Plug(kProduct);
    ASSERT_TRUE(recorder.WaitForCount(1));
    drv::TheVirtualBus().Unplug(device);
    ASSERT_TRUE(recorder.WaitForCount(2));

    const auto records = recorder.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].kind, Kind::kAttach);
    EXPECT_EQ(records[0].vendorId, kVendor);
    EXPECT_EQ(records[0].productId, kProduct);
    EXPECT_EQ(records[0].transferStatus, 0u) << "the device is in DevList during attach";
    EXPECT_EQ(records[1].kind, Kind::kDetach);
    EXPECT_EQ(records[1].device, records[0].device);
    EXPECT_EQ(records[1].transferStatus, drv::kDeviceNotFound)
        << "the device has left DevList before the detach callback runs";
    EXPECT_NE(records[0].thread, std::this_thread::get_id());
    EXPECT_EQ(records[0].thread, records[1].thread);
    EXPECT_EQ(usb::DevListSize(), 0u);
}

TEST_F(LibraryTest, AcceptanceReachesTheDriverOnlyAfterTheAttachCallback) {
    Recorder& recorder = NewRecorder();
    usb::DriverContext* handle = nullptr;
    ASSERT_EQ(Init(&handle, Table({kProduct}), recorder.Table()), 0u);
    Plug(kProduct);
    ASSERT_TRUE(WaitForAcknowledgements(1));
    const auto acknowledgements = Core().Acknowledgements();
    EXPECT_EQ(acknowledgements[0].action, drv::kActionAttach);
    EXPECT_EQ(acknowledgements[0].options, usb::kAcknowledge | usb::kAcceptControl);
    EXPECT_TRUE(Core().ControlAccepted(acknowledgements[0].dwUniqueID));
    EXPECT_EQ(usb::DevListSize(), 1u);
}

TEST_F(LibraryTest, DevListHoldsExactlyTheAcceptedDevices) {
    Recorder& recorder = NewRecorder();
    usb::DriverContext* handle = nullptr;
    ASSERT_EQ(Init(&handle, Table({kProduct}), recorder.Table()), 0u);

    Plug(kOtherProduct);  // not in the match table: no event at all
    Plug(kProduct, {FakeInterface{0}, FakeInterface{1}});
    ASSERT_TRUE(recorder.WaitForCount(2));
    ASSERT_TRUE(WaitForAcknowledgements(2));

    const auto records = recorder.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].interfaceNumber, 0);
    EXPECT_EQ(records[1].interfaceNumber, 1);
    EXPECT_NE(records[0].dwUniqueID, records[1].dwUniqueID);
    EXPECT_EQ(usb::DevListSize(), 2u);
    usb::DeviceContext* found = nullptr;
    EXPECT_EQ(usb::FindDeviceByUniqueID(handle, records[1].dwUniqueID, &found), 0u);
    EXPECT_EQ(found, records[1].device);
}

TEST_F(LibraryTest, DeclinedAttachStaysOutOfDevListAndItsDetachCallsNothing) {
    Recorder& recorder = NewRecorder();
    recorder.acceptAttach = 0;
    usb::DriverContext* handle = nullptr;
    ASSERT_EQ(Init(&handle, Table({kProduct}), recorder.Table()), 0u);

    auto device = Plug(kProduct);
    ASSERT_TRUE(WaitForAcknowledgements(1));
    EXPECT_EQ(usb::DevListSize(), 0u);
    EXPECT_EQ(Core().Acknowledgements()[0].options, usb::kAcknowledge) << "control not taken";
    EXPECT_FALSE(Core().ControlAccepted(Core().Acknowledgements()[0].dwUniqueID));

    drv::TheVirtualBus().Unplug(device);
    ASSERT_TRUE(WaitForAcknowledgements(2));  // the detach event was handled
    EXPECT_EQ(recorder.Records().size(), 1u) << "only the attach callback ran";
}

TEST_F(LibraryTest, HandlesOfDetachedDevicesAnswerDeviceNotFoundAndSendNothing) {
    Recorder& recorder = NewRecorder();
    usb::DriverContext* handle = nullptr;
    ASSERT_EQ(Init(&handle, Table({kProduct}), recorder.Table()), 0u);
    auto device = Plug(kProduct);
    ASSERT_TRUE(recorder.WaitForCount(1));
    usb::DeviceContext* stale = recorder.Records()[0].device;
    drv::TheVirtualBus().Unplug(device);
    ASSERT_TRUE(recorder.WaitForCount(2));
    // The projector comes back at once, as it does after a mode switch.
    auto again = Plug(kProduct);
    ASSERT_TRUE(recorder.WaitForCount(3));

    const uint64_t transfersBefore = Core().RequestCount(drv::DrvTransfer);
    const uint64_t setInterfacesBefore = Core().RequestCount(drv::DrvSetInterface);
    uint8_t buffer[8] = {};
    uint32_t done = 0xDEAD;
    const uint8_t setup[8] = {0x80, 6, 0, 1, 0, 0, 18, 0};
    usb::DeviceInfo* info = reinterpret_cast<usb::DeviceInfo*>(0x1);
    EXPECT_EQ(usb::WDU_PipeTransfer(stale, 1, 0, 0, buffer, 8, &done, nullptr, 100),
              drv::kDeviceNotFound);
    EXPECT_EQ(usb::WDU_ControlTransfer(stale, 1, 0, buffer, 8, &done, setup, 100),
              drv::kDeviceNotFound);
    EXPECT_EQ(usb::WDU_SetInterface(stale, 0, 0), drv::kDeviceNotFound);
    EXPECT_EQ(usb::WDU_GetDeviceInfo(stale, &info), drv::kDeviceNotFound);
    EXPECT_EQ(usb::WDU_PipeTransfer(nullptr, 1, 0, 0, buffer, 8, &done, nullptr, 100),
              drv::kDeviceNotFound);

    EXPECT_EQ(done, 0xDEADu) << "bytes done untouched";
    EXPECT_EQ(info, reinterpret_cast<usb::DeviceInfo*>(0x1)) << "no output written";
    EXPECT_EQ(Core().RequestCount(drv::DrvTransfer), transfersBefore);
    EXPECT_EQ(Core().RequestCount(drv::DrvSetInterface), setInterfacesBefore);
    EXPECT_TRUE(device->Transfers().empty());
    EXPECT_TRUE(again->Transfers().empty()) << "the stale handle never names the new device";
}

TEST_F(LibraryTest, DriverVersionBelow623IsRefused) {
    struct Case {
        const char* name;
        uint32_t version;
        uint32_t status;
    };
    for (const Case& c : {Case{"622", 622, drv::kIncorrectVersion}, Case{"623", 623, 0},
                          Case{"stand-in", drv::kStandInVersion, 0}}) {
        SCOPED_TRACE(c.name);
        drv::SetReportedVersion(c.version);
        Recorder& recorder = NewRecorder();
        usb::DriverContext* handle = nullptr;
        EXPECT_EQ(Init(&handle, Table({kProduct}), recorder.Table()), c.status);
        if (c.status != 0) {
            EXPECT_EQ(handle, usb::kNoDriverContext);
            EXPECT_EQ(usb::Library().useCount.load(), 0u);
            EXPECT_EQ(usb::Library().deviceListEvent.load(), nullptr);
        } else {
            Uninit(handle);
        }
    }
}

TEST_F(LibraryTest, MissingDriverLeavesNothingBehindAndALaterInitWorks) {
    drv::SetUnopenable(true);
    Recorder& recorder = NewRecorder();
    usb::DriverContext* handle = nullptr;
    EXPECT_EQ(Init(&handle, Table({kProduct}), recorder.Table()), drv::kInternalError);
    EXPECT_EQ(handle, usb::kNoDriverContext);
    EXPECT_EQ(usb::Library().useCount.load(), 0u);
    EXPECT_EQ(usb::Library().deviceListEvent.load(), nullptr);
    usb::WDU_Uninit(handle);  // changes nothing
    EXPECT_EQ(usb::Library().useCount.load(), 0u);

    drv::SetUnopenable(false);
    ASSERT_EQ(Init(&handle, Table({kProduct}), recorder.Table()), 0u);
    EXPECT_NE(handle, usb::kNoDriverContext);
    Plug(kProduct);
    EXPECT_TRUE(recorder.WaitForCount(1));
}

TEST_F(LibraryTest, WithoutAttachCallbackNothingIsRegisteredAndNoThreadRuns) {
    const size_t registrations = Core().RegistrationCount();
    const uint64_t enables = Core().RequestCount(drv::DrvNotifierEnable);
    Recorder& recorder = NewRecorder();
    usb::DriverContext* handle = nullptr;
    ASSERT_EQ(Init(&handle, Table({kProduct}), recorder.Table(false, true, true)), 0u);
    EXPECT_EQ(handle->registration, nullptr);
    EXPECT_EQ(Core().RegistrationCount(), registrations);
    EXPECT_EQ(Core().RequestCount(drv::DrvNotifierEnable), enables);
}

TEST_F(LibraryTest, WithoutDetachCallbackNoDetachEventIsAskedFor) {
    Recorder& recorder = NewRecorder();
    usb::DriverContext* handle = nullptr;
    ASSERT_EQ(Init(&handle, Table({kProduct, kOtherProduct}), recorder.Table(true, false)), 0u);
    auto first = Plug(kProduct);
    ASSERT_TRUE(WaitForAcknowledgements(1));
    drv::TheVirtualBus().Unplug(first);
    Plug(kOtherProduct);
    ASSERT_TRUE(WaitForAcknowledgements(2));
    const auto acknowledgements = Core().Acknowledgements();
    EXPECT_EQ(acknowledgements[0].action, drv::kActionAttach);
    EXPECT_EQ(acknowledgements[1].action, drv::kActionAttach) << "no detach event in between";
    // The departed device stays in DevList: nothing told the library it left.
    EXPECT_EQ(usb::DevListSize(), 2u);
}

TEST_F(LibraryTest, PowerEventsAreAskedForOnlyWithAPowerCallback) {
    for (bool power : {true, false}) {
        SCOPED_TRACE(power ? "with power callback" : "without power callback");
        Core().ClearAcknowledgements();
        Recorder& recorder = NewRecorder();
        usb::DriverContext* handle = nullptr;
        ASSERT_EQ(Init(&handle, Table({kProduct}), recorder.Table(true, true, power)), 0u);
        auto device = Plug(kProduct);
        ASSERT_TRUE(recorder.WaitForCount(1));
        Core().InjectEvent(recorder.Records()[0].dwUniqueID, 64);
        Core().InjectEvent(0, 0);  // a marker: everything before it has been handled
        ASSERT_TRUE(WaitForAcknowledgements(power ? 3 : 2));
        const auto records = recorder.Records();
        if (power) {
            ASSERT_EQ(records.size(), 2u);
            EXPECT_EQ(records[1].kind, Kind::kPower);
            EXPECT_EQ(records[1].powerEvent, 64u);
            EXPECT_EQ(records[1].device, records[0].device);
        } else {
            EXPECT_EQ(records.size(), 1u);
            EXPECT_EQ(Core().Acknowledgements().size(), 2u);
        }
        Uninit(handle);
        drv::TheVirtualBus().Unplug(device);
    }
}

TEST_F(LibraryTest, EventWithActionZeroCallsNothingButIsAcknowledged) {
    Recorder& recorder = NewRecorder();
    usb::DriverContext* handle = nullptr;
    ASSERT_EQ(Init(&handle, Table({kProduct}), recorder.Table()), 0u);
    Core().InjectEvent(0, 0);
    ASSERT_TRUE(WaitForAcknowledgements(1));
    EXPECT_EQ(Core().Acknowledgements()[0].action, 0u);
    EXPECT_TRUE(recorder.Records().empty());
}

TEST_F(LibraryTest, WithoutAcknowledgeOptionNothingIsSentBack) {
    Recorder& recorder = NewRecorder();
    usb::DriverContext* handle = nullptr;
    ASSERT_EQ(Init(&handle, Table({kProduct}), recorder.Table(), 0), 0u);
    Plug(kProduct);
    ASSERT_TRUE(recorder.WaitForCount(1));
    EXPECT_EQ(usb::DevListSize(), 1u);
    EXPECT_TRUE(Core().Acknowledgements().empty());
}

TEST_F(LibraryTest, UninitOfOneOfTwoContextsRemovesOnlyItsDevicesWithoutCallbacks) {
    Recorder& first = NewRecorder();
    Recorder& second = NewRecorder();
    usb::DriverContext* firstHandle = nullptr;
    usb::DriverContext* secondHandle = nullptr;
    ASSERT_EQ(Init(&firstHandle, Table({kProduct}), first.Table()), 0u);
    ASSERT_EQ(Init(&secondHandle, Table({kOtherProduct}), second.Table()), 0u);
    Plug(kProduct, {FakeInterface{0}, FakeInterface{1}});
    Plug(kOtherProduct);
    ASSERT_TRUE(first.WaitForCount(2));
    ASSERT_TRUE(second.WaitForCount(1));
    EXPECT_EQ(usb::DevListSize(), 3u);
    usb::OsEvent* event = usb::Library().deviceListEvent.load();

    Uninit(firstHandle);
    EXPECT_EQ(first.Records().size(), 2u) << "no detach callback";
    EXPECT_EQ(usb::DevListSize(), 1u);
    EXPECT_EQ(usb::Library().deviceListEvent.load(), event) << "the event stays";
    uint8_t buffer[4];
    uint32_t done = 0;
    EXPECT_EQ(usb::WDU_PipeTransfer(second.Records()[0].device, 0x81, 1, 0, buffer, 4, &done,
                                    nullptr, 1000),
              0u);
    EXPECT_EQ(done, 4u);

    Uninit(secondHandle);
    EXPECT_EQ(usb::DevListSize(), 0u);
    EXPECT_EQ(usb::Library().deviceListEvent.load(), nullptr);
}

TEST_F(LibraryTest, UninitWaitsForTheCurrentEventAndJoinsTheNotifierThread) {
    struct Slow {
        std::atomic<bool> started{false};
        std::atomic<bool> finished{false};
        static int Attach(usb::DeviceContext*, usb::DeviceInfo*, void* context) {
            auto* self = static_cast<Slow*>(context);
            self->started = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            self->finished = true;
            return 1;
        }
    } slow;
    const usb::EventTable events{Slow::Attach, nullptr, nullptr, &slow};
    usb::DriverContext* handle = nullptr;
    ASSERT_EQ(Init(&handle, Table({kProduct}), events), 0u);
    Plug(kProduct);
    while (!slow.started) {
        std::this_thread::yield();
    }
    Uninit(handle);
    EXPECT_TRUE(slow.finished) << "WDU_Uninit returned while the callback still ran";
    EXPECT_EQ(usb::DevListSize(), 0u);
}

TEST_F(LibraryTest, DevicePresentBeforeInitIsReportedAtRegistration) {
    Plug(kProduct);
    Recorder& recorder = NewRecorder();
    usb::DriverContext* handle = nullptr;
    ASSERT_EQ(Init(&handle, Table({kProduct}), recorder.Table()), 0u);
    EXPECT_TRUE(recorder.WaitForCount(1));
}

TEST_F(LibraryTest, NoTableMatchesEveryDeviceAndHalfATableIsRefused) {
    Recorder& recorder = NewRecorder();
    usb::DriverContext* handle = nullptr;
    ASSERT_EQ(Init(&handle, {}, recorder.Table()), 0u);
    Plug(kOtherProduct);
    EXPECT_TRUE(recorder.WaitForCount(1));

    const usb::MatchEntry entry{kVendor, kProduct, {}};
    const usb::EventTable events = recorder.Table();
    usb::DriverContext* refused = nullptr;
    EXPECT_EQ(usb::WDU_Init(&refused, &entry, 0, &events, 1), drv::kInsufficientResources);
    EXPECT_EQ(refused, usb::kNoDriverContext);
    EXPECT_EQ(usb::WDU_Init(&refused, nullptr, 1, &events, 1), drv::kInsufficientResources);
    EXPECT_EQ(usb::Library().useCount.load(), 1u) << "only the first context lives";
}

}  // namespace
}  // namespace usbtest
