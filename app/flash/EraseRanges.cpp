#include "app/flash/EraseRanges.h"

#include <array>

namespace flash {
namespace {

struct ChipRow {
    uint16_t deviceCode;
    int top;
    int firstSkipped;  // the first sector at or after the boot area
};

// For 0x2016 all sectors are 64 KiB: sparing the boot area spares sector 0 as a whole.
constexpr std::array<ChipRow, 3> kChips = {{
    {0x2249, 34, 1},
    {0x22A8, 70, 2},
    {0x2016, 63, 1},
}};

}  // namespace

std::optional<ChipSectors> FirmwareSectors(uint16_t deviceCode, bool skipBoot) {
    for (const ChipRow& row : kChips) {
        if (row.deviceCode == deviceCode) {
            return ChipSectors{row.top, skipBoot ? row.firstSkipped : 0};
        }
    }
    return std::nullopt;
}

std::optional<LogoSpan> LogoSectors(const ChipSectors& chip, uint32_t logoOffset, uint32_t total,
                                    const std::function<uint32_t(int)>& sectorStart) {
    int first = -1;
    for (int i = chip.first; i < chip.top; ++i) {
        if (sectorStart(i) == logoOffset) {
            first = i;
            break;
        }
    }
    if (first <= 0) {
        return std::nullopt;
    }
    // The end is computed without 32-bit wrap-around, so a logo that would run past the
    // address space never looks short.
    const uint64_t end = static_cast<uint64_t>(logoOffset) + total;
    int last = chip.top;
    for (int k = first; k < chip.top; ++k) {
        if (sectorStart(k) > end) {
            last = k;
            break;
        }
    }
    return LogoSpan{first, last};
}

}  // namespace flash
