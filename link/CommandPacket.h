#pragma once
// The framing of every command and answer: kind, sequence number, reserved byte, 16-bit
// little-endian payload length N, N payload bytes, and a checksum that sums bytes 1 to
// 4 + N modulo 256 (the kind byte is not summed).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace lnk {

// One read from the projector, and the largest packet a hex text may produce.
constexpr size_t kPacketSize = 64;
// Header bytes before the payload, and the checksum byte after it.
constexpr size_t kHeaderSize = 5;
constexpr size_t kFrameOverhead = kHeaderSize + 1;
// The largest payload a packet built in memory may carry (its length byte 3 is 8 bits).
constexpr size_t kMaxPacketPayload = 255;

// The payload length N of a packet (bytes 3 low and 4 high); the packet has 5 bytes or more.
uint16_t PayloadLength(std::span<const uint8_t> packet);

// The value of one hexadecimal digit, upper or lower case; -1 for any other character.
int HexDigitValue(char c);

// Converts hex text ("04 01 00 03 00 34 00  02 3a") into bytes: pairs of hexadecimal digits
// give bytes, any other character is skipped, a digit not followed by another digit is
// dropped together with the character after it. Writes at most out.size() - 1 bytes and a
// terminating zero after them, and returns the number of bytes the whole text holds, so a
// result of out.size() or more means the text did not fit.
size_t ParseHexText(std::string_view text, std::span<uint8_t> out);

// The sequence counter shared by every packet sent: the value of the last packet.
uint8_t SequenceCounter();

// Stamps a packet for sending: the next sequence number into byte 1 and the checksum into
// byte 5 + N. Refuses (returns false, counter unchanged) a packet shorter than its own
// header, length and checksum.
bool StampPacket(std::span<uint8_t> packet);

// Checks the n received bytes as an answer: 6 + N <= n <= 64 and a matching checksum. A
// valid answer is copied (bytes 0 to 4 + N) into `answer`; an invalid one sets only
// answer bytes 3 and 4 to zero. `answer` holds at least 64 bytes.
bool CheckAnswer(std::span<const uint8_t> received, std::span<uint8_t> answer);

}  // namespace lnk
