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

#include "media/FfmpegMoviePlayer.h"

namespace movieplayer {

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

    openSound();
    return {};
}

// Opens the movie's sound on the sound output; a movie whose sound cannot be
// played still plays, silent, and soundStatus() says why.
void FfmpegMoviePlayer::openSound() {
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

}  // namespace movieplayer

std::unique_ptr<MoviePlayer> createMoviePlayer(std::unique_ptr<SoundOutput> sound) {
    return std::make_unique<movieplayer::FfmpegMoviePlayer>(std::move(sound));
}
