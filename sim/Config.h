#pragma once
// How a virtual projector is built: its USB identity, what it reports about itself,
// its flash chip and the pace of its restarts.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "sim/Flash.h"

namespace sim {

enum class Mode {
    Application,  // normal operation: serial-number string index 0, status word 8
    Bootloader,   // flashing personality: serial-number string index 3, status word 0x8000
};

const char* ModeName(Mode mode);

// The interfaces of the one configuration, in the order they stand in the
// configuration descriptor (which is the order of the attach events).
enum class InterfaceLayout {
    Interface0,       // only interface 0, with bulk OUT 0x01 and bulk IN 0x81
    Interface0Then1,  // interface 0, then interface 1 (no endpoints)
    Interface1Then0,  // interface 1 first, then interface 0
};

inline constexpr uint16_t kVendorId = 0x1501;
inline constexpr uint16_t kModel7616 = 0x7616;

struct Identity {
    uint16_t vendorId = kVendorId;
    uint16_t productId = 0x5010;
    // The product id in bootloader mode; none keeps productId in both modes.
    std::optional<uint16_t> bootloaderProductId;
    std::string manufacturer = "Virtual Optics";
    std::string product = "Virtual Projector";
    std::string serial = "SIM-000001";
    InterfaceLayout applicationLayout = InterfaceLayout::Interface0;
    InterfaceLayout bootloaderLayout = InterfaceLayout::Interface0;
};

// What the application reports through its identity queries.
struct Information {
    std::array<uint8_t, 4> release = {7, 3, 1, 2};  // year - 2000, month, day, revision
    std::array<uint8_t, 4> configuration = {1, 2, 3, 0};
    // The device answers the configuration query and the version's second query from
    // the same parameter, so version[1] always reads as configuration[0]; the value
    // given here is not used.
    std::array<uint8_t, 4> version = {2, 1, 0, 7};
    uint32_t unitLife = 125;            // minutes
    uint32_t logoAddress = 0xFE380000;  // processor address
    uint16_t width = 1024;
    uint16_t height = 768;
};

struct FlashSetup {
    uint16_t chip = kChip2MbBoot;  // one of the three supported codes
    uint16_t firstWord = 0x0001;   // the first identification word
    FlashFill fill = FlashFill::OldFirmware;
};

// All in clock milliseconds (platform/clock).
struct Timing {
    // From the moment the acknowledgement of EnterBootloader has been read (or
    // ExitBootloader has arrived) to leaving the bus.
    uint32_t leaveDelayMs = 20;
    // Longest wait for the host to read the EnterBootloader acknowledgement; the
    // device restarts anyway afterwards.
    uint32_t acknowledgeGraceMs = 500;
    // Time off the bus while restarting into the other mode.
    uint32_t restartMs = 1500;
    // How long the status word reads 0 (busy) after a checksum run starts.
    uint32_t checksumBusyMs = 0;
};

struct ProjectorConfig {
    Identity identity;
    Information information;
    FlashSetup flash;
    Timing timing;
    Mode startMode = Mode::Application;
};

}  // namespace sim
