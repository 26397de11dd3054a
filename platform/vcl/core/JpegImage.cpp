#include "platform/vcl/core/JpegImage.h"

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
    int components = 0;
    std::vector<uint8_t> samples;  // components bytes a pixel, or one index a pixel
    std::vector<TColor> colormap;  // filled when quantised
};

// Decodes the header only (`quantise` ignored, `samples` untouched) or the whole picture.
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
    if (cinfo.num_components != 1 || !quantise) {
        cinfo.out_color_space = JCS_RGB;
    }
    if (quantise) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = 256;
        cinfo.two_pass_quantize = TRUE;
        cinfo.dither_mode = JDITHER_NONE;
    }
    jpeg_start_decompress(&cinfo);
    out.components = quantise ? 1 : cinfo.output_components;
    const size_t stride = static_cast<size_t>(cinfo.output_width) * out.components;
    out.samples.assign(stride * cinfo.output_height, 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.samples.data() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    if (quantise) {
        const bool gray = cinfo.out_color_components == 1;
        for (int i = 0; i < cinfo.actual_number_of_colors; ++i) {
            const uint8_t r = cinfo.colormap[0][i];
            out.colormap.push_back(gray ? RGB(r, r, r)
                                        : RGB(r, cinfo.colormap[1][i], cinfo.colormap[2][i]));
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

TBitmap ToBitmap(const Decoded& d, bool quantised) {
    std::vector<TColor> pixels(static_cast<size_t>(d.width) * d.height);
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (quantised) {
            const uint8_t index = d.samples[i];
            pixels[i] = index < d.colormap.size() ? d.colormap[index] : clBlack;
        } else {
            pixels[i] = RGB(d.samples[3 * i], d.samples[3 * i + 1], d.samples[3 * i + 2]);
        }
    }
    TBitmap bitmap;
    bitmap.SetPixelFormat(quantised ? pf8bit : pf24bit);
    bitmap.SetSize(d.width, d.height);
    if (quantised) {
        bitmap.SetPalette(d.colormap);
    }
    bitmap.AssignPixels(std::move(pixels));
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

}  // namespace vcl
