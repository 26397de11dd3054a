#include "platform/vcl/core/Bitmap.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

namespace vcl {
namespace {

// 16-bit colour keeps 5 bits of red and blue and 6 (or 5) of green; reading widens each
// channel by shifting, so the low bits are zero.
TColor Reduce565(TColor c) {
    return c & RGB(0xF8, 0xFC, 0xF8);
}
TColor Reduce555(TColor c) {
    return c & RGB(0xF8, 0xF8, 0xF8);
}

// The bits a colour keeps in a format that stores colours directly; 0 for the indexed
// formats, whose colours go through the palette.
TColor DirectMask(TPixelFormat format) {
    switch (format) {
        case pf15bit:
            return RGB(0xF8, 0xF8, 0xF8);
        case pf16bit:
            return RGB(0xF8, 0xFC, 0xF8);
        case pf1bit:
        case pf4bit:
        case pf8bit:
            return 0;
        default:
            return 0xFFFFFF;
    }
}

// Copies `count` colours into a row of `target`, reduced to its format; the direct formats
// take a mask each, without a per-pixel look at the format.
template <typename Source>
void PutRow(TBitmap& target, TColor* to, int count, Source from) {
    if (const TColor mask = DirectMask(target.PixelFormat()); mask != 0) {
        for (int i = 0; i < count; ++i) {
            to[i] = from(i) & mask;
        }
    } else {
        for (int i = 0; i < count; ++i) {
            to[i] = target.Reduce(from(i));
        }
    }
}

int Distance(TColor a, TColor b) {
    const int dr = GetRValue(a) - GetRValue(b);
    const int dg = GetGValue(a) - GetGValue(b);
    const int db = GetBValue(a) - GetBValue(b);
    return dr * dr + dg * dg + db * db;
}

void CheckSize(int width, int height) {
    if (width < 0 || height < 0) {
        throw std::invalid_argument("bitmap size " + std::to_string(width) + " x " +
                                    std::to_string(height) + " is negative");
    }
    if (static_cast<int64_t>(width) * height > TBitmap::kMaxPixels) {
        throw std::length_error("bitmap size " + std::to_string(width) + " x " +
                                std::to_string(height) + " is too large");
    }
}

}  // namespace

int IndexedBits(TPixelFormat format) {
    switch (format) {
        case pf1bit:
            return 1;
        case pf4bit:
            return 4;
        case pf8bit:
            return 8;
        default:
            return 0;
    }
}

TBitmap::TBitmap() : canvas_(this) {}

TBitmap::TBitmap(int width, int height, TPixelFormat format) : canvas_(this) {
    SetPixelFormat(format);
    SetSize(width, height);
}

TBitmap::TBitmap(const TBitmap& other)
    : width_(other.width_),
      height_(other.height_),
      format_(other.format_),
      pixels_(other.pixels_),
      palette_(other.palette_),
      paletteCache_(other.paletteCache_),
      canvas_(this) {
    canvas_.Brush = other.canvas_.Brush;
}

TBitmap::TBitmap(TBitmap&& other) noexcept
    : width_(other.width_),
      height_(other.height_),
      format_(other.format_),
      pixels_(std::move(other.pixels_)),
      palette_(std::move(other.palette_)),
      paletteCache_(std::move(other.paletteCache_)),
      canvas_(this) {
    canvas_.Brush = other.canvas_.Brush;
    other.width_ = 0;
    other.height_ = 0;
    other.pixels_.clear();
}

TBitmap& TBitmap::operator=(const TBitmap& other) {
    if (this != &other) {
        TBitmap copy(other);
        *this = std::move(copy);
    }
    return *this;
}

TBitmap& TBitmap::operator=(TBitmap&& other) noexcept {
    if (this != &other) {
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        format_ = other.format_;
        pixels_ = std::move(other.pixels_);
        other.pixels_.clear();
        palette_ = std::move(other.palette_);
        paletteCache_ = std::move(other.paletteCache_);
        canvas_.Brush = other.canvas_.Brush;
    }
    return *this;
}

void TBitmap::SetSize(int width, int height) {
    CheckSize(width, height);
    if (width == width_ && height == height_) {
        return;
    }
    std::vector<TColor> resized(static_cast<size_t>(width) * height, Reduce(clBlack));
    const int keepWidth = std::min(width, width_);
    const int keepHeight = std::min(height, height_);
    for (int y = 0; y < keepHeight; ++y) {
        std::copy_n(ScanLine(y), keepWidth, resized.begin() + static_cast<ptrdiff_t>(y) * width);
    }
    pixels_ = std::move(resized);
    width_ = width;
    height_ = height;
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
    if (format == format_) {
        return;
    }
    format_ = format;
    ResetPalette();
    for (TColor& pixel : pixels_) {
        pixel = Reduce(pixel);
    }
}

void TBitmap::SetPalette(std::vector<TColor> palette) {
    const int bits = IndexedBits(format_);
    if (bits == 0) {
        return;
    }
    const size_t room = size_t{1} << bits;
    if (palette.size() > room) {
        palette.resize(room);
    }
    for (TColor& entry : palette) {
        entry &= 0xFFFFFF;
    }
    palette_ = std::move(palette);
    paletteCache_.clear();
    for (TColor& pixel : pixels_) {
        pixel = Reduce(pixel);
    }
}

void TBitmap::ResetPalette() {
    palette_.clear();
    paletteCache_.clear();
    if (format_ == pf1bit) {
        palette_ = {clBlack, clWhite};
    }
}

void TBitmap::AssignPixels(std::vector<TColor> pixels) {
    if (pixels.size() != pixels_.size()) {
        throw std::invalid_argument("pixel count does not match the bitmap size");
    }
    pixels_ = std::move(pixels);
}

void TBitmap::AssignPixels(int width, int height, std::vector<TColor> pixels) {
    CheckSize(width, height);
    if (pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
        throw std::invalid_argument("pixel count does not match the bitmap size");
    }
    pixels_ = std::move(pixels);
    width_ = width;
    height_ = height;
}

TColor TBitmap::Reduce(TColor color) {
    color &= 0xFFFFFF;
    switch (format_) {
        case pf15bit:
            return Reduce555(color);
        case pf16bit:
            return Reduce565(color);
        case pf1bit:
        case pf4bit:
        case pf8bit:
            return PaletteColor(color);
        default:
            return color;
    }
}

void TBitmap::ReduceRow(TColor* row, int count) {
    if (const TColor mask = DirectMask(format_); mask != 0) {
        for (int i = 0; i < count; ++i) {
            row[i] &= mask;
        }
    } else {
        for (int i = 0; i < count; ++i) {
            row[i] = Reduce(row[i]);
        }
    }
}

void TBitmap::AppendReducedRow(const TColor* row, int count, std::vector<TColor>& pixels) {
    if (const TColor mask = DirectMask(format_); mask != 0) {
        AppendColours(pixels, count, [row, mask](int i) { return row[i] & mask; });
    } else {
        AppendColours(pixels, count, [this, row](int i) { return Reduce(row[i]); });
    }
}

TColor TBitmap::PaletteColor(TColor color) {
    if (const auto known = paletteCache_.find(color); known != paletteCache_.end()) {
        return known->second;
    }
    TColor chosen = color;
    if (std::find(palette_.begin(), palette_.end(), color) == palette_.end()) {
        if (palette_.size() < (size_t{1} << IndexedBits(format_))) {
            palette_.push_back(color);
        } else {
            int best = std::numeric_limits<int>::max();
            for (TColor entry : palette_) {
                if (const int d = Distance(entry, color); d < best) {
                    best = d;
                    chosen = entry;
                }
            }
        }
    }
    paletteCache_.emplace(color, chosen);
    return chosen;
}

TColor TCanvas::Pixel(int x, int y) const {
    const TBitmap& b = *owner_;
    if (x < 0 || y < 0 || x >= b.width_ || y >= b.height_) {
        return clBlack;
    }
    return b.pixels_[static_cast<size_t>(y) * b.width_ + x];
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    TBitmap& b = *owner_;
    if (x < 0 || y < 0 || x >= b.width_ || y >= b.height_) {
        return;
    }
    b.pixels_[static_cast<size_t>(y) * b.width_ + x] = b.Reduce(color);
}

void TCanvas::FillRect(const TRect& rect) {
    TBitmap& b = *owner_;
    const int left = std::max(rect.Left, 0);
    const int top = std::max(rect.Top, 0);
    const int right = std::min(rect.Right, b.width_);
    const int bottom = std::min(rect.Bottom, b.height_);
    if (left >= right || top >= bottom) {
        return;
    }
    const TColor color = b.Reduce(Brush.Color);
    for (int y = top; y < bottom; ++y) {
        TColor* row = b.pixels_.data() + static_cast<size_t>(y) * b.width_;
        std::fill(row + left, row + right, color);
    }
}

void TCanvas::Draw(int x, int y, const TBitmap& source) {
    TBitmap& b = *owner_;
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = static_cast<int>(std::min<int64_t>(int64_t{x} + source.width_, b.width_));
    const int bottom = static_cast<int>(std::min<int64_t>(int64_t{y} + source.height_, b.height_));
    for (int ty = top; ty < bottom; ++ty) {
        const TColor* from = source.ScanLine(ty - y);
        TColor* to = b.pixels_.data() + static_cast<size_t>(ty) * b.width_;
        if (right > left) {
            PutRow(b, to + left, right - left,
                   [from, left, x](int i) { return from[left + i - x]; });
        }
    }
}

void TCanvas::StretchDraw(const TRect& rect, const TBitmap& source) {
    TBitmap& b = *owner_;
    const int64_t width = rect.Width();
    const int64_t height = rect.Height();
    if (width <= 0 || height <= 0 || source.Empty()) {
        return;
    }
    const int left = std::max(rect.Left, 0);
    const int top = std::max(rect.Top, 0);
    const int right = std::min(rect.Right, b.width_);
    const int bottom = std::min(rect.Bottom, b.height_);
    // Source column of each target column: the one under the target pixel's centre.
    std::vector<int> columns;
    for (int tx = left; tx < right; ++tx) {
        const int64_t dx = tx - rect.Left;
        columns.push_back(static_cast<int>((2 * dx + 1) * source.width_ / (2 * width)));
    }
    for (int ty = top; ty < bottom; ++ty) {
        const int64_t dy = ty - rect.Top;
        const TColor* from =
            source.ScanLine(static_cast<int>((2 * dy + 1) * source.height_ / (2 * height)));
        TColor* to = b.pixels_.data() + static_cast<size_t>(ty) * b.width_;
        const int* column = columns.data();
        PutRow(b, to + left, right - left, [from, column](int i) { return from[column[i]]; });
    }
}

}  // namespace vcl
