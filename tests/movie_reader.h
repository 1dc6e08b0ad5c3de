#pragma once
// Reads a movie back with libavformat / libavcodec: the tests' independent
// reader of the AVI, overlay and burned-in movies.
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
    int64_t packetCount = 0, keyPackets = 0;
    std::vector<std::vector<uint8_t>> packets;  // video packet bytes in file order (RGBA reads only)
    std::vector<std::vector<uint8_t>> frames;   // tight rows (RGB24 or RGBA), top first
};
using RgbaMovie = DecodedMovie;

// `pixels`: AV_PIX_FMT_RGB24 or AV_PIX_FMT_RGBA. `overlay`: keep the packet
// bytes, decode VP9 with libvpx (whose decoder reads the alpha layer of
// WebM) and convert YUV as the file says it is coded (BT.709 where tagged,
// else BT.601).
inline DecodedMovie readMovie(const std::string& path, AVPixelFormat pixels, bool overlay) {
    DecodedMovie m;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        m.error = "cannot open";
        return m;
    }
    avformat_find_stream_info(fmt, nullptr);
    const int si = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
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
    const AVCodec* dec = overlay && m.codec == AV_CODEC_ID_VP9 ? avcodec_find_decoder_by_name("libvpx-vp9")
                                                                : avcodec_find_decoder(m.codec);
    AVCodecContext* ctx = dec ? avcodec_alloc_context3(dec) : nullptr;
    if (ctx) ctx->thread_count = 1;
    if (!ctx || avcodec_parameters_to_context(ctx, st->codecpar) < 0 || avcodec_open2(ctx, dec, nullptr) < 0) {
        m.error = "cannot decode";
        avcodec_free_context(&ctx);
        avformat_close_input(&fmt);
        return m;
    }
    const int bytesPerPixel = pixels == AV_PIX_FMT_RGBA ? 4 : 3;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* sws = nullptr;
    auto take = [&]() {
        while (avcodec_receive_frame(ctx, frame) == 0) {
            sws = sws_getCachedContext(sws, frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                                       frame->height, pixels, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                                       nullptr, nullptr, nullptr);
            if (overlay) {
                int *inv = nullptr, *table = nullptr, srcRange = 0, dstRange = 0, b = 0, c = 0, s = 0;
                sws_getColorspaceDetails(sws, &inv, &srcRange, &table, &dstRange, &b, &c, &s);
                const int* coeffs =
                    sws_getCoefficients(frame->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
                sws_setColorspaceDetails(sws, coeffs, frame->color_range == AVCOL_RANGE_JPEG, table, 1, b, c, s);
            }
            std::vector<uint8_t> out(size_t(frame->width) * size_t(frame->height) * size_t(bytesPerPixel));
            uint8_t* dst[4] = {out.data(), nullptr, nullptr, nullptr};
            int dstStride[4] = {frame->width * bytesPerPixel, 0, 0, 0};
            sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
            m.frames.push_back(std::move(out));
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == si) {
            ++m.packetCount;
            if (pkt->flags & AV_PKT_FLAG_KEY) ++m.keyPackets;
            if (overlay) m.packets.emplace_back(pkt->data, pkt->data + pkt->size);
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

// RGB24 frames, as the AVI and burn-in tests compare them.
inline DecodedMovie decodeMovie(const std::string& path) { return readMovie(path, AV_PIX_FMT_RGB24, false); }
// RGBA frames with their alpha and the packet bytes, for the overlay movies.
inline RgbaMovie readRgbaMovie(const std::string& path) { return readMovie(path, AV_PIX_FMT_RGBA, true); }
