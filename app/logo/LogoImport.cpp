#include "app/logo/LogoImport.h"

#include <cstdio>

#include "app/logo/DisplayScaler.h"
#include "app/logo/Mysplash.h"
#include "platform/vcl/core/BmpFile.h"

namespace logo {
namespace {

constexpr int kBmpPaletteLimit = 256;

JpegColourChoice Depth(JpegColourChoice choice, int depth) {
    choice.depth = depth;
    choice.decoderFormat = depth == 8 ? vcl::jf8Bit : vcl::jf24Bit;
    choice.bitmapFormat = depth == 8 ? vcl::pf8bit : depth == 16 ? vcl::pf16bit : vcl::pf24bit;
    choice.checked = depth == 8    ? JpegDepthButton::rb8bit
                     : depth == 16 ? JpegDepthButton::rb16bit
                                   : JpegDepthButton::rb24bit;
    return choice;
}

}  // namespace

Placement PlaceOnDisplay(int pictureWidth, int pictureHeight, int displayWidth, int displayHeight) {
    if (pictureWidth < displayWidth && pictureHeight < displayHeight) {
        const int left = (displayWidth - pictureWidth) / 2;
        const int top = (displayHeight - pictureHeight) / 2;
        return {true, vcl::TRect{left, top, left + pictureWidth, top + pictureHeight}};
    }
    return {false, vcl::TRect{0, 0, displayWidth, displayHeight}};
}

vcl::TBitmap ScaleToDisplay(const vcl::TBitmap& picture, int displayWidth, int displayHeight) {
    DisplayScaler scaler(picture.Width(), picture.Height(), displayWidth, displayHeight);
    for (int y = 0; y < picture.Height(); ++y) {
        scaler.AddRow(y, picture.ScanLine(y));
    }
    return scaler.Finish();
}

std::string SizeText(int width, int height, int bitCount) {
    char text[64];
    std::snprintf(text, sizeof text, "%d x %d x %dbit", width, height, bitCount);
    return text;
}

int BitmapBitCount(vcl::TPixelFormat format) {
    switch (format) {
        case vcl::pf4bit:
            return 4;
        case vcl::pf8bit:
            return 8;
        case vcl::pf16bit:
            return 16;
        case vcl::pf24bit:
            return 24;
        default:
            return 0;
    }
}

JpegColourChoice ChooseJpegColours(int screenDepth, JpegDepthButton checked) {
    JpegColourChoice choice;
    if (screenDepth == 15 || screenDepth == 16) {
        choice.rb24bitEnabled = false;
        return Depth(choice, checked == JpegDepthButton::rb8bit ? 8 : 16);
    }
    if (screenDepth == 24 || screenDepth == 32) {
        return Depth(choice, checked == JpegDepthButton::rb8bit    ? 8
                             : checked == JpegDepthButton::rb16bit ? 16
                                                                   : 24);
    }
    choice.rb24bitEnabled = false;
    choice.rb16bitEnabled = false;
    return Depth(choice, 8);
}

ImportedPicture ImportBmp(std::span<const uint8_t> file, int displayWidth, int displayHeight) {
    ImportedPicture result;
    result.picture = vcl::LoadBmp(file);
    result.bitCount = BitmapBitCount(result.picture.PixelFormat());
    result.scaled = ScaleToDisplay(result.picture, displayWidth, displayHeight);
    result.sizeText = SizeText(result.picture.Width(), result.picture.Height(), result.bitCount);
    return result;
}

ImportedPicture ImportJpeg(std::span<const uint8_t> file, const JpegColourChoice& colours,
                           int displayWidth, int displayHeight) {
    vcl::TJPEGImage jpeg;
    jpeg.SetPixelFormat(colours.decoderFormat);
    jpeg.LoadFromBytes(std::vector<uint8_t>(file.begin(), file.end()));
    // The logo is scaled from each row as it is decoded and reduced to the chosen format
    // (at 8 bits the decoder's own table stays, so none of its up to 256 colours gives way);
    // the picture itself is not read again.
    DisplayScaler scaler(jpeg.Width(), jpeg.Height(), displayWidth, displayHeight);
    ImportedPicture result;
    result.picture = jpeg.TakeBitmap(
        colours.bitmapFormat, [&scaler](int y, const vcl::TColor* row) { scaler.AddRow(y, row); });
    result.bitCount = colours.depth;
    result.scaled = scaler.Finish();
    result.sizeText = SizeText(jpeg.Width(), jpeg.Height(), colours.depth);
    return result;
}

PreviewPicture ImportRle8(std::span<const uint8_t> file) {
    PreviewPicture result;
    BitmapFileHeader fileHeader;
    BitmapInfoHeader infoHeader;
    if (!ReadBmpHeaders(file, fileHeader, infoHeader)) {
        return result;
    }
    result.recognised = true;
    result.bitCount = infoHeader.biBitCount;
    result.picture.SetSize(infoHeader.biWidth, infoHeader.biHeight);
    if (infoHeader.biCompression == kBiRle8) {
        // The palette fills exactly the bytes between the headers and the pixel data.
        const int64_t entries =
            (static_cast<int64_t>(fileHeader.bfOffBits) - static_cast<int64_t>(kBmpHeadersSize)) /
            4;
        const int count = static_cast<int>(std::min<int64_t>(entries, kBmpPaletteLimit));
        const auto palette = ConvertBmpPalette(file.subspan(kBmpHeadersSize), count);
        const auto pixelData = fileHeader.bfOffBits < file.size()
                                   ? file.subspan(fileHeader.bfOffBits)
                                   : std::span<const uint8_t>();
        DrawRle8(pixelData, result.picture, palette);
    }
    return result;
}

PreviewPicture ImportSplb(std::span<const uint8_t> file) {
    PreviewPicture result;
    result.bitCount = 24;
    SplbHeader header;
    if (ReadSplbHeader(file, header)) {
        result.recognised = true;
        result.picture.SetSize(header.width, header.height);
        DrawSplb(file, result.picture, header);
    }
    return result;
}

PreviewPicture ImportSplc(std::span<const uint8_t> file) {
    PreviewPicture result;
    result.bitCount = 24;
    SplcHeader header;
    if (ReadSplcHeader(file, header)) {
        result.recognised = true;
        result.picture.SetSize(header.width, header.height);
        DrawSplc(file, result.picture, header);
    }
    return result;
}

}  // namespace logo
