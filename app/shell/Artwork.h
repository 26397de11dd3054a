#pragma once
// The programs' own artwork: the tall logo picture of the main windows and the about box,
// and the window icon. Both are pictures built into the program (app/shell/artwork, painted
// by tools/PaintArtwork), held as ready pixels, so that starting a program neither paints
// nor decodes them.
#include <cstdint>
#include <span>

namespace shell {

// Pixels as 0x00BBGGRR, rows top down (what vcl::TImage takes).
struct Picture {
    int width = 0;
    int height = 0;
    std::span<const uint32_t> pixels;
};

// A projector casting its beam down a night-blue column, with the program's name; every
// window that shows it shares the same pixels.
Picture LogoPicture();
// Makes the projector's front with its lens the icon of every window of the program.
// Needs the application object.
void InstallProgramIcon();

}  // namespace shell
