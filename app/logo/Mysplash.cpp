#include "app/logo/Mysplash.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/vcl/core/MessageBox.h"
#include "platform/vcl/core/Program.h"

namespace logo {
namespace {

using vcl::TColor;

constexpr uint8_t kSplbMagic[4] = {'S', 'p', 'l', 'b'};
constexpr uint8_t kSplcMagic[4] = {'S', 'p', 'l', 'c'};
// Stands in the count field until the records are counted.
constexpr uint32_t kPlaceholder = 0xDEADBEEF;

uint16_t U16(std::span<const uint8_t> d, size_t at) {
    return static_cast<uint16_t>(d[at] | (d[at + 1] << 8));
}
uint32_t U32(std::span<const uint8_t> d, size_t at) {
    return static_cast<uint32_t>(d[at]) | (static_cast<uint32_t>(d[at + 1]) << 8) |
           (static_cast<uint32_t>(d[at + 2]) << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void Patch32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

void CheckLogoSize(int width, int height) {
    if (width < 0 || height < 0 || width > kMaxLogoDimension || height > kMaxLogoDimension) {
        throw LogoSizeError("a logo of " + std::to_string(width) + " x " + std::to_string(height) +
                            " pixels does not fit the logo format (at most 65535 x 65535)");
    }
}

// Walks row y of the width × height logo area as runs of equal colour, left to right,
// calling take(colour, count) for each; pixels outside the picture are black.
template <typename Take>
void ForEachRun(const vcl::TBitmap& picture, int y, int width, Take take) {
    const int inside = y < picture.Height() ? std::min(width, picture.Width()) : 0;
    const TColor* row = inside > 0 ? picture.ScanLine(y) : nullptr;
    for (int x = 0; x < inside;) {
        const TColor colour = row[x];
        const int start = x;
        while (x < inside && row[x] == colour) {
            ++x;
        }
        take(colour, x - start);
    }
    if (inside < width) {
        take(TColor{0}, width - inside);
    }
}

// The run-length state both encoders share, fed a pixel or a run of pixels at a time.
// A pixel continues the current run while it has the run's colour, the run is shorter than
// kMaxRun and no row end is pending; otherwise the run is written (the pending row end
// after it) and the pixel starts a new one.
template <typename PutRecord, typename PutRowEnd>
class RunEncoder {
  public:
    RunEncoder(TColor first, PutRecord putRecord, PutRowEnd putRowEnd)
        : current_(first), putRecord_(putRecord), putRowEnd_(putRowEnd) {}

    // The same as `count` (at least 1) single pixels of `colour`.
    void Run(TColor colour, int count) {
        Pixel(colour);
        for (int left = count - 1; left > 0;) {
            if (run_ == kMaxRun) {
                Flush(colour);
                --left;
            } else {
                const int take = std::min(left, kMaxRun - run_);
                run_ += take;
                left -= take;
            }
        }
    }
    void EndRow() { rowEnded_ = true; }
    // Writes what is pending; true when a row end was pending.
    bool Finish() {
        if (run_ > 0) {
            putRecord_(current_, run_);
        }
        return rowEnded_;
    }

  private:
    void Pixel(TColor colour) {
        if (colour == current_ && run_ < kMaxRun && !rowEnded_) {
            ++run_;
        } else {
            Flush(colour);
        }
    }
    void Flush(TColor colour) {
        putRecord_(current_, run_);
        current_ = colour;
        run_ = 1;
        if (rowEnded_) {
            rowEnded_ = false;
            putRowEnd_();
        }
    }

    TColor current_;
    int run_ = 0;
    bool rowEnded_ = false;
    PutRecord putRecord_;
    PutRowEnd putRowEnd_;
};

void PutSplbRecord(std::vector<uint8_t>& out, TColor color, int run) {
    const uint8_t record[4] = {vcl::GetBValue(color), vcl::GetGValue(color), vcl::GetRValue(color),
                               static_cast<uint8_t>(run)};
    out.insert(out.end(), record, record + 4);
}

void PutSplcRecord(std::vector<uint8_t>& out, TColor color, int run) {
    const uint8_t record[4] = {static_cast<uint8_t>(run), vcl::GetBValue(color),
                               vcl::GetGValue(color), vcl::GetRValue(color)};
    out.insert(out.end(), record, record + 4);
}

// Room for the records of a picture whose every pixel starts a run (and, for SPLC, every
// row's end record), so that encoding never moves what it has written. Bounded so that a
// huge, mostly black logo does not ask for memory it will not use.
void ReserveRecords(std::vector<uint8_t>& out, int width, int height) {
    constexpr uint64_t kMostReserved = uint64_t{64} << 20;
    const uint64_t worst = 4 * (static_cast<uint64_t>(width) + 1) * static_cast<uint64_t>(height);
    out.reserve(out.size() + static_cast<size_t>(std::min(worst, kMostReserved)));
}

void PutRowEnd(std::vector<uint8_t>& out) {
    out.insert(out.end(), 4, 0);
}

// Places runs of pixels in row-major order: x wraps at the width the file names. Stops once
// nothing more can land in the picture, so damaged counts cannot make it spin.
class RunPainter {
  public:
    RunPainter(vcl::TBitmap& picture, int width) : picture_(picture), width_(width) {}
    bool Done() const { return y_ >= picture_.Height() || (width_ == 0 && x_ >= picture_.Width()); }
    void Paint(TColor color, int run) {
        for (int i = 0; i < run && !Done(); ++i) {
            picture_.Canvas().SetPixel(static_cast<int>(x_), static_cast<int>(y_), color);
            if (++x_ == width_) {
                x_ = 0;
                ++y_;
            }
        }
    }

  private:
    vcl::TBitmap& picture_;
    int64_t width_;
    int64_t x_ = 0;
    int64_t y_ = 0;
};

}  // namespace

std::vector<uint8_t> EncodeSplb(const vcl::TBitmap& picture, int width, int height) {
    CheckLogoSize(width, height);
    std::vector<uint8_t> out(kSplbMagic, kSplbMagic + 4);
    Put16(out, static_cast<uint32_t>(width));
    Put16(out, static_cast<uint32_t>(height));
    Put32(out, kPlaceholder);
    ReserveRecords(out, width, height);
    uint32_t records = 0;
    RunEncoder encoder(
        picture.Canvas().Pixel(0, 0),
        [&](TColor colour, int run) {
            PutSplbRecord(out, colour, run);
            ++records;
        },
        [] {});
    for (int y = 0; y < height; ++y) {
        ForEachRun(picture, y, width,
                   [&](TColor colour, int count) { encoder.Run(colour, count); });
    }
    encoder.Finish();
    Patch32(out, 8, records);
    return out;
}

std::vector<uint8_t> EncodeSplc(const vcl::TBitmap& picture, int width, int height) {
    CheckLogoSize(width, height);
    std::vector<uint8_t> out(kSplcMagic, kSplcMagic + 4);
    Put16(out, static_cast<uint32_t>(width));
    Put16(out, static_cast<uint32_t>(height));
    Put32(out, kPlaceholder);
    Put32(out, 0xFFFFFFFF);
    Put32(out, 0xFFFFFFFF);
    Put32(out, 0);
    out.push_back(1);  // record format: 4-byte colour records
    out.push_back(1);
    out.insert(out.end(), 6, 0);
    ReserveRecords(out, width, height);
    uint32_t records = 0;
    auto rowEnd = [&] {
        PutRowEnd(out);
        ++records;
    };
    RunEncoder encoder(
        picture.Canvas().Pixel(0, 0),
        [&](TColor colour, int run) {
            PutSplcRecord(out, colour, run);
            ++records;
        },
        rowEnd);
    // A run never crosses a row end: the previous row's last run is written at the first
    // pixel of the next row, then that row's end record follows.
    for (int y = 0; y < height; ++y) {
        ForEachRun(picture, y, width,
                   [&](TColor colour, int count) { encoder.Run(colour, count); });
        encoder.EndRow();
    }
    if (encoder.Finish()) {
        rowEnd();
    }
    Patch32(out, 8, records * 4);
    return out;
}

void WriteLogoFile(const std::string& fileName, std::span<const uint8_t> bytes) {
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (file == nullptr) {
        vcl::MessageBox("Compressed file creation error!", "File error", vcl::mbOK);
        vcl::Halt(1);
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        throw LogoWriteError("the logo file " + fileName + " could not be written completely");
    }
}

void WriteSplbFile(const vcl::TBitmap& picture, int width, int height,
                   const std::string& fileName) {
    WriteLogoFile(fileName, EncodeSplb(picture, width, height));
}

void WriteSplcFile(const vcl::TBitmap& picture, int width, int height,
                   const std::string& fileName) {
    WriteLogoFile(fileName, EncodeSplc(picture, width, height));
}

bool ReadBmpHeaders(std::span<const uint8_t> data, BitmapFileHeader& fileHeader,
                    BitmapInfoHeader& infoHeader) {
    fileHeader = BitmapFileHeader{};
    infoHeader = BitmapInfoHeader{};
    if (data.size() < kBmpHeadersSize) {
        return false;
    }
    fileHeader.bfType = U16(data, 0);
    fileHeader.bfSize = U32(data, 2);
    fileHeader.bfReserved1 = U16(data, 6);
    fileHeader.bfReserved2 = U16(data, 8);
    fileHeader.bfOffBits = U32(data, 10);
    infoHeader.biSize = U32(data, 14);
    infoHeader.biWidth = static_cast<int32_t>(U32(data, 18));
    infoHeader.biHeight = static_cast<int32_t>(U32(data, 22));
    infoHeader.biPlanes = U16(data, 26);
    infoHeader.biBitCount = U16(data, 28);
    infoHeader.biCompression = U32(data, 30);
    infoHeader.biSizeImage = U32(data, 34);
    infoHeader.biXPelsPerMeter = static_cast<int32_t>(U32(data, 38));
    infoHeader.biYPelsPerMeter = static_cast<int32_t>(U32(data, 42));
    infoHeader.biClrUsed = U32(data, 46);
    infoHeader.biClrImportant = U32(data, 50);
    return fileHeader.bfType == kBitmapType;
}

std::vector<TColor> ConvertBmpPalette(std::span<const uint8_t> source, int count) {
    std::vector<TColor> palette;
    if (count <= 0) {
        return palette;
    }
    const size_t entries = std::min(static_cast<size_t>(count), source.size() / 4);
    for (size_t i = 0; i < entries; ++i) {
        palette.push_back(vcl::RGB(source[4 * i + 2], source[4 * i + 1], source[4 * i]));
    }
    return palette;
}

void DrawRle8(std::span<const uint8_t> pixelData, vcl::TBitmap& picture,
              std::span<const TColor> palette) {
    const int width = picture.Width();
    auto color = [&](uint8_t index) { return index < palette.size() ? palette[index] : 0; };
    vcl::TCanvas& canvas = picture.Canvas();
    size_t pos = 0;
    const size_t size = pixelData.size();
    for (int y = picture.Height() - 1; y >= 0; --y) {
        int x = 0;
        bool rowEnd = false;
        while (!rowEnd) {
            if (pos + 2 > size) {
                return;  // the pixel data are used up
            }
            const uint8_t first = pixelData[pos];
            const uint8_t second = pixelData[pos + 1];
            pos += 2;
            if (first > 0) {
                for (int i = 0; i < first; ++i) {
                    canvas.SetPixel(x++, y, color(second));
                }
            } else if (second == 0) {
                rowEnd = true;
            } else if (second == 1) {
                return;
            } else if (second == 2) {
                if (pos + 2 > size) {
                    return;
                }
                x += pixelData[pos];
                y -= pixelData[pos + 1];
                pos += 2;
                if (y < 0) {
                    return;  // nothing below the bottom row can be drawn
                }
            } else {
                for (int i = 0; i < second; ++i) {
                    if (pos >= size) {
                        return;
                    }
                    canvas.SetPixel(x++, y, color(pixelData[pos++]));
                }
                pos += second & 1;  // an odd count is followed by one pad byte
            }
            // A row that runs past the right edge ends as if an end-of-row item came.
            if (x - 1 > width) {
                rowEnd = true;
            }
        }
    }
}

bool ReadSplbHeader(std::span<const uint8_t> data, SplbHeader& header) {
    header = SplbHeader{};
    if (data.size() < kSplbHeaderSize) {
        return false;
    }
    std::memcpy(header.magic, data.data(), 4);
    header.width = U16(data, 4);
    header.height = U16(data, 6);
    header.recordCount = U32(data, 8);
    return std::memcmp(header.magic, kSplbMagic, 4) == 0;
}

bool ReadSplcHeader(std::span<const uint8_t> data, SplcHeader& header) {
    header = SplcHeader{};
    if (data.size() < kSplcHeaderSize) {
        return false;
    }
    std::memcpy(header.magic, data.data(), 4);
    header.width = U16(data, 4);
    header.height = U16(data, 6);
    header.dataSize = U32(data, 8);
    header.reserved1 = U32(data, 12);
    header.reserved2 = U32(data, 16);
    header.reserved3 = U32(data, 20);
    header.recordFormat = data[24];
    header.reserved4 = data[25];
    std::memcpy(header.reserved5, data.data() + 26, 6);
    return std::memcmp(header.magic, kSplcMagic, 4) == 0;
}

void DrawSplb(std::span<const uint8_t> data, vcl::TBitmap& picture, const SplbHeader& header) {
    if (data.size() < kSplbHeaderSize) {
        return;
    }
    const size_t records =
        std::min<size_t>(header.recordCount, (data.size() - kSplbHeaderSize) / 4);
    RunPainter painter(picture, header.width);
    for (size_t i = 0; i < records && !painter.Done(); ++i) {
        const size_t at = kSplbHeaderSize + 4 * i;
        painter.Paint(vcl::RGB(data[at + 2], data[at + 1], data[at]), data[at + 3]);
    }
}

void DrawSplc(std::span<const uint8_t> data, vcl::TBitmap& picture, const SplcHeader& header) {
    const bool highColor = header.recordFormat == 2;
    const size_t colorBytes = highColor ? 2 : 3;
    RunPainter painter(picture, header.width);
    size_t pos = kSplcHeaderSize;
    uint64_t consumed = 0;
    while (consumed < header.dataSize && pos < data.size() && !painter.Done()) {
        const uint8_t run = data[pos];
        if (run == 0) {
            ++pos;
            ++consumed;
            continue;
        }
        if (pos + 1 + colorBytes > data.size()) {
            return;  // a record cut off by the end of the file
        }
        TColor color;
        if (highColor) {
            // 5-6-5 widened by shifting; the low bits stay zero.
            const uint16_t v = U16(data, pos + 1);
            color = vcl::RGB(static_cast<uint8_t>((v >> 11) << 3),
                             static_cast<uint8_t>(((v >> 5) & 0x3F) << 2),
                             static_cast<uint8_t>((v & 0x1F) << 3));
        } else {
            color = vcl::RGB(data[pos + 3], data[pos + 2], data[pos + 1]);
        }
        pos += 1 + colorBytes;
        consumed += 1 + colorBytes;
        painter.Paint(color, run);
    }
}

}  // namespace logo
