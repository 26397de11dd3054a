#include "link/CommandPacket.h"

#include <algorithm>
#include <atomic>

namespace lnk {
namespace {

// Incremented before each packet is sent; never reset while the program runs, not even
// when the projector leaves or the link is closed.
std::atomic<uint8_t> sequenceCounter{0};

uint8_t SumOf(std::span<const uint8_t> bytes) {
    unsigned sum = 0;
    for (const uint8_t b : bytes) {
        sum += b;
    }
    return static_cast<uint8_t>(sum);
}

}  // namespace

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

uint16_t PayloadLength(std::span<const uint8_t> packet) {
    return static_cast<uint16_t>(packet[3] | (packet[4] << 8));
}

size_t ParseHexText(std::string_view text, std::span<uint8_t> out) {
    size_t count = 0;
    size_t i = 0;
    while (i < text.size()) {
        const int high = HexDigitValue(text[i]);
        if (high < 0) {
            ++i;
            continue;
        }
        if (i + 1 >= text.size()) {
            break;
        }
        const int low = HexDigitValue(text[i + 1]);
        i += 2;
        if (low < 0) {
            continue;
        }
        if (count + 1 < out.size()) {
            out[count] = static_cast<uint8_t>(high * 16 + low);
        }
        ++count;
    }
    if (!out.empty()) {
        out[std::min(count, out.size() - 1)] = 0;
    }
    return count;
}

uint8_t SequenceCounter() {
    return sequenceCounter.load();
}

bool StampPacket(std::span<uint8_t> packet) {
    if (packet.size() < kFrameOverhead || kFrameOverhead + PayloadLength(packet) > packet.size()) {
        return false;
    }
    const size_t n = PayloadLength(packet);
    packet[1] = static_cast<uint8_t>(sequenceCounter.fetch_add(1) + 1);
    packet[kHeaderSize + n] = SumOf(packet.subspan(1, kHeaderSize - 1 + n));
    return true;
}

bool CheckAnswer(std::span<const uint8_t> received, std::span<uint8_t> answer) {
    const size_t n = received.size();
    const bool framed =
        n >= kFrameOverhead && n <= kPacketSize && kFrameOverhead + PayloadLength(received) <= n;
    if (framed) {
        const size_t length = PayloadLength(received);
        const size_t end = kHeaderSize + length;
        if (received[end] == SumOf(received.subspan(1, end - 1)) && answer.size() >= end) {
            std::copy_n(received.begin(), end, answer.begin());
            return true;
        }
    }
    if (answer.size() >= kHeaderSize) {
        answer[3] = 0;
        answer[4] = 0;
    }
    return false;
}

}  // namespace lnk
