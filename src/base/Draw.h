#pragma once
#include <cstdint>

#include "base/Image.h"
#include "base/Rgb.h"

// Drawing into images. Every operation clips to the destination (and source)
// bounds, so any rectangle or position is safe to pass.
namespace draw {

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool empty() const { return w <= 0 || h <= 0; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The part of `r` inside an image of the given size.
Rect clip(Rect r, int width, int height);

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

// The pixel at (x, y); fully transparent black outside the image.
Rgba readPixel(const Image& img, int x, int y);

// A new image holding the rectangle of `src`; pixels outside `src` are
// transparent. Empty when the rectangle is empty.
Image copyRect(const Image& src, Rect r);

// A copy of `src` resampled to w x h (area-weighted when shrinking,
// bilinear when enlarging; alpha-correct). Empty when the size is not valid.
Image resize(const Image& src, int w, int h);

// Writes the colour with alpha 255.
void fillOpaque(Image& dst, Rect r, Rgb c);
// Source-over of (c, alpha) onto what is there.
void fillBlend(Image& dst, Rect r, Rgb c, uint8_t alpha);
// Writes all four channels as given.
void fillRaw(Image& dst, Rect r, Rgba c);
inline void fillOpaque(Image& dst, Rgb c) { fillOpaque(dst, Rect{0, 0, dst.width(), dst.height()}, c); }
inline void clearTransparent(Image& dst) { fillRaw(dst, Rect{0, 0, dst.width(), dst.height()}, Rgba{}); }

// Copies the colour channels of `src` to (x, y) with alpha 255.
void drawOpaque(Image& dst, const Image& src, int x, int y);
// Source-over of `src` with its per-pixel alpha scaled by opacity/255.
void drawAlpha(Image& dst, const Image& src, int x, int y, uint8_t opacity = 255);
// Copies all four channels of `src` unchanged.
void drawRaw(Image& dst, const Image& src, int x, int y);

// Pixels whose colour equals `key` get alpha 0, every other pixel `alpha`.
void colorKey(Image& img, Rgb key, uint8_t alpha = 255);

// Source-over of one straight-alpha pixel onto another (both RGBA).
inline void blendPixel(uint8_t* d, uint8_t sr, uint8_t sg, uint8_t sb, unsigned sa) {
    if (sa == 0) return;
    unsigned da = d[3];
    if (sa == 255 || da == 0) {
        d[0] = sr;
        d[1] = sg;
        d[2] = sb;
        d[3] = uint8_t(sa);
        return;
    }
    if (da == 255) {
        unsigned ia = 255 - sa;
        d[0] = uint8_t((sr * sa + d[0] * ia + 127) / 255);
        d[1] = uint8_t((sg * sa + d[1] * ia + 127) / 255);
        d[2] = uint8_t((sb * sa + d[2] * ia + 127) / 255);
        return;
    }
    // General case: out alpha = sa + da (1 - sa), colours weighted.
    unsigned dw = da * (255 - sa);  // destination weight, scaled by 255
    unsigned sw = sa * 255;
    unsigned oa255 = sw + dw;       // out alpha * 255
    d[0] = uint8_t((sr * sw + d[0] * dw + oa255 / 2) / oa255);
    d[1] = uint8_t((sg * sw + d[1] * dw + oa255 / 2) / oa255);
    d[2] = uint8_t((sb * sw + d[2] * dw + oa255 / 2) / oa255);
    d[3] = uint8_t((oa255 + 127) / 255);
}

}  // namespace draw
