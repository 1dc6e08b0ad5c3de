// Shot changes of a movie: its pictures, made small, through libavfilter's
// scene change detector (scdet), which marks the first picture of each new
// shot.

#include <cstdio>
#include <cstdlib>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
}

#include "media/AvError.h"
#include "media/MediaFiles.h"

#include "timing/ShotSnap.h"

namespace {

// Owns what one detection opens.
struct Detection {
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVFilterGraph* graph = nullptr;
    AVFilterContext *src = nullptr, *sink = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    AVFrame* filtered = av_frame_alloc();
    ~Detection() {
        av_frame_free(&filtered);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avfilter_graph_free(&graph);
        avcodec_free_context(&video);
        if (format) avformat_close_input(&format);
    }
};

constexpr const char* kFilters = "scale=160:-2,scdet=threshold=10";

}  // namespace

std::string detectShotChanges(const std::string& path, std::vector<double>& changes) {
    // The detector reports each change in the log; only --verbose shows it.
    applyMediaLogLevel();
    changes.clear();
    const std::string where = "cannot look for shot changes in \"" + path + "\": ";
    Detection d;
    if (!d.packet || !d.frame || !d.filtered) return where + "out of memory";
    const std::string why = openMovieFile(&d.format, path);
    if (!why.empty()) return where + why;
    int r = avformat_find_stream_info(d.format, nullptr);
    if (r < 0) return where + avError(r);
    // The first moving picture; cover art (an attached picture) is none.
    int index = -1;
    for (unsigned i = 0; i < d.format->nb_streams && index < 0; ++i) {
        const AVStream* s = d.format->streams[i];
        if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(s->disposition & AV_DISPOSITION_ATTACHED_PIC))
            index = int(i);
    }
    if (index < 0) return where + "it holds no video";
    AVStream* vs = d.format->streams[index];
    const AVCodec* codec = avcodec_find_decoder(vs->codecpar->codec_id);
    if (!codec) return where + "there is no decoder for its video";
    d.video = avcodec_alloc_context3(codec);
    if (!d.video || avcodec_parameters_to_context(d.video, vs->codecpar) < 0) return where + "out of memory";
    d.video->thread_count = 0;
    d.video->pkt_timebase = vs->time_base;
    if ((r = avcodec_open2(d.video, codec, nullptr)) < 0) return where + avError(r);
    if (d.video->width <= 0 || d.video->height <= 0 || d.video->pix_fmt == AV_PIX_FMT_NONE)
        return where + "its pictures have no size";

    d.graph = avfilter_graph_alloc();
    if (!d.graph) return where + "out of memory";
    char args[256];
    AVRational sar = d.video->sample_aspect_ratio.num > 0 ? d.video->sample_aspect_ratio : AVRational{1, 1};
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", d.video->width,
                  d.video->height, int(d.video->pix_fmt), vs->time_base.num, vs->time_base.den, sar.num, sar.den);
    if (avfilter_graph_create_filter(&d.src, avfilter_get_by_name("buffer"), "in", args, nullptr, d.graph) < 0 ||
        avfilter_graph_create_filter(&d.sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, d.graph) < 0)
        return where + "the scene change filter is not available";
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    if (!outputs || !inputs) {
        avfilter_inout_free(&outputs);
        avfilter_inout_free(&inputs);
        return where + "out of memory";
    }
    outputs->name = av_strdup("in");
    outputs->filter_ctx = d.src;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = d.sink;
    r = avfilter_graph_parse_ptr(d.graph, kFilters, &inputs, &outputs, nullptr);
    avfilter_inout_free(&outputs);
    avfilter_inout_free(&inputs);
    if (r < 0 || (r = avfilter_graph_config(d.graph, nullptr)) < 0)
        return where + "the scene change filter cannot be set up (" + avError(r) + ")";

    const double start = d.format->start_time != AV_NOPTS_VALUE ? double(d.format->start_time) / AV_TIME_BASE : 0.0;
    auto collect = [&]() {
        while (av_buffersink_get_frame(d.sink, d.filtered) >= 0) {
            if (AVDictionaryEntry* e = av_dict_get(d.filtered->metadata, "lavfi.scd.time", nullptr, 0)) {
                double t = std::strtod(e->value, nullptr) - start;
                if (t > 0.0) changes.push_back(t);
            }
            av_frame_unref(d.filtered);
        }
    };
    auto feed = [&](bool end) {
        while (avcodec_receive_frame(d.video, d.frame) == 0) {
            d.frame->pts = d.frame->best_effort_timestamp;
            if (av_buffersrc_add_frame_flags(d.src, d.frame, 0) < 0) av_frame_unref(d.frame);
            collect();
        }
        if (end && av_buffersrc_add_frame_flags(d.src, nullptr, 0) >= 0) collect();
    };
    while (av_read_frame(d.format, d.packet) >= 0) {
        if (d.packet->stream_index == index && avcodec_send_packet(d.video, d.packet) >= 0) feed(false);
        av_packet_unref(d.packet);
    }
    // the end, or a damaged file: what was read counts
    avcodec_send_packet(d.video, nullptr);
    feed(true);
    return {};
}
