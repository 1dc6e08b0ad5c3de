#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "base/Image.h"
#include "timing/Clock.h"
#include "timing/MoviePlayer.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Small movies made by the ffmpeg tool once for the whole suite.
class MoviePlayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // never a real sound card in tests
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("kalvero-movies-" + std::to_string(rd()));
        fs::create_directories(dir_);
        hasFfmpeg_ = std::system("ffmpeg -version > /dev/null 2>&1") == 0;
        if (!hasFfmpeg_) return;
        const std::string d = dir_.string() + "/";
        const std::string ff = "ffmpeg -v error -y ";
        made_ = std::system((ff + "-f lavfi -i testsrc=size=320x240:rate=25:duration=2 -f lavfi -i "
                                  "sine=frequency=440:duration=2 -c:v mpeg4 -c:a pcm_s16le " + d + "tone.avi").c_str()) == 0 &&
                std::system((ff + "-f lavfi -i testsrc=size=320x240:rate=25:duration=1 -c:v mpeg4 " + d + "silent.mp4").c_str()) == 0 &&
                std::system((ff + "-f lavfi -i testsrc=size=320x240:rate=30000/1001:duration=2 -c:v mpeg4 " + d + "ntsc.mp4").c_str()) == 0 &&
                std::system((ff + "-f lavfi -i testsrc=size=321x241:rate=25:duration=1 -c:v ffv1 " + d + "odd.avi").c_str()) == 0 &&
                std::system((ff + "-f lavfi -i testsrc=size=320x240:rate=25:duration=1 -vf select='not(eq(mod(n\\,3)\\,1))' "
                                  "-vsync vfr -c:v mpeg4 " + d + "vfr.mkv").c_str()) == 0 &&
                std::system((ff + "-f lavfi -i sine=duration=1 " + d + "tone.wav").c_str()) == 0 &&
                // the frame number in ten black or white columns, bit k in column k
                std::system((ff + "-f lavfi -i \"color=black:size=320x240:rate=25:duration=4,format=yuv420p,"
                                  "geq=lum='255*mod(trunc(N/pow(2\\,trunc(X/32)))\\,2)':cb=128:cr=128\" "
                                  "-f lavfi -i sine=frequency=440:duration=4 -c:v mpeg4 -q:v 2 -g 50 -c:a pcm_s16le " +
                             d + "bits.avi").c_str()) == 0;
        std::ofstream(d + "text.avi") << "this is not a movie\n";
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    void SetUp() override {
        if (!hasFfmpeg_) GTEST_SKIP() << "the ffmpeg tool is needed to make the test movies";
        // With the tool there, a movie it could not make is a fault (an encoder missing).
        ASSERT_TRUE(made_) << "ffmpeg is installed but could not make the test movies";
    }
    static std::string movie(const char* name) { return (dir_ / name).string(); }

    // Waits (generously) until the player stops by itself.
    static bool waitForEnd(MoviePlayer& p, std::chrono::milliseconds limit) {
        auto until = std::chrono::steady_clock::now() + limit;
        while (p.playing() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(10ms);
        return !p.playing();
    }

    static inline fs::path dir_;
    static inline bool made_ = false, hasFfmpeg_ = false;
};

// Polls (every few milliseconds, for at most 10 s: a loaded machine may be
// slow) until `done` holds.
template <typename F>
bool waitUntil(F done, std::chrono::milliseconds limit = 10s) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// A sound device that plays in real time into memory.
class CapturingSound : public SoundOutput {
public:
    ~CapturingSound() override { close(); }
    std::string open(int rate, int, Fill fill) override {
        fill_ = std::move(fill);
        rate_ = rate;
        running_ = true;
        thread_ = std::thread([this] {
            std::vector<int16_t> block(512);
            auto next = std::chrono::steady_clock::now();
            while (running_) {
                if (!paused_) {
                    fill_(block.data(), 512);
                    std::lock_guard<std::mutex> lock(m_);
                    captured_.insert(captured_.end(), block.begin(), block.end());
                }
                next += std::chrono::microseconds(512 * 1000000LL / rate_);
                std::this_thread::sleep_until(next);
            }
        });
        return {};
    }
    SoundFormat format() const override { return {rate_, 1}; }
    void setPaused(bool paused) override { paused_ = paused; }
    double latencySeconds() const override { return 0; }
    void close() override {
        running_ = false;
        if (thread_.joinable()) thread_.join();
    }
    std::vector<int16_t> captured() {
        std::lock_guard<std::mutex> lock(m_);
        return captured_;
    }

private:
    Fill fill_;
    int rate_ = 0;
    std::atomic<bool> running_{false}, paused_{true};
    std::thread thread_;
    std::mutex m_;
    std::vector<int16_t> captured_;
};

// Tone frequency from the rising zero crossings of the samples, and how
// many samples lie between the first and the last of them.
static double toneHz(const std::vector<int16_t>& s, int rate, int64_t* span = nullptr) {
    int64_t first = -1, last = -1, crossings = 0;
    for (size_t i = 1; i < s.size(); ++i)
        if (s[i - 1] < 0 && s[i] >= 0 && s[i] - s[i - 1] > 100) {
            if (first < 0) first = int64_t(i);
            last = int64_t(i);
            ++crossings;
        }
    if (span) *span = last - first;
    if (crossings < 10) return 0.0;
    return double(crossings - 1) * rate / double(last - first);
}

class FailingSound : public SoundOutput {
public:
    std::string open(int, int, Fill) override { return "no sound device: unplugged"; }
    SoundFormat format() const override { return {}; }
    void setPaused(bool) override {}
    double latencySeconds() const override { return 0; }
    void close() override {}
};

TEST_F(MoviePlayerTest, ReportsTheMoviesFormat) {
    auto p = createMoviePlayer();
    ASSERT_EQ(p->load(movie("tone.avi")), "");
    EXPECT_TRUE(p->loaded());
    EXPECT_EQ(p->width(), 320);
    EXPECT_EQ(p->height(), 240);
    EXPECT_DOUBLE_EQ(p->frameRate(), 25.0);
    EXPECT_EQ(p->lengthInFrames(), 50);
    EXPECT_NEAR(double(p->durationMs()), 2000.0, 50.0);
    EXPECT_EQ(p->hasSound(), p->soundStatus().empty());

    ASSERT_EQ(p->load(movie("ntsc.mp4")), "");
    EXPECT_NEAR(p->frameRate(), 29.97, 0.01);
    EXPECT_NEAR(double(p->lengthInFrames()), 60.0, 1.0);
    EXPECT_FALSE(p->hasSound());
    EXPECT_EQ(p->soundStatus(), "the movie has no sound");

    p->free();
    EXPECT_FALSE(p->loaded());
    EXPECT_EQ(p->currentFrame(), 0);
}

TEST_F(MoviePlayerTest, FilesThatAreNoMoviesGiveErrors) {
    auto p = createMoviePlayer();
    for (const char* name : {"text.avi", "missing.avi", "tone.wav"}) {
        std::string error = p->load(movie(name));
        EXPECT_NE(error.find(movie(name)), std::string::npos) << error;
        EXPECT_FALSE(p->loaded());
        p->play();  // harmless without a movie
        EXPECT_EQ(p->currentFrame(), 0);
    }
    EXPECT_NE(p->load(movie("tone.wav")).find("no video"), std::string::npos);
}

TEST_F(MoviePlayerTest, FramesAdvanceHoldWhilePausedAndStopAtZero) {
    auto p = createMoviePlayer();
    ASSERT_EQ(p->load(movie("tone.avi")), "");
    p->setDisplaySize(160, 120);
    const double started = monotonicSeconds();
    p->play();
    EXPECT_TRUE(p->playing());
    ASSERT_TRUE(waitUntil([&] { return p->currentFrame() >= 2; }));
    // No further than the time that passed allows (the clock waits for the first picture).
    EXPECT_LE(p->highestFrameShown(), int64_t((monotonicSeconds() - started) * 25) + 2);
    uint64_t serial = 0;
    std::shared_ptr<const Image> picture = p->currentPicture(&serial);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width(), 160);
    EXPECT_EQ(picture->height(), 120);
    EXPECT_GE(serial, 1u);
    EXPECT_EQ(picture->pixel(80, 60)[3], 255);

    p->pause();
    EXPECT_TRUE(p->paused());
    int64_t held = p->currentFrame();
    // The clock stands: any moment, now or later, reads the same position.
    double now = monotonicSeconds();
    EXPECT_EQ(p->positionAt(now + 3.0), p->positionAt(now));
    EXPECT_EQ(p->currentFrame(), held);
    p->resume();
    EXPECT_TRUE(waitUntil([&] { return p->currentFrame() > held; }));

    p->stop();
    EXPECT_FALSE(p->playing());
    EXPECT_EQ(p->currentFrame(), 0);

    // playing again starts from the beginning: the first picture shown is
    // the first of the movie, and the clock waits for it at 0.
    const double again = monotonicSeconds();
    p->play();
    ASSERT_TRUE(waitUntil([&] { return p->highestFrameShown() >= 0; }));
    EXPECT_LE(p->highestFrameShown(), int64_t((monotonicSeconds() - again) * 25) + 2);
    p->free();
}

// The frame number a picture of bits.avi shows.
static int frameNumberShown(const Image& picture) {
    int n = 0;
    for (int bit = 0; bit < 10; ++bit)
        if (picture.pixel((32 * bit + 16) * picture.width() / 320, picture.height() / 6)[1] > 128) n |= 1 << bit;
    return n;
}

static std::shared_ptr<const Image> waitForPicture(MoviePlayer& p, uint64_t after) {
    auto until = std::chrono::steady_clock::now() + 5s;
    uint64_t serial = 0;
    std::shared_ptr<const Image> picture;
    while (std::chrono::steady_clock::now() < until) {
        picture = p.currentPicture(&serial);
        if (picture && serial > after) return picture;
        std::this_thread::sleep_for(5ms);
    }
    return nullptr;
}

TEST_F(MoviePlayerTest, PlaysFromAPositionStandingOrRunning) {
    auto p = createMoviePlayer();
    ASSERT_EQ(p->load(movie("bits.avi")), "");
    // Between two key pictures: the decoder goes on from the one before.
    p->playFrom(1.2, true);
    std::shared_ptr<const Image> picture = waitForPicture(*p, 0);
    ASSERT_TRUE(picture);
    EXPECT_EQ(frameNumberShown(*picture), 30);
    EXPECT_TRUE(p->paused());
    EXPECT_EQ(p->currentFrame(), 30);
    double now = monotonicSeconds();
    EXPECT_DOUBLE_EQ(p->positionAt(now + 5.0), 1.2);  // standing
    EXPECT_EQ(p->highestFrameShown(), 30);

    // One picture on, then back: the picture and the clock follow.
    uint64_t serial = 0;
    p->currentPicture(&serial);
    p->playFrom(31 / 25.0, true);
    picture = waitForPicture(*p, serial);
    ASSERT_TRUE(picture);
    EXPECT_EQ(frameNumberShown(*picture), 31);
    EXPECT_EQ(p->currentFrame(), 31);
    p->currentPicture(&serial);
    p->playFrom(0.4, true);
    picture = waitForPicture(*p, serial);
    ASSERT_TRUE(picture);
    EXPECT_EQ(frameNumberShown(*picture), 10);

    // Running on from there: the clock is the movie's time, read at any moment.
    const double resumed = monotonicSeconds();
    p->resume();
    ASSERT_TRUE(waitUntil([&] { return p->highestFrameShown() >= 13; }));
    now = monotonicSeconds();
    double at = p->positionAt(now);
    EXPECT_GE(at, 0.5);
    EXPECT_LE(at - 0.4, now - resumed + 0.05);  // no faster than the wall clock
    EXPECT_NEAR(p->positionAt(now - 0.1), at - 0.1, 1e-6);
    p->currentPicture(&serial);
    picture = waitForPicture(*p, serial);
    ASSERT_TRUE(picture);
    EXPECT_GT(frameNumberShown(*picture), 10);

    // A time beyond the end: the movie ends by itself.
    p->playFrom(60.0, false);
    EXPECT_TRUE(waitForEnd(*p, 5s));
    EXPECT_EQ(p->currentFrame(), 0);
    p->free();
}

TEST_F(MoviePlayerTest, SpeedChangesTheTempoNotThePitch) {
    for (double speed : {0.5, 2.0}) {
        auto sound = std::make_unique<CapturingSound>();
        CapturingSound* device = sound.get();
        auto p = createMoviePlayer(std::move(sound));
        ASSERT_EQ(p->load(movie("tone.avi")), "");  // 2 s, 440 Hz
        ASSERT_TRUE(p->hasSound());
        p->setSpeed(speed);
        EXPECT_EQ(p->speed(), speed);
        p->play();
        ASSERT_TRUE(waitForEnd(*p, 15s)) << speed;
        // The movie's 2 s of tone are heard for 4 s at half speed and 1 s
        // at double, at the same pitch.
        std::vector<int16_t> heard = device->captured();
        const int rate = device->format().rate;
        int64_t span = 0;
        EXPECT_NEAR(toneHz(heard, rate, &span), 440.0, 15.0) << speed;
        EXPECT_NEAR(double(span) / rate, 2.0 / speed, 0.15 / speed) << speed;
        p->free();
    }
}

TEST_F(MoviePlayerTest, ChangingSpeedWhilePlayingKeepsThePosition) {
    auto p = createMoviePlayer(std::make_unique<CapturingSound>());
    ASSERT_EQ(p->load(movie("bits.avi")), "");
    p->playFrom(2.0, true);
    ASSERT_TRUE(waitForPicture(*p, 0));
    p->setSpeed(0.5);
    EXPECT_TRUE(p->paused());
    EXPECT_NEAR(p->positionAt(monotonicSeconds()), 2.0, 1e-9);
    uint64_t serial = 0;
    p->currentPicture(&serial);
    std::shared_ptr<const Image> picture = waitForPicture(*p, serial);
    ASSERT_TRUE(picture);
    EXPECT_EQ(frameNumberShown(*picture), 50);
    const double resumed = monotonicSeconds();
    p->resume();
    ASSERT_TRUE(waitUntil([&] { return p->highestFrameShown() >= 53; }));
    const double now = monotonicSeconds();
    double at = p->positionAt(now);
    EXPECT_GT(at, 2.0);
    EXPECT_LE(at - 2.0, (now - resumed) * 0.5 + 0.05);  // half as fast as the wall clock
    p->free();
}

TEST_F(MoviePlayerTest, PlaysToTheEndAndReadsZero) {
    auto p = createMoviePlayer();
    ASSERT_EQ(p->load(movie("silent.mp4")), "");
    p->play();
    EXPECT_TRUE(waitForEnd(*p, 15s));
    EXPECT_EQ(p->currentFrame(), 0);
    // One second at 25 fps: pictures 0 to 24; a late one may be dropped,
    // but the run went on to the end.
    EXPECT_GE(p->highestFrameShown(), 20);
    EXPECT_LE(p->highestFrameShown(), 24);
}

TEST_F(MoviePlayerTest, OddSizesAndVariableFrameRatesPlay) {
    auto p = createMoviePlayer();
    for (const char* name : {"odd.avi", "vfr.mkv"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(p->load(movie(name)), "");
        p->play();
        EXPECT_TRUE(waitForEnd(*p, 5s));
        std::shared_ptr<const Image> picture = p->currentPicture();
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->width(), p->width());
        EXPECT_EQ(picture->height(), p->height());
    }
    EXPECT_EQ(p->width(), 320);
}

TEST_F(MoviePlayerTest, WithoutASoundDeviceTheMoviePlaysSilently) {
    auto p = createMoviePlayer(std::make_unique<FailingSound>());
    ASSERT_EQ(p->load(movie("tone.avi")), "");
    EXPECT_FALSE(p->hasSound());
    EXPECT_EQ(p->soundStatus(), "no sound device: unplugged");
    p->play();
    EXPECT_TRUE(waitUntil([&] { return p->currentFrame() >= 2 && p->highestFrameShown() >= 2; }));
    p->stop();
}

}  // namespace
