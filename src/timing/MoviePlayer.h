#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "timing/SoundOutput.h"

class Image;

// Plays a movie for the timing recorder: decodes in the background, keeps
// the picture that is due now at the display size, and counts frames
// against the sound when there is sound, against a monotonic clock when not.
//
// All calls come from one thread (the user interface).
class MoviePlayer {
public:
    virtual ~MoviePlayer() = default;

    // Opens a movie, replacing any loaded one. Returns an error text for the
    // user, empty on success.
    virtual std::string load(const std::string& path) = 0;
    virtual bool loaded() const = 0;

    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual double frameRate() const = 0;      // frames per second
    virtual int64_t lengthInFrames() const = 0;
    virtual int64_t durationMs() const = 0;

    // Size of the pictures handed out by currentPicture(); the movie's size
    // until set.
    virtual void setDisplaySize(int width, int height) = 0;

    // Starts from the beginning (when stopped) or continues after pause().
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Stops and goes back to the beginning.
    virtual void stop() = 0;
    virtual bool playing() const = 0;  // started and not stopped or ended (paused counts)
    virtual bool paused() const = 0;

    // Frame number at the current position; 0 when stopped, also after the
    // movie stopped by itself at its end.
    virtual int64_t currentFrame() const = 0;

    // Movie time in seconds at a moment of the monotonic clock (seconds of
    // monotonicSeconds(), Clock.h), past or coming, as long as the movie is
    // not paused, moved or stopped in between; 0 when stopped.
    virtual double positionAt(double monotonicSeconds) const = 0;

    // Starts playing at a movie time (from the first picture at or after
    // it); with `paused` the movie stands on that picture until resume().
    virtual void playFrom(double seconds, bool paused) = 0;

    // Playback speed (1 normal, 0.5 half; 0.25 to 4); the sound keeps its
    // pitch. Positions and frames stay movie time.
    virtual void setSpeed(double speed) = 0;
    virtual double speed() const = 0;

    // The picture due now at the display size (RGBA, opaque), or nullptr
    // before the first one. `serial` (when given) grows with every new picture.
    virtual std::shared_ptr<const Image> currentPicture(uint64_t* serial = nullptr) const = 0;

    // The highest frame number among the pictures handed out since the
    // movie last started or moved (-1 before the first): what tests check,
    // since on a loaded machine they cannot poll fast enough to see each one.
    virtual int64_t highestFrameShown() const { return -1; }

    // Whether the movie's sound is heard; when not, soundStatus() says why
    // ("the movie has no sound", "no sound device: ...").
    virtual bool hasSound() const = 0;
    virtual std::string soundStatus() const = 0;

    // Stops and closes the movie.
    virtual void free() = 0;
};

// The frame shown at a movie time: whole frames since the start, within
// the movie's length when it is known.
int64_t movieFrameAt(double seconds, double fps, int64_t length);

std::unique_ptr<MoviePlayer> createMoviePlayer(std::unique_ptr<SoundOutput> sound = createSoundOutput());
