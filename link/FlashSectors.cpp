#include "link/FlashSectors.h"

#include <cstddef>

namespace lnk {
namespace {

constexpr uint32_t k8K = 0x2000;
constexpr uint32_t k64K = 0x10000;

constexpr std::array<uint32_t, 40> Make2249() {
    std::array<uint32_t, 40> table{0x000000, 0x004000, 0x006000, 0x008000};
    for (size_t n = 4; n <= 34; ++n) {
        table[n] = k64K * static_cast<uint32_t>(n - 3);
    }
    table[35] = 0x200000;
    for (size_t n = 36; n < table.size(); ++n) {
        table[n] = kSectorEnd;
    }
    return table;
}

constexpr std::array<uint32_t, 80> Make22A8() {
    std::array<uint32_t, 80> table{};
    for (size_t n = 0; n <= 7; ++n) {
        table[n] = k8K * static_cast<uint32_t>(n);
    }
    for (size_t n = 8; n <= 70; ++n) {
        table[n] = k64K * static_cast<uint32_t>(n - 7);
    }
    table[71] = kSectorEnd;
    return table;
}

constexpr std::array<uint32_t, 80> Make2016() {
    std::array<uint32_t, 80> table{};
    for (size_t n = 0; n <= 63; ++n) {
        table[n] = k64K * static_cast<uint32_t>(n);
    }
    table[64] = kSectorEnd;
    return table;
}

}  // namespace

constexpr std::array<uint32_t, 40> kSectors2249 = Make2249();
constexpr std::array<uint32_t, 80> kSectors22A8 = Make22A8();
constexpr std::array<uint32_t, 80> kSectors2016 = Make2016();

std::span<const uint32_t> SectorTable(uint16_t deviceCode) {
    switch (deviceCode) {
        case kFlash2249:
            return kSectors2249;
        case kFlash22A8:
            return kSectors22A8;
        case kFlash2016:
            return kSectors2016;
        default:
            return {};
    }
}

bool IsSupportedFlash(uint16_t deviceCode) {
    return !SectorTable(deviceCode).empty();
}

}  // namespace lnk
