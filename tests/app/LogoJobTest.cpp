// Pictures in Ostrel's window: the imports with their preview, size text and colour
// depth buttons, the logo file next to the picture with its size limit, and whole logo
// jobs against the virtual projector.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "app/logo/Mysplash.h"
#include "app/shell/InfoText.h"
#include "platform/vcl/core/BmpFile.h"
#include "platform/vcl/core/ScreenDepth.h"
#include "tests/app/JobFixture.h"
#include "tests/app/Pictures.h"

namespace apptest {
namespace {

namespace fs = std::filesystem;
using ostrel::FlashJob;
using ostrel::FormOstrel;
using sim::Command;

const std::regex kVerifiedLine("Update Completed!   Checksum:0x[0-9A-F]{8} Verified!");

// Every pixel different from its neighbours: a logo far over any limit.
std::vector<uint8_t> Noise() {
    return Bitmap24(1024, 768, [](int x, int y) {
        uint32_t v = static_cast<uint32_t>(x * 7919 + y * 104729);
        v ^= v << 13;
        v ^= v >> 17;
        return v & 0xFFFFFF;
    });
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
    return vcl::ReadWholeFile(path.string());
}

class LogoWindow : public JobWindow {
  protected:
    fs::path LogoFile(bool model7616) const {
        return folder_ / (model7616 ? logo::kSplcFileName : logo::kSplbFileName);
    }
    // A JPEG made by cjpeg, copied next to the test's other files (the logo file goes
    // next to the picture).
    std::string JpegFile(const char* name) const {
        return WriteFile(name,
                         ReadAll(fs::path(OSTREL_SOURCE_DIR) / "fuzz/corpus/logo_jpeg" / name));
    }
};

struct LogoJobRow {
    const char* name;
    bool model7616;
    uint32_t logoOffset;  // above the model's flash window base
    std::vector<size_t> erased;
};

TEST_F(LogoWindow, CompleteLogoJobsWriteTheLogoFileIntoItsSectors) {
    const LogoJobRow rows[] = {
        {"0x7616 model: SPLC at 0x100000", true, 0x100000, {20, 19}},
        {"other model: SPLB at 0x1E0000, up to the top sector", false, 0x1E0000, {34, 33}},
    };
    for (const LogoJobRow& row : rows) {
        SCOPED_TRACE(row.name);
        sim::ProjectorConfig config;
        config.flash.chip = sim::kChip2MbBoot;
        if (row.model7616) {
            config.identity.productId = 0x7616;
        }
        config.information.logoAddress =
            (row.model7616 ? firmware::kFlashBase7616 : firmware::kFlashBase) + row.logoOffset;
        sim::Projector& projector = Attach(config);
        ASSERT_TRUE(shell::logoReady);
        Choose(WriteFile("splash.bmp", Bands()));
        ASSERT_TRUE(FormOstrel->btnFlash->Enabled());
        const std::vector<uint8_t> logoFile = ReadAll(LogoFile(row.model7616));
        ASSERT_LT(logoFile.size(), 0x8000u);
        EXPECT_EQ(FlashJob.total.load(), static_cast<int>(logoFile.size()));
        EXPECT_EQ(FormOstrel->GroupBoxFlashOption->Caption(), "Splash logo");
        boxes_.Clear();

        ASSERT_TRUE(RunJob());
        EXPECT_TRUE(std::regex_match(LoggedStatus(), kVerifiedLine)) << LoggedStatus();
        EXPECT_EQ(projector.ReadFlash(row.logoOffset, static_cast<uint32_t>(logoFile.size())),
                  logoFile);
        EXPECT_EQ(projector.ErasedSectors(), row.erased);
        EXPECT_EQ(Captions(), (std::vector<std::string>{"Warning", "Warning again"}));
        for (const std::string& line : SectionLines(processlog::LogSection)) {
            EXPECT_NE(line.rfind("FileRelease", 0), 0u) << "a logo job has no image release";
        }
        EXPECT_EQ(SectionLines(processlog::LogSection).front(),
                  "File=" + (folder_ / "splash.bmp").string());
        Renew();
    }
}

TEST_F(LogoWindow, LogoOverTheSizeLimitIsRefusedWithItsExcess) {
    Attach({});  // logo 0x180000 above the base: a 0x58000-byte logo area
    ASSERT_TRUE(shell::logoReady);
    Choose(WriteFile("noise.bmp", Noise()));
    const auto size = static_cast<int>(fs::file_size(LogoFile(false)));
    ASSERT_GT(size, 0x58000);
    ASSERT_EQ(boxes_.Boxes().size(), 1u);
    EXPECT_EQ(boxes_.Boxes()[0].text,
              shell::FormatText("Compressed image over %d bytes", size - 0x58000));
    EXPECT_EQ(boxes_.Boxes()[0].caption, "Try less colors");
    EXPECT_FALSE(FormOstrel->btnFlash->Enabled());
    Tick();
    EXPECT_FALSE(FormOstrel->btnFlash->Enabled()) << "the status tick leaves it disabled";
    EXPECT_EQ(FormOstrel->lblBytes->Caption(), shell::FormatText("Bytes:%6d/%6d", 0, size));
}

TEST_F(LogoWindow, BitmapIsCentredOrStretchedOnTheDisplay) {
    OpenBoth();  // no projector: 1024 x 768, and Start stays disabled without a logo address
    const uint32_t corner = 0x00FFFFFF;
    Choose(WriteFile("small.bmp", Bands()));
    EXPECT_TRUE(boxes_.Boxes().empty());
    EXPECT_EQ(FormOstrel->pnlImgSize->Caption(), "640 x 480 x 24bit");
    EXPECT_TRUE(FormOstrel->GroupBoxBitmap->Visible());
    EXPECT_FALSE(FormOstrel->GroupBoxFlashOption->Visible());
    EXPECT_FALSE(FormOstrel->btnFlash->Enabled());
    const vcl::TImage& scaled = *FormOstrel->imgBufScaled;
    ASSERT_EQ(scaled.PictureWidth(), 1024);
    ASSERT_EQ(scaled.PictureHeight(), 768);
    auto at = [&scaled](int x, int y) { return scaled.PicturePixels()[y * 1024 + x]; };
    EXPECT_EQ(at(0, 0), corner);
    EXPECT_EQ(at(191, 300), corner) << "border left of the picture";
    EXPECT_EQ(at(192, 144 + 40), 0x0000FFu) << "the picture's first band starts at 192, 144";
    EXPECT_EQ(at(192 + 639, 144 + 479), 0x808080u);
    EXPECT_EQ(at(192 + 640, 300), corner);
    EXPECT_EQ(FormOstrel->imgBuf->PictureWidth(), 640);
    EXPECT_EQ(FormOstrel->imgBuf->Width(), 200);
    EXPECT_EQ(FormOstrel->Image1->PicturePixels(), scaled.PicturePixels()) << "the preview";

    Choose(WriteFile("wide.bmp", Bands(1024, 600)));
    EXPECT_EQ(FormOstrel->pnlImgSize->Caption(), "1024 x 600 x 24bit");
    EXPECT_EQ(FormOstrel->imgBufScaled->PicturePixels()[767 * 1024], 0x0000FFu)
        << "stretched to the bottom row";
}

TEST_F(LogoWindow, JpegColourDepthFollowsTheScreenAndTheButtons) {
    OpenBoth();
    {
        vcl::ScreenDepthOverride highColour(16);
        Choose(JpegFile("gradient.jpg"));
        EXPECT_TRUE(boxes_.Boxes().empty());
        EXPECT_TRUE(FormOstrel->GroupBoxJPEGColors->Visible());
        EXPECT_FALSE(FormOstrel->GroupBoxFlashMode->Visible());
        EXPECT_FALSE(FormOstrel->rb24bit->Enabled());
        EXPECT_TRUE(FormOstrel->rb16bit->Checked());
        EXPECT_EQ(FormOstrel->pnlImgSize->Caption(), "40 x 24 x 16bit");
        const std::vector<uint8_t> highColourLogo = ReadAll(LogoFile(false));

        FormOstrel->rb8bit->SetChecked(true);  // the button's click loads the file again
        EXPECT_EQ(FormOstrel->pnlImgSize->Caption(), "40 x 24 x 8bit");
        EXPECT_NE(ReadAll(LogoFile(false)), highColourLogo) << "encoded again";
    }
    {
        vcl::ScreenDepthOverride fewColours(8);
        FormOstrel->rb24bit->SetChecked(true);
        EXPECT_TRUE(FormOstrel->rb8bit->Checked());
        EXPECT_FALSE(FormOstrel->rb24bit->Enabled());
        EXPECT_FALSE(FormOstrel->rb16bit->Enabled());
        EXPECT_EQ(FormOstrel->pnlImgSize->Caption(), "40 x 24 x 8bit");
    }
    vcl::ScreenDepthOverride trueColour(32);
    FormOstrel->rb24bit->SetEnabled(true);
    FormOstrel->rb24bit->SetChecked(true);
    EXPECT_TRUE(FormOstrel->rb16bit->Enabled());
    EXPECT_EQ(FormOstrel->pnlImgSize->Caption(), "40 x 24 x 24bit");
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(LogoWindow, PreviewOnlyFilesLeaveTheLogoBufferAndTheModelPicksTheFormat) {
    Attach(Model7616());
    Choose(WriteFile("splash.bmp", Bands()));
    const std::vector<uint8_t> fromBitmap = ReadAll(LogoFile(true));
    const std::vector<uint32_t> scaled = FormOstrel->imgBufScaled->PicturePixels();

    // An SPLB file on a 0x7616 projector: previewed, and the SPLC logo made again from
    // the bitmap loaded before.
    vcl::TBitmap square(4, 3);
    square.Canvas().Brush.Color = 0x00FF00;
    square.Canvas().FillRect({0, 0, 4, 3});
    Choose(WriteFile("other.splb", logo::EncodeSplb(square, 4, 3)));
    EXPECT_EQ(FormOstrel->pnlImgSize->Caption(), "4 x 3 x 24bit");
    EXPECT_EQ(FormOstrel->Image1->PictureWidth(), 4);
    EXPECT_EQ(FormOstrel->imgBufScaled->PicturePixels(), scaled);
    EXPECT_EQ(ReadAll(LogoFile(true)), fromBitmap);
    EXPECT_FALSE(fs::exists(LogoFile(false)));

    // A wrong magic keeps the previous picture and prints its size.
    Choose(WriteFile("broken.splc", {'N', 'o', 'p', 'e', 1, 0, 1, 0}));
    EXPECT_EQ(FormOstrel->pnlImgSize->Caption(), "4 x 3 x 24bit");
    EXPECT_TRUE(boxes_.Boxes().empty());

    // An uncompressed bitmap named .RLE: a black picture of its size.
    Choose(WriteFile("plain.rle", Bitmap24(5, 2, [](int, int) { return 0xFFFFFFu; })));
    EXPECT_EQ(FormOstrel->pnlImgSize->Caption(), "5 x 2 x 24bit");
    EXPECT_EQ(FormOstrel->Image1->PicturePixels(), std::vector<uint32_t>(10, 0));
    EXPECT_EQ(ReadAll(LogoFile(true)), fromBitmap);
}

TEST_F(LogoWindow, UnreadablePicturesReportTheImportersCaption) {
    OpenBoth();
    const std::pair<const char*, const char*> rows[] = {{"bad.bmp", "Open BMP"},
                                                        {"bad.jpg", "Open JPG"}};
    for (const auto& [name, caption] : rows) {
        SCOPED_TRACE(name);
        boxes_.Clear();
        Choose(WriteFile(name, {'B', 'M', 0, 0}));
        ASSERT_EQ(boxes_.Boxes().size(), 1u);
        EXPECT_EQ(boxes_.Boxes()[0].text, "Image file error!!!");
        EXPECT_EQ(boxes_.Boxes()[0].caption, caption);
        EXPECT_EQ(FormOstrel->Cursor(), vcl::crDefault);
        EXPECT_TRUE(fs::exists(LogoFile(false))) << "the load goes on with the old buffer";
    }
}

}  // namespace
}  // namespace apptest
