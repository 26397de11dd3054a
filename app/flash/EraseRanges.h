#pragma once
// Which flash sectors a job erases. Erases run from the highest index down to the lowest.
#include <cstdint>
#include <functional>
#include <optional>

namespace flash {

// The sectors a chip offers to erasing: `top` is its last sector, `first` the lowest one
// to erase (above the boot area when that is spared).
struct ChipSectors {
    int top;
    int first;
};

// The firmware erase: every sector from top down to first. Nothing for an unknown chip.
std::optional<ChipSectors> FirmwareSectors(uint16_t deviceCode, bool skipBoot);

// The logo erase: sectors `last` down to `first`.
struct LogoSpan {
    int first;
    int last;
};

// Finds the logo's sectors: its first sector starts exactly at the logo offset (searched
// from the chip's first sector up to, not including, the top one, and never sector 0);
// the last is the first sector after it that starts beyond the logo's end, or the top
// sector. `sectorStart` gives the start offset of a sector by index. Nothing when the
// logo does not begin at a sector boundary.
std::optional<LogoSpan> LogoSectors(const ChipSectors& chip, uint32_t logoOffset, uint32_t total,
                                    const std::function<uint32_t(int)>& sectorStart);

}  // namespace flash
