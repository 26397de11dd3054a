// The notifier thread: waits in the driver for the events of one registration and runs
// the registration's pull-and-dispatch function for each, one after another.
#include <algorithm>
#include <new>

#include "platform/clock/Clock.h"
#include "usb/Library.h"

namespace usb {
namespace {

// Pauses after a wait request that failed; false when the notifier is being stopped.
bool PauseUnlessStopping(NotifierThreadRecord& record, uint32_t ms) {
    std::unique_lock lock(record.stopMutex);
    return !plat::WaitFor(record.stopRequested, lock, ms, [&record] { return record.stopping; });
}

}  // namespace

uint32_t NotifierStart(NotifierThreadRecord** notifier, drv::Handle driverHandle,
                       drv::NotifierRecord* record, NotifierFunction function, void* argument) {
    *notifier = nullptr;
    auto* threadRecord = new (std::nothrow) NotifierThreadRecord;
    if (threadRecord == nullptr) {
        return drv::kInsufficientResources;
    }
    uint32_t status =
        drv::DrvCall(drv::DrvNotifierEnable, driverHandle, record, sizeof(*record), false);
    if (status != drv::kSuccess) {
        delete threadRecord;
        return status;
    }
    threadRecord->driverHandle = driverHandle;
    threadRecord->function = function;
    threadRecord->argument = argument;
    threadRecord->notifier = record;
    status = OsThreadStart(&threadRecord->thread, NotifierThread, threadRecord);
    if (status != drv::kSuccess) {
        drv::DrvCall(drv::DrvNotifierDisable, driverHandle, record, sizeof(*record), false);
        delete threadRecord;
        return status;
    }
    *notifier = threadRecord;
    return drv::kSuccess;
}

uint32_t NotifierStop(NotifierThreadRecord* notifier) {
    if (notifier == nullptr) {
        return drv::kInvalidHandle;
    }
    {
        std::lock_guard lock(notifier->stopMutex);
        notifier->stopping = true;
    }
    notifier->stopRequested.notify_all();
    const uint32_t status = drv::DrvCall(drv::DrvNotifierDisable, notifier->driverHandle,
                                         notifier->notifier, sizeof(drv::NotifierRecord), false);
    OsThreadWait(notifier->thread);
    delete notifier;
    return status;
}

void NotifierThread(void* threadRecord) {
    auto& record = *static_cast<NotifierThreadRecord*>(threadRecord);
    uint32_t pauseMs = kFailedWaitFirstPauseMs;
    for (;;) {
        // Each wait opens its own handle, so it never blocks a request on the context's.
        const uint32_t status = drv::DrvCall(drv::DrvNotifierWait, drv::kNoHandle, record.notifier,
                                             sizeof(drv::NotifierRecord), true);
        if (status != drv::kSuccess) {
            // The wait did not happen (the driver cannot be reached), so the state says
            // nothing: pause, longer each time, instead of spinning on the failure, and
            // go on waiting once the driver answers again.
            if (!PauseUnlessStopping(record, pauseMs)) {
                return;
            }
            pauseMs = std::min(pauseMs * 2, kFailedWaitLastPauseMs);
            continue;
        }
        pauseMs = kFailedWaitFirstPauseMs;
        const uint32_t state = record.notifier->state;
        if (state == drv::kNotifierStopped) {
            return;
        }
        if (state != drv::kNotifierWokenWithoutEvent) {
            record.function(record.argument);
        }
    }
}

}  // namespace usb
