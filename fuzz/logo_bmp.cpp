// The bitmap loader and the BMP import on any bytes.
#include <cstdint>
#include <span>

#include "app/logo/LogoImport.h"
#include "app/logo/Mysplash.h"
#include "platform/vcl/core/BmpFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    logo::BitmapFileHeader fileHeader;
    logo::BitmapInfoHeader infoHeader;
    if (logo::ReadBmpHeaders(std::span<const uint8_t>(data, size), fileHeader, infoHeader) &&
        int64_t{infoHeader.biWidth} * infoHeader.biHeight > (int64_t{1} << 22)) {
        return 0;  // bounded only to keep each run quick (RLE data is small for any size)
    }
    try {
        // A small display keeps each run fast; the scaling is the same at any size.
        logo::ImportBmp(std::span<const uint8_t>(data, size), 64, 48);
    } catch (const vcl::EInvalidGraphic&) {
    }
    return 0;
}
