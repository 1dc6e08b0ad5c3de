#include "export/OverlayExport.h"

#include <chrono>

#include "base/Image.h"
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
    const std::string folder = files::folderPart(job.path);
    if (!folder.empty() && !files::isDirectory(folder)) {
        files::Result made = files::makeDirectories(folder);
        if (!made) {
            result.error = "Could not create the folder \"" + folder + "\": " + made.error;
            return result;
        }
    }
    std::string error = writer.open(job.path, job.width, job.height, rate, job.codec);
    if (!error.empty()) {
        result.error = error;
        return result;
    }

    using Clock = std::chrono::steady_clock;
    auto lastReport = Clock::now();
    if (progress) progress(0, total);
    OverlayWriter::PictureId blankId = OverlayWriter::kNoPicture;
    int64_t done = 0;
    for (const TimelineRun& run : timeline.runs) {
        OverlayWriter::PictureId id = run.picture == kBlankPicture ? blankId : OverlayWriter::kNoPicture;
        for (int64_t n = 0; n < run.frames; ++n, ++done) {
            if (cancel && cancel->load(std::memory_order_relaxed)) {
                writer.abort();
                result.cancelled = true;
                return result;
            }
            if (id == OverlayWriter::kNoPicture) {
                Image picture(job.width, job.height);
                if (picture.empty() || (run.picture != kBlankPicture && !pictures(run.picture, picture)) ||
                    picture.width() != job.width || picture.height() != job.height) {
                    writer.abort();
                    result.error = where + "subtitle set " + std::to_string(run.picture + 1) + " could not be drawn";
                    return result;
                }
                error = writer.writeFrame(picture, id);
                if (run.picture == kBlankPicture) blankId = id;
            } else {
                error = writer.repeatPicture(id);
            }
            if (!error.empty()) {
                writer.abort();
                result.error = error;
                return result;
            }
            if (progress && Clock::now() - lastReport > std::chrono::milliseconds(30)) {
                lastReport = Clock::now();
                progress(done, total);
            }
        }
        if (run.picture != kBlankPicture) writer.releasePicture(id);
    }
    error = writer.finish();
    if (!error.empty()) {
        result.error = error;
        return result;
    }
    result.frames = total;
    if (progress) progress(total, total);
    return result;
}
