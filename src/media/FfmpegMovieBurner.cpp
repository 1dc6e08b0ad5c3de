// Captions burned into a copy of a movie, on libavformat / libavcodec /
// libswscale / libswresample and libx264.
//
// The caption picture of a set is drawn once, scaled to the movie when the
// sizes differ (premultiplied, so that the transparent surroundings do not
// darken the edges), and turned into Y, U, V and alpha planes in the
// movie's own colour space. Each movie frame (as 8-bit 4:2:0) then gets the
// caption blended in, over the caption's bounding box only.

#include "media/MovieBurn.h"

namespace burnin {

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

    for (unsigned i = 0; i < in_->nb_streams; ++i) {
        AVStream* is = in_->streams[i];
        const AVMediaType type = is->codecpar->codec_type;
        if (int(i) == videoIn_) {
            const std::string why = openVideoOutput(is);
            if (!why.empty()) return why;
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
        const std::string why = openSoundConversion(i, os);
        if (!why.empty()) return why;
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

// The H.264 encoder and the new movie's video stream, with the input's
// frame rate, colours, metadata and display matrix.
std::string Burn::openVideoOutput(AVStream* is) {
    const AVCodec* x264 = avcodec_find_encoder_by_name("libx264");
    if (!x264) return "this build has no H.264 encoder (libx264)";
    videoOut_ = avformat_new_stream(out_, nullptr);
    enc_ = avcodec_alloc_context3(x264);
    if (!videoOut_ || !enc_) return "out of memory";
    enc_->width = dec_->width;
    enc_->height = dec_->height;
    enc_->pix_fmt = AV_PIX_FMT_YUV420P;
    enc_->time_base = is->time_base;
    enc_->framerate = av_guess_frame_rate(in_, is, nullptr);
    enc_->sample_aspect_ratio = dec_->sample_aspect_ratio;
    enc_->color_range = AVCOL_RANGE_MPEG;
    enc_->colorspace = bt709_ ? AVCOL_SPC_BT709 : (dec_->colorspace != AVCOL_SPC_UNSPECIFIED ? dec_->colorspace : AVCOL_SPC_SMPTE170M);
    enc_->color_primaries = dec_->color_primaries;
    enc_->color_trc = dec_->color_trc;
    enc_->thread_count = 0;
    av_opt_set_int(enc_->priv_data, "crf", std::clamp(job_.crf, 0, 51), 0);
    av_opt_set(enc_->priv_data, "preset", job_.preset.c_str(), 0);
    if (out_->oformat->flags & AVFMT_GLOBALHEADER) enc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int r = avcodec_open2(enc_, x264, nullptr);
    if (r < 0) return "the H.264 encoder could not be started: " + avError(r);
    avcodec_parameters_from_context(videoOut_->codecpar, enc_);
    videoOut_->time_base = is->time_base;
    videoOut_->avg_frame_rate = is->avg_frame_rate;
    videoOut_->sample_aspect_ratio = is->sample_aspect_ratio;
    av_dict_copy(&videoOut_->metadata, is->metadata, 0);
    av_dict_set(&videoOut_->metadata, "encoder", nullptr, 0);
    videoOut_->disposition = is->disposition;
    if (hasDisplayMatrix_ && !setDisplayMatrix(videoOut_, displayMatrix_)) return "out of memory";
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

}  // namespace burnin

std::unique_ptr<MovieBurner> createMovieBurner() {
    return std::make_unique<burnin::FfmpegMovieBurner>();
}
