#pragma once
// Pictures for the logo tests, made in memory: 24-bit Windows bitmaps.
#include <cstdint>
#include <vector>

namespace apptest {

// A 24-bit bottom-up Windows bitmap whose pixel (x, y) is colour(x, y) (0x00BBGGRR).
template <typename Colour>
std::vector<uint8_t> Bitmap24(int width, int height, Colour colour) {
    const int stride = (width * 3 + 3) / 4 * 4;
    const uint32_t size = 54 + static_cast<uint32_t>(stride * height);
    std::vector<uint8_t> file(size, 0);
    auto put32 = [&file](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            file[at + i] = static_cast<uint8_t>(value >> (8 * i));
        }
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, size);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    file[26] = 1;
    file[28] = 24;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = &file[54 + static_cast<size_t>(stride) * (height - 1 - y)];
        for (int x = 0; x < width; ++x) {
            const uint32_t c = colour(x, y);
            row[3 * x] = static_cast<uint8_t>(c >> 16);
            row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
            row[3 * x + 2] = static_cast<uint8_t>(c);
        }
    }
    return file;
}

// Four bands of colour on a white ground: few runs, a small logo.
inline std::vector<uint8_t> Bands(int width = 640, int height = 480) {
    return Bitmap24(width, height, [](int x, int y) -> uint32_t {
        if (y < 40) {
            return 0xFFFFFF;
        }
        static const uint32_t colours[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x808080};
        return colours[(x / 160) % 4];
    });
}

}  // namespace apptest
