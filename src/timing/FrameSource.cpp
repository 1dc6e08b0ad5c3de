#include "timing/FrameSource.h"

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

MovieFrameSource::MovieFrameSource(MoviePlayer& movie) : movie_(movie), rate_(movieRate(movie)) {}

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

void MovieFrameSource::start() {
    if (movie_.playing() && movie_.paused())
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
    return movie_.currentFrame();
}

bool MovieFrameSource::running() const {
    return movie_.playing();
}

ExternalFrameSource::ExternalFrameSource(float projectFps, ExternalClock::Micros now)
    : clock_(externalClockRate(projectFps), std::move(now)) {}
