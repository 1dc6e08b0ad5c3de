#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "export/AviTimeline.h"
#include "export/FrameWalk.h"
#include "export/AviWriter.h"

class Image;

// Draws the picture of subtitle set `setIndex` (or of the blank frame for
// kBlankPicture) into `out` at the movie size; false when it cannot.
using AviPictureSource = std::function<bool(int setIndex, Image& out)>;
// Frames written so far and the total; called at most about every 30 ms
// while writing and once more at the end with done == total.
using AviProgress = std::function<void(int64_t done, int64_t total)>;

struct TimedMovieJob {
    std::string path;  // the movie file; its folder is created when missing
    int width = 0, height = 0;
    float fps = 0.0f;  // project rate; the movie runs at aviFrameRate(fps)
    CodecChoice codec;
    bool checkFreeSpace = true;
};

using TimedMovieResult = FrameWalkResult;

// Longest movie written, in hours; longer timelines come from broken timings.
constexpr int kMaxMovieHours = 24;

// Bytes of an uncompressed movie of `frames` frames (frame data, chunk
// headers and index), for the free-space check.
uint64_t estimatedUncompressedAviBytes(int width, int height, int64_t frames);

// Writes the movie: renders each picture once when its first frame comes
// up, encodes it once and repeats it for the rest of its run. On error or
// cancel no partial file is left.
TimedMovieResult writeTimedMovie(AviWriter& writer, const TimedMovieJob& job, const FrameTimeline& timeline,
                                 const AviPictureSource& pictures, const AviProgress& progress = {},
                                 const std::atomic<bool>* cancel = nullptr);
