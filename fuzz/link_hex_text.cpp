// Hex text of any content never writes past the buffer, always terminates it, and every
// byte it produces comes from a pair of adjacent hexadecimal digits.
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "link/CommandPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::array<uint8_t, lnk::kPacketSize + 1> out;
    out.fill(0xA5);
    const size_t count = lnk::ParseHexText(text, std::span(out).first(lnk::kPacketSize));
    if (out[lnk::kPacketSize] != 0xA5 || count > size / 2) {
        std::abort();
    }
    if (out[std::min(count, lnk::kPacketSize - 1)] != 0) {
        std::abort();
    }
    return 0;
}
