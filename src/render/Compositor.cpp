#include "render/Compositor.h"

#include <algorithm>
#include <cstring>

namespace {

bool isBlank(std::string_view s) {
    return s.find_first_not_of(' ') == std::string_view::npos;
}

// Background picture over the background colour (the picture may be smaller
// than the preview or have transparent parts).
void drawBackdrop(Image& img, Rgb bgColor, const Image* background) {
    draw::fillOpaque(img, bgColor);
    if (background) draw::drawAlpha(img, *background, 0, 0);
}

// Returns the height of the tallest glyph drawn (0 for none).
int drawText(Image& img, std::string_view text, const FontSheet& font, int style, int x, int y, int wordSpacing) {
    int offset = 0, tallest = 0;
    for (char ch : text) {
        uint8_t code = uint8_t(ch);
        if (const Image* g = font.glyph(code, style)) {
            draw::drawAlpha(img, *g, x + offset, y);
            tallest = std::max(tallest, g->height());
        }
        offset += font.advance(code) + wordSpacing;
    }
    return tallest;
}

// Widens r's band of drawn rows by rows y0 .. y1 - 1, within the image.
void addDrawnRows(RenderResult& r, int y0, int y1, int height) {
    y0 = std::max(y0, 0);
    y1 = std::min(y1, height);
    if (y0 >= y1) return;
    if (r.drawnTop == r.drawnEnd) {
        r.drawnTop = y0, r.drawnEnd = y1;
    } else {
        r.drawnTop = std::min(r.drawnTop, y0);
        r.drawnEnd = std::max(r.drawnEnd, y1);
    }
}

}  // namespace

Rgb mixStripColor(Rgb c, Rgb b, int blend) {
    int a = std::clamp(blend, 0, 255);
    auto mix = [a](int cc, int bb) { return uint8_t(cc * a / 255 + bb * (255 - a) / 255); };
    return Rgb{mix(c.r, b.r), mix(c.g, b.g), mix(c.b, b.b)};
}

int measureLine(std::string_view text, const FontSheet& font, int wordSpacing) {
    int w = 0;
    for (char ch : text) w += font.advance(uint8_t(ch)) + wordSpacing;
    return w;
}

RenderResult layoutSubtitleSet(const StripsConfig& style, const FontSheet& font, int width, std::string_view lineA,
                               std::string_view lineB) {
    RenderResult r;
    r.margin = width / 200;
    r.stripHeight = font.stripHeight;
    const int m = r.margin;
    std::string_view texts[2] = {lineA, lineB};
    for (int i = 0; i < 2; ++i) {
        LineLayout& L = r.lines[size_t(i)];
        L.empty = texts[i].empty();
        L.blank = isBlank(texts[i]);
        L.textWidth = measureLine(texts[i], font, style.wordSpacing);
        L.x0 = style.centerText ? width / 2 - L.textWidth / 2 - m : style.cropStrips;
        L.top = style.stripsYPos + (i == 1 ? style.stripsSpacing : 0);
        switch (style.drawNoStrips ? int(FullWidth) : style.stripsMode) {
            case CutToText:
                L.strip = draw::Rect{L.x0, L.top, L.textWidth + 2 * m - style.wordSpacing, r.stripHeight};
                break;
            case AllText:
                L.strip = draw::Rect{style.cropStrips, L.top, width - 2 * style.cropStrips, r.stripHeight};
                break;
            default:
                L.strip = draw::Rect{0, L.top, width, r.stripHeight};
                break;
        }
        L.stripDrawn = !L.blank && !style.drawNoStrips && !L.strip.empty();
    }
    return r;
}

StripsConfig renderColours(RenderTarget target, const StripsConfig& style) {
    StripsConfig s = style;
    if (target == RenderTarget::OpaqueExport) s.bgColor = Rgb{0, 0, 0};
    else if (s.drawNoStrips) s.bgColor = s.presetBgColor;
    s.mixedColor = mixStripColor(s.stripsColor, s.bgColor, std::clamp(s.blend, 0, 255));
    return s;
}

namespace {

RenderResult drawSubtitleSet(RenderTarget target, const StripsConfig& baseStyle, const FontSheet& font, Image& image,
                             std::string_view lineA, std::string_view lineB, const Image* background,
                             Image* composite, bool transparentAlready);

}  // namespace

RenderResult renderSet(const std::vector<SubtitleSet>& sets, int k, const StripsConfig& style, RenderTarget target,
                       const FontSheet& font, Image& image, const Image* background, Image* composite) {
    if (k < 0 || k >= int(sets.size())) return renderSubtitleSet(target, style, font, image, "", "", background, composite);
    const SubtitleSet& set = sets[size_t(k)];
    StripsConfig placed = style;
    placed.stripsYPos = resolveStripsY(set.yOrZero(), style.stripsYPos);
    return renderSubtitleSet(target, placed, font, image, set.lineA, set.lineB, background, composite);
}

RenderResult renderSetOnTransparent(const std::vector<SubtitleSet>& sets, int k, const StripsConfig& style,
                                    const FontSheet& font, Image& image) {
    StripsConfig placed = style;
    std::string_view lineA, lineB;
    if (k >= 0 && k < int(sets.size())) {
        const SubtitleSet& set = sets[size_t(k)];
        placed.stripsYPos = resolveStripsY(set.yOrZero(), style.stripsYPos);
        lineA = set.lineA;
        lineB = set.lineB;
    }
    return drawSubtitleSet(RenderTarget::AlphaExport, placed, font, image, lineA, lineB, nullptr, nullptr, true);
}

RenderResult renderSubtitleSet(RenderTarget target, const StripsConfig& baseStyle, const FontSheet& font, Image& image,
                               std::string_view lineA, std::string_view lineB, const Image* background,
                               Image* composite) {
    return drawSubtitleSet(target, baseStyle, font, image, lineA, lineB, background, composite, false);
}

namespace {

RenderResult drawSubtitleSet(RenderTarget target, const StripsConfig& baseStyle, const FontSheet& font, Image& image,
                             std::string_view lineA, std::string_view lineB, const Image* background,
                             Image* composite, bool transparentAlready) {
    const int W = image.width();
    RenderResult r = layoutSubtitleSet(baseStyle, font, W, lineA, lineB);
    if (image.empty()) return r;

    const StripsConfig style = renderColours(target, baseStyle);
    const uint8_t blend = uint8_t(std::clamp(style.blend, 0, 255));
    const bool withPicture = target == RenderTarget::Preview && background && !background->empty();

    // Background.
    switch (target) {
        case RenderTarget::Preview:
            if (withPicture) {
                drawBackdrop(image, style.bgColor, background);
            } else {
                draw::fillOpaque(image, style.bgColor);
            }
            break;
        case RenderTarget::AlphaExport:
            if (!transparentAlready) draw::clearTransparent(image);
            break;
        case RenderTarget::ColorExport:
            draw::fillOpaque(image, style.bgColor);
            break;
        case RenderTarget::OpaqueExport:
            draw::fillOpaque(image, style.bgColor);
            break;
    }
    const bool makeComposite = withPicture && composite;
    if (makeComposite) {
        if (composite->width() != image.width() || composite->height() != image.height())
            *composite = Image(image.width(), image.height());
        std::memcpy(composite->data(), image.data(), image.stride() * size_t(image.height()));
        r.compositeMade = true;
    }

    // Strips.
    for (const LineLayout& L : r.lines) {
        if (!L.stripDrawn) continue;
        addDrawnRows(r, L.strip.y, L.strip.y + L.strip.h, image.height());
        switch (target) {
            case RenderTarget::Preview:
                if (withPicture) {
                    draw::fillOpaque(image, L.strip, style.stripsColor);
                    if (makeComposite) draw::fillBlend(*composite, L.strip, style.stripsColor, blend);
                } else {
                    draw::fillOpaque(image, L.strip, style.mixedColor);
                }
                break;
            case RenderTarget::AlphaExport:
                draw::fillBlend(image, L.strip, style.stripsColor, blend);
                break;
            case RenderTarget::ColorExport:
                draw::fillOpaque(image, L.strip, style.mixedColor);
                break;
            case RenderTarget::OpaqueExport:
                draw::fillOpaque(image, L.strip, style.stripsColor);
                break;
        }
    }

    // Text, drawn with the style-0 advances whatever the border style.
    int glyphStyle = std::clamp(style.borderStyle, 0, FontSheet::kStyles - 1);
    if (target == RenderTarget::OpaqueExport && style.drawNoStrips) glyphStyle = 0;
    std::string_view texts[2] = {lineA, lineB};
    for (int i = 0; i < 2; ++i) {
        const LineLayout& L = r.lines[size_t(i)];
        if (L.blank) continue;
        const int tallest = drawText(image, texts[i], font, glyphStyle, L.x0 + r.margin, L.top - 2, style.wordSpacing);
        addDrawnRows(r, L.top - 2, L.top - 2 + tallest, image.height());
        if (makeComposite)
            drawText(*composite, texts[i], font, glyphStyle, L.x0 + r.margin, L.top - 2, style.wordSpacing);
    }
    return r;
}

}  // namespace

void clearLineStrip(Image& preview, const StripsConfig& style, int stripHeight, bool lineAEmpty, bool lineBEmpty,
                    const Image* background) {
    if (!lineAEmpty && !lineBEmpty) return;
    if (background && !background->empty()) {
        drawBackdrop(preview, style.bgColor, background);
        return;
    }
    const int W = preview.width();
    if (lineAEmpty) draw::fillOpaque(preview, draw::Rect{0, style.stripsYPos, W, stripHeight}, style.bgColor);
    if (lineBEmpty)
        draw::fillOpaque(preview, draw::Rect{0, style.stripsYPos + style.stripsSpacing, W, stripHeight},
                         style.bgColor);
}
