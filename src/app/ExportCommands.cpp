#include "app/ExportCommands.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "app/ControlIds.h"
#include "app/Controller.h"
#include "app/Ui.h"
#include "export/AviExport.h"
#include "export/AviTimeline.h"
#include "export/ExportDriver.h"
#include "export/ExportNames.h"
#include "export/PngTimeline.h"
#include "export/Poster.h"
#include "export/SetSpans.h"
#include "export/ScalaScript.h"
#include "io/ImageCodecs.h"
#include "io/TextRenderer.h"
#include "project/TimeCode.h"
#include "base/Text.h"
#include "render/FontSheet.h"

const char* const kAviNoTimingsText =
    "The subtitle list has no timings yet, so the movie would have no frames. Please set the ON and OFF times "
    "of the subtitles first.";
const char* const kExportDialogTitle = "Export/Render Subtitles";
const char* const kExportHelpText =
    "Single Subtitle (PNG): Will create image (32bit, transparency/Alpha support) files for each Subtitle (A+B) "
    "sets in sequence. Ready for import into editing software, but you need to set start-end time for these "
    "one-by-one yourselves.\n\n"
    "AVI Movie: Will create a timed avifile which will render the movie as per timed recording. File is ready for "
    "import and will match original timing as done to the respective movie file you have used to create the "
    "timing. Note that transperancy is not supported, so movie will be with defined BG Color, so ensure to Key "
    "this yourselves correctly in your editing software!\n\n"
    "Single Subtitle (IFF+Script): Will create .IFF (16 colors, HiRes Lace Overscan) files for each subtitle set, "
    "but also exports a script file suitable for use with Scala for the Commodore Amiga computer (intended for "
    "genlock) to achieve the ultimate old-school environment.";

std::string aviButtonCaption(const std::string& profileText, float fps) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.2f", double(fps));
    return "Create timed .AVI movie\nPreset: ''" + profileText + "''\nchosen. AVI file will have " + rate +
           " Frames Pr. Second (FPS)";
}

namespace {


ExportReport refusal(const std::string& title, const std::string& text) {
    ExportReport r;
    r.outcome = ExportReport::Outcome::Refused;
    r.title = title;
    r.text = text;
    return r;
}

// The closing report of a PNG or IFF run.
ExportReport reportOf(const ExportResult& result, int total) {
    ExportReport r;
    r.pictures = result.pictures;
    r.total = total;
    r.folder = result.folder;
    r.written = result.written;
    if (result.ok) {
        r.outcome = ExportReport::Outcome::Done;
        r.title = "Success!";
        r.text = exportnames::exportedMessage(result.pictures);
    } else {
        r.outcome = ExportReport::Outcome::Failed;
        r.title = "Error!";
        r.text = result.error + "\n\nThe export stopped: " + std::to_string(result.pictures) + " of " +
                 std::to_string(total) + " frames were exported.";
    }
    return r;
}

// Safe to call from several threads at once.
bool encodePng(const Image& image, const std::string& path, std::string& error) {
    return imageio::writePng32Fast(path, image, error);
}

// Worker threads that encode and write the pictures (PNG, IFF) while the
// walk renders.
int pngEncodeThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return int(std::clamp(cores, 1u, 8u));
}

// Runs `end` when the scope is left, also by an exception, so that a failed
// run never leaves the list ignoring clicks.
template <class F>
struct AtExit {
    F end;
    ~AtExit() { end(); }
};
template <class F>
AtExit(F) -> AtExit<F>;

}  // namespace

std::string largeRunQuestion(int pictures) {
    return "This export will write " + std::to_string(pictures) + " pictures (more than " +
           std::to_string(kLargeRunPictures) + "). Continue?";
}

ExportCommands::ExportCommands(Controller& controller, Ui& ui) : c_(controller), ui_(ui) {}

std::optional<ExportReport> ExportCommands::refusalBeforeRun(int pictures) {
    const AppState& s = c_.state();
    if (!c_.renderer().fontSheet().hasGlyphsFor(s.style.fontSize))
        return refusal("Error#10", "Could not find " + fontSheetRelativePath(s.style.fontSize, 0) +
                                       "\n\nNothing was exported: the pictures would have no text.");
    if (pictures > kLargeRunPictures && !allowLargeRuns &&
        !ui_.askYesNo("Question", largeRunQuestion(pictures))) {
        ExportReport r = refusal("Error!", "Nothing was exported: the export would write " +
                                               std::to_string(pictures) + " pictures, more than " +
                                               std::to_string(kLargeRunPictures) + ".");
        r.total = pictures;
        return r;
    }
    return std::nullopt;
}

void ExportCommands::message(const std::string& title, const std::string& text) {
    if (notify) notify(title, text);
    else ui_.messageBox(title, text);
}

void ExportCommands::show(const ExportReport& report) {
    if (!report.title.empty()) message(report.title, report.text);
}

void ExportCommands::shortenProjectName() {
    AppState& s = c_.state();
    s.projectName = exportnames::shortenProjectName(s.projectName, s.projectExt);
}

void ExportCommands::beginRun() {
    AppState& s = c_.state();
    s.captureActive = 1;
}

void ExportCommands::endRun(bool selectFirstRow) {
    AppState& s = c_.state();
    s.captureActive = 0;
    if (selectFirstRow) c_.selectListRow(0);
    c_.loadSetIntoFields();
    c_.refreshPreview();
    refreshBgSwatch();
}

void ExportCommands::refreshBgSwatch() {
    // Renders may have put the background colour back to the preset's.
    Image& swatch = c_.bgSwatch;
    const Rgb bg = c_.state().style.bgColor;
    for (int y = 0; y < swatch.height(); ++y) {
        uint8_t* p = swatch.pixel(0, y);
        for (int x = 0; x < swatch.width(); ++x, p += 4) p[0] = bg.r, p[1] = bg.g, p[2] = bg.b, p[3] = 255;
    }
    ui_.showImage(ctl::BgSwatch, swatch);
}

void ExportCommands::renderWalkStep(int lineARow, int selectRow, RenderTarget target, Image& out) {
    AppState& s = c_.state();
    c_.selectListRow(selectRow);
    c_.setControlText(ctl::LineA, s.list.column(lineARow, Column::Text));
    c_.setControlText(ctl::LineB, s.list.column(lineARow + 1, Column::Text));
    const int setY = text::toInt(s.list.column(lineARow, Column::Y));
    s.style.stripsYPos = resolveStripsY(setY, s.view.stripsY.value);
    renderSubtitleSet(target, s.style, c_.renderer().fontSheet(), out, s.view.lineA, s.view.lineB);
    c_.loadSetIntoFields();
}

ExportReport ExportCommands::exportPngSequence(ExportProgress* progress) {
    AppState& s = c_.state();
    const int sets = pngSetCount(s.list.lineCount());
    // A set whose two lines are blank would be a picture with nothing on it.
    auto blank = [&](int k) {
        return text::trimSpaces(s.list.column(2 * k, Column::Text)).empty() &&
               text::trimSpaces(s.list.column(2 * k + 1, Column::Text)).empty();
    };
    int total = 0;
    for (int k = 0; k < sets; ++k) total += !blank(k);
    if (auto refused = refusalBeforeRun(total)) return *refused;
    shortenProjectName();

    c_.selectListRow(0);
    s.pictureCounter = 1;
    beginRun();
    AtExit done{[&] { endRun(true); }};
    if (progress) progress->start(0, total);

    PngSequenceJob job;
    job.projectDir = s.projectDir;
    job.name = s.projectName;
    job.width = s.projectWidth;
    job.height = s.projectHeight;
    job.setCount = sets;
    job.skip = blank;
    job.render = [&](int k, Image& out) {
        renderWalkStep(2 * k, 2 * k, RenderTarget::AlphaExport, out);
        return true;
    };
    job.encode = encodePng;
    job.encodeThreads = workerThreads < 0 ? 0 : workerThreads > 0 ? workerThreads : pngEncodeThreads();
    job.progress = [&](int value, int of) {
        s.pictureCounter = value + 1;
        if (progress) progress->update(value, of);
        ui_.processPendingEvents();
    };
    ExportResult result = ::exportPngSequence(job);
    s.pictureCounter = result.pictures + 1;
    if (result.ok) {
        std::vector<bool> hasPicture(static_cast<size_t>(sets));
        for (int k = 0; k < sets; ++k) hasPicture[size_t(k)] = !blank(k);
        writePngTimelineFiles(result, hasPicture);
    }
    ExportReport report = reportOf(result, total);
    report.skipped = result.skipped;
    if (report.done() && result.skipped > 0)
        report.text += "\n" + std::to_string(result.skipped) +
                       (result.skipped == 1 ? " set without text was" : " sets without text were") + " skipped.";
    return report;
}

// The editors' timeline and the timing table beside the pictures.
void ExportCommands::writePngTimelineFiles(ExportResult& result, const std::vector<bool>& hasPicture) {
    const AppState& s = c_.state();
    PngTimelineJob t;
    t.folder = result.folder;
    t.name = s.projectName;
    t.width = s.projectWidth;
    t.height = s.projectHeight;
    t.fps = s.fps;
    t.setCount = int(hasPicture.size());
    t.hasPicture = hasPicture;
    t.spans = buildSetSpans(s.list, s.fps);
    for (int k = 0; k < t.setCount; ++k) {
        const auto [on, off] = splitTiming(s.list.column(2 * k, Column::Timing));
        t.onText.push_back(text::trimSpaces(on));
        t.offText.push_back(text::trimSpaces(off));
    }
    files::Result written = writePngTimeline(t, result.written);
    if (!written) {
        result.ok = false;
        result.error = written.error;
    }
}

ExportReport ExportCommands::exportIffScala(int scalaTarget, ExportProgress* progress) {
    AppState& s = c_.state();
    if (!iffSizeAllowed(s.projectWidth, s.projectHeight)) return refusal("Error!", kIffSizeErrorText);
    if (!scalaTargetSupported(scalaTarget))
        return refusal("Error!", "This Scala version cannot play the exported pictures, please choose another one!");
    if (!(s.fps > 0))
        return refusal("Error!", "The project has no frame rate, so its timing cannot be exported.");
    if (auto refused = refusalBeforeRun(iffSetCount(s.list.lineCount()))) return *refused;
    shortenProjectName();

    // The poster first: without its fonts nothing is written.
    TextRenderer textRenderer;
    std::string posterError;
    Image poster = buildPosterImage(s.projectWidth, s.projectHeight, textRenderer, s.titlePrefix, s.versionText,
                                    posterError);
    if (poster.empty()) return refusal("Error!", "The instruction picture could not be drawn: " + posterError);

    const std::vector<SetTiming> sets = setTimings(s.list);
    const int total = int(sets.size());
    const std::string leftOut = scheduleWarningText(scheduleSets(sets));
    if (!leftOut.empty()) message(kScheduleWarningTitle, leftOut);

    c_.selectListRow(0);
    s.pictureCounter = 1;
    s.captureActive = 1;
    if (scalaTarget == ScalaMm200) message(kScalaInfoTitle, kScalaInfoText);
    if (progress) progress->start(1, total);
    beginRun();
    for (int id : ctl::ContextFields) ui_.setVisible(id, false);
    AtExit done{[&] {
        // Out of the IFF look: the preview gets the preset's background colour back.
        s.style.bgColor = s.style.presetBgColor;
        for (int id : ctl::ContextFields) ui_.setVisible(id, true);
        endRun(true);
    }};

    IffScalaJob job;
    job.projectDir = s.projectDir;
    job.name = s.projectName;
    job.width = s.projectWidth;
    job.height = s.projectHeight;
    job.fps = s.fps;
    job.scalaTarget = scalaTarget;
    job.sets = sets;
    job.poster = std::move(poster);
    job.render = [&](int k, Image& out) {
        renderWalkStep(2 * k, 2 * k, RenderTarget::OpaqueExport, out);
        return true;
    };
    job.encodeThreads = workerThreads < 0 ? 0 : workerThreads > 0 ? workerThreads : pngEncodeThreads();
    job.progress = [&](int value, int of) {
        if (progress) progress->update(value, of);
        ui_.processPendingEvents();
    };
    ExportResult result = ::exportIffScala(job);
    s.pictureCounter = result.pictures + 1;
    return reportOf(result, total);
}

ExportReport ExportCommands::exportTimedAvi(ExportProgress* progress) {
    AppState& s = c_.state();
    if (aviFrameRate(s.fps) <= 0)
        return refusal("Error!", "The project has no frame rate, so its timing cannot be exported.");
    const SetSchedule schedule = scheduleSets(setTimings(s.list, exportSetCount(s.list)));
    const FrameTimeline timeline = buildFrameTimeline(schedule);
    if (timeline.total <= 0) return refusal("Error!", kAviNoTimingsText);
    if (auto refused = refusalBeforeRun(0)) return *refused;

    // The compression first: a cancelled choice leaves everything as it was.
    const std::vector<AviCodecInfo> codecs = availableAviCodecs();
    CodecChoice codec = s.aviCompression;
    if (chooseCodec) {
        std::optional<CodecChoice> chosen = chooseCodec(codecs, s.aviCompression);
        if (!chosen) return refusal("", "");
        codec = *chosen;
        s.aviCompression = codec;
    }

    const std::string leftOut = scheduleWarningText(schedule);
    if (!leftOut.empty()) message(kScheduleWarningTitle, leftOut);

    shortenProjectName();
    TimedMovieJob job;
    job.path = exportnames::aviMoviePath(exportnames::outputFolder(s.projectDir, exportnames::OutputKind::Avi), s.projectName);
    job.width = s.projectWidth;
    job.height = s.projectHeight;
    job.fps = s.fps;
    job.codec = codec;
    const int total = int(timeline.total);

    c_.selectListRow(0);
    s.pictureCounter = 1;
    beginRun();
    AtExit done{[&] { endRun(true); }};
    if (progress) progress->start(0, total);

    // Each picture is drawn once, when its first frame comes up, as the user
    // would see it: the set selected and its lines in the fields. The blank
    // frame has both fields empty. Never the preview's background picture.
    const AviPictureSource pictures = [&](int set, Image& out) {
        if (set == kBlankPicture) {
            c_.setControlText(ctl::LineA, "");
            c_.setControlText(ctl::LineB, "");
            renderSubtitleSet(RenderTarget::ColorExport, s.style, c_.renderer().fontSheet(), out, "", "");
            c_.loadSetIntoFields();
        } else {
            renderWalkStep(2 * set, 2 * set, RenderTarget::ColorExport, out);
            s.pictureCounter = set + 2;
        }
        ui_.processPendingEvents();
        return true;
    };
    const AviProgress onProgress = [&](int64_t value, int64_t of) {
        if (progress) progress->update(int(value), int(of));
        ui_.processPendingEvents();
    };

    std::unique_ptr<AviWriter> writer = createAviWriter();
    const TimedMovieResult result = writeTimedMovie(*writer, job, timeline, pictures, onProgress);
    s.pictureCounter = exportSetCount(s.list) + 1;

    ExportReport r;
    r.total = total;
    r.folder = exportnames::outputFolder(s.projectDir, exportnames::OutputKind::Avi);
    if (result.ok()) {
        r.outcome = ExportReport::Outcome::Done;
        r.pictures = int(result.frames);
        r.written = {job.path};
        r.title = "Success!";
        r.text = exportnames::exportedMessage(result.frames);
    } else {
        r.outcome = ExportReport::Outcome::Failed;
        r.title = "Error!";
        r.text = result.error;
        if (r.text.find(job.path) == std::string::npos)
            r.text = "The movie file \"" + job.path + "\" could not be written.\n" + r.text;
        r.text += "\n\nNo movie was written.";
    }
    return r;
}

ExportReport ExportCommands::exportSubtitleTrack(SubtitleFormat format, bool indexedPng, ExportProgress* progress) {
    AppState& s = c_.state();
    const std::string refusal = subtitleExportRefusal(format, s.projectWidth, s.projectHeight, s.fps);
    if (!refusal.empty()) return ::refusal("Error!", refusal);
    shortenProjectName();

    SubtitleExportJob job;
    job.format = format;
    job.projectDir = s.projectDir;
    job.name = s.projectName;
    job.width = s.projectWidth;
    job.height = s.projectHeight;
    job.fps = s.fps;
    job.sets = collectTrackSets(s.list, s.fps);
    job.indexedPng = indexedPng;
    job.makeStreamWriter = createSubtitleStreamWriter;
    const int total = int(job.sets.sets.size());

    c_.selectListRow(0);
    s.pictureCounter = 1;
    beginRun();
    AtExit done{[&] { endRun(true); }};
    if (progress) progress->start(0, total);
    job.render = [&](int set, Image& out) {
        renderWalkStep(2 * set, 2 * set, RenderTarget::AlphaExport, out);
        return true;
    };
    job.progress = [&](int value, int of) {
        if (progress) progress->update(value, of);
        ui_.processPendingEvents();
    };
    const SubtitleExportResult result = ::exportSubtitleTrack(job);
    s.pictureCounter = result.pictures + 1;

    ExportReport r;
    r.pictures = result.subtitles;
    r.total = total;
    r.folder = result.folder;
    r.written = result.written;
    if (result.ok) {
        r.outcome = ExportReport::Outcome::Done;
        r.title = "Success!";
        r.text = subtitleExportMessage(result);
    } else {
        r.outcome = ExportReport::Outcome::Failed;
        r.title = "Error!";
        r.text = result.error + "\n\nThe export stopped.";
    }
    return r;
}

ExportReport ExportCommands::captureScreen() {
    AppState& s = c_.state();
    const int selected = s.view.selectedRow;
    const int rows = s.list.lineCount();
    // The set that holds the selected row; with no selection the set being
    // typed, which is the one the preview shows.
    int row = selected >= 0 && selected < rows ? selected : std::min(2 * s.currentSet, std::max(0, rows - 1));
    row = captureRow(row);
    if (auto refused = refusalBeforeRun(1)) return *refused;

    beginRun();
    AtExit done{[&] { endRun(false); }};

    CaptureJob job;
    job.projectDir = s.projectDir;
    job.projectName = s.projectName;
    job.width = s.projectWidth;
    job.height = s.projectHeight;
    job.row = row;
    job.render = [&](int k, Image& out) {
        renderWalkStep(2 * k, selected, RenderTarget::AlphaExport, out);
        return true;
    };
    job.encode = encodePng;
    ExportResult result = captureSet(job);

    ExportReport r;
    r.pictures = result.pictures;
    r.total = 1;
    r.folder = result.folder;
    r.written = result.written;
    if (result.ok) {
        r.outcome = ExportReport::Outcome::Done;
        r.title = kCaptureTitle;
        r.text = captureMessage(result.written.back());
    } else {
        r.outcome = ExportReport::Outcome::Failed;
        r.title = "Error!";
        r.text = "The capture could not be saved.\n" + result.error;
    }
    return r;
}
