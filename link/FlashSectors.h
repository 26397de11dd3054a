#pragma once
// The sector layouts of the three flash chips the projector may carry, keyed by the chip's
// device code (the low 16 bits of its identification). Each table gives the start offset
// in the chip of sector n by index n; 0xFFFFFFFF marks the end of the chip, entries after
// it are padding.
#include <array>
#include <cstdint>
#include <span>

namespace lnk {

constexpr uint16_t kFlash2249 = 0x2249;  // 2 MB: 16, 8, 8 and 32 KB, then 31 sectors of 64 KB
constexpr uint16_t kFlash22A8 = 0x22A8;  // 4 MB: 8 sectors of 8 KB, then 63 of 64 KB
constexpr uint16_t kFlash2016 = 0x2016;  // 4 MB: 64 sectors of 64 KB
constexpr uint32_t kSectorEnd = 0xFFFFFFFF;

extern const std::array<uint32_t, 40> kSectors2249;
extern const std::array<uint32_t, 80> kSectors22A8;
extern const std::array<uint32_t, 80> kSectors2016;

// The table of a device code; empty for a chip that is not supported.
std::span<const uint32_t> SectorTable(uint16_t deviceCode);
bool IsSupportedFlash(uint16_t deviceCode);

}  // namespace lnk
