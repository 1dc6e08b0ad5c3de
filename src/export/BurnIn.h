#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "export/SetSpans.h"

class Image;

// Captions burned into a copy of a movie: every frame of the movie is
// decoded, the set that is on at the frame's time (the frame's time stamp in
// the movie's own time base, counted from its first frame, at the project
// rate) is laid over it, and the result is encoded as H.264. Sound streams
// are copied untouched (encoded as AAC only where the container cannot hold
// them); the other streams keep their metadata.
// What the user picks for a burn-in; the window offers the last choice again.
struct BurnSettings {
    std::string movie, output;
    int crf = 18;
    std::string preset = "medium";
};

struct BurnJob {
    std::string input, output;  // output: .mp4, .m4v, .mov or .mkv
    int crf = 18;               // 0 (lossless) .. 51
    std::string preset = "medium";
    int width = 0, height = 0;  // the project size the captions are drawn at
    float fps = 0;              // the project rate the time codes count in
    SetSpans spans;
};

struct BurnResult {
    std::string error;  // for the user; empty on success
    bool cancelled = false;
    int64_t frames = 0;          // video frames written
    int movieWidth = 0, movieHeight = 0;
    bool scaled = false;         // the captions were scaled to the movie's size
    int soundStreamsCopied = 0, soundStreamsEncoded = 0;
    bool ok() const { return error.empty() && !cancelled; }
};

// What the dialog shows before a burn: the movie's size and length.
struct MovieFacts {
    std::string error;
    int width = 0, height = 0;
    double fps = 0, seconds = 0;
    int soundStreams = 0;
};

// Draws set `setIndex` into `out`, a fully transparent picture of the
// project size, as the PNG export draws it.
using BurnPictureSource = std::function<bool(int setIndex, Image& out)>;
// Frames done of about `total` (0 when unknown) and the seconds still to go
// (negative while unknown); called at most about every 100 ms.
using BurnProgress = std::function<void(int64_t done, int64_t total, double secondsLeft)>;

class MovieBurner {
public:
    virtual ~MovieBurner() = default;
    virtual MovieFacts probe(const std::string& path) = 0;
    // Writes to a temporary file beside the output and moves it into place
    // only on success: a failed or cancelled run leaves no file.
    virtual BurnResult burn(const BurnJob& job, const BurnPictureSource& pictures, const BurnProgress& progress = {},
                            const std::atomic<bool>* cancel = nullptr) = 0;
};

std::unique_ptr<MovieBurner> createMovieBurner();

// Presets of the H.264 encoder, fastest first.
const char* const* burnPresets();
bool validBurnPreset(const std::string& name);
