#include "render/Compositor.h"

#include <algorithm>
#include <cmath>
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

// The colour of each grey of a glyph picture in a text colour. The glyphs
// are white text over a border of one grey per style (black, 128, or the
// shadow's 96; none for style 0), straight alpha; a pixel's grey tells the
// share of text in it, which takes the text colour, the rest keeps the
// border's grey.
struct Tint {
    bool plain = true;  // white text: the pictures as they are
    std::array<Rgb, 256> colour{};
    Tint(Rgb text, int style) {
        plain = text == Rgb{255, 255, 255};
        if (plain) return;
        static constexpr int kBorderGrey[4] = {255, 0, 128, 96};
        const int border = kBorderGrey[std::clamp(style, 0, 3)];
        for (int g = 0; g < 256; ++g) {
            const int share = border >= 255 ? 255 : std::clamp((g - border) * 255 / (255 - border), 0, 255);
            auto mix = [&](int c) { return uint8_t((c * share + border * (255 - share) + 127) / 255); };
            colour[size_t(g)] = border >= 255 ? text : Rgb{mix(text.r), mix(text.g), mix(text.b)};
        }
    }
};

void drawGlyph(Image& dst, const Image& src, int x, int y, const Tint& tint) {
    if (tint.plain) {
        draw::drawAlpha(dst, src, x, y);
        return;
    }
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const int x1 = std::min(dst.width(), x + src.width()), y1 = std::min(dst.height(), y + src.height());
    for (int j = y0; j < y1; ++j) {
        const uint8_t* s = src.pixel(x0 - x, j - y);
        uint8_t* d = dst.pixel(x0, j);
        for (int i = x0; i < x1; ++i, s += 4, d += 4) {
            const Rgb& c = tint.colour[s[0]];
            draw::blendPixel(d, c.r, c.g, c.b, s[3]);
        }
    }
}

// A glyph leaning right about its baseline row: each row moves right by
// its height above the baseline times the slant, borders and all.
void drawSlanted(Image& dst, const Image& src, int x, int y, int baseline, const Tint& tint) {
    for (int j = 0; j < src.height(); ++j) {
        const int yy = y + j;
        if (yy < 0 || yy >= dst.height()) continue;
        const int shift = int(std::lround((baseline - 0.5 - j) * FontSheet::kSlant));
        const int x0 = std::max(0, x + shift), x1 = std::min(dst.width(), x + shift + src.width());
        if (x0 >= x1) continue;
        const uint8_t* s = src.pixel(x0 - x - shift, j);
        uint8_t* d = dst.pixel(x0, yy);
        for (int i = x0; i < x1; ++i, s += 4, d += 4) {
            if (tint.plain) {
                draw::blendPixel(d, s[0], s[1], s[2], s[3]);
            } else {
                const Rgb& c = tint.colour[s[0]];
                draw::blendPixel(d, c.r, c.g, c.b, s[3]);
            }
        }
    }
}

// Returns the height of the tallest glyph drawn (0 for none).
int drawText(Image& img, const std::vector<FontSheet::Placed>& placed, const FontSheet& font, int style, int x, int y,
             int wordSpacing, const Tint& tint) {
    int offset = 0, tallest = 0;
    for (const FontSheet::Placed& p : placed) {
        if (const Image* g = font.glyphImage(p.key, style)) {
            if (p.slanted) drawSlanted(img, *g, x + offset + p.dx, y - p.dy, font.baselineRow(), tint);
            else drawGlyph(img, *g, x + offset + p.dx, y - p.dy, tint);
            tallest = std::max(tallest, g->height());
        }
        offset += p.advance + (p.spaced ? wordSpacing : 0);
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

namespace {
int widthOf(const std::vector<FontSheet::Placed>& placed, int wordSpacing) {
    int w = 0;
    for (const FontSheet::Placed& p : placed) w += p.advance + (p.spaced ? wordSpacing : 0);
    return w;
}

// The layout of both lines from their widths.
RenderResult layoutWithWidths(const StripsConfig& style, const FontSheet& font, int width, std::string_view lineA,
                              std::string_view lineB, const int widths[2]) {
    RenderResult r;
    r.margin = width / 200;
    r.stripHeight = font.stripHeight;
    const int m = r.margin;
    std::string_view texts[2] = {lineA, lineB};
    for (int i = 0; i < 2; ++i) {
        LineLayout& L = r.lines[size_t(i)];
        L.empty = texts[i].empty();
        L.blank = isBlank(texts[i]);
        L.textWidth = widths[i];
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

}  // namespace

int measureLine(std::string_view text, const FontSheet& font, int wordSpacing) {
    return widthOf(font.layoutText(text), wordSpacing);
}

RenderResult layoutSubtitleSet(const StripsConfig& style, const FontSheet& font, int width, std::string_view lineA,
                               std::string_view lineB) {
    const int widths[2] = {measureLine(lineA, font, style.wordSpacing), measureLine(lineB, font, style.wordSpacing)};
    return layoutWithWidths(style, font, width, lineA, lineB, widths);
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
    // Each line is laid out (shaped, with glyphs made from a font) once, for
    // measuring and drawing alike.
    const std::vector<FontSheet::Placed> placed[2] = {font.layoutText(lineA), font.layoutText(lineB)};
    const int widths[2] = {widthOf(placed[0], baseStyle.wordSpacing), widthOf(placed[1], baseStyle.wordSpacing)};
    RenderResult r = layoutWithWidths(baseStyle, font, W, lineA, lineB, widths);
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
    const Tint tint(style.textColor, glyphStyle);
    for (int i = 0; i < 2; ++i) {
        const LineLayout& L = r.lines[size_t(i)];
        if (L.blank) continue;
        const int tallest =
            drawText(image, placed[i], font, glyphStyle, L.x0 + r.margin, L.top - 2, style.wordSpacing, tint);
        addDrawnRows(r, L.top - 2, L.top - 2 + tallest, image.height());
        if (makeComposite)
            drawText(*composite, placed[i], font, glyphStyle, L.x0 + r.margin, L.top - 2, style.wordSpacing, tint);
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
