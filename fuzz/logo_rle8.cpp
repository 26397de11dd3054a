// The .RLE preview import: bitmap headers, palette conversion and DrawRle8 on any bytes.
#include <cstdint>
#include <span>
#include <stdexcept>

#include "app/logo/LogoImport.h"
#include "app/logo/Mysplash.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    logo::BitmapFileHeader fileHeader;
    logo::BitmapInfoHeader infoHeader;
    // Sizes from the header are bounded here only to keep each run quick.
    if (logo::ReadBmpHeaders(file, fileHeader, infoHeader) &&
        int64_t{infoHeader.biWidth} * infoHeader.biHeight > (int64_t{1} << 22)) {
        return 0;
    }
    try {
        logo::ImportRle8(file);
    } catch (const std::invalid_argument&) {  // negative size
    } catch (const std::length_error&) {
    }
    return 0;
}
