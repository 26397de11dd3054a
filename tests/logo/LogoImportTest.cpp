#include "app/logo/LogoImport.h"

#include <gtest/gtest.h>

#include <set>

#include "app/logo/Mysplash.h"
#include "platform/vcl/core/BmpFile.h"
#include "tests/logo/Fixtures.h"

namespace {

using logo::JpegDepthButton;
using logo_test::BmpSpec;
using logo_test::MakeBmp;
using vcl::RGB;
using vcl::TColor;

constexpr TColor kCorner = RGB(12, 34, 56);

// Top-left pixel kCorner, the rest a pattern that makes every column and row distinct.
vcl::TBitmap Picture(int width, int height) {
    return logo_test::MakePicture(width, height, [](int x, int y) {
        if (x == 0 && y == 0) {
            return kCorner;
        }
        return RGB(static_cast<uint8_t>(x), static_cast<uint8_t>(x >> 8), static_cast<uint8_t>(y));
    });
}

TEST(Scaling, SmallerPictureIsCentredOnItsCornerColour) {
    const vcl::TBitmap picture = Picture(640, 480);
    const logo::Placement place = logo::PlaceOnDisplay(640, 480, 1024, 768);
    EXPECT_TRUE(place.centred);
    EXPECT_EQ(place.rect, (vcl::TRect{192, 144, 832, 624}));
    const vcl::TBitmap scaled = logo::ScaleToDisplay(picture, 1024, 768);
    ASSERT_EQ(scaled.Width(), 1024);
    ASSERT_EQ(scaled.Height(), 768);
    EXPECT_EQ(scaled.Canvas().Pixel(0, 0), kCorner);
    EXPECT_EQ(scaled.Canvas().Pixel(1023, 767), kCorner);
    EXPECT_EQ(scaled.Canvas().Pixel(191, 300), kCorner);
    EXPECT_EQ(scaled.Canvas().Pixel(192, 144), kCorner);  // the picture's own corner
    EXPECT_EQ(scaled.Canvas().Pixel(192 + 5, 144 + 7), picture.Canvas().Pixel(5, 7));
    EXPECT_EQ(scaled.Canvas().Pixel(831, 623), picture.Canvas().Pixel(639, 479));
    EXPECT_EQ(scaled.Canvas().Pixel(832, 623), kCorner);
    // Odd differences round down.
    EXPECT_EQ(logo::PlaceOnDisplay(3, 3, 10, 10).rect, (vcl::TRect{3, 3, 6, 6}));
}

TEST(Scaling, OtherPicturesAreStretchedOverTheWholeDisplay) {
    struct Case {
        const char* name;
        int width, height;
    };
    for (const Case& c : {Case{"wider stretched 1024 x 600", 1024, 600},
                          Case{"larger shrunk 2048 x 1536", 2048, 1536},
                          Case{"narrower but taller 300 x 900", 300, 900},
                          Case{"exactly the display", 1024, 768}}) {
        SCOPED_TRACE(c.name);
        const vcl::TBitmap picture = Picture(c.width, c.height);
        EXPECT_FALSE(logo::PlaceOnDisplay(c.width, c.height, 1024, 768).centred);
        const vcl::TBitmap scaled = logo::ScaleToDisplay(picture, 1024, 768);
        ASSERT_EQ(scaled.Width(), 1024);
        ASSERT_EQ(scaled.Height(), 768);
        for (auto [x, y] : {std::pair{0, 0}, {1023, 767}, {500, 400}, {17, 700}}) {
            const int sx = static_cast<int>((2LL * x + 1) * c.width / 2048);
            const int sy = static_cast<int>((2LL * y + 1) * c.height / 1536);
            EXPECT_EQ(scaled.Canvas().Pixel(x, y), picture.Canvas().Pixel(sx, sy)) << x << "," << y;
        }
    }
    // 1024 × 600: rows are repeated, columns kept one to one.
    const vcl::TBitmap wide = logo::ScaleToDisplay(Picture(1024, 600), 1024, 768);
    EXPECT_EQ(vcl::GetRValue(wide.Canvas().Pixel(77, 300)), 77);
}

// The scaling rule with the canvas's own operations, on the whole picture.
vcl::TBitmap CanvasScaled(const vcl::TBitmap& picture, int width, int height) {
    vcl::TBitmap scaled(width, height);
    scaled.Canvas().Brush.Color = picture.Canvas().Pixel(0, 0);
    scaled.Canvas().FillRect(vcl::TRect{0, 0, width, height});
    const logo::Placement place =
        logo::PlaceOnDisplay(picture.Width(), picture.Height(), width, height);
    if (place.centred) {
        scaled.Canvas().Draw(place.rect.Left, place.rect.Top, picture);
    } else {
        scaled.Canvas().StretchDraw(place.rect, picture);
    }
    return scaled;
}

// The logo is built a picture row at a time; it must match the canvas drawing for pictures
// smaller, larger and equal in either direction, empty pictures and empty displays.
TEST(Scaling, RowByRowScalingMatchesTheCanvas) {
    const std::vector<std::pair<int, int>> pictures = {{0, 0}, {0, 4}, {5, 0}, {1, 1},  {7, 3},
                                                       {9, 9}, {9, 4}, {4, 9}, {30, 2}, {3, 25}};
    const std::vector<std::pair<int, int>> displays = {{0, 0}, {0, 5},   {6, 0}, {1, 1},
                                                       {9, 9}, {16, 12}, {10, 9}};
    for (auto [w, h] : pictures) {
        for (auto [dw, dh] : displays) {
            SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) + " on " +
                         std::to_string(dw) + " x " + std::to_string(dh));
            const vcl::TBitmap picture = Picture(w, h);
            const vcl::TBitmap scaled = logo::ScaleToDisplay(picture, dw, dh);
            const vcl::TBitmap expected = CanvasScaled(picture, dw, dh);
            ASSERT_EQ(scaled.Width(), dw);
            ASSERT_EQ(scaled.Height(), dh);
            EXPECT_EQ(scaled.PixelFormat(), expected.PixelFormat());
            EXPECT_EQ(scaled.Pixels(), expected.Pixels());
        }
    }
}

TEST(Scaling, DisplaySizesTheLogoCannotHoldAreRefused) {
    EXPECT_THROW(logo::ScaleToDisplay(Picture(2, 2), 65536, 10), logo::LogoSizeError);
    EXPECT_THROW(logo::ScaleToDisplay(Picture(2, 2), 10, -1), logo::LogoSizeError);
}

TEST(SizeText, BitCountsOfTheLoadedFormats) {
    EXPECT_EQ(logo::SizeText(640, 480, 24), "640 x 480 x 24bit");
    struct Case {
        vcl::TPixelFormat format;
        int bits;
    };
    for (const Case& c : {Case{vcl::pf1bit, 0}, Case{vcl::pf4bit, 4}, Case{vcl::pf8bit, 8},
                          Case{vcl::pf15bit, 0}, Case{vcl::pf16bit, 16}, Case{vcl::pf24bit, 24},
                          Case{vcl::pf32bit, 0}, Case{vcl::pfDevice, 0}, Case{vcl::pfCustom, 0}}) {
        EXPECT_EQ(logo::BitmapBitCount(c.format), c.bits) << c.format;
    }
}

TEST(BmpImport, SizeTextShowsZeroBitsFor1And32BitFiles) {
    BmpSpec one{.width = 9,
                .height = 2,
                .bitCount = 1,
                .palette = {0, 0xFFFFFF},
                .pixelData = logo_test::Bytes(8, 0xFF)};
    EXPECT_EQ(logo::ImportBmp(MakeBmp(one), 1024, 768).sizeText, "9 x 2 x 0bit");
    BmpSpec wide{.width = 2, .height = 1, .bitCount = 32, .pixelData = logo_test::Bytes(8, 0x80)};
    const logo::ImportedPicture p = logo::ImportBmp(MakeBmp(wide), 1024, 768);
    EXPECT_EQ(p.sizeText, "2 x 1 x 0bit");
    EXPECT_EQ(p.scaled.Canvas().Pixel(0, 0), RGB(0x80, 0x80, 0x80));  // border: corner colour
    BmpSpec eight{.width = 2,
                  .height = 1,
                  .bitCount = 8,
                  .palette = {RGB(1, 2, 3)},
                  .pixelData = {0, 0, 0, 0}};
    EXPECT_EQ(logo::ImportBmp(MakeBmp(eight), 1024, 768).sizeText, "2 x 1 x 8bit");
    EXPECT_THROW(logo::ImportBmp(logo_test::Bytes(10, 0), 1024, 768), vcl::EInvalidGraphic);
}

TEST(JpegColours, DepthRulesByScreen) {
    struct Case {
        const char* name;
        int screen;
        JpegDepthButton checked;
        bool e24, e16, e8;
        JpegDepthButton after;
        int depth;
    };
    const Case cases[] = {
        {"true colour, 24 checked", 32, JpegDepthButton::rb24bit, true, true, true,
         JpegDepthButton::rb24bit, 24},
        {"true colour, 16 checked", 24, JpegDepthButton::rb16bit, true, true, true,
         JpegDepthButton::rb16bit, 16},
        {"true colour, 8 checked", 24, JpegDepthButton::rb8bit, true, true, true,
         JpegDepthButton::rb8bit, 8},
        {"16-bit screen turns 24 into 16", 16, JpegDepthButton::rb24bit, false, true, true,
         JpegDepthButton::rb16bit, 16},
        {"15-bit screen keeps 16", 15, JpegDepthButton::rb16bit, false, true, true,
         JpegDepthButton::rb16bit, 16},
        {"16-bit screen keeps 8", 16, JpegDepthButton::rb8bit, false, true, true,
         JpegDepthButton::rb8bit, 8},
        {"256 colours: only 8", 8, JpegDepthButton::rb24bit, false, false, true,
         JpegDepthButton::rb8bit, 8},
        {"unknown depth: only 8", 0, JpegDepthButton::rb16bit, false, false, true,
         JpegDepthButton::rb8bit, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const logo::JpegColourChoice choice = logo::ChooseJpegColours(c.screen, c.checked);
        EXPECT_EQ(choice.rb24bitEnabled, c.e24);
        EXPECT_EQ(choice.rb16bitEnabled, c.e16);
        EXPECT_EQ(choice.rb8bitEnabled, c.e8);
        EXPECT_EQ(choice.checked, c.after);
        EXPECT_EQ(choice.depth, c.depth);
        EXPECT_EQ(choice.decoderFormat, c.depth == 8 ? vcl::jf8Bit : vcl::jf24Bit);
    }
}

TEST(JpegImport, ChosenDepthReducesThePicture) {
    const vcl::TBitmap original = logo_test::MakePicture(40, 30, [](int x, int y) {
        return RGB(static_cast<uint8_t>(x * 6 + 1), static_cast<uint8_t>(y * 8 + 3), 77);
    });
    const auto file = logo_test::MakeJpeg(original, 95);
    // 16-bit screen with 24 checked: 16-bit colour, low bits zero, shown as 16 bits.
    const auto at16 =
        logo::ImportJpeg(file, logo::ChooseJpegColours(16, JpegDepthButton::rb24bit), 1024, 768);
    EXPECT_EQ(at16.sizeText, "40 x 30 x 16bit");
    for (TColor c : at16.picture.Pixels()) {
        ASSERT_EQ(c & RGB(7, 3, 7), 0);
    }
    // 256-colour screen: at most 256 colours, in the logo as well.
    const auto at8 =
        logo::ImportJpeg(file, logo::ChooseJpegColours(8, JpegDepthButton::rb24bit), 1024, 768);
    EXPECT_EQ(at8.sizeText, "40 x 30 x 8bit");
    vcl::TJPEGImage decoder;
    decoder.SetPixelFormat(vcl::jf8Bit);
    decoder.LoadFromBytes(file);
    EXPECT_EQ(at8.picture.Pixels(), decoder.Bitmap().Pixels());  // every quantised colour kept
    const std::set<TColor> colours(at8.scaled.Pixels().begin(), at8.scaled.Pixels().end());
    EXPECT_LE(colours.size(), 256u);
    EXPECT_EQ(at8.scaled.Canvas().Pixel(0, 0), at8.picture.Canvas().Pixel(0, 0));
    EXPECT_EQ(at8.scaled.Canvas().Pixel(492 + 3, 369 + 4), at8.picture.Canvas().Pixel(3, 4));
    EXPECT_THROW(logo::ImportJpeg(logo_test::Bytes(20, 1),
                                  logo::ChooseJpegColours(24, JpegDepthButton::rb24bit), 1024, 768),
                 vcl::EInvalidGraphic);
}

// The import scales each row as it is decoded; the result must be that of decoding the
// whole picture, reducing it and scaling it, for every depth and placement.
TEST(JpegImport, SameAsDecodingReducingAndScalingTheWholePicture) {
    const vcl::TBitmap original = logo_test::MakePicture(48, 36, [](int x, int y) {
        return RGB(static_cast<uint8_t>(x * 5), static_cast<uint8_t>(y * 7),
                   static_cast<uint8_t>((x ^ y) * 9));
    });
    const auto file = logo_test::MakeJpeg(original, 90);
    for (auto button :
         {JpegDepthButton::rb24bit, JpegDepthButton::rb16bit, JpegDepthButton::rb8bit}) {
        for (auto [dw, dh] : {std::pair{64, 48}, {48, 36}, {20, 50}, {31, 17}}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(button)) + ": " + std::to_string(dw) +
                         " x " + std::to_string(dh));
            const logo::JpegColourChoice colours = logo::ChooseJpegColours(24, button);
            const logo::ImportedPicture imported = logo::ImportJpeg(file, colours, dw, dh);
            vcl::TJPEGImage decoder;
            decoder.SetPixelFormat(colours.decoderFormat);
            decoder.LoadFromBytes(file);
            vcl::TBitmap whole = decoder.TakeBitmap();
            whole.SetPixelFormat(colours.bitmapFormat);
            EXPECT_EQ(imported.picture.PixelFormat(), whole.PixelFormat());
            EXPECT_EQ(imported.picture.Palette(), whole.Palette());
            EXPECT_EQ(imported.picture.Pixels(), whole.Pixels());
            EXPECT_EQ(imported.scaled.Pixels(), CanvasScaled(whole, dw, dh).Pixels());
        }
    }
}

TEST(PreviewImports, Rle8SplbSplc) {
    const std::vector<TColor> palette = {RGB(0, 0, 0), RGB(0xFF, 0, 0)};
    BmpSpec rle{.width = 3,
                .height = 1,
                .bitCount = 8,
                .compression = 1,
                .palette = palette,
                .pixelData = {3, 1, 0, 1}};
    logo::PreviewPicture p = logo::ImportRle8(MakeBmp(rle));
    EXPECT_TRUE(p.recognised);
    EXPECT_EQ(p.bitCount, 8);
    EXPECT_EQ(p.picture.Pixels(), std::vector<TColor>(3, RGB(0xFF, 0, 0)));

    // An uncompressed bitmap named .RLE previews black at its size.
    BmpSpec plain{.width = 2, .height = 2, .bitCount = 24, .pixelData = logo_test::Bytes(16, 0xFF)};
    p = logo::ImportRle8(MakeBmp(plain));
    EXPECT_TRUE(p.recognised);
    EXPECT_EQ(p.bitCount, 24);
    EXPECT_EQ(p.picture.Pixels(), std::vector<TColor>(4, 0));

    // A palette that the pixel-data offset cuts to nothing draws black.
    logo_test::Bytes noPalette = MakeBmp(rle);
    noPalette[10] = 54;
    p = logo::ImportRle8(noPalette);
    EXPECT_EQ(p.picture.Width(), 3);

    EXPECT_FALSE(logo::ImportRle8(logo_test::Bytes(60, 'x')).recognised);
    EXPECT_FALSE(logo::ImportSplb(logo_test::Bytes(60, 'x')).recognised);
    EXPECT_FALSE(logo::ImportSplc(logo_test::Bytes(60, 'x')).recognised);

    const vcl::TBitmap picture = logo_test::MakePicture(5, 4, [](int x, int y) {
        return RGB(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 1);
    });
    p = logo::ImportSplb(logo::EncodeSplb(picture, 5, 4));
    EXPECT_TRUE(p.recognised);
    EXPECT_EQ(p.bitCount, 24);
    EXPECT_EQ(p.picture.Pixels(), picture.Pixels());
    p = logo::ImportSplc(logo::EncodeSplc(picture, 5, 4));
    EXPECT_EQ(p.picture.Pixels(), picture.Pixels());
}

}  // namespace
