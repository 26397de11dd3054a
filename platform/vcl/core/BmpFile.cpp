#include "platform/vcl/core/BmpFile.h"

#include <bit>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

namespace vcl {
namespace {

constexpr uint32_t kRgb = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitfields = 3;
constexpr uint32_t kAlphaBitfields = 6;

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kCoreHeaderSize = 12;
constexpr size_t kInfoHeaderSize = 40;

uint16_t U16(std::span<const uint8_t> d, size_t at) {
    return static_cast<uint16_t>(d[at] | (d[at + 1] << 8));
}
uint32_t U32(std::span<const uint8_t> d, size_t at) {
    return static_cast<uint32_t>(d[at]) | (static_cast<uint32_t>(d[at + 1]) << 8) |
           (static_cast<uint32_t>(d[at + 2]) << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}

// One channel of a BI_BITFIELDS pixel, widened or narrowed to 8 bits by shifting.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(uint32_t m = 0) : mask(m) {
        if (m != 0) {
            shift = std::countr_zero(m);
            bits = std::popcount(m >> shift);
        }
    }
    uint8_t Read(uint32_t pixel) const {
        if (bits == 0) {
            return 0;
        }
        const uint32_t value = (pixel & mask) >> shift;
        return static_cast<uint8_t>(bits >= 8 ? value >> (bits - 8) : value << (8 - bits));
    }
};

struct Header {
    uint32_t dataOffset = 0;
    bool core = false;
    size_t headerSize = 0;
    int64_t width = 0;
    int64_t height = 0;  // as stored: negative for top-down rows
    int bitCount = 0;
    uint32_t compression = kRgb;
    uint32_t colorsUsed = 0;
    Channel red, green, blue;
    size_t paletteOffset = 0;
};

Header ReadHeader(std::span<const uint8_t> file) {
    if (file.size() < kFileHeaderSize + 4 || file[0] != 'B' || file[1] != 'M') {
        throw EInvalidGraphic("not a bitmap file");
    }
    Header h;
    h.dataOffset = U32(file, 10);
    h.headerSize = U32(file, kFileHeaderSize);
    if (h.headerSize != kCoreHeaderSize &&
        (h.headerSize < kInfoHeaderSize || h.headerSize > 1024)) {
        throw EInvalidGraphic("unsupported bitmap header");
    }
    if (file.size() < kFileHeaderSize + h.headerSize) {
        throw EInvalidGraphic("bitmap header cut short");
    }
    const size_t at = kFileHeaderSize;
    if (h.headerSize == kCoreHeaderSize) {
        h.core = true;
        h.width = U16(file, at + 4);
        h.height = U16(file, at + 6);
        h.bitCount = U16(file, at + 10);
    } else {
        h.width = static_cast<int32_t>(U32(file, at + 4));
        h.height = static_cast<int32_t>(U32(file, at + 8));
        h.bitCount = U16(file, at + 14);
        h.compression = U32(file, at + 16);
        h.colorsUsed = U32(file, at + 32);
    }
    h.paletteOffset = kFileHeaderSize + h.headerSize;
    if (h.compression == kBitfields || h.compression == kAlphaBitfields) {
        const size_t masksAt = at + kInfoHeaderSize;
        if (h.headerSize == kInfoHeaderSize) {
            // The masks follow a plain information header; the later headers hold them.
            h.paletteOffset += h.compression == kBitfields ? 12 : 16;
        }
        if (file.size() < masksAt + 12) {
            throw EInvalidGraphic("bitmap colour masks cut short");
        }
        h.red = Channel(U32(file, masksAt));
        h.green = Channel(U32(file, masksAt + 4));
        h.blue = Channel(U32(file, masksAt + 8));
    } else if (h.bitCount == 16) {
        h.red = Channel(0x7C00);
        h.green = Channel(0x03E0);
        h.blue = Channel(0x001F);
    } else if (h.bitCount == 32) {
        h.red = Channel(0xFF0000);
        h.green = Channel(0xFF00);
        h.blue = Channel(0xFF);
    }
    return h;
}

void CheckFormat(const Header& h) {
    const bool supported =
        (h.compression == kRgb && (h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 ||
                                   h.bitCount == 16 || h.bitCount == 24 || h.bitCount == 32)) ||
        (h.compression == kRle8 && h.bitCount == 8) ||
        (h.compression == kRle4 && h.bitCount == 4) ||
        ((h.compression == kBitfields || h.compression == kAlphaBitfields) &&
         (h.bitCount == 16 || h.bitCount == 32));
    if (!supported) {
        throw EInvalidGraphic("unsupported bitmap format");
    }
    if (h.width <= 0 || h.height == 0 || h.height == std::numeric_limits<int32_t>::min()) {
        throw EInvalidGraphic("invalid bitmap size");
    }
    if ((h.compression == kRle8 || h.compression == kRle4) && h.height < 0) {
        throw EInvalidGraphic("compressed bitmaps are stored bottom-up");
    }
    if (h.width * (h.height < 0 ? -h.height : h.height) > TBitmap::kMaxPixels) {
        throw EInvalidGraphic("bitmap too large");
    }
}

TPixelFormat FormatOf(const Header& h) {
    switch (h.bitCount) {
        case 1:
            return pf1bit;
        case 4:
            return pf4bit;
        case 8:
            return pf8bit;
        case 16:
            if (h.red.mask == 0x7C00 && h.green.mask == 0x03E0 && h.blue.mask == 0x001F) {
                return pf15bit;
            }
            if (h.red.mask == 0xF800 && h.green.mask == 0x07E0 && h.blue.mask == 0x001F) {
                return pf16bit;
            }
            return pfCustom;
        case 24:
            return pf24bit;
        default:
            return h.red.mask == 0xFF0000 && h.green.mask == 0xFF00 && h.blue.mask == 0xFF
                       ? pf32bit
                       : pfCustom;
    }
}

std::vector<TColor> ReadPalette(std::span<const uint8_t> file, const Header& h) {
    if (h.bitCount > 8) {
        return {};
    }
    const size_t room = size_t{1} << h.bitCount;
    size_t count = h.colorsUsed == 0 || h.colorsUsed > room ? room : h.colorsUsed;
    const size_t entrySize = h.core ? 3 : 4;
    const size_t available =
        file.size() > h.paletteOffset ? (file.size() - h.paletteOffset) / entrySize : 0;
    count = std::min(count, available);
    std::vector<TColor> palette;
    for (size_t i = 0; i < count; ++i) {
        const size_t at = h.paletteOffset + i * entrySize;
        palette.push_back(RGB(file[at + 2], file[at + 1], file[at]));
    }
    return palette;
}

TColor Entry(const std::vector<TColor>& palette, unsigned index) {
    return index < palette.size() ? palette[index] : clBlack;
}

std::span<const uint8_t> PixelData(std::span<const uint8_t> file, const Header& h) {
    if (h.dataOffset > file.size()) {
        throw EInvalidGraphic("bitmap pixel data missing");
    }
    return file.subspan(h.dataOffset);
}

std::vector<TColor> DecodeRows(std::span<const uint8_t> data, const Header& h,
                               const std::vector<TColor>& palette) {
    const int width = static_cast<int>(h.width);
    const int height = static_cast<int>(h.height < 0 ? -h.height : h.height);
    const size_t stride = ((static_cast<size_t>(width) * h.bitCount + 31) / 32) * 4;
    const size_t lastRow = (static_cast<size_t>(width) * h.bitCount + 7) / 8;
    if (data.size() < static_cast<size_t>(height - 1) * stride + lastRow) {
        throw EInvalidGraphic("bitmap pixel data cut short");
    }
    std::vector<TColor> pixels(static_cast<size_t>(width) * height);
    for (int row = 0; row < height; ++row) {
        const uint8_t* in = data.data() + static_cast<size_t>(row) * stride;
        const int y = h.height < 0 ? row : height - 1 - row;
        TColor* out = pixels.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            switch (h.bitCount) {
                case 1:
                    out[x] = Entry(palette, (in[x / 8] >> (7 - x % 8)) & 1);
                    break;
                case 4:
                    out[x] = Entry(palette, x % 2 == 0 ? in[x / 2] >> 4 : in[x / 2] & 15);
                    break;
                case 8:
                    out[x] = Entry(palette, in[x]);
                    break;
                case 16: {
                    const uint32_t v = in[2 * x] | (in[2 * x + 1] << 8);
                    out[x] = RGB(h.red.Read(v), h.green.Read(v), h.blue.Read(v));
                    break;
                }
                case 24:
                    out[x] = RGB(in[3 * x + 2], in[3 * x + 1], in[3 * x]);
                    break;
                default: {
                    const uint32_t v = in[4 * x] | (in[4 * x + 1] << 8) | (in[4 * x + 2] << 16) |
                                       (static_cast<uint32_t>(in[4 * x + 3]) << 24);
                    out[x] = RGB(h.red.Read(v), h.green.Read(v), h.blue.Read(v));
                    break;
                }
            }
        }
    }
    return pixels;
}

// Run-length data of 8 or 4 bits per index, bottom-up. Runs and absolute blocks that pass
// the right edge are clipped; data that ends early ends the picture.
std::vector<TColor> DecodeRle(std::span<const uint8_t> data, const Header& h,
                              const std::vector<TColor>& palette) {
    const int64_t width = h.width;
    const int64_t height = h.height;
    std::vector<TColor> pixels(static_cast<size_t>(width * height), Entry(palette, 0));
    const bool four = h.compression == kRle4;
    auto put = [&](int64_t x, int64_t y, unsigned index) {
        if (x >= 0 && x < width && y >= 0 && y < height) {
            pixels[static_cast<size_t>((height - 1 - y) * width + x)] = Entry(palette, index);
        }
    };
    int64_t x = 0;
    int64_t y = 0;  // counted from the bottom row
    size_t pos = 0;
    while (pos + 2 <= data.size() && y < height) {
        const unsigned count = data[pos];
        const unsigned value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i, ++x) {
                put(x, y, four ? (i % 2 == 0 ? value >> 4 : value & 15) : value);
            }
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (pos + 2 > data.size()) {
                break;
            }
            x += data[pos];
            y += data[pos + 1];
            pos += 2;
        } else {
            const size_t bytes = four ? (value + 1) / 2 : value;
            if (pos + bytes > data.size()) {
                break;
            }
            for (unsigned i = 0; i < value; ++i, ++x) {
                const uint8_t b = data[pos + (four ? i / 2 : i)];
                put(x, y, four ? (i % 2 == 0 ? b >> 4 : b & 15) : b);
            }
            pos += bytes + (bytes & 1);  // absolute blocks end on a 16-bit boundary
        }
    }
    return pixels;
}

}  // namespace

TBitmap LoadBmp(std::span<const uint8_t> file) {
    const Header h = ReadHeader(file);
    CheckFormat(h);
    const std::vector<TColor> palette = ReadPalette(file, h);
    const std::span<const uint8_t> data = PixelData(file, h);
    std::vector<TColor> pixels = h.compression == kRle8 || h.compression == kRle4
                                     ? DecodeRle(data, h, palette)
                                     : DecodeRows(data, h, palette);
    TBitmap bitmap;
    bitmap.SetPixelFormat(FormatOf(h));
    bitmap.SetSize(static_cast<int>(h.width),
                   static_cast<int>(h.height < 0 ? -h.height : h.height));
    bitmap.SetPalette(palette);
    bitmap.AssignPixels(std::move(pixels));
    return bitmap;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot open " + path);
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (in.bad()) {
        throw std::runtime_error("cannot read " + path);
    }
    return bytes;
}

TBitmap LoadBmpFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    try {
        bytes = ReadWholeFile(path);
    } catch (const std::runtime_error& e) {
        throw EInvalidGraphic(e.what());
    }
    return LoadBmp(bytes);
}

}  // namespace vcl
