// Turns the artwork's PNG files into a C++ source that holds their pixels ready to use, so
// that a program starting up decodes nothing:
//   ostrel_embed_artwork OUTPUT.cpp logo.png icon-16.png icon-32.png ...
// The logo becomes 0x00BBGGRR values (what vcl::TImage takes), each icon premultiplied
// ARGB values (what QImage::Format_ARGB32_Premultiplied holds), rows top down.
// The output is rewritten only when it changes, so that an unchanged picture recompiles
// nothing.
#include <QFile>
#include <QImage>
#include <QString>

#include <cstdio>
#include <string>

namespace {

void AppendPixels(std::string& source, const char* name, const QImage& image, bool bgr) {
    char line[96];
    std::snprintf(line, sizeof line, "const uint32_t %s[] = {", name);
    source += line;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb argb = row[x];
            const unsigned value =
                bgr ? (static_cast<unsigned>(qBlue(argb)) << 16 |
                       static_cast<unsigned>(qGreen(argb)) << 8 | static_cast<unsigned>(qRed(argb)))
                    : static_cast<unsigned>(argb);
            std::snprintf(line, sizeof line, "%s0x%08X,", x % 8 == 0 ? "\n" : "", value);
            source += line;
        }
    }
    source += "\n};\n";
}

bool Load(const char* path, QImage::Format format, QImage& image) {
    image = QImage(QString::fromLocal8Bit(path), "PNG").convertToFormat(format);
    if (image.isNull()) {
        std::fprintf(stderr, "cannot read the PNG picture %s\n", path);
        return false;
    }
    return true;
}

bool WriteIfChanged(const char* path, const std::string& source) {
    QFile file(QString::fromLocal8Bit(path));
    if (file.open(QIODevice::ReadOnly) && file.readAll().toStdString() == source) {
        return true;
    }
    file.close();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(source.data(), static_cast<qint64>(source.size())) !=
            static_cast<qint64>(source.size())) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT.cpp LOGO.png [ICON.png ...]\n", argv[0]);
        return 2;
    }
    std::string source =
        "// Written by ostrel_embed_artwork from app/shell/artwork; do not edit.\n"
        "#include \"app/shell/EmbeddedArtwork.h\"\n\nnamespace shell {\nnamespace {\n\n";
    QImage logo;
    if (!Load(argv[2], QImage::Format_RGB32, logo)) {
        return 1;
    }
    AppendPixels(source, "kLogoPixels", logo, true);
    std::string icons = "const EmbeddedIcon kIcons[] = {\n";
    for (int i = 3; i < argc; ++i) {
        QImage icon;
        if (!Load(argv[i], QImage::Format_ARGB32_Premultiplied, icon)) {
            return 1;
        }
        const std::string name = "kIcon" + std::to_string(i - 3) + "Pixels";
        AppendPixels(source, name.c_str(), icon, false);
        icons += "    {" + std::to_string(icon.width()) + ", " + std::to_string(icon.height()) +
                 ", " + name + "},\n";
    }
    source += "\n" + icons + "};\n\n}  // namespace\n\n";
    source += "const EmbeddedPicture kLogo{" + std::to_string(logo.width()) + ", " +
              std::to_string(logo.height()) + ", kLogoPixels};\n";
    source +=
        "const std::span<const EmbeddedIcon> kProgramIcons{kIcons};\n\n}  // namespace shell\n";
    return WriteIfChanged(argv[1], source) ? 0 : 1;
}
