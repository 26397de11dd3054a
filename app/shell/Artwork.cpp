#include "app/shell/Artwork.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include "app/shell/EmbeddedArtwork.h"

namespace shell {

Picture LogoPicture() {
    return {kLogo.width, kLogo.height, kLogo.pixels};
}

void InstallProgramIcon() {
    QIcon icon;
    for (const EmbeddedIcon& size : kProgramIcons) {
        // Wraps the built-in pixels without copying; the pixmap takes its own copy.
        const QImage image(reinterpret_cast<const uchar*>(size.pixels), size.width, size.height,
                           QImage::Format_ARGB32_Premultiplied);
        icon.addPixmap(QPixmap::fromImage(image));
    }
    QApplication::setWindowIcon(icon);
}

}  // namespace shell
