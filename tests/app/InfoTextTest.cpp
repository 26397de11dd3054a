// The texts of the monitor's lines and the captions, case by case.
#include <gtest/gtest.h>

#include "app/shell/InfoText.h"

namespace shell {
namespace {

TEST(InfoText, LinesHaveTheirExactFormats) {
    EXPECT_EQ(TargetLine(0x1501, 0x7616, 0, "Maker"), "Attached:(0x1501)(0x7616)(0x0)Maker");
    EXPECT_EQ(TargetLine(0xAB, 0x1, 0x1F, ""), "Attached:(0x00AB)(0x0001)(0x1F)");
    EXPECT_EQ(SerialLine(3, "S-1"), "Serial:(0x3)S-1");
    EXPECT_EQ(ConfigLine({1, 0xFF, 0x80, 0x7F}), "Config:1.-1.-128");
    EXPECT_EQ(VersionLine({0x7F, 0, 0xFE, 9}), "Version:127.0.-2.9");
    EXPECT_EQ(ReleaseLine({7, 3, 1, 2}), "Release:2007/03/01C");
    EXPECT_EQ(ReleaseLine({12, 11, 30, 0}), "Release:2012/11/30A");
    EXPECT_EQ(PackedRelease({7, 3, 1, 2}), 0x07030102u);
    EXPECT_EQ(LogoLine(0xFD000000), "Logo:0xFD000000 ");
    EXPECT_EQ(LogoLine(0x1234), "Logo:0x00001234 ");
    EXPECT_EQ(LifeLine(125), "Life:0002:05");
    EXPECT_EQ(LifeLine(0), "Life:0000:00");
    EXPECT_EQ(LifeLine(999), "Life:0016:39");
    EXPECT_EQ(LifeLine(0xFFFFFFFF), "Life:71582788:15");
    EXPECT_EQ(ResolutionLine(0, 1024, 768), "(1024X 768)");
    EXPECT_EQ(ResolutionLine(0, 640, 48), "( 640X  48)");
    EXPECT_EQ(ResolutionLine(0x20000015, 1024, 768), "(DMD Unknown!)");
}

TEST(InfoText, CaptionEndsWithTheRevisionWithoutItsDollarSigns) {
    EXPECT_EQ(MainCaption("Projector Ostrel  ", "$Revision: 1.24H3 $"),
              "Projector Ostrel     Release: 5.2  Revision: 1.24H3 ");
    EXPECT_EQ(MainCaption("Projector Ostrel  Driver Test", "$Revision: 1.24H2 $"),
              "Projector Ostrel  Driver Test   Release: 5.2  Revision: 1.24H2 ");
}

struct LogoCase {
    const char* name;
    uint32_t address;
    bool model7616;
    bool trust7616;
    bool usable;
};

TEST(InfoText, LogoAddressRules) {
    const LogoCase cases[] = {
        {"0x7616 trusted", 0xFD000000, true, true, true},
        {"0x7616 odd address trusted", 0x12345678, true, true, true},
        {"0x7616 not trusted, odd address", 0x12345678, true, false, false},
        {"0x180000 above the window", 0xFE380000, false, true, true},
        {"0x190000 above the window", 0xFE390000, false, true, true},
        {"0x17FFFF above the window", 0xFE37FFFF, false, true, false},
        {"0x188000 above the window", 0xFE388000, false, true, false},
        {"the window's base", 0xFE200000, false, true, false},
        {"invalid answer", 0xDEADBEEF, false, true, false},
        {"wraps around below the base", 0x00000000, false, true, true},
        {"last sector of the space", 0xFFFF0000, false, true, true},
    };
    for (const LogoCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LogoAddressUsable(c.address, c.model7616, c.trust7616), c.usable);
    }
}

TEST(InfoText, FormatTextKeepsLongTextsInside) {
    const std::string long_text(400, 'x');
    EXPECT_EQ(FormatText("%s", long_text.c_str()).size(), 255u);
    EXPECT_EQ(FormatText("%X (\"%s\")", 0x20000015u, "Timeout"), "20000015 (\"Timeout\")");
}

}  // namespace
}  // namespace shell
