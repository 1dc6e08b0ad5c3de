#include "io/ImageCodecs.h"

#include <cstring>

#include "io/Files.h"

namespace imageio {

std::string pixelBudgetError(const char* format, uint64_t width, uint64_t height) {
    if (width * height <= kMaxPicturePixels) return {};
    return std::string("the ") + format + " picture is " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels, more than the " + std::to_string(kMaxPicturePixels) + " pixels this program reads";
}

bool tgaLooksValid(std::string_view bytes);  // BmpTga.cpp

namespace {

bool endsWithIgnoreCase(std::string_view s, std::string_view tail) {
    if (s.size() < tail.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i) {
        char a = s[s.size() - tail.size() + i], b = tail[i];
        if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

bool startsWith(std::string_view s, const char* sig, size_t len) {
    return s.size() >= len && std::memcmp(s.data(), sig, len) == 0;
}

}  // namespace

Format detectFormat(std::string_view bytes, std::string_view nameHint) {
    if (startsWith(bytes, "\x89PNG\r\n\x1a\n", 8)) return Format::Png;
    if (startsWith(bytes, "\xff\xd8\xff", 3)) return Format::Jpeg;
    if (startsWith(bytes, "II*\0", 4) || startsWith(bytes, "MM\0*", 4) || startsWith(bytes, "II+\0", 4) ||
        startsWith(bytes, "MM\0+", 4))
        return Format::Tiff;
    if (startsWith(bytes, "BM", 2) && !endsWithIgnoreCase(nameHint, ".tga")) return Format::Bmp;
    if (tgaLooksValid(bytes)) return Format::Tga;
    return Format::Unknown;
}

bool decodeImage(std::string_view bytes, Image& out, std::string& error, std::string_view nameHint) {
    switch (detectFormat(bytes, nameHint)) {
        case Format::Png: return decodePng(bytes, out, error);
        case Format::Jpeg: return decodeJpeg(bytes, out, error);
        case Format::Tiff: return decodeTiff(bytes, out, error);
        case Format::Bmp: return decodeBmp(bytes, out, error);
        case Format::Tga: return decodeTga(bytes, out, error);
        case Format::Unknown: break;
    }
    error = bytes.empty() ? "the file is empty" : "not a PNG, JPEG, TIFF, TGA or BMP picture";
    return false;
}

bool decodeImageFile(const std::string& path, Image& out, std::string& error) {
    std::string bytes;
    files::Result r = files::readFile(path, bytes, uint64_t(512) << 20);
    if (!r) {
        error = r.error;
        return false;
    }
    return decodeImage(bytes, out, error, path);
}

namespace {
bool writeBytes(const std::string& path, const std::string& bytes, std::string& error,
                files::Sync sync = files::Sync::EachFile) {
    files::Result r = files::writeFileAtomic(path, bytes, sync);
    if (!r) error = r.error;
    return bool(r);
}
}  // namespace

bool writePng32(const std::string& path, const Image& img, std::string& error, int zlibLevel) {
    std::string bytes;
    return encodePng32(img, bytes, error, zlibLevel) && writeBytes(path, bytes, error);
}

bool writePng8(const std::string& path, const IndexedImage& img, std::string& error, int zlibLevel,
               files::Sync sync) {
    std::string bytes;
    return encodePng8(img, bytes, error, zlibLevel) && writeBytes(path, bytes, error, sync);
}

}  // namespace imageio
