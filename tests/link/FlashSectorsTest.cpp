#include "link/FlashSectors.h"

#include <gtest/gtest.h>

namespace {

TEST(FlashSectors, TablesHoldTheChipLayouts) {
    struct Row {
        uint16_t code;
        size_t entries;
        size_t n;
        uint32_t start;
    };
    const Row rows[] = {
        {lnk::kFlash2249, 40, 0, 0x000000},    {lnk::kFlash2249, 40, 1, 0x004000},
        {lnk::kFlash2249, 40, 2, 0x006000},    {lnk::kFlash2249, 40, 3, 0x008000},
        {lnk::kFlash2249, 40, 4, 0x010000},    {lnk::kFlash2249, 40, 34, 0x1F0000},
        {lnk::kFlash2249, 40, 35, 0x200000},   {lnk::kFlash2249, 40, 36, 0xFFFFFFFF},
        {lnk::kFlash2249, 40, 39, 0xFFFFFFFF}, {lnk::kFlash22A8, 80, 7, 0xE000},
        {lnk::kFlash22A8, 80, 8, 0x010000},    {lnk::kFlash22A8, 80, 70, 0x3F0000},
        {lnk::kFlash22A8, 80, 71, 0xFFFFFFFF}, {lnk::kFlash22A8, 80, 79, 0},
        {lnk::kFlash2016, 80, 1, 0x010000},    {lnk::kFlash2016, 80, 63, 0x3F0000},
        {lnk::kFlash2016, 80, 64, 0xFFFFFFFF}, {lnk::kFlash2016, 80, 65, 0},
    };
    for (const Row& r : rows) {
        const auto table = lnk::SectorTable(r.code);
        ASSERT_EQ(table.size(), r.entries) << std::hex << r.code;
        EXPECT_EQ(table[r.n], r.start) << std::hex << r.code << " sector " << std::dec << r.n;
    }
    EXPECT_TRUE(lnk::SectorTable(0x1234).empty());
    EXPECT_FALSE(lnk::IsSupportedFlash(0x1234));
}

TEST(FlashSectors, StartsRiseUpToTheEndMarker) {
    for (const uint16_t code : {lnk::kFlash2249, lnk::kFlash22A8, lnk::kFlash2016}) {
        const auto table = lnk::SectorTable(code);
        size_t n = 1;
        for (; n < table.size() && table[n] != lnk::kSectorEnd; ++n) {
            EXPECT_GT(table[n], table[n - 1]) << std::hex << code << " " << std::dec << n;
        }
        EXPECT_LT(n, table.size()) << "every table has an end marker";
    }
}

}  // namespace
