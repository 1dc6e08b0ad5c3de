// AVI writer on libavformat / libavcodec.
//
// Uncompressed movies are stored as Video-for-Windows bitmaps: 24-bit BGR
// rows, bottom-up, each row padded to a multiple of 4 bytes; those packets
// are built here without an encoder. Every other codec gets the picture
// converted to its pixel format by libswscale.
//
// With one key frame per frame, the compressed packet of a picture is kept
// and written again (by reference, with new time stamps) for every further
// frame that shows the same picture.

#include "export/AviWriter.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "media/AvError.h"
#include "media/MediaFiles.h"

#include "base/Image.h"
#include "media/AviSink.h"
#include "media/PictureStream.h"
#include "io/Files.h"

namespace {

using namespace avisink;

struct Candidate {
    const char* codec;
    const char* displayName;
    bool lossless;
    bool hasQuality;
};

constexpr Candidate kCandidates[] = {
    {"rawvideo", "Uncompressed (24-bit RGB)", true, false},
    {"utvideo", "Ut Video (lossless)", true, false},
    {"ffv1", "FFV1 (lossless)", true, false},
    {"huffyuv", "HuffYUV (lossless)", true, false},
    {"ffvhuff", "FFVHuff (lossless)", true, false},
    {"png", "PNG (lossless)", true, false},
    {"mjpeg", "Motion JPEG", false, true},
    {"mpeg4", "MPEG-4 Visual (Xvid compatible)", false, true},
    {"libx264rgb", "H.264 RGB (x264)", false, true},
    {"libx264", "H.264 (x264)", false, true},
};

const Candidate* findCandidate(const std::string& name) {
    for (const Candidate& c : kCandidates)
        if (name == c.codec) return &c;
    return nullptr;
}

bool isX264(const std::string& name) { return name == "libx264" || name == "libx264rgb"; }

class FfmpegAviWriter : public AviWriter {
public:
    explicit FfmpegAviWriter(bool discard) : discard_(discard) {}
    ~FfmpegAviWriter() override { abort(); }

    std::string open(const std::string& path, int width, int height, int rate, const CodecChoice& choice) override;
    std::string writeFrame(const Image& picture, PictureId& id) override;
    std::string repeatPicture(PictureId id) override;
    void releasePicture(PictureId id) override;
    std::string finish() override;
    void abort() override;
    int64_t framesWritten() const override { return pictures_.frames(); }
    uint64_t bytesWritten() const override { return sink_ ? sink_->bytes() : 0; }

private:
    std::string fail(const std::string& what);
    std::string failAv(const std::string& what, int code);
    std::string openEncoder(const CodecChoice& choice);
    std::string rawPacket(const Image& picture, AVPacket*& out);
    std::string convert(const Image& picture, AVFrame*& out);
    void release();

    bool discard_;
    std::string path_;
    std::string error_;
    bool open_ = false;
    bool raw_ = false;
    bool reusePackets_ = true;
    int width_ = 0, height_ = 0, rate_ = 0;

    std::unique_ptr<Sink> sink_;
    AVFormatContext* format_ = nullptr;
    AVIOContext* io_ = nullptr;
    AVStream* stream_ = nullptr;
    AVCodecContext* encoder_ = nullptr;
    SwsContext* sws_ = nullptr;
    PictureStream pictures_;  // by picture id: packets (reused) or frames (encoded again)
};

std::string FfmpegAviWriter::fail(const std::string& what) {
    if (error_.empty()) {
        error_ = "Could not write the movie file \"" + path_ + "\": " + what;
        if (sink_ && !sink_->error().empty() && what.find(sink_->error()) == std::string::npos)
            error_ += " (" + sink_->error() + ")";
    }
    release();
    return error_;
}

std::string FfmpegAviWriter::failAv(const std::string& what, int code) {
    if (sink_ && !sink_->error().empty()) return fail(sink_->error());
    return fail(what + ": " + avError(code));
}

std::string FfmpegAviWriter::open(const std::string& path, int width, int height, int rate, const CodecChoice& choice) {
    abort();
    applyMediaLogLevel();
    error_.clear();
    path_ = path;
    pictures_.resetCounts();
    if (width <= 0 || height <= 0 || !Image::validSize(width, height))
        return fail("the picture size " + std::to_string(width) + " x " + std::to_string(height) + " is not valid");
    if (rate <= 0 || rate > 1000) return fail("the frame rate " + std::to_string(rate) + " is not valid");
    width_ = width;
    height_ = height;
    rate_ = rate;
    raw_ = choice.codec == "rawvideo";

    if (discard_) {
        sink_ = std::make_unique<DiscardingSink>();
    } else {
        auto file = std::make_unique<FileSink>();
        std::string why = file->open(path);
        sink_ = std::move(file);
        if (!why.empty()) return fail(why);
    }

    const AVOutputFormat* avi = av_guess_format("avi", nullptr, nullptr);
    if (!avi) return fail("this build cannot write AVI files");
    int r = avformat_alloc_output_context2(&format_, avi, nullptr, nullptr);
    if (r < 0 || !format_) return failAv("could not prepare the movie", r);

    const int bufferSize = 1 << 18;
    auto* buffer = static_cast<uint8_t*>(av_malloc(bufferSize));
    if (!buffer) return fail("out of memory");
    io_ = avio_alloc_context(buffer, bufferSize, 1, sink_.get(), nullptr, sinkWrite, sinkSeek);
    if (!io_) {
        av_free(buffer);
        return fail("out of memory");
    }
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;

    stream_ = avformat_new_stream(format_, nullptr);
    if (!stream_) return fail("out of memory");
    stream_->time_base = AVRational{1, rate};
    stream_->avg_frame_rate = AVRational{rate, 1};
    stream_->r_frame_rate = AVRational{rate, 1};

    AVDictionary* options = nullptr;
    if (raw_) {
        AVCodecParameters* par = stream_->codecpar;
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->codec_id = AV_CODEC_ID_RAWVIDEO;
        par->codec_tag = 0;
        par->format = AV_PIX_FMT_BGR24;
        par->bits_per_coded_sample = 24;
        par->width = width;
        par->height = height;
        reusePackets_ = true;
        av_dict_set(&options, "flipped_raw_rgb", "1", 0);
    } else {
        std::string why = openEncoder(choice);
        if (!why.empty()) return fail(why);
    }

    r = avformat_write_header(format_, &options);
    av_dict_free(&options);
    if (r < 0) return failAv("could not write the movie header", r);
    PictureStream::Setup setup;
    setup.format = format_;
    setup.stream = stream_;
    setup.encoder = encoder_;
    setup.frameTb = AVRational{1, rate_};
    setup.keepPackets = reusePackets_;
    setup.codecWord = "the video codec";
    setup.interleave = false;
    setup.ioError = [this] { return io_->error; };
    setup.fail = [this](const std::string& what) { return fail(what); };
    setup.failAv = [this](const std::string& what, int code) { return failAv(what, code); };
    if (!pictures_.start(std::move(setup))) return fail("out of memory");
    open_ = true;
    return {};
}

std::string FfmpegAviWriter::openEncoder(const CodecChoice& choice) {
    const Candidate* known = findCandidate(choice.codec);
    const AVCodec* codec = known ? avcodec_find_encoder_by_name(choice.codec.c_str()) : nullptr;
    if (!codec || codec->type != AVMEDIA_TYPE_VIDEO)
        return "the video codec \"" + choice.codec + "\" is not available";

    encoder_ = avcodec_alloc_context3(codec);
    if (!encoder_) return "out of memory";
    encoder_->width = width_;
    encoder_->height = height_;
    encoder_->time_base = AVRational{1, rate_};
    encoder_->framerate = AVRational{rate_, 1};
    encoder_->sample_aspect_ratio = AVRational{1, 1};
    encoder_->max_b_frames = 0;
    // Slice threads only: a frame-threaded encoder would hand its packets
    // back frames later, and a picture's packet is needed at once.
    encoder_->thread_type = FF_THREAD_SLICE;
    encoder_->thread_count = 0;

    reusePackets_ = choice.keyFrameEveryFrame || known->lossless || choice.codec == "mjpeg" || choice.codec == "png";
    encoder_->gop_size = reusePackets_ ? 1 : std::max(1, rate_ * 10);

    AVPixelFormat want = AV_PIX_FMT_NONE;
    if (choice.codec == "mjpeg") {
        want = AV_PIX_FMT_YUVJ420P;
    } else if (codec->pix_fmts) {
        int loss = 0;
        want = avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, AV_PIX_FMT_BGR24, 0, &loss);
    }
    if (want == AV_PIX_FMT_NONE) return "the video codec \"" + choice.codec + "\" takes no suitable pictures";
    encoder_->pix_fmt = want;
    if (choice.codec == "mjpeg") encoder_->color_range = AVCOL_RANGE_JPEG;

    if (known->hasQuality) {
        int quality = std::clamp(choice.quality, 1, 100);
        if (choice.dataRateKbps > 0) {
            encoder_->bit_rate = int64_t(choice.dataRateKbps) * 1000;
        } else if (isX264(choice.codec)) {
            av_opt_set_double(encoder_->priv_data, "crf", (100 - quality) * 51.0 / 99.0, 0);
        } else {
            // quantiser 2 (best) .. 31
            int q = 2 + (100 - quality) * 29 / 99;
            encoder_->flags |= AV_CODEC_FLAG_QSCALE;
            encoder_->global_quality = FF_QP2LAMBDA * q;
        }
    }
    if (isX264(choice.codec)) {
        av_opt_set(encoder_->priv_data, "tune", "zerolatency", 0);
        if (reusePackets_) av_opt_set(encoder_->priv_data, "forced-idr", "1", 0);
    }
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    int r = avcodec_open2(encoder_, codec, nullptr);
    if (r < 0) return "the video codec \"" + choice.codec + "\" could not be started: " + avError(r);
    r = avcodec_parameters_from_context(stream_->codecpar, encoder_);
    if (r < 0) return "the video codec \"" + choice.codec + "\" could not be started: " + avError(r);

    // The full-range JPEG format is converted as plain 4:2:0 with a full
    // range (libswscale warns about the JPEG format names).
    const bool jpegRange = want == AV_PIX_FMT_YUVJ420P;
    sws_ = sws_getContext(width_, height_, AV_PIX_FMT_RGBA, width_, height_, jpegRange ? AV_PIX_FMT_YUV420P : want,
                          SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
    if (!sws_) return "the pictures cannot be converted for the video codec \"" + choice.codec + "\"";
    if (jpegRange) {
        int *inverse = nullptr, *table = nullptr;
        int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
        sws_getColorspaceDetails(sws_, &inverse, &srcRange, &table, &dstRange, &brightness, &contrast, &saturation);
        sws_setColorspaceDetails(sws_, inverse, srcRange, table, 1, brightness, contrast, saturation);
    }
    return {};
}

std::string FfmpegAviWriter::rawPacket(const Image& picture, AVPacket*& out) {
    const size_t rowBytes = (size_t(width_) * 3 + 3) & ~size_t(3);
    const size_t total = rowBytes * size_t(height_);
    if (total > size_t(INT32_MAX) - AV_INPUT_BUFFER_PADDING_SIZE) return "the pictures are too large for an AVI file";
    AVPacket* p = av_packet_alloc();
    if (!p || av_new_packet(p, int(total)) < 0) {
        av_packet_free(&p);
        return "out of memory";
    }
    // Bottom-up rows: the picture's last row comes first.
    for (int y = 0; y < height_; ++y) {
        const uint8_t* src = picture.pixel(0, y);
        uint8_t* dst = p->data + size_t(height_ - 1 - y) * rowBytes;
        for (int x = 0; x < width_; ++x) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            dst += 3;
            src += 4;
        }
        for (size_t pad = size_t(width_) * 3; pad < rowBytes; ++pad) *dst++ = 0;
    }
    p->flags |= AV_PKT_FLAG_KEY;
    out = p;
    return {};
}

std::string FfmpegAviWriter::convert(const Image& picture, AVFrame*& out) {
    AVFrame* f = av_frame_alloc();
    if (!f) return "out of memory";
    f->format = encoder_->pix_fmt;
    f->width = width_;
    f->height = height_;
    f->color_range = encoder_->color_range;
    if (av_frame_get_buffer(f, 0) < 0) {
        av_frame_free(&f);
        return "out of memory";
    }
    const uint8_t* src[4] = {picture.data(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {int(picture.stride()), 0, 0, 0};
    sws_scale(sws_, src, srcStride, 0, height_, f->data, f->linesize);
    out = f;
    return {};
}

std::string FfmpegAviWriter::writeFrame(const Image& picture, PictureId& id) {
    id = kNoPicture;
    if (!error_.empty()) return error_;
    if (!open_) return fail("the movie is not open");
    if (picture.width() != width_ || picture.height() != height_)
        return fail("a picture of " + std::to_string(picture.width()) + " x " + std::to_string(picture.height()) +
                    " does not fit a movie of " + std::to_string(width_) + " x " + std::to_string(height_));

    if (raw_) {
        AVPacket* p = nullptr;
        std::string why = rawPacket(picture, p);
        if (!why.empty()) return fail(why);
        return pictures_.writeOwnPacket(p, id);
    }

    AVFrame* f = nullptr;
    std::string why = convert(picture, f);
    if (!why.empty()) return fail(why);
    return pictures_.writePicture(f, id);
}

std::string FfmpegAviWriter::repeatPicture(PictureId id) {
    if (!error_.empty()) return error_;
    if (!open_) return fail("the movie is not open");
    return pictures_.repeat(id);
}

void FfmpegAviWriter::releasePicture(PictureId id) { pictures_.release(id); }

std::string FfmpegAviWriter::finish() {
    if (!error_.empty()) return error_;
    if (!open_) return fail("the movie is not open");
    std::string why = pictures_.finish();
    if (!why.empty()) return why;
    avio_flush(io_);
    if (io_->error < 0) return failAv("could not complete the movie", io_->error);
    why = sink_->close();
    if (!why.empty()) return fail(why);
    why = sink_->commit();
    if (!why.empty()) return fail(why);
    open_ = false;
    release();
    return {};
}

void FfmpegAviWriter::abort() {
    release();
    open_ = false;
}

void FfmpegAviWriter::release() {
    pictures_.close();
    freeMovieContexts(sws_, encoder_, format_, stream_);
    if (io_) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
    if (sink_) {
        sink_->discard();  // nothing after a successful commit
    }
    open_ = false;
}

}  // namespace

std::vector<AviCodecInfo> availableAviCodecs() {
    std::vector<AviCodecInfo> list;
    for (const Candidate& c : kCandidates) {
        if (std::string(c.codec) != "rawvideo" && !avcodec_find_encoder_by_name(c.codec)) continue;
        list.push_back(AviCodecInfo{c.codec, c.displayName, c.lossless, c.hasQuality});
    }
    return list;
}

std::unique_ptr<AviWriter> createAviWriter() {
    return std::make_unique<FfmpegAviWriter>(false);
}

std::unique_ptr<AviWriter> createDiscardingAviWriter() {
    return std::make_unique<FfmpegAviWriter>(true);
}

void setAviWriteFailureHookForTests(std::function<bool(uint64_t)> hook) {
    writeHook() = std::move(hook);
}
