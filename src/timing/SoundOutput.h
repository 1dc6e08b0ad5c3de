#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Format of a sound device: signed 16-bit samples, channels interleaved.
struct SoundFormat {
    int rate = 0;
    int channels = 0;
};

// A sound device that pulls samples from a callback on its own thread.
class SoundOutput {
public:
    // Fills `frames` sample frames (frames x channels values); must fill
    // them all (with silence when there is nothing to play).
    using Fill = std::function<void(int16_t* samples, int frames)>;

    virtual ~SoundOutput() = default;

    // Opens the device paused, asking for this rate and channel count; the
    // device may choose others (see format()). Returns why there is no
    // sound, empty on success.
    virtual std::string open(int rate, int channels, Fill fill) = 0;
    virtual SoundFormat format() const = 0;
    virtual void setPaused(bool paused) = 0;
    // How long the samples handed over by one Fill call take before they
    // are heard (the device buffer).
    virtual double latencySeconds() const = 0;
    virtual void close() = 0;
};

std::unique_ptr<SoundOutput> createSoundOutput();
