#include "export/AviExport.h"

#include <chrono>
#include <cstdio>

#include "export/FrameWalk.h"
#include "io/Files.h"
#include "base/Image.h"

namespace {

std::string sizeText(uint64_t bytes) {
    const double mb = double(bytes) / (1024.0 * 1024.0);
    char buffer[64];
    if (mb >= 1024.0)
        std::snprintf(buffer, sizeof buffer, "%.1f GB", mb / 1024.0);
    else
        std::snprintf(buffer, sizeof buffer, "%.0f MB", mb < 1.0 ? 1.0 : mb);
    return buffer;
}

}  // namespace

uint64_t estimatedUncompressedAviBytes(int width, int height, int64_t frames) {
    if (width <= 0 || height <= 0 || frames <= 0) return 64 * 1024;
    const uint64_t frameBytes = ((uint64_t(width) * 3 + 3) & ~uint64_t(3)) * uint64_t(height);
    // chunk header, legacy index entry and OpenDML index entry per frame
    const uint64_t perFrame = frameBytes + 8 + 16 + 8;
    return uint64_t(frames) * perFrame + 64 * 1024;
}

TimedMovieResult writeTimedMovie(AviWriter& writer, const TimedMovieJob& job, const FrameTimeline& timeline,
                                 const AviPictureSource& pictures, const AviProgress& progress,
                                 const std::atomic<bool>* cancel) {
    TimedMovieResult result;
    const std::string where = "Could not write the movie file \"" + job.path + "\": ";
    const int rate = aviFrameRate(job.fps);
    if (rate <= 0) {
        result.error = where + "the frame rate is not valid";
        return result;
    }
    const int64_t total = timeline.total;
    if (total > int64_t(kMaxMovieHours) * 3600 * rate) {
        result.error = where + "the movie would be " + std::to_string(total) + " frames long, more than " +
                       std::to_string(kMaxMovieHours) + " hours. Please check the timings of the subtitle list.";
        return result;
    }

    if (const Result folder = makeFolderOf(job.path); !folder) {
        result.error = folder.error;
        return result;
    }
    const std::string folder = files::folderPart(job.path);
    if (job.checkFreeSpace && job.codec.codec == "rawvideo") {
        const uint64_t need = estimatedUncompressedAviBytes(job.width, job.height, total);
        const uint64_t have = files::freeSpace(folder.empty() ? "." : folder);
        if (have != 0 && have < need) {
            result.error = "Not enough free disk space for the movie file \"" + job.path + "\": it needs about " +
                           sizeText(need) + " uncompressed, but only " + sizeText(have) +
                           " are free. Please free some space or choose a compressing codec.";
            return result;
        }
    }

    result.error = writer.open(job.path, job.width, job.height, rate, job.codec);
    if (!result.error.empty()) return result;
    return walkFrames(writer, job.width, job.height, timeline, pictures, true, progress, cancel, where);
}
