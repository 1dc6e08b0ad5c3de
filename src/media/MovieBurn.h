// The burn-in's parts shared by its files: the caption layer, the sound
// conversion and the run over the movie. Only media/ includes this.
#pragma once

#include "export/BurnIn.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "media/AvError.h"
#include "media/MediaFiles.h"

#include "base/Image.h"

namespace burnin {

// One set's caption at the movie's size, ready to blend into 4:2:0.
struct CaptionLayer {
    int set = -1;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // bounding box of visible pixels, even-aligned; empty when x1 <= x0
    int width = 0, height = 0;
    std::vector<uint8_t> y, a;         // full size
    std::vector<uint8_t> u, v, ca;     // half size: chroma and the mean alpha of its four pixels
};

// Straight-alpha RGBA scaled smoothly to another size.
Image scaledCaption(const Image& src, int w, int h);
// The Y, U, V and alpha planes of a caption picture in the movie's colour space.
void buildLayer(const Image& rgba, bool bt709, CaptionLayer& layer);
// A picture turned by quarter turns counterclockwise (0 to 3).
Image turnedCounterclockwise(const Image& src, int quarterTurns);
// The display matrix of a stream (how players turn its pictures), or null.
const int32_t* displayMatrixOf(const AVStream* s);
bool setDisplayMatrix(AVStream* s, const int32_t* matrix);
// Blends the layer into an 8-bit 4:2:0 frame over its bounding box.
void blendLayer(const CaptionLayer& l, AVFrame* f);

// A sound stream the container cannot hold, encoded as AAC.
struct AudioTranscode {
    int in = -1;
    AVStream* out = nullptr;
    AVCodecContext* dec = nullptr;
    AVCodecContext* enc = nullptr;
    SwrContext* swr = nullptr;
    AVAudioFifo* fifo = nullptr;
    int64_t nextPts = 0;
    ~AudioTranscode() {
        avcodec_free_context(&dec);
        avcodec_free_context(&enc);
        swr_free(&swr);
        if (fifo) av_audio_fifo_free(fifo);
    }
};

class Burn {
public:
    Burn(const BurnJob& job, const BurnPictureSource& pictures, const BurnProgress& progress,
         const std::atomic<bool>* cancel)
        : job_(job), pictures_(pictures), progress_(progress), cancel_(cancel) {}
    ~Burn() { cleanup(); }
    BurnResult run();

private:
    std::string openInput();
    std::string openOutput();
    std::string openVideoOutput(AVStream* is);
    std::string openSoundConversion(unsigned in, AVStream* os);
    std::string processVideoPacket(AVPacket* pkt);  // nullptr drains
    std::string processFrame(AVFrame* frame);
    std::string encode(AVFrame* frame);  // nullptr drains
    std::string processAudioPacket(AudioTranscode& t, AVPacket* pkt);
    std::string encodeAudio(AudioTranscode& t, bool flush);
    std::string captionFor(int set);
    void report(bool force);
    void cleanup();

    const BurnJob& job_;
    const BurnPictureSource& pictures_;
    const BurnProgress& progress_;
    const std::atomic<bool>* cancel_;
    BurnResult result_;
    OutputFile file_;  // the new movie until it is complete

    AVFormatContext* in_ = nullptr;
    AVFormatContext* out_ = nullptr;
    int videoIn_ = -1;
    AVStream* videoOut_ = nullptr;
    AVCodecContext* dec_ = nullptr;
    AVCodecContext* enc_ = nullptr;
    SwsContext* sws_ = nullptr;
    AVFrame* converted_ = nullptr;
    AVPacket* pkt_ = nullptr;
    std::vector<int> copyMap_;  // input stream -> output stream index, -1 dropped
    std::vector<std::unique_ptr<AudioTranscode>> transcodes_;
    int64_t zero_ = AV_NOPTS_VALUE, lastPts_ = AV_NOPTS_VALUE;
    MovieRate rate_;
    bool bt709_ = false;
    int32_t displayMatrix_[9] = {};
    bool hasDisplayMatrix_ = false;
    int quarterTurns_ = 0;  // clockwise quarter turns players give the stored pictures
    CaptionLayer layer_;
    int64_t total_ = 0;
    std::chrono::steady_clock::time_point started_, lastReport_;
};

}  // namespace burnin
