#include "export/ProjectExport.h"

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

namespace {

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
bool encodePng(const Image& image, const std::string& path, std::string& error) {
    return imageio::writePng32Fast(path, image, error);
}

int encodeThreads(const ProjectExportInput& in) {
    if (in.workerThreads < 0) return 0;
    if (in.workerThreads > 0) return in.workerThreads;
    return int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

void tell(const ProjectExportInput& in, const std::string& title, const std::string& text) {
    if (in.notice) in.notice(title, text);
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

// Draws set k (or the empty picture) for `target` as the walk reaches it;
// `rows` gets the rows it drew into.
bool drawSetRows(const ProjectExportInput& in, int k, RenderTarget target, Image& out, RowRange& rows) {
    if (in.drawing) in.drawing(k);
    const RenderResult r = renderSet(in.sets, k, in.style, target, *in.font, out);
    rows = RowRange{r.drawnTop, r.drawnEnd};
    return true;
}

bool drawSet(const ProjectExportInput& in, int k, RenderTarget target, Image& out) {
    RowRange rows;
    return drawSetRows(in, k, target, out, rows);
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

// A PNG or IFF run stopped through `cancel`: the files it wrote go again,
// so that no half sequence is left; files of earlier runs stay.
ExportReport cancelledPictures(const ExportResult& result, int total) {
    for (const std::string& path : result.written) files::removeFile(path);
    ExportReport r;
    r.outcome = Outcome::Failed;
    r.title = "Info";
    r.text = "The export was cancelled; the pictures it had written were removed.";
    r.total = total;
    r.folder = result.folder;
    return r;
}

// A PNG or IFF run that failed part-way (a full disk): the files it wrote go
// again, as after a cancel, so that no half sequence is left and the space
// comes back; the report says so.
ExportReport failedPictures(const ExportResult& result, int total) {
    ExportReport r = reportOf(result, total, {});
    if (result.written.empty()) return r;
    int removed = 0;
    std::string kept;
    for (const std::string& path : result.written) {
        if (files::removeFile(path)) ++removed;
        else if (kept.empty()) kept = path;
    }
    r.text = result.error + "\n\nThe export stopped; the " + std::to_string(removed) +
             (removed == 1 ? " file it had written was" : " files it had written were") + " removed.";
    if (!kept.empty()) r.text += " " + kept + " could not be removed.";
    r.pictures = 0;
    r.written.clear();
    return r;
}

bool blankSet(const SubtitleSet& s) {
    return text::trimSpaces(s.lineA).empty() && text::trimSpaces(s.lineB).empty();
}

// ON and OFF as the list shows them.
std::pair<std::string, std::string> timeCodeTexts(const SubtitleSet& s) {
    if (!s.rows.fromList)
        return {s.on ? formatTimeCode(*s.on) : std::string(), s.off ? formatTimeCode(*s.off) : std::string()};
    const auto [on, off] = splitTiming(s.rows.timingA);
    return {text::trimSpaces(on), text::trimSpaces(off)};
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

// The refusal of a run whose programme start would push a time code past
// the end of the day.
std::string startRefusal(const TimeCode& start, const std::string& error) {
    return "The programme start " + formatTimeCode(start) + " cannot be added: " + error + ".\n\nNothing was written.";
}

}  // namespace

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

ExportReport exportPngPictures(const ProjectExportInput& in, const std::atomic<bool>* cancel) {
    const int sets = int(in.sets.size());
    // A set whose two lines are blank would be a picture with nothing on it.
    std::vector<bool> hasPicture(size_t(sets), false);
    int total = 0;
    for (int k = 0; k < sets; ++k) total += (hasPicture[size_t(k)] = !blankSet(in.sets[size_t(k)])) ? 1 : 0;
    if (auto refused = refusalBeforeRun(in, total)) return *refused;
    // The timing table's time codes carry the programme start.
    const StartedSets started = setsFromProgrammeStart(in.sets, in.programmeStart, in.fps);
    if (!started.ok()) return refusal(startRefusal(in.programmeStart, started.error));
    start(in, 0, total);

    PngSequenceJob job;
    job.projectDir = in.projectDir;
    job.name = in.name;
    job.width = in.width;
    job.height = in.height;
    job.setCount = sets;
    job.skip = [&](int k) { return !hasPicture[size_t(k)]; };
    // A cancel stops the walk as a picture that cannot be drawn would.
    job.render = [&](int k, Image& out) {
        holdForTestsBeforeSet(k, cancel, [&] { idle(in); });
        return !cancelRequested(cancel) && drawSet(in, k, RenderTarget::AlphaExport, out);
    };
    job.encode = encodePng;
    job.encodeThreads = encodeThreads(in);
    job.progress = [&](int value, int of) { stepProgress(in, value, of); };
    ExportResult result = exportPngSequence(job);
    if (!result.ok && cancelRequested(cancel)) return cancelledPictures(result, total);
    if (result.ok) {
        // The editors' timeline and the timing table beside the pictures.
        PngTimelineJob t;
        t.folder = result.folder;
        t.name = in.name;
        t.width = in.width;
        t.height = in.height;
        t.fps = in.fps;
        t.setCount = sets;
        t.hasPicture = hasPicture;
        t.spans = buildSetSpans(in.sets, in.fps);
        t.start = in.programmeStart;
        for (const SubtitleSet& s : started.sets) {
            // With a start, the time codes as moved; without, as the list shows them.
            auto [on, off] = in.programmeStart == TimeCode{}
                                 ? timeCodeTexts(s)
                                 : std::pair{s.on ? formatTimeCode(*s.on) : std::string(),
                                             s.off ? formatTimeCode(*s.off) : std::string()};
            t.onText.push_back(std::move(on));
            t.offText.push_back(std::move(off));
        }
        files::Result written = writePngTimeline(t, result.written);
        if (!written) {
            result.ok = false;
            result.error = written.error;
        }
    }
    if (!result.ok) return failedPictures(result, total);
    std::vector<LeftOutSet> leftOut;
    for (int k = 0; k < sets; ++k)
        if (!hasPicture[size_t(k)]) leftOut.push_back({k, "no text"});
    ExportReport report = reportOf(result, total, leftOut);
    report.skipped = result.skipped;
    return report;
}

ExportReport exportIffPictures(const ProjectExportInput& in, int scalaTarget, const std::atomic<bool>* cancel) {
    if (!iffSizeAllowed(in.width, in.height)) return refusal(kIffSizeErrorText);
    if (!scalaTargetSupported(scalaTarget))
        return refusal("This Scala version cannot play the exported pictures, please choose another one!");
    if (!(in.fps > 0)) return refusal("The project has no frame rate, so its timing cannot be exported.");
    const std::vector<SetTiming> sets = setTimings(in.sets, wholeSets(in.sets));
    // Pictures for the sets the script shows; a set without text (such as
    // the empty new set at the end of the list) gets none.
    const SetSchedule schedule = scheduleSets(sets);
    std::vector<LeftOutSet> leftOut = leftOutSets(schedule);
    std::vector<bool> pictured(sets.size(), false);
    for (const SetSlot& slot : schedule.slots) {
        if (blankSet(in.sets[size_t(slot.set)])) leftOut.push_back({slot.set, "no text"});
        else pictured[size_t(slot.set)] = true;
    }
    std::stable_sort(leftOut.begin(), leftOut.end(),
                     [](const LeftOutSet& a, const LeftOutSet& b) { return a.set < b.set; });
    const int total = int(std::count(pictured.begin(), pictured.end(), true));
    if (auto refused = refusalBeforeRun(in, total)) return *refused;

    // The poster first: without its fonts nothing is written.
    TextRenderer textRenderer;
    std::string posterError;
    Image poster = buildPosterImage(in.width, in.height, textRenderer, in.titlePrefix, in.versionText, posterError);
    if (poster.empty()) return refusal("The instruction picture could not be drawn: " + posterError);

    const std::string warning = scheduleWarningText(schedule);
    if (!warning.empty()) tell(in, kScheduleWarningTitle, warning);
    if (in.starting) in.starting();
    if (scalaTarget == ScalaMm200) tell(in, kScalaInfoTitle, kScalaInfoText);
    if (in.progress) in.progress->start(1, total);

    IffScalaJob job;
    job.projectDir = in.projectDir;
    job.name = in.name;
    job.width = in.width;
    job.height = in.height;
    job.fps = in.fps;
    job.scalaTarget = scalaTarget;
    job.sets = sets;
    job.pictured = pictured;
    job.poster = std::move(poster);
    job.render = [&](int k, Image& out) {
        holdForTestsBeforeSet(k, cancel, [&] { idle(in); });
        return !cancelRequested(cancel) && drawSet(in, k, RenderTarget::OpaqueExport, out);
    };
    job.encodeThreads = encodeThreads(in);
    job.progress = [&](int value, int of) { stepProgress(in, value, of); };
    const ExportResult result = exportIffScala(job);
    if (!result.ok && cancelRequested(cancel)) return cancelledPictures(result, total);
    if (!result.ok) return failedPictures(result, total);
    return reportOf(result, total, leftOut);
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
    if (!leftOut.empty()) tell(in, kScheduleWarningTitle, leftOut);

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
        return exportStl(in, options);
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
    // The alpha render clears the whole canvas before it draws, and tells
    // the rows it drew into: the rest stays transparent.
    job.renderRows = [&](int set, Image& out, RowRange& rows) {
        holdForTestsBeforeSet(set, cancel, [&] { idle(in); });
        return drawSetRows(in, set, RenderTarget::AlphaExport, out, rows);
    };
    job.renderClears = true;
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

ExportReport exportCapture(const ProjectExportInput& in, int set, int row) {
    if (auto refused = refusalBeforeRun(in, 1)) return *refused;
    if (in.starting) in.starting();
    CaptureJob job;
    job.projectDir = in.projectDir;
    job.projectName = in.name;
    job.width = in.width;
    job.height = in.height;
    job.row = row;
    job.render = [&](int, Image& out) { return drawSet(in, set, RenderTarget::AlphaExport, out); };
    job.encode = encodePng;
    ExportResult result = captureSet(job);

    ExportReport r;
    r.pictures = result.pictures;
    r.total = 1;
    r.folder = result.folder;
    r.written = result.written;
    if (result.ok) {
        r.outcome = Outcome::Done;
        r.title = kCaptureTitle;
        r.text = captureMessage(result.written.back());
    } else {
        r.outcome = Outcome::Failed;
        r.title = "Error!";
        r.text = "The capture could not be saved.\n" + result.error;
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
        tell(in, "Warning!",
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
        tell(in, "Warning!",
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
