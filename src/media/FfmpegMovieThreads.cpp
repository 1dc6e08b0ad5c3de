// The movie player's threads: the reader (packets and sound), the video
// decoder and the presenter, and the sound device's pull.

#include "media/FfmpegMoviePlayer.h"

namespace movieplayer {

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

}  // namespace movieplayer
