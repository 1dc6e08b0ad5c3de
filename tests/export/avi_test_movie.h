#pragma once
// Reads a movie back with libavformat / libavcodec for the AVI tests.
#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

struct DecodedMovie {
    std::string error;
    AVCodecID codec = AV_CODEC_ID_NONE;
    int width = 0, height = 0;
    AVRational rFrameRate{0, 1}, avgFrameRate{0, 1};
    int64_t packets = 0, keyPackets = 0;
    std::vector<std::vector<uint8_t>> frames;  // tight RGB24 rows, top first
};

inline DecodedMovie decodeMovie(const std::string& path) {
    DecodedMovie m;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        m.error = "cannot open";
        return m;
    }
    avformat_find_stream_info(fmt, nullptr);
    int si = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (si < 0) {
        m.error = "no video";
        avformat_close_input(&fmt);
        return m;
    }
    AVStream* st = fmt->streams[si];
    m.codec = st->codecpar->codec_id;
    m.width = st->codecpar->width;
    m.height = st->codecpar->height;
    m.rFrameRate = st->r_frame_rate;
    m.avgFrameRate = st->avg_frame_rate;
    const AVCodec* dec = avcodec_find_decoder(m.codec);
    AVCodecContext* ctx = avcodec_alloc_context3(dec);
    avcodec_parameters_to_context(ctx, st->codecpar);
    ctx->thread_count = 1;
    if (avcodec_open2(ctx, dec, nullptr) < 0) {
        m.error = "cannot decode";
        avcodec_free_context(&ctx);
        avformat_close_input(&fmt);
        return m;
    }
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* sws = nullptr;
    auto take = [&]() {
        while (avcodec_receive_frame(ctx, frame) == 0) {
            sws = sws_getCachedContext(sws, frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                                       frame->height, AV_PIX_FMT_RGB24,
                                       SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
            std::vector<uint8_t> rgb(size_t(frame->width) * size_t(frame->height) * 3);
            uint8_t* dst[4] = {rgb.data(), nullptr, nullptr, nullptr};
            int dstStride[4] = {frame->width * 3, 0, 0, 0};
            sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
            m.frames.push_back(std::move(rgb));
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == si) {
            ++m.packets;
            if (pkt->flags & AV_PKT_FLAG_KEY) ++m.keyPackets;
            avcodec_send_packet(ctx, pkt);
            take();
        }
        av_packet_unref(pkt);
    }
    avcodec_send_packet(ctx, nullptr);
    take();
    sws_freeContext(sws);
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    avformat_close_input(&fmt);
    return m;
}
