#include "render/Background.h"

#include <algorithm>
#include <cmath>

#include "base/Draw.h"

Size backgroundTargetSize(int iw, int ih, int W, int H) {
    if (iw <= 0 || ih <= 0 || W <= 0 || H <= 0) return {};
    int bw = W, bh = H;
    if ((ih > iw && H < W) || (ih < iw && H > W)) std::swap(bw, bh);
    const float sx = float(bw) / float(iw);
    const float sy = float(bh) / float(ih);
    auto round = [](float v) { return int(std::lround(v)); };
    const float imageRatio = float(iw) / float(ih) * 10.0f;
    const float boxRatio = float(bw) / float(bh) * 10.0f;
    if (std::floor(imageRatio) == std::floor(boxRatio)) return {bw, bh};
    if (float(bw) >= float(iw) * sy) return {round(float(iw) * sy), round(float(ih) * sy)};
    return {round(float(iw) * sx), round(float(ih) * sx)};
}

Image prepareBackground(const Image& decoded, int W, int H) {
    Size t = backgroundTargetSize(decoded.width(), decoded.height(), W, H);
    if (t.w <= 0 || t.h <= 0) return {};
    // Only the part inside the preview is ever drawn: scale, then cut.
    Image scaled = draw::resize(decoded, std::max(1, t.w), std::max(1, t.h));
    if (scaled.width() <= W && scaled.height() <= H) return scaled;
    return draw::copyRect(scaled, draw::Rect{0, 0, std::min(W, scaled.width()), std::min(H, scaled.height())});
}

int timingScaled(int v) {
    return int(std::lround(v / kTimingScale));
}

Size timingPreviewSize(int W, int H) {
    return {timingScaled(W), timingScaled(H)};
}

std::vector<OverlayPiece> makeSetOverlay(const Image& preview, const RenderResult& rendered,
                                         const StripsConfig& style) {
    std::vector<OverlayPiece> pieces;
    for (const LineLayout& L : rendered.lines) {
        if (L.empty || L.strip.empty()) continue;
        Image copy = draw::copyRect(preview, L.strip);
        if (copy.empty()) continue;
        OverlayPiece p;
        p.image = draw::resize(copy, std::max(1, timingScaled(L.strip.w)), std::max(1, timingScaled(L.strip.h)));
        if (style.drawNoStrips) {
            draw::colorKey(p.image, Rgb{0, 0, 0}, 255);
            p.keyed = true;
        }
        p.x = timingScaled(L.strip.x);
        p.y = timingScaled(L.strip.y);
        pieces.push_back(std::move(p));
    }
    return pieces;
}

void drawSetOverlay(Image& area, const std::vector<OverlayPiece>& pieces, Rgb bgColor, bool moviePlaying) {
    if (!moviePlaying) draw::fillOpaque(area, bgColor);
    for (const OverlayPiece& p : pieces) {
        if (p.keyed)
            draw::drawAlpha(area, p.image, p.x, p.y);
        else
            draw::drawOpaque(area, p.image, p.x, p.y);
    }
}
