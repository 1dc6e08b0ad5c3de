// BMP and TGA by hand: both are simple enough, and every offset and length is
// checked against the file's size before it is used.
#include <algorithm>
#include <array>
#include <cstring>

#include "io/ImageCodecs.h"

namespace imageio {

namespace {

uint32_t le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }

std::string sizeError(const char* what, long long w, long long h) {
    return std::string("the ") + what + " picture is " + std::to_string(w) + " x " + std::to_string(h) +
           " pixels, outside the 1 to " + std::to_string(Image::kMaxSide) + " pixels per side this program reads";
}

// One channel of a bit-field pixel, scaled to 8 bits.
struct Field {
    uint32_t mask = 0;
    int shift = 0, bits = 0;
    explicit Field(uint32_t m = 0) : mask(m) {
        if (!m) return;
        while (!((m >> shift) & 1)) ++shift;
        while (shift + bits < 32 && ((m >> (shift + bits)) & 1)) ++bits;
    }
    uint8_t get(uint32_t v) const {
        if (!mask) return 0;
        uint32_t x = (v & mask) >> shift;
        uint32_t max = bits >= 32 ? 0xffffffffu : (1u << bits) - 1;
        return uint8_t((uint64_t(x) * 255 + max / 2) / max);
    }
};

std::vector<Rgb> bmpPalette(const uint8_t* d, size_t n, size_t start, size_t entrySize, uint32_t used, int bpp) {
    std::vector<Rgb> palette;
    size_t count = used ? std::min<size_t>(used, size_t(1) << bpp) : size_t(1) << bpp;
    if (start + count * entrySize > n) count = start < n ? (n - start) / entrySize : 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = d + start + i * entrySize;
        palette.push_back(Rgb{e[2], e[1], e[0]});
    }
    return palette;
}

// The pixel rows of a BMP picture (`stride` bytes each, bottom row first
// unless `topDown`) into `img`; `fields` are the red, green, blue and alpha
// bit fields of 16- and 32-bit pixels.
void decodeBmpRows(const uint8_t* rows, size_t stride, int bpp, bool topDown, const std::vector<Rgb>& palette,
                   const Field (&fields)[4], Image& img) {
    const long long w = img.width(), absH = img.height();
    const Field &fr = fields[0], &fg = fields[1], &fb = fields[2], &fa = fields[3];
    bool anyAlpha = false;
    for (long long row = 0; row < absH; ++row) {
        const uint8_t* s = rows + size_t(row) * stride;
        int y = int(topDown ? row : absH - 1 - row);
        uint8_t* p = img.pixel(0, y);
        for (long long x = 0; x < w; ++x, p += 4) {
            if (bpp <= 8) {
                size_t bit = size_t(x) * size_t(bpp);
                unsigned v = (s[bit / 8] >> (8 - bpp - int(bit % 8))) & ((1u << bpp) - 1);
                Rgb c = v < palette.size() ? palette[v] : Rgb{};
                p[0] = c.r, p[1] = c.g, p[2] = c.b, p[3] = 255;
            } else if (bpp == 24) {
                const uint8_t* q = s + size_t(x) * 3;
                p[0] = q[2], p[1] = q[1], p[2] = q[0], p[3] = 255;
            } else {
                uint32_t v = bpp == 16 ? le16(s + size_t(x) * 2) : le32(s + size_t(x) * 4);
                p[0] = fr.get(v), p[1] = fg.get(v), p[2] = fb.get(v);
                p[3] = fa.mask ? fa.get(v) : 255;
                anyAlpha |= p[3] != 0;
            }
        }
    }
    // Many writers leave the fourth byte 0: such a picture is opaque.
    if (bpp >= 16 && fa.mask && !anyAlpha)
        for (size_t i = 3; i < size_t(w) * size_t(absH) * 4; i += 4) img.data()[i] = 255;
}

}  // namespace

bool decodeBmp(std::string_view bytes, Image& out, std::string& error) {
    const auto* d = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t n = bytes.size();
    if (n < 26 || d[0] != 'B' || d[1] != 'M') {
        error = "not a BMP file";
        return false;
    }
    uint32_t offBits = le32(d + 10);
    uint32_t hdr = le32(d + 14);
    if (hdr != 12 && hdr < 40) {
        error = "the BMP file has an unknown header";
        return false;
    }
    if (14ull + hdr > n) {
        error = "the BMP file is truncated";
        return false;
    }
    long long w, h;
    int bpp;
    uint32_t compression = 0, clrUsed = 0;
    if (hdr == 12) {
        w = le16(d + 18);
        h = int16_t(le16(d + 20));
        bpp = int(le16(d + 24));
    } else {
        w = int32_t(le32(d + 18));
        h = int32_t(le32(d + 22));
        bpp = int(le16(d + 28));
        compression = le32(d + 30);
        clrUsed = le32(d + 46);
    }
    bool topDown = h < 0;
    long long absH = topDown ? -h : h;
    if (w <= 0 || absH <= 0 || w > Image::kMaxSide || absH > Image::kMaxSide) {
        error = sizeError("BMP", w, absH);
        return false;
    }
    if (compression == 1 || compression == 2) {
        error = "run-length compressed BMP files are not supported";
        return false;
    }
    if (compression != 0 && compression != 3 && compression != 6) {
        error = "the BMP file uses a compression this program does not read";
        return false;
    }
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
        error = "the BMP file has " + std::to_string(bpp) + " bits per pixel, which this program does not read";
        return false;
    }

    // Bit fields: in the header from version 3 on, else right after it.
    uint32_t rmask = 0, gmask = 0, bmask = 0, amask = 0;
    size_t paletteStart = 14 + hdr;
    if (compression == 3 || compression == 6) {
        size_t at = hdr >= 52 ? 54 : 14 + hdr;
        size_t count = (compression == 6 || hdr >= 56) ? 4 : 3;
        if (at + count * 4 > n) {
            error = "the BMP file is truncated";
            return false;
        }
        rmask = le32(d + at);
        gmask = le32(d + at + 4);
        bmask = le32(d + at + 8);
        if (count == 4) amask = le32(d + at + 12);
        if (hdr < 52) paletteStart += count * 4;
    } else if (bpp == 16) {
        rmask = 0x7c00, gmask = 0x03e0, bmask = 0x001f;
    } else if (bpp == 32) {
        rmask = 0x00ff0000, gmask = 0x0000ff00, bmask = 0x000000ff, amask = 0xff000000;
    }

    std::vector<Rgb> palette;
    if (bpp <= 8) {
        palette = bmpPalette(d, n, paletteStart, hdr == 12 ? 3 : 4, clrUsed, bpp);
        if (palette.empty()) {
            error = "the BMP file has no palette";
            return false;
        }
    }

    size_t stride = ((size_t(w) * size_t(bpp) + 31) / 32) * 4;
    if (offBits > n || stride * size_t(absH) > n - offBits) {
        error = "the BMP file is shorter than its picture size says";
        return false;
    }

    Image img{int(w), int(absH)};
    const Field fields[4] = {Field(rmask), Field(gmask), Field(bmask), Field(amask)};
    decodeBmpRows(d + offBits, stride, bpp, topDown, palette, fields, img);
    out = std::move(img);
    return true;
}

namespace {

bool tgaHeaderPlausible(const uint8_t* d, size_t n) {
    if (n < 18) return false;
    int cmapType = d[1], type = d[2], depth = d[16];
    if (cmapType > 1) return false;
    bool mapped = type == 1 || type == 9, truecolor = type == 2 || type == 10, grey = type == 3 || type == 11;
    if (!mapped && !truecolor && !grey) return false;
    if (mapped && (cmapType != 1 || depth != 8)) return false;
    if (truecolor && depth != 15 && depth != 16 && depth != 24 && depth != 32) return false;
    if (grey && depth != 8 && depth != 16) return false;
    return true;
}

using TgaPalette = std::vector<std::array<uint8_t, 4>>;

// The colour map at `pos` (moved past it); false when it is damaged.
bool readTgaPalette(const uint8_t* d, size_t n, int depth, uint32_t length, size_t& pos, TgaPalette& palette) {
    size_t entry = (size_t(depth) + 7) / 8;
    if (entry < 2 || entry > 4 || pos + entry * length > n) return false;
    for (uint32_t i = 0; i < length; ++i, pos += entry) {
        const uint8_t* e = d + pos;
        if (entry == 2) {
            uint32_t v = le16(e);
            palette.push_back({uint8_t(((v >> 10) & 31) * 255 / 31), uint8_t(((v >> 5) & 31) * 255 / 31),
                               uint8_t((v & 31) * 255 / 31), 255});
        } else {
            palette.push_back({e[2], e[1], e[0], uint8_t(entry == 4 ? e[3] : 255)});
        }
    }
    return true;
}

// Run-length packets from `pos` into `total` RGBA pixels at `linear`, each
// pixel value of `bpp` bytes turned by `decodePixel`; false when the file
// ends first.
template <class DecodePixel>
bool decodeTgaRuns(const uint8_t* d, size_t n, size_t pos, size_t bpp, size_t total, DecodePixel& decodePixel,
                   uint8_t* linear) {
    size_t i = 0;
    while (i < total) {
        if (pos >= n) return false;
        uint8_t head = d[pos++];
        size_t count = size_t(head & 127) + 1;
        if (count > total - i) count = total - i;  // a packet may not cross the picture's end
        if (head & 128) {
            if (bpp > n - pos) return false;
            uint8_t px[4];
            decodePixel(d + pos, px);
            pos += bpp;
            for (size_t k = 0; k < count; ++k, ++i) std::memcpy(&linear[i * 4], px, 4);
        } else {
            if (count * bpp > n - pos) return false;
            for (size_t k = 0; k < count; ++k, ++i, pos += bpp) decodePixel(d + pos, &linear[i * 4]);
        }
    }
    return true;
}

}  // namespace

bool decodeTga(std::string_view bytes, Image& out, std::string& error) {
    const auto* d = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t n = bytes.size();
    if (!tgaHeaderPlausible(d, n)) {
        error = "not a TGA file this program reads";
        return false;
    }
    int idLength = d[0], cmapType = d[1], type = d[2];
    uint32_t cmapFirst = le16(d + 3), cmapLength = le16(d + 5);
    int cmapDepth = d[7];
    long long w = le16(d + 12), h = le16(d + 14);
    int depth = d[16], desc = d[17];
    if (w <= 0 || h <= 0 || w > Image::kMaxSide || h > Image::kMaxSide) {
        error = sizeError("TGA", w, h);
        return false;
    }
    size_t pos = 18 + size_t(idLength);
    TgaPalette palette;
    if (cmapType == 1 && !readTgaPalette(d, n, cmapDepth, cmapLength, pos, palette)) {
        error = "the TGA file's colour map is damaged";
        return false;
    }
    const size_t bpp = (size_t(depth) + 7) / 8;
    const bool alphaBits = (desc & 15) != 0;
    auto decodePixel = [&](const uint8_t* s, uint8_t* p) {
        if (type == 1 || type == 9) {
            uint32_t idx = s[0];
            if (idx >= cmapFirst && idx - cmapFirst < palette.size()) {
                const auto& c = palette[idx - cmapFirst];
                std::memcpy(p, c.data(), 4);
            } else {
                p[0] = p[1] = p[2] = 0, p[3] = 255;
            }
        } else if (type == 3 || type == 11) {
            p[0] = p[1] = p[2] = s[0];
            p[3] = depth == 16 ? s[1] : 255;
        } else if (bpp == 2) {
            uint32_t v = le16(s);
            p[0] = uint8_t(((v >> 10) & 31) * 255 / 31);
            p[1] = uint8_t(((v >> 5) & 31) * 255 / 31);
            p[2] = uint8_t((v & 31) * 255 / 31);
            p[3] = 255;
        } else {
            p[0] = s[2], p[1] = s[1], p[2] = s[0];
            p[3] = (bpp == 4 && alphaBits) ? s[3] : 255;
        }
    };

    const size_t total = size_t(w) * size_t(h);
    // Check the size before allocating: a packet covers at most 128 pixels
    // with a head byte and at least one pixel value.
    const size_t needed = type < 9 ? total * bpp : (total + 127) / 128 * (1 + bpp);
    if (pos > n || needed > n - pos) {
        error = type < 9 ? "the TGA file is shorter than its picture size says" : "the TGA file is truncated";
        return false;
    }
    error = pixelBudgetError("TGA", uint64_t(w), uint64_t(h));
    if (!error.empty()) return false;
    std::vector<uint8_t> linear(total * 4);  // pixels in file order
    if (type < 9) {
        for (size_t i = 0; i < total; ++i) decodePixel(d + pos + i * bpp, &linear[i * 4]);
    } else if (!decodeTgaRuns(d, n, pos, bpp, total, decodePixel, linear.data())) {
        error = "the TGA file is truncated";
        return false;
    }
    Image img{int(w), int(h)};
    bool topOrigin = desc & 0x20, rightToLeft = desc & 0x10;
    for (long long row = 0; row < h; ++row) {
        int y = int(topOrigin ? row : h - 1 - row);
        for (long long col = 0; col < w; ++col) {
            int x = int(rightToLeft ? w - 1 - col : col);
            std::memcpy(img.pixel(x, y), &linear[(size_t(row) * size_t(w) + size_t(col)) * 4], 4);
        }
    }
    out = std::move(img);
    return true;
}

bool tgaLooksValid(std::string_view bytes) {
    return tgaHeaderPlausible(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

bool encodeBmp24(const Image& img, std::string& out, std::string& error) {
    out.clear();
    if (img.empty()) {
        error = "cannot write an empty picture";
        return false;
    }
    const size_t stride = (size_t(img.width()) * 3 + 3) / 4 * 4;
    const size_t dataSize = stride * size_t(img.height());
    if (dataSize + 54 > 0xffffffffull) {
        error = "the picture is too large for a BMP file";
        return false;
    }
    out.assign(54 + dataSize, '\0');
    auto* p = reinterpret_cast<uint8_t*>(out.data());
    auto put16 = [&](size_t at, uint32_t v) { p[at] = uint8_t(v), p[at + 1] = uint8_t(v >> 8); };
    auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xffff), put16(at + 2, v >> 16); };
    p[0] = 'B', p[1] = 'M';
    put32(2, uint32_t(54 + dataSize));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(img.width()));
    put32(22, uint32_t(img.height()));
    put16(26, 1);
    put16(28, 24);
    put32(34, uint32_t(dataSize));
    put32(38, 2835);  // 72 dpi
    put32(42, 2835);
    for (int y = 0; y < img.height(); ++y) {
        uint8_t* row = p + 54 + size_t(img.height() - 1 - y) * stride;
        const uint8_t* s = img.pixel(0, y);
        for (int x = 0; x < img.width(); ++x, s += 4, row += 3) {
            row[0] = s[2];
            row[1] = s[1];
            row[2] = s[0];
        }
    }
    return true;
}

}  // namespace imageio
