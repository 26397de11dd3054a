#pragma once
// The kernel driver stand-in: one request at a time through DrvCall, over a
// process-wide driver core that keeps registrations, pending events and devices.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/drv/DrvStatus.h"

namespace drv {

// An open handle to the driver; kNoHandle marks a failed open.
using Handle = intptr_t;
constexpr Handle kNoHandle = -1;

enum Request : uint32_t {
    DrvVersion = 0x95382443,
    DrvDebugAdd = 0x95382593,
    DrvEventRegister = 0x9538264f,
    DrvEventUnregister = 0x9538261f,
    DrvNotifierEnable = 0x9538263b,
    DrvNotifierWait = 0x9538252f,
    DrvNotifierDisable = 0x9538247f,
    DrvEventPull = 0x95382623,
    DrvEventSend = 0x95382627,
    DrvGetDeviceData = 0x95382603,
    DrvSetInterface = 0x95382607,
    DrvTransfer = 0x9538260f,
};

// The lowest driver version the USB library accepts.
constexpr uint32_t kMinimumVersion = 623;

// Opens the driver device; kNoHandle when the driver is not there.
Handle DrvOpen();
void DrvClose(Handle handle);

// Sends one request. With `fresh` set, a handle is opened for this request and closed
// after it; otherwise `handle` is used. A failed open (handle -1) gives 0xFFFFFFFF.
uint32_t DrvCall(uint32_t code, Handle handle, void* record, uint32_t size, bool fresh);

// ---- Records of the requests that callers above the USB library fill themselves ----

struct VersionRecord {  // DrvVersion, 132 bytes
    uint32_t version;
    char text[128];
};
static_assert(sizeof(VersionRecord) == 132);

struct DebugAddRecord {  // DrvDebugAdd, 264 bytes
    char text[256];
    uint32_t level;
    uint32_t section;
};
static_assert(sizeof(DebugAddRecord) == 264);

// ---- Test seams (never used by the shipped programs) ----

// The version DrvVersion reports (default: kMinimumVersion or later).
void SetReportedVersion(uint32_t version);
// Makes every open of the driver fail, as when it is not installed.
void SetUnopenable(bool unopenable);
// The trace lines received through DrvDebugAdd, oldest first (bounded).
std::vector<std::string> DebugLog();
void ClearDebugLog();

}  // namespace drv
