#pragma once
// Paints the programs' artwork: the tall logo picture of the main windows and the about
// box, and the window icon in each of its sizes. Run by ostrel_paint_artwork when the
// artwork changes; the programs themselves load the pictures it saved (app/shell/artwork)
// and never paint them.
#include <QImage>

namespace shell {

// The icon sizes saved as app/shell/artwork/icon-<size>.png.
inline constexpr int kIconSizes[] = {16, 32, 48, 64, 128};

// A projector casting its beam down a night-blue column, with the program's name; opaque.
QImage PaintLogo();
// The projector's front with its lens on a rounded night-blue square; transparent corners.
QImage PaintIcon(int size);

}  // namespace shell
