#pragma once
// The form layer's JPEG picture, decoded by libjpeg either to 24-bit colour or to an 8-bit
// palette. The palette comes from libjpeg's two-pass quantiser (at most 256 colours chosen
// for this picture) without dithering: dithering would scatter single pixels and break the
// long runs of equal colour that the logo formats rely on.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/vcl/core/Bitmap.h"

namespace vcl {

enum TJPEGPixelFormat { jf24Bit, jf8Bit };

class TJPEGImage {
  public:
    // Keeps the file image and reads its header; throws EInvalidGraphic (BmpFile.h) for data
    // that is not a JPEG picture we can decode, or one larger than TBitmap::kMaxPixels.
    void LoadFromBytes(std::vector<uint8_t> bytes);
    // The same for a file; a file that cannot be read is an EInvalidGraphic too.
    void LoadFromFile(const std::string& path);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return bytes_.empty(); }

    TJPEGPixelFormat PixelFormat() const { return format_; }
    void SetPixelFormat(TJPEGPixelFormat format);

    // The decoded picture: pf24bit, or pf8bit with the quantiser's palette. Decoded on first
    // use after a load or a format change; throws EInvalidGraphic when decoding fails.
    const TBitmap& Bitmap();
    // Hands the decoded picture over without a copy; the next use decodes again.
    TBitmap TakeBitmap();

    // Called with each row of the picture as soon as it is decoded, while it is still in
    // cache: y from the top and Width() colour values.
    using RowDecoded = std::function<void(int y, const TColor* row)>;
    // Decodes the picture for a bitmap of `format`: the same pixels, palette and format as
    // TakeBitmap() followed by SetPixelFormat(format), but every row is reduced as it is
    // decoded and then handed to `rowDecoded`, so that a caller can draw from it at once
    // instead of reading the whole picture again.
    TBitmap TakeBitmap(TPixelFormat format, const RowDecoded& rowDecoded);

  private:
    std::vector<uint8_t> bytes_;
    int width_ = 0;
    int height_ = 0;
    TJPEGPixelFormat format_ = jf24Bit;
    std::optional<TBitmap> decoded_;
};

}  // namespace vcl
