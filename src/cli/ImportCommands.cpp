// kalvero-cli import-srt, import-stl and import-scc: a subtitle file read
// into a new project under the chosen profile and preset.
#include "cli/ImportCommands.h"

#include <algorithm>

#include "app/ProjectOpen.h"
#include "base/Text.h"
#include "cli/CliSupport.h"
#include "io/Files.h"
#include "project/SccImport.h"
#include "project/SrtImport.h"
#include "project/StlImport.h"
#include "project/SubtitleSet.h"
#include "render/FontSheet.h"

namespace cli {

namespace {

// The start every import shares: its options, the one input file, -o, the
// settings and the profile and preset. False when the settings cannot be read.
bool startImport(Context& c, const Args& a, const char* what, std::string& input) {
    files::setReplaceReadOnly(a.flag("--force"));
    input = requireOne(a, what);
    if (!c.loadSettings()) return false;
    c.selectProfileAndPreset(c.profileArg(a, c.state.profileIndex), c.presetArg(a, c.state.presetIndex));
    return true;
}

// The height of one line's strip at the selected profile's font size (from
// its font sheet; a share of the picture when the sheet cannot be read).
int lineHeightOfProfile(Context& c) {
    FontSheet font;
    int dirty = 1;
    loadFontSheets(font, fontSheetFolders(c.state.dataDirs()), c.state.style.fontSize, Notice(), dirty);
    return font.stripHeight > 0 ? font.stripHeight : std::max(1, c.state.projectHeight / 18);
}

// The project of an import: the sets after the list's first empty set is
// cleared, the timings recalculated, written in one step.
int writeImported(Context& c, const std::string& input, const std::vector<SubtitleSet>& sets,
                  const std::vector<std::string>& notes, const std::string& output, const char* what) {
    for (const std::string& note : notes) c.err << "kalvero-cli: note: " << terminalLine(input + ": " + note) << "\n";
    c.state.list = listOfSets(sets);
    c.recalculateTimings();
    if (!c.writeProject(output)) return BadInput;
    c.out << "imported " << sets.size() << " " << what << (sets.size() == 1 ? "" : "s") << " into " << output << "\n";
    return Ok;
}

}  // namespace

int cmdImportSrt(Context& c, const Args& a) {
    std::string input;
    if (!startImport(c, a, "one SubRip file", input)) return BadInput;

    std::string bytes;
    files::Result r = files::readFile(input, bytes, kMaxOpenBytes);
    if (!r) return c.fail("cannot read " + input + ": " + r.error);
    c.state.list.clearList();
    SrtImportResult result = importSrtText(bytes, c.state.fps, c.state.style.stripsYPos, c.state.list);
    for (const std::string& line : text::splitLines(describeSkippedLines(result)))
        c.err << "kalvero-cli: " << terminalLine(input + ": " + line) << "\n";
    if (result.cues == 0) return c.fail("no SubRip cue found in " + input);
    c.recalculateTimings();
    if (!c.writeProject(a.get("-o"))) return BadInput;
    c.out << "imported " << result.cues << (result.cues == 1 ? " cue" : " cues") << " into " << a.get("-o") << "\n";
    return Ok;
}

int cmdImportStl(Context& c, const Args& a) {
    std::string input;
    if (!startImport(c, a, "one EBU subtitle list (.stl)", input)) return BadInput;
    std::string bytes;
    files::Result r = files::readFile(input, bytes, kMaxOpenBytes);
    if (!r) return c.fail("cannot read " + input + ": " + r.error);
    const StlImportResult result = importStl(bytes, c.state.fps, c.state.projectHeight, lineHeightOfProfile(c));
    if (!result.ok) return c.fail(input + ": " + result.error + " Nothing was imported.");
    return writeImported(c, input, result.sets, result.notes, a.get("-o"), "subtitle");
}

int cmdImportScc(Context& c, const Args& a) {
    std::string input;
    if (!startImport(c, a, "one caption file (.scc)", input)) return BadInput;
    std::string bytes;
    files::Result r = files::readFile(input, bytes, kMaxSccBytes);
    if (!r)
        return c.fail("cannot read " + input + ": " + r.error +
                      (r.error == "the file is too large"
                           ? " (a caption file is read up to " + std::to_string(kMaxSccBytes >> 20) + " MB)"
                           : std::string()) +
                      ". Nothing was imported.");
    const SccImportResult result = importScc(bytes, c.state.fps, c.state.projectHeight, lineHeightOfProfile(c));
    if (!result.ok) return c.fail(input + ": " + result.error + " Nothing was imported.");
    return writeImported(c, input, result.sets, result.notes, a.get("-o"), "caption");
}

}  // namespace cli
