#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "app/firmware/FileImageSource.h"
#include "app/firmware/FirmwareImage.h"
#include "app/firmware/SampleImage.h"

namespace firmware {
namespace {

void PutLe32(std::vector<uint8_t>& image, size_t offset, uint32_t value) {
    if (image.size() < offset + 4) {
        image.resize(offset + 4);
    }
    for (int i = 0; i < 4; ++i) {
        image[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// A layout-1 image: table at 0x4000, application code at 0x8000, release at 0x9000.
std::vector<uint8_t> Layout1Image() {
    std::vector<uint8_t> image(0xA000, 0xFF);
    PutLe32(image, 0x4000, kFtSignature);
    PutLe32(image, 0x4004, kFlashBase + 0x8000);
    PutLe32(image, 0x4008, kFlashBase);
    PutLe32(image, 0x4070, kFlashBase + 0x9000);
    PutLe32(image, 0x8000, kFtSignature);
    const uint8_t release[] = {7, 3, 1, 2};
    std::copy(std::begin(release), std::end(release), image.begin() + 0x9000);
    return image;
}

// A layout-2 image: header at 0, table at 0x100, release at 0x400.
std::vector<uint8_t> Layout2Image() {
    std::vector<uint8_t> image(0x800, 0);
    PutLe32(image, 0x00, kHeaderSignature);
    PutLe32(image, 0x14, kFlashBase7616 + 0x100);
    PutLe32(image, 0x100, kFtSignature);
    PutLe32(image, 0x100 + 0xE4, kFlashBase7616 + 0x400);
    const uint8_t release[] = {9, 12, 31, 0};
    std::copy(std::begin(release), std::end(release), image.begin() + 0x400);
    return image;
}

bool Check(const std::vector<uint8_t>& image, bool model7616, ImageCheckState& state) {
    MemoryImageSource source(image.data(), image.size());
    CheckImage(source, model7616, state);
    return state.imageValid;
}

TEST(ImageCheck, ValidImagesOfBothLayoutsGiveTheirRelease) {
    ImageCheckState state;
    EXPECT_TRUE(Check(Layout1Image(), false, state));
    EXPECT_EQ(state.imageRelease, 0x07030102u);
    EXPECT_EQ(FormatRelease(state.imageRelease), "2007/03/01C");
    EXPECT_EQ(DecodeFlashTable(state.table1).appCode, kFlashBase + 0x8000);

    const auto table1 = state.table1;
    EXPECT_TRUE(Check(Layout2Image(), true, state));
    EXPECT_EQ(FormatRelease(state.imageRelease), "2009/12/31A");
    EXPECT_EQ(state.table1, table1) << "a layout-2 check leaves the layout-1 copy alone";
}

TEST(ImageCheck, RefusedImages) {
    struct Case {
        const char* name;
        bool model7616;
        std::vector<uint8_t> image;
    };
    auto badTable = Layout1Image();
    badTable[0x4000] = 0x66;
    auto badApp = Layout1Image();
    badApp[0x8003] = 0x00;
    auto badHeader = Layout2Image();
    badHeader[0] = 0x79;
    auto badTable2 = Layout2Image();
    badTable2[0x100] = 0;
    auto releaseOutside = Layout1Image();
    PutLe32(releaseOutside, 0x4070, kFlashBase + 0x10000);
    auto tableWraps = Layout2Image();
    PutLe32(tableWraps, 0x14, 0x10);  // below the window base: wraps to a huge offset
    const std::vector<Case> cases = {
        {"layout-1 table signature", false, badTable},
        {"application code signature", false, badApp},
        {"layout-2 header signature", true, badHeader},
        {"layout-2 table signature", true, badTable2},
        {"release record past the end", false, releaseOutside},
        {"table address below the window", true, tableWraps},
        {"empty file", false, {}},
        {"layout-2 image read as layout 1", false, Layout2Image()},
    };
    for (const auto& c : cases) {
        ImageCheckState state;
        state.imageRelease = 0x01020304;
        EXPECT_FALSE(Check(c.image, c.model7616, state)) << c.name;
        EXPECT_EQ(state.imageRelease, 0x01020304u) << c.name << ": release kept";
    }
}

TEST(ImageCheck, ShortReadNeverPassesOnAnEarlierTable) {
    ImageCheckState state;
    ASSERT_TRUE(Check(Layout1Image(), false, state));
    auto cut = Layout1Image();
    cut.resize(0x4002);  // the table is cut after two bytes
    EXPECT_FALSE(Check(cut, false, state));
    EXPECT_EQ(DecodeFlashTable(state.table1).appCode, 0u);
}

TEST(ImageCheck, ReleaseComparison) {
    const uint32_t device = 0x07030102;
    EXPECT_FALSE(ImageIsOlder(device, device));
    EXPECT_TRUE(ImageIsOlder(0x07022802, device)) << "a day older";
    EXPECT_TRUE(ImageIsOlder(0x07030101, device)) << "same day, lower revision";
    EXPECT_FALSE(ImageIsOlder(0x07030103, device));
    EXPECT_FALSE(ImageIsOlder(0x00000000, 0)) << "no projector release yet";
}

TEST(ImageCheck, FileSourceReadsAndRefusesMissingFiles) {
    EXPECT_THROW(FileImageSource("/nonexistent/ostrel.img"), std::runtime_error);
    const auto image = Layout1Image();
    char path[] = "/tmp/ostrel-image-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, image.data(), image.size()), static_cast<ssize_t>(image.size()));
    close(fd);
    FileImageSource file(path);
    ImageCheckState state;
    CheckImage(file, false, state);
    EXPECT_TRUE(state.imageValid);
    uint8_t tail[8];
    EXPECT_EQ(file.ReadAt(image.size() - 3, tail, sizeof tail), 3u);
    std::remove(path);
}

}  // namespace
}  // namespace firmware

namespace firmware {
namespace {

TEST(SampleImage, PassesTheCheckInBothLayouts) {
    for (const bool model7616 : {false, true}) {
        SampleImageSpec spec;
        spec.model7616 = model7616;
        spec.size = 0x20000;
        const auto image = MakeSampleImage(spec);
        ASSERT_EQ(image.size(), spec.size);
        MemoryImageSource source(image.data(), image.size());
        ImageCheckState state;
        CheckImage(source, model7616, state);
        EXPECT_TRUE(state.imageValid) << model7616;
        EXPECT_EQ(FormatRelease(state.imageRelease), "2008/01/15B");
    }
}

}  // namespace
}  // namespace firmware
