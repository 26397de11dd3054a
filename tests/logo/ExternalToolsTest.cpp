// Pictures made and decoded by tools nobody here wrote: ImageMagick for bitmaps of every
// format, cjpeg and djpeg for JPEG. On a machine without the tools (packages imagemagick
// and libjpeg-turbo-progs) the tests skip themselves, except under CI, where a missing tool
// is a failure: scripts/install-deps installs them there.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/vcl/core/BmpFile.h"
#include "platform/vcl/core/JpegImage.h"

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

// Under CI the tools are installed, so their absence is a broken set-up, not a reason to skip.
#define SKIP_OR_FAIL_WITHOUT(have, what)                                \
    do {                                                                \
        if (!(have)) {                                                  \
            if (std::getenv("CI") != nullptr) {                         \
                FAIL() << what << " is missing (scripts/install-deps)"; \
            }                                                           \
            GTEST_SKIP() << what << " is not installed";                \
        }                                                               \
    } while (false)

// A binary PPM (P6) or PGM (P5), maxval 255, read into colours; empty when it is neither.
std::vector<TColor> ParsePnm(const std::string& data, int& width, int& height) {
    size_t pos = 0;
    auto token = [&] {
        while (pos < data.size() &&
               (std::isspace(static_cast<unsigned char>(data[pos])) || data[pos] == '#')) {
            pos = data[pos] == '#' ? data.find('\n', pos) : pos + 1;
        }
        const size_t start = pos;
        while (pos < data.size() && !std::isspace(static_cast<unsigned char>(data[pos]))) {
            ++pos;
        }
        return data.substr(start, pos - start);
    };
    std::vector<TColor> pixels;
    const std::string magic = token();
    if (magic != "P6" && magic != "P5") {
        return pixels;
    }
    const size_t channels = magic == "P6" ? 3 : 1;
    width = std::stoi(token());
    height = std::stoi(token());
    if (token() != "255") {
        return pixels;
    }
    ++pos;  // the single blank after maxval
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (data.size() < pos + count * channels) {
        return pixels;
    }
    for (size_t i = 0; i < count; ++i, pos += channels) {
        const auto r = static_cast<uint8_t>(data[pos]);
        pixels.push_back(channels == 1 ? RGB(r, r, r)
                                       : RGB(r, static_cast<uint8_t>(data[pos + 1]),
                                             static_cast<uint8_t>(data[pos + 2])));
    }
    return pixels;
}

// What a bitmap file says of itself: header size, bit count and compression.
struct BmpLayout {
    uint32_t headerSize = 0;
    int bitCount = 0;
    uint32_t compression = 0;
};

BmpLayout ReadLayout(const std::vector<uint8_t>& file) {
    auto u16 = [&](size_t at) { return static_cast<uint32_t>(file[at] | file[at + 1] << 8); };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    BmpLayout layout;
    if (file.size() < 34) {
        return layout;
    }
    layout.headerSize = u32(14);
    if (layout.headerSize == 12) {
        layout.bitCount = static_cast<int>(u16(24));
    } else {
        layout.bitCount = static_cast<int>(u16(28));
        layout.compression = u32(30);
    }
    return layout;
}

// A picture with flat areas, edges and a gradient, 37 wide so rows need padding, with more
// colours than a palette holds so the tools have to choose.
class ExternalTools {
  public:
    ExternalTools() {
        fs::create_directories(dir_);
        std::ofstream out(Source(), std::ios::binary);
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
    ~ExternalTools() { fs::remove_all(dir_); }
    ExternalTools(const ExternalTools&) = delete;
    ExternalTools& operator=(const ExternalTools&) = delete;

    std::string Source() const { return Path("source.ppm"); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  private:
    fs::path dir_ = fs::temp_directory_path() / ("logo_tools_" + std::to_string(::getpid()));
};

struct BmpCase {
    const char* name;
    const char* options;  // ImageMagick options and output coder prefix
    BmpLayout layout;     // what the file must be, so the case covers what it names
    vcl::TPixelFormat format;
    TColor precision;  // the channel bits the format keeps
};

constexpr TColor kAllBits = RGB(0xFF, 0xFF, 0xFF);

const BmpCase kBmpCases[] = {
    {"Mono", "-colors 2 -type Palette -depth 1 BMP3:", {40, 1, 0}, vcl::pf1bit, kAllBits},
    {"MonoV5Header", "-colors 2 -type Palette -depth 1 BMP:", {124, 1, 0}, vcl::pf1bit, kAllBits},
    {"Palette4", "-colors 16 -type Palette -depth 4 BMP3:", {40, 4, 0}, vcl::pf4bit, kAllBits},
    {"Palette4CoreHeader",
     "-colors 16 -type Palette -depth 4 BMP2:",
     {12, 4, 0},
     vcl::pf4bit,
     kAllBits},
    {"Palette8",
     "-colors 200 -type Palette -compress None BMP3:",
     {40, 8, 0},
     vcl::pf8bit,
     kAllBits},
    {"Palette8Rle",
     "-colors 200 -type Palette -compress RLE BMP3:",
     {40, 8, 1},
     vcl::pf8bit,
     kAllBits},
    {"Grey8Rle",
     "-type Grayscale -colors 256 -compress RLE BMP3:",
     {40, 8, 1},
     vcl::pf8bit,
     kAllBits},
    {"Rgb555",
     "-define bmp:subtype=RGB555 BMP:",
     {124, 16, 3},
     vcl::pf15bit,
     RGB(0xF8, 0xF8, 0xF8)},
    {"Rgb565",
     "-define bmp:subtype=RGB565 BMP:",
     {124, 16, 3},
     vcl::pf16bit,
     RGB(0xF8, 0xFC, 0xF8)},
    {"TrueColor24", "-type TrueColor BMP3:", {40, 24, 0}, vcl::pf24bit, kAllBits},
    {"TrueColor24CoreHeader", "-type TrueColor BMP2:", {12, 24, 0}, vcl::pf24bit, kAllBits},
    {"TrueColor32", "-type TrueColorAlpha BMP:", {124, 32, 3}, vcl::pf32bit, kAllBits},
};

class ImageMagickBitmap : public ::testing::TestWithParam<BmpCase> {};

TEST_P(ImageMagickBitmap, DecodesAsImageMagickDecodesIt) {
    SKIP_OR_FAIL_WITHOUT(HaveImageMagick(), "ImageMagick (package imagemagick)");
    const BmpCase& c = GetParam();
    ExternalTools tools;
    const std::string bmp = tools.Path("picture.bmp");
    Shell("convert " + tools.Source() + " " + c.options + bmp);
    // A file that is not there means ImageMagick refused to write BMP (its policy.xml).
    ASSERT_TRUE(fs::exists(bmp)) << "ImageMagick wrote no BMP: is the coder blocked by policy?";

    const std::vector<uint8_t> file = vcl::ReadWholeFile(bmp);
    const BmpLayout layout = ReadLayout(file);
    ASSERT_EQ(layout.headerSize, c.layout.headerSize);
    ASSERT_EQ(layout.bitCount, c.layout.bitCount);
    ASSERT_EQ(layout.compression, c.layout.compression);

    const vcl::TBitmap ours = vcl::LoadBmp(file);
    int width = 0, height = 0;
    const std::vector<TColor> theirs =
        ParsePnm(Shell("convert " + bmp + " -depth 8 ppm:-"), width, height);
    EXPECT_EQ(ours.PixelFormat(), c.format);
    ASSERT_EQ(ours.Width(), width);
    ASSERT_EQ(ours.Height(), height);
    ASSERT_EQ(theirs.size(), ours.Pixels().size());
    for (size_t i = 0; i < theirs.size(); ++i) {
        ASSERT_EQ(ours.Pixels()[i] & c.precision, theirs[i] & c.precision) << "pixel " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ImageMagickBitmap, ::testing::ValuesIn(kBmpCases),
                         [](const auto& param) { return std::string(param.param.name); });

struct JpegCase {
    const char* name;
    const char* cjpegOptions;
};

const JpegCase kJpegCases[] = {
    {"Baseline", "-quality 85"},
    {"FullChroma", "-quality 95 -sample 1x1"},
    {"Progressive", "-quality 85 -progressive"},
    {"Grey", "-quality 85 -grayscale"},
    {"RestartMarkers", "-quality 85 -restart 1B"},
    {"OptimisedHuffman", "-quality 75 -optimize"},
    {"Arithmetic", "-quality 85 -arithmetic"},
    {"RgbNoColourTransform", "-quality 90 -rgb"},
};

class CjpegPicture : public ::testing::TestWithParam<JpegCase> {};

// 24 bit must be exact; the 8-bit palette is the same quantiser without dithering, so it
// must be exact too.
TEST_P(CjpegPicture, DecodesAsDjpegDecodesIt) {
    SKIP_OR_FAIL_WITHOUT(HaveJpegTools(), "cjpeg/djpeg (package libjpeg-turbo-progs)");
    ExternalTools tools;
    const std::string jpg = tools.Path("picture.jpg");
    Shell(std::string("cjpeg ") + GetParam().cjpegOptions + " -outfile " + jpg + " " +
          tools.Source());
    ASSERT_TRUE(fs::exists(jpg));
    vcl::TJPEGImage jpeg;
    jpeg.LoadFromFile(jpg);
    struct Format {
        const char* name;
        vcl::TJPEGPixelFormat format;
        const char* djpegOptions;
    };
    for (const Format& f :
         {Format{"24 bit", vcl::jf24Bit, "-pnm "},
          Format{"8-bit palette", vcl::jf8Bit, "-pnm -colors 256 -dither none "}}) {
        SCOPED_TRACE(f.name);
        jpeg.SetPixelFormat(f.format);
        int width = 0, height = 0;
        const auto theirs =
            ParsePnm(Shell(std::string("djpeg ") + f.djpegOptions + jpg), width, height);
        ASSERT_FALSE(theirs.empty());
        ASSERT_EQ(jpeg.Width(), width);
        ASSERT_EQ(jpeg.Height(), height);
        EXPECT_EQ(jpeg.Bitmap().Pixels(), theirs);
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, CjpegPicture, ::testing::ValuesIn(kJpegCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
