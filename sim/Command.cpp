#include "sim/Command.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

namespace sim {
namespace {

constexpr uint8_t kLead = 0x34;

// Commands with fixed payloads (after the lead byte 0x34).
struct FixedCommand {
    std::vector<uint8_t> bytes;
    Command command;
};

const std::vector<FixedCommand>& FixedCommands() {
    static const std::vector<FixedCommand> table = {
        {{0x00, 0x02}, Command::ReadStatus},
        {{0x30, 0x01}, Command::EnterBootloader},
        {{0x30, 0x02}, Command::ExitBootloader},
        {{0x26, 0x01}, Command::StartChecksum},
        {{0x28, 0x01}, Command::EraseSector},
        {{0x02, 0x04, 0x06, 0x4E}, Command::ReadResolution},
        {{0x05, 0x02, 0x02, 0x71}, Command::ReadReleaseDate},
        {{0x05, 0x02, 0x02, 0x6B}, Command::ReadConfig},
        {{0x05, 0x02, 0x02, 0x6A}, Command::ReadVersion},
        {{0x05, 0x02, 0x02, 0x6C}, Command::ReadVersion},
        {{0x05, 0x02, 0x02, 0x6D}, Command::ReadVersion},
        {{0x05, 0x02, 0x02, 0x66}, Command::ReadUnitLife},
        {{0x05, 0x02, 0x02, 0x90}, Command::ReadLogoAddress},
    };
    return table;
}

constexpr std::array<uint8_t, 4> kRegisterQuery = {0x03, 0x0A, 0x00, 0x15};

uint32_t Value24(std::span<const uint8_t> bytes) {
    return bytes[0] | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16);
}

DecodedCommand DecodeRegisterQuery(uint8_t reg) {
    DecodedCommand decoded;
    decoded.parameter = reg;
    if (reg == 0x0C || reg == 0x0D) {
        decoded.command = Command::ReadFlashType;
    } else if (reg == 0x00) {
        decoded.command = Command::ReadFlashChecksum;
    } else {
        decoded.command = Command::ReadFlashRegister;
    }
    return decoded;
}

}  // namespace

const char* CommandName(Command command) {
    switch (command) {
        case Command::ReadStatus:
            return "ReadStatus";
        case Command::EnterBootloader:
            return "EnterBootloader";
        case Command::ExitBootloader:
            return "ExitBootloader";
        case Command::ReadFlashType:
            return "ReadFlashType";
        case Command::ReadFlashChecksum:
            return "ReadFlashChecksum";
        case Command::ReadFlashRegister:
            return "ReadFlashRegister";
        case Command::StartChecksum:
            return "StartChecksum";
        case Command::SetAddress:
            return "SetAddress";
        case Command::SetSize:
            return "SetSize";
        case Command::EraseSector:
            return "EraseSector";
        case Command::WriteFlashBlock:
            return "WriteFlashBlock";
        case Command::ReadReleaseDate:
            return "ReadReleaseDate";
        case Command::ReadConfig:
            return "ReadConfig";
        case Command::ReadVersion:
            return "ReadVersion";
        case Command::ReadUnitLife:
            return "ReadUnitLife";
        case Command::ReadLogoAddress:
            return "ReadLogoAddress";
        case Command::ReadResolution:
            return "ReadResolution";
        case Command::Unknown:
            return "Unknown";
        case Command::Malformed:
            return "Malformed";
    }
    return "?";
}

bool IsApplicationCommand(Command command) {
    switch (command) {
        case Command::ReadReleaseDate:
        case Command::ReadConfig:
        case Command::ReadVersion:
        case Command::ReadUnitLife:
        case Command::ReadLogoAddress:
        case Command::ReadResolution:
            return true;
        default:
            return false;
    }
}

bool IsBootloaderCommand(Command command) {
    switch (command) {
        case Command::ReadFlashType:
        case Command::ReadFlashChecksum:
        case Command::ReadFlashRegister:
        case Command::StartChecksum:
        case Command::SetAddress:
        case Command::SetSize:
        case Command::EraseSector:
        case Command::WriteFlashBlock:
            return true;
        default:
            return false;
    }
}

DecodedCommand DecodeCommand(std::span<const uint8_t> payload) {
    DecodedCommand decoded;
    if (payload.size() < 2 || payload[0] != kLead) {
        return decoded;
    }
    const auto body = payload.subspan(1);
    for (const auto& fixed : FixedCommands()) {
        if (std::ranges::equal(body, fixed.bytes)) {
            decoded.command = fixed.command;
            decoded.parameter = fixed.bytes.back();
            return decoded;
        }
    }
    const uint8_t op = body[0];
    if ((op == 0x29 || op == 0x2C) && body.size() == 4) {
        decoded.command = op == 0x29 ? Command::SetAddress : Command::SetSize;
        decoded.value = Value24(body.subspan(1));
        return decoded;
    }
    if (op == 0x25) {
        decoded.command = Command::WriteFlashBlock;
        decoded.data = body.subspan(1);
        return decoded;
    }
    if (body.size() == kRegisterQuery.size() + 1 &&
        std::ranges::equal(body.first(kRegisterQuery.size()), kRegisterQuery)) {
        return DecodeRegisterQuery(body.back());
    }
    return decoded;
}

std::string DescribeCommand(const DecodedCommand& decoded) {
    char text[64];
    const char* name = CommandName(decoded.command);
    switch (decoded.command) {
        case Command::SetAddress:
            std::snprintf(text, sizeof text, "%s 0x%06X", name, decoded.value);
            break;
        case Command::SetSize:
            std::snprintf(text, sizeof text, "%s 0x%06X", name, decoded.value);
            break;
        case Command::WriteFlashBlock:
            std::snprintf(text, sizeof text, "%s %zu bytes", name, decoded.data.size());
            break;
        case Command::ReadFlashType:
        case Command::ReadFlashRegister:
        case Command::ReadVersion:
            std::snprintf(text, sizeof text, "%s 0x%02X", name, decoded.parameter);
            break;
        default:
            return name;
    }
    return text;
}

}  // namespace sim
