#include "platform/vcl/core/Bitmap.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/logo/Fixtures.h"

namespace {

using vcl::RGB;
using vcl::TBitmap;
using vcl::TColor;

TEST(Bitmap, PixelFormatsHoldWhatTheyCan) {
    const TColor odd = RGB(0x17, 0x2B, 0x3F);
    struct Case {
        vcl::TPixelFormat format;
        TColor stored;
    };
    for (const Case& c :
         {Case{vcl::pf24bit, odd}, Case{vcl::pf32bit, odd},
          Case{vcl::pf16bit, RGB(0x10, 0x28, 0x38)}, Case{vcl::pf15bit, RGB(0x10, 0x28, 0x38)}}) {
        TBitmap b(1, 1, c.format);
        b.Canvas().SetPixel(0, 0, odd);
        EXPECT_EQ(b.Canvas().Pixel(0, 0), c.stored) << c.format;
    }
    TBitmap changed(1, 1, vcl::pf24bit);
    changed.Canvas().SetPixel(0, 0, RGB(0xFF, 0xFF, 0xFF));
    changed.SetPixelFormat(vcl::pf16bit);  // 5-6-5 widened by shifting: low bits zero
    EXPECT_EQ(changed.Canvas().Pixel(0, 0), RGB(0xF8, 0xFC, 0xF8));
}

TEST(Bitmap, IndexedFormatsFillThePaletteThenTakeTheNearestEntry) {
    TBitmap mono(2, 1, vcl::pf1bit);
    mono.Canvas().SetPixel(0, 0, RGB(200, 200, 200));
    mono.Canvas().SetPixel(1, 0, RGB(40, 10, 10));
    EXPECT_EQ(mono.Pixels(), (std::vector<TColor>{vcl::clWhite, vcl::clBlack}));

    TBitmap four(20, 1, vcl::pf4bit);  // starts black: black is the first entry
    for (int x = 0; x < 20; ++x) {
        four.Canvas().SetPixel(x, 0, RGB(static_cast<uint8_t>(x * 10), 0, 0));
    }
    EXPECT_EQ(four.Palette().size(), 16u);
    EXPECT_EQ(four.Canvas().Pixel(15, 0), RGB(150, 0, 0));
    EXPECT_EQ(four.Canvas().Pixel(19, 0), RGB(150, 0, 0));  // nearest of a full table
}

TEST(Bitmap, ClippingAndOutsideAccess) {
    TBitmap b(3, 2);
    EXPECT_EQ(b.Canvas().Pixel(-1, 0), vcl::clBlack);
    EXPECT_EQ(b.Canvas().Pixel(3, 0), vcl::clBlack);
    b.Canvas().SetPixel(5, 5, vcl::clWhite);  // ignored
    b.Canvas().Brush.Color = vcl::clWhite;
    b.Canvas().FillRect(vcl::TRect{2, -5, 10, 1});
    EXPECT_EQ(b.Pixels(), (std::vector<TColor>{0, 0, vcl::clWhite, 0, 0, 0}));

    TBitmap small(2, 2);
    small.Canvas().Brush.Color = RGB(1, 2, 3);
    small.Canvas().FillRect(vcl::TRect{0, 0, 2, 2});
    b.Canvas().Draw(-1, 1, small);
    EXPECT_EQ(b.Pixels(), (std::vector<TColor>{0, 0, vcl::clWhite, RGB(1, 2, 3), 0, 0}));
}

TEST(Bitmap, StretchDrawTakesTheSourcePixelUnderEachCentre) {
    const TBitmap quads = logo_test::MakePicture(2, 2, [](int x, int y) {
        return RGB(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 0);
    });
    TBitmap big(4, 4);
    big.Canvas().StretchDraw(vcl::TRect{0, 0, 4, 4}, quads);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(big.Canvas().Pixel(x, y), quads.Canvas().Pixel(x / 2, y / 2));
        }
    }
    const TBitmap row = logo_test::MakePicture(
        4, 1, [](int x, int) { return RGB(static_cast<uint8_t>(10 * x), 0, 0); });
    TBitmap half(2, 1);
    half.Canvas().StretchDraw(vcl::TRect{0, 0, 2, 1}, row);
    EXPECT_EQ(half.Pixels(), (std::vector<TColor>{RGB(10, 0, 0), RGB(30, 0, 0)}));

    // Shrinking by an uneven factor brings in no colour the source does not have.
    const TBitmap stripes = logo_test::MakePicture(
        97, 13, [](int x, int y) { return (x + y) % 3 == 0 ? RGB(255, 0, 0) : RGB(0, 0, 255); });
    TBitmap odd(31, 40);
    odd.Canvas().StretchDraw(vcl::TRect{0, 0, 31, 40}, stripes);
    std::set<TColor> colours(odd.Pixels().begin(), odd.Pixels().end());
    EXPECT_EQ(colours, (std::set<TColor>{RGB(255, 0, 0), RGB(0, 0, 255)}));
}

TEST(Bitmap, SizesAndCopies) {
    EXPECT_THROW(TBitmap(-1, 1), std::invalid_argument);
    EXPECT_THROW(TBitmap(65536, 65536), std::length_error);
    TBitmap a(2, 2);
    a.Canvas().SetPixel(0, 0, vcl::clWhite);
    TBitmap copy = a;
    copy.Canvas().SetPixel(1, 1, vcl::clWhite);  // the copy's canvas draws on the copy
    EXPECT_EQ(a.Canvas().Pixel(1, 1), vcl::clBlack);
    EXPECT_EQ(copy.Canvas().Pixel(0, 0), vcl::clWhite);
    copy.SetSize(3, 1);  // keeps the overlap
    EXPECT_EQ(copy.Pixels(), (std::vector<TColor>{vcl::clWhite, 0, 0}));
}

}  // namespace
