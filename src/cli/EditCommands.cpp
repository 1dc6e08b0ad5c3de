// kalvero-cli shift, convert-rate, import-text, merge-srt, replace and check:
// the editing tools over a whole project, for batches. Each reads the
// project as the window opens it, changes its sets with the same functions
// the window's tools use, and writes the result only when the tool accepted
// the input.
#include "cli/EditCommands.h"

#include <algorithm>
#include <memory>

#include "app/DataDirs.h"
#include "app/ProjectOpen.h"
#include "base/Utf8.h"
#include "base/Cp1252.h"
#include "base/Text.h"
#include "cli/CliSupport.h"
#include "io/Files.h"
#include "io/Spelling.h"
#include "project/Proofing.h"
#include "project/Retime.h"
#include "project/SubtitleSet.h"
#include "project/TextImport.h"
#include "render/FontSheet.h"
#include "render/ProjectLook.h"
#include "render/InstalledFont.h"
#include "render/LayoutCheck.h"
#include "render/PresetStyle.h"

namespace cli {

namespace {

// The edited sets become the project's rows, with their "OFF+ON" column.
void takeSets(Context& c, const std::vector<SubtitleSet>& sets, bool tellMissing) {
    c.state.list = listOfSets(sets);
    if (tellMissing) c.recalculateTimings();
    else recalculateOffOn(c.state.list, c.state.fps);
}

// The font sheets of the style's size, as an export loads them.
FontSheet loadSheets(const Context& c) {
    FontSheet font;
    int dirty = 1;
    loadFontSheets(font, fontSheetFolders(c.state.dataDirs()), c.state.style.fontSize, Notice(), dirty);
    return font;
}

std::string fpsText(float fps) {
    char b[32];
    std::snprintf(b, sizeof b, "%g", double(fps));
    return b;
}

// Settings, then the profile and preset of --profile and --preset (those of
// the settings file when not given).
void chooseProfile(Context& c, const Args& a) {
    const int profile = a.number("--profile", c.state.profileIndex);
    const int preset = a.number("--preset", c.state.presetIndex);
    c.selectProfileAndPreset(profile, preset);
}

bool readInput(Context& c, const std::string& path, std::string& bytes) {
    files::Result r = files::readFile(path, bytes, kMaxOpenBytes);
    if (!r) {
        c.fail("cannot read " + path + ": " + r.error);
        return false;
    }
    return true;
}

}  // namespace

int cmdShift(Context& c, const Args& a) {
    files::setReplaceReadOnly(a.flag("--force"));
    const std::string input = requireOne(a, "one project file");
    if (a.has("--frames") == a.has("--to")) throw UsageError{"shift needs either --frames N or --to HH:MM:SS:FF"};
    const int frames = a.number("--frames", 0);
    if (!c.loadSettings() || !c.loadProject(input)) return BadInput;

    std::vector<SubtitleSet> sets = subtitleSets(c.state.list);
    SetRange range{0, int(sets.size()) - 1};
    std::string error;
    if (a.has("--sets")) {
        std::optional<SetRange> r = parseSetRange(a.get("--sets"), int(sets.size()), error);
        if (!r) return c.fail(input + ": " + error);
        range = *r;
    }
    SetsEdit e;
    if (a.has("--to")) {
        std::optional<TimeCode> start = readTimeCode(a.get("--to"), c.state.fps, error);
        if (!start) throw UsageError{"--to: " + error + " at " + fpsText(c.state.fps) + " fps"};
        e = shiftSetsTo(std::move(sets), range, *start, c.state.fps);
    } else {
        e = shiftSets(std::move(sets), range, frames, c.state.fps);
    }
    if (!e.ok()) return c.fail(input + ": " + e.error + "; nothing was shifted");
    takeSets(c, e.sets, false);
    if (!c.writeProject(a.get("-o"))) return BadInput;
    c.out << "shifted " << e.changed << (e.changed == 1 ? " set" : " sets") << " into " << a.get("-o") << "\n";
    return Ok;
}

int cmdConvertRate(Context& c, const Args& a) {
    files::setReplaceReadOnly(a.flag("--force"));
    const std::string input = requireOne(a, "one project file");
    const std::string keep = a.get("--keep");  // time or frames, required
    if (!c.loadSettings() || !c.loadProject(input)) return BadInput;

    RateChange change;
    change.fromFps = c.state.fps;
    change.fromHeight = c.state.projectHeight;
    change.keep = keep == "time" ? KeepOnRateChange::Time : KeepOnRateChange::Frames;
    c.selectProfileAndPreset(a.number("--profile", 0), c.state.presetIndex);
    change.toFps = c.state.fps;
    change.toHeight = c.state.projectHeight;
    // As the window's strips Y sliders reach: two strips above the bottom.
    change.maxY = std::max(0, c.state.projectHeight - 2 * loadSheets(c).stripHeight);

    SetsEdit e = changeFrameRate(subtitleSets(c.state.list), change);
    if (!e.ok()) return c.fail(input + ": " + e.error);
    takeSets(c, e.sets, false);
    if (!c.writeProject(a.get("-o"))) return BadInput;
    c.out << "converted " << e.changed << (e.changed == 1 ? " set" : " sets") << " from " << fpsText(change.fromFps)
          << " to " << fpsText(change.toFps) << " fps (keeping " << keep << ") into " << a.get("-o") << "\n";
    return Ok;
}

int cmdImportText(Context& c, const Args& a) {
    files::setReplaceReadOnly(a.flag("--force"));
    const std::string input = requireOne(a, "one text file");
    if (!c.loadSettings()) return BadInput;
    chooseProfile(c, a);
    std::string bytes;
    if (!readInput(c, input, bytes)) return BadInput;
    TextImportResult r = importPlainText(bytes, c.state.style.stripsYPos);
    if (!r.ok()) return c.fail(input + ": " + r.error);
    // Untimed on purpose: no note about missing time codes.
    takeSets(c, r.sets, false);
    if (!c.writeProject(a.get("-o"))) return BadInput;
    c.out << "imported " << r.sets.size() << (r.sets.size() == 1 ? " set" : " sets") << " without times into "
          << a.get("-o") << "\n";
    return Ok;
}

int cmdMergeSrt(Context& c, const Args& a) {
    files::setReplaceReadOnly(a.flag("--force"));
    if (a.positional.size() != 2) throw UsageError{"expected two SubRip files: the top line's and the bottom line's"};
    if (!c.loadSettings()) return BadInput;
    chooseProfile(c, a);
    std::string top, bottom;
    if (!readInput(c, a.positional[0], top) || !readInput(c, a.positional[1], bottom)) return BadInput;
    TwoLanguageResult r = mergeTwoLanguages(top, bottom, c.state.fps, c.state.style.stripsYPos);
    for (int f = 0; f < 2; ++f)
        for (const std::string& line : text::splitLines(describeSkippedLines(f == 0 ? r.top : r.bottom)))
            c.err << "kalvero-cli: " << terminalLine(a.positional[size_t(f)] + ": " + line) << "\n";
    if (!r.ok()) return c.fail(r.error + " (" + a.positional[r.top.cues == 0 ? 0 : 1] + ")");
    takeSets(c, r.sets, true);
    if (!c.writeProject(a.get("-o"))) return BadInput;
    auto count = [](int n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); };
    c.out << "merged " << count(r.pairs, "pair", "pairs") << ", " << count(r.topAlone, "top line", "top lines")
          << " alone and " << count(r.bottomAlone, "bottom line", "bottom lines") << " alone into " << a.get("-o")
          << "\n";
    return Ok;
}

int cmdReplace(Context& c, const Args& a) {
    files::setReplaceReadOnly(a.flag("--force"));
    const std::string input = requireOne(a, "one project file");
    FindOptions o;
    o.find = utf8::sanitize(a.get("--find"));
    o.regex = a.flag("--regex");
    o.wholeWord = a.flag("--whole-word");
    o.matchCase = !a.flag("--ignore-case");
    const std::string with = utf8::sanitize(a.get("--with"));
    if (TextSearch search(o); !search.error().empty()) return c.fail(search.error());
    if (!c.loadSettings() || !c.loadProject(input)) return BadInput;

    ReplaceResult r = replaceAll(subtitleSets(c.state.list), o, with);
    if (!r.ok()) return c.fail(input + ": " + r.error + "; nothing was replaced");
    takeSets(c, r.sets, false);
    if (!c.writeProject(a.get("-o"))) return BadInput;
    c.out << "replaced " << r.replaced << " in " << r.setsChanged << (r.setsChanged == 1 ? " set" : " sets") << " into "
          << a.get("-o") << "\n";
    return Ok;
}

int cmdCheck(Context& c, const Args& a) {
    const std::string input = requireOne(a, "one project file");
    TimingCheckOptions o;
    o.maxCps = a.number("--max-cps", 17);
    o.minFrames = a.number("--min-frames", 20);
    const int safeArea = a.number("--safe-area", 90);
    std::unique_ptr<SpellChecker> speller;
    if (a.has("--lang")) {
        std::string error;
        speller = SpellChecker::open(a.get("--lang"), error);
        if (!speller) return c.fail("--lang: " + error);
    }
    if (!c.loadSettings() || !c.loadProject(input)) return BadInput;

    const Profile* profile = c.state.profile();
    const Preset* preset = c.state.preset();
    // The project's look, where it has one, with the font its glyphs come from.
    StripsConfig style = c.look ? styleOfLook(*c.look, *profile) : styleFromPreset(*preset, *profile);
    style.wordSpacing = std::clamp(style.wordSpacing, -6, 6);
    c.state.style = style;
    FontSheet font = loadSheets(c);
    if (!font.hasGlyphsFor(style.fontSize))
        return c.fail("the font sheets of size " + std::to_string(style.fontSize) + " cannot be read");
    if (!style.fontFamily.empty() || style.crisp) {
        std::vector<std::string> texts;
        for (int i = 0; i < c.state.list.lineCount(); ++i) texts.push_back(c.state.list.row(i)->text);
        if (const InstalledFontResult r = syncFontChoice(font, style, texts); !r.ok)
            c.err << "kalvero-cli: warning: " << r.error << "; the shipped font sheets are checked\n";
    }

    const std::vector<SubtitleSet> sets = subtitleSets(c.state.list);
    std::vector<CheckFinding> findings = checkTimings(sets, c.state.fps, o);
    std::vector<CheckFinding> layout = checkLayout(sets, style, font, c.state.projectWidth, safeArea);
    findings.insert(findings.end(), layout.begin(), layout.end());
    if (speller) {
        std::vector<CheckFinding> spelling = checkSpelling(sets, *speller);
        findings.insert(findings.end(), spelling.begin(), spelling.end());
    }
    sortFindings(findings);
    for (const CheckFinding& f : findings)
        c.out << "set " << f.set + 1 << ": " << f.kind << ": " << terminalLine(f.detail) << "\n";
    return findings.empty() ? Ok : Findings;
}

}  // namespace cli
