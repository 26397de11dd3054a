#include "usb/Os.h"

#include <pthread.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <thread>

#include "platform/clock/Clock.h"
#include "platform/drv/DrvStatus.h"

namespace usb {

struct OsEvent {
    std::mutex mutex;
    std::condition_variable signalled;
    bool set = false;
};

// A mutex the way the programs expect one: the owning thread may lock it again (each
// lock needs its unlock), and an unlock by a thread that does not own it is ignored
// instead of corrupting the lock.
struct OsMutex {
    std::mutex mutex;
    std::condition_variable released;
    std::thread::id owner;
    uint32_t depth = 0;
};

struct OsThread {
    pthread_t thread;
};

namespace {

// The notifier thread only waits in the driver and runs the program's callbacks, so
// it needs little stack, but the 4096 bytes such a thread gets on its original system
// are below glibc's minimum (PTHREAD_STACK_MIN) on Linux, and the sanitizers' bigger
// frames need far more again. The size is explicit so that a thread per driver
// context stays cheap.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr size_t kThreadStackSize = 4 * 1024 * 1024;
#else
constexpr size_t kThreadStackSize = 256 * 1024;
#endif

struct StartRecord {
    void (*function)(void*);
    void* argument;
};

void* RunThread(void* start) {
    const StartRecord record = *static_cast<StartRecord*>(start);
    delete static_cast<StartRecord*>(start);
    record.function(record.argument);
    return nullptr;
}

}  // namespace

uint32_t OsEventCreate(OsEvent** event) {
    *event = new (std::nothrow) OsEvent;
    return *event != nullptr ? drv::kSuccess : drv::kInsufficientResources;
}

uint32_t OsEventSignal(OsEvent* event) {
    if (event == nullptr) {
        return drv::kInternalError;
    }
    {
        std::lock_guard lock(event->mutex);
        event->set = true;
    }
    event->signalled.notify_one();
    return drv::kSuccess;
}

uint32_t OsEventWait(OsEvent* event, int32_t seconds) {
    if (event == nullptr) {
        return drv::kInternalError;
    }
    std::unique_lock lock(event->mutex);
    if (seconds < 0) {
        event->signalled.wait(lock, [event] { return event->set; });
    } else {
        const uint32_t ms = static_cast<uint32_t>(seconds) * 1000u;
        const bool limitFits = seconds <= static_cast<int32_t>(UINT32_MAX / 1000u);
        if (!plat::WaitFor(event->signalled, lock, limitFits ? ms : UINT32_MAX,
                           [event] { return event->set; })) {
            return drv::kTimeout;
        }
    }
    event->set = false;  // auto-reset: one waiter takes the signal
    return drv::kSuccess;
}

void OsEventClose(OsEvent* event) {
    delete event;
}

uint32_t OsMutexCreate(OsMutex** mutex) {
    *mutex = new (std::nothrow) OsMutex;
    return *mutex != nullptr ? drv::kSuccess : drv::kInsufficientResources;
}

uint32_t OsMutexLock(OsMutex* mutex) {
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(mutex->mutex);
    if (mutex->depth > 0 && mutex->owner == self) {
        ++mutex->depth;
        return drv::kSuccess;
    }
    mutex->released.wait(lock, [mutex] { return mutex->depth == 0; });
    mutex->owner = self;
    mutex->depth = 1;
    return drv::kSuccess;
}

uint32_t OsMutexUnlock(OsMutex* mutex) {
    bool released = false;
    {
        std::lock_guard lock(mutex->mutex);
        if (mutex->depth > 0 && mutex->owner == std::this_thread::get_id()) {
            released = --mutex->depth == 0;
        }
    }
    if (released) {
        mutex->released.notify_one();
    }
    return drv::kSuccess;
}

void OsMutexClose(OsMutex* mutex) {
    delete mutex;
}

uint32_t OsThreadStart(OsThread** thread, void (*function)(void*), void* argument) {
    *thread = nullptr;
    auto* start = new (std::nothrow) StartRecord{function, argument};
    auto* handle = new (std::nothrow) OsThread{};
    pthread_attr_t attributes;
    bool started = false;
    if (start != nullptr && handle != nullptr && pthread_attr_init(&attributes) == 0) {
        started = pthread_attr_setstacksize(&attributes, kThreadStackSize) == 0 &&
                  pthread_create(&handle->thread, &attributes, RunThread, start) == 0;
        pthread_attr_destroy(&attributes);
    }
    if (!started) {
        delete start;
        delete handle;
        return drv::kInsufficientResources;
    }
    *thread = handle;
    return drv::kSuccess;
}

void OsThreadWait(OsThread* thread) {
    if (thread == nullptr) {
        return;
    }
    pthread_join(thread->thread, nullptr);
    delete thread;
}

}  // namespace usb
