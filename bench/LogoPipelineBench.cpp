// The logo pipeline as the program runs it for a JPEG picture (decode, scale to a 1024 × 768
// display, encode the one logo format the projector takes: SPLB, or SPLC for one model)
// against the floor of the same work: a bare libjpeg decode of the same picture to RGB rows,
// in the same run. scripts/bench prints the ratio.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "app/logo/LogoImport.h"
#include "app/logo/Mysplash.h"

namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 1200;
constexpr int kDisplayWidth = 1024;
constexpr int kDisplayHeight = 768;

// A photo-like picture: a sky gradient over a textured ground, a sun and a few hard-edged
// shapes. With `grain`, every pixel also gets sensor-like noise, the worst case for the
// run-length formats (nearly every pixel becomes a record of its own).
std::vector<uint8_t> MakeScene(bool withGrain) {
    std::vector<uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
    uint32_t noise = 12345;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = withGrain ? static_cast<int>(noise >> 28) - 8 : 0;
            double r, g, b;
            if (y < kHeight * 3 / 5) {  // sky
                const double t = static_cast<double>(y) / (kHeight * 3 / 5);
                r = 70 + 120 * t;
                g = 120 + 90 * t;
                b = 230 - 30 * t;
            } else {  // ground
                const double t = static_cast<double>(y - kHeight * 3 / 5) / (kHeight * 2 / 5);
                r = 90 - 40 * t + 20 * std::sin(x / 37.0);
                g = 140 - 60 * t + 15 * std::sin(x / 23.0 + y / 17.0);
                b = 60 - 20 * t;
            }
            const double sunX = x - 1200.0, sunY = y - 260.0;
            if (sunX * sunX + sunY * sunY < 140.0 * 140.0) {
                r = 255, g = 230, b = 120;
            }
            if (x > 200 && x < 520 && y > 560 && y < 900) {  // a house
                r = 180, g = 60, b = 50;
            }
            if (x > 300 && x < 380 && y > 720 && y < 900) {  // its door
                r = 70, g = 40, b = 30;
            }
            auto clamp = [](double v) {
                return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
            };
            uint8_t* p = &rgb[(static_cast<size_t>(y) * kWidth + x) * 3];
            p[0] = clamp(r + grain);
            p[1] = clamp(g + grain);
            p[2] = clamp(b + grain);
        }
    }
    return rgb;
}

std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& rgb, int quality) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<uint8_t*>(&rgb[static_cast<size_t>(cinfo.next_scanline) * kWidth * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> jpeg(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return jpeg;
}

// Argument 0: the scene; 1: the scene with grain.
const std::vector<uint8_t>& ThePicture(int64_t grain) {
    static const std::vector<uint8_t> scene = EncodeJpeg(MakeScene(false), 90);
    static const std::vector<uint8_t> grainy = EncodeJpeg(MakeScene(true), 90);
    return grain != 0 ? grainy : scene;
}

// The floor: libjpeg decoding the picture to RGB rows in a new buffer, as any program
// that decodes a picture into memory does.
void BM_BareJpegDecode(benchmark::State& state) {
    const std::vector<uint8_t>& jpeg = ThePicture(state.range(0));
    for (auto _ : state) {
        std::vector<uint8_t> rgb;
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr errors;
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_RGB;
        jpeg_start_decompress(&cinfo);
        const size_t stride = static_cast<size_t>(cinfo.output_width) * 3;
        rgb.resize(stride * cinfo.output_height);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = rgb.data() + stride * cinfo.output_scanline;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(rgb.data());
        benchmark::ClobberMemory();
    }
    state.counters["jpeg_bytes"] = static_cast<double>(jpeg.size());
}

// The import as the window runs it for a 24-bit screen, then the logo file's encoder: one
// format per load, as the projector's model decides.
template <std::vector<uint8_t> (*Encode)(const vcl::TBitmap&, int, int)>
void LogoPipeline(benchmark::State& state) {
    const std::vector<uint8_t>& jpeg = ThePicture(state.range(0));
    const logo::JpegColourChoice colours =
        logo::ChooseJpegColours(24, logo::JpegDepthButton::rb24bit);
    size_t logoBytes = 0;
    for (auto _ : state) {
        const logo::ImportedPicture picture =
            logo::ImportJpeg(jpeg, colours, kDisplayWidth, kDisplayHeight);
        const std::vector<uint8_t> logoFile = Encode(picture.scaled, kDisplayWidth, kDisplayHeight);
        logoBytes = logoFile.size();
        benchmark::DoNotOptimize(picture.picture.Pixels().data());
        benchmark::DoNotOptimize(logoFile.data());
    }
    state.counters["logo_bytes"] = static_cast<double>(logoBytes);
}

// SPLB: every projector but one model.
void BM_LogoPipeline(benchmark::State& state) {
    LogoPipeline<logo::EncodeSplb>(state);
}
// SPLC: the one model that takes it.
void BM_LogoPipelineSplc(benchmark::State& state) {
    LogoPipeline<logo::EncodeSplc>(state);
}

// Five repetitions each; run them interleaved (--benchmark_enable_random_interleaving=true,
// as scripts/bench does) so that every side sees the same machine load.
#define OSTREL_LOGO_BENCHMARK(name)     \
    BENCHMARK(name)                     \
        ->ArgName("grain")              \
        ->Arg(0)                        \
        ->Arg(1)                        \
        ->Unit(benchmark::kMillisecond) \
        ->MinTime(1.0)                  \
        ->Repetitions(5)
OSTREL_LOGO_BENCHMARK(BM_BareJpegDecode);
OSTREL_LOGO_BENCHMARK(BM_LogoPipeline);
OSTREL_LOGO_BENCHMARK(BM_LogoPipelineSplc);

}  // namespace

BENCHMARK_MAIN();
