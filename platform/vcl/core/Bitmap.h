#pragma once
// The form layer's bitmap: a pixel buffer of our own with a pixel format, a palette for the
// indexed formats and a canvas. Pixels are kept as colour values (0x00BBGGRR), already
// reduced to what the pixel format can hold (system colours are not resolved here: a
// bitmap holds plain 0x00BBGGRR values), so readers such as the logo encoders walk rows
// of plain colours without any per-pixel conversion.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <unordered_map>
#include <vector>

#include "platform/vcl/Types.h"

namespace vcl {

constexpr TColor RGB(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<TColor>(red | (green << 8) | (blue << 16));
}
constexpr uint8_t GetRValue(TColor c) {
    return static_cast<uint8_t>(c);
}
constexpr uint8_t GetGValue(TColor c) {
    return static_cast<uint8_t>(c >> 8);
}
constexpr uint8_t GetBValue(TColor c) {
    return static_cast<uint8_t>(c >> 16);
}

enum TPixelFormat {
    pfDevice,
    pf1bit,
    pf4bit,
    pf8bit,
    pf15bit,
    pf16bit,
    pf24bit,
    pf32bit,
    pfCustom
};

class TBitmap;

// Drawing on a bitmap. A canvas belongs to its bitmap and lives as long as it does.
class TCanvas {
  public:
    struct TBrush {
        TColor Color = clWhite;
    };
    TBrush Brush;

    // Reading outside the bitmap gives black; writing outside is ignored.
    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

    // Fills the rectangle (right and bottom edges excluded, clipped) with the brush colour.
    void FillRect(const TRect& rect);
    // Copies `source` unscaled with its top-left corner at (x, y), clipped.
    void Draw(int x, int y, const TBitmap& source);
    // Scales `source` onto `rect` by nearest neighbour: every target pixel takes the source
    // pixel under its centre, so no colour appears that the source does not hold.
    void StretchDraw(const TRect& rect, const TBitmap& source);

  private:
    friend class TBitmap;
    explicit TCanvas(TBitmap* owner) : owner_(owner) {}
    TBitmap* owner_;
};

class TBitmap {
  public:
    // The largest picture a bitmap holds (256 MB of pixels); larger sizes are refused with
    // std::length_error, negative ones with std::invalid_argument.
    static constexpr int64_t kMaxPixels = int64_t{1} << 26;

    TBitmap();
    TBitmap(int width, int height, TPixelFormat format = pfDevice);
    TBitmap(const TBitmap& other);
    TBitmap(TBitmap&& other) noexcept;
    TBitmap& operator=(const TBitmap& other);
    TBitmap& operator=(TBitmap&& other) noexcept;
    ~TBitmap() = default;

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    // Resizes, keeping the pixels of the overlap; new pixels are black.
    void SetSize(int width, int height);
    void SetWidth(int width) { SetSize(width, height_); }
    void SetHeight(int height) { SetSize(width_, height); }

    TPixelFormat PixelFormat() const { return format_; }
    // Changes the format and reduces every pixel to what the new format holds.
    void SetPixelFormat(TPixelFormat format);

    // The colour table of an indexed format (1, 4, 8 bit). A pixel written to an indexed
    // bitmap takes the palette entry of its colour; a colour not yet in the table is added
    // while there is room, otherwise the nearest entry is used.
    const std::vector<TColor>& Palette() const { return palette_; }
    void SetPalette(std::vector<TColor> palette);

    TCanvas& Canvas() { return canvas_; }
    const TCanvas& Canvas() const { return canvas_; }

    // Row y (0 = top) as Width() colour values; y must lie inside the bitmap.
    const TColor* ScanLine(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
    // Every pixel, row after row from the top.
    const std::vector<TColor>& Pixels() const { return pixels_; }

    // Stores rows of colours that already fit the pixel format (the loaders' fast path).
    void AssignPixels(std::vector<TColor> pixels);
    // The same with a new size, without first filling the new size with black.
    void AssignPixels(int width, int height, std::vector<TColor> pixels);

    // The colour that a pixel written with `color` will hold.
    TColor Reduce(TColor color);
    // Reduce for `count` colours in place, in order (an indexed format's palette grows as
    // it would for pixels written one by one); a mask each for the direct formats.
    void ReduceRow(TColor* row, int count);
    // Appends `count` colours of `row` to `pixels`, reduced as ReduceRow does; one pass for
    // the direct formats.
    void AppendReducedRow(const TColor* row, int count, std::vector<TColor>& pixels);

  private:
    friend class TCanvas;
    TColor PaletteColor(TColor color);
    void ResetPalette();

    int width_ = 0;
    int height_ = 0;
    TPixelFormat format_ = pfDevice;
    std::vector<TColor> pixels_;
    std::vector<TColor> palette_;
    std::unordered_map<TColor, TColor> paletteCache_;
    TCanvas canvas_;
};

// An iterator over colourAt(0), colourAt(1), ...: what AppendColours inserts.
template <typename ColourAt>
class GeneratedColours {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = TColor;
    using difference_type = std::ptrdiff_t;
    using pointer = const TColor*;
    using reference = TColor;
    GeneratedColours() = default;
    GeneratedColours(int at, const ColourAt* colourAt) : at_(at), colourAt_(colourAt) {}
    TColor operator*() const { return (*colourAt_)(at_); }
    GeneratedColours& operator++() {
        ++at_;
        return *this;
    }
    GeneratedColours operator++(int) {
        GeneratedColours before = *this;
        ++at_;
        return before;
    }
    bool operator==(const GeneratedColours& other) const { return at_ == other.at_; }

  private:
    int at_ = 0;
    const ColourAt* colourAt_ = nullptr;
};

// Appends colourAt(0), ..., colourAt(count - 1) to `pixels` in one pass, without the room
// being filled first: a row is made straight in a picture's storage.
template <typename ColourAt>
void AppendColours(std::vector<TColor>& pixels, int count, ColourAt colourAt) {
    pixels.insert(pixels.end(), GeneratedColours<ColourAt>(0, &colourAt),
                  GeneratedColours<ColourAt>(count, &colourAt));
}

// Bits per pixel of an indexed format, 0 for the others.
int IndexedBits(TPixelFormat format);

}  // namespace vcl
