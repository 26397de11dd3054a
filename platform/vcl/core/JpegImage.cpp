#include "platform/vcl/core/JpegImage.h"

#include <bit>
#include <csetjmp>
#include <cstdio>
#include <utility>

#include "platform/vcl/core/BmpFile.h"

// clang-format off
#include <jpeglib.h>
// clang-format on

namespace vcl {
namespace {

// libjpeg ends the process on a fatal error unless told otherwise; we jump back to the
// decoding call instead and turn the error into an exception there.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnFatalError(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings about damaged data are not fatal: libjpeg goes on with what it can decode.
void OnMessage(j_common_ptr /*cinfo*/) {}

// Bounds libjpeg's own working memory (progressive pictures keep every coefficient).
constexpr long kMaxDecoderMemory = 512L * 1024 * 1024;

struct Decoded {
    int width = 0;
    int height = 0;
    std::vector<TColor> pixels;    // the picture, rows from the top
    std::vector<uint8_t> indices;  // one row of palette indices, when quantised
    std::vector<TColor> colormap;  // filled when quantised
};

// 24-bit rows are decoded straight into the colour values: libjpeg writes red, green, blue
// and a filler byte, which is the memory order of 0x00BBGGRR on a little-endian machine
// once the filler is cleared.
static_assert(std::endian::native == std::endian::little);
static_assert(sizeof(TColor) == 4);

// Decodes the header only (`quantise` ignored, `pixels` untouched) or the whole picture.
// Only plain data lives in this frame, so the jump back from libjpeg skips no destructor.
bool Decode(const std::vector<uint8_t>& bytes, bool headerOnly, bool quantise, Decoded& out,
            char (&error)[JMSG_LENGTH_MAX]) {
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = OnFatalError;
    errors.pub.output_message = OnMessage;
    errors.message[0] = '\0';
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        std::snprintf(error, sizeof error, "%s", errors.message);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    out.width = static_cast<int>(cinfo.image_width);
    out.height = static_cast<int>(cinfo.image_height);
    if (static_cast<int64_t>(out.width) * out.height > TBitmap::kMaxPixels) {
        jpeg_destroy_decompress(&cinfo);
        std::snprintf(error, sizeof error, "JPEG picture too large");
        return false;
    }
    if (headerOnly) {
        jpeg_destroy_decompress(&cinfo);
        return true;
    }
    if (!quantise) {
        cinfo.out_color_space = JCS_EXT_RGBX;
    } else if (cinfo.num_components != 1) {
        cinfo.out_color_space = JCS_RGB;
    }
    if (quantise) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = 256;
        cinfo.two_pass_quantize = TRUE;
        cinfo.dither_mode = JDITHER_NONE;
    }
    jpeg_start_decompress(&cinfo);
    const size_t width = cinfo.output_width;
    out.pixels.resize(width * cinfo.output_height);
    if (quantise) {
        // The quantiser has chosen its colours once decompression has started.
        const bool gray = cinfo.out_color_components == 1;
        for (int i = 0; i < cinfo.actual_number_of_colors; ++i) {
            const uint8_t r = cinfo.colormap[0][i];
            out.colormap.push_back(gray ? RGB(r, r, r)
                                        : RGB(r, cinfo.colormap[1][i], cinfo.colormap[2][i]));
        }
        out.indices.resize(width);
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        TColor* pixels = out.pixels.data() + width * cinfo.output_scanline;
        if (quantise) {
            JSAMPROW row = out.indices.data();
            jpeg_read_scanlines(&cinfo, &row, 1);
            for (size_t x = 0; x < width; ++x) {
                const uint8_t index = out.indices[x];
                pixels[x] = index < out.colormap.size() ? out.colormap[index] : clBlack;
            }
        } else {
            JSAMPROW row = reinterpret_cast<JSAMPROW>(pixels);
            jpeg_read_scanlines(&cinfo, &row, 1);
            for (size_t x = 0; x < width; ++x) {
                pixels[x] &= 0xFFFFFF;
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

TBitmap ToBitmap(Decoded& d, bool quantised) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(quantised ? pf8bit : pf24bit);
    if (quantised) {
        bitmap.SetPalette(d.colormap);
    }
    bitmap.AssignPixels(d.width, d.height, std::move(d.pixels));
    return bitmap;
}

}  // namespace

void TJPEGImage::LoadFromBytes(std::vector<uint8_t> bytes) {
    Decoded header;
    char error[JMSG_LENGTH_MAX];
    if (!Decode(bytes, true, false, header, error)) {
        throw EInvalidGraphic(std::string("JPEG error: ") + error);
    }
    bytes_ = std::move(bytes);
    width_ = header.width;
    height_ = header.height;
    decoded_.reset();
}

void TJPEGImage::LoadFromFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    try {
        bytes = ReadWholeFile(path);
    } catch (const std::runtime_error& e) {
        throw EInvalidGraphic(e.what());
    }
    LoadFromBytes(std::move(bytes));
}

void TJPEGImage::SetPixelFormat(TJPEGPixelFormat format) {
    if (format != format_) {
        format_ = format;
        decoded_.reset();
    }
}

const TBitmap& TJPEGImage::Bitmap() {
    if (!decoded_) {
        if (bytes_.empty()) {
            throw EInvalidGraphic("no JPEG picture loaded");
        }
        Decoded picture;
        char error[JMSG_LENGTH_MAX];
        const bool quantise = format_ == jf8Bit;
        if (!Decode(bytes_, false, quantise, picture, error)) {
            throw EInvalidGraphic(std::string("JPEG error: ") + error);
        }
        decoded_ = ToBitmap(picture, quantise);
    }
    return *decoded_;
}

TBitmap TJPEGImage::TakeBitmap() {
    Bitmap();
    TBitmap bitmap = std::move(*decoded_);
    decoded_.reset();
    return bitmap;
}

}  // namespace vcl
