#include "app/PreviewRenderer.h"

#include "project/Text.h"

namespace {
void fill(Image& img, int x, int y, int w, int h, Rgb c) {
    for (int yy = std::max(0, y); yy < std::min(img.height(), y + h); ++yy)
        for (int xx = std::max(0, x); xx < std::min(img.width(), x + w); ++xx) {
            uint8_t* p = img.pixel(xx, yy);
            p[0] = c.r, p[1] = c.g, p[2] = c.b, p[3] = 255;
        }
}
}  // namespace

PreviewRenderer::FontLoad PreviewRenderer::loadFontSheets(const std::string&, int size, bool dirty, Ui&) {
    cellHeight_ = size + size * 3 / 8;
    stripHeight_ = cellHeight_ - 2;
    return FontLoad{dirty};
}

void PreviewRenderer::renderPreview(StripsConfig& style, const std::string& lineA, const std::string& lineB,
                                    Image& preview, Image&, const Image*) {
    fill(preview, 0, 0, preview.width(), preview.height(), style.bgColor);
    if (!text::trimSpaces(lineA).empty()) fill(preview, 0, style.stripsYPos, preview.width(), stripHeight_, style.mixedColor);
    if (!text::trimSpaces(lineB).empty())
        fill(preview, 0, style.stripsYPos + style.stripsSpacing, preview.width(), stripHeight_, style.mixedColor);
}

void PreviewRenderer::clearLineStrips(const StripsConfig& style, bool a, bool b, Image& preview, const Image*) {
    if (a) fill(preview, 0, style.stripsYPos, preview.width(), stripHeight_, style.bgColor);
    if (b) fill(preview, 0, style.stripsYPos + style.stripsSpacing, preview.width(), stripHeight_, style.bgColor);
}
