#include "sim/Frame.h"

namespace sim {

const char* FrameErrorName(FrameError error) {
    switch (error) {
        case FrameError::None:
            return "none";
        case FrameError::Empty:
            return "empty";
        case FrameError::TooLong:
            return "too long";
        case FrameError::Truncated:
            return "truncated";
        case FrameError::BadChecksum:
            return "bad checksum";
    }
    return "?";
}

uint8_t FrameChecksum(std::span<const uint8_t> frame, size_t payloadLength) {
    uint8_t sum = 0;
    for (size_t i = 1; i < kFrameHeaderSize + payloadLength && i < frame.size(); ++i) {
        sum = static_cast<uint8_t>(sum + frame[i]);
    }
    return sum;
}

std::optional<Frame> ParseFrame(std::span<const uint8_t> bytes, FrameError* error) {
    auto fail = [error](FrameError why) -> std::optional<Frame> {
        if (error != nullptr) {
            *error = why;
        }
        return std::nullopt;
    };
    if (bytes.empty()) {
        return fail(FrameError::Empty);
    }
    if (bytes.size() > kMaxPacketSize) {
        return fail(FrameError::TooLong);
    }
    if (bytes.size() < kFrameOverhead) {
        return fail(FrameError::Truncated);
    }
    const size_t length = bytes[3] | (static_cast<size_t>(bytes[4]) << 8);
    if (kFrameOverhead + length > bytes.size()) {
        return fail(FrameError::Truncated);
    }
    if (bytes[kFrameHeaderSize + length] != FrameChecksum(bytes, length)) {
        return fail(FrameError::BadChecksum);
    }
    if (error != nullptr) {
        *error = FrameError::None;
    }
    Frame frame;
    frame.kind = bytes[0];
    frame.sequence = bytes[1];
    frame.payload.assign(bytes.begin() + kFrameHeaderSize,
                         bytes.begin() + static_cast<std::ptrdiff_t>(kFrameHeaderSize + length));
    return frame;
}

std::vector<uint8_t> BuildFrame(uint8_t kind, uint8_t sequence, std::span<const uint8_t> payload) {
    std::vector<uint8_t> packet;
    packet.reserve(payload.size() + kFrameOverhead);
    packet.push_back(kind);
    packet.push_back(sequence);
    packet.push_back(0);
    packet.push_back(static_cast<uint8_t>(payload.size() & 0xFF));
    packet.push_back(static_cast<uint8_t>(payload.size() >> 8));
    packet.insert(packet.end(), payload.begin(), payload.end());
    packet.push_back(FrameChecksum(packet, payload.size()));
    return packet;
}

}  // namespace sim
