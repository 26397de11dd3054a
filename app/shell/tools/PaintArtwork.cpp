// Saves the programs' artwork as PNG files into the folder given as the only argument
// (normally app/shell/artwork, whose files are built into the programs):
//   logo.png, icon-16.png ... icon-128.png
// Run it with QT_QPA_PLATFORM=offscreen where no display is at hand. The logo's lettering
// is drawn with the build machine's "DejaVu Sans Bold".
#include <QGuiApplication>
#include <QString>

#include <cstdio>

#include "app/shell/tools/ArtworkPainter.h"

namespace {

bool Save(const QImage& image, const QString& path) {
    if (!image.save(path, "PNG", 9)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    bool saved = Save(shell::PaintLogo(), folder + "/logo.png");
    for (const int size : shell::kIconSizes) {
        saved = Save(shell::PaintIcon(size), folder + QString("/icon-%1.png").arg(size)) && saved;
    }
    return saved ? 0 : 1;
}
