#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "io/ImageCodecs.h"

namespace imageio {

namespace {

// A read-only memory stream for libtiff.
struct MemoryStream {
    const char* data;
    toff_t size;
    toff_t pos;
    std::string message;
};

tmsize_t readProc(thandle_t h, void* buf, tmsize_t n) {
    auto* s = static_cast<MemoryStream*>(h);
    if (n <= 0 || s->pos >= s->size) return 0;
    toff_t left = s->size - s->pos;
    toff_t take = toff_t(n) < left ? toff_t(n) : left;
    std::memcpy(buf, s->data + s->pos, size_t(take));
    s->pos += take;
    return tmsize_t(take);
}
tmsize_t writeProc(thandle_t, void*, tmsize_t) { return 0; }
toff_t seekProc(thandle_t h, toff_t off, int whence) {
    auto* s = static_cast<MemoryStream*>(h);
    long long base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? (long long)s->pos : (long long)s->size;
    long long target = base + (long long)off;
    if (target < 0) return toff_t(-1);
    s->pos = toff_t(target);
    return s->pos;
}
int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t h) { return static_cast<MemoryStream*>(h)->size; }
int mapProc(thandle_t, void**, toff_t*) { return 0; }
void unmapProc(thandle_t, void*, toff_t) {}

int onError(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
    auto* s = static_cast<MemoryStream*>(user);
    char buf[512];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    if (s->message.empty()) s->message = (module ? std::string(module) + ": " : std::string()) + buf;
    return 1;
}
int onWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

}  // namespace

bool decodeTiff(std::string_view bytes, Image& out, std::string& error) {
    MemoryStream stream{bytes.data(), toff_t(bytes.size()), 0, {}};
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(opts, onError, &stream);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, onWarning, &stream);
    // Bound what libtiff may allocate for one strip or tile.
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, tmsize_t(256) << 20);
    TIFF* tif = TIFFClientOpenExt("picture.tif", "rm", &stream, readProc, writeProc, seekProc, closeProc, sizeProc,
                                  mapProc, unmapProc, opts);
    TIFFOpenOptionsFree(opts);
    if (!tif) {
        error = "not a readable TIFF file" + (stream.message.empty() ? std::string() : " (" + stream.message + ")");
        return false;
    }
    uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    if (w == 0 || h == 0 || w > uint32_t(Image::kMaxSide) || h > uint32_t(Image::kMaxSide)) {
        error = "the TIFF picture is " + std::to_string(w) + " x " + std::to_string(h) + " pixels, outside the 1 to " +
                std::to_string(Image::kMaxSide) + " pixels per side this program reads";
        TIFFClose(tif);
        return false;
    }
    error = pixelBudgetError("TIFF", w, h);
    if (!error.empty()) {
        TIFFClose(tif);
        return false;
    }
    char emsg[1024] = "";
    if (!TIFFRGBAImageOK(tif, emsg)) {
        error = std::string("the TIFF picture's layout is not supported (") + emsg + ")";
        TIFFClose(tif);
        return false;
    }
    std::vector<uint32_t> raster(size_t(w) * size_t(h));
    int ok = TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0);
    uint16_t extra = 0;
    uint16_t* extraTypes = nullptr;
    bool associated = TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extra, &extraTypes) && extra > 0 && extraTypes &&
                      extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;
    TIFFClose(tif);
    if (!ok) {
        error = "the TIFF file is damaged" + (stream.message.empty() ? std::string() : " (" + stream.message + ")");
        return false;
    }
    Image img{int(w), int(h)};
    uint8_t* p = img.data();
    for (uint32_t v : raster) {
        uint8_t a = uint8_t(TIFFGetA(v));
        uint8_t r = uint8_t(TIFFGetR(v)), g = uint8_t(TIFFGetG(v)), b = uint8_t(TIFFGetB(v));
        if (associated && a > 0 && a < 255) {
            r = uint8_t(std::min(255u, (r * 255u + a / 2) / a));
            g = uint8_t(std::min(255u, (g * 255u + a / 2) / a));
            b = uint8_t(std::min(255u, (b * 255u + a / 2) / a));
        }
        p[0] = r;
        p[1] = g;
        p[2] = b;
        p[3] = a;
        p += 4;
    }
    out = std::move(img);
    return true;
}

}  // namespace imageio
