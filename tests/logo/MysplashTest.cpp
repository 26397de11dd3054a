#include "app/logo/Mysplash.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include <unistd.h>

#include "platform/vcl/core/BmpFile.h"
#include "platform/vcl/core/MessageBox.h"
#include "tests/logo/Fixtures.h"

namespace {

using logo_test::Bytes;
using logo_test::MakePicture;
using vcl::RGB;
using vcl::TBitmap;
using vcl::TColor;

constexpr TColor kWhite = RGB(0xFF, 0xFF, 0xFF);
constexpr TColor kTeal = RGB(0x10, 0x20, 0x30);  // red 10, green 20, blue 30
constexpr TColor kRed = RGB(0xFF, 0, 0);

TBitmap OneColour(int width, int height, TColor c) {
    return MakePicture(width, height, [c](int, int) { return c; });
}

Bytes After(const Bytes& file, size_t header) {
    return Bytes(file.begin() + header, file.end());
}

TEST(SplbEncoder, SingleWhitePixel) {
    const Bytes expected = {'S', 'p', 'l', 'b', 1, 0, 1, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 1};
    EXPECT_EQ(logo::EncodeSplb(OneColour(1, 1, kWhite), 1, 1), expected);
}

TEST(SplcEncoder, SingleWhitePixel) {
    const Bytes expected = {
        'S',  'p',  'l',  'c',  1,    0,    1,    0,    8, 0, 0, 0,  // size, data size
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,              // reserved
        0,    0,    0,    0,    1,    1,    0,    0,    0, 0, 0, 0,  // format 1
        1,    0xFF, 0xFF, 0xFF, 0,    0,    0,    0};
    EXPECT_EQ(logo::EncodeSplc(OneColour(1, 1, kWhite), 1, 1), expected);
}

struct EncoderCase {
    const char* name;
    TBitmap picture;
    int width;
    int height;
    Bytes splbRecords;
    Bytes splcRecords;
};

std::vector<EncoderCase> EncoderCases() {
    TBitmap twoColours = OneColour(2, 1, kWhite);
    twoColours.Canvas().SetPixel(1, 0, kRed);
    return {
        {"row of 300 pixels splits at 255",
         OneColour(300, 1, kTeal),
         300,
         1,
         {0x30, 0x20, 0x10, 255, 0x30, 0x20, 0x10, 45},
         {255, 0x30, 0x20, 0x10, 45, 0x30, 0x20, 0x10, 0, 0, 0, 0}},
        {"2x2 of one colour: one SPLB run across the row end, SPLC ends each row",
         OneColour(2, 2, kTeal),
         2,
         2,
         {0x30, 0x20, 0x10, 4},
         {2, 0x30, 0x20, 0x10, 0, 0, 0, 0, 2, 0x30, 0x20, 0x10, 0, 0, 0, 0}},
        {"2x1 of two colours",
         twoColours,
         2,
         1,
         {0xFF, 0xFF, 0xFF, 1, 0, 0, 0xFF, 1},
         {1, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0xFF, 0, 0, 0, 0}},
        {"width 0: no SPLB record, one SPLC row end",
         OneColour(0, 3, kTeal),
         0,
         3,
         {},
         {0, 0, 0, 0}},
        {"height 0: nothing at all", OneColour(4, 0, kTeal), 4, 0, {}, {}},
        {"width beyond the picture encodes black",
         OneColour(1, 1, kWhite),
         3,
         1,
         {0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 2},
         {1, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 0, 0, 0, 0}},
    };
}

TEST(LogoEncoders, RecordsOfTheWorkedExamples) {
    for (const EncoderCase& c : EncoderCases()) {
        SCOPED_TRACE(c.name);
        const Bytes splb = logo::EncodeSplb(c.picture, c.width, c.height);
        const Bytes splc = logo::EncodeSplc(c.picture, c.width, c.height);
        EXPECT_EQ(After(splb, logo::kSplbHeaderSize), c.splbRecords);
        EXPECT_EQ(After(splc, logo::kSplcHeaderSize), c.splcRecords);
        logo::SplbHeader b;
        logo::SplcHeader h;
        ASSERT_TRUE(logo::ReadSplbHeader(splb, b));
        ASSERT_TRUE(logo::ReadSplcHeader(splc, h));
        EXPECT_EQ(b.width, c.width);
        EXPECT_EQ(b.height, c.height);
        EXPECT_EQ(b.recordCount, c.splbRecords.size() / 4);
        EXPECT_EQ(h.dataSize, c.splcRecords.size());
        EXPECT_EQ(h.recordFormat, 1);
    }
}

TEST(LogoEncoders, RefuseSizesTheHeaderCannotHold) {
    const TBitmap picture = OneColour(1, 1, kWhite);
    EXPECT_THROW(logo::EncodeSplb(picture, 65536, 1), logo::LogoSizeError);
    EXPECT_THROW(logo::EncodeSplc(picture, 1, 65536), logo::LogoSizeError);
    EXPECT_THROW(logo::EncodeSplb(picture, -1, 1), logo::LogoSizeError);
    const Bytes widest = logo::EncodeSplc(picture, 65535, 1);
    logo::SplcHeader h;
    ASSERT_TRUE(logo::ReadSplcHeader(widest, h));
    EXPECT_EQ(h.width, 65535);
}

// A picture with long runs, runs across row ends and single pixels.
TBitmap Sample(int width, int height) {
    return MakePicture(width, height, [](int x, int y) {
        if (y % 3 == 0) {
            return RGB(0x20, 0x40, 0x60);
        }
        return x < 7 ? RGB(static_cast<uint8_t>(x * 30), static_cast<uint8_t>(y), 9)
                     : RGB(200, 100, static_cast<uint8_t>(y * 11));
    });
}

TEST(LogoFormats, EncodedPictureDrawsBackTheSame) {
    for (auto [w, h] : {std::pair{1, 1}, {300, 4}, {17, 9}, {1, 600}, {640, 3}}) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        const TBitmap picture = Sample(w, h);
        const Bytes splb = logo::EncodeSplb(picture, w, h);
        logo::SplbHeader b;
        ASSERT_TRUE(logo::ReadSplbHeader(splb, b));
        TBitmap fromSplb(b.width, b.height);
        logo::DrawSplb(splb, fromSplb, b);
        EXPECT_EQ(fromSplb.Pixels(), picture.Pixels());

        const Bytes splc = logo::EncodeSplc(picture, w, h);
        logo::SplcHeader c;
        ASSERT_TRUE(logo::ReadSplcHeader(splc, c));
        TBitmap fromSplc(c.width, c.height);
        logo::DrawSplc(splc, fromSplc, c);
        EXPECT_EQ(fromSplc.Pixels(), picture.Pixels());
    }
}

// The encoders' rules pixel by pixel, as plainly as they can be written: the fast encoders
// must give the same bytes for any picture.
Bytes ReferenceRecords(const TBitmap& picture, int width, int height, bool splc) {
    Bytes out;
    auto put = [&out, splc](TColor c, int run) {
        const Bytes record = splc ? Bytes{static_cast<uint8_t>(run), vcl::GetBValue(c),
                                          vcl::GetGValue(c), vcl::GetRValue(c)}
                                  : Bytes{vcl::GetBValue(c), vcl::GetGValue(c), vcl::GetRValue(c),
                                          static_cast<uint8_t>(run)};
        out.insert(out.end(), record.begin(), record.end());
    };
    TColor current = picture.Canvas().Pixel(0, 0);
    int run = 0;
    bool rowEnded = false;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const TColor pixel = picture.Canvas().Pixel(x, y);
            if (pixel == current && run < logo::kMaxRun && !(splc && rowEnded)) {
                ++run;
                continue;
            }
            put(current, run);
            current = pixel;
            run = 1;
            if (splc && rowEnded) {
                rowEnded = false;
                out.insert(out.end(), 4, 0);
            }
        }
        rowEnded = true;
    }
    if (run > 0) {
        put(current, run);
    }
    if (splc && rowEnded) {
        out.insert(out.end(), 4, 0);
    }
    return out;
}

// Random pictures of few colours, so that runs of every length occur: single pixels, runs
// across row ends and across the 64-pixel words the encoders scan, runs longer than 255,
// and logo areas larger or smaller than the picture.
TEST(LogoEncoders, SameBytesAsThePixelByPixelRules) {
    uint32_t seed = 2024;
    auto next = [&seed](uint32_t below) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % below;
    };
    for (int i = 0; i < 400; ++i) {
        const int w = static_cast<int>(next(i % 4 == 0 ? 700 : 90));
        const int h = static_cast<int>(next(12));
        const uint32_t colours = 1 + next(4);
        const uint32_t keep = next(1000);  // chance per mille that a pixel repeats the last
        TColor last = 0;
        const TBitmap picture = MakePicture(w, h, [&](int, int) {
            if (next(1000) >= keep) {
                last =
                    RGB(static_cast<uint8_t>(next(colours) * 70), 9, static_cast<uint8_t>(next(2)));
            }
            return last;
        });
        const int width = i % 5 == 0 ? static_cast<int>(next(800)) : w;
        const int height = i % 7 == 0 ? static_cast<int>(next(14)) : h;
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) + " as " +
                     std::to_string(width) + " x " + std::to_string(height));
        const Bytes splb = logo::EncodeSplb(picture, width, height);
        const Bytes splc = logo::EncodeSplc(picture, width, height);
        const Bytes splbRecords = ReferenceRecords(picture, width, height, false);
        const Bytes splcRecords = ReferenceRecords(picture, width, height, true);
        ASSERT_EQ(After(splb, logo::kSplbHeaderSize), splbRecords);
        ASSERT_EQ(After(splc, logo::kSplcHeaderSize), splcRecords);
        logo::SplbHeader b;
        logo::SplcHeader c;
        ASSERT_TRUE(logo::ReadSplbHeader(splb, b));
        ASSERT_TRUE(logo::ReadSplcHeader(splc, c));
        EXPECT_EQ(b.recordCount, splbRecords.size() / 4);
        EXPECT_EQ(c.dataSize, splcRecords.size());
    }
}

Bytes SplcFile(uint8_t format, uint16_t width, uint16_t height, const Bytes& records,
               uint32_t dataSize) {
    Bytes f = {'S', 'p', 'l', 'c'};
    logo_test::Put16(f, width);
    logo_test::Put16(f, height);
    logo_test::Put32(f, dataSize);
    f.insert(f.end(), 8, 0xFF);
    f.insert(f.end(), 4, 0);
    f.push_back(format);
    f.push_back(1);
    f.insert(f.end(), 6, 0);
    f.insert(f.end(), records.begin(), records.end());
    return f;
}

TEST(SplcReader, Format2HasSixteenBitColour) {
    // 05 1F 00: five pixels of blue 0xF8; then a row end and 0xFFFF: white widened by shifting.
    const Bytes records = {5, 0x1F, 0x00, 0, 0, 0, 0, 3, 0xFF, 0xFF};
    const Bytes file = SplcFile(2, 4, 2, records, static_cast<uint32_t>(records.size()));
    logo::SplcHeader h;
    ASSERT_TRUE(logo::ReadSplcHeader(file, h));
    TBitmap picture(4, 2);
    logo::DrawSplc(file, picture, h);
    const TColor blue = RGB(0, 0, 0xF8);
    const TColor white = RGB(0xF8, 0xFC, 0xF8);
    EXPECT_EQ(picture.Pixels(),
              (std::vector<TColor>{blue, blue, blue, blue, blue, white, white, white}));
}

TEST(Readers, RefuseWrongMagicAndShortHeaders) {
    Bytes splb = logo::EncodeSplb(OneColour(1, 1, kWhite), 1, 1);
    logo::SplbHeader b;
    logo::SplcHeader c;
    EXPECT_FALSE(logo::ReadSplcHeader(splb, c));
    EXPECT_FALSE(logo::ReadSplbHeader(Bytes(splb.begin(), splb.begin() + 11), b));
    splb[3] = 'B';
    EXPECT_FALSE(logo::ReadSplbHeader(splb, b));
    EXPECT_FALSE(logo::ReadSplcHeader(Bytes(31, 'S'), c));
}

TEST(Readers, CountsPastTheEndStopAtTheEndKeepingWhatWasDrawn) {
    // SPLB: a record count far beyond the two records present.
    Bytes splb = {
        'S',  'p',  'l', 'b', 4,    0, 1, 0,    0xFF, 0xFF,
        0xFF, 0xFF, 0,   0,   0xFF, 2, 0, 0xFF, 0};  // one red run of 2, then a cut record
    logo::SplbHeader b;
    ASSERT_TRUE(logo::ReadSplbHeader(splb, b));
    TBitmap picture(4, 1);
    logo::DrawSplb(splb, picture, b);
    EXPECT_EQ(picture.Pixels(), (std::vector<TColor>{kRed, kRed, 0, 0}));

    // SPLC: a data size beyond the file and a record cut after its run byte.
    const Bytes splc = SplcFile(1, 4, 1, {2, 0, 0, 0xFF, 0, 3, 0xFF}, 0xFFFFFFFF);
    logo::SplcHeader c;
    ASSERT_TRUE(logo::ReadSplcHeader(splc, c));
    TBitmap picture2(4, 1);
    logo::DrawSplc(splc, picture2, c);
    EXPECT_EQ(picture2.Pixels(), (std::vector<TColor>{kRed, kRed, 0, 0}));
}

TEST(SplcReader, DataSizeLimitsTheRecordsRead) {
    const Bytes file = SplcFile(1, 3, 1, {1, 0, 0, 0xFF, 2, 0xFF, 0xFF, 0xFF}, 4);
    logo::SplcHeader c;
    ASSERT_TRUE(logo::ReadSplcHeader(file, c));
    TBitmap picture(3, 1);
    logo::DrawSplc(file, picture, c);
    EXPECT_EQ(picture.Pixels(), (std::vector<TColor>{kRed, 0, 0}));
}

TEST(SplbReader, WidthZeroInHeaderDoesNotSpin) {
    const Bytes file = {'S', 'p', 'l', 'b', 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3, 255};
    logo::SplbHeader b;
    ASSERT_TRUE(logo::ReadSplbHeader(file, b));
    TBitmap picture(2, 2);
    logo::DrawSplb(file, picture, b);  // x never wraps: only row 0 can be reached
    EXPECT_EQ(picture.Canvas().Pixel(1, 0), RGB(3, 2, 1));
    EXPECT_EQ(picture.Canvas().Pixel(0, 1), 0);
}

// ---- BI_RLE8 ----

const std::vector<TColor> kPalette = {RGB(0, 0, 0), RGB(0xFF, 0, 0), RGB(0, 0xFF, 0),
                                      RGB(0, 0, 0xFF)};

std::vector<TColor> DrawRle(int width, int height, const Bytes& data) {
    TBitmap picture(width, height);
    logo::DrawRle8(data, picture, kPalette);
    return picture.Pixels();
}

constexpr TColor R = RGB(0xFF, 0, 0);
constexpr TColor G = RGB(0, 0xFF, 0);
constexpr TColor B = RGB(0, 0, 0xFF);

TEST(DrawRle8, OddAbsoluteCountIsFollowedByOnePadByte) {
    // Bottom row: "0 5" with five indices and a pad byte, then a run of one green pixel.
    // Were the pad byte not skipped, the run would read as "0 1" (end of bitmap) + garbage.
    const Bytes odd = {0, 5, 1, 1, 1, 1, 1, 0, 1, 2, 0, 1};
    EXPECT_EQ(DrawRle(6, 1, odd), (std::vector<TColor>{R, R, R, R, R, G}));
    // "0 4" with four indices has no pad: the run follows at once.
    const Bytes even = {0, 4, 3, 3, 3, 3, 2, 2, 0, 1};
    EXPECT_EQ(DrawRle(6, 1, even), (std::vector<TColor>{B, B, B, B, G, G}));
}

TEST(DrawRle8, ItemsOfTheFormat) {
    struct Case {
        const char* name;
        int width, height;
        Bytes data;
        std::vector<TColor> pixels;  // top row first
    };
    const std::vector<Case> cases = {
        {"rows are stored bottom-up", 2, 2, {2, 1, 0, 0, 2, 2, 0, 1}, {G, G, R, R}},
        {"delta moves right and up", 3, 2, {1, 1, 0, 2, 1, 1, 1, 3, 0, 1}, {0, 0, B, R, 0, 0}},
        {"end of bitmap leaves the rest", 2, 2, {1, 1, 0, 1, 2, 2}, {0, 0, R, 0}},
        {"index beyond the palette is black", 2, 1, {2, 200}, {0, 0}},
        {"data used up keeps what was drawn", 3, 1, {0, 3, 1, 2}, {R, G, 0}},
        {"delta cut off stops", 2, 1, {1, 1, 0, 2, 1}, {R, 0}},
        {"runs past the right edge are dropped", 2, 2, {3, 1, 0, 0, 1, 2, 0, 1}, {G, 0, R, R}},
        // A row that has gone two past the edge ends by itself: the next run lands on the row
        // above without an end-of-row item.
        {"row ends itself past the edge", 2, 2, {4, 1, 1, 2}, {G, 0, R, R}},
        {"delta below the bottom stops", 2, 1, {0, 2, 0, 5, 1, 1}, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DrawRle(c.width, c.height, c.data), c.pixels);
    }
}

TEST(BmpHelpers, HeadersAndPalette) {
    const Bytes file = logo_test::MakeBmp({.width = 3,
                                           .height = 2,
                                           .bitCount = 8,
                                           .compression = 1,
                                           .palette = kPalette,
                                           .pixelData = {0, 1}});
    logo::BitmapFileHeader fh;
    logo::BitmapInfoHeader ih;
    ASSERT_TRUE(logo::ReadBmpHeaders(file, fh, ih));
    EXPECT_EQ(fh.bfOffBits, 54u + 16u);
    EXPECT_EQ(ih.biWidth, 3);
    EXPECT_EQ(ih.biHeight, 2);
    EXPECT_EQ(ih.biBitCount, 8);
    EXPECT_EQ(ih.biCompression, 1u);
    EXPECT_FALSE(logo::ReadBmpHeaders(Bytes(file.begin(), file.begin() + 53), fh, ih));
    EXPECT_EQ(ih.biWidth, 0);

    const Bytes entries = {1, 2, 3, 0, 4, 5, 6, 0, 7};
    EXPECT_EQ(logo::ConvertBmpPalette(entries, 2),
              (std::vector<TColor>{RGB(3, 2, 1), RGB(6, 5, 4)}));
    EXPECT_EQ(logo::ConvertBmpPalette(entries, 9).size(), 2u);  // never past the source
    EXPECT_TRUE(logo::ConvertBmpPalette(entries, 0).empty());
    EXPECT_TRUE(logo::ConvertBmpPalette(entries, -3).empty());
}

// ---- the file edge ----

class LogoFile : public ::testing::Test {
  protected:
    std::filesystem::path dir_ =
        std::filesystem::temp_directory_path() / ("logo_test_" + std::to_string(::getpid()));
    void SetUp() override { std::filesystem::create_directories(dir_); }
    void TearDown() override { std::filesystem::remove_all(dir_); }
};

TEST_F(LogoFile, WritesTheEncodedBytesReplacingAnOldFile) {
    const std::string name = (dir_ / logo::kSplcFileName).string();
    std::ofstream(name) << "an older and much longer file than the logo";
    const TBitmap picture = Sample(20, 5);
    logo::WriteSplcFile(picture, 20, 5, name);
    EXPECT_EQ(vcl::ReadWholeFile(name), logo::EncodeSplc(picture, 20, 5));
    logo::WriteSplbFile(picture, 20, 5, (dir_ / logo::kSplbFileName).string());
    EXPECT_EQ(vcl::ReadWholeFile((dir_ / logo::kSplbFileName).string()),
              logo::EncodeSplb(picture, 20, 5));
}

TEST_F(LogoFile, TooLargeSizeTouchesNoFile) {
    const std::string name = (dir_ / logo::kSplbFileName).string();
    EXPECT_THROW(logo::WriteSplbFile(OneColour(1, 1, kWhite), 70000, 1, name), logo::LogoSizeError);
    EXPECT_FALSE(std::filesystem::exists(name));
}

TEST(LogoFileWrite, FailedWriteIsAnError) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    EXPECT_THROW(logo::WriteLogoFile("/dev/full", Bytes(1 << 16, 1)), logo::LogoWriteError);
}

// Shows every box on stderr, so that the death test can see the text and caption.
class StderrBoxes : public vcl::MessageBoxBackend {
  public:
    int Show(const vcl::MessageRecord& box) override {
        std::cerr << "box[" << box.text << "|" << box.caption << "]" << std::endl;
        return vcl::idOK;
    }
};

TEST(LogoFileDeathTest, UncreatableFileEndsTheProgramWithItsMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            StderrBoxes boxes;
            vcl::SetMessageBoxBackend(&boxes);
            logo::WriteSplbFile(OneColour(1, 1, kWhite), 1, 1, "/nonexistent-folder/~_logo_.splb");
        },
        ::testing::ExitedWithCode(1), "box\\[Compressed file creation error!\\|File error\\]");
}

}  // namespace
