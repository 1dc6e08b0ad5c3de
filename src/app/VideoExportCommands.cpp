// The exports for video editors: the transparent overlay movie and the
// captions burned into a copy of a movie.
#include <algorithm>

#include "app/ControlIds.h"
#include "app/Controller.h"
#include "app/ExportCommands.h"
#include "app/Ui.h"
#include "base/Image.h"
#include "io/Files.h"
#include "export/BurnIn.h"
#include "export/ExportNames.h"
#include "export/OverlayExport.h"
#include "export/SetSpans.h"
#include "render/Compositor.h"

namespace {

ExportReport refused(const std::string& text) {
    ExportReport r;
    r.outcome = ExportReport::Outcome::Refused;
    r.title = "Error!";
    r.text = text;
    return r;
}

std::string setList(const std::vector<int>& sets) {
    std::string s;
    for (size_t i = 0; i < sets.size() && i < 10; ++i) s += (i ? ", " : "") + std::to_string(sets[i] + 1);
    if (sets.size() > 10) s += ", ...";
    return s;
}

}  // namespace

ExportReport ExportCommands::exportOverlayMovie(const std::string& codecName, ExportProgress* progress,
                                                const std::atomic<bool>* cancel) {
    AppState& s = c_.state();
    const OverlayCodec* codec = findOverlayCodec(codecName);
    if (!codec || !overlayCodecAvailable(codecName))
        return refused("The codec \"" + codecName + "\" is not available in this build.");
    if (movieFrameRate(s.fps).num <= 0)
        return refused("The project has no frame rate, so its timing cannot be exported.");
    const SetSpans spans = buildSetSpans(s.list, s.fps);
    const FrameTimeline timeline = timelineOfSpans(spans);
    if (timeline.total <= 0) return refused(kAviNoTimingsText);
    if (!spans.reversed.empty())
        message("Warning!", "These subtitles end before they begin and are left out of the movie: " +
                                setList(spans.reversed));

    shortenProjectName();
    OverlayMovieJob job;
    const std::string folder = overlayFolder(s.projectDir);
    job.path = overlayMoviePath(folder, s.projectName, *codec);
    job.width = s.projectWidth;
    job.height = s.projectHeight;
    job.fps = s.fps;
    job.codec = codecName;
    const int total = int(std::min<int64_t>(timeline.total, INT32_MAX));

    c_.selectListRow(0);
    s.pictureCounter = 1;
    beginRun();
    struct End {
        ExportCommands* x;
        ~End() { x->endRun(true); }
    } end{this};
    if (progress) progress->start(0, total);

    const OverlayPictureSource pictures = [&](int set, Image& out) {
        renderWalkStep(2 * set, 2 * set, RenderTarget::AlphaExport, out);
        s.pictureCounter = set + 2;
        ui_.processPendingEvents();
        return true;
    };
    const OverlayProgress onProgress = [&](int64_t value, int64_t of) {
        if (progress) progress->update(int(std::min<int64_t>(value, INT32_MAX)), int(std::min<int64_t>(of, INT32_MAX)));
        ui_.processPendingEvents();
    };
    std::unique_ptr<OverlayWriter> writer = createOverlayWriter();
    const OverlayMovieResult result = writeOverlayMovie(*writer, job, timeline, pictures, onProgress, cancel);

    ExportReport r;
    r.total = total;
    r.folder = folder;
    if (result.ok()) {
        r.outcome = ExportReport::Outcome::Done;
        r.pictures = int(result.frames);
        r.written = {job.path};
        r.title = "Success!";
        r.text = exportnames::exportedMessage(result.frames);
    } else {
        r.outcome = ExportReport::Outcome::Failed;
        r.title = result.cancelled ? "Info" : "Error!";
        r.text = result.cancelled ? "The export was cancelled; no movie was written." : result.error + "\n\nNo movie was written.";
    }
    return r;
}

ExportReport ExportCommands::burnIntoMovie(const std::string& movie, const std::string& output, int crf,
                                           const std::string& preset,
                                           const std::function<void(int64_t, int64_t, double)>& progress,
                                           const std::atomic<bool>* cancel) {
    AppState& s = c_.state();
    if (movieFrameRate(s.fps).num <= 0)
        return refused("The project has no frame rate, so its timing cannot be used.");
    BurnJob job;
    job.input = movie;
    job.output = output;
    job.crf = crf;
    job.preset = preset;
    job.width = s.projectWidth;
    job.height = s.projectHeight;
    job.fps = s.fps;
    job.spans = buildSetSpans(s.list, s.fps);
    if (job.spans.spans.empty()) return refused(kAviNoTimingsText);
    if (!job.spans.reversed.empty())
        message("Warning!", "These subtitles end before they begin and are left out of the movie: " +
                                setList(job.spans.reversed));

    c_.selectListRow(0);
    beginRun();
    struct End {
        ExportCommands* x;
        ~End() { x->endRun(true); }
    } end{this};
    const BurnPictureSource pictures = [&](int set, Image& out) {
        renderWalkStep(2 * set, 2 * set, RenderTarget::AlphaExport, out);
        return true;
    };
    const BurnProgress onProgress = [&](int64_t done, int64_t total, double left) {
        if (progress) progress(done, total, left);
        ui_.processPendingEvents();
    };
    std::unique_ptr<MovieBurner> burner = createMovieBurner();
    const BurnResult result = burner->burn(job, pictures, onProgress, cancel);

    ExportReport r;
    r.folder = files::folderPart(output);
    r.pictures = int(std::min<int64_t>(result.frames, INT32_MAX));
    r.total = r.pictures;
    if (result.ok()) {
        r.outcome = ExportReport::Outcome::Done;
        r.written = {output};
        r.title = "Success!";
        r.text = exportnames::exportedMessage(result.frames);
        if (result.scaled)
            r.text += "\nThe captions were scaled to the movie's size (" + std::to_string(result.movieWidth) + " x " +
                      std::to_string(result.movieHeight) + ").";
        if (result.soundStreamsEncoded > 0)
            r.text += "\nThe sound was encoded as AAC, because the container cannot hold it as it was.";
    } else {
        r.outcome = ExportReport::Outcome::Failed;
        r.title = result.cancelled ? "Info" : "Error!";
        r.text = result.cancelled ? "The burn-in was cancelled; no movie was written."
                                  : result.error + "\n\nNo movie was written.";
    }
    return r;
}
