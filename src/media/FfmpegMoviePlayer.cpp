// Movie player on libavformat / libavcodec / libswscale / libswresample.
//
// Three threads while playing:
//  - the reader demultiplexes, queues the video packets and decodes the
//    sound into a queue of device-format samples;
//  - the video decoder decodes and scales the pictures to the display size
//    into a small queue;
//  - the presenter waits until a picture is due on the master clock and
//    publishes it (dropping pictures that are late).
// The sound device pulls samples on its own thread and sets the master
// clock to the position being heard; without sound the clock runs on the
// monotonic time. The clock stands still until the first picture is there.

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

namespace {

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

std::string FfmpegMoviePlayer::load(const std::string& path) {
    free();
    const std::string where = "Could not load the movie \"" + path + "\": ";
    // A FIFO or device would block the open or stream without end.
    AVFormatContext* fmt = nullptr;
    const std::string why = openMovieFile(&fmt, path);
    if (!why.empty()) return where + why;
    format_ = fmt;
    int r = 0;
    r = avformat_find_stream_info(format_, nullptr);
    if (r < 0) {
        free();
        return where + avError(r);
    }
    videoIndex_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (videoIndex_ < 0) {
        free();
        return where + "it holds no video";
    }
    AVStream* vs = format_->streams[videoIndex_];
    const AVCodec* vc = avcodec_find_decoder(vs->codecpar->codec_id);
    if (!vc) {
        std::string name = avcodec_get_name(vs->codecpar->codec_id);
        free();
        return where + "there is no decoder for its video (" + name + ")";
    }
    video_ = avcodec_alloc_context3(vc);
    if (!video_ || avcodec_parameters_to_context(video_, vs->codecpar) < 0) {
        free();
        return where + "out of memory";
    }
    video_->thread_count = 0;
    video_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    video_->pkt_timebase = vs->time_base;
    r = avcodec_open2(video_, vc, nullptr);
    if (r < 0) {
        free();
        return where + "its video cannot be decoded (" + avError(r) + ")";
    }
    width_ = video_->width;
    height_ = video_->height;
    if (width_ <= 0 || height_ <= 0 || !Image::validSize(width_, height_)) {
        std::string size = std::to_string(width_) + " x " + std::to_string(height_);
        free();
        return where + "its picture size " + size + " is not supported";
    }

    AVRational rate = vs->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = vs->r_frame_rate;
    fps_ = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 25.0;
    if (!(fps_ > 0.0) || fps_ > 1000.0) fps_ = 25.0;

    if (format_->start_time != AV_NOPTS_VALUE) startSeconds_ = double(format_->start_time) / AV_TIME_BASE;
    double seconds = 0.0;
    if (vs->duration != AV_NOPTS_VALUE && vs->duration > 0)
        seconds = double(vs->duration) * av_q2d(vs->time_base);
    else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0)
        seconds = double(format_->duration) / AV_TIME_BASE;
    durationMs_ = int64_t(std::llround(seconds * 1000.0));
    length_ = vs->nb_frames > 0 ? vs->nb_frames : int64_t(std::llround(seconds * fps_));
    displayW_ = width_;
    displayH_ = height_;

    // sound
    audioIndex_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, videoIndex_, nullptr, 0);
    if (audioIndex_ < 0) {
        audioIndex_ = -1;
        soundStatus_ = "the movie has no sound";
    } else {
        AVStream* as = format_->streams[audioIndex_];
        const AVCodec* ac = avcodec_find_decoder(as->codecpar->codec_id);
        audio_ = ac ? avcodec_alloc_context3(ac) : nullptr;
        if (!audio_ || avcodec_parameters_to_context(audio_, as->codecpar) < 0 || avcodec_open2(audio_, ac, nullptr) < 0) {
            avcodec_free_context(&audio_);
            audioIndex_ = -1;
            soundStatus_ = std::string("the sound of the movie cannot be decoded (") +
                           avcodec_get_name(as->codecpar->codec_id) + ")";
        } else if (!sound_) {
            avcodec_free_context(&audio_);
            audioIndex_ = -1;
            soundStatus_ = "no sound output";
        } else {
            audio_->pkt_timebase = as->time_base;
            int channels = std::clamp(audio_->ch_layout.nb_channels, 1, 2);
            std::string why = sound_->open(audio_->sample_rate, channels,
                                           [this](int16_t* out, int frames) { fillSound(out, frames); });
            soundFormat_ = sound_->format();
            if (!why.empty() || soundFormat_.rate <= 0 || soundFormat_.channels <= 0) {
                sound_->close();
                avcodec_free_context(&audio_);
                audioIndex_ = -1;
                soundStatus_ = why.empty() ? "the sound device has an unusable format" : why;
            } else {
                soundOpen_ = true;
                soundLatency_ = sound_->latencySeconds();
                soundStatus_.clear();
            }
        }
    }
    return {};
}

void FfmpegMoviePlayer::play() {
    if (!format_) return;
    if (state_ == State::Playing) {
        resume();
        return;
    }
    joinThreads();  // after the movie ended by itself
    if (started_) rewind(0.0);
    startThreads(0.0, false);
}

void FfmpegMoviePlayer::playFrom(double seconds, bool paused) {
    if (!format_) return;
    if (!(seconds > 0.0)) seconds = 0.0;
    joinThreads();
    state_ = State::Stopped;
    if (started_ || seconds > 0.0) rewind(seconds);
    startThreads(seconds, paused);
}

void FfmpegMoviePlayer::startThreads(double from, bool paused) {
    started_ = true;
    quit_ = false;
    userPaused_ = paused;
    videoDone_ = false;
    readerDone_ = false;
    from_ = from;
    soundEnd_ = soundInEnd_ = from;
    tempo_.reset();
    soundMuted_ = false;
    if (soundOpen_ && speed_ != 1.0) {
        tempo_ = std::make_unique<TempoFilter>();
        if (!tempo_->open(soundFormat_.rate, soundFormat_.channels, speed_)) {
            tempo_.reset();
            soundMuted_ = true;
        }
    }
    {
        std::lock_guard<std::mutex> lock(clockMutex_);
        clock_ = Clock{};
        clock_.speed = speed_;
        clock_.set(from, monotonicSeconds());
        clock_.paused = true;
        priming_ = true;
        logClock();
    }
    highestShown_ = -1;
    state_ = State::Playing;
    reader_ = std::thread([this] { readerLoop(); });
    decoder_ = std::thread([this] { videoLoop(); });
    presenter_ = std::thread([this] { presenterLoop(); });
}

void FfmpegMoviePlayer::setSpeed(double speed) {
    if (!(speed >= 0.25)) speed = 0.25;
    if (speed > 4.0) speed = 4.0;
    if (speed == speed_) return;
    if (state_ != State::Playing) {
        speed_ = speed;
        return;
    }
    // Start again where it is: the sound already decoded is at the old tempo.
    const double at = positionAt(monotonicSeconds());
    const bool wasPaused = userPaused_;
    joinThreads();
    speed_ = speed;
    playFrom(at, wasPaused);
}

void FfmpegMoviePlayer::pause() {
    if (state_ != State::Playing) return;
    std::lock_guard<std::mutex> control(controlMutex_);
    if (userPaused_) return;
    userPaused_ = true;
    {
        std::lock_guard<std::mutex> lock(clockMutex_);
        if (!priming_) clock_.setPaused(true, monotonicSeconds());
        logClock();
    }
    if (soundOpen_) sound_->setPaused(true);
}

void FfmpegMoviePlayer::resume() {
    if (state_ != State::Playing) return;
    std::lock_guard<std::mutex> control(controlMutex_);
    if (!userPaused_) return;
    userPaused_ = false;
    bool running;
    {
        std::lock_guard<std::mutex> lock(clockMutex_);
        running = !priming_;
        if (running) clock_.setPaused(false, monotonicSeconds());
        logClock();
    }
    if (running && soundOpen_) sound_->setPaused(false);
}

void FfmpegMoviePlayer::startClock() {
    std::lock_guard<std::mutex> control(controlMutex_);
    bool run;
    {
        std::lock_guard<std::mutex> lock(clockMutex_);
        priming_ = false;
        run = !userPaused_;
        clock_.set(from_, monotonicSeconds());
        clock_.paused = !run;
        logClock();
    }
    if (run && soundOpen_) sound_->setPaused(false);
}

void FfmpegMoviePlayer::stop() {
    if (!format_) return;
    joinThreads();
    state_ = State::Stopped;
    userPaused_ = false;
}

int64_t FfmpegMoviePlayer::currentFrame() const {
    if (state_ != State::Playing) return 0;
    double t = clockNow();
    if (!(t > 0.0)) return 0;
    auto f = int64_t(std::floor(t * fps_ + 1e-6));
    if (length_ > 0 && f > length_ - 1) f = length_ - 1;
    return f;
}

void FfmpegMoviePlayer::joinThreads() {
    if (soundOpen_) sound_->setPaused(true);
    {
        // under the lock, so that no thread misses the wake-up between its
        // check and its wait
        std::lock_guard<std::mutex> lock(m_);
        quit_ = true;
    }
    cv_.notify_all();
    if (reader_.joinable()) reader_.join();
    if (decoder_.joinable()) decoder_.join();
    if (presenter_.joinable()) presenter_.join();
    std::lock_guard<std::mutex> lock(m_);
    for (AVPacket*& p : packets_) av_packet_free(&p);
    packets_.clear();
    packetBytes_ = 0;
    pictures_.clear();
    soundQueue_.clear();
    soundFrames_ = 0;
}

void FfmpegMoviePlayer::rewind(double seconds) {
    // To the key picture at or before that time; the decoders skip up to it.
    int64_t target = format_->start_time != AV_NOPTS_VALUE ? format_->start_time : 0;
    target += int64_t(seconds * AV_TIME_BASE);
    if (avformat_seek_file(format_, -1, INT64_MIN, target, target, 0) < 0)
        av_seek_frame(format_, -1, target, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(video_);
    if (audio_) avcodec_flush_buffers(audio_);
    if (swr_) swr_init(swr_);
}

void FfmpegMoviePlayer::free() {
    if (format_) joinThreads();
    state_ = State::Stopped;
    userPaused_ = false;
    started_ = false;
    if (soundOpen_) sound_->close();
    soundOpen_ = false;
    soundStatus_.clear();
    soundFormat_ = {};
    swr_free(&swr_);
    av_channel_layout_uninit(&swrInLayout_);
    swrInFormat_ = -1;
    swrInRate_ = 0;
    avcodec_free_context(&video_);
    avcodec_free_context(&audio_);
    if (format_) avformat_close_input(&format_);
    videoIndex_ = audioIndex_ = -1;
    width_ = height_ = 0;
    fps_ = 0.0;
    length_ = durationMs_ = 0;
    startSeconds_ = 0.0;
    std::lock_guard<std::mutex> lock(pictureMutex_);
    picture_.reset();
}

void FfmpegMoviePlayer::readerLoop() {
    AVPacket* packet = av_packet_alloc();
    while (packet && !quit_) {
        {
            std::unique_lock<std::mutex> lock(m_);
            cv_.wait_for(lock, std::chrono::milliseconds(20), [this] {
                return quit_ || (packets_.size() < kMaxVideoPackets && packetBytes_ < kMaxVideoPacketBytes &&
                                 soundSeconds() < kMaxSoundSeconds);
            });
            if (quit_) break;
            if (packets_.size() >= kMaxVideoPackets || packetBytes_ >= kMaxVideoPacketBytes ||
                soundSeconds() >= kMaxSoundSeconds)
                continue;
        }
        int r = av_read_frame(format_, packet);
        if (r == AVERROR(EAGAIN)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        if (r < 0) {  // the end, or a damaged file: play what there is
            if (audioIndex_ >= 0) decodeSound(nullptr);
            std::lock_guard<std::mutex> lock(m_);
            packets_.push_back(nullptr);
            readerDone_ = true;
            cv_.notify_all();
            break;
        }
        if (packet->stream_index == videoIndex_) {
            AVPacket* queued = av_packet_alloc();
            if (queued) {
                av_packet_move_ref(queued, packet);
                std::lock_guard<std::mutex> lock(m_);
                packetBytes_ += size_t(queued->size);
                packets_.push_back(queued);
                cv_.notify_all();
            }
        } else if (packet->stream_index == audioIndex_) {
            decodeSound(packet);
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
}

void FfmpegMoviePlayer::decodeSound(const AVPacket* packet) {
    if (avcodec_send_packet(audio_, packet) < 0 && packet) return;  // a damaged packet: skip it
    AVFrame* frame = av_frame_alloc();
    if (!frame) return;
    const int ch = soundFormat_.channels, rate = soundFormat_.rate;
    const double tb = av_q2d(format_->streams[audioIndex_]->time_base);
    while (!quit_ && avcodec_receive_frame(audio_, frame) == 0) {
        if (!swr_ || frame->format != swrInFormat_ || frame->sample_rate != swrInRate_ ||
            av_channel_layout_compare(&frame->ch_layout, &swrInLayout_) != 0) {
            swr_free(&swr_);
            AVChannelLayout out{};
            av_channel_layout_default(&out, ch);
            AVChannelLayout in{};
            if (av_channel_layout_check(&frame->ch_layout))
                av_channel_layout_copy(&in, &frame->ch_layout);
            else
                av_channel_layout_default(&in, std::max(1, frame->ch_layout.nb_channels));
            int r = swr_alloc_set_opts2(&swr_, &out, AV_SAMPLE_FMT_S16, rate, &in, AVSampleFormat(frame->format),
                                        frame->sample_rate, 0, nullptr);
            av_channel_layout_uninit(&out);
            if (r < 0 || swr_init(swr_) < 0) {
                av_channel_layout_uninit(&in);
                swr_free(&swr_);
                continue;
            }
            av_channel_layout_uninit(&swrInLayout_);
            swrInLayout_ = in;
            swrInFormat_ = frame->format;
            swrInRate_ = frame->sample_rate;
        }
        int capacity = swr_get_out_samples(swr_, frame->nb_samples);
        if (capacity <= 0) continue;
        std::vector<int16_t> samples(size_t(capacity) * size_t(ch));
        uint8_t* out = reinterpret_cast<uint8_t*>(samples.data());
        int n = swr_convert(swr_, &out, capacity, const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
        if (n <= 0) continue;
        samples.resize(size_t(n) * size_t(ch));

        double pts = frame->best_effort_timestamp != AV_NOPTS_VALUE
                         ? double(frame->best_effort_timestamp) * tb - startSeconds_
                         : -1.0;
        if (pts >= 0.0 && pts < from_) {
            // before where playing starts (after a seek): cut it off
            int64_t skip = std::min<int64_t>(int64_t((from_ - pts) * rate + 0.5), n);
            if (skip >= n) continue;
            samples.erase(samples.begin(), samples.begin() + ptrdiff_t(skip * ch));
            n -= int(skip);
            pts = from_;
        }
        if (pts >= 0.0 && pts - soundInEnd_ > 0.05 && pts - soundInEnd_ < 60.0) {
            // a gap before this sound (a late start): silence first
            size_t gap = size_t((pts - soundInEnd_) * rate);
            samples.insert(samples.begin(), gap * size_t(ch), int16_t(0));
            n += int(gap);
        }
        soundInEnd_ += double(n) / rate;
        queueSound(std::move(samples), false);
    }
    av_frame_free(&frame);
    if (!packet && tempo_) queueSound({}, true);  // what the tempo filter still holds
}

void FfmpegMoviePlayer::queueSound(std::vector<int16_t> samples, bool end) {
    if (soundMuted_) return;
    if (tempo_) samples = tempo_->push(samples, end);
    const int ch = soundFormat_.channels;
    const int64_t n = int64_t(samples.size()) / ch;
    if (n <= 0) return;
    std::lock_guard<std::mutex> lock(m_);
    SoundChunk chunk;
    chunk.pts = soundEnd_;
    chunk.samples = std::move(samples);
    soundFrames_ += n;
    soundEnd_ += double(n) * speed_ / soundFormat_.rate;
    soundQueue_.push_back(std::move(chunk));
}

void FfmpegMoviePlayer::fillSound(int16_t* out, int frames) {
    const double now = monotonicSeconds();
    const int ch = soundFormat_.channels;
    {
        std::lock_guard<std::mutex> lock(clockMutex_);
        if (clock_.paused || ch <= 0) {
            std::memset(out, 0, size_t(frames) * size_t(std::max(ch, 1)) * sizeof(int16_t));
            return;
        }
    }
    int written = 0;
    double firstPts = -1.0;
    {
        std::lock_guard<std::mutex> lock(m_);
        while (written < frames && !soundQueue_.empty()) {
            SoundChunk& c = soundQueue_.front();
            if (firstPts < 0.0) firstPts = c.pts + double(c.offset / size_t(ch)) * speed_ / soundFormat_.rate;
            size_t available = (c.samples.size() - c.offset) / size_t(ch);
            size_t n = std::min(available, size_t(frames - written));
            std::memcpy(out + size_t(written) * size_t(ch), c.samples.data() + c.offset, n * size_t(ch) * sizeof(int16_t));
            c.offset += n * size_t(ch);
            written += int(n);
            soundFrames_ -= int64_t(n);
            if (c.offset >= c.samples.size()) soundQueue_.pop_front();
        }
    }
    cv_.notify_all();
    if (written < frames)
        std::memset(out + size_t(written) * size_t(ch), 0, size_t(frames - written) * size_t(ch) * sizeof(int16_t));
    if (firstPts >= 0.0) {
        std::lock_guard<std::mutex> lock(clockMutex_);
        // What is handed over now is heard after the device's latency, in
        // which the movie moves on by latency x speed.
        if (!clock_.paused) {
            clock_.set(firstPts - soundLatency_ * speed_, now);
            logClock();
        }
    }
}

void FfmpegMoviePlayer::videoLoop() {
    AVFrame* frame = av_frame_alloc();
    SwsContext* sws = nullptr;
    const double tb = av_q2d(format_->streams[videoIndex_]->time_base);
    const double frameSeconds = 1.0 / fps_;
    double lastPts = -frameSeconds;
    bool first = true;
    while (frame && !quit_) {
        AVPacket* packet = nullptr;
        {
            std::unique_lock<std::mutex> lock(m_);
            cv_.wait(lock, [this] { return quit_ || !packets_.empty(); });
            if (quit_) break;
            packet = packets_.front();
            packets_.pop_front();
            if (packet) packetBytes_ -= size_t(packet->size);
            cv_.notify_all();
        }
        const bool end = packet == nullptr;
        avcodec_send_packet(video_, packet);  // a damaged packet only loses its pictures
        av_packet_free(&packet);
        while (!quit_ && avcodec_receive_frame(video_, frame) == 0) {
            double pts = frame->best_effort_timestamp != AV_NOPTS_VALUE
                             ? double(frame->best_effort_timestamp) * tb - startSeconds_
                             : lastPts + frameSeconds;
            lastPts = pts;
            // Pictures before where playing starts (after a seek) are skipped.
            if (pts < from_ - frameSeconds / 2) {
                av_frame_unref(frame);
                continue;
            }
            // Late pictures are not scaled: they would be dropped anyway.
            if (!first && pts + 2 * frameSeconds < clockNow()) {
                av_frame_unref(frame);
                continue;
            }
            first = false;
            const int w = displayW_, h = displayH_;
            sws = sws_getCachedContext(sws, frame->width, frame->height, AVPixelFormat(frame->format), w, h,
                                       AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
            auto image = std::make_shared<Image>(w, h);
            if (!sws || image->empty()) {
                av_frame_unref(frame);
                continue;
            }
            uint8_t* dst[4] = {image->data(), nullptr, nullptr, nullptr};
            const int dstStride[4] = {int(image->stride()), 0, 0, 0};
            sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
            av_frame_unref(frame);

            std::unique_lock<std::mutex> lock(m_);
            cv_.wait(lock, [this] { return quit_ || pictures_.size() < kMaxPictures; });
            if (quit_) break;
            pictures_.push_back(Picture{std::move(image), pts});
            cv_.notify_all();
        }
        if (end) {
            std::lock_guard<std::mutex> lock(m_);
            videoDone_ = true;
            cv_.notify_all();
            break;
        }
    }
    sws_freeContext(sws);
    av_frame_free(&frame);
}

void FfmpegMoviePlayer::publish(Picture& p) {
    const auto frame = int64_t(std::llround(p.pts * fps_));
    std::lock_guard<std::mutex> lock(pictureMutex_);
    picture_ = std::move(p.image);
    ++serial_;
    if (frame > highestShown_) highestShown_ = frame;
}

void FfmpegMoviePlayer::logClock() const {
    if (!timingLogOn()) return;
    char line[160];
    std::snprintf(line, sizeof line, "clock at_us=%lld pos_us=%lld speed=%.6f paused=%d",
                  static_cast<long long>(std::llround(clock_.lastUpdated * 1e6)),
                  static_cast<long long>(std::llround(clock_.pts * 1e6)), clock_.speed, clock_.paused ? 1 : 0);
    timingLog(line);
}

void FfmpegMoviePlayer::presenterLoop() {
    const double frameSeconds = 1.0 / fps_;
    bool first = true;
    double lastPts = 0.0;
    auto nap = [](double seconds) {
        seconds = std::clamp(seconds, 0.001, 0.01);
        std::this_thread::sleep_for(std::chrono::microseconds(int64_t(seconds * 1e6)));
    };
    while (!quit_) {
        Picture due;
        bool have = false, ended = false;
        double t = clockNow();
        {
            std::unique_lock<std::mutex> lock(m_);
            cv_.wait_for(lock, std::chrono::milliseconds(10),
                         [this] { return quit_ || !pictures_.empty() || videoDone_; });
            if (quit_) break;
            if (pictures_.empty()) {
                if (videoDone_) {
                    // the end: once the last picture and the sound had their time
                    ended = first || t >= std::max(lastPts + frameSeconds, soundOpen_ ? soundEnd_ : 0.0);
                    if (!ended) {
                        lock.unlock();
                        nap(0.01);
                        continue;
                    }
                }
            } else if (first) {
                due = std::move(pictures_.front());
                pictures_.pop_front();
                have = true;
            } else if (pictures_.front().pts <= t) {
                // the newest picture that is due; older ones are dropped
                while (pictures_.size() > 1 && pictures_[1].pts <= t) pictures_.pop_front();
                due = std::move(pictures_.front());
                pictures_.pop_front();
                have = true;
            }
            if (have) cv_.notify_all();
        }
        if (ended) {
            state_ = State::Ended;
            if (soundOpen_) sound_->setPaused(true);
            break;
        }
        if (have) {
            lastPts = due.pts;
            publish(due);
            if (first) {
                first = false;
                startClock();
            }
            continue;
        }
        double wait = frameSeconds;
        {
            std::lock_guard<std::mutex> lock(m_);
            if (!pictures_.empty()) wait = pictures_.front().pts - t;
        }
        nap(wait);
    }
}

}  // namespace

std::unique_ptr<MoviePlayer> createMoviePlayer(std::unique_ptr<SoundOutput> sound) {
    return std::make_unique<FfmpegMoviePlayer>(std::move(sound));
}
