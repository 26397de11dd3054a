// The JPEG import on any bytes, in both decoder formats.
#include <cstdint>
#include <span>
#include <vector>

#include "app/logo/LogoImport.h"
#include "platform/vcl/core/BmpFile.h"
#include "platform/vcl/core/JpegImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024) {
        return 0;
    }
    const std::span<const uint8_t> file(data, size);
    try {
        vcl::TJPEGImage header;  // bounded only to keep each run quick
        header.LoadFromBytes(std::vector<uint8_t>(file.begin(), file.end()));
        if (int64_t{header.Width()} * header.Height() > (int64_t{1} << 22)) {
            return 0;
        }
    } catch (const vcl::EInvalidGraphic&) {
        return 0;
    }
    for (auto button : {logo::JpegDepthButton::rb24bit, logo::JpegDepthButton::rb8bit}) {
        try {
            logo::ImportJpeg(file, logo::ChooseJpegColours(24, button), 64, 48);
        } catch (const vcl::EInvalidGraphic&) {
        }
    }
    return 0;
}
