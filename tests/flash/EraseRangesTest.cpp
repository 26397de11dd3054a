#include <gtest/gtest.h>

#include "app/flash/EraseRanges.h"
#include "link/FlashSectors.h"

namespace flash {
namespace {

std::function<uint32_t(int)> Table(uint16_t code) {
    return [code](int n) { return lnk::SectorTable(code)[static_cast<size_t>(n)]; };
}

TEST(EraseRanges, FirmwareSectorsOfEachChip) {
    struct Case {
        uint16_t code;
        bool skip;
        int top, first;
    };
    for (const Case& c :
         {Case{0x2249, true, 34, 1}, Case{0x22A8, true, 70, 2}, Case{0x2016, true, 63, 1},
          Case{0x2249, false, 34, 0}, Case{0x22A8, false, 70, 0}, Case{0x2016, false, 63, 0}}) {
        const auto range = FirmwareSectors(c.code, c.skip);
        ASSERT_TRUE(range) << std::hex << c.code;
        EXPECT_EQ(range->top, c.top) << std::hex << c.code;
        EXPECT_EQ(range->first, c.first) << std::hex << c.code << " skip " << c.skip;
        // The first sector kept when sparing the boot area starts at or after 0x4000,
        // and the one before it does not.
        if (c.skip) {
            EXPECT_GE(Table(c.code)(c.first), 0x4000u);
        }
    }
    EXPECT_FALSE(FirmwareSectors(0x1234, false));
}

TEST(EraseRanges, LogoSectorsOfTheWorkedExamples) {
    struct Case {
        const char* name;
        uint16_t code;
        bool skip;
        uint32_t offset, total;
        int first, last;
    };
    const Case cases[] = {
        {"ends inside a sector", 0x2249, false, 0x100000, 0x8000, 19, 20},
        {"ends at a sector start", 0x2249, false, 0x100000, 0x10000, 19, 21},
        {"falls back to the top", 0x2249, false, 0x1E0000, 0x8000, 33, 34},
        {"skip changes nothing here", 0x2249, true, 0x100000, 0x8000, 19, 20},
        {"4 MB small-sector chip", 0x22A8, false, 0x180000, 0x58000, 31, 37},
        {"uniform chip", 0x2016, true, 0x180000, 0x20000, 24, 27},
    };
    for (const Case& c : cases) {
        const auto chip = FirmwareSectors(c.code, c.skip);
        const auto span = LogoSectors(*chip, c.offset, c.total, Table(c.code));
        ASSERT_TRUE(span) << c.name;
        EXPECT_EQ(span->first, c.first) << c.name;
        EXPECT_EQ(span->last, c.last) << c.name;
    }
}

TEST(EraseRanges, LogoOffsetsThatAreRefused) {
    const auto chip = *FirmwareSectors(0x2249, false);
    const auto table = Table(0x2249);
    EXPECT_FALSE(LogoSectors(chip, 0x1F0000, 0x100, table)) << "the top sector is not searched";
    EXPECT_FALSE(LogoSectors(chip, 0x108000, 0x100, table)) << "inside a sector";
    EXPECT_FALSE(LogoSectors(chip, 0, 0x100, table)) << "sector 0";
    const auto skipped = *FirmwareSectors(0x2249, true);
    EXPECT_FALSE(LogoSectors(skipped, 0x5000, 0x100, table)) << "no boundary, boot spared";
    EXPECT_TRUE(LogoSectors(chip, 0x4000, 0x100, table)) << "sector 1";
}

TEST(EraseRanges, LogoEndPastTheAddressSpaceDoesNotWrap) {
    const auto chip = *FirmwareSectors(0x2016, false);
    const auto span = LogoSectors(chip, 0x100000, 0xFFFFFFFF, Table(0x2016));
    ASSERT_TRUE(span);
    EXPECT_EQ(span->last, 63);
}

}  // namespace
}  // namespace flash
