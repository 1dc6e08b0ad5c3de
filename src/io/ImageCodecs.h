#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Image.h"
#include "base/Rgb.h"
#include "io/Files.h"

// Decoding and encoding of picture files. Decoders never trust a file: sizes
// beyond Image::kMaxSide, pixel data that runs past the end of the file and
// damaged compressed data all end in `false` with a sentence in `error`.
namespace imageio {

enum class Format { Unknown, Png, Jpeg, Tiff, Tga, Bmp };

// The most pixels a compressed picture may claim (8192 x 8192, 256 MiB
// decoded): a small file can describe a picture of gigabytes.
constexpr uint64_t kMaxPicturePixels = uint64_t(1) << 26;
// The sentence for a picture beyond that; empty when it is within.
std::string pixelBudgetError(const char* format, uint64_t width, uint64_t height);

// Progressive JPEG files with more scans than this are refused: every scan
// is decoded again over the whole picture.
constexpr int kMaxJpegScans = 100;

// The format by the file's signature; TGA has none and is recognised by a
// plausible header only when `nameHint` ends in ".tga" (any case) or when no
// other format matched.
Format detectFormat(std::string_view bytes, std::string_view nameHint = {});

// Decodes PNG, JPEG, TIFF, TGA or BMP bytes into a straight-alpha RGBA image.
bool decodeImage(std::string_view bytes, Image& out, std::string& error, std::string_view nameHint = {});
// Reads and decodes a file (at most 512 MiB).
bool decodeImageFile(const std::string& path, Image& out, std::string& error);

// Per-format decoders (used by decodeImage; exposed for tests).
bool decodePng(std::string_view bytes, Image& out, std::string& error);
bool decodeJpeg(std::string_view bytes, Image& out, std::string& error);
bool decodeTiff(std::string_view bytes, Image& out, std::string& error);
bool decodeTga(std::string_view bytes, Image& out, std::string& error);
bool decodeBmp(std::string_view bytes, Image& out, std::string& error);

// A picture of palette indices (one byte per pixel, rows top to bottom).
struct IndexedImage {
    int width = 0, height = 0;
    std::vector<uint8_t> indices;
    std::vector<Rgb> palette;  // at most 16 colours for encodePng4
    std::vector<uint8_t> alpha;  // encodePng8: opacity of the first entries (the rest opaque)
};

// PNG, 8 bits per channel RGBA. zlibLevel 0 (none) to 9 (smallest).
bool encodePng32(const Image& img, std::string& out, std::string& error, int zlibLevel = 6);
// PNG, 8 bits per channel RGBA, made for speed: unfiltered rows through
// ISA-L's fastest deflate level (about ten times faster than zlib on
// subtitle pictures, and smaller). The pictures of the exports and captures
// go through it. Safe to call from several threads at once.
bool encodePng32Fast(const Image& img, std::string& out, std::string& error);
// PNG, 4-bit palette. Fails when the palette has more than 16 colours or an
// index points past it.
bool encodePng4(const IndexedImage& img, std::string& out, std::string& error, int zlibLevel = 6);
// PNG, 8-bit palette of at most 256 colours with the opacities of `alpha`.
bool encodePng8(const IndexedImage& img, std::string& out, std::string& error, int zlibLevel = 6);
// BMP, 24 bits: bottom-up BGR rows padded to 4 bytes; alpha is dropped.
bool encodeBmp24(const Image& img, std::string& out, std::string& error);

// The same, written to a file in one step (temporary file + rename; see
// files::writeFileAtomic for `sync`).
bool writePng32(const std::string& path, const Image& img, std::string& error, int zlibLevel = 6);
bool writePng32Fast(const std::string& path, const Image& img, std::string& error,
                    files::Sync sync = files::Sync::EachFile);
bool writePng8(const std::string& path, const IndexedImage& img, std::string& error, int zlibLevel = 6,
               files::Sync sync = files::Sync::EachFile);

}  // namespace imageio
