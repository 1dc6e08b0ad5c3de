// The picture exports of a project: the PNG sequence, the IFF pictures with
// their Scala script, and the capture of one set.
#include <algorithm>

#include "base/Text.h"
#include "export/ExportDriver.h"
#include "export/ProjectExport.h"
#include "export/ProjectExportParts.h"
#include "export/PngTimeline.h"
#include "export/Poster.h"
#include "export/ScalaScript.h"
#include "export/SetSchedule.h"
#include "export/SetSpans.h"
#include "export/TestHold.h"
#include "io/Files.h"
#include "io/ImageCodecs.h"
#include "io/TextRenderer.h"
#include "project/TimeCode.h"
#include "render/Compositor.h"

using namespace projectexport;

namespace {

using Outcome = ExportReport::Outcome;

// The run flushes its folder to the disk once at its end.
bool encodePng(const Image& image, const std::string& path, std::string& error) {
    return imageio::writePng32Fast(path, image, error, files::Sync::AtRunEnd);
}

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

// ON and OFF as the list shows them (a hand-edited column as it stands).
std::pair<std::string, std::string> timeCodeTexts(const SubtitleSet& s) {
    if (!s.rows.fromList || s.rows.timingA.verbatim.empty())
        return {s.on ? formatTimeCode(*s.on) : std::string(), s.off ? formatTimeCode(*s.off) : std::string()};
    const auto [on, off] = splitTiming(s.rows.timingA.verbatim);
    return {text::trimSpaces(on), text::trimSpaces(off)};
}

}  // namespace

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
    job.renderRows = [&](int k, Image& out, RowRange& rows) {
        holdForTestsBeforeSet(k, cancel, [&] { idle(in); });
        return !cancelRequested(cancel) && drawSetOnTransparent(in, k, out, rows);
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
    if (!warning.empty()) tell(in, NoticeLevel::Warning, kScheduleWarningTitle, warning);
    if (in.starting) in.starting();
    if (scalaTarget == ScalaMm200) tell(in, NoticeLevel::Info, kScalaInfoTitle, kScalaInfoText);
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
    job.renderClears = true;  // the opaque render sets every pixel
    job.encodeThreads = encodeThreads(in);
    job.progress = [&](int value, int of) { stepProgress(in, value, of); };
    const ExportResult result = exportIffScala(job);
    if (!result.ok && cancelRequested(cancel)) return cancelledPictures(result, total);
    if (!result.ok) return failedPictures(result, total);
    return reportOf(result, total, leftOut);
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

