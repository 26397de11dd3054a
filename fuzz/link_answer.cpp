// Any received bytes: the answer check stays inside both buffers, and an answer it accepts
// has a payload that fits and a matching sum.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/CommandPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> received(data, data + size);  // exact size for the sanitizer
    std::array<uint8_t, lnk::kPacketSize> answer{};
    const bool valid = lnk::CheckAnswer(received, answer);
    if (valid) {
        const size_t n = lnk::PayloadLength(received);
        if (size > lnk::kPacketSize || n + 6 > size || lnk::PayloadLength(answer) != n) {
            std::abort();
        }
    } else if (answer[3] != 0 || answer[4] != 0) {
        std::abort();
    }
    return 0;
}
