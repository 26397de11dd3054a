#pragma once
// Events, mutexes and threads for the USB library and the USB connection.
#include <cstdint>

namespace usb {

struct OsEvent;
struct OsMutex;
struct OsThread;

uint32_t OsEventCreate(OsEvent** event);  // auto-reset, initially not signalled
uint32_t OsEventSignal(OsEvent* event);
uint32_t OsEventWait(OsEvent* event, int32_t seconds);  // -1 waits without limit
void OsEventClose(OsEvent* event);

uint32_t OsMutexCreate(OsMutex** mutex);
uint32_t OsMutexLock(OsMutex* mutex);
uint32_t OsMutexUnlock(OsMutex* mutex);
void OsMutexClose(OsMutex* mutex);

uint32_t OsThreadStart(OsThread** thread, void (*function)(void*), void* argument);
void OsThreadWait(OsThread* thread);

}  // namespace usb
