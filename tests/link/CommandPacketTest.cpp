#include "link/CommandPacket.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Parse(std::string_view text) {
    std::array<uint8_t, lnk::kPacketSize> out{};
    const size_t count = lnk::ParseHexText(text, out);
    return {out.begin(), out.begin() + static_cast<std::ptrdiff_t>(std::min(count, out.size()))};
}

struct HexCase {
    const char* name;
    const char* text;
    std::vector<uint8_t> bytes;
};

TEST(ParseHexText, ConvertsTheTable) {
    const HexCase cases[] = {
        {"exit command",
         "02 ab 00 03 00 34 30  02 14",
         {0x02, 0xAB, 0x00, 0x03, 0x00, 0x34, 0x30, 0x02, 0x14}},
        {"upper and lower case", "aB Cd", {0xAB, 0xCD}},
        {"lone digits are dropped with the next character", "0 2 ab", {0xAB}},
        {"odd trailing digit is dropped", "12 34 5", {0x12, 0x34}},
        {"digits without blanks pair up", "123456", {0x12, 0x34, 0x56}},
        {"non-hex characters are skipped", "xx12-zz34", {0x12, 0x34}},
        {"a digit followed by a non-digit takes it along", "1g2", {}},
        {"empty", "", {}},
    };
    for (const HexCase& c : cases) {
        EXPECT_EQ(Parse(c.text), c.bytes) << c.name;
    }
}

TEST(ParseHexText, TerminatesAndNeverWritesPastTheBuffer) {
    std::array<uint8_t, 8> out;
    out.fill(0xEE);
    // Ten bytes of text into an eight-byte buffer: seven bytes, the terminator, and the
    // full count so the caller can see it did not fit.
    const size_t count =
        lnk::ParseHexText("01 02 03 04 05 06 07 08 09 0a", std::span(out).first(8));
    EXPECT_EQ(count, 10u);
    EXPECT_EQ(out[6], 0x07);
    EXPECT_EQ(out[7], 0x00);

    std::array<uint8_t, 4> small;
    small.fill(0xEE);
    EXPECT_EQ(lnk::ParseHexText("ab", small), 1u);
    EXPECT_EQ(small[0], 0xAB);
    EXPECT_EQ(small[1], 0x00);
    EXPECT_EQ(small[2], 0xEE);
}

// The counter is shared by the whole process: tests look at it relative to its value.
TEST(StampPacket, SetsTheNextSequenceNumberAndTheChecksum) {
    std::array<uint8_t, lnk::kPacketSize> packet{};
    lnk::ParseHexText("04 01 00 03 00 34 00  02 3a", packet);
    const uint8_t before = lnk::SequenceCounter();
    ASSERT_TRUE(lnk::StampPacket(packet));
    const uint8_t seq = static_cast<uint8_t>(before + 1);
    EXPECT_EQ(packet[1], seq);
    EXPECT_EQ(lnk::SequenceCounter(), seq);
    EXPECT_EQ(packet[8], static_cast<uint8_t>(seq + 0x03 + 0x34 + 0x00 + 0x02));
}

TEST(StampPacket, WorkedExamplesOfTheStatusQuery) {
    // The sums of the status query for a counter at 0 and at 4: seq 1 gives 3A, seq 5 3E.
    std::array<uint8_t, lnk::kPacketSize> packet{};
    lnk::ParseHexText("04 01 00 03 00 34 00  02 3a", packet);
    for (const auto& [seq, sum] : {std::pair<uint8_t, uint8_t>{1, 0x3A}, {5, 0x3E}}) {
        while (static_cast<uint8_t>(lnk::SequenceCounter() + 1) != seq) {
            std::array<uint8_t, 6> dummy{};
            lnk::StampPacket(dummy);
        }
        ASSERT_TRUE(lnk::StampPacket(packet));
        const std::vector<uint8_t> sent(packet.begin(), packet.begin() + 9);
        EXPECT_EQ(sent, (std::vector<uint8_t>{0x04, seq, 0x00, 0x03, 0x00, 0x34, 0x00, 0x02, sum}));
    }
}

TEST(StampPacket, RefusesAPacketWhoseChecksumFallsOutside) {
    std::array<uint8_t, 10> packet{0x02, 0, 0, 0x05, 0x00};  // needs 11 bytes
    const uint8_t before = lnk::SequenceCounter();
    const auto copy = packet;
    EXPECT_FALSE(lnk::StampPacket(packet));
    EXPECT_EQ(packet, copy);
    EXPECT_EQ(lnk::SequenceCounter(), before);
    std::array<uint8_t, 5> header{};
    EXPECT_FALSE(lnk::StampPacket(header));
}

std::vector<uint8_t> Framed(std::vector<uint8_t> payload) {
    std::vector<uint8_t> p{0x04, 0x77, 0x00, static_cast<uint8_t>(payload.size()),
                           static_cast<uint8_t>(payload.size() >> 8)};
    for (const uint8_t byte : payload) {  // insert() trips a false bounds warning of GCC 12
        p.push_back(byte);
    }
    unsigned sum = 0;
    for (size_t i = 1; i < p.size(); ++i) {
        sum += p[i];
    }
    p.push_back(static_cast<uint8_t>(sum));
    return p;
}

TEST(CheckAnswer, AcceptsOnlyWholeAnswersWithTheirSum) {
    struct Case {
        const char* name;
        std::vector<uint8_t> received;
        bool valid;
    };
    std::vector<uint8_t> badSum = Framed({0x34, 0x00, 0x80, 0x00});
    badSum.back() ^= 1;
    std::vector<uint8_t> padded = Framed({0x34, 0x00});
    padded.resize(20, 0xAA);  // trailing bytes after the checksum are allowed
    std::vector<uint8_t> tooLong = Framed(std::vector<uint8_t>(59, 1));  // 65 bytes
    const Case cases[] = {
        {"status answer", Framed({0x34, 0x00, 0x80, 0x00}), true},
        {"empty payload", Framed({}), true},
        {"trailing bytes", padded, true},
        {"largest answer", Framed(std::vector<uint8_t>(58, 1)), true},
        {"wrong checksum", badSum, false},
        {"shorter than its length", {0x04, 1, 0, 0x09, 0, 0x34, 0x00}, false},
        {"header only", {0x04, 1, 0, 0, 0}, false},
        {"nothing", {}, false},
        {"longer than one read", tooLong, false},
    };
    for (const Case& c : cases) {
        std::array<uint8_t, lnk::kPacketSize> answer;
        answer.fill(0x55);
        EXPECT_EQ(lnk::CheckAnswer(c.received, answer), c.valid) << c.name;
        if (c.valid) {
            const size_t end = 5 + lnk::PayloadLength(c.received);
            EXPECT_TRUE(std::equal(answer.begin(), answer.begin() + static_cast<long>(end),
                                   c.received.begin()))
                << c.name;
            EXPECT_EQ(answer[end], 0x55) << c.name << ": the checksum is not copied";
        } else {
            EXPECT_EQ(answer[3], 0) << c.name;
            EXPECT_EQ(answer[4], 0) << c.name;
            EXPECT_EQ(answer[0], 0x55) << c.name << ": nothing else is touched";
        }
    }
}

}  // namespace
