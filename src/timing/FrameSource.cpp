#include "timing/FrameSource.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "timing/MoviePlayer.h"

namespace {
int movieRate(const MoviePlayer& m) {
    int r = movieClockRate(m.lengthInFrames(), m.durationMs());
    if (r > 0) return r;
    // Length or duration unknown: the stream's own rate.
    double fps = m.frameRate();
    if (!(fps >= 1.0)) return 25;
    return fps > 1000.0 ? 1000 : int(std::lround(fps));
}
}  // namespace

int64_t steadyMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t movieFrameAt(double seconds, double fps, int64_t length) {
    if (!(seconds > 0.0) || !(fps > 0.0)) return 0;
    double f = std::floor(seconds * fps + 1e-6);
    if (length > 0 && f > double(length - 1)) return length - 1;
    return f > 4e18 ? int64_t(4e18) : int64_t(f);
}

MovieFrameSource::MovieFrameSource(MoviePlayer& movie, ExternalClock::Micros now)
    : movie_(movie),
      rate_(movieRate(movie)),
      fps_(movie.frameRate() > 0.0 ? movie.frameRate() : 25.0),
      now_(now ? std::move(now) : ExternalClock::Micros(&steadyMicros)) {}

int64_t MovieFrameSource::totalFrames() const {
    int64_t n = movie_.lengthInFrames();
    return n > 0 ? n : 0;
}

void MovieFrameSource::open() {
    movie_.play();
}

bool MovieFrameSource::firstPictureShown() {
    if (movie_.currentFrame() != 0) {
        movie_.pause();
        return true;
    }
    // A movie that ended (or failed) before showing a second frame.
    return !movie_.playing();
}

void MovieFrameSource::start(int64_t fromUs) {
    if (fromUs > 0)
        movie_.playFrom(double(fromUs) / 1e6, false);
    else if (movie_.playing() && movie_.paused())
        movie_.resume();
    else
        movie_.play();
}

void MovieFrameSource::stop() {
    movie_.stop();
}

void MovieFrameSource::finish() {
    movie_.stop();
    movie_.free();
}

int64_t MovieFrameSource::frame() const {
    return frameOfPosition(positionUs());
}

bool MovieFrameSource::running() const {
    return movie_.playing();
}

int64_t MovieFrameSource::positionUs(std::optional<int64_t> atUs) const {
    if (!movie_.playing()) return 0;
    double s = movie_.positionAt(double(atUs ? *atUs : now_()) / 1e6);
    return s > 0.0 ? int64_t(std::llround(s * 1e6)) : 0;
}

// The recorder counts movie time in frames of its clock rate, so that the
// seconds of a time code are the movie's seconds also where the movie's own
// rate is not a whole number; the last picture is as far as it goes.
int64_t MovieFrameSource::frameOfPosition(int64_t positionUs) const {
    double s = double(std::max<int64_t>(positionUs, 0)) / 1e6;
    int64_t length = movie_.lengthInFrames();
    if (length > 0) s = std::min(s, double(length - 1) / fps_);
    return int64_t(std::floor(s * rate_ + 1e-6));
}

int64_t MovieFrameSource::positionOfFrame(int64_t frame) const {
    if (frame <= 0) return 0;
    return int64_t(std::ceil(double(frame) * 1e6 / rate_));
}

void MovieFrameSource::stepPictures(int pictures) {
    if (!movie_.playing()) return;
    int64_t k = movieFrameAt(double(positionUs()) / 1e6, fps_, movie_.lengthInFrames()) + pictures;
    if (k < 0) k = 0;
    int64_t length = movie_.lengthInFrames();
    if (length > 0 && k > length - 1) k = length - 1;
    // The picture's own time, to the microsecond.
    movie_.playFrom(std::ceil(double(k) * 1e6 / fps_ - 1e-3) / 1e6, true);
}

bool MovieFrameSource::paused() const {
    return movie_.playing() && movie_.paused();
}

void MovieFrameSource::setPaused(bool paused) {
    if (!movie_.playing()) return;
    paused ? movie_.pause() : movie_.resume();
}

void MovieFrameSource::moveTo(int64_t positionUs) {
    if (!movie_.playing()) return;
    movie_.playFrom(double(std::max<int64_t>(positionUs, 0)) / 1e6, true);
}

ExternalFrameSource::ExternalFrameSource(float projectFps, ExternalClock::Micros now)
    : clock_(externalClockRate(projectFps), std::move(now)) {}

int64_t ExternalFrameSource::frameOfPosition(int64_t positionUs) const {
    return positionUs > 0 ? positionUs * clock_.rate() / 1000000 : 0;
}

int64_t ExternalFrameSource::positionOfFrame(int64_t frame) const {
    if (frame <= 0) return 0;
    const int64_t r = clock_.rate();
    return (frame * 1000000 + r - 1) / r;
}
