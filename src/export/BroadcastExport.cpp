#include "export/BroadcastExport.h"

#include <algorithm>

#include "export/ExportNames.h"
#include "export/Language.h"
#include "export/Scc.h"
#include "io/Files.h"
#include "project/ProjectFile.h"

namespace {

ExportReport failed(const std::string& text) {
    ExportReport r;
    r.outcome = ExportReport::Outcome::Failed;
    r.title = "Error!";
    r.text = text + "\n\nThe export stopped.";
    return r;
}

// Writes `bytes` as folder/NAME.ext and makes the closing report.
ExportReport writeOut(const ProjectExportInput& in, exportnames::OutputKind kind, const std::string& ext,
                      const std::string& bytes, const TrackSets& sets, int subtitles, int blank,
                      const std::vector<std::string>& notes) {
    const std::string folder = exportnames::outputFolder(in.projectDir, kind);
    files::Result made = files::makeDirectories(folder);
    if (!made || !files::isDirectory(folder))
        return failed("The folder " + folder + " could not be created" + (made.error.empty() ? "." : ": " + made.error));
    const std::string path = folder + in.name + ext;
    files::Result written = files::writeFileAtomic(path, bytes);
    if (!written) return failed("The file " + path + " could not be written: " + written.error);

    SubtitleExportResult result;
    result.subtitles = subtitles;
    result.untimed = sets.untimed;
    result.reversed = sets.reversed;
    result.untimedSets = sets.untimedSets;
    result.reversedSets = sets.reversedSets;
    result.blank = blank;
    ExportReport r;
    r.outcome = ExportReport::Outcome::Done;
    r.title = "Success!";
    r.text = subtitleExportMessage(result);
    for (const std::string& note : notes) r.text += "\n" + note;
    r.pictures = subtitles;
    r.total = int(sets.sets.size());
    r.folder = folder;
    r.written.push_back(path);
    return r;
}

}  // namespace

ExportReport exportStl(const ProjectExportInput& in, const StlExportOptions& options) {
    if (!(in.fps > 0)) return ExportReport::refusal("Error!", "The project has no frame rate, so its timing cannot be exported.");
    const TrackSets sets = collectTrackSets(in.sets, in.fps);
    StlOptions o;
    o.mode = options.mode;
    o.start = options.start;
    // Without a code of its own the file takes the track's language where
    // the list of EBU codes has it (0, unknown, otherwise).
    o.languageCode = options.languageCode;
    if (o.languageCode == 0 && in.language != language::kUndetermined)
        o.languageCode = std::max(0, stlLanguageCode(language::twoLetter(in.language)));
    o.title = in.name;
    o.centred = in.style.centerText;
    o.height = in.height;
    o.stripHeight = in.font && in.font->stripHeight > 0 ? in.font->stripHeight : std::max(1, in.height / 18);
    o.date = localTimeNow();
    for (const SubtitleSet& set : in.sets) o.setY.push_back(set.y.value_or(in.style.stripsYPos));
    const StlFile f = writeStl(sets, in.fps, o);
    if (!f.error.empty()) return ExportReport::refusal("Error!", f.error);
    return writeOut(in, exportnames::OutputKind::Stl, ".stl", f.bytes, sets, f.subtitles, f.blank, f.notes);
}


ExportReport exportScc(const ProjectExportInput& in) {
    if (!(in.fps > 0)) return ExportReport::refusal("Error!", "The project has no frame rate, so its timing cannot be exported.");
    const TrackSets sets = collectTrackSets(in.sets, in.fps);
    SccOptions o;
    o.centred = in.style.centerText;
    o.height = in.height;
    o.stripHeight = in.font && in.font->stripHeight > 0 ? in.font->stripHeight : std::max(1, in.height / 18);
    for (const SubtitleSet& set : in.sets) o.setY.push_back(set.y.value_or(in.style.stripsYPos));
    const SccFile f = writeScc(sets, in.fps, o);
    if (!f.error.empty()) return ExportReport::refusal("Error!", f.error);
    return writeOut(in, exportnames::OutputKind::Scc, ".scc", f.bytes, sets, f.captions, f.blank, f.notes);
}
