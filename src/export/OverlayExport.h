#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "export/AviTimeline.h"
#include "export/FrameWalk.h"
#include "export/OverlayWriter.h"

class Image;

// "OVERLAY_Output" below the project folder, with its trailing separator.
std::string overlayFolder(const std::string& projectDir);
// folder + name + "_overlay" + the codec's extension
std::string overlayMoviePath(const std::string& folder, const std::string& name, const OverlayCodec& codec);

struct OverlayMovieJob {
    std::string path;
    int width = 0, height = 0;
    float fps = 0;  // project rate; the movie runs at movieFrameRate(fps)
    std::string codec = "prores";
};

using OverlayMovieResult = FrameWalkResult;

// Draws set `setIndex` into `out`, a fully transparent picture of the movie
// size (never called for blank frames, which stay transparent).
using OverlayPictureSource = std::function<bool(int setIndex, Image& out)>;
using OverlayProgress = std::function<void(int64_t done, int64_t total)>;

// Writes the movie of `timeline`: each picture drawn once when its first
// frame comes up. On error or cancel no partial file is left.
OverlayMovieResult writeOverlayMovie(OverlayWriter& writer, const OverlayMovieJob& job, const FrameTimeline& timeline,
                                     const OverlayPictureSource& pictures, const OverlayProgress& progress = {},
                                     const std::atomic<bool>* cancel = nullptr);
