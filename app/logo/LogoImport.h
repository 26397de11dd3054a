#pragma once
// What the picture importers do without a window: decode a picture file image, fit it to the
// projector's display, choose the JPEG colour depth, and make the size text under the preview.
// The window's handlers read the file, call these, and show the results.
#include <cstdint>
#include <span>
#include <string>

#include "platform/vcl/core/Bitmap.h"
#include "platform/vcl/core/JpegImage.h"

namespace logo {

// Where the picture lands in the display-sized logo: centred unscaled when it is smaller in
// both directions, otherwise stretched over the whole display (aspect ratio not kept).
struct Placement {
    bool centred = false;
    vcl::TRect rect;
};
Placement PlaceOnDisplay(int pictureWidth, int pictureHeight, int displayWidth, int displayHeight);

// The scaled logo buffer: displayWidth × displayHeight filled with the picture's top-left
// colour, the picture drawn as PlaceOnDisplay says. Throws LogoSizeError (Mysplash.h) for a
// display size the logo formats cannot hold, before anything is allocated.
vcl::TBitmap ScaleToDisplay(const vcl::TBitmap& picture, int displayWidth, int displayHeight);

// "%d x %d x %dbit" as shown under the preview.
std::string SizeText(int width, int height, int bitCount);

// The bit count shown for a loaded bitmap: 4, 8, 16 or 24; 0 for every other pixel format
// (1-bit, 15-bit, 32-bit, device-dependent, custom).
int BitmapBitCount(vcl::TPixelFormat format);

// The three colour-depth radio buttons of the JPEG import.
enum class JpegDepthButton { rb24bit, rb16bit, rb8bit };

struct JpegColourChoice {
    bool rb24bitEnabled = true;
    bool rb16bitEnabled = true;
    bool rb8bitEnabled = true;
    JpegDepthButton checked = JpegDepthButton::rb24bit;  // the button checked afterwards
    int depth = 24;                                      // 24, 16 or 8
    vcl::TJPEGPixelFormat decoderFormat = vcl::jf24Bit;
    vcl::TPixelFormat bitmapFormat = vcl::pf24bit;
};

// The depth rules by the screen's colour depth (bits per pixel × planes) and the button
// checked now: on 15/16-bit screens 24-bit colour is offered no more, on screens of fewer
// colours (or unknown depth) only 8-bit remains.
JpegColourChoice ChooseJpegColours(int screenDepth, JpegDepthButton checked);

// A picture read for the logo: the picture at its own size, the display-sized logo made from
// it, and the size text.
struct ImportedPicture {
    vcl::TBitmap picture;
    vcl::TBitmap scaled;
    int bitCount = 0;
    std::string sizeText;
};

// BMP and JPEG imports. Throw vcl::EInvalidGraphic for a file image that cannot be decoded
// and LogoSizeError for a display size the formats cannot hold; the window shows
// "Image file error!!!" for either.
ImportedPicture ImportBmp(std::span<const uint8_t> file, int displayWidth, int displayHeight);
ImportedPicture ImportJpeg(std::span<const uint8_t> file, const JpegColourChoice& colours,
                           int displayWidth, int displayHeight);

// A preview-only import (RLE8, SPLB, SPLC). `recognised` is false for a wrong "BM" type or
// magic: the window then keeps its previous picture and prints that picture's size.
struct PreviewPicture {
    bool recognised = false;
    vcl::TBitmap picture;
    int bitCount = 0;  // the RLE file's bit-count field; 24 for SPLB and SPLC
};

// Throw std::invalid_argument or std::length_error (from TBitmap) for a header size that no
// bitmap can hold.
PreviewPicture ImportRle8(std::span<const uint8_t> file);
PreviewPicture ImportSplb(std::span<const uint8_t> file);
PreviewPicture ImportSplc(std::span<const uint8_t> file);

}  // namespace logo
