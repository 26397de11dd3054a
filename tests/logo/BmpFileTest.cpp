#include "platform/vcl/core/BmpFile.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/logo/Fixtures.h"

namespace {

using logo_test::BmpSpec;
using logo_test::Bytes;
using logo_test::MakeBmp;
using vcl::RGB;
using vcl::TColor;

// The test picture, 3 × 2 (odd width, so every format needs row padding), as palette indices.
const std::vector<TColor> kPalette = {RGB(0, 0, 0), RGB(0xFF, 0, 0), RGB(0, 0xFF, 0),
                                      RGB(0, 0, 0xFF), RGB(0xFF, 0xFF, 0xFF)};
const int kIndex[2][3] = {{1, 2, 3}, {4, 0, 1}};

std::vector<TColor> Expected(const std::function<TColor(TColor)>& reduce = [](TColor c) {
    return c;
}) {
    std::vector<TColor> out;
    for (const auto& row : kIndex) {
        for (int i : row) {
            out.push_back(reduce(kPalette[static_cast<size_t>(i)]));
        }
    }
    return out;
}

// Rows in file order (bottom-up unless topDown), each padded to 4 bytes.
Bytes Rows(int bits, bool topDown, const std::function<uint32_t(TColor, int index)>& value) {
    Bytes data;
    for (int r = 0; r < 2; ++r) {
        const int y = topDown ? r : 1 - r;
        Bytes row;
        uint32_t acc = 0;
        int accBits = 0;
        for (int x = 0; x < 3; ++x) {
            const int index = kIndex[y][x];
            const uint32_t v = value(kPalette[static_cast<size_t>(index)], index);
            if (bits < 8) {
                acc = (acc << bits) | v;
                accBits += bits;
                if (accBits == 8) {
                    row.push_back(static_cast<uint8_t>(acc));
                    acc = 0;
                    accBits = 0;
                }
            } else {
                for (int b = 0; b < bits / 8; ++b) {
                    row.push_back(static_cast<uint8_t>(v >> (8 * b)));
                }
            }
        }
        if (accBits > 0) {
            row.push_back(static_cast<uint8_t>(acc << (8 - accBits)));
        }
        row.resize((row.size() + 3) / 4 * 4, 0);
        data.insert(data.end(), row.begin(), row.end());
    }
    return data;
}

uint32_t Index(TColor, int index) {
    return static_cast<uint32_t>(index);
}
uint32_t Bgr(TColor c) {
    return vcl::GetBValue(c) | (vcl::GetGValue(c) << 8) |
           (static_cast<uint32_t>(vcl::GetRValue(c)) << 16);
}
uint32_t Rgb555(TColor c, int) {
    return ((vcl::GetRValue(c) >> 3) << 10) | ((vcl::GetGValue(c) >> 3) << 5) |
           (vcl::GetBValue(c) >> 3);
}
uint32_t Rgb565(TColor c, int) {
    return ((vcl::GetRValue(c) >> 3) << 11) | ((vcl::GetGValue(c) >> 2) << 5) |
           (vcl::GetBValue(c) >> 3);
}
TColor Widen555(TColor c) {
    return c & RGB(0xF8, 0xF8, 0xF8);
}
TColor Widen565(TColor c) {
    return c & RGB(0xF8, 0xFC, 0xF8);
}

struct FormatCase {
    const char* name;
    BmpSpec spec;
    vcl::TPixelFormat format;
    std::vector<TColor> pixels;
};

std::vector<FormatCase> FormatCases() {
    auto paletted = [](uint16_t bits, bool topDown = false, uint32_t headerSize = 40) {
        BmpSpec s{.width = 3,
                  .height = topDown ? -2 : 2,
                  .bitCount = bits,
                  .headerSize = headerSize,
                  .palette = kPalette};
        s.pixelData = Rows(bits, topDown, Index);
        return s;
    };
    const std::function<uint32_t(TColor, int)> bgr = [](TColor c, int) { return Bgr(c); };
    const std::function<uint32_t(TColor, int)> bgrx = [](TColor c, int) {
        return Bgr(c) | 0xFF000000u;
    };
    return {
        {"1 bit",
         [] {
             BmpSpec s{.width = 3,
                       .height = 2,
                       .bitCount = 1,
                       .palette = {RGB(9, 9, 9), RGB(0xFF, 0, 0)}};
             s.pixelData = Rows(1, false, [](TColor, int i) { return i == 1 ? 1u : 0u; });
             return s;
         }(),
         vcl::pf1bit,
         {RGB(0xFF, 0, 0), RGB(9, 9, 9), RGB(9, 9, 9), RGB(9, 9, 9), RGB(9, 9, 9),
          RGB(0xFF, 0, 0)}},
        {"4 bit", paletted(4), vcl::pf4bit, Expected()},
        {"8 bit", paletted(8), vcl::pf8bit, Expected()},
        {"8 bit top-down", paletted(8, true), vcl::pf8bit, Expected()},
        {"8 bit core header",
         [] {
             BmpSpec s{
                 .width = 3, .height = 2, .bitCount = 8, .headerSize = 12, .palette = kPalette};
             s.pixelData = Rows(8, false, Index);
             return s;
         }(),
         vcl::pf8bit, Expected()},
        {"16 bit BI_RGB is 5-5-5",
         BmpSpec{.width = 3, .height = 2, .bitCount = 16, .pixelData = Rows(16, false, Rgb555)},
         vcl::pf15bit, Expected(Widen555)},
        {"16 bit bitfields 5-6-5",
         BmpSpec{.width = 3,
                 .height = 2,
                 .bitCount = 16,
                 .compression = 3,
                 .masks = {0xF800, 0x07E0, 0x001F},
                 .pixelData = Rows(16, false, Rgb565)},
         vcl::pf16bit, Expected(Widen565)},
        {"16 bit 5-6-5 in a version 5 header",
         BmpSpec{.width = 3,
                 .height = -2,
                 .bitCount = 16,
                 .compression = 3,
                 .headerSize = 124,
                 .masks = {0xF800, 0x07E0, 0x001F},
                 .pixelData = Rows(16, true, Rgb565)},
         vcl::pf16bit, Expected(Widen565)},
        {"24 bit",
         BmpSpec{.width = 3, .height = 2, .bitCount = 24, .pixelData = Rows(24, false, bgr)},
         vcl::pf24bit, Expected()},
        {"32 bit",
         BmpSpec{.width = 3, .height = 2, .bitCount = 32, .pixelData = Rows(32, false, bgrx)},
         vcl::pf32bit, Expected()},
        {"32 bit bitfields with alpha, version 4 header",
         BmpSpec{.width = 3,
                 .height = 2,
                 .bitCount = 32,
                 .compression = 3,
                 .headerSize = 108,
                 .masks = {0xFF0000, 0xFF00, 0xFF},
                 .pixelData = Rows(32, false, bgrx)},
         vcl::pf32bit, Expected()},
        {"32 bit with unusual masks is custom",
         BmpSpec{
             .width = 3,
             .height = 2,
             .bitCount = 32,
             .compression = 3,
             .masks = {0xFF, 0xFF00, 0xFF0000},
             .pixelData = Rows(32, false, [](TColor c, int) { return static_cast<uint32_t>(c); })},
         vcl::pfCustom, Expected()},
    };
}

TEST(BmpLoader, DecodesEveryCommonFormatKeepingItsPixelFormat) {
    for (const FormatCase& c : FormatCases()) {
        SCOPED_TRACE(c.name);
        const vcl::TBitmap b = vcl::LoadBmp(MakeBmp(c.spec));
        EXPECT_EQ(b.Width(), 3);
        EXPECT_EQ(b.Height(), 2);
        EXPECT_EQ(b.PixelFormat(), c.format);
        EXPECT_EQ(b.Pixels(), c.pixels);
    }
}

TEST(BmpLoader, PaletteComesFromTheFile) {
    BmpSpec s{.width = 3, .height = 2, .bitCount = 8, .palette = kPalette, .colorsUsed = 5};
    s.pixelData = Rows(8, false, Index);
    const vcl::TBitmap b = vcl::LoadBmp(MakeBmp(s));
    EXPECT_EQ(b.Palette(), kPalette);
}

TEST(BmpLoader, RunLengthEncodedBitmaps) {
    // 8-bit: bottom row a run of red and an absolute pair with its pad, top row a delta.
    BmpSpec rle8{.width = 4,
                 .height = 2,
                 .bitCount = 8,
                 .compression = 1,
                 .palette = kPalette,
                 .pixelData = {2, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 2, 0, 1, 3, 0, 1}};
    vcl::TBitmap b = vcl::LoadBmp(MakeBmp(rle8));
    EXPECT_EQ(b.PixelFormat(), vcl::pf8bit);
    const TColor k = kPalette[0], r = kPalette[1], g = kPalette[2], u = kPalette[3],
                 w = kPalette[4];
    EXPECT_EQ(b.Pixels(), (std::vector<TColor>{k, k, u, k, r, r, g, u}));
    (void)w;

    // 4-bit: a run alternates its two indices; an absolute run of 3 takes 2 bytes + no pad.
    BmpSpec rle4{.width = 5,
                 .height = 1,
                 .bitCount = 4,
                 .compression = 2,
                 .palette = kPalette,
                 .pixelData = {2, 0x12, 0, 3, 0x34, 0x10, 0, 1}};
    b = vcl::LoadBmp(MakeBmp(rle4));
    EXPECT_EQ(b.PixelFormat(), vcl::pf4bit);
    EXPECT_EQ(b.Pixels(), (std::vector<TColor>{r, g, u, w, r}));

    // Cut short: what was decoded stays, the rest is palette entry 0.
    rle8.pixelData = {2, 1, 0, 3, 2};
    b = vcl::LoadBmp(MakeBmp(rle8));
    EXPECT_EQ(b.Pixels(), (std::vector<TColor>{k, k, k, k, r, r, k, k}));
}

TEST(BmpLoader, IndexBeyondThePaletteIsBlack) {
    BmpSpec s{.width = 3, .height = 2, .bitCount = 8, .palette = {RGB(1, 1, 1)}, .colorsUsed = 1};
    s.pixelData = Rows(8, false, Index);
    const vcl::TBitmap b = vcl::LoadBmp(MakeBmp(s));
    EXPECT_EQ(b.Canvas().Pixel(1, 1), RGB(1, 1, 1));  // index 0
    EXPECT_EQ(b.Canvas().Pixel(0, 0), vcl::clBlack);  // index 1
}

TEST(BmpLoader, RefusesWhatItCannotRead) {
    BmpSpec good{.width = 3,
                 .height = 2,
                 .bitCount = 24,
                 .pixelData = Rows(24, false, [](TColor c, int) { return Bgr(c); })};
    struct Case {
        const char* name;
        Bytes file;
    };
    std::vector<Case> cases;
    Bytes notBm = MakeBmp(good);
    notBm[0] = 'X';
    cases.push_back({"wrong type", notBm});
    Bytes cut = MakeBmp(good);
    cut.pop_back();
    cut.pop_back();
    cut.pop_back();
    cut.pop_back();
    cut.pop_back();
    cases.push_back({"pixel data cut short", cut});
    const Bytes whole = MakeBmp(good);
    cases.push_back({"header cut short", Bytes(whole.begin(), whole.begin() + 30)});
    BmpSpec s = good;
    s.bitCount = 2;
    cases.push_back({"2 bits per pixel", MakeBmp(s)});
    s = good;
    s.width = 0;
    cases.push_back({"width 0", MakeBmp(s)});
    s = good;
    s.compression = 4;  // JPEG inside a bitmap
    cases.push_back({"embedded JPEG", MakeBmp(s)});
    s = good;
    s.width = 100000;
    s.height = 100000;
    cases.push_back({"absurd size", MakeBmp(s)});
    BmpSpec topDownRle{.width = 2,
                       .height = -2,
                       .bitCount = 8,
                       .compression = 1,
                       .palette = kPalette,
                       .pixelData = {0, 1}};
    cases.push_back({"top-down RLE", MakeBmp(topDownRle)});
    cases.push_back({"empty", {}});
    for (const Case& c : cases) {
        EXPECT_THROW(vcl::LoadBmp(c.file), vcl::EInvalidGraphic) << c.name;
    }
    EXPECT_THROW(vcl::LoadBmpFile("/nonexistent/picture.bmp"), vcl::EInvalidGraphic);
}

}  // namespace
