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
    std::vector<TColor> pixels;     // the picture, rows from the top
    std::vector<TColor> rowBuffer;  // room for one decoded row, see RowStart
    std::vector<uint8_t> indices;   // one row of palette indices, when quantised
    std::vector<TColor> colormap;   // filled when quantised
};

// 24-bit rows are decoded straight into the colour values: libjpeg writes red, green, blue
// and a filler byte, which is the memory order of 0x00BBGGRR on a little-endian machine
// once the filler is cleared.
static_assert(std::endian::native == std::endian::little);
static_assert(sizeof(TColor) == 4);

// Where a decoded row goes before it joins the picture. libjpeg-turbo writes a row that
// starts on a 32-byte boundary (16 without AVX2) with non-temporal stores, which go around
// the cache; this row is read again at once, so it starts 16 bytes past such a boundary,
// which keeps the 16-byte loads and stores of the following passes whole.
TColor* RowStart(std::vector<TColor>& buffer, size_t width) {
    buffer.resize(width + 8);
    const auto address = reinterpret_cast<uintptr_t>(buffer.data());
    return buffer.data() + ((48 - address % 32) % 32) / sizeof(TColor);
}

// Decodes the header only (`target` and `rowDecoded` unused) or the whole picture: rows
// are reduced to `target`'s format unless the quantiser's colours already are its palette,
// handed to `rowDecoded` and appended to `out.pixels`. `target` starts in the decoder's
// own format; its palette is the quantiser's when quantised.
// Only plain data lives in this frame, so the jump back from libjpeg skips no destructor.
bool Decode(const std::vector<uint8_t>& bytes, bool headerOnly, bool quantise, Decoded& out,
            TBitmap& target, TPixelFormat format, const TJPEGImage::RowDecoded* rowDecoded,
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
    try {
        const size_t width = cinfo.output_width;
        if (quantise) {
            // The quantiser has chosen its colours once decompression has started.
            const bool gray = cinfo.out_color_components == 1;
            for (int i = 0; i < cinfo.actual_number_of_colors; ++i) {
                const uint8_t r = cinfo.colormap[0][i];
                out.colormap.push_back(gray ? RGB(r, r, r)
                                            : RGB(r, cinfo.colormap[1][i], cinfo.colormap[2][i]));
            }
            out.indices.resize(width);
            target.SetPalette(out.colormap);
        }
        // No pixel is held yet: this only sets the format (and empties the palette).
        target.SetPixelFormat(format);
        const bool reduce = !quantise || format != pf8bit;
        out.pixels.reserve(width * cinfo.output_height);
        TColor* row = RowStart(out.rowBuffer, width);
        for (int y = 0; y < static_cast<int>(cinfo.output_height); ++y) {
            JSAMPROW samples = quantise ? out.indices.data() : reinterpret_cast<JSAMPROW>(row);
            if (jpeg_read_scanlines(&cinfo, &samples, 1) != 1) {
                // Cannot happen with data in memory; finishing below reports the rows missing.
                break;
            }
            if (quantise) {
                for (size_t x = 0; x < width; ++x) {
                    const uint8_t index = out.indices[x];
                    row[x] = index < out.colormap.size() ? out.colormap[index] : clBlack;
                }
            }
            if (reduce) {
                // For 24-bit rows this also clears the filler byte.
                target.AppendReducedRow(row, static_cast<int>(width), out.pixels);
            } else {
                out.pixels.insert(out.pixels.end(), row, row + width);
            }
            if (rowDecoded != nullptr && *rowDecoded) {
                // The row just appended, still in cache.
                (*rowDecoded)(y, out.pixels.data() + width * static_cast<size_t>(y));
            }
        }
    } catch (...) {
        jpeg_destroy_decompress(&cinfo);
        throw;
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// The whole picture as a bitmap of `format`, as described for Decode.
TBitmap DecodeBitmap(const std::vector<uint8_t>& bytes, bool quantise, TPixelFormat format,
                     const TJPEGImage::RowDecoded* rowDecoded) {
    if (bytes.empty()) {
        throw EInvalidGraphic("no JPEG picture loaded");
    }
    Decoded picture;
    TBitmap bitmap;
    bitmap.SetPixelFormat(quantise ? pf8bit : pf24bit);
    char error[JMSG_LENGTH_MAX];
    if (!Decode(bytes, false, quantise, picture, bitmap, format, rowDecoded, error)) {
        throw EInvalidGraphic(std::string("JPEG error: ") + error);
    }
    bitmap.AssignPixels(picture.width, picture.height, std::move(picture.pixels));
    return bitmap;
}

}  // namespace

void TJPEGImage::LoadFromBytes(std::vector<uint8_t> bytes) {
    Decoded header;
    TBitmap unused;
    char error[JMSG_LENGTH_MAX];
    if (!Decode(bytes, true, false, header, unused, pf24bit, nullptr, error)) {
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
        const bool quantise = format_ == jf8Bit;
        decoded_ = DecodeBitmap(bytes_, quantise, quantise ? pf8bit : pf24bit, nullptr);
    }
    return *decoded_;
}

TBitmap TJPEGImage::TakeBitmap() {
    Bitmap();
    TBitmap bitmap = std::move(*decoded_);
    decoded_.reset();
    return bitmap;
}

TBitmap TJPEGImage::TakeBitmap(TPixelFormat format, const RowDecoded& rowDecoded) {
    decoded_.reset();
    return DecodeBitmap(bytes_, format_ == jf8Bit, format, &rowDecoded);
}

}  // namespace vcl
