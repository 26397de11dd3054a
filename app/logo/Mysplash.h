#pragma once
// The projector's splash logo formats: SPLB and SPLC run-length files with their encoders and
// readers, and the reader of run-length encoded 8-bit bitmaps (BI_RLE8) used by the preview.
//
// Encoders and readers work on bytes and bitmaps; only WriteSplbFile, WriteSplcFile and
// WriteLogoFile touch the file system. Readers take the whole file image and never read past
// its end: a record count, data size or escape that points past the end stops the drawing
// there, with the pixels drawn so far kept.
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/vcl/core/Bitmap.h"

namespace logo {

// The largest run of one colour in a record.
constexpr int kMaxRun = 255;
// Width and height are 16-bit fields in both formats.
constexpr int kMaxLogoDimension = 65535;

constexpr const char* kSplbFileName = "~_logo_.splb";
constexpr const char* kSplcFileName = "~_logo_.splc";

constexpr size_t kSplbHeaderSize = 12;
constexpr size_t kSplcHeaderSize = 32;

// The first 14 bytes of a Windows bitmap file.
struct BitmapFileHeader {
    uint16_t bfType = 0;
    uint32_t bfSize = 0;
    uint16_t bfReserved1 = 0;
    uint16_t bfReserved2 = 0;
    uint32_t bfOffBits = 0;
};

// The 40-byte information header that follows it.
struct BitmapInfoHeader {
    uint32_t biSize = 0;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 0;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

constexpr uint16_t kBitmapType = 0x4D42;  // "BM"
constexpr uint32_t kBiRle8 = 1;
constexpr size_t kBmpHeadersSize = 54;

struct SplbHeader {
    uint8_t magic[4] = {};
    uint16_t width = 0;
    uint16_t height = 0;
    uint32_t recordCount = 0;
};

struct SplcHeader {
    uint8_t magic[4] = {};
    uint16_t width = 0;
    uint16_t height = 0;
    uint32_t dataSize = 0;
    uint32_t reserved1 = 0;
    uint32_t reserved2 = 0;
    uint32_t reserved3 = 0;
    uint8_t recordFormat = 0;  // 1: 4-byte colour records; 2: 3-byte records, 16-bit colour
    uint8_t reserved4 = 0;
    uint8_t reserved5[6] = {};
};

// A logo size that the 16-bit width and height fields cannot hold (or a negative one).
class LogoSizeError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// A logo file that could be created but not completely written.
class LogoWriteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Encode the top-left width × height pixels of `picture`; pixels outside the picture encode
// as black. Throw LogoSizeError for a width or height outside 0..65535.
std::vector<uint8_t> EncodeSplb(const vcl::TBitmap& picture, int width, int height);
std::vector<uint8_t> EncodeSplc(const vcl::TBitmap& picture, int width, int height);

// Encode and write the logo file, replacing an old one. A file that cannot be created shows
// "Compressed file creation error!" / "File error" and ends the program with exit code 1.
// A size the format cannot hold throws LogoSizeError before any file is touched; a write
// that fails after creation throws LogoWriteError (the caller must not flash a cut file).
void WriteSplbFile(const vcl::TBitmap& picture, int width, int height, const std::string& fileName);
void WriteSplcFile(const vcl::TBitmap& picture, int width, int height, const std::string& fileName);
// The file edge of both encoders.
void WriteLogoFile(const std::string& fileName, std::span<const uint8_t> bytes);

// Copies the two bitmap headers from the file image; true when the type is "BM". A file image
// shorter than both headers gives false and zeroed headers.
bool ReadBmpHeaders(std::span<const uint8_t> data, BitmapFileHeader& fileHeader,
                    BitmapInfoHeader& infoHeader);

// Converts `count` 4-byte entries (blue, green, red, reserved) into colour values. A count of
// zero or less converts nothing; entries beyond the end of `source` are not read.
std::vector<vcl::TColor> ConvertBmpPalette(std::span<const uint8_t> source, int count);

// Draws BI_RLE8 pixel data into `picture`, already sized to the bitmap. Indices beyond the
// palette draw black.
void DrawRle8(std::span<const uint8_t> pixelData, vcl::TBitmap& picture,
              std::span<const vcl::TColor> palette);

// Copy the header from the file image; true when the magic is "Splb" / "Splc". A file image
// shorter than the header gives false.
bool ReadSplbHeader(std::span<const uint8_t> data, SplbHeader& header);
bool ReadSplcHeader(std::span<const uint8_t> data, SplcHeader& header);

// Draw the records of the whole file image `data` (header included) into `picture`.
void DrawSplb(std::span<const uint8_t> data, vcl::TBitmap& picture, const SplbHeader& header);
void DrawSplc(std::span<const uint8_t> data, vcl::TBitmap& picture, const SplcHeader& header);

}  // namespace logo
