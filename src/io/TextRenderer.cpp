#include "io/TextRenderer.h"

#include <algorithm>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "io/Files.h"
#include "base/Text.h"

#ifndef KALVERO_LIBERATION_DIR
#define KALVERO_LIBERATION_DIR "/usr/share/fonts/truetype/liberation2"
#endif

namespace {

// Windows-1252 byte -> Unicode code point.
uint32_t codePointOf(unsigned char c) {
    static const uint16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    if (c >= 0x80 && c < 0xA0) return high[c - 0x80];
    return c;
}

}  // namespace

struct TextRenderer::Impl {
    std::string fontDir;
    FT_Library library = nullptr;
    std::string initError;
    std::map<std::string, FT_Face> faces;  // by file path
    std::map<std::string, std::string> faceErrors;
    std::map<std::string, std::string> faceBytes;  // the files the faces read from

    ~Impl() {
        for (auto& [path, face] : faces) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }

    FT_Face face(const TextFont& font, std::string& error) {
        if (!library) {
            error = initError;
            return nullptr;
        }
        if (font.pixelHeight <= 0 || font.pixelHeight > 2048) {
            error = "The font size " + std::to_string(font.pixelHeight) + " is not usable.";
            return nullptr;
        }
        std::string path = fontDir + fontFileName(font.face, font.bold);
        auto found = faces.find(path);
        FT_Face f = nullptr;
        if (found != faces.end()) {
            f = found->second;
        } else {
            auto failed = faceErrors.find(path);
            if (failed != faceErrors.end()) {
                error = failed->second;
                return nullptr;
            }
            // Only a regular file, read without waiting on a FIFO; the face
            // reads the bytes kept with it.
            std::string& bytes = faceBytes[path];
            files::Result read = files::readFile(path, bytes, uint64_t(256) << 20);
            if (!read || FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(bytes.data()),
                                            FT_Long(bytes.size()), 0, &f) != 0) {
                faceBytes.erase(path);
                error = "The font file " + path + " could not be loaded" + (read ? "" : ": " + read.error) + ".";
                faceErrors[path] = error;
                return nullptr;
            }
            FT_Select_Charmap(f, FT_ENCODING_UNICODE);
            faces[path] = f;
        }
        if (FT_Set_Pixel_Sizes(f, 0, FT_UInt(font.pixelHeight)) != 0) {
            error = "The font size " + std::to_string(font.pixelHeight) + " is not usable.";
            return nullptr;
        }
        return f;
    }

    static FT_Int32 loadFlags(const TextFont& font) {
        return font.antialias ? FT_LOAD_DEFAULT : (FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME);
    }
};

TextRenderer::TextRenderer(std::string fontDir) : impl_(std::make_unique<Impl>()) {
    impl_->fontDir = files::withTrailingSeparator(fontDir.empty() ? std::string(KALVERO_LIBERATION_DIR) : fontDir);
    if (FT_Init_FreeType(&impl_->library) != 0) {
        impl_->library = nullptr;
        impl_->initError = "The font library could not be started.";
    }
}

TextRenderer::~TextRenderer() = default;

std::string TextRenderer::fontFileName(const std::string& face, bool bold) {
    std::string f = text::lower(face);
    std::string family = "LiberationSans";
    if (f.find("times") != std::string::npos || f.find("serif") != std::string::npos) family = "LiberationSerif";
    else if (f.find("courier") != std::string::npos || f.find("mono") != std::string::npos) family = "LiberationMono";
    if (f.find("sans") != std::string::npos) family = "LiberationSans";
    return family + (bold ? "-Bold.ttf" : "-Regular.ttf");
}

bool TextRenderer::available(const TextFont& font, std::string& error) {
    return impl_->face(font, error) != nullptr;
}

int TextRenderer::lineHeight(const TextFont& font) {
    std::string error;
    FT_Face f = impl_->face(font, error);
    if (!f) return 0;
    return int((f->size->metrics.ascender - f->size->metrics.descender + 63) >> 6);
}

int TextRenderer::measureText(std::string_view s, const TextFont& font) {
    std::string error;
    FT_Face f = impl_->face(font, error);
    if (!f) return 0;
    long width = 0;
    for (unsigned char c : s) {
        if (FT_Load_Char(f, codePointOf(c), Impl::loadFlags(font)) != 0) continue;
        width += (f->glyph->advance.x + 32) >> 6;
    }
    return int(width);
}

double TextRenderer::designWidth(std::string_view s, const TextFont& font) {
    std::string error;
    FT_Face f = impl_->face(font, error);
    if (!f) return 0;
    double width = 0;
    for (unsigned char c : s) {
        if (FT_Load_Char(f, codePointOf(c), FT_LOAD_NO_HINTING) != 0) continue;
        width += double(f->glyph->linearHoriAdvance) / 65536.0;
    }
    return width;
}

bool TextRenderer::drawText(Image& image, int x, int y, std::string_view s, const TextFont& font, Rgb colour,
                            const Rgb* background) {
    std::string error;
    FT_Face f = impl_->face(font, error);
    if (!f) return false;
    const int ascent = int((f->size->metrics.ascender + 63) >> 6);
    if (background) {
        const int w = measureText(s, font), h = lineHeight(font);
        for (int yy = std::max(0, y); yy < std::min(image.height(), y + h); ++yy)
            for (int xx = std::max(0, x); xx < std::min(image.width(), x + w); ++xx) {
                uint8_t* p = image.pixel(xx, yy);
                p[0] = background->r;
                p[1] = background->g;
                p[2] = background->b;
                p[3] = 255;
            }
    }
    long pen = x;
    const int baseline = y + ascent;
    for (unsigned char c : s) {
        if (FT_Load_Char(f, codePointOf(c), Impl::loadFlags(font) | FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot g = f->glyph;
        const FT_Bitmap& bm = g->bitmap;
        const long left = pen + g->bitmap_left;
        const long top = baseline - g->bitmap_top;
        const bool mono = bm.pixel_mode == FT_PIXEL_MODE_MONO;
        for (unsigned row = 0; row < bm.rows; ++row) {
            const long py = top + long(row);
            if (py < 0 || py >= image.height()) continue;
            const unsigned char* src = bm.buffer + long(row) * bm.pitch;
            for (unsigned col = 0; col < bm.width; ++col) {
                const long px = left + long(col);
                if (px < 0 || px >= image.width()) continue;
                unsigned a = mono ? ((src[col >> 3] >> (7 - (col & 7))) & 1) * 255 : src[col];
                if (a == 0) continue;
                uint8_t* p = image.pixel(int(px), int(py));
                // Source over, straight alpha.
                const unsigned da = p[3];
                const unsigned outA = a + da * (255 - a) / 255;
                if (outA == 0) continue;
                auto mix = [&](uint8_t dst, uint8_t src_) {
                    return uint8_t((src_ * a * 255 + dst * da * (255 - a) + outA * 255 / 2) / (outA * 255));
                };
                p[0] = mix(p[0], colour.r);
                p[1] = mix(p[1], colour.g);
                p[2] = mix(p[2], colour.b);
                p[3] = uint8_t(outA);
            }
        }
        pen += (g->advance.x + 32) >> 6;
    }
    return true;
}
