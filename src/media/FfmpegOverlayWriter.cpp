// Movies with an alpha channel for video editors, on libavformat /
// libavcodec. The lossless codecs get their pixels repacked by hand (exact);
// ProRes and VP9 get BT.709 studio-range YUV with alpha from libswscale.
//
// For codecs without prediction between frames, the packet of a picture is
// kept and written again (by reference, with new time stamps) for every
// further frame that shows it.

#include "export/OverlayWriter.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "media/AvError.h"
#include "media/MediaFiles.h"

#include "base/Image.h"
#include "media/PictureStream.h"

namespace {

struct CodecSetup {
    const char* name;
    const char* encoder;
    const char* container;
    AVPixelFormat format;
};

constexpr CodecSetup kSetups[] = {
    {"prores", "prores_ks", "mov", AV_PIX_FMT_YUVA444P10LE},
    {"qtrle", "qtrle", "mov", AV_PIX_FMT_ARGB},
    {"png", "png", "mov", AV_PIX_FMT_RGBA},
    {"vp9", "libvpx-vp9", "webm", AV_PIX_FMT_YUVA420P},
    {"utvideo", "utvideo", "avi", AV_PIX_FMT_GBRAP},
};

const CodecSetup* setupOf(const std::string& name) {
    for (const CodecSetup& s : kSetups)
        if (name == s.name) return &s;
    return nullptr;
}

class FfmpegOverlayWriter : public OverlayWriter {
public:
    ~FfmpegOverlayWriter() override { abort(); }
    std::string open(const std::string& path, int width, int height, MovieRate rate, const std::string& codec) override;
    std::string writeFrame(const Image& picture, PictureId& id) override;
    std::string repeatPicture(PictureId id) override;
    void releasePicture(PictureId id) override;
    std::string finish() override;
    void abort() override { release(true); }
    int64_t framesWritten() const override { return pictures_.frames(); }
    int64_t picturesEncoded() const override { return pictures_.encoded(); }

private:
    std::string fail(const std::string& what);
    std::string failAv(const std::string& what, int code) { return fail(what + ": " + avError(code)); }
    std::string convert(const Image& picture, AVFrame*& out);
    void release(bool removeFile);

    std::string path_, error_;
    OutputFile file_;  // the movie until it is complete
    const CodecSetup* setup_ = nullptr;
    bool intra_ = true;
    int width_ = 0, height_ = 0;
    AVRational frameTb_{1, 25};
    AVFormatContext* format_ = nullptr;
    AVStream* stream_ = nullptr;
    AVCodecContext* encoder_ = nullptr;
    SwsContext* sws_ = nullptr;
    PictureStream pictures_;
    bool open_ = false;
};

std::string FfmpegOverlayWriter::fail(const std::string& what) {
    if (error_.empty()) error_ = "Could not write the movie file \"" + path_ + "\": " + what;
    release(true);
    return error_;
}

std::string FfmpegOverlayWriter::open(const std::string& path, int width, int height, MovieRate rate,
                                      const std::string& codec) {
    release(true);
    error_.clear();
    // The encoders' statistics are for developers, not for the user.
    applyMediaLogLevel();
    path_ = path;
    pictures_.resetCounts();
    setup_ = setupOf(codec);
    const OverlayCodec* info = findOverlayCodec(codec);
    if (!setup_ || !info) return fail("there is no overlay codec \"" + codec + "\"");
    intra_ = info->allIntra;
    if (width <= 0 || height <= 0 || !Image::validSize(width, height))
        return fail("the picture size " + std::to_string(width) + " x " + std::to_string(height) + " is not valid");
    if (rate.num <= 0 || rate.den <= 0) return fail("the frame rate is not valid");
    // 4:2:0 needs even sizes
    if (setup_->format == AV_PIX_FMT_YUVA420P && (width % 2 || height % 2))
        return fail("VP9 needs an even width and height");
    width_ = width;
    height_ = height;
    frameTb_ = AVRational{rate.den, rate.num};

    const AVCodec* enc = avcodec_find_encoder_by_name(setup_->encoder);
    if (!enc) return fail("this build has no " + std::string(info->displayName) + " encoder");
    int r = avformat_alloc_output_context2(&format_, nullptr, setup_->container, nullptr);
    if (r < 0 || !format_) return failAv("could not prepare the movie", r);
    stream_ = avformat_new_stream(format_, nullptr);
    if (!stream_) return fail("out of memory");
    stream_->time_base = frameTb_;
    stream_->avg_frame_rate = AVRational{rate.num, rate.den};
    stream_->r_frame_rate = stream_->avg_frame_rate;

    encoder_ = avcodec_alloc_context3(enc);
    if (!encoder_) return fail("out of memory");
    encoder_->width = width;
    encoder_->height = height;
    encoder_->time_base = frameTb_;
    encoder_->framerate = stream_->avg_frame_rate;
    encoder_->sample_aspect_ratio = AVRational{1, 1};
    encoder_->pix_fmt = setup_->format;
    encoder_->gop_size = intra_ ? 1 : 250;
    encoder_->max_b_frames = 0;
    // Slice threads only: the packet of a picture is needed at once.
    encoder_->thread_type = FF_THREAD_SLICE;
    if (setup_->format == AV_PIX_FMT_YUVA444P10LE || setup_->format == AV_PIX_FMT_YUVA420P) {
        encoder_->colorspace = AVCOL_SPC_BT709;
        encoder_->color_primaries = AVCOL_PRI_BT709;
        encoder_->color_trc = AVCOL_TRC_BT709;
        encoder_->color_range = AVCOL_RANGE_MPEG;
    }
    if (codec == "prores") {
        av_opt_set(encoder_->priv_data, "profile", "4444", 0);
        av_opt_set(encoder_->priv_data, "vendor", "apl0", 0);
    } else if (codec == "vp9") {
        av_opt_set(encoder_->priv_data, "deadline", "good", 0);
        av_opt_set_int(encoder_->priv_data, "cpu-used", 4, 0);
        av_opt_set_int(encoder_->priv_data, "crf", 10, 0);
        // Threads, tiles and row threading as FFmpeg's own defaults set them:
        // a thread per core, libvpx's own tile columns, no row threading.
        encoder_->bit_rate = 0;
        encoder_->thread_count = 0;
        encoder_->thread_type = 0;
        av_dict_set(&stream_->metadata, "alpha_mode", "1", 0);
    }
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    r = avcodec_open2(encoder_, enc, nullptr);
    if (r < 0) return failAv(std::string("the codec ") + info->displayName + " could not be started", r);
    r = avcodec_parameters_from_context(stream_->codecpar, encoder_);
    if (r < 0) return failAv("could not prepare the movie", r);

    if (setup_->format == AV_PIX_FMT_YUVA444P10LE || setup_->format == AV_PIX_FMT_YUVA420P) {
        sws_ = sws_getContext(width, height, AV_PIX_FMT_RGBA, width, height, setup_->format,
                              SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
        if (!sws_) return fail("the pictures cannot be converted for " + std::string(info->displayName));
        int *inv = nullptr, *table = nullptr, srcRange = 0, dstRange = 0, b = 0, c = 0, s = 0;
        sws_getColorspaceDetails(sws_, &inv, &srcRange, &table, &dstRange, &b, &c, &s);
        const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
        sws_setColorspaceDetails(sws_, inv, 1, bt709, 0, b, c, s);
    }

    const std::string why = file_.open(path);
    if (!why.empty()) return fail(why);
    format_->pb = file_.avio();
    if (!format_->pb) return fail("out of memory");
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    r = avformat_write_header(format_, nullptr);
    if (r < 0) return failAv("could not write the movie header", r);
    PictureStream::Setup setup;
    setup.format = format_;
    setup.stream = stream_;
    setup.encoder = encoder_;
    setup.frameTb = frameTb_;
    setup.keepPackets = intra_;
    setup.fail = [this](const std::string& what) { return fail(what); };
    setup.failAv = [this](const std::string& what, int code) { return failAv(what, code); };
    if (!pictures_.start(std::move(setup))) return fail("out of memory");
    open_ = true;
    return {};
}

std::string FfmpegOverlayWriter::convert(const Image& picture, AVFrame*& out) {
    AVFrame* f = av_frame_alloc();
    if (!f) return "out of memory";
    f->format = encoder_->pix_fmt;
    f->width = width_;
    f->height = height_;
    f->color_range = encoder_->color_range;
    f->colorspace = encoder_->colorspace;
    if (av_frame_get_buffer(f, 0) < 0) {
        av_frame_free(&f);
        return "out of memory";
    }
    if (sws_) {
        const uint8_t* src[4] = {picture.data(), nullptr, nullptr, nullptr};
        const int stride[4] = {int(picture.stride()), 0, 0, 0};
        sws_scale(sws_, src, stride, 0, height_, f->data, f->linesize);
    } else {
        for (int y = 0; y < height_; ++y) {
            const uint8_t* s = picture.pixel(0, y);
            if (setup_->format == AV_PIX_FMT_RGBA) {
                std::memcpy(f->data[0] + size_t(y) * size_t(f->linesize[0]), s, size_t(width_) * 4);
            } else if (setup_->format == AV_PIX_FMT_ARGB) {
                uint8_t* d = f->data[0] + size_t(y) * size_t(f->linesize[0]);
                for (int x = 0; x < width_; ++x, s += 4, d += 4) d[0] = s[3], d[1] = s[0], d[2] = s[1], d[3] = s[2];
            } else {  // GBRAP: planes G, B, R, A
                uint8_t* g = f->data[0] + size_t(y) * size_t(f->linesize[0]);
                uint8_t* b = f->data[1] + size_t(y) * size_t(f->linesize[1]);
                uint8_t* r = f->data[2] + size_t(y) * size_t(f->linesize[2]);
                uint8_t* a = f->data[3] + size_t(y) * size_t(f->linesize[3]);
                for (int x = 0; x < width_; ++x, s += 4) r[x] = s[0], g[x] = s[1], b[x] = s[2], a[x] = s[3];
            }
        }
    }
    out = f;
    return {};
}

std::string FfmpegOverlayWriter::writeFrame(const Image& picture, PictureId& id) {
    id = kNoPicture;
    if (!error_.empty()) return error_;
    if (!open_) return fail("the movie is not open");
    if (picture.width() != width_ || picture.height() != height_) return fail("a picture has the wrong size");
    AVFrame* f = nullptr;
    std::string why = convert(picture, f);
    if (!why.empty()) return fail(why);
    return pictures_.writePicture(f, id);
}

std::string FfmpegOverlayWriter::repeatPicture(PictureId id) {
    if (!error_.empty()) return error_;
    if (!open_) return fail("the movie is not open");
    return pictures_.repeat(id);
}

void FfmpegOverlayWriter::releasePicture(PictureId id) { pictures_.release(id); }

std::string FfmpegOverlayWriter::finish() {
    if (!error_.empty()) return error_;
    if (!open_) return fail("the movie is not open");
    const std::string why = pictures_.finish();
    if (!why.empty()) return why;
    const std::string committed = file_.commit();
    if (!committed.empty()) return fail(committed);
    release(false);
    return {};
}

void FfmpegOverlayWriter::release(bool removeFile) {
    pictures_.close();
    freeMovieContexts(sws_, encoder_, format_, stream_);
    // Nothing is left to remove after a commit.
    (void)removeFile;
    file_.discard();
    open_ = false;
}

}  // namespace

bool overlayCodecAvailable(const std::string& name) {
    const CodecSetup* s = setupOf(name);
    return s && avcodec_find_encoder_by_name(s->encoder) && av_guess_format(s->container, nullptr, nullptr);
}

std::unique_ptr<OverlayWriter> createOverlayWriter() {
    return std::make_unique<FfmpegOverlayWriter>();
}
