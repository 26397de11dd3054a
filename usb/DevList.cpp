// The process-wide list of attached devices and its lock, the device list event: an
// auto-reset event used as a lock (signalled = free), taken for at most 30 seconds.
#include <atomic>
#include <cstdlib>
#include <deque>
#include <new>

#include "usb/Hooks.h"
#include "usb/Library.h"
#include "usb/StatusText.h"

namespace usb {
namespace {

using Node = LibraryState::Node;

std::atomic<bool> failNodeAllocations{false};

// Device records are not returned to the heap at once: a program may still hold the
// handle of a device that left, and a device that attaches right after (the projector
// coming back in another mode) would otherwise often get the same address, so that
// the stale handle passed the DevList check as the new device.
class RetiredDevices {
  public:
    static constexpr size_t kKept = 64;
    void Retire(DeviceContext* device) {
        std::lock_guard lock(mutex_);
        retired_.push_back(device);
        if (retired_.size() > kKept) {
            delete retired_.front();
            retired_.pop_front();
        }
    }

  private:
    std::mutex mutex_;
    std::deque<DeviceContext*> retired_;
};

RetiredDevices& Retired() {
    static RetiredDevices* const retired = new RetiredDevices;  // lives until the end
    return *retired;
}

// Runs `work` on the list with the device list event held, reporting a failed wait or
// signal through the error hook with the given texts.
template <typename Work>
uint32_t WithDevList(const char* waitError, const char* signalError, Work work) {
    OsEvent* event = Library().deviceListEvent.load();
    uint32_t status = OsEventWait(event, kDevListWaitSeconds);
    if (status != drv::kSuccess) {
        ErrorHook(waitError, status, StatusText(status));
        return status;
    }
    // The head is atomic only so that the traces may read it before taking the lock;
    // the event orders every access made under it.
    Node* head = Library().pHead.load(std::memory_order_relaxed);
    const uint32_t result = work(head);
    Library().pHead.store(head, std::memory_order_relaxed);
    status = OsEventSignal(event);
    if (status != drv::kSuccess) {
        ErrorHook(signalError, status, StatusText(status));
        return status;
    }
    return result;
}

bool Belongs(const DeviceContext* device, const DriverContext* driverContext, uint32_t dwUniqueID) {
    return device->driverContext == driverContext && device->dwUniqueID == dwUniqueID;
}

}  // namespace

LibraryState& Library() {
    static LibraryState* const state = new LibraryState;  // process-wide, never destroyed
    return *state;
}

void FreeDevice(DeviceContext* device) {
    if (device == nullptr) {
        return;
    }
    WDU_ReleaseDeviceInfo(device->deviceInfo);
    device->deviceInfo = nullptr;
    device->driverContext = nullptr;
    Retired().Retire(device);
}

uint32_t AddDeviceToDevList(DeviceContext* device) {
    TraceHook("AddDeviceToDevList device 0x%x before 0x%x\n", device,
              Library().pHead.load(std::memory_order_relaxed));
    return WithDevList(
        "AddDeviceToDevList: error waiting for device list event: dwStatus (0x%x) - %s\n",
        "AddDeviceToDevList: error signaling device list event: dwStatus (0x%x) - %s\n",
        [device](Node*& head) -> uint32_t {
            Node* node = failNodeAllocations.load() ? nullptr : new (std::nothrow) Node{};
            if (node == nullptr) {
                ErrorHook("AddDeviceToDevList: cannot alloc memory\n");
                return drv::kInsufficientResources;
            }
            node->device = device;
            node->next = head;
            head = node;
            return drv::kSuccess;
        });
}

uint32_t RemoveAllDevicesFromDevList(DriverContext* driverContext) {
    TraceHook("RemoveAllDevicesFromDevList: pDriverCtx 0x%x\n", driverContext);
    return WithDevList(
        "RemoveAllDevicesFromDevList: error waiting for device list event: dwStatus (0x%x) - "
        "%s\n",
        "RemoveAllDevicesFromDevList: error signaling device list event: dwStatus (0x%x) - "
        "%s\n",
        [driverContext](Node*& head) -> uint32_t {
            for (Node** link = &head; *link != nullptr;) {
                Node* node = *link;
                if (node->device->driverContext == driverContext) {
                    *link = node->next;
                    FreeDevice(node->device);
                    delete node;
                } else {
                    link = &node->next;
                }
            }
            return drv::kSuccess;
        });
}

uint32_t FindDeviceByUniqueID(DriverContext* driverContext, uint32_t dwUniqueID,
                              DeviceContext** device) {
    TraceHook("FindDeviceByUniqueID: DevList.pHead 0x%x, dwUniqueID 0x%x\n",
              Library().pHead.load(std::memory_order_relaxed), dwUniqueID);
    *device = nullptr;
    return WithDevList(
        "FindDeviceByUniqueID: error waiting for device list event: dwStatus (0x%x) - %s\n",
        "FindDeviceByUniqueID: error signaling device list event: dwStatus (0x%x) - %s\n",
        [&](Node*& head) -> uint32_t {
            for (Node* node = head; node != nullptr; node = node->next) {
                if (Belongs(node->device, driverContext, dwUniqueID)) {
                    *device = node->device;
                    return drv::kSuccess;
                }
            }
            return drv::kDeviceNotFound;
        });
}

uint32_t FindDeviceByCtx(DeviceContext* device, DeviceSnapshot* snapshot) {
    return WithDevList(
        "FindDeviceByCtx: error waiting for device list event: dwStatus (0x%x) - %s\n",
        "FindDeviceByCtx: error signaling device list event: dwStatus (0x%x) - %s\n",
        [&](Node*& head) -> uint32_t {
            for (Node* node = head; node != nullptr; node = node->next) {
                if (node->device == device) {
                    if (snapshot != nullptr) {
                        snapshot->driverHandle = device->driverContext->driverHandle;
                        snapshot->dwUniqueID = device->dwUniqueID;
                    }
                    return drv::kSuccess;
                }
            }
            return drv::kDeviceNotFound;
        });
}

uint32_t RemoveDeviceFromDevList(DriverContext* driverContext, uint32_t dwUniqueID,
                                 DeviceContext** device) {
    TraceHook("RemoveDeviceFromDevList: DevList 0x%x, dwUniqueID 0x%x\n",
              Library().pHead.load(std::memory_order_relaxed), dwUniqueID);
    *device = nullptr;
    return WithDevList(
        "RemoveDeviceFromDevList: error waiting for device list event: dwStatus (0x%x) - %s\n",
        "RemoveDeviceFromDevList: error signaling device list event: dwStatus (0x%x) - %s\n",
        [&](Node*& head) -> uint32_t {
            for (Node** link = &head; *link != nullptr; link = &(*link)->next) {
                Node* node = *link;
                if (Belongs(node->device, driverContext, dwUniqueID)) {
                    *link = node->next;
                    *device = node->device;
                    delete node;
                    return drv::kSuccess;
                }
            }
            return drv::kDeviceNotFound;
        });
}

uint32_t UpdateActiveSetting(DeviceContext* device, uint32_t alternateSetting) {
    return WithDevList(
        "UpdateActiveSetting: error waiting for device list event: dwStatus (0x%x) - %s\n",
        "UpdateActiveSetting: error signaling device list event: dwStatus (0x%x) - %s\n",
        [&](Node*& head) -> uint32_t {
            for (Node* node = head; node != nullptr; node = node->next) {
                if (node->device != device) {
                    continue;
                }
                DeviceInfo* info = device->deviceInfo;
                if (info == nullptr || info->activeInterfaceCount == 0) {
                    return drv::kSuccess;
                }
                InterfaceInfo& first = info->activeInterfaces[0];
                if (alternateSetting < first.alternateSettingCount) {
                    first.activeAlternateSetting = &first.alternateSettings[alternateSetting];
                }
                return drv::kSuccess;
            }
            return drv::kDeviceNotFound;
        });
}

size_t DevListSize() {
    size_t count = 0;
    WithDevList("", "", [&count](Node*& head) -> uint32_t {
        for (Node* node = head; node != nullptr; node = node->next) {
            ++count;
        }
        return drv::kSuccess;
    });
    return count;
}

void FailDevListNodeAllocations(bool fail) {
    failNodeAllocations.store(fail);
}

}  // namespace usb
