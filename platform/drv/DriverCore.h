#pragma once
// The process-wide driver core behind DrvCall: open handles, event registrations with
// their notifier waits and pending events, and the attached devices (one entry per
// interface, named by its dwUniqueID). Devices come from the bus backends; the core
// always has the virtual bus.
//
// One lock guards the core's state. It is never held while the core calls into a bus
// or a device, so transfers may block up to their time-out without stopping events.
#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "platform/drv/Bus.h"
#include "platform/drv/ConfigurationParser.h"
#include "platform/drv/Drv.h"
#include "platform/drv/Records.h"
#include "platform/drv/TraceLog.h"
#include "platform/drv/VirtualBus.h"

namespace drv {

// The version the stand-in reports unless a test asks for another.
constexpr uint32_t kStandInVersion = 700;

// An event sent back with DrvEventSend, as the core received it.
struct Acknowledgement {
    uint32_t registration;
    uint32_t action;
    uint32_t dwUniqueID;
    uint32_t options;
};

class DriverCore final : public BusListener {
  public:
    // The one core of the process. It is never destroyed: bus threads and notifier
    // waits may still be running while the process ends.
    static DriverCore& Instance();

    Handle Open();
    void Close(Handle handle);
    // One request on an open handle (see Drv.h).
    uint32_t Call(uint32_t code, Handle handle, void* record, uint32_t size);

    void AddBus(std::unique_ptr<Bus> bus);
    VirtualBus& Virtual() { return virtualBus_; }

    void Arrived(const std::shared_ptr<BusDevice>& device) override;
    void Left(const std::shared_ptr<BusDevice>& device) override;

    // ---- Test seams ----
    void SetReportedVersion(uint32_t version);
    void SetUnopenable(bool unopenable);
    TraceLog& Log() { return debugLog_; }
    std::vector<Acknowledgement> Acknowledgements() const;
    void ClearAcknowledgements();
    // Whether the program took control of this device interface (flag 2 sent back).
    bool ControlAccepted(uint32_t dwUniqueID) const;
    // Queues `action` about a present device for every registration that asks for it.
    // Action 0 reaches every registration, to wake notifiers with an empty event.
    void InjectEvent(uint32_t dwUniqueID, uint32_t action);
    // Wakes every blocked notifier wait without an event (state 2).
    void WakeNotifiers();
    // Requests that reached the core, by code; opens refused while unopenable.
    uint64_t RequestCount(uint32_t code) const;
    uint64_t RefusedOpens() const;
    size_t RegistrationCount() const;
    // The dwUniqueIDs of the present interfaces, in the order they arrived.
    std::vector<uint32_t> DeviceIds() const;

  private:
    struct PendingEvent {
        uint32_t action;
        uint32_t dwUniqueID;
        uint16_t vendorId;
        uint16_t productId;
        uint8_t interfaceNumber;
        uint8_t alternateSetting;
    };

    struct Registration {
        Handle owner;
        uint32_t mask;
        uint32_t options;
        uint32_t busType;
        std::vector<MatchRecord> matches;
        std::deque<PendingEvent> pending;
        bool notifierEnabled = false;
        bool notifierStopped = false;
    };

    struct DeviceEntry {
        std::shared_ptr<BusDevice> device;
        uint32_t dwUniqueID;
        uint16_t vendorId;
        uint16_t productId;
        std::array<uint8_t, 18> deviceDescriptor;
        InterfaceLayout interface;
        size_t activeIndex = 0;  // index into interface.alternates
        bool controlAccepted = false;
    };

    DriverCore() = default;
    void StartBuses();

    // Request handlers; the ones marked "locks" take the core lock themselves.
    uint32_t Version(void* record, uint32_t size);
    uint32_t DebugAdd(void* record, uint32_t size);
    uint32_t EventRegister(Handle handle, void* record, uint32_t size);
    uint32_t EventUnregister(void* record, uint32_t size);
    uint32_t NotifierEnable(void* record, uint32_t size);
    uint32_t NotifierWait(void* record, uint32_t size);
    uint32_t NotifierDisable(void* record, uint32_t size);
    uint32_t SetNotifierEnabled(void* record, uint32_t size, bool enabled);  // locks
    uint32_t EventPull(void* record, uint32_t size);
    uint32_t EventSend(void* record, uint32_t size);
    uint32_t GetDeviceData(void* record, uint32_t size);
    uint32_t SetInterface(void* record, uint32_t size);
    uint32_t Transfer(void* record, uint32_t size);

    // With the lock held.
    static bool Matches(const Registration& registration, uint16_t vendorId, uint16_t productId);
    void Queue(const DeviceEntry& entry, uint32_t action);
    Registration* FindRegistration(uint32_t handle);
    DeviceEntry* FindDevice(uint32_t dwUniqueID);

    VirtualBus virtualBus_;
    TraceLog debugLog_;

    std::mutex busMutex_;  // taken before mutex_, never while mutex_ is held
    std::vector<std::unique_ptr<Bus>> buses_;
    bool busesStarted_ = false;

    mutable std::mutex mutex_;
    std::condition_variable eventsChanged_;
    std::set<Handle> openHandles_;
    Handle nextHandle_ = 1;
    std::map<uint32_t, Registration> registrations_;
    uint32_t nextRegistration_ = 1;
    std::vector<DeviceEntry> devices_;  // in arrival order
    uint32_t nextUniqueId_ = 0x100;
    uint64_t wakeGeneration_ = 0;
    uint32_t reportedVersion_ = kStandInVersion;
    bool unopenable_ = false;
    std::map<uint32_t, uint64_t> requestCounts_;
    uint64_t refusedOpens_ = 0;
    std::deque<Acknowledgement> acknowledgements_;  // the last kAcknowledgementsKept
    static constexpr size_t kAcknowledgementsKept = 1000;
};

}  // namespace drv
