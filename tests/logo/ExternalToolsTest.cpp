// Pictures made and decoded by tools nobody here wrote: ImageMagick for bitmaps of every
// format, cjpeg and djpeg for JPEG. Each test skips itself when its tools are not installed
// (packages imagemagick and libjpeg-turbo-progs).
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "app/logo/LogoImport.h"
#include "platform/vcl/core/BmpFile.h"
#include "platform/vcl/core/JpegImage.h"
#include "tests/logo/Fixtures.h"

namespace {

namespace fs = std::filesystem;
using vcl::RGB;
using vcl::TColor;

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        ::pclose(pipe);
    }
    return out;
}

bool HaveImageMagick() {
    return Shell("convert -version").find("Version: ImageMagick") != std::string::npos;
}
bool HaveJpegTools() {
    return !Shell("command -v cjpeg").empty() && !Shell("command -v djpeg").empty();
}

// A binary PPM (P6, maxval 255) read into colours.
std::vector<TColor> ParsePpm(const std::string& data, int& width, int& height) {
    size_t pos = 0;
    auto token = [&] {
        while (pos < data.size() &&
               (std::isspace(static_cast<unsigned char>(data[pos])) || data[pos] == '#')) {
            if (data[pos] == '#') {
                pos = data.find('\n', pos);
            } else {
                ++pos;
            }
        }
        const size_t start = pos;
        while (pos < data.size() && !std::isspace(static_cast<unsigned char>(data[pos]))) {
            ++pos;
        }
        return data.substr(start, pos - start);
    };
    std::vector<TColor> pixels;
    if (token() != "P6") {
        return pixels;
    }
    width = std::stoi(token());
    height = std::stoi(token());
    token();  // maxval
    ++pos;
    for (int i = 0; i < width * height && pos + 2 < data.size() + 0; ++i, pos += 3) {
        pixels.push_back(RGB(static_cast<uint8_t>(data[pos]), static_cast<uint8_t>(data[pos + 1]),
                             static_cast<uint8_t>(data[pos + 2])));
    }
    return pixels;
}

class ExternalTools : public ::testing::Test {
  protected:
    fs::path dir_ = fs::temp_directory_path() / ("logo_tools_" + std::to_string(::getpid()));
    std::string source_;

    void SetUp() override {
        fs::create_directories(dir_);
        source_ = (dir_ / "source.ppm").string();
        // A picture with flat areas, edges and a gradient, 37 wide so rows need padding.
        std::ofstream out(source_, std::ios::binary);
        out << "P6\n37 23\n255\n";
        for (int y = 0; y < 23; ++y) {
            for (int x = 0; x < 37; ++x) {
                const bool flat = y < 8;
                out.put(static_cast<char>(flat ? 230 : x * 7));
                out.put(static_cast<char>(flat ? 40 : y * 11));
                out.put(static_cast<char>(flat ? (x < 18 ? 10 : 200) : 128 + x));
            }
        }
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
};

TEST_F(ExternalTools, BitmapsMadeByImageMagickDecodeAsImageMagickDecodesThem) {
    if (!HaveImageMagick()) {
        GTEST_SKIP() << "ImageMagick (package imagemagick) is not installed";
    }
    struct Case {
        const char* name;
        const char* options;
        vcl::TPixelFormat format;
        TColor precision;  // the channel bits the format keeps
    };
    const TColor all = RGB(0xFF, 0xFF, 0xFF);
    const Case cases[] = {
        {"1 bit", "-colors 2 -type Palette -depth 1 BMP3:", vcl::pf1bit, all},
        {"4 bit", "-colors 16 -type Palette -depth 4 BMP3:", vcl::pf4bit, all},
        {"8 bit", "-colors 200 -type Palette BMP3:", vcl::pf8bit, all},
        {"8 bit RLE", "-colors 200 -type Palette -compress RLE BMP3:", vcl::pf8bit, all},
        {"16 bit 5-5-5", "-define bmp:subtype=RGB555 BMP:", vcl::pf15bit, RGB(0xF8, 0xF8, 0xF8)},
        {"16 bit 5-6-5", "-define bmp:subtype=RGB565 BMP:", vcl::pf16bit, RGB(0xF8, 0xFC, 0xF8)},
        {"24 bit", "-type TrueColor BMP3:", vcl::pf24bit, all},
        {"32 bit", "-type TrueColorAlpha BMP:", vcl::pf32bit, all},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bmp = Path("picture.bmp");
        Shell("convert " + source_ + " " + c.options + bmp);
        ASSERT_TRUE(fs::exists(bmp));
        const vcl::TBitmap ours = vcl::LoadBmpFile(bmp);
        int width = 0, height = 0;
        const std::vector<TColor> theirs =
            ParsePpm(Shell("convert " + bmp + " -depth 8 ppm:-"), width, height);
        EXPECT_EQ(ours.PixelFormat(), c.format);
        ASSERT_EQ(ours.Width(), width);
        ASSERT_EQ(ours.Height(), height);
        ASSERT_EQ(theirs.size(), ours.Pixels().size());
        for (size_t i = 0; i < theirs.size(); ++i) {
            ASSERT_EQ(ours.Pixels()[i] & c.precision, theirs[i] & c.precision) << "pixel " << i;
        }
        fs::remove(bmp);
    }
}

TEST_F(ExternalTools, JpegsMadeByCjpegDecodeAsDjpegDecodesThem) {
    if (!HaveJpegTools()) {
        GTEST_SKIP() << "cjpeg/djpeg (package libjpeg-turbo-progs) are not installed";
    }
    const std::string jpg = Path("picture.jpg");
    Shell("cjpeg -quality 85 -outfile " + jpg + " " + source_);
    vcl::TJPEGImage jpeg;
    jpeg.LoadFromFile(jpg);
    struct Case {
        const char* name;
        vcl::TJPEGPixelFormat format;
        const char* options;
    };
    for (const Case& c : {Case{"24 bit", vcl::jf24Bit, ""},
                          Case{"8-bit palette", vcl::jf8Bit, "-colors 256 -dither none "}}) {
        SCOPED_TRACE(c.name);
        jpeg.SetPixelFormat(c.format);
        int width = 0, height = 0;
        const auto theirs =
            ParsePpm(Shell(std::string("djpeg -ppm ") + c.options + jpg), width, height);
        ASSERT_EQ(jpeg.Width(), width);
        ASSERT_EQ(jpeg.Height(), height);
        EXPECT_EQ(jpeg.Bitmap().Pixels(), theirs);
    }
}

}  // namespace
