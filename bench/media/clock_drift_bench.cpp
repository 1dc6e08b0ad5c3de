// How far the picture the player shows strays from the sound being heard,
// over a long movie at 1x and 0.5x.
//
// The movie (made by the ffmpeg tool first; ten minutes unless
// KALVERO_DRIFT_SECONDS says otherwise) shows its frame number as ten black
// or white columns and has a tone. The sound goes to a device of this
// bench that plays in real time and counts the samples it takes; the sound
// clock is that count, turned into movie time. Every 20 ms the bench reads
// the frame number off the picture the player shows and compares it with
// the frame the sound clock is at.
//
// Counters: max_behind / max_ahead (frames the picture was behind or ahead
// of the sound), within_one_pct (share of samples within one frame),
// samples, wall_s.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/Image.h"
#include "timing/MoviePlayer.h"

namespace {

constexpr double kFps = 25.0;

int movieSeconds() {
    const char* s = std::getenv("KALVERO_DRIFT_SECONDS");
    int v = s ? std::atoi(s) : 600;
    return v > 0 ? v : 600;
}

const std::string& moviePath() {
    static std::string path = [] {
        const int seconds = movieSeconds();
        std::string p = (std::filesystem::temp_directory_path() /
                         ("kalvero-bench-drift-" + std::to_string(seconds) + ".avi"))
                            .string();
        if (!std::filesystem::exists(p)) {
            std::string d = std::to_string(seconds);
            std::string cmd =
                "ffmpeg -v error -y -f lavfi -i \"color=black:size=320x240:rate=25:duration=" + d +
                ",format=yuv420p,geq=lum='255*mod(trunc(N/pow(2\\,trunc(X/32)))\\,2)':cb=128:cr=128\" "
                "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=" + d +
                " -c:v mpeg4 -q:v 4 -c:a pcm_s16le " + p;
            if (std::system(cmd.c_str()) != 0) return std::string();
        }
        return p;
    }();
    return path;
}

// Frame numbers go past ten bits in long movies: the columns give the
// number modulo 1024.
int frameShown(const Image& picture) {
    int n = 0;
    for (int bit = 0; bit < 10; ++bit)
        if (picture.pixel((32 * bit + 16) * picture.width() / 320, picture.height() / 6)[1] > 128) n |= 1 << bit;
    return n;
}

// A sound device that takes samples in real time and counts them.
class CountingSound : public SoundOutput {
public:
    ~CountingSound() override { close(); }
    std::string open(int rate, int channels, Fill fill) override {
        fill_ = std::move(fill);
        rate_ = rate;
        channels_ = channels;
        running_ = true;
        thread_ = std::thread([this] {
            std::vector<int16_t> block(size_t(kBlock) * size_t(channels_));
            auto next = std::chrono::steady_clock::now();
            while (running_) {
                if (!paused_) {
                    fill_(block.data(), kBlock);
                    taken_ += kBlock;
                }
                next += std::chrono::microseconds(int64_t(kBlock) * 1000000 / rate_);
                std::this_thread::sleep_until(next);
            }
        });
        return {};
    }
    SoundFormat format() const override { return {rate_, channels_}; }
    void setPaused(bool paused) override { paused_ = paused; }
    double latencySeconds() const override { return double(kBlock) / rate_; }
    void close() override {
        running_ = false;
        if (thread_.joinable()) thread_.join();
    }
    // Seconds of sound heard: the samples handed over, less the block being played.
    double heardSeconds() const { return std::max(0.0, double(taken_ - kBlock) / rate_); }

private:
    static constexpr int kBlock = 512;
    Fill fill_;
    int rate_ = 48000, channels_ = 1;
    std::atomic<bool> running_{false}, paused_{true};
    std::atomic<int64_t> taken_{0};
    std::thread thread_;
};

void BM_PictureAgainstSound(benchmark::State& state) {
    const double speed = double(state.range(0)) / 100.0;
    if (moviePath().empty()) {
        state.SkipWithError("the ffmpeg tool could not make the movie");
        return;
    }
    for (auto _ : state) {
        auto sound = std::make_unique<CountingSound>();
        CountingSound* device = sound.get();
        auto player = createMoviePlayer(std::move(sound));
        std::string error = player->load(moviePath());
        if (!error.empty() || !player->hasSound()) {
            state.SkipWithError(error.empty() ? "no sound" : error.c_str());
            return;
        }
        player->setSpeed(speed);
        auto start = std::chrono::steady_clock::now();
        player->play();
        int64_t samples = 0, within = 0, behind = 0, ahead = 0;
        while (player->playing()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::shared_ptr<const Image> picture = player->currentPicture();
            double heard = device->heardSeconds() * speed;  // movie time of the sound
            if (!picture || heard < 1.0) continue;
            int64_t soundFrame = int64_t(std::floor(heard * kFps));
            // The picture's number modulo 1024, unwrapped near the sound's frame.
            int64_t shown = frameShown(*picture);
            int64_t d = ((shown - soundFrame) % 1024 + 1024 + 512) % 1024 - 512;
            ++samples;
            if (std::llabs(d) <= 1) ++within;
            behind = std::max<int64_t>(behind, -d);
            ahead = std::max<int64_t>(ahead, d);
        }
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["speed"] = speed;
        state.counters["movie_s"] = movieSeconds();
        state.counters["wall_s"] = seconds;
        state.counters["samples"] = double(samples);
        state.counters["within_one_pct"] = samples ? 100.0 * double(within) / double(samples) : 0.0;
        state.counters["max_behind"] = double(behind);
        state.counters["max_ahead"] = double(ahead);
    }
}

}  // namespace

BENCHMARK(BM_PictureAgainstSound)->Arg(100)->Arg(50)->Iterations(1)->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
