#pragma once
#include <cstdint>
#include <functional>

// The frame counter of the timing recorder when the movie plays in another
// program: frames = elapsed running time x rate, truncated. Pausing holds
// the count; stopping returns it to 0.
class ExternalClock {
public:
    using Micros = std::function<int64_t()>;  // monotonic microseconds

    explicit ExternalClock(int framesPerSecond, Micros now = {});

    void start(int64_t fromMicros = 0);  // running, from that elapsed time (frame 0 by default)
    void stop();   // not running, frame 0
    void pause();
    void resume();

    bool running() const { return running_; }
    bool paused() const { return paused_; }
    int rate() const { return rate_; }
    int64_t elapsedMicros() const;
    // The elapsed time the clock read (or will read) at a moment of its own
    // monotonic time, as long as it is not paused or restarted in between.
    int64_t elapsedMicrosAt(int64_t atMicros) const;
    int64_t frame() const;

    static int64_t steadyMicros();

private:
    int rate_;
    Micros now_;
    bool running_ = false, paused_ = false;
    int64_t startedAt_ = 0;  // when running: now - elapsed
    int64_t heldElapsed_ = 0;
};

// The rate of that counter: the project rate rounded to the nearest integer
// (halves to even); at least 1.
int externalClockRate(float projectFps);

// The rate of the movie clock: length in frames x 1000 / duration in
// milliseconds, truncated; 0 when unknown.
int movieClockRate(int64_t lengthFrames, int64_t durationMs);
