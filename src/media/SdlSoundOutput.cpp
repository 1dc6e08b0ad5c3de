// Sound output through SDL2's audio device API.
#include <SDL.h>

#include <mutex>

#include "timing/SoundOutput.h"

namespace {

class SdlSoundOutput : public SoundOutput {
public:
    ~SdlSoundOutput() override { close(); }

    std::string open(int rate, int channels, Fill fill) override {
        close();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return std::string("no sound system: ") + SDL_GetError();
        initialised_ = true;
        fill_ = std::move(fill);

        SDL_AudioSpec want{}, have{};
        want.freq = rate > 0 ? rate : 48000;
        want.channels = Uint8(channels > 0 && channels <= 8 ? channels : 2);
        want.format = AUDIO_S16SYS;
        // about 20 ms, a power of two
        int samples = 512;
        while (samples < want.freq / 50 && samples < 8192) samples *= 2;
        want.samples = Uint16(samples);
        want.callback = &SdlSoundOutput::callback;
        want.userdata = this;
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have,
                                      SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
        if (device_ == 0) {
            std::string why = std::string("no sound device: ") + SDL_GetError();
            close();
            return why;
        }
        format_ = SoundFormat{have.freq, have.channels};
        bufferFrames_ = have.samples;
        return {};
    }

    SoundFormat format() const override { return format_; }

    void setPaused(bool paused) override {
        if (device_) SDL_PauseAudioDevice(device_, paused ? 1 : 0);
    }

    double latencySeconds() const override {
        return format_.rate > 0 ? double(bufferFrames_) / format_.rate : 0.0;
    }

    void close() override {
        if (device_) {
            SDL_CloseAudioDevice(device_);  // waits for a running callback
            device_ = 0;
        }
        if (initialised_) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            initialised_ = false;
        }
        format_ = {};
        fill_ = nullptr;
    }

private:
    static void callback(void* self, Uint8* stream, int len) {
        auto* me = static_cast<SdlSoundOutput*>(self);
        const int frameBytes = int(sizeof(int16_t)) * (me->format_.channels > 0 ? me->format_.channels : 1);
        if (me->fill_)
            me->fill_(reinterpret_cast<int16_t*>(stream), len / frameBytes);
        else
            SDL_memset(stream, 0, size_t(len));
    }

    SDL_AudioDeviceID device_ = 0;
    bool initialised_ = false;
    SoundFormat format_;
    int bufferFrames_ = 0;
    Fill fill_;
};

}  // namespace

std::unique_ptr<SoundOutput> createSoundOutput() {
    return std::make_unique<SdlSoundOutput>();
}
