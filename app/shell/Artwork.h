#pragma once
// The programs' own artwork, painted at start: the tall logo picture of the main windows
// and the about box, and the window icon.
#include <cstdint>
#include <vector>

namespace shell {

// Pixels as 0x00BBGGRR, rows top down (what vcl::TImage takes).
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// A projector casting its beam down a night-blue column, with the program's name.
Picture DrawLogoPicture();
// Makes the projector's front with its lens the icon of every window of the program.
// Needs the application object.
void InstallProgramIcon();

}  // namespace shell
