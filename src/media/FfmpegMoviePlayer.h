// The movie player's parts shared by its files: the player class, its
// queues and the sound tempo filter. Only media/ includes this.
#pragma once


#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/opt.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "media/AvError.h"
#include "media/MediaFiles.h"

#include "base/Image.h"
#include "io/Files.h"
#include "timing/Clock.h"
#include "timing/MoviePlayer.h"
#include "timing/TimingLog.h"

namespace movieplayer {


constexpr size_t kMaxVideoPackets = 240;
constexpr size_t kMaxVideoPacketBytes = 48u << 20;
constexpr size_t kMaxPictures = 4;
constexpr double kMaxSoundSeconds = 2.0;

struct Picture {
    std::shared_ptr<Image> image;
    double pts = 0.0;
};

struct SoundChunk {
    std::vector<int16_t> samples;  // interleaved
    size_t offset = 0;             // values already played
    double pts = 0.0;              // position of samples[0]
};

enum class State { Stopped, Playing, Ended };

// Changes the tempo of interleaved 16-bit sound and keeps its pitch
// (libavfilter's atempo).
class TempoFilter {
public:
    TempoFilter() = default;
    TempoFilter(const TempoFilter&) = delete;
    TempoFilter& operator=(const TempoFilter&) = delete;
    ~TempoFilter() { avfilter_graph_free(&graph_); }

    bool open(int rate, int channels, double tempo) {
        graph_ = avfilter_graph_alloc();
        if (!graph_) return false;
        channels_ = channels;
        AVChannelLayout layout{};
        av_channel_layout_default(&layout, channels);
        char layoutName[64] = {};
        av_channel_layout_describe(&layout, layoutName, sizeof layoutName);
        av_channel_layout_uninit(&layout);
        char args[256];
        std::snprintf(args, sizeof args, "time_base=1/%d:sample_rate=%d:sample_fmt=s16:channel_layout=%s", rate, rate,
                      layoutName);
        char tempoArgs[64];
        std::snprintf(tempoArgs, sizeof tempoArgs, "tempo=%.4f", tempo);
        AVFilterContext* atempo = nullptr;
        if (avfilter_graph_create_filter(&src_, avfilter_get_by_name("abuffer"), "in", args, nullptr, graph_) < 0 ||
            avfilter_graph_create_filter(&atempo, avfilter_get_by_name("atempo"), "tempo", tempoArgs, nullptr, graph_) < 0 ||
            avfilter_graph_create_filter(&sink_, avfilter_get_by_name("abuffersink"), "out", nullptr, nullptr, graph_) < 0)
            return false;
        const AVSampleFormat formats[] = {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_NONE};
        if (av_opt_set_int_list(sink_, "sample_fmts", formats, AV_SAMPLE_FMT_NONE, AV_OPT_SEARCH_CHILDREN) < 0 ||
            avfilter_link(src_, 0, atempo, 0) < 0 || avfilter_link(atempo, 0, sink_, 0) < 0 ||
            avfilter_graph_config(graph_, nullptr) < 0)
            return false;
        rate_ = rate;
        return true;
    }

    // Feeds `in` (an empty vector at the end) and returns what comes out.
    std::vector<int16_t> push(const std::vector<int16_t>& in, bool end) {
        std::vector<int16_t> out;
        const int frames = int(in.size() / size_t(channels_));
        if (frames > 0) {
            AVFrame* f = av_frame_alloc();
            if (!f) return out;
            f->format = AV_SAMPLE_FMT_S16;
            f->sample_rate = rate_;
            av_channel_layout_default(&f->ch_layout, channels_);
            f->nb_samples = frames;
            f->pts = pts_;
            pts_ += frames;
            if (av_frame_get_buffer(f, 0) == 0) {
                std::memcpy(f->data[0], in.data(), in.size() * sizeof(int16_t));
                if (av_buffersrc_add_frame(src_, f) < 0) ok_ = false;
            }
            av_frame_free(&f);
        }
        if (end && av_buffersrc_add_frame(src_, nullptr) < 0) ok_ = false;
        AVFrame* o = av_frame_alloc();
        while (o && av_buffersink_get_frame(sink_, o) >= 0) {
            const int16_t* d = reinterpret_cast<const int16_t*>(o->data[0]);
            out.insert(out.end(), d, d + size_t(o->nb_samples) * size_t(channels_));
            av_frame_unref(o);
        }
        av_frame_free(&o);
        return out;
    }

private:
    AVFilterGraph* graph_ = nullptr;
    AVFilterContext *src_ = nullptr, *sink_ = nullptr;
    int rate_ = 0, channels_ = 1;
    int64_t pts_ = 0;
    bool ok_ = true;  // false after a frame the filter refused (that sound is lost)
};

class FfmpegMoviePlayer : public MoviePlayer {
public:
    explicit FfmpegMoviePlayer(std::unique_ptr<SoundOutput> sound) : sound_(std::move(sound)) {}
    ~FfmpegMoviePlayer() override { free(); }

    std::string load(const std::string& path) override;
    bool loaded() const override { return format_ != nullptr; }
    int width() const override { return width_; }
    int height() const override { return height_; }
    double frameRate() const override { return fps_; }
    int64_t lengthInFrames() const override { return length_; }
    int64_t durationMs() const override { return durationMs_; }

    void setDisplaySize(int width, int height) override {
        if (width <= 0 || height <= 0 || !Image::validSize(width, height)) return;
        displayW_ = width;
        displayH_ = height;
    }

    void play() override;
    void playFrom(double seconds, bool paused) override;
    void setSpeed(double speed) override;
    double speed() const override { return speed_; }
    void pause() override;
    void resume() override;
    void stop() override;
    bool playing() const override { return state_ == State::Playing; }
    bool paused() const override { return state_ == State::Playing && userPaused_; }
    int64_t currentFrame() const override;
    double positionAt(double monotonic) const override {
        if (state_ != State::Playing) return 0.0;
        std::lock_guard<std::mutex> lock(clockMutex_);
        return std::max(0.0, clock_.get(monotonic));
    }
    std::shared_ptr<const Image> currentPicture(uint64_t* serial) const override {
        std::lock_guard<std::mutex> lock(pictureMutex_);
        if (serial) *serial = serial_;
        return picture_;
    }
    int64_t highestFrameShown() const override { return highestShown_; }
    bool hasSound() const override { return soundOpen_; }
    std::string soundStatus() const override { return soundStatus_; }
    void free() override;

private:
    void openSound();
    void readerLoop();
    void videoLoop();
    void presenterLoop();
    void decodeSound(const AVPacket* packet);
    void queueSound(std::vector<int16_t> samples, bool end);
    void fillSound(int16_t* out, int frames);
    double clockNow() const {
        std::lock_guard<std::mutex> lock(clockMutex_);
        return clock_.get(monotonicSeconds());
    }
    void publish(Picture& p);
    void logClock() const;  // with clockMutex_ held
    void startClock();
    void joinThreads();
    void startThreads(double from, bool paused);
    void rewind(double seconds);
    double soundSeconds() const {  // with m_ held
        return soundFormat_.rate > 0 ? double(soundFrames_) / soundFormat_.rate : 0.0;
    }

    std::unique_ptr<SoundOutput> sound_;

    // the movie
    AVFormatContext* format_ = nullptr;
    AVCodecContext* video_ = nullptr;
    AVCodecContext* audio_ = nullptr;
    int videoIndex_ = -1, audioIndex_ = -1;
    double startSeconds_ = 0.0;
    int width_ = 0, height_ = 0;
    double fps_ = 0.0;
    int64_t length_ = 0, durationMs_ = 0;

    // sound
    bool soundOpen_ = false;
    std::string soundStatus_;
    SoundFormat soundFormat_;
    double soundLatency_ = 0.0;
    SwrContext* swr_ = nullptr;
    AVChannelLayout swrInLayout_{};
    int swrInFormat_ = -1, swrInRate_ = 0;

    // queues, all under m_
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<AVPacket*> packets_;  // nullptr: end of the movie
    size_t packetBytes_ = 0;
    std::deque<Picture> pictures_;
    bool videoDone_ = false;
    std::deque<SoundChunk> soundQueue_;
    int64_t soundFrames_ = 0;
    double soundEnd_ = 0.0;    // movie time at the end of the queued sound
    double soundInEnd_ = 0.0;  // and of the decoded sound (ahead of it by what the tempo filter holds)
    std::unique_ptr<TempoFilter> tempo_;  // at speeds other than 1
    bool soundMuted_ = false;             // no tempo filter for this speed: the clock runs alone
    bool readerDone_ = false;

    // clock
    mutable std::mutex clockMutex_;
    Clock clock_;
    bool priming_ = true;
    std::atomic<double> speed_{1.0};
    double from_ = 0.0;  // where this playing started: earlier pictures and sound are skipped

    // control (play / pause from the user, first picture from the presenter)
    std::mutex controlMutex_;
    std::atomic<State> state_{State::Stopped};
    std::atomic<bool> userPaused_{false};
    std::atomic<bool> quit_{false};
    std::atomic<int> displayW_{0}, displayH_{0};
    bool started_ = false;  // something was played since the last rewind
    std::thread reader_, decoder_, presenter_;

    mutable std::mutex pictureMutex_;
    std::shared_ptr<const Image> picture_;
    uint64_t serial_ = 0;
    std::atomic<int64_t> highestShown_{-1};
};

}  // namespace movieplayer
