// The caption layer of the burn-in: the set's picture scaled and turned
// to the movie and blended into its frames.

#include "media/MovieBurn.h"

namespace burnin {

// Straight-alpha RGBA scaled smoothly to another size.
Image scaledCaption(const Image& src, int w, int h) {
    Image pre(src.width(), src.height());
    for (int yy = 0; yy < src.height(); ++yy) {
        const uint8_t* s = src.pixel(0, yy);
        uint8_t* d = pre.pixel(0, yy);
        for (int x = 0; x < src.width(); ++x, s += 4, d += 4) {
            for (int c = 0; c < 3; ++c) d[c] = uint8_t((s[c] * s[3] + 127) / 255);
            d[3] = s[3];
        }
    }
    Image out(w, h);
    SwsContext* sws = sws_getContext(src.width(), src.height(), AV_PIX_FMT_RGBA, w, h, AV_PIX_FMT_RGBA,
                                     SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
    if (!sws || out.empty()) {
        sws_freeContext(sws);
        return Image();
    }
    const uint8_t* srcData[4] = {pre.data(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {int(pre.stride()), 0, 0, 0};
    uint8_t* dstData[4] = {out.data(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {int(out.stride()), 0, 0, 0};
    sws_scale(sws, srcData, srcStride, 0, src.height(), dstData, dstStride);
    sws_freeContext(sws);
    for (int yy = 0; yy < h; ++yy) {
        uint8_t* p = out.pixel(0, yy);
        for (int x = 0; x < w; ++x, p += 4) {
            const int a = p[3];
            for (int c = 0; c < 3; ++c) p[c] = a ? uint8_t(std::min(255, (std::min<int>(p[c], a) * 255 + a / 2) / a)) : 0;
        }
    }
    return out;
}

void buildLayer(const Image& rgba, bool bt709, CaptionLayer& layer) {
    const int w = rgba.width(), h = rgba.height();
    const double kr = bt709 ? 0.2126 : 0.299, kb = bt709 ? 0.0722 : 0.114, kg = 1.0 - kr - kb;
    layer.width = w;
    layer.height = h;
    layer.y.assign(size_t(w) * size_t(h), 0);
    layer.a.assign(size_t(w) * size_t(h), 0);
    const int cw = (w + 1) / 2, ch = (h + 1) / 2;
    layer.u.assign(size_t(cw) * size_t(ch), 128);
    layer.v.assign(size_t(cw) * size_t(ch), 128);
    layer.ca.assign(size_t(cw) * size_t(ch), 0);
    std::vector<double> su(size_t(cw) * size_t(ch), 0), sv(su.size(), 0), sa(su.size(), 0);
    int x0 = w, y0 = h, x1 = 0, y1 = 0;
    for (int yy = 0; yy < h; ++yy) {
        const uint8_t* p = rgba.pixel(0, yy);
        for (int x = 0; x < w; ++x, p += 4) {
            const int a = p[3];
            if (!a) continue;
            x0 = std::min(x0, x), y0 = std::min(y0, yy), x1 = std::max(x1, x + 1), y1 = std::max(y1, yy + 1);
            const double r = p[0], g = p[1], b = p[2];
            const double luma = kr * r + kg * g + kb * b;
            const size_t i = size_t(yy) * size_t(w) + size_t(x);
            layer.y[i] = uint8_t(std::lround(16.0 + 219.0 * luma / 255.0));
            layer.a[i] = uint8_t(a);
            const double u = 128.0 + 224.0 * (b - luma) / (2.0 * (1.0 - kb)) / 255.0;
            const double v = 128.0 + 224.0 * (r - luma) / (2.0 * (1.0 - kr)) / 255.0;
            const size_t ci = size_t(yy / 2) * size_t(cw) + size_t(x / 2);
            su[ci] += u * a, sv[ci] += v * a, sa[ci] += a;
        }
    }
    for (size_t ci = 0; ci < su.size(); ++ci)
        if (sa[ci] > 0) {
            layer.u[ci] = uint8_t(std::clamp(std::lround(su[ci] / sa[ci]), 0L, 255L));
            layer.v[ci] = uint8_t(std::clamp(std::lround(sv[ci] / sa[ci]), 0L, 255L));
            layer.ca[ci] = uint8_t(std::lround(sa[ci] / 4.0));
        }
    layer.x0 = x0 & ~1, layer.y0 = y0 & ~1;
    layer.x1 = std::min(w, (x1 + 1) & ~1), layer.y1 = std::min(h, (y1 + 1) & ~1);
    if (x1 <= x0) layer.x0 = layer.x1 = layer.y0 = layer.y1 = 0;
}

// A picture turned by quarter turns counterclockwise (0 to 3).
Image turnedCounterclockwise(const Image& src, int quarterTurns) {
    const int w = src.width(), h = src.height();
    const bool across = quarterTurns % 2 != 0;
    Image out(across ? h : w, across ? w : h);
    if (out.empty()) return out;
    for (int y = 0; y < h; ++y) {
        const uint8_t* p = src.pixel(0, y);
        for (int x = 0; x < w; ++x, p += 4) {
            int tx = x, ty = y;
            switch (quarterTurns) {
                case 1: tx = y, ty = w - 1 - x; break;
                case 2: tx = w - 1 - x, ty = h - 1 - y; break;
                case 3: tx = h - 1 - y, ty = x; break;
                default: break;
            }
            std::copy(p, p + 4, out.pixel(tx, ty));
        }
    }
    return out;
}

// The display matrix of a stream (how players turn its pictures), or null.
const int32_t* displayMatrixOf(const AVStream* s) {
#if LIBAVFORMAT_VERSION_MAJOR < 61
    size_t size = 0;
    const uint8_t* data = av_stream_get_side_data(s, AV_PKT_DATA_DISPLAYMATRIX, &size);
    return data && size >= 9 * sizeof(int32_t) ? reinterpret_cast<const int32_t*>(data) : nullptr;
#else
    const AVPacketSideData* sd = av_packet_side_data_get(s->codecpar->coded_side_data,
                                                         s->codecpar->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
    return sd && sd->size >= 9 * sizeof(int32_t) ? reinterpret_cast<const int32_t*>(sd->data) : nullptr;
#endif
}

bool setDisplayMatrix(AVStream* s, const int32_t* matrix) {
#if LIBAVFORMAT_VERSION_MAJOR < 61
    uint8_t* data = av_stream_new_side_data(s, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t));
#else
    AVPacketSideData* sd = av_packet_side_data_new(&s->codecpar->coded_side_data, &s->codecpar->nb_coded_side_data,
                                                   AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t), 0);
    uint8_t* data = sd ? sd->data : nullptr;
#endif
    if (!data) return false;
    std::memcpy(data, matrix, 9 * sizeof(int32_t));
    return true;
}

inline uint8_t mix(int over, int under, int a) {
    return uint8_t((over * a + under * (255 - a) + 127) / 255);
}

void blendLayer(const CaptionLayer& l, AVFrame* f) {
    const int cw = (l.width + 1) / 2;
    for (int yy = l.y0; yy < l.y1; ++yy) {
        uint8_t* dy = f->data[0] + size_t(yy) * size_t(f->linesize[0]);
        const size_t row = size_t(yy) * size_t(l.width);
        for (int x = l.x0; x < l.x1; ++x) {
            const int a = l.a[row + size_t(x)];
            if (a) dy[x] = mix(l.y[row + size_t(x)], dy[x], a);
        }
    }
    for (int cy = l.y0 / 2; cy < (l.y1 + 1) / 2; ++cy) {
        uint8_t* du = f->data[1] + size_t(cy) * size_t(f->linesize[1]);
        uint8_t* dv = f->data[2] + size_t(cy) * size_t(f->linesize[2]);
        const size_t row = size_t(cy) * size_t(cw);
        for (int cx = l.x0 / 2; cx < (l.x1 + 1) / 2; ++cx) {
            const int a = l.ca[row + size_t(cx)];
            if (!a) continue;
            du[cx] = mix(l.u[row + size_t(cx)], du[cx], a);
            dv[cx] = mix(l.v[row + size_t(cx)], dv[cx], a);
        }
    }
}

}  // namespace burnin
