#pragma once
// The framing of every command and answer the projector exchanges on its bulk pipes:
// kind, sequence, reserved byte, 16-bit little-endian payload length, payload, and an
// 8-bit sum over everything but the kind byte.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace sim {

inline constexpr size_t kFrameHeaderSize = 5;
inline constexpr size_t kFrameOverhead = 6;   // header and checksum
inline constexpr size_t kMaxPacketSize = 64;  // one bulk packet

struct Frame {
    uint8_t kind = 0;
    uint8_t sequence = 0;
    std::vector<uint8_t> payload;
};

enum class FrameError {
    None,
    Empty,        // nothing arrived
    TooLong,      // more than one packet
    Truncated,    // fewer bytes than the length field asks for
    BadChecksum,  // the sum does not match
};

const char* FrameErrorName(FrameError error);

// Sum modulo 256 of bytes 1 .. 4 + N of a frame of payload length N.
uint8_t FrameChecksum(std::span<const uint8_t> frame, size_t payloadLength);

// Checks a received packet the way the host checks answers: 1 to 64 bytes, room for
// the payload its length field names and the checksum after it, and a matching sum.
// Bytes after the checksum are ignored.
std::optional<Frame> ParseFrame(std::span<const uint8_t> bytes, FrameError* error = nullptr);

// Builds the complete packet (N + 6 bytes) with its checksum.
std::vector<uint8_t> BuildFrame(uint8_t kind, uint8_t sequence, std::span<const uint8_t> payload);

}  // namespace sim
