#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "base/Image.h"
#include "base/Result.h"
#include "export/AviTimeline.h"

// The frame walk of the timed movies (the AVI movie and the overlay movie):
// every picture of the timeline is drawn once, when its first frame comes
// up, and repeated by the writer for the rest of its run; a set's picture is
// released after its run, the blank one is kept for the next gap.

// The end of a movie export (timed AVI, overlay movie).
struct FrameWalkResult {
    std::string error;  // for the user; empty when every frame was written
    bool cancelled = false;
    int64_t frames = 0;  // frames in the finished movie
    bool ok() const { return error.empty() && !cancelled; }
};

// Makes the folder of `path` when it is missing; the error names the folder.
Result makeFolderOf(const std::string& path);

// Walks an opened writer through the timeline and finishes the movie.
// `Writer` has PictureId, kNoPicture, writeFrame, repeatPicture,
// releasePicture, finish and abort, as AviWriter and OverlayWriter do. With
// `drawBlank` the blank picture is drawn by `draw` too (with kBlankPicture);
// without it the blank picture stays as made (fully transparent). `where`
// starts the message of a picture that could not be drawn. The writer is
// aborted on any error or cancel.
template <class Writer>
FrameWalkResult walkFrames(Writer& writer, int width, int height, const FrameTimeline& timeline,
                           const std::function<bool(int picture, Image& out)>& draw, bool drawBlank,
                           const std::function<void(int64_t done, int64_t total)>& progress,
                           const std::atomic<bool>* cancel, const std::string& where) {
    FrameWalkResult result;
    auto fail = [&](std::string error) {
        writer.abort();
        result.error = std::move(error);
        return result;
    };
    using Clock = std::chrono::steady_clock;
    auto lastReport = Clock::now();
    const int64_t total = timeline.total;
    if (progress) progress(0, total);
    typename Writer::PictureId blankId = Writer::kNoPicture;
    int64_t done = 0;
    for (const TimelineRun& run : timeline.runs) {
        const bool blank = run.picture == kBlankPicture;
        typename Writer::PictureId id = blank ? blankId : Writer::kNoPicture;
        for (int64_t n = 0; n < run.frames; ++n, ++done) {
            if (cancel && cancel->load(std::memory_order_relaxed)) {
                writer.abort();
                result.cancelled = true;
                return result;
            }
            std::string error;
            if (id == Writer::kNoPicture) {
                Image picture(width, height);
                if (picture.empty() || ((drawBlank || !blank) && !draw(run.picture, picture)) ||
                    picture.width() != width || picture.height() != height)
                    return fail(where + (blank && drawBlank ? std::string("the blank frame could not be drawn")
                                                            : "subtitle set " + std::to_string(run.picture + 1) +
                                                                  " could not be drawn"));
                error = writer.writeFrame(picture, id);
                if (blank) blankId = id;
            } else {
                error = writer.repeatPicture(id);
            }
            if (!error.empty()) return fail(error);
            if (progress) {
                const auto now = Clock::now();
                if (now - lastReport > std::chrono::milliseconds(30)) {
                    lastReport = now;
                    progress(done, total);
                }
            }
        }
        if (!blank) writer.releasePicture(id);
    }
    result.error = writer.finish();
    if (!result.error.empty()) return result;
    result.frames = total;
    if (progress) progress(total, total);
    return result;
}
