// The driver stand-in through DrvCall: handles, version, debug log, event registration
// with match tables and masks, notifier waits, and the virtual bus.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "platform/clock/Clock.h"
#include "platform/drv/DriverCore.h"
#include "platform/drv/Drv.h"
#include "platform/drv/Records.h"
#include "platform/drv/VirtualBus.h"
#include "tests/drv/FakeDevice.h"

namespace {

using drvtest::FakeDevice;
using drvtest::FakeInterface;

constexpr uint16_t kVendor = 0x1501;

class DriverCoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        plat::SetClockSpeed(100.0);
        drv::SetUnopenable(false);
        drv::SetReportedVersion(drv::kStandInVersion);
        drv::TheVirtualBus().UnplugAll();
        handle_ = drv::DrvOpen();
        ASSERT_NE(handle_, drv::kNoHandle);
    }
    void TearDown() override {
        drv::DrvClose(handle_);  // takes its registrations with it
        drv::TheVirtualBus().UnplugAll();
        drv::SetUnopenable(false);
    }

    // Registers a match table with an action mask; returns the event handle.
    uint32_t Register(std::vector<drv::MatchRecord> matches, uint32_t mask) {
        std::vector<uint8_t> bytes(drv::EventRecordSize(static_cast<uint32_t>(matches.size())));
        auto* record = reinterpret_cast<drv::EventRecord*>(bytes.data());
        record->action = mask;
        record->busType = drv::kBusTypeAny;
        record->options = drv::kOptionAcknowledge;
        record->version = drv::kEventRecordVersion;
        record->matchCount = static_cast<uint32_t>(matches.size());
        std::memcpy(drv::MatchesOf(record), matches.data(), matches.size() * 10);
        EXPECT_EQ(drv::DrvCall(drv::DrvEventRegister, handle_, record,
                               static_cast<uint32_t>(bytes.size()), false),
                  0u);
        return record->handle;
    }

    drv::OneEntryEventRecord Pull(uint32_t registration) {
        drv::OneEntryEventRecord record{};
        record.event.handle = registration;
        record.event.version = drv::kEventRecordVersion;
        record.event.matchCount = 1;
        EXPECT_EQ(drv::DrvCall(drv::DrvEventPull, handle_, &record, sizeof(record), false), 0u);
        return record;
    }

    // The actions pending for a registration, pulled until none is left.
    std::vector<uint32_t> PullAll(uint32_t registration) {
        std::vector<uint32_t> actions;
        for (auto record = Pull(registration); record.event.action != 0;
             record = Pull(registration)) {
            actions.push_back(record.event.action);
        }
        return actions;
    }

    drv::Handle handle_ = drv::kNoHandle;
};

TEST_F(DriverCoreTest, HandlesThatCannotReachTheDriverGiveInvalidDriverHandle) {
    drv::VersionRecord version{};
    EXPECT_EQ(drv::DrvCall(drv::DrvVersion, drv::kNoHandle, &version, sizeof(version), false),
              drv::kInvalidDriverHandle);
    const drv::Handle closed = drv::DrvOpen();
    drv::DrvClose(closed);
    EXPECT_EQ(drv::DrvCall(drv::DrvVersion, closed, &version, sizeof(version), false),
              drv::kInvalidDriverHandle);
    drv::SetUnopenable(true);
    EXPECT_EQ(drv::DrvOpen(), drv::kNoHandle);
    EXPECT_EQ(drv::DrvCall(drv::DrvVersion, drv::kNoHandle, &version, sizeof(version), true),
              drv::kInvalidDriverHandle);
    EXPECT_EQ(drv::DrvCall(drv::DrvVersion, handle_, &version, sizeof(version), false), 0u)
        << "a handle opened before stays usable";
}

TEST_F(DriverCoreTest, VersionIsReportedAndCanBeChangedByTests) {
    drv::VersionRecord version{};
    ASSERT_EQ(drv::DrvCall(drv::DrvVersion, handle_, &version, sizeof(version), false), 0u);
    EXPECT_GE(version.version, drv::kMinimumVersion);
    drv::SetReportedVersion(622);
    ASSERT_EQ(drv::DrvCall(drv::DrvVersion, handle_, &version, sizeof(version), true), 0u);
    EXPECT_EQ(version.version, 622u);
}

TEST_F(DriverCoreTest, MalformedRequestsAreRefused) {
    drv::VersionRecord version{};
    EXPECT_EQ(drv::DrvCall(0x12345678, handle_, &version, sizeof(version), false),
              drv::kInvalidIoctl);
    EXPECT_EQ(drv::DrvCall(drv::DrvVersion, handle_, nullptr, 0, false), drv::kInvalidParameter);
    EXPECT_EQ(drv::DrvCall(drv::DrvVersion, handle_, &version, 4, false), drv::kInvalidParameter);
    drv::EventRecord record{};  // version 0, no entries
    EXPECT_EQ(drv::DrvCall(drv::DrvEventRegister, handle_, &record, sizeof(record), false),
              drv::kInvalidParameter);
    record.version = 1;
    record.matchCount = 3;  // more entries than the size holds
    EXPECT_EQ(drv::DrvCall(drv::DrvEventRegister, handle_, &record, sizeof(record), false),
              drv::kInvalidParameter);
}

TEST_F(DriverCoreTest, DebugLogKeepsTheLastLinesAndToleratesUnterminatedText) {
    drv::ClearDebugLog();
    drv::DebugAddRecord line{};
    std::memset(line.text, 'x', sizeof(line.text));  // no terminating zero
    line.level = 3;
    line.section = 0x100;
    EXPECT_EQ(drv::DrvCall(drv::DrvDebugAdd, handle_, &line, sizeof(line), false), 0u);
    ASSERT_EQ(drv::DebugLog().size(), 1u);
    EXPECT_EQ(drv::DebugLog()[0], std::string(256, 'x'));

    for (int i = 0; i < 1005; ++i) {
        std::snprintf(line.text, sizeof(line.text), "line %d\n", i);
        drv::DrvCall(drv::DrvDebugAdd, handle_, &line, sizeof(line), false);
    }
    const auto lines = drv::DebugLog();
    ASSERT_EQ(lines.size(), 1000u);
    EXPECT_EQ(lines.front(), "line 5");
    EXPECT_EQ(lines.back(), "line 1004");
}

TEST_F(DriverCoreTest, EventsReachOnlyRegistrationsWhoseTableAndMaskAskForThem) {
    const uint32_t exact =
        Register({{kVendor, 0x7616, {}}}, drv::kActionAttach | drv::kActionDetach);
    const uint32_t anyProduct = Register({{kVendor, 0, {}}}, drv::kActionAttach);
    const uint32_t anyDevice = Register({{0, 0, {}}}, drv::kActionAttach | drv::kActionDetach);
    const uint32_t otherVendor = Register({{0x9999, 0, {}}}, drv::kActionAttach);
    const uint32_t anyVendor = Register({{0, 0x7616, {}}}, drv::kActionDetach);

    auto device =
        std::make_shared<FakeDevice>(kVendor, 0x7616, std::vector<FakeInterface>{{0, 1}, {1, 1}});
    drv::TheVirtualBus().Plug(device);
    drv::TheVirtualBus().Unplug(device);

    using Actions = std::vector<uint32_t>;
    EXPECT_EQ(PullAll(exact), (Actions{1, 1, 2, 2})) << "one event per interface";
    EXPECT_EQ(PullAll(anyProduct), (Actions{1, 1}));
    EXPECT_EQ(PullAll(anyDevice), (Actions{1, 1, 2, 2}));
    EXPECT_EQ(PullAll(otherVendor), Actions{});
    EXPECT_EQ(PullAll(anyVendor), (Actions{2, 2}));
}

TEST_F(DriverCoreTest, PulledEventsNameTheDeviceAndAnEmptyPullGivesActionZero) {
    const uint32_t registration = Register({{kVendor, 0x7616, {}}}, 3);
    auto device =
        std::make_shared<FakeDevice>(kVendor, 0x7616, std::vector<FakeInterface>{{3, 1}, {5, 1}});
    drv::TheVirtualBus().Plug(device);
    const auto first = Pull(registration);
    const auto second = Pull(registration);
    EXPECT_EQ(first.event.action, drv::kActionAttach);
    EXPECT_EQ(first.event.options, drv::kOptionAcknowledge);
    EXPECT_EQ(first.event.interfaceNumber, 3);
    EXPECT_EQ(second.event.interfaceNumber, 5);
    EXPECT_EQ(first.event.productId, 0x7616);
    EXPECT_NE(first.event.dwUniqueID, second.event.dwUniqueID);
    EXPECT_EQ(Pull(registration).event.action, 0u);

    drv::TheVirtualBus().Unplug(device);
    const auto detach = Pull(registration);
    EXPECT_EQ(detach.event.action, drv::kActionDetach);
    EXPECT_EQ(detach.event.dwUniqueID, first.event.dwUniqueID);
}

TEST_F(DriverCoreTest, SendingBackAnAttachRecordsWhetherControlWasTaken) {
    const uint32_t registration = Register({{kVendor, 0, {}}}, 1);
    drv::TheVirtualBus().Plug(std::make_shared<FakeDevice>(kVendor, 1));
    drv::TheVirtualBus().Plug(std::make_shared<FakeDevice>(kVendor, 2));
    auto taken = Pull(registration);
    auto declined = Pull(registration);
    taken.event.options |= drv::kOptionAcceptControl;
    EXPECT_EQ(drv::DrvCall(drv::DrvEventSend, handle_, &taken, sizeof(taken), false), 0u);
    EXPECT_EQ(drv::DrvCall(drv::DrvEventSend, handle_, &declined, sizeof(declined), false), 0u);
    EXPECT_TRUE(drv::DriverCore::Instance().ControlAccepted(taken.event.dwUniqueID));
    EXPECT_FALSE(drv::DriverCore::Instance().ControlAccepted(declined.event.dwUniqueID));
}

TEST_F(DriverCoreTest, NotifierWaitBlocksUntilAnEventOrTheDisable) {
    const uint32_t registration = Register({{0, 0, {}}}, 3);
    drv::NotifierRecord notifier{};
    notifier.handle = registration;
    ASSERT_EQ(drv::DrvCall(drv::DrvNotifierEnable, handle_, &notifier, sizeof(notifier), false),
              0u);
    auto wait = [registration] {
        drv::NotifierRecord record{};
        record.handle = registration;
        const uint32_t status =
            drv::DrvCall(drv::DrvNotifierWait, drv::kNoHandle, &record, sizeof(record), true);
        return status == 0 ? record.state : 0xFFFFFFFFu;
    };

    auto pending = std::async(std::launch::async, wait);
    EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(30)), std::future_status::timeout);
    auto device = std::make_shared<FakeDevice>(kVendor, 0x7616);
    drv::TheVirtualBus().Plug(device);
    EXPECT_EQ(pending.get(), drv::kNotifierEventPending);
    PullAll(registration);

    auto woken = std::async(std::launch::async, wait);
    EXPECT_EQ(woken.wait_for(std::chrono::milliseconds(30)), std::future_status::timeout);
    drv::DriverCore::Instance().WakeNotifiers();
    EXPECT_EQ(woken.get(), drv::kNotifierWokenWithoutEvent);

    auto stopped = std::async(std::launch::async, wait);
    EXPECT_EQ(stopped.wait_for(std::chrono::milliseconds(30)), std::future_status::timeout);
    ASSERT_EQ(drv::DrvCall(drv::DrvNotifierDisable, handle_, &notifier, sizeof(notifier), false),
              0u);
    EXPECT_EQ(stopped.get(), drv::kNotifierStopped);
    EXPECT_EQ(wait(), drv::kNotifierStopped) << "a wait after the disable ends at once";
}

TEST_F(DriverCoreTest, ClosingTheHandleEndsItsRegistrationsAndTheirWaits) {
    const drv::Handle other = drv::DrvOpen();
    drv::OneEntryEventRecord record{};
    record.event.action = 1;
    record.event.version = 1;
    record.event.matchCount = 1;
    ASSERT_EQ(drv::DrvCall(drv::DrvEventRegister, other, &record, sizeof(record), false), 0u);
    drv::NotifierRecord notifier{};
    notifier.handle = record.event.handle;
    ASSERT_EQ(drv::DrvCall(drv::DrvNotifierEnable, other, &notifier, sizeof(notifier), false), 0u);
    auto waiting = std::async(std::launch::async, [notifier]() mutable {
        drv::DrvCall(drv::DrvNotifierWait, drv::kNoHandle, &notifier, sizeof(notifier), true);
        return notifier.state;
    });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(30)), std::future_status::timeout);
    drv::DrvClose(other);
    EXPECT_EQ(waiting.get(), drv::kNotifierStopped);
    EXPECT_EQ(drv::DrvCall(drv::DrvEventUnregister, handle_, &record, sizeof(record), false),
              drv::kInvalidHandle);
}

TEST_F(DriverCoreTest, DeviceRequestsForAGoneDeviceAnswerDeviceNotFound) {
    const uint32_t registration = Register({{0, 0, {}}}, 1);
    auto device = std::make_shared<FakeDevice>(kVendor, 0x7616);
    drv::TheVirtualBus().Plug(device);
    const uint32_t id = Pull(registration).event.dwUniqueID;
    drv::TheVirtualBus().Unplug(device);

    drv::TransferRecord transfer{};
    transfer.dwUniqueID = id;
    transfer.bytesDone = 77;
    EXPECT_EQ(drv::DrvCall(drv::DrvTransfer, drv::kNoHandle, &transfer, sizeof(transfer), true),
              drv::kDeviceNotFound);
    EXPECT_EQ(transfer.bytesDone, 77u);
    drv::SetInterfaceRecord setInterface{id, 0, 0, 0};
    EXPECT_EQ(
        drv::DrvCall(drv::DrvSetInterface, handle_, &setInterface, sizeof(setInterface), false),
        drv::kDeviceNotFound);
    drv::DeviceDataRecord data{};
    data.dwUniqueID = id;
    EXPECT_EQ(drv::DrvCall(drv::DrvGetDeviceData, handle_, &data, sizeof(data), false),
              drv::kDeviceNotFound);
    EXPECT_TRUE(device->Transfers().empty());
}

TEST_F(DriverCoreTest, DeviceDataNeedsABufferOfTheReportedSize) {
    const uint32_t registration = Register({{0, 0, {}}}, 1);
    drv::TheVirtualBus().Plug(std::make_shared<FakeDevice>(kVendor, 0x7616));
    drv::DeviceDataRecord data{};
    data.dwUniqueID = Pull(registration).event.dwUniqueID;
    ASSERT_EQ(drv::DrvCall(drv::DrvGetDeviceData, handle_, &data, sizeof(data), false), 0u);
    const uint32_t needed = data.size;
    EXPECT_GT(needed, 18u);
    std::vector<std::max_align_t> small((needed - 1) / sizeof(std::max_align_t));
    data.buffer = small.data();
    data.size = static_cast<uint32_t>(small.size() * sizeof(std::max_align_t));
    EXPECT_EQ(drv::DrvCall(drv::DrvGetDeviceData, handle_, &data, sizeof(data), false),
              drv::kInvalidParameter);
    EXPECT_EQ(data.size, needed);
}

// ---- The virtual bus on its own ----

struct Listener final : drv::BusListener {
    std::vector<std::pair<char, drv::BusDevice*>> calls;
    void Arrived(const std::shared_ptr<drv::BusDevice>& d) override {
        calls.emplace_back('+', d.get());
    }
    void Left(const std::shared_ptr<drv::BusDevice>& d) override {
        calls.emplace_back('-', d.get());
    }
};

TEST(VirtualBus, ReportsDevicesPluggedBeforeItStartedAndThoseLeftWhenItStops) {
    drv::VirtualBus bus;
    auto early = std::make_shared<FakeDevice>(kVendor, 1);
    auto late = std::make_shared<FakeDevice>(kVendor, 2);
    bus.Plug(early);
    bus.Plug(early);  // twice is once
    Listener listener;
    bus.Start(listener);
    bus.Plug(late);
    bus.Unplug(early);
    bus.Unplug(early);  // not there any more: nothing
    bus.Stop();
    bus.Plug(early);  // stopped: kept, not reported
    using Calls = std::vector<std::pair<char, drv::BusDevice*>>;
    EXPECT_EQ(
        listener.calls,
        (Calls{{'+', early.get()}, {'+', late.get()}, {'-', early.get()}, {'-', late.get()}}));
    EXPECT_EQ(bus.DeviceCount(), 2u);
}

}  // namespace
