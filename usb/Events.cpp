// Event registration with the driver, pulling and acknowledging events, and the
// handling of one event with the program's callbacks.
#include <cstring>
#include <new>

#include "usb/Hooks.h"
#include "usb/Library.h"

namespace usb {

uint32_t EventRegister(EventRegistration** registration, drv::Handle driverHandle,
                       drv::EventRecord* record, EventHandlerFunction handler, void* context) {
    *registration = nullptr;
    auto* created = new (std::nothrow) EventRegistration;
    if (created == nullptr) {
        return drv::kInsufficientResources;
    }
    created->handler = handler;
    created->driverHandle = driverHandle;
    created->handlerContext = context;
    created->busType = record->busType;
    uint32_t status = drv::DrvCall(drv::DrvEventRegister, driverHandle, record,
                                   drv::EventRecordSize(record->matchCount), false);
    if (status == drv::kSuccess) {
        created->notifierRecord.handle = record->handle;
        status = NotifierStart(&created->notifier, driverHandle, &created->notifierRecord,
                               PullAndDispatchEvent, created);
    }
    if (status != drv::kSuccess) {
        if (created->notifierRecord.handle != 0) {
            drv::DrvCall(drv::DrvEventUnregister, driverHandle, record,
                         drv::EventRecordSize(record->matchCount), false);
        }
        delete created;
        return status;
    }
    *registration = created;
    return drv::kSuccess;
}

uint32_t EventUnregister(EventRegistration* registration) {
    if (registration == nullptr) {
        return drv::kInvalidHandle;
    }
    drv::OneEntryEventRecord record{};
    record.event.handle = registration->notifierRecord.handle;
    record.event.busType = registration->busType;
    record.event.version = drv::kEventRecordVersion;
    record.event.matchCount = 1;
    NotifierStop(registration->notifier);
    const uint32_t status = drv::DrvCall(drv::DrvEventUnregister, registration->driverHandle,
                                         &record, sizeof(record), false);
    delete registration;
    return status;
}

// The pull record is a fixed 68-byte record on the notifier thread's stack: pulling
// needs no allocation, so an event can never stay pending for want of memory (which
// would wake the thread again at once, over and over).
void PullAndDispatchEvent(void* argument) {
    auto* registration = static_cast<EventRegistration*>(argument);
    drv::OneEntryEventRecord record{};
    record.event.handle = registration->notifierRecord.handle;
    record.event.version = drv::kEventRecordVersion;
    record.event.matchCount = 1;
    drv::DrvCall(drv::DrvEventPull, registration->driverHandle, &record, sizeof(record), false);
    if (record.event.action != 0) {
        registration->handler(&record.event, registration->handlerContext);
    }
    if ((record.event.options & kAcknowledge) != 0) {
        drv::DrvCall(drv::DrvEventSend, registration->driverHandle, &record, sizeof(record), false);
    }
}

namespace {

// Takes a device that was added for an attach out of DevList again and frees it. If
// the list cannot be locked the record stays listed (WDU_Uninit frees it later):
// freeing it there would leave DevList pointing at freed memory.
void ForgetDevice(DriverContext* driverContext, DeviceContext* device) {
    DeviceContext* removed = nullptr;
    if (RemoveDeviceFromDevList(driverContext, device->dwUniqueID, &removed) == drv::kSuccess) {
        FreeDevice(removed);
    }
}

void HandleAttach(drv::EventRecord& record, DriverContext* driverContext) {
    auto* device = new (std::nothrow) DeviceContext;
    if (device == nullptr) {
        ErrorHook("EventHandler: cannot alloc memory\n");
        return;
    }
    device->driverContext = driverContext;
    device->dwUniqueID = record.dwUniqueID;
    if (AddDeviceToDevList(device) != drv::kSuccess) {
        delete device;
        return;
    }
    if (WDU_GetDeviceInfo(device, &device->deviceInfo) != drv::kSuccess) {
        ErrorHook(
            "EventHandler: unable to get device info for device handle 0x%x dwUniqueID 0x%x\n",
            device, record.dwUniqueID);
        ForgetDevice(driverContext, device);
        return;
    }
    const EventTable& events = driverContext->events;
    const int controlDevice = events.attach(device, device->deviceInfo, events.context);
    if (controlDevice == 0) {
        TraceHook("EventHandler: bControlDevice==FALSE; pDriverCtx 0x%x\n", driverContext);
        ForgetDevice(driverContext, device);
        return;
    }
    record.options |= kAcceptControl;
}

void HandleDetach(const drv::EventRecord& record, DriverContext* driverContext) {
    DeviceContext* device = nullptr;
    if (RemoveDeviceFromDevList(driverContext, record.dwUniqueID, &device) != drv::kSuccess) {
        return;
    }
    const EventTable& events = driverContext->events;
    if (events.detach != nullptr) {
        events.detach(device, events.context);
    }
    FreeDevice(device);
}

void HandlePower(const drv::EventRecord& record, DriverContext* driverContext) {
    DeviceContext* device = nullptr;
    if (FindDeviceByUniqueID(driverContext, record.dwUniqueID, &device) != drv::kSuccess) {
        return;
    }
    const EventTable& events = driverContext->events;
    if (events.power != nullptr) {
        events.power(device, record.action, events.context);
    }
}

bool IsPowerEvent(uint32_t action) {
    return (action & drv::kActionPowerEvents) != 0 && (action & (action - 1)) == 0;
}

}  // namespace

uint32_t EventHandler(drv::EventRecord* record, void* context) {
    auto* driverContext = static_cast<DriverContext*>(context);
    TraceHook("EventHandler: got event %d handle 0x%x\n", record->action, record->handle);
    if (record->action == drv::kActionAttach) {
        HandleAttach(*record, driverContext);
    } else if (record->action == drv::kActionDetach) {
        HandleDetach(*record, driverContext);
    } else if (IsPowerEvent(record->action)) {
        HandlePower(*record, driverContext);
    }
    return drv::kSuccess;
}

}  // namespace usb
