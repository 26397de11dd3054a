#pragma once
// The pixels of app/shell/artwork, built into the program by tools/EmbedArtwork.cpp.
#include <cstdint>
#include <span>

namespace shell {

// The logo picture: 0x00BBGGRR values, rows top down.
struct EmbeddedPicture {
    int width;
    int height;
    std::span<const uint32_t> pixels;
};

// One size of the program icon: premultiplied ARGB values, rows top down.
struct EmbeddedIcon {
    int width;
    int height;
    const uint32_t* pixels;
};

extern const EmbeddedPicture kLogo;
extern const std::span<const EmbeddedIcon> kProgramIcons;

}  // namespace shell
