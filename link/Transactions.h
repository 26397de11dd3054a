#pragma once
// The two transactions every command travels in: one packet written to pipe 0x01 and, but
// for the bootloader exit, one answer read from pipe 0x81. Each kind refuses (returns 0,
// sends nothing, leaves the answer alone) while another of the same kind is in progress.
//
// An answer buffer receives header and payload of a valid answer (5 + N bytes); an answer
// that arrived but failed its check leaves length bytes 3 and 4 at 0. Callers clear their
// answer buffer first, so that an answer that never came also reads as length 0.
#include <cstdint>
#include <span>
#include <string_view>

namespace lnk {

// The exact text of the bootloader exit, after which the projector restarts without
// answering.
constexpr std::string_view kExitBootloaderText = "02 ab 00 03 00 34 30  02 14";

// Sends a command written as hex text. Returns the library status of the read (or of the
// failed write). Text that would not fit a 64-byte packet is refused with
// 0x2000001B ("Invalid parameter") and a trace line; nothing is sent.
uint32_t SendHexCommand(std::string_view text, std::span<uint8_t> answer);

// Sends a packet built in memory (its checksum byte included in `packet`). Returns the
// library status of the read (or of the failed write). A packet with N above 255 or
// shorter than 6 + N bytes is refused with 0x2000001B and a trace line.
uint32_t SendPacket(std::span<uint8_t> packet, std::span<uint8_t> answer);
// The same; `sent` tells whether the packet left (its write succeeded), so that a caller
// can tell a command that was never sent from one whose answer went missing.
uint32_t SendPacket(std::span<uint8_t> packet, std::span<uint8_t> answer, bool& sent);

// Whether a transaction of each kind is in progress (for tests and diagnostics).
bool HexCommandBusy();
bool PacketBusy();

}  // namespace lnk
