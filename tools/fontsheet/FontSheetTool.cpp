// kalvero-fontsheet: draws a TrueType font into the four caption font sheets
// of one or more sizes (FontBitmap_<size>_0000.png ... _1500.png).
//
// Sheet layout: glyph cells packed in rows of one cell height, a reserved row
// whose first pixel holds the cell height minus 1, and the glyph table in the
// bottom row (left, top, width per character code 32..255 of Windows-1252).
// All four styles share the pen positions; the style-0 widths are the advance
// widths, bordered styles may be wider where the border needs it.
//
// With --pixel SRC,SX,SY the font is drawn without smoothing at SRC pixels
// and every pixel becomes an SX x SY block: a blocky pixel font with crisp
// edges (and crisp borders), the character generators of television.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "base/Version.h"
#include "io/Files.h"
#include "io/ImageCodecs.h"
#include "base/Text.h"
#include "render/FontSheet.h"
#include "base/Image.h"

namespace {

constexpr int kFirst = 32, kLast = 255;
constexpr int kSheetWidth = 1024;
constexpr int kPenX = 1;  // left pad: room for a 1 px border
constexpr uint8_t kTextGrey = 255;
constexpr uint8_t kOutlineGrey = 128;
constexpr uint8_t kShadowGrey = 96;

// Unicode of a Windows-1252 code; 0 where the code page has no character.
uint32_t unicodeOf(int code) {
    static const uint16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (code >= 0x80 && code < 0xA0) return high[code - 0x80];
    return uint32_t(code);
}

// A coverage mask of one character with its pen at (kPenX, baseline).
struct Mask {
    int w = 0, h = 0;
    std::vector<float> a;  // 0..1
    float at(int x, int y) const { return x < 0 || y < 0 || x >= w || y >= h ? 0.0f : a[size_t(y) * size_t(w) + size_t(x)]; }
};

struct Glyph {
    bool present = false;
    int advance = 0;
    Mask mask;
};

struct Metrics {
    int cellHeight = 0, baseline = 0;
};

// Pixel mode: the size the font is drawn at and the block each of its pixels becomes.
struct PixelMode {
    int source = 0, sx = 1, sy = 1;
    bool on() const { return source > 0; }
};

class Face {
public:
    bool open(const std::string& path, std::string& error) {
        if (FT_Init_FreeType(&lib_)) {
            error = "FreeType could not start";
            return false;
        }
        // Read here, as every other input: only a regular file, without
        // waiting on a FIFO; FreeType reads the bytes kept in memory.
        files::Result read = files::readFile(path, bytes_, uint64_t(256) << 20);
        if (!read) {
            error = "cannot read the font " + path + ": " + read.error;
            return false;
        }
        if (FT_New_Memory_Face(lib_, reinterpret_cast<const FT_Byte*>(bytes_.data()), FT_Long(bytes_.size()), 0,
                               &face_)) {
            error = "cannot read the font " + path;
            return false;
        }
        return true;
    }
    ~Face() {
        if (face_) FT_Done_Face(face_);
        if (lib_) FT_Done_FreeType(lib_);
    }
    bool setSize(int px) { return FT_Set_Pixel_Sizes(face_, 0, FT_UInt(px)) == 0; }
    void setPixelMode(const PixelMode& p) { pixel_ = p; }
    // Ascender and descender of the face at its size, in whole pixels.
    int ascender() const { return int((face_->size->metrics.ascender + 63) >> 6); }
    int descender() const { return int((-face_->size->metrics.descender + 63) >> 6); }

    // Ink rows of a character relative to the baseline: top (positive up) and bottom.
    bool inkExtent(uint32_t ch, int& top, int& bottom) {
        if (!render(ch)) return false;
        FT_GlyphSlot g = face_->glyph;
        top = g->bitmap_top;
        bottom = g->bitmap_top - int(g->bitmap.rows);
        return g->bitmap.rows > 0;
    }

    Glyph glyph(int code, const Metrics& m) {
        Glyph out;
        uint32_t ch = unicodeOf(code);
        if (ch == 0 || FT_Get_Char_Index(face_, ch) == 0 || !render(ch)) return out;
        FT_GlyphSlot g = face_->glyph;
        out.present = true;
        out.advance = int((g->advance.x + 32) >> 6);
        if (pixel_.on()) return blockGlyph(g, m, out);
        // Wide enough for the ink, a border and a shadow.
        int inkRight = kPenX + g->bitmap_left + int(g->bitmap.width);
        out.mask.w = std::max(out.advance + 2 * kPenX, inkRight) + 3;
        out.mask.h = m.cellHeight;
        out.mask.a.assign(size_t(out.mask.w) * size_t(out.mask.h), 0.0f);
        for (unsigned row = 0; row < g->bitmap.rows; ++row) {
            int y = m.baseline - g->bitmap_top + int(row);
            if (y < 0 || y >= out.mask.h) continue;
            const unsigned char* src = g->bitmap.buffer + long(row) * g->bitmap.pitch;
            for (unsigned col = 0; col < g->bitmap.width; ++col) {
                int x = kPenX + g->bitmap_left + int(col);
                if (x < 0 || x >= out.mask.w) continue;
                out.mask.a[size_t(y) * size_t(out.mask.w) + size_t(x)] = src[col] / 255.0f;
            }
        }
        return out;
    }

private:
    bool render(uint32_t ch) {
        if (pixel_.on())
            return FT_Load_Char(face_, ch, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) == 0 &&
                   face_->glyph->bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
        return FT_Load_Char(face_, ch, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) == 0 &&
               face_->glyph->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY;
    }
    // Pixel mode: each pixel of the unsmoothed glyph an SX x SY block.
    Glyph blockGlyph(FT_GlyphSlot g, const Metrics& m, Glyph& out) {
        const int sx = pixel_.sx, sy = pixel_.sy;
        out.advance *= sx;
        const int inkRight = kPenX + (g->bitmap_left + int(g->bitmap.width)) * sx;
        out.mask.w = std::max(out.advance + 2 * kPenX, inkRight) + 3;
        out.mask.h = m.cellHeight;
        out.mask.a.assign(size_t(out.mask.w) * size_t(out.mask.h), 0.0f);
        for (unsigned row = 0; row < g->bitmap.rows; ++row) {
            const unsigned char* src = g->bitmap.buffer + long(row) * g->bitmap.pitch;
            for (unsigned col = 0; col < g->bitmap.width; ++col) {
                if (!(src[col / 8] & (0x80 >> (col % 8)))) continue;
                const int y0 = m.baseline - (g->bitmap_top - int(row)) * sy;
                const int x0 = kPenX + (g->bitmap_left + int(col)) * sx;
                for (int y = y0; y < y0 + sy; ++y)
                    for (int x = x0; x < x0 + sx; ++x)
                        if (x >= 0 && y >= 0 && x < out.mask.w && y < out.mask.h)
                            out.mask.a[size_t(y) * size_t(out.mask.w) + size_t(x)] = 1.0f;
            }
        }
        return out;
    }
    PixelMode pixel_;
    FT_Library lib_ = nullptr;
    FT_Face face_ = nullptr;
    std::string bytes_;  // the font file, which the face reads from
};

// Vertical placement: the strip is the cell without its top two rows; the
// span from cap height to descender sits in it a little below the middle.
Metrics placement(Face& face, int size, const PixelMode& pixel) {
    Metrics m;
    if (pixel.on()) {
        // One block row free above and below the ascender and descender.
        m.baseline = 2 + (1 + face.ascender()) * pixel.sy;
        m.cellHeight = m.baseline + (face.descender() + 1) * pixel.sy;
        return m;
    }
    m.cellHeight = defaultCellHeight(size);
    int capTop = 0, bottom = 0, t = 0, b = 0;
    if (face.inkExtent('H', t, b)) capTop = t;
    else capTop = int(std::lround(size * 0.72));
    int desc = 0;
    for (uint32_t ch : {U'g', U'p', U'y', U'q'})
        if (face.inkExtent(ch, t, b)) desc = std::max(desc, -b);
    if (desc == 0) desc = int(std::lround(size * 0.21));
    (void)bottom;
    int strip = m.cellHeight - 2;
    int block = capTop + desc;
    int pad = (strip - block + 1) / 2;
    m.baseline = 2 + pad + capTop;
    return m;
}

// One style's picture of a glyph: straight-alpha RGBA, `width` columns.
Image styleGlyph(const Mask& a, int style, int minWidth, bool crisp) {
    Image img(a.w, a.h);
    int lastInk = -1;
    for (int y = 0; y < a.h; ++y) {
        for (int x = 0; x < a.w; ++x) {
            float fa = a.at(x, y);
            float border = 0.0f;
            uint8_t grey = 0;
            if (style == 1 || style == 2) {
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        float v = a.at(x + dx, y + dy);
                        if (dx != 0 && dy != 0 && !crisp) v *= 0.85f;  // rounder corners
                        border = std::max(border, v);
                    }
                grey = style == 1 ? 0 : kOutlineGrey;
            } else if (style == 3) {
                border = a.at(x - 2, y - 2);
                grey = kShadowGrey;
            }
            // Text over border, source-over, kept straight.
            float outA = fa + border * (1.0f - fa);
            if (outA <= 0.0f) continue;
            float c = (kTextGrey * fa + grey * border * (1.0f - fa)) / outA;
            uint8_t* p = img.pixel(x, y);
            p[0] = p[1] = p[2] = uint8_t(std::clamp(c + 0.5f, 0.0f, 255.0f));
            p[3] = uint8_t(std::clamp(outA * 255.0f + 0.5f, 0.0f, 255.0f));
            if (p[3] > 0) lastInk = std::max(lastInk, x);
        }
    }
    int width = std::max(minWidth, lastInk + 1);
    Image out(width, a.h);
    for (int y = 0; y < a.h; ++y)
        std::copy(img.pixel(0, y), img.pixel(0, y) + size_t(width) * 4, out.pixel(0, y));
    return out;
}

void putValue(Image& sheet, int x, int y, int32_t v) {
    uint8_t* p = sheet.pixel(x, y);
    p[0] = uint8_t(v & 0xff);
    p[1] = uint8_t((v >> 8) & 0xff);
    p[2] = uint8_t((v >> 16) & 0xff);
    p[3] = 255;
}

bool makeSheets(Face& face, int size, const PixelMode& pixel, const std::string& outDir, std::string& error) {
    const int drawn = pixel.on() ? pixel.source : size;
    if (!face.setSize(drawn)) {
        error = "the font cannot be drawn at " + std::to_string(drawn) + " px";
        return false;
    }
    face.setPixelMode(pixel);
    Metrics m = placement(face, size, pixel);
    std::vector<Glyph> glyphs;
    for (int code = kFirst; code <= kLast; ++code) glyphs.push_back(face.glyph(code, m));

    for (int style = 0; style < FontSheet::kStyles; ++style) {
        std::vector<Image> images(glyphs.size());
        for (size_t i = 0; i < glyphs.size(); ++i)
            if (glyphs[i].present) images[i] = styleGlyph(glyphs[i].mask, style, glyphs[i].advance + 2 * kPenX, pixel.on());
        // The style-0 cell is the advance width plus the two pads; bordered
        // styles never get narrower than that.
        if (style == 0)
            for (size_t i = 0; i < glyphs.size(); ++i)
                if (glyphs[i].present) {
                    Image& g = images[i];
                    int w = glyphs[i].advance + 2 * kPenX;
                    if (g.width() != w) {
                        Image cut(w, g.height());
                        for (int y = 0; y < g.height(); ++y)
                            std::copy(g.pixel(0, y), g.pixel(0, y) + size_t(std::min(w, g.width())) * 4, cut.pixel(0, y));
                        g = std::move(cut);
                    }
                }

        // Pack in rows.
        std::vector<FontSheet::Entry> table(glyphs.size());
        int x = 0, y = 0;
        for (size_t i = 0; i < images.size(); ++i) {
            if (images[i].empty()) {
                table[i] = {1, 0, 0};  // no character: an empty glyph keeps the table gapless
                continue;
            }
            if (x + images[i].width() > kSheetWidth) {
                x = 0;
                y += m.cellHeight;
            }
            table[i] = {x, y, images[i].width()};
            x += images[i].width() + 1;
        }
        int sheetHeight = y + m.cellHeight + 2;
        Image sheet(kSheetWidth, sheetHeight);
        for (size_t i = 0; i < images.size(); ++i) {
            const Image& g = images[i];
            for (int row = 0; row < g.height(); ++row)
                std::copy(g.pixel(0, row), g.pixel(0, row) + size_t(g.width()) * 4,
                          sheet.pixel(table[i].left, table[i].top + row));
        }
        putValue(sheet, 0, sheetHeight - 2, m.cellHeight - 1);
        for (size_t i = 0; i < table.size(); ++i) {
            putValue(sheet, int(i) * 3, sheetHeight - 1, table[i].left);
            putValue(sheet, int(i) * 3 + 1, sheetHeight - 1, table[i].top);
            putValue(sheet, int(i) * 3 + 2, sheetHeight - 1, table[i].width);
        }
        std::string path = outDir + "FontBitmap_" + std::to_string(size) + fontSheetSuffix(style);
        if (!imageio::writePng32(path, sheet, error, 9)) {
            error = "cannot write " + path + ": " + error;
            return false;
        }
    }
    return true;
}

const char* const kUsage =
    "usage: kalvero-fontsheet --font FILE.ttf --size N[,N...] --out DIR [--pixel SRC,SX,SY]\n"
    "       kalvero-fontsheet --help | --version\n"
    "Draws the four caption font sheets of each size into DIR.\n"
    "--pixel SRC,SX,SY draws the font unsmoothed at SRC pixels, each pixel an SX x SY block\n"
    "(the sheets are named by --size).\n";

int usage() {
    std::cerr << kUsage;
    return 2;
}

int run(int argc, char** argv) {
    std::string font, sizes, out, pixelArg;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if ((a == "--font" || a == "--size" || a == "--out" || a == "--pixel") && i + 1 < argc) {
            (a == "--font" ? font : a == "--size" ? sizes : a == "--out" ? out : pixelArg) = argv[++i];
        } else if (a == "-h" || a == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (a == "--version") {
            std::cout << "kalvero-fontsheet " << kKalveroVersion << "\n";
            return 0;
        } else {
            std::cerr << "kalvero-fontsheet: unexpected argument " << a << "\n";
            return usage();
        }
    }
    if (font.empty() || sizes.empty() || out.empty()) return usage();
    std::vector<int> list;
    for (const std::string& s : text::split(sizes, ',')) {
        int n = text::toInt(s);
        if (n < 4 || n > 99) {
            std::cerr << "kalvero-fontsheet: sizes are 4 to 99 pixels (the program reads two digits), not " << s << "\n";
            return 2;
        }
        list.push_back(n);
    }
    PixelMode pixel;
    if (!pixelArg.empty()) {
        const std::vector<std::string> p = text::split(pixelArg, ',');
        if (p.size() == 3) pixel = {text::toInt(p[0]), text::toInt(p[1]), text::toInt(p[2])};
        if (p.size() != 3 || pixel.source < 4 || pixel.source > 99 || pixel.sx < 1 || pixel.sx > 8 || pixel.sy < 1 ||
            pixel.sy > 8) {
            std::cerr << "kalvero-fontsheet: --pixel is SRC,SX,SY: 4 to 99 pixels, blocks 1 to 8, not " << pixelArg << "\n";
            return 2;
        }
    }
    out = files::withTrailingSeparator(out);
    if (files::Result r = files::makeDirectories(out); !r) {
        std::cerr << "kalvero-fontsheet: cannot create " << out << ": " << r.error << "\n";
        return 1;
    }
    Face face;
    std::string error;
    if (!face.open(font, error)) {
        std::cerr << "kalvero-fontsheet: " << error << "\n";
        return 1;
    }
    for (int size : list) {
        if (!makeSheets(face, size, pixel, out, error)) {
            std::cerr << "kalvero-fontsheet: " << error << "\n";
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& failure) {
        std::cerr << "kalvero-fontsheet: " << failure.what() << "\n";
        return 1;
    }
}
