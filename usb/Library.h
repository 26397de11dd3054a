#pragma once
// The USB library's own records and the operations behind the WDU_* API: event
// registration, the notifier thread, event handling and the process-wide DevList.
// Programs use Wdu.h; this header is for the library itself and its tests.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "platform/drv/Drv.h"
#include "platform/drv/Records.h"
#include "usb/Os.h"
#include "usb/Wdu.h"

namespace usb {

struct EventRegistration;

// The record behind a WDU_Init handle.
struct DriverContext {
    drv::Handle driverHandle = drv::kNoHandle;
    EventTable events{};
    EventRegistration* registration = nullptr;  // none without an attach callback
};

// The record behind a device handle.
struct DeviceContext {
    DriverContext* driverContext = nullptr;
    DeviceInfo* deviceInfo = nullptr;
    uint32_t dwUniqueID = 0;
};

using NotifierFunction = void (*)(void* argument);
using EventHandlerFunction = uint32_t (*)(drv::EventRecord* record, void* context);

// One notifier thread and what it needs.
struct NotifierThreadRecord {
    drv::Handle driverHandle = drv::kNoHandle;
    NotifierFunction function = nullptr;
    void* argument = nullptr;
    drv::NotifierRecord* notifier = nullptr;
    OsThread* thread = nullptr;
    // Set by NotifierStop before it disables the notifier: ends the pause after a
    // failed wait at once, so that stopping never waits for the driver to come back.
    std::mutex stopMutex;
    std::condition_variable stopRequested;
    bool stopping = false;
};

// The record behind an EventRegister handle.
struct EventRegistration {
    EventHandlerFunction handler = nullptr;
    drv::Handle driverHandle = drv::kNoHandle;
    void* handlerContext = nullptr;
    NotifierThreadRecord* notifier = nullptr;
    drv::NotifierRecord notifierRecord{};
    uint32_t busType = 0;
};

uint32_t EventRegister(EventRegistration** registration, drv::Handle driverHandle,
                       drv::EventRecord* record, EventHandlerFunction handler, void* context);
uint32_t EventUnregister(EventRegistration* registration);

uint32_t NotifierStart(NotifierThreadRecord** notifier, drv::Handle driverHandle,
                       drv::NotifierRecord* record, NotifierFunction function, void* argument);
uint32_t NotifierStop(NotifierThreadRecord* notifier);
void NotifierThread(void* threadRecord);

// How long the notifier thread pauses after a wait request that failed (the driver
// could not be reached), in clock milliseconds: doubling from the first to the last.
constexpr uint32_t kFailedWaitFirstPauseMs = 10;
constexpr uint32_t kFailedWaitLastPauseMs = 1000;

void PullAndDispatchEvent(void* registration);
uint32_t EventHandler(drv::EventRecord* record, void* driverContext);

// ---- DevList ----

// What a handle check keeps of a device, taken while DevList is locked: the device
// record itself may be freed by a detach as soon as the lock is let go.
struct DeviceSnapshot {
    drv::Handle driverHandle = drv::kNoHandle;
    uint32_t dwUniqueID = 0;
};

uint32_t AddDeviceToDevList(DeviceContext* device);
uint32_t RemoveAllDevicesFromDevList(DriverContext* driverContext);
uint32_t FindDeviceByUniqueID(DriverContext* driverContext, uint32_t dwUniqueID,
                              DeviceContext** device);
uint32_t FindDeviceByCtx(DeviceContext* device, DeviceSnapshot* snapshot = nullptr);
uint32_t RemoveDeviceFromDevList(DriverContext* driverContext, uint32_t dwUniqueID,
                                 DeviceContext** device);
// With DevList locked: if the device is still listed, its cached DeviceInfo's first
// active interface takes the alternate setting at index `alternateSetting`.
uint32_t UpdateActiveSetting(DeviceContext* device, uint32_t alternateSetting);
// Frees a device that has left DevList, with its DeviceInfo.
void FreeDevice(DeviceContext* device);

// Seconds a DevList operation waits for the device list event.
constexpr int32_t kDevListWaitSeconds = 30;

// The library's process-wide state. The use count and the event's existence change
// only in WDU_Init and WDU_Uninit, which one thread at a time calls.
struct LibraryState {
    struct Node {
        Node* next;
        DeviceContext* device;
    };
    std::atomic<Node*> pHead{nullptr};  // guarded by the device list event
    std::atomic<OsEvent*> deviceListEvent{nullptr};
    std::atomic<uint32_t> useCount{0};
};
LibraryState& Library();

// ---- Inspection and fault seams for tests ----
size_t DevListSize();
// Makes every DevList node allocation fail while set.
void FailDevListNodeAllocations(bool fail);

}  // namespace usb
