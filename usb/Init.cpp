// Creating and ending driver contexts.
#include <cstdlib>
#include <cstring>
#include <new>

#include "usb/Hooks.h"
#include "usb/Library.h"
#include "usb/StatusText.h"

namespace usb {
namespace {

uint32_t ActionMask(const EventTable& events) {
    uint32_t mask = drv::kActionAttach;
    if (events.detach != nullptr) {
        mask |= drv::kActionDetach;
    }
    if (events.power != nullptr) {
        mask |= drv::kActionPowerEvents;
    }
    return mask;
}

// The registration record with a copy of the caller's match table; no table and no
// entries give the one all-zero entry that matches every device. Null for a table
// without entries or entries without a table, and when memory runs out.
drv::EventRecord* BuildEventRecord(const MatchEntry* table, uint32_t entries, uint32_t mask,
                                   uint32_t options) {
    if ((table == nullptr) != (entries == 0)) {
        return nullptr;
    }
    const uint32_t count = entries == 0 ? 1 : entries;
    void* memory = std::calloc(1, drv::EventRecordSize(count));
    if (memory == nullptr) {
        return nullptr;
    }
    auto* record = static_cast<drv::EventRecord*>(memory);
    record->action = mask;
    record->busType = drv::kBusTypeAny;
    record->options = options;
    record->version = drv::kEventRecordVersion;
    record->matchCount = count;
    static_assert(sizeof(MatchEntry) == sizeof(drv::MatchRecord));
    if (entries != 0) {
        std::memcpy(drv::MatchesOf(record), table, sizeof(MatchEntry) * entries);
    }
    return record;
}

uint32_t CheckVersion(drv::Handle driverHandle) {
    drv::VersionRecord version{};
    const uint32_t status =
        drv::DrvCall(drv::DrvVersion, driverHandle, &version, sizeof(version), false);
    if (status == drv::kSuccess && version.version >= drv::kMinimumVersion) {
        return drv::kSuccess;
    }
    ErrorHook("WDU_Init: incorrect WinDriver version\n");
    return status != drv::kSuccess ? status : drv::kIncorrectVersion;
}

// The first driver context creates the device list event and signals it once, so
// that DevList starts unlocked.
uint32_t CreateDeviceListEvent() {
    OsEvent* event = nullptr;
    uint32_t status = OsEventCreate(&event);
    if (status != drv::kSuccess) {
        ErrorHook("WDU_Init: cannot create event: dwStatus (0x%x) - %s\n", status,
                  StatusText(status));
        return status;
    }
    status = OsEventSignal(event);
    if (status != drv::kSuccess) {
        ErrorHook("WDU_Init: error signaling device list event: dwStatus (0x%x) - %s\n", status,
                  StatusText(status));
        OsEventClose(event);
        return status;
    }
    Library().deviceListEvent.store(event);
    return drv::kSuccess;
}

}  // namespace

uint32_t WDU_Init(DriverContext** handle, const MatchEntry* table, uint32_t entries,
                  const EventTable* events, uint32_t options) {
    *handle = kNoDriverContext;
    auto* context = new (std::nothrow) DriverContext;
    if (context == nullptr) {
        ErrorHook("WDU_Init: cannot malloc memory\n");
        return drv::kInsufficientResources;
    }
    LibraryState& library = Library();
    if (library.useCount.load() == 0) {
        const uint32_t status = CreateDeviceListEvent();
        if (status != drv::kSuccess) {
            delete context;
            return status;
        }
    }
    library.useCount.fetch_add(1);

    drv::EventRecord* record = nullptr;
    uint32_t status = drv::kSuccess;
    context->driverHandle = drv::DrvOpen();
    if (context->driverHandle == drv::kNoHandle) {
        ErrorHook("WDU_Init: cannot open WinDriver device\n");
        status = drv::kInternalError;
    } else {
        status = CheckVersion(context->driverHandle);
    }
    if (status == drv::kSuccess && events != nullptr) {
        context->events = *events;
    }
    if (status == drv::kSuccess && context->events.attach != nullptr) {
        record = BuildEventRecord(table, entries, ActionMask(context->events), options);
        if (record == nullptr) {
            ErrorHook("WDU_Init: cannot malloc memory\n");
            status = drv::kInsufficientResources;
        } else {
            status = EventRegister(&context->registration, context->driverHandle, record,
                                   EventHandler, context);
            if (status != drv::kSuccess) {
                ErrorHook("WDU_Init: EventRegister failed with dwStatus (0x%x) - %s\n", status,
                          StatusText(status));
            }
        }
    }
    std::free(record);
    if (status != drv::kSuccess) {
        WDU_Uninit(context);  // undoes all of the above; the caller's handle stays -1
        return status;
    }
    *handle = context;
    return drv::kSuccess;
}

void WDU_Uninit(DriverContext* handle) {
    if (handle == nullptr || handle == kNoDriverContext) {
        return;
    }
    if (handle->driverHandle != drv::kNoHandle) {
        if (handle->registration != nullptr) {
            EventUnregister(handle->registration);  // stops and joins the notifier thread
            handle->registration = nullptr;
        }
        drv::DrvClose(handle->driverHandle);
        handle->driverHandle = drv::kNoHandle;
    }
    RemoveAllDevicesFromDevList(handle);
    delete handle;
    LibraryState& library = Library();
    if (library.useCount.fetch_sub(1) == 1) {
        OsEventClose(library.deviceListEvent.exchange(nullptr));
    }
}

}  // namespace usb
