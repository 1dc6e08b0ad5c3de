#include "timing/ExternalClock.h"

#include <chrono>
#include <cmath>

ExternalClock::ExternalClock(int framesPerSecond, Micros now)
    : rate_(framesPerSecond > 0 ? framesPerSecond : 1), now_(now ? std::move(now) : Micros(&ExternalClock::steadyMicros)) {}

int64_t ExternalClock::steadyMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void ExternalClock::start(int64_t fromMicros) {
    running_ = true;
    paused_ = false;
    heldElapsed_ = 0;
    startedAt_ = now_() - (fromMicros > 0 ? fromMicros : 0);
}

void ExternalClock::stop() {
    running_ = false;
    paused_ = false;
    heldElapsed_ = 0;
}

void ExternalClock::pause() {
    if (!running_ || paused_) return;
    heldElapsed_ = elapsedMicros();
    paused_ = true;
}

void ExternalClock::resume() {
    if (!running_ || !paused_) return;
    startedAt_ = now_() - heldElapsed_;
    paused_ = false;
}

int64_t ExternalClock::elapsedMicros() const {
    return elapsedMicrosAt(now_());
}

int64_t ExternalClock::elapsedMicrosAt(int64_t atMicros) const {
    if (!running_) return 0;
    if (paused_) return heldElapsed_;
    int64_t e = atMicros - startedAt_;
    return e > 0 ? e : 0;
}

int64_t ExternalClock::frame() const {
    // exact integer arithmetic: no drift over hours
    return elapsedMicros() * rate_ / 1000000;
}

int externalClockRate(float projectFps) {
    if (!(projectFps > 0.0f)) return 1;
    double r = std::nearbyint(double(projectFps));  // default rounding: halves to even
    return r < 1.0 ? 1 : r > 1000.0 ? 1000 : int(r);
}

int movieClockRate(int64_t lengthFrames, int64_t durationMs) {
    if (lengthFrames <= 0 || durationMs <= 0) return 0;
    int64_t r = lengthFrames * 1000 / durationMs;
    return r > 100000 ? 100000 : int(r);
}
