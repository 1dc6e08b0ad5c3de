#include "export/OverlayExport.h"

#include <chrono>

#include "base/Image.h"
#include "export/FrameWalk.h"
#include "io/Files.h"

const std::vector<OverlayCodec>& overlayCodecs() {
    static const std::vector<OverlayCodec> codecs = {
        {"prores", "ProRes 4444 (.mov)", ".mov", false, true},
        {"qtrle", "QuickTime Animation", ".mov", true, true},
        {"png", "PNG in .mov", ".mov", true, true},
        {"vp9", "VP9 alpha (.webm)", ".webm", false, false},
        {"utvideo", "Ut Video (.avi)", ".avi", true, true},
    };
    return codecs;
}

const OverlayCodec* findOverlayCodec(const std::string& name) {
    for (const OverlayCodec& c : overlayCodecs())
        if (name == c.name) return &c;
    return nullptr;
}

std::string overlayFolder(const std::string& projectDir) {
    return files::withTrailingSeparator(projectDir) + "OVERLAY_Output" + files::separator();
}

std::string overlayMoviePath(const std::string& folder, const std::string& name, const OverlayCodec& codec) {
    return folder + name + "_overlay" + codec.extension;
}

OverlayMovieResult writeOverlayMovie(OverlayWriter& writer, const OverlayMovieJob& job, const FrameTimeline& timeline,
                                     const OverlayPictureSource& pictures, const OverlayProgress& progress,
                                     const std::atomic<bool>* cancel) {
    OverlayMovieResult result;
    const std::string where = "Could not write the movie file \"" + job.path + "\": ";
    const MovieRate rate = movieFrameRate(job.fps);
    if (rate.num <= 0) {
        result.error = where + "the frame rate is not valid";
        return result;
    }
    const int64_t total = timeline.total;
    if (double(total) > 24.0 * 3600.0 * rate.value()) {
        result.error = where + "the movie would be " + std::to_string(total) +
                       " frames long, more than 24 hours. Please check the timings of the subtitle list.";
        return result;
    }
    if (const Result folder = makeFolderOf(job.path); !folder) {
        result.error = folder.error;
        return result;
    }
    result.error = writer.open(job.path, job.width, job.height, rate, job.codec);
    if (!result.error.empty()) return result;
    return walkFrames(writer, job.width, job.height, timeline, pictures, false, progress, cancel, where);
}
