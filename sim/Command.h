#pragma once
// The commands the projector understands, recognised from a packet's payload.
#include <cstdint>
#include <span>
#include <string>

namespace sim {

enum class Command : uint8_t {
    ReadStatus,         // 34 00 02
    EnterBootloader,    // 34 30 01
    ExitBootloader,     // 34 30 02
    ReadFlashType,      // 34 03 0A 00 15 0C (first word) or 0D (second word)
    ReadFlashChecksum,  // 34 03 0A 00 15 00: the result of the last checksum run
    ReadFlashRegister,  // 34 03 0A 00 15 xx, any other register: reads 0
    StartChecksum,      // 34 26 01
    SetAddress,         // 34 29 a0 a1 a2
    SetSize,            // 34 2C s0 s1 s2
    EraseSector,        // 34 28 01: erases the sector holding the address
    WriteFlashBlock,    // 34 25 data...
    ReadReleaseDate,    // 34 05 02 02 71
    ReadConfig,         // 34 05 02 02 6B
    ReadVersion,        // 34 05 02 02 6A / 6B / 6C / 6D (6B is answered as ReadConfig)
    ReadUnitLife,       // 34 05 02 02 66
    ReadLogoAddress,    // 34 05 02 02 90
    ReadResolution,     // 34 02 04 06 4E
    Unknown,            // well framed, but not a command of this device
    Malformed,          // failed the framing check
};

const char* CommandName(Command command);

// True for the commands that the application answers; the bootloader answers the
// flash commands instead, and both answer ReadStatus and the mode switches.
bool IsApplicationCommand(Command command);
bool IsBootloaderCommand(Command command);

struct DecodedCommand {
    Command command = Command::Unknown;
    uint8_t parameter = 0;          // the register or parameter number of a query
    uint32_t value = 0;             // the 24-bit address or size
    std::span<const uint8_t> data;  // the bytes of a block (a view into the payload)
};

// Recognises a payload (starting with 0x34). Anything that does not match a command
// exactly, length included, is Unknown.
DecodedCommand DecodeCommand(std::span<const uint8_t> payload);

// A short human-readable description: "SetAddress 0x004000", "WriteFlashBlock 56 bytes".
std::string DescribeCommand(const DecodedCommand& decoded);

}  // namespace sim
