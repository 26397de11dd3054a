#include "link/Commands.h"

#include <algorithm>
#include <array>
#include <vector>

#include "link/CommandPacket.h"
#include "link/FlashSectors.h"
#include "link/LinkState.h"
#include "link/Transactions.h"
#include "platform/clock/Clock.h"
#include "platform/drv/DrvStatus.h"
#include "platform/vcl/core/MessageBox.h"

namespace lnk {
namespace {

using Answer = std::array<uint8_t, kPacketSize>;

constexpr uint8_t kAcknowledgedKind = 0x02;
constexpr uint8_t kQueryKind = 0x04;
constexpr uint8_t kCommandMarker = 0x34;
constexpr uint8_t kSetAddress = 0x29;
constexpr uint8_t kSetSize = 0x2C;
constexpr uint8_t kWriteData = 0x25;

// Parameter queries: 04 seq 00 05 00 34 and four selector bytes.
constexpr std::array<uint8_t, 4> kResolutionQuery{0x02, 0x04, 0x06, 0x4E};
constexpr std::array<uint8_t, 4> kReleaseQuery{0x05, 0x02, 0x02, 0x71};
constexpr std::array<uint8_t, 4> kConfigQuery{0x05, 0x02, 0x02, 0x6B};
constexpr std::array<uint8_t, 4> kUnitLifeQuery{0x05, 0x02, 0x02, 0x66};
constexpr std::array<uint8_t, 4> kLogoAddressQuery{0x05, 0x02, 0x02, 0x90};
constexpr std::array<uint8_t, 4> kVersionParameters{0x6A, 0x6B, 0x6C, 0x6D};

uint16_t AnswerLength(const Answer& answer) {
    return PayloadLength(answer);
}

uint32_t Le16(const Answer& a, size_t at) {
    return static_cast<uint32_t>(a[at] | (a[at + 1] << 8));
}

uint32_t Le32(const Answer& a, size_t at) {
    return Le16(a, at) | (Le16(a, at + 2) << 16);
}

// A packet of `kind` whose payload is 0x34 followed by `body`, with room for the checksum.
std::vector<uint8_t> BuildPacket(uint8_t kind, std::span<const uint8_t> body) {
    const size_t length = 1 + body.size();
    std::vector<uint8_t> packet(kFrameOverhead + length, 0);
    packet[0] = kind;
    packet[3] = static_cast<uint8_t>(length);
    packet[4] = static_cast<uint8_t>(length >> 8);
    packet[5] = kCommandMarker;
    std::copy(body.begin(), body.end(), packet.begin() + 6);
    return packet;
}

uint32_t SendBuilt(uint8_t kind, std::span<const uint8_t> body, Answer& answer) {
    std::vector<uint8_t> packet = BuildPacket(kind, body);
    answer.fill(0);
    return SendPacket(packet, answer);
}

// 02 seq 00 05 00 34 <operation> and a 24-bit number, least significant byte first.
uint32_t SendAddressLike(uint8_t operation, uint32_t value, Answer& answer) {
    const std::array<uint8_t, 4> body{operation, static_cast<uint8_t>(value),
                                      static_cast<uint8_t>(value >> 8),
                                      static_cast<uint8_t>(value >> 16)};
    return SendBuilt(kAcknowledgedKind, body, answer);
}

uint32_t SendAddressLike(uint8_t operation, uint32_t value) {
    Answer answer{};
    return SendAddressLike(operation, value, answer);
}

// The address for the next erase or data. The projector keeps its previous address when
// this one never reached it, so anything short of a valid acknowledgement is a failure:
// an erase or a write at a stale address would land in the wrong sector.
uint32_t SetAddress(uint32_t address) {
    Answer answer{};
    const uint32_t status = SendAddressLike(kSetAddress, address, answer);
    if (status != 0) {
        return status;
    }
    return AnswerLength(answer) != 0 ? 0u : static_cast<uint32_t>(drv::kOperationFailed);
}

uint32_t Query(const std::array<uint8_t, 4>& selector, Answer& answer) {
    return SendBuilt(kQueryKind, selector, answer);
}

uint32_t SendText(std::string_view text, Answer& answer) {
    answer.fill(0);
    return SendHexCommand(text, answer);
}

InfoRecord RecordAt7(const Answer& answer) {
    return {answer[7], answer[8], answer[9], answer[10]};
}

}  // namespace

uint16_t ReadStatus() {
    Answer answer{};
    if (SendText(kReadStatusText, answer) != 0) {
        return 0;
    }
    // The word is the last two payload bytes, high byte first.
    uint16_t word = 0;
    if (AnswerLength(answer) == 5) {
        word = static_cast<uint16_t>(answer[8] << 8 | answer[9]);
    } else if (AnswerLength(answer) == 4) {
        word = static_cast<uint16_t>(answer[7] << 8 | answer[8]);
    }
    // The 0x7616 projector reports 0 where the others report "ready to switch".
    if (model7616.load() && word == 0) {
        word = kApplicationReady;
    }
    return word;
}

uint32_t EnterBootloader() {
    Answer answer{};
    const uint32_t status = SendText(kEnterBootloaderText, answer);
    plat::Sleep(kEnterBootloaderWaitMs);
    return status;
}

uint32_t ExitBootloader() {
    Answer answer{};
    return SendText(kExitBootloaderText, answer);
}

uint32_t ReadFlashType() {
    Answer answer{};
    uint32_t status = SendText(kFlashIdFirstText, answer);
    if (status != 0) {
        return status;
    }
    const uint32_t first = Le16(answer, 13);
    status = SendText(kFlashIdSecondText, answer);
    if (status != 0) {
        return status;
    }
    const uint32_t second = Le16(answer, 13);
    if (!IsSupportedFlash(static_cast<uint16_t>(second))) {
        vcl::MessageBox("Not supported flash ROM!", "flash ROM check");
        return 0;
    }
    return first << 16 | second;
}

uint32_t ReadFlashChecksum() {
    Answer answer{};
    // Without a run of its own the projector would report the sum of an earlier run, and an
    // answer that never came would read as a sum of 0: neither may pass for this write.
    if (SendText(kChecksumStartText, answer) != 0 || AnswerLength(answer) == 0) {
        return kChecksumFailed;
    }
    for (int reads = 1;; ++reads) {
        const uint16_t word = ReadStatus();
        plat::Sleep(kStatusPollMs);
        if (reads > kStatusPolls) {
            vcl::MessageBox("Bootloader not ready!", "BL status");
            return kChecksumFailed;
        }
        if (word == kBootloaderReady) {
            break;
        }
    }
    if (SendText(kChecksumReadText, answer) != 0 || AnswerLength(answer) == 0) {
        return kChecksumFailed;
    }
    return Le32(answer, 13);
}

uint32_t SectorStart(uint32_t n) {
    const std::span<const uint32_t> table = SectorTable(static_cast<uint16_t>(ReadFlashType()));
    return n < table.size() ? table[n] : 0;
}

uint32_t EraseSector(uint32_t address) {
    uint32_t status = drv::kDeviceNotFound;
    for (int attempt = 0; attempt < kEraseAttempts; ++attempt) {
        if (!attached.load()) {
            plat::Sleep(kUnpluggedWaitMs);
            continue;
        }
        status = SetAddress(address);
        if (status == 0) {
            Answer answer{};
            status = SendText(kEraseText, answer);
            if (status == 0) {
                return 0;
            }
        }
        plat::Sleep(kEraseRetryWaitMs);
    }
    return status;
}

uint32_t SetFlashRange(uint32_t address, uint32_t size) {
    if (const uint32_t status = SetAddress(address); status != 0) {
        return status;
    }
    return SendAddressLike(kSetSize, size);
}

uint32_t WriteFlashBlock(const uint8_t* data, uint32_t length) {
    BlockOutcome outcome = BlockOutcome::NotSent;
    return WriteFlashBlock(data, length, outcome);
}

uint32_t WriteFlashBlock(const uint8_t* data, uint32_t length, BlockOutcome& outcome) {
    outcome = BlockOutcome::NotSent;
    if (length > kMaxFlashBlock || (data == nullptr && length > 0)) {
        return drv::kInvalidParameter;
    }
    std::vector<uint8_t> body(1 + length);
    body[0] = kWriteData;
    std::copy_n(data, length, body.begin() + 1);
    std::vector<uint8_t> packet = BuildPacket(kAcknowledgedKind, body);
    Answer answer{};
    bool sent = false;
    const uint32_t status = SendPacket(packet, answer, sent);
    if (status == 0 && AnswerLength(answer) != 0) {
        outcome = BlockOutcome::Acknowledged;
    } else if (sent) {
        outcome = BlockOutcome::Unconfirmed;
    }
    return status;
}

uint32_t ReadResolution(uint32_t& width, uint32_t& height) {
    Answer answer{};
    const uint32_t status = Query(kResolutionQuery, answer);
    // Low byte first, unlike the status word. Both numbers must be inside the answer.
    if (AnswerLength(answer) >= 6) {
        width = Le16(answer, 7);
        height = Le16(answer, 9);
    }
    return status;
}

uint32_t ReadReleaseDate(InfoRecord& record) {
    Answer answer{};
    const uint32_t status = Query(kReleaseQuery, answer);
    record = RecordAt7(answer);
    return status;
}

uint32_t ReadConfig(InfoRecord& record) {
    Answer answer{};
    const uint32_t status = Query(kConfigQuery, answer);
    record = RecordAt7(answer);
    return status;
}

uint32_t ReadVersion(InfoRecord& record) {
    uint32_t result = 0;
    for (size_t i = 0; i < kVersionParameters.size(); ++i) {
        Answer answer{};
        const uint32_t status = Query({0x05, 0x02, 0x02, kVersionParameters[i]}, answer);
        record[i] = answer[7];
        if (result == 0) {
            result = status;
        }
    }
    return result;
}

uint32_t ReadUnitLife(uint32_t& minutes) {
    Answer answer{};
    const uint32_t status = Query(kUnitLifeQuery, answer);
    minutes = answer[3] != 0 ? Le32(answer, 7) : kUnknownUnitLife;
    return status;
}

uint32_t ReadLogoAddress(uint32_t& address) {
    Answer answer{};
    const uint32_t status = Query(kLogoAddressQuery, answer);
    address = answer[3] != 0 ? Le32(answer, 7) : kUnknownLogoAddress;
    return status;
}

}  // namespace lnk
