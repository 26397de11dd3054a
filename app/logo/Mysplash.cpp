#include "app/logo/Mysplash.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <iterator>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Records are gathered in a block that stays in cache and appended to the file image a
// block at a time: no per-record size check or reload of the vector's end.
class RecordWriter {
  public:
    explicit RecordWriter(std::vector<uint8_t>& out) : out_(out) {}
    void Put(uint32_t record) {
        *next_++ = record;
        if (next_ == std::end(block_)) [[unlikely]] {
            Flush();
        }
    }
    [[gnu::noinline]] void Flush() {
        const auto* bytes = reinterpret_cast<const uint8_t*>(block_);
        out_.insert(out_.end(), bytes, reinterpret_cast<const uint8_t*>(next_));
        count_ += static_cast<uint32_t>(next_ - block_);
        next_ = block_;
    }
    // Records written so far, those still in the block included.
    uint32_t Count() const { return count_ + static_cast<uint32_t>(next_ - block_); }

  private:
    std::vector<uint8_t>& out_;
    uint32_t block_[1024];
    uint32_t* next_ = block_;
    uint32_t count_ = 0;
};

// Records are built as 32-bit values whose memory order is the file's byte order; a
// colour value 0x00BBGGRR byte-swapped is red, green, blue from the top.
static_assert(std::endian::native == std::endian::little);

// Blue, green, red, run length.
uint32_t SplbRecord(TColor colour, uint32_t run) {
    return (__builtin_bswap32(static_cast<uint32_t>(colour)) >> 8) | (run << 24);
}
// Run length, blue, green, red.
uint32_t SplcRecord(TColor colour, uint32_t run) {
    return __builtin_bswap32(static_cast<uint32_t>(colour) & 0xFFFFFF) | run;
}

// A run of `length` (at least 1) pixels of one colour as records of at most kMaxRun pixels:
// the per-pixel rule (a pixel extends the run while it has the run's colour and the run is
// shorter than kMaxRun) cuts a run into full records and what remains. Called once a run,
// so the common short run stays inline.
template <uint32_t (*Record)(TColor, uint32_t)>
[[gnu::always_inline]] inline void PutRun(RecordWriter& out, TColor colour, int64_t length) {
    for (; length > kMaxRun; length -= kMaxRun) {
        out.Put(Record(colour, kMaxRun));
    }
    out.Put(Record(colour, static_cast<uint32_t>(length)));
}

// Bit i set where pixel i differs from pixel i - 1, for i in 0..count-1 (count at most 64);
// pixel -1 must be readable.
uint64_t ColourChanges(const TColor* pixels, int count) {
    uint64_t changes = 0;
    int i = 0;
#if defined(__SSE2__)
    for (; i + 4 <= count; i += 4) {
        const __m128i now = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + i));
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + i - 1));
        const int same = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(now, before)));
        changes |= static_cast<uint64_t>(~same & 0xF) << i;
    }
#endif
    for (; i < count; ++i) {
        changes |= static_cast<uint64_t>(pixels[i] != pixels[i - 1]) << i;
    }
    return changes;
}

// The run being gathered: its colour and how many pixels it has so far (not yet cut into
// records, so it may exceed kMaxRun).
struct OpenRun {
    TColor colour = 0;
    int64_t length = 0;
};

// Feeds `count` pixels to the open run; every run that ends among them is handed to
// put(colour, length). Runs are found a word of change bits at a time, so the cost goes
// with the number of runs rather than a branch per pixel.
template <typename Put>
void GatherRuns(const TColor* pixels, int count, OpenRun& run, Put put) {
    if (count <= 0) {
        return;
    }
    if (pixels[0] != run.colour) {
        if (run.length > 0) {
            put(run.colour, run.length);
        }
        run = OpenRun{pixels[0], 0};
    }
    int start = 0;  // where the open run begins among these pixels
    for (int base = 1; base < count; base += 64) {
        for (uint64_t changes = ColourChanges(pixels + base, std::min(64, count - base));
             changes != 0; changes &= changes - 1) {
            const int at = base + std::countr_zero(changes);
            put(run.colour, run.length + (at - start));
            run = OpenRun{pixels[at], 0};
            start = at;
        }
    }
    run.length += count - start;
}

// The same for `count` pixels of one colour.
template <typename Put>
void GatherSameColour(TColor colour, int count, OpenRun& run, Put put) {
    if (count <= 0) {
        return;
    }
    if (colour != run.colour) {
        if (run.length > 0) {
            put(run.colour, run.length);
        }
        run = OpenRun{colour, 0};
    }
    run.length += count;
}

// Row y of the width-wide logo area: the picture's pixels, black where the area reaches past
// the picture.
template <typename Put>
void GatherRow(const vcl::TBitmap& picture, int y, int width, OpenRun& run, Put put) {
    const int inside = y < picture.Height() ? std::min(width, picture.Width()) : 0;
    if (inside > 0) {
        GatherRuns(picture.ScanLine(y), inside, run, put);
    }
    GatherSameColour(TColor{0}, width - inside, run, put);
}

// Room for the records of a picture whose every pixel starts a run (and, for SPLC, every
// row's end record), so that encoding never moves what it has written. Bounded so that a
// huge, mostly black logo does not ask for memory it will not use.
void ReserveRecords(std::vector<uint8_t>& out, int width, int height) {
    constexpr uint64_t kMostReserved = uint64_t{64} << 20;
    const uint64_t worst = 4 * (static_cast<uint64_t>(width) + 1) * static_cast<uint64_t>(height);
    out.reserve(out.size() + static_cast<size_t>(std::min(worst, kMostReserved)));
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
    RecordWriter records(out);
    auto put = [&records](TColor colour, int64_t length) {
        PutRun<SplbRecord>(records, colour, length);
    };
    // Runs go on across row ends.
    OpenRun run;
    for (int y = 0; y < height; ++y) {
        GatherRow(picture, y, width, run, put);
    }
    if (run.length > 0) {
        put(run.colour, run.length);
    }
    records.Flush();
    Patch32(out, 8, records.Count());
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
    RecordWriter records(out);
    auto put = [&records](TColor colour, int64_t length) {
        PutRun<SplcRecord>(records, colour, length);
    };
    // A run never crosses a row end; every row's runs are followed by an all-zero record.
    // Rows without pixels share one: a row end is written before the next pixel, or at the
    // very end, and never twice in a row.
    if (width == 0) {
        if (height > 0) {
            records.Put(0);
        }
    } else {
        for (int y = 0; y < height; ++y) {
            OpenRun run;
            GatherRow(picture, y, width, run, put);
            put(run.colour, run.length);
            records.Put(0);
        }
    }
    records.Flush();
    Patch32(out, 8, records.Count() * 4);
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
