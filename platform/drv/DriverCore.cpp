#include "platform/drv/DriverCore.h"

#include <cstring>
#include <string>

namespace drv {

DriverCore& DriverCore::Instance() {
    static DriverCore* const core = new DriverCore;
    return *core;
}

Handle DriverCore::Open() {
    {
        std::lock_guard lock(mutex_);
        if (unopenable_) {
            ++refusedOpens_;
            return kNoHandle;
        }
    }
    StartBuses();
    std::lock_guard lock(mutex_);
    const Handle handle = nextHandle_++;
    openHandles_.insert(handle);
    return handle;
}

void DriverCore::Close(Handle handle) {
    std::lock_guard lock(mutex_);
    if (openHandles_.erase(handle) == 0) {
        return;
    }
    // A closed handle takes its registrations with it, as a process that ends without
    // unregistering would; their notifier waits end as stopped.
    std::erase_if(registrations_, [handle](const auto& r) { return r.second.owner == handle; });
    eventsChanged_.notify_all();
}

uint32_t DriverCore::Call(uint32_t code, Handle handle, void* record, uint32_t size) {
    {
        std::lock_guard lock(mutex_);
        if (openHandles_.count(handle) == 0) {
            return kInvalidDriverHandle;
        }
        ++requestCounts_[code];
    }
    if (record == nullptr) {
        return kInvalidParameter;
    }
    switch (code) {
        case DrvVersion:
            return Version(record, size);
        case DrvDebugAdd:
            return DebugAdd(record, size);
        case DrvEventRegister:
            return EventRegister(handle, record, size);
        case DrvEventUnregister:
            return EventUnregister(record, size);
        case DrvNotifierEnable:
            return NotifierEnable(record, size);
        case DrvNotifierWait:
            return NotifierWait(record, size);
        case DrvNotifierDisable:
            return NotifierDisable(record, size);
        case DrvEventPull:
            return EventPull(record, size);
        case DrvEventSend:
            return EventSend(record, size);
        case DrvGetDeviceData:
            return GetDeviceData(record, size);
        case DrvSetInterface:
            return SetInterface(record, size);
        case DrvTransfer:
            return Transfer(record, size);
        default:
            return kInvalidIoctl;
    }
}

uint32_t DriverCore::Version(void* record, uint32_t size) {
    if (size < sizeof(VersionRecord)) {
        return kInvalidParameter;
    }
    auto* version = static_cast<VersionRecord*>(record);
    std::memset(version, 0, sizeof(VersionRecord));
    {
        std::lock_guard lock(mutex_);
        version->version = reportedVersion_;
    }
    std::strncpy(version->text, "Ostrel USB driver stand-in", sizeof(version->text) - 1);
    return kSuccess;
}

uint32_t DriverCore::DebugAdd(void* record, uint32_t size) {
    if (size < sizeof(DebugAddRecord)) {
        return kInvalidParameter;
    }
    const auto* line = static_cast<const DebugAddRecord*>(record);
    // The text need not be terminated: never read past its 256 bytes.
    debugLog_.Add(std::string(line->text, strnlen(line->text, sizeof(line->text))));
    return kSuccess;
}

// ---- Buses ----

void DriverCore::StartBuses() {
    std::lock_guard lock(busMutex_);
    if (busesStarted_) {
        return;
    }
    busesStarted_ = true;
    virtualBus_.Start(*this);
    for (auto& bus : buses_) {
        bus->Start(*this);
    }
}

void DriverCore::AddBus(std::unique_ptr<Bus> bus) {
    std::lock_guard lock(busMutex_);
    if (busesStarted_) {
        bus->Start(*this);
    }
    buses_.push_back(std::move(bus));
}

// ---- Test seams ----

void DriverCore::SetReportedVersion(uint32_t version) {
    std::lock_guard lock(mutex_);
    reportedVersion_ = version;
}

void DriverCore::SetUnopenable(bool unopenable) {
    std::lock_guard lock(mutex_);
    unopenable_ = unopenable;
}

std::vector<Acknowledgement> DriverCore::Acknowledgements() const {
    std::lock_guard lock(mutex_);
    return {acknowledgements_.begin(), acknowledgements_.end()};
}

void DriverCore::ClearAcknowledgements() {
    std::lock_guard lock(mutex_);
    acknowledgements_.clear();
}

uint64_t DriverCore::RequestCount(uint32_t code) const {
    std::lock_guard lock(mutex_);
    auto found = requestCounts_.find(code);
    return found == requestCounts_.end() ? 0 : found->second;
}

uint64_t DriverCore::RefusedOpens() const {
    std::lock_guard lock(mutex_);
    return refusedOpens_;
}

size_t DriverCore::RegistrationCount() const {
    std::lock_guard lock(mutex_);
    return registrations_.size();
}

std::vector<uint32_t> DriverCore::DeviceIds() const {
    std::lock_guard lock(mutex_);
    std::vector<uint32_t> ids;
    for (const auto& entry : devices_) {
        ids.push_back(entry.dwUniqueID);
    }
    return ids;
}

bool DriverCore::ControlAccepted(uint32_t dwUniqueID) const {
    std::lock_guard lock(mutex_);
    for (const auto& entry : devices_) {
        if (entry.dwUniqueID == dwUniqueID) {
            return entry.controlAccepted;
        }
    }
    return false;
}

// ---- The free functions of Drv.h and Bus.h ----

Handle DrvOpen() {
    return DriverCore::Instance().Open();
}

void DrvClose(Handle handle) {
    DriverCore::Instance().Close(handle);
}

uint32_t DrvCall(uint32_t code, Handle handle, void* record, uint32_t size, bool fresh) {
    DriverCore& core = DriverCore::Instance();
    if (fresh) {
        handle = core.Open();
    }
    if (handle == kNoHandle) {
        return kInvalidDriverHandle;
    }
    const uint32_t status = core.Call(code, handle, record, size);
    if (fresh) {
        core.Close(handle);
    }
    return status;
}

void SetReportedVersion(uint32_t version) {
    DriverCore::Instance().SetReportedVersion(version);
}

void SetUnopenable(bool unopenable) {
    DriverCore::Instance().SetUnopenable(unopenable);
}

std::vector<std::string> DebugLog() {
    return DriverCore::Instance().Log().Lines();
}

void ClearDebugLog() {
    DriverCore::Instance().Log().Clear();
}

void AddBus(std::unique_ptr<Bus> bus) {
    DriverCore::Instance().AddBus(std::move(bus));
}

}  // namespace drv
