#pragma once
// Loading Windows bitmap files into a TBitmap. The loader works on a file image in memory;
// only LoadBmpFile touches the file system.
//
// Accepted: the 12-byte core header and the 40-byte information header with its later
// extensions (52, 56, 64, 108, 124 bytes); 1, 4 and 8 bit paletted, 8-bit RLE and 4-bit RLE,
// 16 bit (BI_RGB is 5-5-5, BI_BITFIELDS with any masks), 24 bit and 32 bit (BI_RGB or
// BI_BITFIELDS); bottom-up and, uncompressed, top-down rows.
//
// The bitmap keeps the file's pixel format: 1, 4, 8 bit → pf1bit, pf4bit, pf8bit with the
// file's palette; 16 bit 5-5-5 → pf15bit; 16 bit 5-6-5 → pf16bit; other 16-bit masks →
// pfCustom; 24 bit → pf24bit; 32 bit → pf32bit (pfCustom for masks other than 8-8-8).
// Channels narrower than 8 bits are widened by shifting, low bits zero.
// A pixel index beyond the palette is black. Pixels that RLE data skips or never reaches
// take palette entry 0; RLE data that ends early keeps what it had drawn.
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include "platform/vcl/core/Bitmap.h"

namespace vcl {

// A file that is not a bitmap we can read: wrong type, unsupported format, cut short.
class EInvalidGraphic : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

TBitmap LoadBmp(std::span<const uint8_t> file);

// Reads the whole file and decodes it; a file that cannot be read is an EInvalidGraphic too.
TBitmap LoadBmpFile(const std::string& path);

// Reads a whole file into memory; throws std::runtime_error when it cannot be read.
std::vector<uint8_t> ReadWholeFile(const std::string& path);

}  // namespace vcl
