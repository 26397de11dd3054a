#pragma once
// Small pictures and the files made from them, built in the tests themselves.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "platform/vcl/core/Bitmap.h"

namespace logo_test {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A bitmap file: the caller gives the header fields, the palette and the pixel data as they
// are to appear in the file; the builder lays out headers, masks and offsets.
struct BmpSpec {
    int32_t width = 0;
    int32_t height = 0;  // negative: top-down
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t headerSize = 40;          // 12, 40, 108 or 124
    std::vector<vcl::TColor> palette;  // written as blue, green, red, 0
    uint32_t colorsUsed = 0;
    std::vector<uint32_t> masks;  // red, green, blue (BI_BITFIELDS)
    Bytes pixelData;
};

inline Bytes MakeBmp(const BmpSpec& s) {
    Bytes header;
    Put32(header, s.headerSize);
    if (s.headerSize == 12) {
        Put16(header, static_cast<uint32_t>(s.width));
        Put16(header, static_cast<uint32_t>(s.height));
        Put16(header, 1);
        Put16(header, s.bitCount);
    } else {
        Put32(header, static_cast<uint32_t>(s.width));
        Put32(header, static_cast<uint32_t>(s.height));
        Put16(header, 1);
        Put16(header, s.bitCount);
        Put32(header, s.compression);
        Put32(header, static_cast<uint32_t>(s.pixelData.size()));
        Put32(header, 2835);
        Put32(header, 2835);
        Put32(header, s.colorsUsed);
        Put32(header, 0);
        std::vector<uint32_t> masks = s.masks;
        if (s.headerSize > 40) {
            masks.resize(4, 0);  // red, green, blue, alpha inside the header
        }
        for (uint32_t m : masks) {
            Put32(header, m);
        }
        const size_t total = s.headerSize + (s.headerSize == 40 ? masks.size() * 4 : 0);
        header.resize(total, 0);
    }
    Bytes palette;
    for (vcl::TColor c : s.palette) {
        palette.push_back(vcl::GetBValue(c));
        palette.push_back(vcl::GetGValue(c));
        palette.push_back(vcl::GetRValue(c));
        if (s.headerSize != 12) {
            palette.push_back(0);
        }
    }
    const uint32_t offset = static_cast<uint32_t>(14 + header.size() + palette.size());
    Bytes file = {'B', 'M'};
    Put32(file, static_cast<uint32_t>(offset + s.pixelData.size()));
    Put32(file, 0);
    Put32(file, offset);
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), palette.begin(), palette.end());
    file.insert(file.end(), s.pixelData.begin(), s.pixelData.end());
    return file;
}

// Every pixel of a bitmap, row after row from the top.
inline std::vector<vcl::TColor> PixelsOf(const vcl::TBitmap& b) {
    return b.Pixels();
}

// A picture from a function of (x, y).
template <typename F>
vcl::TBitmap MakePicture(int width, int height, F color) {
    vcl::TBitmap b(width, height, vcl::pf24bit);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            b.Canvas().SetPixel(x, y, color(x, y));
        }
    }
    return b;
}

// Compresses a 24-bit picture with libjpeg (baseline, 4:2:0 unless `quality` is 100).
inline Bytes MakeJpeg(const vcl::TBitmap& picture, int quality = 90) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(picture.Width());
    cinfo.image_height = static_cast<JDIMENSION>(picture.Height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(picture.Width()) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const vcl::TColor* in = picture.ScanLine(static_cast<int>(cinfo.next_scanline));
        for (int x = 0; x < picture.Width(); ++x) {
            row[3 * x] = vcl::GetRValue(in[x]);
            row[3 * x + 1] = vcl::GetGValue(in[x]);
            row[3 * x + 2] = vcl::GetBValue(in[x]);
        }
        JSAMPROW rows = row.data();
        jpeg_write_scanlines(&cinfo, &rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

}  // namespace logo_test
