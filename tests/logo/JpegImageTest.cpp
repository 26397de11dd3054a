#include "platform/vcl/core/JpegImage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "platform/vcl/core/BmpFile.h"
#include "tests/logo/Fixtures.h"

namespace {

using vcl::RGB;
using vcl::TColor;

// A picture of four flat blocks above a smooth gradient of far more than 256 colours.
vcl::TBitmap Picture() {
    return logo_test::MakePicture(64, 48, [](int x, int y) {
        if (y < 16) {
            return x < 32 ? RGB(200, 30, 30) : RGB(20, 40, 220);
        }
        return RGB(static_cast<uint8_t>(x * 4), static_cast<uint8_t>(y * 5),
                   static_cast<uint8_t>(255 - x * 2));
    });
}

int MaxChannelDifference(TColor a, TColor b) {
    return std::max({std::abs(vcl::GetRValue(a) - vcl::GetRValue(b)),
                     std::abs(vcl::GetGValue(a) - vcl::GetGValue(b)),
                     std::abs(vcl::GetBValue(a) - vcl::GetBValue(b))});
}

TEST(JpegImage, DecodesTo24BitColour) {
    const vcl::TBitmap original = Picture();
    vcl::TJPEGImage jpeg;
    jpeg.LoadFromBytes(logo_test::MakeJpeg(original, 100));
    EXPECT_EQ(jpeg.Width(), 64);
    EXPECT_EQ(jpeg.Height(), 48);
    const vcl::TBitmap& decoded = jpeg.Bitmap();
    EXPECT_EQ(decoded.PixelFormat(), vcl::pf24bit);
    ASSERT_EQ(decoded.Width(), 64);
    // Channels in the right order, rows in the right place: close to the original away from
    // the sharp edge between the blocks, where subsampled colour smears.
    int64_t total = 0;
    for (size_t i = 0; i < decoded.Pixels().size(); ++i) {
        total += MaxChannelDifference(decoded.Pixels()[i], original.Pixels()[i]);
    }
    EXPECT_LE(total / static_cast<int64_t>(decoded.Pixels().size()), 4);
    EXPECT_LE(MaxChannelDifference(decoded.Canvas().Pixel(8, 8), RGB(200, 30, 30)), 4);
    EXPECT_LE(MaxChannelDifference(decoded.Canvas().Pixel(50, 8), RGB(20, 40, 220)), 4);
    EXPECT_LE(MaxChannelDifference(decoded.Canvas().Pixel(40, 40), original.Canvas().Pixel(40, 40)),
              6);
}

TEST(JpegImage, DecodesToAPaletteOfAtMost256ColoursWithoutDithering) {
    vcl::TJPEGImage jpeg;
    jpeg.LoadFromBytes(logo_test::MakeJpeg(Picture(), 100));
    const vcl::TBitmap full = jpeg.Bitmap();
    jpeg.SetPixelFormat(vcl::jf8Bit);
    const vcl::TBitmap& reduced = jpeg.Bitmap();
    EXPECT_EQ(reduced.PixelFormat(), vcl::pf8bit);
    EXPECT_LE(reduced.Palette().size(), 256u);
    const std::set<TColor> colours(reduced.Pixels().begin(), reduced.Pixels().end());
    EXPECT_LE(colours.size(), 256u);
    for (TColor c : colours) {
        EXPECT_NE(std::find(reduced.Palette().begin(), reduced.Palette().end(), c),
                  reduced.Palette().end());
    }
    // Without dithering the inside of a flat block stays one colour.
    std::set<TColor> block;
    for (int y = 2; y < 14; ++y) {
        for (int x = 2; x < 30; ++x) {
            block.insert(reduced.Canvas().Pixel(x, y));
        }
    }
    EXPECT_EQ(block.size(), 1u);
    int worst = 0;
    for (size_t i = 0; i < full.Pixels().size(); ++i) {
        worst = std::max(worst, MaxChannelDifference(full.Pixels()[i], reduced.Pixels()[i]));
    }
    EXPECT_LE(worst, 40);
}

// Rows handed over while decoding are the rows of the picture returned, already reduced:
// the same picture as a whole decode followed by a format change.
TEST(JpegImage, RowsHandedOverAreThoseOfTheReducedPicture) {
    const auto file = logo_test::MakeJpeg(Picture(), 90);
    for (auto decoderFormat : {vcl::jf24Bit, vcl::jf8Bit}) {
        for (auto format : {vcl::pf24bit, vcl::pf16bit, vcl::pf15bit, vcl::pf8bit, vcl::pf4bit}) {
            SCOPED_TRACE(std::to_string(decoderFormat) + " to " + std::to_string(format));
            vcl::TJPEGImage jpeg;
            jpeg.SetPixelFormat(decoderFormat);
            jpeg.LoadFromBytes(file);
            vcl::TBitmap whole = jpeg.TakeBitmap();
            whole.SetPixelFormat(format);
            std::vector<TColor> rows;
            int nextRow = 0;
            const vcl::TBitmap decoded = jpeg.TakeBitmap(format, [&](int y, const TColor* row) {
                EXPECT_EQ(y, nextRow++);
                rows.insert(rows.end(), row, row + jpeg.Width());
            });
            EXPECT_EQ(decoded.PixelFormat(), whole.PixelFormat());
            EXPECT_EQ(decoded.Palette(), whole.Palette());
            EXPECT_EQ(decoded.Pixels(), whole.Pixels());
            EXPECT_EQ(rows, whole.Pixels());
        }
    }
}

TEST(JpegImage, GreyPicturesDecodeInBothFormats) {
    const vcl::TBitmap grey = logo_test::MakePicture(16, 8, [](int x, int) {
        return RGB(static_cast<uint8_t>(x * 16), static_cast<uint8_t>(x * 16),
                   static_cast<uint8_t>(x * 16));
    });
    // Made as colour, but the decoder must also take one-component files: make one.
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = 16;
    cinfo.image_height = 8;
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(16);
    while (cinfo.next_scanline < 8) {
        for (int x = 0; x < 16; ++x) {
            row[static_cast<size_t>(x)] = vcl::GetRValue(grey.Canvas().Pixel(x, 0));
        }
        JSAMPROW rows = row.data();
        jpeg_write_scanlines(&cinfo, &rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);

    vcl::TJPEGImage jpeg;
    jpeg.LoadFromBytes(bytes);
    for (auto format : {vcl::jf24Bit, vcl::jf8Bit}) {
        jpeg.SetPixelFormat(format);
        const TColor c = jpeg.Bitmap().Canvas().Pixel(8, 4);
        EXPECT_EQ(vcl::GetRValue(c), vcl::GetGValue(c));
        EXPECT_EQ(vcl::GetRValue(c), vcl::GetBValue(c));
        EXPECT_NEAR(vcl::GetRValue(c), 128, 6);
    }
}

TEST(JpegImage, DamagedOrMissingDataIsAnError) {
    vcl::TJPEGImage jpeg;
    EXPECT_THROW(jpeg.LoadFromBytes({}), vcl::EInvalidGraphic);
    EXPECT_THROW(jpeg.LoadFromBytes({0xFF, 0xD8, 0xFF}), vcl::EInvalidGraphic);
    EXPECT_THROW(jpeg.LoadFromBytes(std::vector<uint8_t>(100, 0x42)), vcl::EInvalidGraphic);
    EXPECT_THROW(jpeg.Bitmap(), vcl::EInvalidGraphic);
    EXPECT_THROW(jpeg.LoadFromFile("/nonexistent/x.jpg"), vcl::EInvalidGraphic);
    // A file cut inside its picture data decodes what it can; it is not a crash.
    auto bytes = logo_test::MakeJpeg(Picture());
    size_t scan = 0;
    while (scan + 1 < bytes.size() && !(bytes[scan] == 0xFF && bytes[scan + 1] == 0xDA)) {
        ++scan;
    }
    bytes.resize(scan + 40);
    jpeg.LoadFromBytes(bytes);
    EXPECT_EQ(jpeg.Bitmap().Width(), 64);
}

}  // namespace
