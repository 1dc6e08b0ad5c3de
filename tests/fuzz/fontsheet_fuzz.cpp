// Font sheets: the glyph table in a decoded picture, cutting the glyphs out
// and drawing text with them.
//
// Input: a PNG file, or (to reach the table quickly) a raw picture: one byte
// width - 1, one byte height - 1, then RGBA bytes (missing ones are 0).
#include <algorithm>
#include <cstring>

#include "FuzzSupport.h"
#include "io/ImageCodecs.h"
#include "render/Compositor.h"
#include "render/FontSheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes = fuzzBytes(data, size);
    Image sheet;
    std::string error;
    if (imageio::detectFormat(bytes) != imageio::Format::Unknown) {
        if (!imageio::decodeImage(bytes, sheet, error)) return 0;
        if (size_t(sheet.width()) * size_t(sheet.height()) > (size_t(1) << 22)) return 0;
    } else {
        if (size < 2) return 0;
        sheet = Image(int(data[0]) + 1, int(data[1]) + 1);
        size_t n = std::min(size - 2, size_t(sheet.width()) * size_t(sheet.height()) * 4);
        std::memcpy(sheet.data(), data + 2, n);
    }

    FontSheet::Table table;
    if (!FontSheet::readTable(sheet, table)) {
        FUZZ_CHECK(sheet.height() < 2);
        return 0;
    }
    FontSheet font;
    // A table is refused as a whole (nothing loaded) or its glyphs together
    // stay within twice the sheet.
    for (int style = 0; style < FontSheet::kStyles; ++style) {
        if (!font.loadStyle(style, sheet)) {
            FUZZ_CHECK(font.glyphCount(style) == 0);
            continue;
        }
        size_t area = 0;
        for (int code = 0; code < 256; ++code)
            if (const Image* g = font.glyph(uint8_t(code), style)) {
                FUZZ_CHECK(g->height() == font.cellHeight);
                FUZZ_CHECK(g->width() <= 4 * font.cellHeight);
                area += size_t(g->width()) * size_t(g->height());
            }
        FUZZ_CHECK(area <= 2 * size_t(sheet.width()) * size_t(sheet.height()));
    }
    font.stripHeight = std::max(0, font.cellHeight - 2);

    // Draw with it, in every border style, into a small picture.
    StripsConfig style;
    style.fontSize = 32;
    style.stripsYPos = 100;
    for (int border = 0; border < 4; ++border) {
        style.borderStyle = border;
        style.stripsMode = border % 2 ? FullWidth : CutToText;
        Image image(160, 120), composite;
        renderSubtitleSet(RenderTarget::AlphaExport, style, font, image, "Hello \xE9t\xE9 !", " AB~\xFF", nullptr,
                          &composite);
    }
    return 0;
}
