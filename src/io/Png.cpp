#include <png.h>

#include <csetjmp>
#include <cstring>

#include "io/ImageCodecs.h"

namespace imageio {

bool decodePng(std::string_view bytes, Image& out, std::string& error) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&img, bytes.data(), bytes.size())) {
        error = std::string("not a readable PNG file (") + img.message + ")";
        png_image_free(&img);
        return false;
    }
    if (!Image::validSize(int(std::min<png_uint_32>(img.width, 1u << 30)), int(std::min<png_uint_32>(img.height, 1u << 30)))) {
        error = "the PNG picture is " + std::to_string(img.width) + " x " + std::to_string(img.height) +
                " pixels, larger than the " + std::to_string(Image::kMaxSide) + " x " +
                std::to_string(Image::kMaxSide) + " this program reads";
        png_image_free(&img);
        return false;
    }
    // Even at one bit per pixel and deflate's best ratio (about 1032 to 1)
    // the rows need this many bytes: a shorter file cannot hold the picture,
    // and is refused before its pixels are allocated.
    const uint64_t rowBytes = 1 + (uint64_t(img.width) + 7) / 8;
    if (uint64_t(bytes.size()) * 1100 < rowBytes * img.height) {
        error = "the PNG file is shorter than its picture size says";
        png_image_free(&img);
        return false;
    }
    img.format = PNG_FORMAT_RGBA;
    Image result(int(img.width), int(img.height));
    if (!png_image_finish_read(&img, nullptr, result.data(), png_int_32(result.stride()), nullptr)) {
        error = std::string("the PNG file is damaged (") + img.message + ")";
        png_image_free(&img);
        return false;
    }
    png_image_free(&img);
    out = std::move(result);
    return true;
}

namespace {

struct WriteState {
    std::string* out;
    char message[256];
};

void onWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* st = static_cast<WriteState*>(png_get_io_ptr(png));
    st->out->append(reinterpret_cast<const char*>(data), length);
}
void onFlush(png_structp) {}

void onError(png_structp png, png_const_charp msg) {
    auto* st = static_cast<WriteState*>(png_get_error_ptr(png));
    std::strncpy(st->message, msg ? msg : "unknown error", sizeof st->message - 1);
    st->message[sizeof st->message - 1] = 0;
    png_longjmp(png, 1);
}
void onWarning(png_structp, png_const_charp) {}

// Writes rows through libpng. Only plain data lives in this frame, so the
// longjmp of the error handler skips no destructor.
bool writePng(int width, int height, int bitDepth, int colorType, const png_color* palette, int paletteSize,
              const uint8_t* const* rows, int zlibLevel, WriteState& st, const uint8_t* alphas = nullptr,
              int alphaCount = 0) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &st, onError, onWarning);
    if (!png) {
        std::strcpy(st.message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::strcpy(st.message, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &st, onWrite, onFlush);
    png_set_compression_level(png, zlibLevel < 0 ? 0 : zlibLevel > 9 ? 9 : zlibLevel);
    // The pictures written here are flat colours over transparency: without
    // row filters they come out smaller than with libpng's adaptive choice,
    // and about three times faster (the choice tries every filter per row).
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), bitDepth, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (palette) png_set_PLTE(png, info, palette, paletteSize);
    if (alphas && alphaCount > 0) png_set_tRNS(png, info, alphas, alphaCount, nullptr);
    png_write_info(png, info);
    png_write_image(png, (png_bytepp)rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool encodePng32(const Image& img, std::string& out, std::string& error, int zlibLevel) {
    out.clear();
    if (img.empty()) {
        error = "cannot write an empty picture";
        return false;
    }
    std::vector<const uint8_t*> rows(size_t(img.height()));
    for (int y = 0; y < img.height(); ++y) rows[size_t(y)] = img.pixel(0, y);
    WriteState st{&out, {}};
    if (!writePng(img.width(), img.height(), 8, PNG_COLOR_TYPE_RGBA, nullptr, 0, rows.data(), zlibLevel, st)) {
        error = std::string("PNG encoding failed: ") + st.message;
        out.clear();
        return false;
    }
    return true;
}

bool encodePng4(const IndexedImage& img, std::string& out, std::string& error, int zlibLevel) {
    out.clear();
    if (!Image::validSize(img.width, img.height) ||
        img.indices.size() != size_t(img.width) * size_t(img.height)) {
        error = "cannot write a palette picture of that size";
        return false;
    }
    if (img.palette.empty() || img.palette.size() > 16) {
        error = "a 4-bit picture needs 1 to 16 palette colours";
        return false;
    }
    png_color pal[16];
    for (size_t i = 0; i < img.palette.size(); ++i) pal[i] = png_color{img.palette[i].r, img.palette[i].g, img.palette[i].b};
    size_t rowBytes = (size_t(img.width) + 1) / 2;
    std::vector<uint8_t> packed(rowBytes * size_t(img.height), 0);
    std::vector<const uint8_t*> rows(size_t(img.height));
    for (int y = 0; y < img.height; ++y) {
        uint8_t* dst = &packed[size_t(y) * rowBytes];
        const uint8_t* src = &img.indices[size_t(y) * size_t(img.width)];
        for (int x = 0; x < img.width; ++x) {
            uint8_t v = src[x];
            if (v >= img.palette.size()) {
                error = "a pixel names palette colour " + std::to_string(v) + " of " +
                        std::to_string(img.palette.size());
                return false;
            }
            dst[x / 2] |= (x % 2 == 0) ? uint8_t(v << 4) : v;
        }
        rows[size_t(y)] = dst;
    }
    WriteState st{&out, {}};
    if (!writePng(img.width, img.height, 4, PNG_COLOR_TYPE_PALETTE, pal, int(img.palette.size()), rows.data(),
                  zlibLevel, st)) {
        error = std::string("PNG encoding failed: ") + st.message;
        out.clear();
        return false;
    }
    return true;
}

bool encodePng8(const IndexedImage& img, std::string& out, std::string& error, int zlibLevel) {
    out.clear();
    if (!Image::validSize(img.width, img.height) ||
        img.indices.size() != size_t(img.width) * size_t(img.height)) {
        error = "cannot write a palette picture of that size";
        return false;
    }
    if (img.palette.empty() || img.palette.size() > 256 || img.alpha.size() > img.palette.size()) {
        error = "an 8-bit picture needs 1 to 256 palette colours";
        return false;
    }
    png_color pal[256];
    for (size_t i = 0; i < img.palette.size(); ++i) pal[i] = png_color{img.palette[i].r, img.palette[i].g, img.palette[i].b};
    for (uint8_t v : img.indices)
        if (v >= img.palette.size()) {
            error = "a pixel names palette colour " + std::to_string(v) + " of " + std::to_string(img.palette.size());
            return false;
        }
    std::vector<const uint8_t*> rows(size_t(img.height));
    for (int y = 0; y < img.height; ++y) rows[size_t(y)] = &img.indices[size_t(y) * size_t(img.width)];
    WriteState st{&out, {}};
    if (!writePng(img.width, img.height, 8, PNG_COLOR_TYPE_PALETTE, pal, int(img.palette.size()), rows.data(),
                  zlibLevel, st, img.alpha.empty() ? nullptr : img.alpha.data(), int(img.alpha.size()))) {
        error = std::string("PNG encoding failed: ") + st.message;
        out.clear();
        return false;
    }
    return true;
}

}  // namespace imageio
