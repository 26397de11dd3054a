// The event side of the driver core: registrations, notifier waits, pulling and
// acknowledging events, and the devices that arrive and leave.
#include <algorithm>
#include <cstring>

#include "platform/drv/DriverCore.h"

namespace drv {

bool DriverCore::Matches(const Registration& registration, uint16_t vendorId, uint16_t productId) {
    return std::any_of(registration.matches.begin(), registration.matches.end(),
                       [&](const MatchRecord& m) {
                           return (m.vendorId == 0 || m.vendorId == vendorId) &&
                                  (m.productId == 0 || m.productId == productId);
                       });
}

DriverCore::Registration* DriverCore::FindRegistration(uint32_t handle) {
    auto found = registrations_.find(handle);
    return found == registrations_.end() ? nullptr : &found->second;
}

void DriverCore::Queue(const DeviceEntry& entry, uint32_t action) {
    const PendingEvent event{action,
                             entry.dwUniqueID,
                             entry.vendorId,
                             entry.productId,
                             entry.interface.number,
                             entry.interface.alternates[entry.activeIndex].interfaceDescriptor[3]};
    for (auto& [handle, registration] : registrations_) {
        const bool wanted = action == 0 || (registration.mask & action) != 0;
        if (wanted && Matches(registration, entry.vendorId, entry.productId)) {
            registration.pending.push_back(event);
        }
    }
    eventsChanged_.notify_all();
}

uint32_t DriverCore::EventRegister(Handle handle, void* record, uint32_t size) {
    if (size < sizeof(EventRecord)) {
        return kInvalidParameter;
    }
    auto* event = static_cast<EventRecord*>(record);
    if (event->version != kEventRecordVersion || event->matchCount == 0 ||
        size < EventRecordSize(event->matchCount)) {
        return kInvalidParameter;
    }
    const MatchRecord* matches = MatchesOf(event);
    std::lock_guard lock(mutex_);
    const uint32_t id = nextRegistration_++;
    Registration& registration = registrations_[id];
    registration.owner = handle;
    registration.mask = event->action;
    registration.options = event->options;
    registration.busType = event->busType;
    registration.matches.assign(matches, matches + event->matchCount);
    // Devices already present are reported to a new registration as attached.
    if ((registration.mask & kActionAttach) != 0) {
        for (const auto& entry : devices_) {
            if (Matches(registration, entry.vendorId, entry.productId)) {
                registration.pending.push_back(PendingEvent{
                    kActionAttach, entry.dwUniqueID, entry.vendorId, entry.productId,
                    entry.interface.number,
                    entry.interface.alternates[entry.activeIndex].interfaceDescriptor[3]});
            }
        }
    }
    event->handle = id;
    return kSuccess;
}

uint32_t DriverCore::EventUnregister(void* record, uint32_t size) {
    if (size < sizeof(EventRecord)) {
        return kInvalidParameter;
    }
    const auto* event = static_cast<const EventRecord*>(record);
    std::lock_guard lock(mutex_);
    if (registrations_.erase(event->handle) == 0) {
        return kInvalidHandle;
    }
    eventsChanged_.notify_all();
    return kSuccess;
}

uint32_t DriverCore::NotifierEnable(void* record, uint32_t size) {
    return SetNotifierEnabled(record, size, true);
}

uint32_t DriverCore::NotifierDisable(void* record, uint32_t size) {
    return SetNotifierEnabled(record, size, false);
}

uint32_t DriverCore::SetNotifierEnabled(void* record, uint32_t size, bool enabled) {
    if (size < sizeof(NotifierRecord)) {
        return kInvalidParameter;
    }
    auto* notifier = static_cast<NotifierRecord*>(record);
    std::lock_guard lock(mutex_);
    Registration* registration = FindRegistration(notifier->handle);
    if (registration == nullptr) {
        return kInvalidHandle;
    }
    // A disable is sticky until the next enable: a wait that starts after it ends at once.
    registration->notifierEnabled = enabled;
    registration->notifierStopped = !enabled;
    if (!enabled) {
        eventsChanged_.notify_all();
    }
    return kSuccess;
}

uint32_t DriverCore::NotifierWait(void* record, uint32_t size) {
    if (size < sizeof(NotifierRecord)) {
        return kInvalidParameter;
    }
    auto* notifier = static_cast<NotifierRecord*>(record);
    std::unique_lock lock(mutex_);
    const uint64_t generation = wakeGeneration_;
    // A registration that is gone, or whose notifier is not enabled, counts as stopped:
    // the waiting thread has nothing more to wait for.
    eventsChanged_.wait(lock, [&] {
        const Registration* r = FindRegistration(notifier->handle);
        return r == nullptr || !r->notifierEnabled || r->notifierStopped || !r->pending.empty() ||
               wakeGeneration_ != generation;
    });
    const Registration* registration = FindRegistration(notifier->handle);
    if (registration == nullptr || !registration->notifierEnabled ||
        registration->notifierStopped) {
        notifier->state = kNotifierStopped;
        notifier->pendingEvents = 0;
    } else if (!registration->pending.empty()) {
        notifier->state = kNotifierEventPending;
        notifier->pendingEvents = static_cast<uint32_t>(registration->pending.size());
    } else {
        notifier->state = kNotifierWokenWithoutEvent;
        notifier->pendingEvents = 0;
    }
    return kSuccess;
}

uint32_t DriverCore::EventPull(void* record, uint32_t size) {
    if (size < sizeof(EventRecord)) {
        return kInvalidParameter;
    }
    auto* event = static_cast<EventRecord*>(record);
    std::lock_guard lock(mutex_);
    Registration* registration = FindRegistration(event->handle);
    if (registration == nullptr) {
        return kInvalidHandle;
    }
    event->options = registration->options;
    event->busType = registration->busType;
    if (registration->pending.empty()) {
        event->action = 0;
        event->dwUniqueID = 0;
        return kSuccess;
    }
    const PendingEvent pending = registration->pending.front();
    registration->pending.pop_front();
    event->action = pending.action;
    event->dwUniqueID = pending.dwUniqueID;
    event->vendorId = pending.vendorId;
    event->productId = pending.productId;
    event->interfaceNumber = pending.interfaceNumber;
    event->alternateSetting = pending.alternateSetting;
    return kSuccess;
}

uint32_t DriverCore::EventSend(void* record, uint32_t size) {
    if (size < sizeof(EventRecord)) {
        return kInvalidParameter;
    }
    const auto* event = static_cast<const EventRecord*>(record);
    std::lock_guard lock(mutex_);
    if (FindRegistration(event->handle) == nullptr) {
        return kInvalidHandle;
    }
    if (acknowledgements_.size() == kAcknowledgementsKept) {
        acknowledgements_.pop_front();
    }
    acknowledgements_.push_back(
        Acknowledgement{event->handle, event->action, event->dwUniqueID, event->options});
    if (event->action == kActionAttach) {
        if (DeviceEntry* entry = FindDevice(event->dwUniqueID)) {
            entry->controlAccepted = (event->options & kOptionAcceptControl) != 0;
        }
    }
    return kSuccess;
}

// ---- Devices arriving and leaving ----

void DriverCore::Arrived(const std::shared_ptr<BusDevice>& device) {
    // Descriptors are read without the lock: a device may take its time to answer.
    const std::vector<uint8_t> deviceDescriptor = device->DeviceDescriptor();
    const std::vector<uint8_t> configuration = device->ConfigurationDescriptor();
    const auto interfaces = ParseConfiguration(configuration);
    if (deviceDescriptor.size() < 18 || deviceDescriptor[1] != 1 || !interfaces) {
        debugLog_.Add("drv: a device with unreadable descriptors was ignored");
        return;
    }
    std::lock_guard lock(mutex_);
    if (std::any_of(devices_.begin(), devices_.end(),
                    [&](const DeviceEntry& e) { return e.device == device; })) {
        return;
    }
    for (const InterfaceLayout& interface : *interfaces) {
        DeviceEntry entry;
        entry.device = device;
        entry.dwUniqueID = nextUniqueId_++;
        std::copy_n(deviceDescriptor.begin(), 18, entry.deviceDescriptor.begin());
        entry.vendorId = static_cast<uint16_t>(deviceDescriptor[8] | (deviceDescriptor[9] << 8));
        entry.productId = static_cast<uint16_t>(deviceDescriptor[10] | (deviceDescriptor[11] << 8));
        entry.interface = interface;
        // A device starts in alternate setting 0 of each interface (USB 2.0, 9.1.1.5).
        entry.activeIndex = interface.IndexOf(0).value_or(0);
        devices_.push_back(std::move(entry));
        Queue(devices_.back(), kActionAttach);
    }
}

void DriverCore::Left(const std::shared_ptr<BusDevice>& device) {
    std::lock_guard lock(mutex_);
    for (const auto& entry : devices_) {
        if (entry.device == device) {
            Queue(entry, kActionDetach);
        }
    }
    std::erase_if(devices_, [&](const DeviceEntry& e) { return e.device == device; });
}

void DriverCore::InjectEvent(uint32_t dwUniqueID, uint32_t action) {
    std::lock_guard lock(mutex_);
    if (const DeviceEntry* entry = FindDevice(dwUniqueID)) {
        Queue(*entry, action);
    } else if (action == 0) {
        for (auto& [handle, registration] : registrations_) {
            registration.pending.push_back(PendingEvent{0, 0, 0, 0, 0, 0});
        }
        eventsChanged_.notify_all();
    }
}

void DriverCore::WakeNotifiers() {
    std::lock_guard lock(mutex_);
    ++wakeGeneration_;
    eventsChanged_.notify_all();
}

}  // namespace drv
