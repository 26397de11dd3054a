#pragma once
// How large an encoded splash logo may be: the room the projector leaves for it at its
// logo offset (the logo address minus the flash window base, 32-bit wrap-around).
#include <cstdint>

namespace ostrel {

// Offsets below 2 MB have a fixed logo area of 0x58000 bytes; above, the logo may run to
// one byte short of the end of a 4 MB flash. The subtraction wraps for offsets beyond
// 0x3FFFFF, as the projector's own arithmetic does.
constexpr uint32_t LogoSizeLimit(uint32_t logoOffset) {
    return logoOffset < 0x200000 ? 0x58000u : 0x3FFFFFu - logoOffset;
}

static_assert(LogoSizeLimit(0x180000) == 0x58000);
static_assert(LogoSizeLimit(0x200000) == 0x1FFFFF);
static_assert(LogoSizeLimit(0x400000) == 0xFFFFFFFF);
static_assert(LogoSizeLimit(0xFFFFFFFF) == 0x400000);

}  // namespace ostrel
