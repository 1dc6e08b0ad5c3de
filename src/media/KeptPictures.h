#pragma once
// The pictures a movie writer keeps so that a picture shown for many frames
// is encoded once: for codecs without prediction between frames its packet,
// written again by reference for every further frame; for the others the
// converted frame, encoded again.
#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

class KeptPictures {
public:
    KeptPictures() = default;
    KeptPictures(const KeptPictures&) = delete;
    KeptPictures& operator=(const KeptPictures&) = delete;
    ~KeptPictures() { clear(); }

    // Takes the packet or frame; returns its picture id.
    int keepPacket(AVPacket* packet);
    int keepFrame(AVFrame* frame);
    // The kept packet or frame of `id`; nullptr for an unknown or released one.
    const AVPacket* packet(int id) const;
    const AVFrame* frame(int id) const;
    // Frees the picture `id` (it is not shown again).
    void release(int id);
    void clear();

    // Encodes `frame` (taken and freed) alone, as picture `pts`, and keeps
    // its one packet in `id`. Returns 0, or the FFmpeg error with `step`
    // naming what failed.
    enum class Step { Done, Send, Receive, Memory };
    int encodeAndKeep(AVCodecContext* encoder, AVFrame* frame, int64_t pts, int& id, Step& step);

private:
    std::vector<AVPacket*> packets_;
    std::vector<AVFrame*> frames_;
};

// Writes a kept packet again as frame `index` of a movie whose frames count
// in `frameTb`: a new reference with new time stamps, marked as a key frame.
// Returns what av_write_frame returns (outOfMemory: no new reference).
int writeKeptPacket(AVFormatContext* format, AVStream* stream, AVPacket* scratch, const AVPacket* stored,
                    int64_t index, AVRational frameTb, bool& outOfMemory);

// Picture `id` once more, in a writer that keeps its pictures here: with
// kept packets (`packets`) `write` gets its packet again; otherwise `encode`
// gets a copy of its frame (the encoder may still hold a reference to the
// frame it was given last). `fail` makes the writer's message of a problem.
template <class Write, class Encode, class Fail>
std::string repeatKeptPicture(const KeptPictures& kept, int id, bool packets, Write write, Encode encode, Fail fail) {
    if (packets) {
        const AVPacket* stored = kept.packet(id);
        return stored ? write(stored) : fail("an unknown picture was repeated");
    }
    if (!kept.frame(id)) return fail("an unknown picture was repeated");
    AVFrame* copy = av_frame_clone(kept.frame(id));
    if (!copy) return fail("out of memory");
    std::string why = encode(copy);
    av_frame_free(&copy);
    return why;
}

// The end of the movie's stream: an encoder that was given frames (`drain`)
// hands out what it still holds (`encode(nullptr)`), then the container's
// trailer is written. The writer's message, or "".
template <class Encode, class FailAv>
std::string finishKeptStream(AVFormatContext* format, bool drain, Encode encode, FailAv failAv) {
    if (drain) {
        std::string why = encode(nullptr);
        if (!why.empty()) return why;
    }
    const int r = av_write_trailer(format);
    return r < 0 ? failAv("could not complete the movie", r) : std::string();
}
