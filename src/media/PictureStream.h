#pragma once
// The encoder skeleton the movie writers share (timed AVI, overlay movies):
// one video stream of pictures, each encoded once and kept (its packet for
// codecs without prediction between frames, else its converted frame) to be
// written again for every further frame that shows it, then drained and
// closed with the container's trailer.
//
// The writer opens the container, the stream and the encoder, converts each
// picture and hands the frame here; failures come back as the writer's own
// message (its `fail` / `failAv`).
#include <cstdint>
#include <functional>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "media/KeptPictures.h"

struct SwsContext;

// Frees what a movie writer holds open around its stream: the picture
// converter, the encoder and the container (its stream with it).
void freeMovieContexts(SwsContext*& converter, AVCodecContext*& encoder, AVFormatContext*& format, AVStream*& stream);

class PictureStream {
public:
    using Fail = std::function<std::string(const std::string& what)>;
    using FailAv = std::function<std::string(const std::string& what, int code)>;

    struct Setup {
        AVFormatContext* format = nullptr;
        AVStream* stream = nullptr;
        AVCodecContext* encoder = nullptr;  // null: packets are made by the writer (uncompressed)
        AVRational frameTb{1, 25};          // one frame
        bool keepPackets = true;            // false: kept frames are encoded again
        const char* codecWord = "the codec";  // how messages name the encoder
        bool interleave = true;             // av_interleaved_write_frame, else av_write_frame
        std::function<int()> ioError;       // the output's pending error (< 0), or null
        Fail fail;
        FailAv failAv;
    };

    PictureStream() = default;
    PictureStream(const PictureStream&) = delete;
    PictureStream& operator=(const PictureStream&) = delete;
    ~PictureStream() { close(); }

    // Starts a stream; false when out of memory.
    bool start(Setup setup);
    // Frees the kept pictures and the scratch packet; the counts stay.
    void close();

    // A packet the writer made itself (taken): kept and written.
    std::string writeOwnPacket(AVPacket* packet, int& id);
    // A converted picture (taken): encoded, kept and written.
    std::string writePicture(AVFrame* frame, int& id);
    // Picture `id` once more.
    std::string repeat(int id);
    void release(int id) { kept_.release(id); }
    // Drains the encoder (when it was given frames) and writes the trailer.
    std::string finish();

    void resetCounts() { frames_ = encoded_ = 0; }
    int64_t frames() const { return frames_; }
    int64_t encoded() const { return encoded_; }

private:
    std::string writePacket(const AVPacket* stored);
    std::string encode(AVFrame* frame);  // sends one frame (or nullptr to drain) and writes what comes out
    int ioError() const { return setup_.ioError ? setup_.ioError() : 0; }

    Setup setup_;
    AVPacket* scratch_ = nullptr;
    KeptPictures kept_;
    int64_t frames_ = 0, encoded_ = 0;
};
