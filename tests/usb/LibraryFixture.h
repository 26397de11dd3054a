#pragma once
// A fixture for tests of the USB library against the driver core and the virtual bus:
// a fast clock, a clean core between tests, and a recorder of the callbacks.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/clock/Clock.h"
#include "platform/drv/DriverCore.h"
#include "platform/drv/VirtualBus.h"
#include "tests/drv/FakeDevice.h"
#include "usb/Library.h"
#include "usb/Wdu.h"

namespace usbtest {

using drvtest::FakeDevice;
using drvtest::FakeInterface;

// What the callbacks saw, in order, and on which thread.
struct CallbackRecord {
    enum Kind { kAttach, kDetach, kPower } kind;
    usb::DeviceContext* device;
    uint32_t dwUniqueID;
    uint16_t vendorId;
    uint16_t productId;
    uint8_t interfaceNumber;
    uint32_t powerEvent;
    std::thread::id thread;
    // Status of a transfer the callback made on its device (detach: after it left).
    uint32_t transferStatus;
};

class Recorder {
  public:
    int acceptAttach = 1;         // what the attach callback returns
    bool transferInside = false;  // callbacks try a transfer on their device

    static int Attach(usb::DeviceContext* device, usb::DeviceInfo* info, void* context) {
        auto* self = static_cast<Recorder*>(context);
        const auto& descriptor = info->deviceDescriptor;
        const uint8_t interfaceNumber =
            info->activeInterfaces[0].activeAlternateSetting->descriptor.bInterfaceNumber;
        self->Add({CallbackRecord::kAttach, device, device->dwUniqueID, descriptor.idVendor,
                   descriptor.idProduct, interfaceNumber, 0, std::this_thread::get_id(),
                   self->TryTransfer(device)});
        return self->acceptAttach;
    }
    static void Detach(usb::DeviceContext* device, void* context) {
        auto* self = static_cast<Recorder*>(context);
        self->Add({CallbackRecord::kDetach, device, device->dwUniqueID, 0, 0, 0, 0,
                   std::this_thread::get_id(), self->TryTransfer(device)});
    }
    static int Power(usb::DeviceContext* device, uint32_t powerEvent, void* context) {
        auto* self = static_cast<Recorder*>(context);
        self->Add({CallbackRecord::kPower, device, device->dwUniqueID, 0, 0, 0, powerEvent,
                   std::this_thread::get_id(), 0});
        return 0;
    }

    usb::EventTable Table(bool attach = true, bool detach = true, bool power = false) {
        return usb::EventTable{attach ? Attach : nullptr, detach ? Detach : nullptr,
                               power ? Power : nullptr, this};
    }

    // Waits (real time) until at least `count` callbacks have been recorded.
    bool WaitForCount(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return records_.size() >= count; });
    }
    std::vector<CallbackRecord> Records() const {
        std::lock_guard lock(mutex_);
        return records_;
    }

  private:
    uint32_t TryTransfer(usb::DeviceContext* device) const {
        if (!transferInside) {
            return 0;
        }
        uint8_t buffer[4] = {};
        uint32_t done = 0x5555;
        return usb::WDU_PipeTransfer(device, 0x81, 1, 0, buffer, sizeof(buffer), &done, nullptr,
                                     1000);
    }
    void Add(const CallbackRecord& record) {
        {
            std::lock_guard lock(mutex_);
            records_.push_back(record);
        }
        changed_.notify_all();
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<CallbackRecord> records_;
};

class LibraryTest : public ::testing::Test {
  public:
    static constexpr uint16_t kVendor = 0x1501;

  protected:
    void SetUp() override {
        plat::SetClockSpeed(100.0);
        drv::SetUnopenable(false);
        drv::SetReportedVersion(drv::kStandInVersion);
        drv::TheVirtualBus().UnplugAll();
        Core().ClearAcknowledgements();
    }
    void TearDown() override {
        for (usb::DriverContext* context : contexts_) {
            usb::WDU_Uninit(context);
        }
        drv::TheVirtualBus().UnplugAll();
        drv::SetUnopenable(false);
        drv::SetReportedVersion(drv::kStandInVersion);
        EXPECT_EQ(usb::Library().useCount.load(), 0u) << "a test left a driver context open";
    }

    // A recorder that outlives every driver context of the test: callbacks may still be
    // finishing on the notifier thread until WDU_Uninit has joined it.
    Recorder& NewRecorder() { return recorders_.emplace_back(); }

    static drv::DriverCore& Core() { return drv::DriverCore::Instance(); }

    // WDU_Init that the fixture ends again after the test.
    uint32_t Init(usb::DriverContext** handle, const std::vector<usb::MatchEntry>& table,
                  const usb::EventTable& events, uint32_t options = usb::kAcknowledge) {
        const uint32_t status =
            usb::WDU_Init(handle, table.empty() ? nullptr : table.data(),
                          static_cast<uint32_t>(table.size()), &events, options);
        if (status == 0) {
            contexts_.push_back(*handle);
        }
        return status;
    }
    // Ends a context now (and not again at the end of the test).
    void Uninit(usb::DriverContext* handle) {
        std::erase(contexts_, handle);
        usb::WDU_Uninit(handle);
    }

    static std::shared_ptr<FakeDevice> Plug(uint16_t productId,
                                            std::vector<FakeInterface> interfaces = {
                                                FakeInterface{}}) {
        auto device = std::make_shared<FakeDevice>(kVendor, productId, std::move(interfaces));
        drv::TheVirtualBus().Plug(device);
        return device;
    }

    // Waits (real time) until the driver has `count` acknowledgements.
    static bool WaitForAcknowledgements(size_t count) {
        for (int i = 0; i < 1000; ++i) {
            if (Core().Acknowledgements().size() >= count) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    std::deque<Recorder> recorders_;
    std::vector<usb::DriverContext*> contexts_;
};

}  // namespace usbtest
