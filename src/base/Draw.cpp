#include "base/Draw.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace draw {

Rect clip(Rect r, int width, int height) {
    int x1 = std::max(r.x, 0), y1 = std::max(r.y, 0);
    // 64-bit sums: callers may pass huge sizes.
    long long x2 = std::min<long long>((long long)r.x + r.w, width);
    long long y2 = std::min<long long>((long long)r.y + r.h, height);
    if (x2 <= x1 || y2 <= y1) return Rect{0, 0, 0, 0};
    return Rect{x1, y1, int(x2 - x1), int(y2 - y1)};
}

Rgba readPixel(const Image& img, int x, int y) {
    if (!img.contains(x, y)) return {};
    const uint8_t* p = img.pixel(x, y);
    return Rgba{p[0], p[1], p[2], p[3]};
}

Image copyRect(const Image& src, Rect r) {
    if (r.empty() || !Image::validSize(r.w, r.h)) return {};
    Image out(r.w, r.h);
    drawRaw(out, src, -r.x, -r.y);
    return out;
}

void fillOpaque(Image& dst, Rect r, Rgb c) {
    fillRaw(dst, r, Rgba{c.r, c.g, c.b, 255});
}

void fillRaw(Image& dst, Rect r, Rgba c) {
    r = clip(r, dst.width(), dst.height());
    if (r.empty()) return;
    uint8_t px[4] = {c.r, c.g, c.b, c.a};
    uint32_t word;
    std::memcpy(&word, px, 4);
    if (word == 0) {  // transparent black: plain zero bytes, nothing to read back
        for (int y = r.y; y < r.y + r.h; ++y) std::memset(dst.pixel(r.x, y), 0, size_t(r.w) * 4);
        return;
    }
    for (int y = r.y; y < r.y + r.h; ++y) {
        uint8_t* row = dst.pixel(r.x, y);
        if (y == r.y) {
            for (int x = 0; x < r.w; ++x) std::memcpy(row + size_t(x) * 4, &word, 4);
        } else {
            std::memcpy(row, dst.pixel(r.x, r.y), size_t(r.w) * 4);
        }
    }
}

void fillBlend(Image& dst, Rect r, Rgb c, uint8_t alpha) {
    if (alpha == 255) return fillOpaque(dst, r, c);
    if (alpha == 0) return;
    r = clip(r, dst.width(), dst.height());
    for (int y = r.y; y < r.y + r.h; ++y) {
        uint8_t* p = dst.pixel(r.x, y);
        for (int x = 0; x < r.w; ++x, p += 4) blendPixel(p, c.r, c.g, c.b, alpha);
    }
}

namespace {
// The overlap of src placed at (x, y) with dst, as a destination rectangle.
Rect overlap(const Image& dst, const Image& src, int x, int y) {
    Rect r = clip(Rect{x, y, src.width(), src.height()}, dst.width(), dst.height());
    return r;
}
}  // namespace

void drawOpaque(Image& dst, const Image& src, int x, int y) {
    Rect r = overlap(dst, src, x, y);
    for (int j = r.y; j < r.y + r.h; ++j) {
        const uint8_t* s = src.pixel(r.x - x, j - y);
        uint8_t* d = dst.pixel(r.x, j);
        for (int i = 0; i < r.w; ++i, s += 4, d += 4) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            d[3] = 255;
        }
    }
}

void drawRaw(Image& dst, const Image& src, int x, int y) {
    Rect r = overlap(dst, src, x, y);
    for (int j = r.y; j < r.y + r.h; ++j)
        std::memcpy(dst.pixel(r.x, j), src.pixel(r.x - x, j - y), size_t(r.w) * 4);
}

void drawAlpha(Image& dst, const Image& src, int x, int y, uint8_t opacity) {
    if (opacity == 0) return;
    Rect r = overlap(dst, src, x, y);
    for (int j = r.y; j < r.y + r.h; ++j) {
        const uint8_t* s = src.pixel(r.x - x, j - y);
        uint8_t* d = dst.pixel(r.x, j);
        if (opacity == 255) {
            for (int i = 0; i < r.w; ++i, s += 4, d += 4) blendPixel(d, s[0], s[1], s[2], s[3]);
        } else {
            for (int i = 0; i < r.w; ++i, s += 4, d += 4)
                blendPixel(d, s[0], s[1], s[2], (unsigned(s[3]) * opacity + 127) / 255);
        }
    }
}

void colorKey(Image& img, Rgb key, uint8_t alpha) {
    for (int y = 0; y < img.height(); ++y) {
        uint8_t* p = img.pixel(0, y);
        for (int x = 0; x < img.width(); ++x, p += 4)
            p[3] = (p[0] == key.r && p[1] == key.g && p[2] == key.b) ? 0 : alpha;
    }
}

namespace {

struct Tap {
    int first = 0;              // first source index
    std::vector<float> weights;  // normalised
};

// Filter taps for resampling n source samples to m: a triangle filter as
// wide as the scale when shrinking (area-like), bilinear when enlarging.
std::vector<Tap> taps(int n, int m) {
    std::vector<Tap> out;
    out.resize(size_t(m));
    double scale = double(n) / double(m);
    double support = std::max(1.0, scale);
    for (int i = 0; i < m; ++i) {
        double centre = (i + 0.5) * scale - 0.5;
        int lo = int(std::floor(centre - support + 1e-9)) + 1;
        int hi = int(std::ceil(centre + support - 1e-9)) - 1;
        lo = std::max(lo, 0);
        hi = std::min(hi, n - 1);
        Tap& t = out[size_t(i)];
        double sum = 0;
        for (int k = lo; k <= hi; ++k) {
            double w = 1.0 - std::abs(k - centre) / support;
            if (w < 0) w = 0;
            t.weights.push_back(float(w));
            sum += w;
        }
        t.first = lo;
        if (t.weights.empty() || sum <= 0) {  // degenerate: nearest sample
            t.first = std::clamp(int(std::lround(centre)), 0, n - 1);
            t.weights.assign(1, 1.0f);
        } else {
            for (float& w : t.weights) w = float(w / sum);
        }
    }
    return out;
}

}  // namespace

Image resize(const Image& src, int w, int h) {
    if (src.empty() || !Image::validSize(w, h)) return {};
    if (w == src.width() && h == src.height()) return src;
    const int sw = src.width(), sh = src.height();
    std::vector<Tap> tx = taps(sw, w), ty = taps(sh, h);

    // Premultiplied float copy of the source, then two passes. The smaller
    // intermediate decides the order.
    auto premul = [&](int x, int y, float* out) {
        const uint8_t* p = src.pixel(x, y);
        float a = p[3] / 255.0f;
        out[0] = p[0] * a;
        out[1] = p[1] * a;
        out[2] = p[2] * a;
        out[3] = p[3];
    };
    Image out(w, h);
    auto store = [&](int x, int y, const float* v) {
        uint8_t* d = out.pixel(x, y);
        float a = std::clamp(v[3], 0.0f, 255.0f);
        if (a < 0.5f) {
            d[0] = d[1] = d[2] = d[3] = 0;
            return;
        }
        float inv = 255.0f / a;
        for (int c = 0; c < 3; ++c) d[c] = uint8_t(std::clamp(v[c] * inv, 0.0f, 255.0f) + 0.5f);
        d[3] = uint8_t(a + 0.5f);
    };

    bool horizontalFirst = double(w) * sh <= double(sw) * h;
    if (horizontalFirst) {
        std::vector<float> mid(size_t(w) * size_t(sh) * 4);
        std::vector<float> row(size_t(sw) * 4);
        for (int y = 0; y < sh; ++y) {
            for (int x = 0; x < sw; ++x) premul(x, y, &row[size_t(x) * 4]);
            for (int x = 0; x < w; ++x) {
                const Tap& t = tx[size_t(x)];
                float acc[4] = {0, 0, 0, 0};
                for (size_t k = 0; k < t.weights.size(); ++k) {
                    const float* s = &row[size_t(t.first + int(k)) * 4];
                    float wt = t.weights[k];
                    for (int c = 0; c < 4; ++c) acc[c] += s[c] * wt;
                }
                std::memcpy(&mid[(size_t(y) * size_t(w) + size_t(x)) * 4], acc, sizeof acc);
            }
        }
        for (int y = 0; y < h; ++y) {
            const Tap& t = ty[size_t(y)];
            for (int x = 0; x < w; ++x) {
                float acc[4] = {0, 0, 0, 0};
                for (size_t k = 0; k < t.weights.size(); ++k) {
                    const float* s = &mid[(size_t(t.first + int(k)) * size_t(w) + size_t(x)) * 4];
                    float wt = t.weights[k];
                    for (int c = 0; c < 4; ++c) acc[c] += s[c] * wt;
                }
                store(x, y, acc);
            }
        }
    } else {
        std::vector<float> mid(size_t(sw) * size_t(h) * 4);
        // Vertical pass straight from the source, one output row at a time.
        for (int y = 0; y < h; ++y) {
            const Tap& t = ty[size_t(y)];
            float* dst = &mid[size_t(y) * size_t(sw) * 4];
            std::fill(dst, dst + size_t(sw) * 4, 0.0f);
            for (size_t k = 0; k < t.weights.size(); ++k) {
                int sy = t.first + int(k);
                float wt = t.weights[k];
                for (int x = 0; x < sw; ++x) {
                    float v[4];
                    premul(x, sy, v);
                    for (int c = 0; c < 4; ++c) dst[size_t(x) * 4 + size_t(c)] += v[c] * wt;
                }
            }
        }
        for (int y = 0; y < h; ++y) {
            const float* row = &mid[size_t(y) * size_t(sw) * 4];
            for (int x = 0; x < w; ++x) {
                const Tap& t = tx[size_t(x)];
                float acc[4] = {0, 0, 0, 0};
                for (size_t k = 0; k < t.weights.size(); ++k) {
                    const float* s = &row[size_t(t.first + int(k)) * 4];
                    float wt = t.weights[k];
                    for (int c = 0; c < 4; ++c) acc[c] += s[c] * wt;
                }
                store(x, y, acc);
            }
        }
    }
    return out;
}

}  // namespace draw
