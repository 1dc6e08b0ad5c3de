// Captions burned into a copy of a movie, on libavformat / libavcodec /
// libswscale / libswresample and libx264.
//
// The caption picture of a set is drawn once, scaled to the movie when the
// sizes differ (premultiplied, so that the transparent surroundings do not
// darken the edges), and turned into Y, U, V and alpha planes in the
// movie's own colour space. Each movie frame (as 8-bit 4:2:0) then gets the
// caption blended in, over the caption's bounding box only.

#include "export/BurnIn.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "media/AvError.h"
#include "media/MediaFiles.h"

#include "base/Image.h"

namespace {

// One set's caption at the movie's size, ready to blend into 4:2:0.
struct CaptionLayer {
    int set = -1;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // bounding box of visible pixels, even-aligned; empty when x1 <= x0
    int width = 0, height = 0;
    std::vector<uint8_t> y, a;         // full size
    std::vector<uint8_t> u, v, ca;     // half size: chroma and the mean alpha of its four pixels
};

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

// A sound stream the container cannot hold, encoded as AAC.
struct AudioTranscode {
    int in = -1;
    AVStream* out = nullptr;
    AVCodecContext* dec = nullptr;
    AVCodecContext* enc = nullptr;
    SwrContext* swr = nullptr;
    AVAudioFifo* fifo = nullptr;
    int64_t nextPts = 0;
    ~AudioTranscode() {
        avcodec_free_context(&dec);
        avcodec_free_context(&enc);
        swr_free(&swr);
        if (fifo) av_audio_fifo_free(fifo);
    }
};

class Burn {
public:
    Burn(const BurnJob& job, const BurnPictureSource& pictures, const BurnProgress& progress,
         const std::atomic<bool>* cancel)
        : job_(job), pictures_(pictures), progress_(progress), cancel_(cancel) {}
    ~Burn() { cleanup(); }
    BurnResult run();

private:
    std::string openInput();
    std::string openOutput();
    std::string processVideoPacket(AVPacket* pkt);  // nullptr drains
    std::string processFrame(AVFrame* frame);
    std::string encode(AVFrame* frame);  // nullptr drains
    std::string processAudioPacket(AudioTranscode& t, AVPacket* pkt);
    std::string encodeAudio(AudioTranscode& t, bool flush);
    std::string captionFor(int set);
    void report(bool force);
    void cleanup();

    const BurnJob& job_;
    const BurnPictureSource& pictures_;
    const BurnProgress& progress_;
    const std::atomic<bool>* cancel_;
    BurnResult result_;
    OutputFile file_;  // the new movie until it is complete

    AVFormatContext* in_ = nullptr;
    AVFormatContext* out_ = nullptr;
    int videoIn_ = -1;
    AVStream* videoOut_ = nullptr;
    AVCodecContext* dec_ = nullptr;
    AVCodecContext* enc_ = nullptr;
    SwsContext* sws_ = nullptr;
    AVFrame* converted_ = nullptr;
    AVPacket* pkt_ = nullptr;
    std::vector<int> copyMap_;  // input stream -> output stream index, -1 dropped
    std::vector<std::unique_ptr<AudioTranscode>> transcodes_;
    int64_t zero_ = AV_NOPTS_VALUE, lastPts_ = AV_NOPTS_VALUE;
    MovieRate rate_;
    bool bt709_ = false;
    int32_t displayMatrix_[9] = {};
    bool hasDisplayMatrix_ = false;
    int quarterTurns_ = 0;  // clockwise quarter turns players give the stored pictures
    CaptionLayer layer_;
    int64_t total_ = 0;
    std::chrono::steady_clock::time_point started_, lastReport_;
};

std::string Burn::openInput() {
    std::string why = openMovieFile(&in_, job_.input);
    if (!why.empty()) return "cannot open the movie: " + why;
    int r = avformat_find_stream_info(in_, nullptr);
    if (r < 0) return "cannot read the movie: " + avError(r);
    videoIn_ = -1;
    for (unsigned i = 0; i < in_->nb_streams; ++i) {
        AVStream* s = in_->streams[i];
        if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(s->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            videoIn_ = int(i);
            break;
        }
    }
    if (videoIn_ < 0) return "the file has no video";
    AVStream* vs = in_->streams[videoIn_];
    const AVCodec* dec = avcodec_find_decoder(vs->codecpar->codec_id);
    if (!dec) return "the video codec of the movie cannot be read";
    dec_ = avcodec_alloc_context3(dec);
    if (!dec_) return "out of memory";
    avcodec_parameters_to_context(dec_, vs->codecpar);
    dec_->pkt_timebase = vs->time_base;
    dec_->thread_count = 0;
    r = avcodec_open2(dec_, dec, nullptr);
    if (r < 0) return "the video of the movie cannot be read: " + avError(r);
    if (dec_->width <= 0 || dec_->height <= 0) return "the video has no picture size";
    if (dec_->width % 2 || dec_->height % 2) return "the video's width and height must be even for H.264";
    // A movie that players turn (a phone held upright): the new movie keeps
    // the same display matrix, and the captions, made for the picture the
    // viewer sees, are turned back into the stored picture's orientation.
    if (const int32_t* matrix = displayMatrixOf(vs)) {
        std::memcpy(displayMatrix_, matrix, sizeof displayMatrix_);
        hasDisplayMatrix_ = true;
        const double clockwise = -av_display_rotation_get(matrix);
        if (std::isfinite(clockwise)) quarterTurns_ = int(((std::lround(clockwise / 90.0) % 4) + 4) % 4);
    }
    const bool across = quarterTurns_ % 2 != 0;
    result_.movieWidth = across ? dec_->height : dec_->width;
    result_.movieHeight = across ? dec_->width : dec_->height;
    result_.scaled = result_.movieWidth != job_.width || result_.movieHeight != job_.height;
    bt709_ = dec_->colorspace == AVCOL_SPC_BT709 ||
             (dec_->colorspace == AVCOL_SPC_UNSPECIFIED && dec_->height >= 720);
    if (vs->nb_frames > 0) {
        total_ = vs->nb_frames;
    } else {
        const AVRational fr = av_guess_frame_rate(in_, vs, nullptr);
        const double secs = vs->duration != AV_NOPTS_VALUE ? double(vs->duration) * av_q2d(vs->time_base)
                            : in_->duration != AV_NOPTS_VALUE ? double(in_->duration) / AV_TIME_BASE : 0.0;
        total_ = fr.num > 0 ? int64_t(secs * av_q2d(fr) + 0.5) : 0;
    }
    zero_ = vs->start_time;
    return {};
}

std::string Burn::openOutput() {
    const AVOutputFormat* of = av_guess_format(nullptr, job_.output.c_str(), nullptr);
    const std::string name = of ? of->name : "";
    if (name != "mp4" && name != "mov" && name != "matroska" && name != "ipod")
        return "the new movie must be named .mp4, .m4v, .mov or .mkv";
    int r = avformat_alloc_output_context2(&out_, of, nullptr, nullptr);
    if (r < 0 || !out_) return "could not prepare the new movie: " + avError(r);
    av_dict_copy(&out_->metadata, in_->metadata, 0);
    copyMap_.assign(in_->nb_streams, -1);
    AVStream* vs = in_->streams[videoIn_];

    for (unsigned i = 0; i < in_->nb_streams; ++i) {
        AVStream* is = in_->streams[i];
        const AVMediaType type = is->codecpar->codec_type;
        if (int(i) == videoIn_) {
            const AVCodec* x264 = avcodec_find_encoder_by_name("libx264");
            if (!x264) return "this build has no H.264 encoder (libx264)";
            videoOut_ = avformat_new_stream(out_, nullptr);
            enc_ = avcodec_alloc_context3(x264);
            if (!videoOut_ || !enc_) return "out of memory";
            enc_->width = dec_->width;
            enc_->height = dec_->height;
            enc_->pix_fmt = AV_PIX_FMT_YUV420P;
            enc_->time_base = vs->time_base;
            enc_->framerate = av_guess_frame_rate(in_, vs, nullptr);
            enc_->sample_aspect_ratio = dec_->sample_aspect_ratio;
            enc_->color_range = AVCOL_RANGE_MPEG;
            enc_->colorspace = bt709_ ? AVCOL_SPC_BT709 : (dec_->colorspace != AVCOL_SPC_UNSPECIFIED ? dec_->colorspace : AVCOL_SPC_SMPTE170M);
            enc_->color_primaries = dec_->color_primaries;
            enc_->color_trc = dec_->color_trc;
            enc_->thread_count = 0;
            av_opt_set_int(enc_->priv_data, "crf", std::clamp(job_.crf, 0, 51), 0);
            av_opt_set(enc_->priv_data, "preset", job_.preset.c_str(), 0);
            if (out_->oformat->flags & AVFMT_GLOBALHEADER) enc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
            r = avcodec_open2(enc_, x264, nullptr);
            if (r < 0) return "the H.264 encoder could not be started: " + avError(r);
            avcodec_parameters_from_context(videoOut_->codecpar, enc_);
            videoOut_->time_base = vs->time_base;
            videoOut_->avg_frame_rate = vs->avg_frame_rate;
            videoOut_->sample_aspect_ratio = vs->sample_aspect_ratio;
            av_dict_copy(&videoOut_->metadata, is->metadata, 0);
            av_dict_set(&videoOut_->metadata, "encoder", nullptr, 0);
            videoOut_->disposition = is->disposition;
            if (hasDisplayMatrix_ && !setDisplayMatrix(videoOut_, displayMatrix_)) return "out of memory";
            copyMap_[i] = videoOut_->index;
            continue;
        }
        if (type != AVMEDIA_TYPE_AUDIO && type != AVMEDIA_TYPE_SUBTITLE) continue;
        const bool fits = avformat_query_codec(out_->oformat, is->codecpar->codec_id, FF_COMPLIANCE_NORMAL) == 1;
        if (!fits && type == AVMEDIA_TYPE_SUBTITLE) continue;  // the container has no place for it
        AVStream* os = avformat_new_stream(out_, nullptr);
        if (!os) return "out of memory";
        av_dict_copy(&os->metadata, is->metadata, 0);
        os->disposition = is->disposition;
        if (fits) {
            r = avcodec_parameters_copy(os->codecpar, is->codecpar);
            if (r < 0) return "could not copy a stream: " + avError(r);
            os->codecpar->codec_tag = 0;
            os->time_base = is->time_base;
            copyMap_[i] = os->index;
            if (type == AVMEDIA_TYPE_AUDIO) ++result_.soundStreamsCopied;
            continue;
        }
        // Sound the container refuses: AAC at the same rate and channels.
        auto t = std::make_unique<AudioTranscode>();
        t->in = int(i);
        t->out = os;
        const AVCodec* ad = avcodec_find_decoder(is->codecpar->codec_id);
        const AVCodec* ae = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (!ad || !ae) return "the sound of stream " + std::to_string(i) + " cannot be converted";
        t->dec = avcodec_alloc_context3(ad);
        t->enc = avcodec_alloc_context3(ae);
        if (!t->dec || !t->enc) return "out of memory";
        avcodec_parameters_to_context(t->dec, is->codecpar);
        t->dec->pkt_timebase = is->time_base;
        if ((r = avcodec_open2(t->dec, ad, nullptr)) < 0) return "the sound cannot be read: " + avError(r);
        t->enc->sample_rate = t->dec->sample_rate;
        av_channel_layout_copy(&t->enc->ch_layout, &t->dec->ch_layout);
        if (t->enc->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&t->enc->ch_layout, t->dec->ch_layout.nb_channels);
        t->enc->sample_fmt = AV_SAMPLE_FMT_FLTP;
        t->enc->bit_rate = 64000 * std::max(1, t->enc->ch_layout.nb_channels);
        t->enc->time_base = AVRational{1, t->enc->sample_rate};
        if (out_->oformat->flags & AVFMT_GLOBALHEADER) t->enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if ((r = avcodec_open2(t->enc, ae, nullptr)) < 0) return "the AAC encoder could not be started: " + avError(r);
        avcodec_parameters_from_context(os->codecpar, t->enc);
        os->time_base = t->enc->time_base;
        r = swr_alloc_set_opts2(&t->swr, &t->enc->ch_layout, t->enc->sample_fmt, t->enc->sample_rate,
                                &t->dec->ch_layout, t->dec->sample_fmt, t->dec->sample_rate, 0, nullptr);
        if (r < 0 || swr_init(t->swr) < 0) return "the sound cannot be converted";
        t->fifo = av_audio_fifo_alloc(t->enc->sample_fmt, t->enc->ch_layout.nb_channels, 4096);
        if (!t->fifo) return "out of memory";
        ++result_.soundStreamsEncoded;
        transcodes_.push_back(std::move(t));
    }

    std::string why = file_.open(job_.output);
    if (!why.empty()) return why;
    out_->pb = file_.avio();
    if (!out_->pb) return "out of memory";
    out_->flags |= AVFMT_FLAG_CUSTOM_IO;
    r = avformat_write_header(out_, nullptr);
    if (r < 0) return "cannot write the new movie: " + avError(r);
    return {};
}

std::string Burn::captionFor(int set) {
    if (layer_.set == set) return {};
    Image picture(job_.width, job_.height);
    if (picture.empty() || !pictures_ || !pictures_(set, picture) || picture.width() != job_.width ||
        picture.height() != job_.height)
        return "subtitle set " + std::to_string(set + 1) + " could not be drawn";
    if (result_.scaled) {
        picture = scaledCaption(picture, result_.movieWidth, result_.movieHeight);
        if (picture.empty()) return "the captions could not be scaled to the movie";
    }
    if (quarterTurns_ != 0) {
        picture = turnedCounterclockwise(picture, quarterTurns_);
        if (picture.empty()) return "out of memory";
    }
    buildLayer(picture, bt709_, layer_);
    layer_.set = set;
    return {};
}

std::string Burn::processFrame(AVFrame* frame) {
    int64_t pts = frame->best_effort_timestamp;
    AVStream* vs = in_->streams[videoIn_];
    if (pts == AV_NOPTS_VALUE) {
        const AVRational fr = av_guess_frame_rate(in_, vs, nullptr);
        pts = lastPts_ == AV_NOPTS_VALUE ? 0
                                         : lastPts_ + (fr.num > 0 ? av_rescale_q(1, av_inv_q(fr), vs->time_base) : 1);
    }
    if (lastPts_ != AV_NOPTS_VALUE && pts <= lastPts_) pts = lastPts_ + 1;  // keep the encoder's order
    lastPts_ = pts;
    if (zero_ == AV_NOPTS_VALUE) zero_ = pts;

    AVFrame* picture = frame;
    if (frame->format != AV_PIX_FMT_YUV420P || frame->width != enc_->width || frame->height != enc_->height) {
        sws_ = sws_getCachedContext(sws_, frame->width, frame->height, AVPixelFormat(frame->format), enc_->width,
                                    enc_->height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (!sws_) return "the movie's pictures cannot be converted";
        if (!converted_) {
            converted_ = av_frame_alloc();
            if (!converted_) return "out of memory";
        }
        av_frame_unref(converted_);
        converted_->format = AV_PIX_FMT_YUV420P;
        converted_->width = enc_->width;
        converted_->height = enc_->height;
        if (av_frame_get_buffer(converted_, 0) < 0) return "out of memory";
        sws_scale(sws_, frame->data, frame->linesize, 0, frame->height, converted_->data, converted_->linesize);
        picture = converted_;
    }

    const int64_t projectFrame =
        av_rescale_q_rnd(pts - zero_, vs->time_base, AVRational{rate_.den, rate_.num},
                         AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
    const int set = setAtFrame(job_.spans, projectFrame);
    if (set >= 0) {
        std::string why = captionFor(set);
        if (!why.empty()) return why;
        // the decoder may still hold the picture as a reference
        if (av_frame_make_writable(picture) < 0) return "out of memory";
        blendLayer(layer_, picture);
    }
    picture->pts = pts;
    picture->pict_type = AV_PICTURE_TYPE_NONE;
    std::string why = encode(picture);
    if (!why.empty()) return why;
    ++result_.frames;
    report(false);
    return {};
}

std::string Burn::encode(AVFrame* frame) {
    int r = avcodec_send_frame(enc_, frame);
    if (r < 0) return "the H.264 encoder refused a frame: " + avError(r);
    for (;;) {
        r = avcodec_receive_packet(enc_, pkt_);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) break;
        if (r < 0) return "the H.264 encoder failed: " + avError(r);
        pkt_->stream_index = videoOut_->index;
        av_packet_rescale_ts(pkt_, enc_->time_base, videoOut_->time_base);
        r = av_interleaved_write_frame(out_, pkt_);
        if (r < 0) return "writing the new movie failed: " + avError(r);
    }
    return {};
}

std::string Burn::processVideoPacket(AVPacket* pkt) {
    int r = avcodec_send_packet(dec_, pkt);
    if (r < 0 && r != AVERROR_INVALIDDATA) return "the movie's video cannot be read: " + avError(r);
    AVFrame* frame = av_frame_alloc();
    if (!frame) return "out of memory";
    std::string why;
    for (;;) {
        r = avcodec_receive_frame(dec_, frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) break;
        if (r < 0) {
            why = "the movie's video cannot be read: " + avError(r);
            break;
        }
        why = processFrame(frame);
        av_frame_unref(frame);
        if (!why.empty()) break;
        if (cancel_ && cancel_->load(std::memory_order_relaxed)) break;
    }
    av_frame_free(&frame);
    return why;
}

std::string Burn::encodeAudio(AudioTranscode& t, bool flush) {
    const int size = t.enc->frame_size > 0 ? t.enc->frame_size : 1024;
    while (av_audio_fifo_size(t.fifo) >= size || (flush && av_audio_fifo_size(t.fifo) > 0)) {
        const int n = std::min(size, av_audio_fifo_size(t.fifo));
        AVFrame* f = av_frame_alloc();
        if (!f) return "out of memory";
        f->nb_samples = n;
        f->format = t.enc->sample_fmt;
        f->sample_rate = t.enc->sample_rate;
        av_channel_layout_copy(&f->ch_layout, &t.enc->ch_layout);
        if (av_frame_get_buffer(f, 0) < 0) {
            av_frame_free(&f);
            return "out of memory";
        }
        av_audio_fifo_read(t.fifo, reinterpret_cast<void**>(f->data), n);
        f->pts = t.nextPts;
        t.nextPts += n;
        int r = avcodec_send_frame(t.enc, f);
        av_frame_free(&f);
        if (r < 0) return "the AAC encoder failed: " + avError(r);
        while (avcodec_receive_packet(t.enc, pkt_) == 0) {
            pkt_->stream_index = t.out->index;
            av_packet_rescale_ts(pkt_, t.enc->time_base, t.out->time_base);
            if ((r = av_interleaved_write_frame(out_, pkt_)) < 0) return "writing the new movie failed: " + avError(r);
        }
    }
    if (flush) {
        avcodec_send_frame(t.enc, nullptr);
        while (avcodec_receive_packet(t.enc, pkt_) == 0) {
            pkt_->stream_index = t.out->index;
            av_packet_rescale_ts(pkt_, t.enc->time_base, t.out->time_base);
            int r = av_interleaved_write_frame(out_, pkt_);
            if (r < 0) return "writing the new movie failed: " + avError(r);
        }
    }
    return {};
}

std::string Burn::processAudioPacket(AudioTranscode& t, AVPacket* pkt) {
    int r = avcodec_send_packet(t.dec, pkt);
    if (r < 0 && r != AVERROR_INVALIDDATA) return "the movie's sound cannot be read: " + avError(r);
    AVFrame* frame = av_frame_alloc();
    if (!frame) return "out of memory";
    std::string why;
    while (avcodec_receive_frame(t.dec, frame) == 0) {
        if (t.nextPts == 0 && frame->pts != AV_NOPTS_VALUE)
            t.nextPts = av_rescale_q(frame->pts, t.dec->pkt_timebase, t.enc->time_base);
        uint8_t** converted = nullptr;
        const int outSamples = swr_get_out_samples(t.swr, frame->nb_samples);
        if (av_samples_alloc_array_and_samples(&converted, nullptr, t.enc->ch_layout.nb_channels, std::max(outSamples, 1),
                                               t.enc->sample_fmt, 0) < 0) {
            why = "out of memory";
            break;
        }
        const int got = swr_convert(t.swr, converted, outSamples, const_cast<const uint8_t**>(frame->extended_data),
                                    frame->nb_samples);
        if (got > 0) av_audio_fifo_write(t.fifo, reinterpret_cast<void**>(converted), got);
        av_freep(&converted[0]);
        av_freep(&converted);
        av_frame_unref(frame);
        why = encodeAudio(t, false);
        if (!why.empty()) break;
    }
    av_frame_free(&frame);
    return why;
}

void Burn::report(bool force) {
    if (!progress_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastReport_ < std::chrono::milliseconds(100)) return;
    lastReport_ = now;
    const double elapsed = std::chrono::duration<double>(now - started_).count();
    const int64_t done = result_.frames;
    const int64_t total = std::max(total_, done);
    const double left = done > 0 && total > 0 && elapsed > 0.5 ? elapsed * double(total - done) / double(done) : -1.0;
    progress_(done, total, left);
}

BurnResult Burn::run() {
    // The encoders' statistics are for developers, not for the user.
    applyMediaLogLevel();
    auto fail = [&](const std::string& why) {
        result_.error = why;
        return result_;
    };
    rate_ = movieFrameRate(job_.fps);
    if (rate_.num <= 0) return fail("The project has no frame rate, so its timing cannot be used.");
    if (!Image::validSize(job_.width, job_.height)) return fail("The project size is not valid.");
    if (!validBurnPreset(job_.preset)) return fail("There is no H.264 preset \"" + job_.preset + "\".");
    std::error_code ec;
    if (std::filesystem::equivalent(job_.input, job_.output, ec))
        return fail("The new movie cannot replace the movie it is made from.");
    const std::string where = "The movie \"" + job_.input + "\" ";
    std::string why = openInput();
    if (!why.empty()) return fail(where + "cannot be used: " + why + ".");
    why = openOutput();
    if (!why.empty()) return fail("Could not write \"" + job_.output + "\": " + why + ".");
    pkt_ = av_packet_alloc();
    AVPacket* in = av_packet_alloc();
    if (!pkt_ || !in) {
        av_packet_free(&in);
        return fail("Out of memory.");
    }
    started_ = lastReport_ = std::chrono::steady_clock::now();
    report(true);
    auto cancelled = [&] { return cancel_ && cancel_->load(std::memory_order_relaxed); };
    for (;;) {
        if (cancelled()) break;
        int r = av_read_frame(in_, in);
        if (r == AVERROR_EOF) break;
        if (r < 0) {
            why = where + "cannot be read to its end: " + avError(r) + ".";
            break;
        }
        const int si = in->stream_index;
        if (si == videoIn_) {
            why = processVideoPacket(in);
        } else if (si >= 0 && size_t(si) < copyMap_.size() && copyMap_[size_t(si)] >= 0) {
            AVStream* os = out_->streams[copyMap_[size_t(si)]];
            av_packet_rescale_ts(in, in_->streams[si]->time_base, os->time_base);
            in->stream_index = os->index;
            in->pos = -1;
            r = av_interleaved_write_frame(out_, in);
            if (r < 0) why = "writing the new movie failed: " + avError(r);
        } else {
            for (auto& t : transcodes_)
                if (t->in == si) why = processAudioPacket(*t, in);
        }
        av_packet_unref(in);
        if (!why.empty()) break;
    }
    av_packet_free(&in);
    if (why.empty() && !cancelled()) why = processVideoPacket(nullptr);
    if (why.empty() && !cancelled()) why = encode(nullptr);
    for (auto& t : transcodes_)
        if (why.empty() && !cancelled()) {
            processAudioPacket(*t, nullptr);
            why = encodeAudio(*t, true);
        }
    if (cancelled()) {
        result_.cancelled = true;
        return result_;
    }
    if (!why.empty()) return fail(why.rfind("The movie", 0) == 0 ? why : "Could not write \"" + job_.output + "\": " + why + ".");
    int r = av_write_trailer(out_);
    if (r < 0) return fail("Could not write \"" + job_.output + "\": " + avError(r) + ".");
    why = file_.commit();
    if (!why.empty()) return fail("Could not write \"" + job_.output + "\": " + why + ".");
    report(true);
    return result_;
}

void Burn::cleanup() {
    av_packet_free(&pkt_);
    av_frame_free(&converted_);
    if (sws_) sws_freeContext(sws_);
    sws_ = nullptr;
    avcodec_free_context(&dec_);
    avcodec_free_context(&enc_);
    transcodes_.clear();
    if (out_) {
        avformat_free_context(out_);
        out_ = nullptr;
    }
    avformat_close_input(&in_);
    file_.discard();
}

class FfmpegMovieBurner : public MovieBurner {
public:
    MovieFacts probe(const std::string& path) override {
        MovieFacts f;
        AVFormatContext* in = nullptr;
        const std::string why = openMovieFile(&in, path);
        if (!why.empty() || avformat_find_stream_info(in, nullptr) < 0) {
            f.error = "The movie \"" + path + "\" cannot be read" + (why.empty() ? "" : ": " + why) + ".";
            avformat_close_input(&in);
            return f;
        }
        for (unsigned i = 0; i < in->nb_streams; ++i) {
            AVStream* s = in->streams[i];
            if (s->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) ++f.soundStreams;
            if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(s->disposition & AV_DISPOSITION_ATTACHED_PIC) &&
                f.width == 0) {
                f.width = s->codecpar->width;
                f.height = s->codecpar->height;
                f.fps = av_q2d(av_guess_frame_rate(in, s, nullptr));
            }
        }
        if (f.width == 0) f.error = "The file \"" + path + "\" has no video.";
        if (in->duration != AV_NOPTS_VALUE) f.seconds = double(in->duration) / AV_TIME_BASE;
        avformat_close_input(&in);
        return f;
    }

    BurnResult burn(const BurnJob& job, const BurnPictureSource& pictures, const BurnProgress& progress,
                    const std::atomic<bool>* cancel) override {
        Burn b(job, pictures, progress, cancel);
        return b.run();
    }
};

}  // namespace

std::unique_ptr<MovieBurner> createMovieBurner() {
    return std::make_unique<FfmpegMovieBurner>();
}
