// The artwork carried inside the programs: the logo arrives as 0x00BBGGRR values in the
// picture's own size, the icon in all its sizes with transparent corners.
#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QImage>

#include "app/shell/Artwork.h"

namespace {

uint32_t Red(uint32_t bgr) {
    return bgr & 0xFF;
}
uint32_t Blue(uint32_t bgr) {
    return (bgr >> 16) & 0xFF;
}

TEST(Artwork, LogoHasItsSizeAndChannelsInWindowOrder) {
    const shell::Picture logo = shell::LogoPicture();
    ASSERT_EQ(logo.width, 156);
    ASSERT_EQ(logo.height, 520);
    ASSERT_EQ(logo.pixels.size(), 156u * 520u);
    // The night sky is blue, not red: a swapped channel order would show it the other way.
    const uint32_t sky = logo.pixels[0];
    EXPECT_EQ(sky >> 24, 0u);
    EXPECT_GT(Blue(sky), Red(sky));
    // Both windows share the same pixels rather than a copy each.
    EXPECT_EQ(shell::LogoPicture().pixels.data(), logo.pixels.data());
}

TEST(Artwork, ProgramIconComesInEverySizeWithTransparentCorners) {
    int argc = 1;
    char name[] = "shell_artwork_test";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    shell::InstallProgramIcon();
    const QIcon icon = QApplication::windowIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (const int side : {16, 32, 48, 64, 128}) {
        EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
    }
    const QImage image =
        icon.pixmap(QSize(64, 64)).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(64, 64));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(32, 32)), 255);
}

}  // namespace
