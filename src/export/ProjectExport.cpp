#include "export/ProjectExport.h"
#include "export/ProjectExportParts.h"

#include <algorithm>
#include <thread>

#include "base/Text.h"
#include "export/AviExport.h"
#include "export/AviTimeline.h"
#include "export/BroadcastExport.h"
#include "export/ExportDriver.h"
#include "export/ExportNames.h"
#include "export/Language.h"
#include "export/OverlayExport.h"
#include "export/PngTimeline.h"
#include "export/Poster.h"
#include "export/ScalaScript.h"
#include "export/SetSchedule.h"
#include "export/SetSpans.h"
#include "export/TestHold.h"
#include "io/Files.h"
#include "io/ImageCodecs.h"
#include "io/TextRenderer.h"
#include "project/Retime.h"
#include "project/TimeCode.h"
#include "render/Compositor.h"

const char* const kAviNoTimingsText =
    "The subtitle list has no timings yet, so the movie would have no frames. Please set the ON and OFF times "
    "of the subtitles first.";

std::string largeRunQuestion(int pictures) {
    return "This export will write " + std::to_string(pictures) + " pictures (more than " +
           std::to_string(kLargeRunPictures) + "). Continue?";
}

namespace projectexport {

using Outcome = ExportReport::Outcome;

const char* const kNoMovieWriterText = "This build cannot write movies.";

ExportReport refusal(const std::string& text) { return ExportReport::refusal("Error!", text); }

// "10 pictures written, 3 sets left out: 9, 10, 11 (OFF before ON)."
std::string writtenText(int64_t count, const char* one, const char* many, const std::vector<LeftOutSet>& leftOut) {
    std::string text = std::to_string(count) + " " + (count == 1 ? one : many) + " written";
    const std::string summary = leftOutSummary(leftOut);
    return text + (summary.empty() ? "" : ", " + summary) + ".";
}

// The closing report of a PNG or IFF run.
ExportReport reportOf(const ExportResult& result, int total, const std::vector<LeftOutSet>& leftOut) {
    ExportReport r;
    r.pictures = result.pictures;
    r.total = total;
    r.folder = result.folder;
    r.written = result.written;
    if (result.ok) {
        r.outcome = Outcome::Done;
        r.title = "Success!";
        r.text = writtenText(result.pictures, "picture", "pictures", leftOut);
        r.leftOut = leftOutSummary(leftOut);
    } else {
        r.outcome = Outcome::Failed;
        r.title = "Error!";
        r.text = result.error + "\n\nThe export stopped: " + std::to_string(result.pictures) + " of " +
                 std::to_string(total) + " pictures were written.";
    }
    return r;
}

// A movie's closing report.
ExportReport movieReport(bool ok, bool cancelled, const std::string& error, int64_t frames, int total,
                         const std::string& folder, const std::string& path, const char* cancelledText,
                         const std::vector<LeftOutSet>& leftOut) {
    ExportReport r;
    r.total = total;
    r.folder = folder;
    if (ok) {
        r.outcome = Outcome::Done;
        r.pictures = int(std::min<int64_t>(frames, INT32_MAX));
        r.written = {path};
        r.title = "Success!";
        r.text = writtenText(frames, "frame", "frames", leftOut);
        r.leftOut = leftOutSummary(leftOut);
    } else {
        r.outcome = Outcome::Failed;
        r.title = cancelled ? "Info" : "Error!";
        r.text = cancelled ? cancelledText : error + "\n\nNo movie was written.";
    }
    return r;
}

// Safe to call from several threads at once.
int encodeThreads(const ProjectExportInput& in) {
    if (in.workerThreads < 0) return 0;
    if (in.workerThreads > 0) return in.workerThreads;
    return int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

void tell(const ProjectExportInput& in, NoticeLevel level, const std::string& title, const std::string& text) {
    in.notice(level, title, text);
}

void idle(const ProjectExportInput& in) {
    if (in.idle) in.idle();
}

// One step of a run: the progress bar moves and the window gets its turn.
void stepProgress(const ProjectExportInput& in, int64_t value, int64_t of) {
    if (in.progress) in.progress->update(int(std::min<int64_t>(value, INT32_MAX)), int(std::min<int64_t>(of, INT32_MAX)));
    idle(in);
}

void start(const ProjectExportInput& in, int first, int total) {
    if (in.starting) in.starting();
    if (in.progress) in.progress->start(first, total);
}

// The alpha render of set k into a canvas that is fully transparent already;
// `rows` gets the rows it drew into.
bool drawSetOnTransparent(const ProjectExportInput& in, int k, Image& out, RowRange& rows) {
    if (in.drawing) in.drawing(k);
    const RenderResult r = renderSetOnTransparent(in.sets, k, in.style, *in.font, out);
    rows = RowRange{r.drawnTop, r.drawnEnd};
    return true;
}

// Draws set k (or the empty picture) for `target` as the walk reaches it.
bool drawSet(const ProjectExportInput& in, int k, RenderTarget target, Image& out) {
    if (in.drawing) in.drawing(k);
    renderSet(in.sets, k, in.style, target, *in.font, out);
    return true;
}

// A refusal when the font size has no glyphs (the pictures would show strips
// without text) or when a large run is not confirmed; nothing to go on.
std::optional<ExportReport> refusalBeforeRun(const ProjectExportInput& in, int pictures) {
    if (!in.font || !in.font->hasGlyphsFor(in.style.fontSize))
        return ExportReport::refusal("Error#10", "Could not find " + fontSheetRelativePath(in.style.fontSize, 0) +
                                                     "\n\nNothing was exported: the pictures would have no text.");
    if (pictures > kLargeRunPictures && !in.allowLargeRuns &&
        !(in.confirm && in.confirm(largeRunQuestion(pictures)))) {
        ExportReport r = refusal("Nothing was exported: the export would write " + std::to_string(pictures) +
                                 " pictures, more than " + std::to_string(kLargeRunPictures) + ".");
        r.total = pictures;
        return r;
    }
    return std::nullopt;
}

bool cancelRequested(const std::atomic<bool>* cancel) { return cancel && cancel->load(); }

bool blankSet(const SubtitleSet& s) {
    return text::trimSpaces(s.lineA).empty() && text::trimSpaces(s.lineB).empty();
}

std::string setList(const std::vector<int>& sets) {
    std::string s;
    for (size_t i = 0; i < sets.size() && i < 10; ++i) s += (i ? ", " : "") + std::to_string(sets[i] + 1);
    if (sets.size() > 10) s += ", ...";
    return s;
}

// The sets a timed movie leaves out: those whose OFF is before their ON.
std::vector<LeftOutSet> reversedSets(const SetSpans& spans) {
    std::vector<LeftOutSet> out;
    for (int k : spans.reversed) out.push_back({k, "OFF before ON"});
    return out;
}

// Sets of the IFF export and the Scala script: whole sets (line A and B).
int wholeSets(const std::vector<SubtitleSet>& sets) {
    return int(sets.size()) - (!sets.empty() && !sets.back().rows.hasLineB ? 1 : 0);
}

}  // namespace projectexport

using namespace projectexport;

std::string projectexport::startRefusal(const TimeCode& start, const std::string& error) {
    return "The programme start " + formatTimeCode(start) + " cannot be added: " + error + ".\n\nNothing was written.";
}

StartedSets setsFromProgrammeStart(const std::vector<SubtitleSet>& sets, const TimeCode& start, float fps) {
    StartedSets out;
    if (start == TimeCode{} || sets.empty()) {
        out.sets = sets;
        return out;
    }
    SetsEdit moved = shiftSets(sets, SetRange{0, int(sets.size()) - 1}, frameOf(start, fps), fps);
    out.sets = std::move(moved.sets);
    out.error = std::move(moved.error);
    return out;
}

ExportReport exportAviMovie(const ProjectExportInput& in, const CodecChoice& codec,
                            const AviCodecChooser& chooseCodec, const std::atomic<bool>* cancel) {
    if (aviFrameRate(in.fps) <= 0)
        return refusal("The project has no frame rate, so its timing cannot be exported.");
    if (!in.media.avi) return refusal(kNoMovieWriterText);
    const SetSchedule schedule = scheduleSets(setTimings(in.sets, int(in.sets.size())));
    const FrameTimeline timeline = buildFrameTimeline(schedule);
    if (timeline.total <= 0) return refusal(kAviNoTimingsText);
    if (auto refused = refusalBeforeRun(in, 0)) return *refused;

    // The compression first: a cancelled choice leaves everything as it was.
    CodecChoice chosen = codec;
    if (chooseCodec) {
        std::optional<CodecChoice> c = chooseCodec();
        if (!c) return ExportReport::refusal("", "");
        chosen = *c;
    }
    const std::string leftOut = scheduleWarningText(schedule);
    if (!leftOut.empty()) tell(in, NoticeLevel::Warning, kScheduleWarningTitle, leftOut);

    const std::string folder = exportnames::outputFolder(in.projectDir, exportnames::OutputKind::Avi);
    TimedMovieJob job;
    job.path = exportnames::aviMoviePath(folder, in.name);
    job.width = in.width;
    job.height = in.height;
    job.fps = in.fps;
    job.codec = chosen;
    const int total = int(timeline.total);
    std::unique_ptr<AviWriter> writer = in.media.avi();
    if (!writer) return refusal(kNoMovieWriterText);
    start(in, 0, total);

    // Each picture is drawn once, when its first frame comes up; the blank
    // frame has no lines. Never the preview's background picture.
    const AviPictureSource pictures = [&](int set, Image& out) {
        drawSet(in, set == kBlankPicture ? kBlankPicture : set, RenderTarget::ColorExport, out);
        idle(in);
        return true;
    };
    const AviProgress onProgress = [&](int64_t value, int64_t of) { stepProgress(in, value, of); };
    const TimedMovieResult result = writeTimedMovie(*writer, job, timeline, pictures, onProgress, cancel);

    ExportReport r = movieReport(result.ok(), result.cancelled, result.error, result.frames, total, folder, job.path,
                                 "The export was cancelled; no movie was written.", leftOutSets(schedule));
    if (!r.done() && !result.cancelled) {
        r.text = result.error;
        if (r.text.find(job.path) == std::string::npos)
            r.text = "The movie file \"" + job.path + "\" could not be written.\n" + r.text;
        r.text += "\n\nNo movie was written.";
    }
    return r;
}

ExportReport exportTrack(const ProjectExportInput& in, SubtitleFormat format, bool indexedPng,
                         const std::atomic<bool>* cancel) {
    // The broadcast files need the sets' positions and the style. The STL
    // file keeps the programme start in its own field.
    if (format == SubtitleFormat::Stl) {
        StlExportOptions options;
        options.start = in.programmeStart;
        return exportStl(in, options);  // the language code: the track's language
    }
    if (in.programmeStart != TimeCode{}) {
        StartedSets started = setsFromProgrammeStart(in.sets, in.programmeStart, in.fps);
        if (!started.ok()) return refusal(startRefusal(in.programmeStart, started.error));
        ProjectExportInput moved = in;
        moved.sets = std::move(started.sets);
        moved.programmeStart = TimeCode{};
        return exportTrack(moved, format, indexedPng, cancel);
    }
    if (format == SubtitleFormat::Scc) return exportScc(in);
    std::string refused = language::refusal(in.language);
    if (refused.empty()) refused = subtitleExportRefusal(format, in.width, in.height, in.fps);
    if (!refused.empty()) return refusal(refused);

    SubtitleExportJob job;
    job.format = format;
    job.projectDir = in.projectDir;
    job.name = in.name;
    job.width = in.width;
    job.height = in.height;
    job.fps = in.fps;
    job.sets = collectTrackSets(in.sets, in.fps);
    job.indexedPng = indexedPng;
    job.language = in.language;
    job.languageInFileNames = in.languageInFileNames;
    job.forcedOnly = in.forcedOnly;
    job.assLook.style = in.style;
    job.assLook.font = in.font;
    for (const SubtitleSet& s : in.sets) job.assLook.setY.push_back(s.yOrZero());
    if (format == SubtitleFormat::Ass) {
        auto fonts = std::make_shared<TextRenderer>();
        const TextFont face{job.assLook.fontFamily, in.style.fontSize, true, true};
        job.assLook.fontWidth = [fonts, face](std::string_view line) { return fonts->designWidth(line, face); };
    }
    job.makeStreamWriter = in.media.subtitleStream;
    job.cancel = cancel;
    job.workerThreads = encodeThreads(in);
    start(in, 0, int(job.sets.sets.size()));
    // The alpha render onto the transparent canvas tells the rows it drew
    // into: only those are cleared before the canvas takes the next set.
    job.renderRows = [&](int set, Image& out, RowRange& rows) {
        holdForTestsBeforeSet(set, cancel, [&] { idle(in); });
        return drawSetOnTransparent(in, set, out, rows);
    };
    job.progress = [&](int value, int of) { stepProgress(in, value, of); };
    const SubtitleExportResult result = exportSubtitleTrack(job);

    ExportReport r;
    r.pictures = result.subtitles;
    r.total = int(job.sets.sets.size());
    r.folder = result.folder;
    r.written = result.written;
    if (result.ok) {
        r.outcome = Outcome::Done;
        r.title = "Success!";
        r.text = subtitleExportMessage(result);
    } else if (result.cancelled) {
        r.outcome = Outcome::Failed;
        r.title = "Info";
        r.text = "The export was cancelled; no subtitle track was written.";
    } else {
        r.outcome = Outcome::Failed;
        r.title = "Error!";
        r.text = result.error + "\n\nThe export stopped.";
    }
    return r;
}

ExportReport exportOverlay(const ProjectExportInput& in, const std::string& codecName,
                           const std::atomic<bool>* cancel) {
    const OverlayCodec* codec = findOverlayCodec(codecName);
    if (!codec || !in.media.overlay || !in.media.overlayAvailable || !in.media.overlayAvailable(codecName))
        return refusal("The codec \"" + codecName + "\" is not available in this build.");
    if (movieFrameRate(in.fps).num <= 0)
        return refusal("The project has no frame rate, so its timing cannot be exported.");
    const SetSpans spans = buildSetSpans(in.sets, in.fps);
    const FrameTimeline timeline = timelineOfSpans(spans);
    if (timeline.total <= 0) return refusal(kAviNoTimingsText);
    if (!spans.reversed.empty())
        tell(in, NoticeLevel::Warning, "Warning!",
             "These subtitles end before they begin and are left out of the movie: " + setList(spans.reversed));

    OverlayMovieJob job;
    const std::string folder = overlayFolder(in.projectDir);
    job.path = overlayMoviePath(folder, in.name, *codec);
    job.width = in.width;
    job.height = in.height;
    job.fps = in.fps;
    job.codec = codecName;
    const int total = int(std::min<int64_t>(timeline.total, INT32_MAX));
    std::unique_ptr<OverlayWriter> writer = in.media.overlay();
    if (!writer) return refusal(kNoMovieWriterText);
    start(in, 0, total);

    const OverlayPictureSource pictures = [&](int set, Image& out) {
        drawSet(in, set, RenderTarget::AlphaExport, out);
        idle(in);
        return true;
    };
    const OverlayProgress onProgress = [&](int64_t value, int64_t of) { stepProgress(in, value, of); };
    const OverlayMovieResult result = writeOverlayMovie(*writer, job, timeline, pictures, onProgress, cancel);
    return movieReport(result.ok(), result.cancelled, result.error, result.frames, total, folder, job.path,
                       "The export was cancelled; no movie was written.", reversedSets(spans));
}

ExportReport exportBurnIn(const ProjectExportInput& in, const std::string& movie, const std::string& output, int crf,
                          const std::string& preset, const std::function<void(int64_t, int64_t, double)>& progress,
                          const std::atomic<bool>* cancel) {
    if (movieFrameRate(in.fps).num <= 0) return refusal("The project has no frame rate, so its timing cannot be used.");
    if (!in.media.burner) return refusal(kNoMovieWriterText);
    BurnJob job;
    job.input = movie;
    job.output = output;
    job.crf = crf;
    job.preset = preset;
    job.width = in.width;
    job.height = in.height;
    job.fps = in.fps;
    job.spans = buildSetSpans(in.sets, in.fps);
    if (job.spans.spans.empty()) return refusal(kAviNoTimingsText);
    if (!job.spans.reversed.empty())
        tell(in, NoticeLevel::Warning, "Warning!",
             "These subtitles end before they begin and are left out of the movie: " + setList(job.spans.reversed));
    std::unique_ptr<MovieBurner> burner = in.media.burner();
    if (!burner) return refusal(kNoMovieWriterText);
    if (in.starting) in.starting();

    const BurnPictureSource pictures = [&](int set, Image& out) { return drawSet(in, set, RenderTarget::AlphaExport, out); };
    const BurnProgress onProgress = [&](int64_t done, int64_t total, double left) {
        if (progress) progress(done, total, left);
        idle(in);
    };
    const BurnResult result = burner->burn(job, pictures, onProgress, cancel);

    ExportReport r = movieReport(result.ok(), result.cancelled, result.error, result.frames, 0,
                                 files::folderPart(output), output, "The burn-in was cancelled; no movie was written.",
                                 reversedSets(job.spans));
    r.total = r.pictures = int(std::min<int64_t>(result.frames, INT32_MAX));
    if (result.ok()) {
        if (result.scaled)
            r.text += "\nThe captions were scaled to the movie's size (" + std::to_string(result.movieWidth) + " x " +
                      std::to_string(result.movieHeight) + ").";
        if (result.soundStreamsEncoded > 0)
            r.text += "\nThe sound was encoded as AAC, because the container cannot hold it as it was.";
    }
    return r;
}
