#pragma once
// The USB device access library: driver contexts with a notifier thread that reports
// attach and detach events, the process-wide device list, and per-device operations.
// Every operation reports failure as a status code (texts: StatusText) and shows nothing.
#include <cstdint>

namespace usb {

#pragma pack(push, 1)
// Standard USB descriptors, byte for byte as on the wire.
struct DeviceDescriptor {
    uint8_t bLength;
    uint8_t bDescriptorType;
    uint16_t bcdUSB;
    uint8_t bDeviceClass;
    uint8_t bDeviceSubClass;
    uint8_t bDeviceProtocol;
    uint8_t bMaxPacketSize0;
    uint16_t idVendor;
    uint16_t idProduct;
    uint16_t bcdDevice;
    uint8_t iManufacturer;
    uint8_t iProduct;
    uint8_t iSerialNumber;
    uint8_t bNumConfigurations;
};
static_assert(sizeof(DeviceDescriptor) == 18);

struct InterfaceDescriptor {
    uint8_t bLength;
    uint8_t bDescriptorType;
    uint8_t bInterfaceNumber;
    uint8_t bAlternateSetting;
    uint8_t bNumEndpoints;
    uint8_t bInterfaceClass;
    uint8_t bInterfaceSubClass;
    uint8_t bInterfaceProtocol;
    uint8_t iInterface;
};
static_assert(sizeof(InterfaceDescriptor) == 9);

struct EndpointDescriptor {
    uint8_t bLength;
    uint8_t bDescriptorType;
    uint8_t bEndpointAddress;
    uint8_t bmAttributes;
    uint16_t wMaxPacketSize;
    uint8_t bInterval;
};
static_assert(sizeof(EndpointDescriptor) == 7);
#pragma pack(pop)

// One alternate setting: its interface descriptor first, then its endpoints.
struct AlternateSetting {
    InterfaceDescriptor descriptor;
    uint32_t endpointCount;
    EndpointDescriptor* endpoints;
};

struct InterfaceInfo {
    uint32_t alternateSettingCount;
    AlternateSetting* alternateSettings;
    AlternateSetting* activeAlternateSetting;  // points into alternateSettings
};

// The driver's information block about one attached device (interface). One
// self-contained allocation: every pointer inside points into the same block.
struct DeviceInfo {
    DeviceDescriptor deviceDescriptor;  // at the start of the block
    uint32_t activeInterfaceCount;
    InterfaceInfo* activeInterfaces;  // [0] is the first active interface
};

struct DriverContext;
struct DeviceContext;

// The value of a driver handle that names no driver context.
inline DriverContext* const kNoDriverContext =
    reinterpret_cast<DriverContext*>(~static_cast<uintptr_t>(0));

using AttachCallback = int (*)(DeviceContext* device, DeviceInfo* info, void* context);
using DetachCallback = void (*)(DeviceContext* device, void* context);
using PowerCallback = int (*)(DeviceContext* device, uint32_t powerEvent, void* context);

struct EventTable {
    AttachCallback attach;  // returns bControlDevice: non-zero takes the device
    DetachCallback detach;
    PowerCallback power;
    void* context;
};

struct MatchEntry {
    uint16_t vendorId;
    uint16_t productId;
    uint8_t further[6];
};

// Event options.
constexpr uint32_t kAcknowledge = 1;   // every pulled event is sent back to the driver
constexpr uint32_t kAcceptControl = 2;  // added to an attach event the program took

uint32_t WDU_Init(DriverContext** handle, const MatchEntry* table, uint32_t entries,
                  const EventTable* events, uint32_t options);
void WDU_Uninit(DriverContext* handle);

uint32_t WDU_GetDeviceInfo(DeviceContext* device, DeviceInfo** info);
void WDU_ReleaseDeviceInfo(DeviceInfo* info);

uint32_t WDU_SetInterface(DeviceContext* device, uint32_t interfaceNumber,
                          uint32_t alternateSetting);
uint32_t WDU_PipeTransfer(DeviceContext* device, uint32_t pipe, uint32_t read, uint32_t options,
                          void* buffer, uint32_t length, uint32_t* bytesDone,
                          const uint8_t* setup, uint32_t timeoutMs);
uint32_t WDU_ControlTransfer(DeviceContext* device, uint32_t read, uint32_t options,
                             void* buffer, uint32_t length, uint32_t* bytesDone,
                             const uint8_t* setup, uint32_t timeoutMs);

}  // namespace usb
