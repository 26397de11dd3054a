#pragma once
// Layouts of the driver records the USB library fills: event registration and events,
// notifier waits, device data, interface selection and transfers. Fields are 32 bits
// wide unless they carry a buffer address, a USB identifier or the setup packet.
#include <cstddef>
#include <cstdint>

namespace drv {

// The bus type the USB library registers with: every bus.
constexpr uint32_t kBusTypeAny = 0xFFFFFFFE;
constexpr uint32_t kEventRecordVersion = 1;

// Event actions: one bit each, so that a registration's mask can name several.
constexpr uint32_t kActionAttach = 1;
constexpr uint32_t kActionDetach = 2;
constexpr uint32_t kActionPowerEvents = 0x3FF0;  // the ten power events 16 .. 8192

// Event options.
constexpr uint32_t kOptionAcknowledge = 1;    // the program sends every pulled event back
constexpr uint32_t kOptionAcceptControl = 2;  // the program took the device of an attach

// What a notifier wait found.
enum NotifierState : uint32_t {
    kNotifierIdle = 0,
    kNotifierStopped = 1,
    kNotifierWokenWithoutEvent = 2,
    kNotifierEventPending = 3,
};

#pragma pack(push, 1)
// One entry of a registration's match table. A vendor or product id of 0 matches any
// id, so the all-zero entry matches every device. The six further bytes are kept for
// the layout and not compared: every table built in this system has them zero.
struct MatchRecord {
    uint16_t vendorId;
    uint16_t productId;
    uint8_t further[6];
};
static_assert(sizeof(MatchRecord) == 10);

// The fixed 58-byte part of an event record; `matchCount` match entries follow it
// directly (see MatchesOf). A pulled event also names the device's ids and interface.
struct EventRecord {
    uint32_t handle;   // given at registration, passed back on every later request
    uint32_t action;   // registration: mask of wanted actions; pull: the one action
    uint32_t status;   // reserved, 0
    uint32_t busType;  // kBusTypeAny
    uint32_t options;
    uint32_t dwUniqueID;
    uint16_t vendorId;
    uint16_t productId;
    uint8_t interfaceNumber;
    uint8_t alternateSetting;
    uint8_t reserved[20];
    uint32_t version;  // kEventRecordVersion
    uint32_t matchCount;
};
static_assert(sizeof(EventRecord) == 58);

// The record used to pull events and to unregister: one match entry.
struct OneEntryEventRecord {
    EventRecord event;
    MatchRecord match;
};
static_assert(sizeof(OneEntryEventRecord) == 68);
#pragma pack(pop)

constexpr uint32_t EventRecordSize(uint32_t entries) {
    return static_cast<uint32_t>(sizeof(EventRecord) + sizeof(MatchRecord) * entries);
}

// The match entries that follow an event record (packed: any address is aligned).
inline MatchRecord* MatchesOf(EventRecord* record) {
    return reinterpret_cast<MatchRecord*>(reinterpret_cast<uint8_t*>(record) + sizeof(EventRecord));
}
inline const MatchRecord* MatchesOf(const EventRecord* record) {
    return reinterpret_cast<const MatchRecord*>(reinterpret_cast<const uint8_t*>(record) +
                                                sizeof(EventRecord));
}

// DrvNotifierEnable / DrvNotifierWait / DrvNotifierDisable, 48 bytes.
struct NotifierRecord {
    uint32_t handle;         // the registration's event handle
    uint32_t state;          // NotifierState, written by a wait
    uint32_t pendingEvents;  // events waiting to be pulled when the wait returned
    uint32_t reserved[9];
};
static_assert(sizeof(NotifierRecord) == 48);

// DrvGetDeviceData: no buffer asks for the size; a buffer receives one DeviceInfo
// block whose internal pointers point into that buffer. The buffer must be aligned
// for pointers (any malloc block is).
struct DeviceDataRecord {
    uint32_t dwUniqueID;
    uint32_t size;  // in: buffer size; out: the size the block needs
    void* buffer;
    uint32_t options;  // 0
    uint32_t reserved;
};

// DrvSetInterface.
struct SetInterfaceRecord {
    uint32_t dwUniqueID;
    uint32_t interfaceNumber;
    uint32_t alternateSetting;
    uint32_t options;  // 0
};

// DrvTransfer. bytesDone is written whatever the status.
struct TransferRecord {
    uint32_t dwUniqueID;
    uint32_t pipe;  // endpoint address, 0 = default control pipe
    uint32_t read;  // 1 = from the device
    uint32_t options;
    void* buffer;
    uint32_t length;
    uint32_t bytesDone;
    uint8_t setup[8];  // the control request, used on pipe 0
    uint32_t timeoutMs;
    uint32_t reserved;
};

}  // namespace drv
