#pragma once
#include <cstdint>
#include <memory>
#include <optional>

#include "timing/ExternalClock.h"

class MoviePlayer;

// The clock the timing recorder reads: the frame counter of the movie it
// plays itself (Internal), or a frame counter of its own while the movie
// plays in another program (External).
class FrameSource {
public:
    virtual ~FrameSource() = default;

    virtual bool internal() const = 0;
    // Frames per second of the counter (at least 1).
    virtual int rate() const = 0;
    // Length of what is timed, in frames of rate().
    virtual int64_t totalFrames() const = 0;

    // The window has opened: the movie starts so its first picture shows.
    virtual void open() = 0;
    // While the window waits for that first picture: true once it has come
    // (the movie is then paused on it), or when the movie cannot show one.
    virtual bool firstPictureShown() = 0;
    // START: the movie goes on (from the start when it had stopped); the
    // counter starts at 0. With a movie time `fromUs` > 0 both start there.
    virtual void start(int64_t fromUs = 0) = 0;
    // STOP: the movie stops; the counter stops and reads 0.
    virtual void stop() = 0;
    // The run is over: the movie is stopped and closed.
    virtual void finish() = 0;

    virtual int64_t frame() const = 0;
    // False once the movie has stopped by itself (always true for the counter
    // between start() and stop()).
    virtual bool running() const = 0;

    // Movie time in microseconds at a moment of the monotonic clock
    // (steadyMicros()); now when not given.
    virtual int64_t positionUs(std::optional<int64_t> atUs = std::nullopt) const = 0;
    // The frame of a movie time, and the movie time at which a frame begins.
    virtual int64_t frameOfPosition(int64_t positionUs) const = 0;
    virtual int64_t positionOfFrame(int64_t frame) const = 0;

    // Pause while running: the clock stands still; a paused movie can be
    // moved (frame steps, jumps back), the counter cannot.
    virtual bool paused() const = 0;
    virtual void setPaused(bool paused) = 0;
    virtual bool canMove() const { return false; }
    virtual void moveTo(int64_t /*positionUs*/) {}
    // Moves by whole pictures of the movie.
    virtual void stepPictures(int /*pictures*/) {}
};

// Microseconds of the monotonic clock the key events are stamped with.
int64_t steadyMicros();

// Internal: frames of the movie, which the caller keeps alive.
class MovieFrameSource : public FrameSource {
public:
    // `now` reads monotonic microseconds (tests pass a fake).
    explicit MovieFrameSource(MoviePlayer& movie, ExternalClock::Micros now = {});

    bool internal() const override { return true; }
    int rate() const override { return rate_; }
    int64_t totalFrames() const override;
    void open() override;
    bool firstPictureShown() override;
    void start(int64_t fromUs = 0) override;
    void stop() override;
    void finish() override;
    int64_t frame() const override;
    bool running() const override;
    int64_t positionUs(std::optional<int64_t> atUs = std::nullopt) const override;
    int64_t frameOfPosition(int64_t positionUs) const override;
    int64_t positionOfFrame(int64_t frame) const override;
    bool paused() const override;
    void setPaused(bool paused) override;
    bool canMove() const override { return true; }
    void moveTo(int64_t positionUs) override;
    void stepPictures(int pictures) override;

private:
    MoviePlayer& movie_;
    int rate_;
    double fps_;
    ExternalClock::Micros now_;
};

// External: frames = running time x rate, from a monotonic clock.
class ExternalFrameSource : public FrameSource {
public:
    // The rate is the project's frame rate rounded; `now` reads monotonic
    // microseconds (tests pass a fake).
    explicit ExternalFrameSource(float projectFps, ExternalClock::Micros now = {});

    bool internal() const override { return false; }
    int rate() const override { return clock_.rate(); }
    // Ten hours.
    int64_t totalFrames() const override { return int64_t(36000) * clock_.rate(); }
    void open() override {}
    bool firstPictureShown() override { return true; }
    void start(int64_t fromUs = 0) override { clock_.start(fromUs); }
    void stop() override { clock_.stop(); }
    void finish() override { clock_.stop(); }
    int64_t frame() const override { return clock_.frame(); }
    bool running() const override { return clock_.running(); }
    int64_t positionUs(std::optional<int64_t> atUs = std::nullopt) const override {
        return atUs ? clock_.elapsedMicrosAt(*atUs) : clock_.elapsedMicros();
    }
    int64_t frameOfPosition(int64_t positionUs) const override;
    int64_t positionOfFrame(int64_t frame) const override;
    bool paused() const override { return clock_.paused(); }
    void setPaused(bool paused) override { paused ? clock_.pause() : clock_.resume(); }

private:
    ExternalClock clock_;
};
