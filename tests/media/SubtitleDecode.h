#pragma once
// Reads a subtitle file with FFmpeg's own demuxers and decoders: each
// decoded subtitle with its start time (90 kHz ticks) and its rectangles
// drawn onto a fully transparent frame.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Image.h"

namespace subdecode {

struct Decoded {
    long long pts90k = 0;
    long long endMs = -1;  // end_display_time when the decoder gives one
    int rects = 0;
    bool forced = false;  // a rectangle carries AV_SUBTITLE_FLAG_FORCED
    Image frame;  // width x height, straight alpha
};

inline std::vector<Decoded> decodeFile(const std::string& path, int width, int height, const char* format = nullptr,
                                       std::string* codecName = nullptr) {
    std::vector<Decoded> out;
    AVFormatContext* fmt = nullptr;
    const AVInputFormat* in = format ? av_find_input_format(format) : nullptr;
    if (avformat_open_input(&fmt, path.c_str(), in, nullptr) < 0) {
        ADD_FAILURE() << "FFmpeg cannot open " << path;
        return out;
    }
    avformat_find_stream_info(fmt, nullptr);
    int index = -1;
    for (unsigned i = 0; i < fmt->nb_streams; ++i)
        if (fmt->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE) index = int(i);
    if (index < 0) {
        ADD_FAILURE() << "no subtitle stream in " << path;
        avformat_close_input(&fmt);
        return out;
    }
    AVStream* st = fmt->streams[index];
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (codecName) *codecName = codec ? codec->name : "";
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(ctx, st->codecpar);
    ctx->pkt_timebase = st->time_base;
    if (ctx->width <= 0) ctx->width = width;
    if (ctx->height <= 0) ctx->height = height;
    if (avcodec_open2(ctx, codec, nullptr) < 0) {
        ADD_FAILURE() << "cannot open the decoder";
        avcodec_free_context(&ctx);
        avformat_close_input(&fmt);
        return out;
    }
    AVPacket* pkt = av_packet_alloc();
    auto take = [&](AVPacket* p) {
        AVSubtitle sub{};
        int got = 0;
        if (avcodec_decode_subtitle2(ctx, &sub, &got, p) < 0 || !got) return;
        Decoded d;
        d.pts90k = p->pts == AV_NOPTS_VALUE ? -1 : av_rescale_q(p->pts, st->time_base, AVRational{1, 90000});
        if (sub.end_display_time != UINT32_MAX && sub.end_display_time > 0) d.endMs = sub.end_display_time;
        d.rects = int(sub.num_rects);
        d.frame = Image(width, height);
        for (unsigned r = 0; r < sub.num_rects; ++r) {
            const AVSubtitleRect* rect = sub.rects[r];
            if (rect->flags & AV_SUBTITLE_FLAG_FORCED) d.forced = true;
            if (rect->type != SUBTITLE_BITMAP) continue;
            const uint32_t* pal = reinterpret_cast<const uint32_t*>(rect->data[1]);
            for (int y = 0; y < rect->h; ++y)
                for (int x = 0; x < rect->w; ++x) {
                    const int fx = rect->x + x, fy = rect->y + y;
                    if (!d.frame.contains(fx, fy)) {
                        ADD_FAILURE() << "a rectangle reaches outside the frame";
                        continue;
                    }
                    const uint32_t argb = pal[rect->data[0][y * rect->linesize[0] + x]];
                    uint8_t* q = d.frame.pixel(fx, fy);
                    q[0] = uint8_t(argb >> 16), q[1] = uint8_t(argb >> 8), q[2] = uint8_t(argb), q[3] = uint8_t(argb >> 24);
                }
        }
        avsubtitle_free(&sub);
        out.push_back(std::move(d));
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == index) take(pkt);
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    avformat_close_input(&fmt);
    return out;
}

// Largest difference in alpha over the frame, and in colour over pixels both
// pictures show clearly (alpha of at least 64 in each).
struct Difference {
    int alpha = 0, colour = 0;
};
inline Difference compare(const Image& a, const Image& b) {
    Difference d;
    if (a.width() != b.width() || a.height() != b.height()) return {255, 255};
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const uint8_t *p = a.pixel(x, y), *q = b.pixel(x, y);
            d.alpha = std::max(d.alpha, std::abs(p[3] - q[3]));
            if (p[3] >= 64 && q[3] >= 64)
                for (int c = 0; c < 3; ++c) d.colour = std::max(d.colour, std::abs(p[c] - q[c]));
        }
    return d;
}

}  // namespace subdecode
