#include "app/EditTools.h"

#include <algorithm>
#include <climits>
#include <map>
#include <memory>

#include "app/ControlIds.h"
#include "app/Controller.h"
#include "base/Cp1252.h"
#include "base/Text.h"
#include "io/Files.h"
#include "app/ProjectOpen.h"
#include "io/Spelling.h"
#include "project/TextImport.h"
#include "render/LayoutCheck.h"

namespace edittools {

namespace {

std::string plural(int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A whole number of frames, with an optional sign; nullopt otherwise.
std::optional<long long> framesOf(const std::string& text) {
    std::string t = text::trimSpaces(text);
    bool negative = false;
    if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
        negative = t[0] == '-';
        t.erase(0, 1);
    }
    if (t.empty() || t.size() > 9 || !std::all_of(t.begin(), t.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
        return std::nullopt;
    const long long n = std::stoll(t);
    return negative ? -n : n;
}

void loadFieldsOf(Controller& c) { c.loadSetIntoFields(); }

std::string languageFile(const AppState& s) {
    const std::string folder = s.userConfigDir.empty() ? s.programDir : s.userConfigDir;
    return folder.empty() ? std::string() : files::withTrailingSeparator(folder) + "spelling-language";
}

}  // namespace

bool handle(Controller& c, const Event& e) {
    if (e.kind != EventKind::Control) return false;
    Ui& ui = c.context().ui;
    auto tell = [&](const ToolResult& r) {
        if (!r.ok()) ui.messageBox("Warning!", r.error);
        else if (!r.message.empty()) ui.messageBox("Information", r.message);
    };
    switch (e.id) {
        case ctl::SafeAreas:
            c.state().view.safeAreas = e.value != 0;
            c.refreshPreview();
            return true;
        case ctl::SplitSet: {
            const ToolResult r = splitSelected(c);
            if (!r.ok()) tell(r);
            return true;
        }
        case ctl::MergeSets: {
            const ToolResult r = mergeWithNext(c);
            if (!r.ok()) tell(r);
            return true;
        }
        case ctl::ImportText: {
            const std::string path = text::trimSpaces(
                ui.openFileDialog("Import Text", c.state().projectDir,
                                  "Text file (*.txt)|*.txt;*.TXT|All files|*"));
            if (!path.empty()) tell(importText(c, path));
            return true;
        }
        default:
            if (e.id != ctl::ToolsMenu && !ctl::isEditTool(e.id)) return false;
            if (c.openEditTool) c.openEditTool(e.id);
            return true;
    }
}

std::optional<SetRange> selectedSets(const AppState& s) {
    // A selection of many: from its first set to its last.
    if (!s.view.markedSets.empty()) return SetRange{s.view.markedSets.front(), s.view.markedSets.back()};
    const int row = s.view.selectedRow;
    if (row < 0 || row >= s.list.lineCount()) return std::nullopt;
    return SetRange{row / 2, row / 2};
}

void takeSets(EditorContext& cx, const std::vector<SubtitleSet>& sets, const std::function<void()>& loadFields) {
    AppState& s = cx.s;
    SubtitleList list = listOfSets(sets);
    if (list.lineCount() == 0) list.appendEmptySet();
    for (int i = 0; i < list.lineCount() && i < s.list.lineCount(); ++i) list.setRowShade(i, s.list.shade(i));
    recalculateOffOn(list, s.fps);
    s.list = std::move(list);
    cx.listChanged();
    const int row = s.view.selectedRow;
    if (row >= 0 && row < s.list.lineCount()) {
        cx.selectListRow(row);
        if (loadFields) loadFields();
    } else {
        s.currentSet = std::clamp(s.currentSet, 0, std::max(0, s.list.lineCount() / 2 - 1));
        cx.setControlText(ctl::LineA, s.list.column(2 * s.currentSet, Column::Text));
        cx.setControlText(ctl::LineB, s.list.column(2 * s.currentSet + 1, Column::Text));
    }
    cx.refreshPreview();
}

// --- retiming ---------------------------------------------------------------------

ToolResult shift(Controller& c, bool selectedOnly, const std::string& amount) {
    ToolResult r;
    AppState& s = c.state();
    std::vector<SubtitleSet> sets = subtitleSets(s.list);
    std::optional<SetRange> range = selectedOnly ? selectedSets(s) : SetRange{0, int(sets.size()) - 1};
    if (!range || sets.empty()) {
        r.error = "No set is selected: choose a set in the list, or shift all sets.";
        return r;
    }
    SetsEdit e;
    if (amount.find(':') != std::string::npos) {
        std::string error;
        const std::optional<TimeCode> start = readTimeCode(amount, s.fps, error);
        if (!start) {
            r.error = "Nothing was shifted: " + error + ".";
            return r;
        }
        e = shiftSetsTo(std::move(sets), *range, *start, s.fps);
    } else if (const std::optional<long long> frames = framesOf(amount)) {
        e = shiftSets(std::move(sets), *range, *frames, s.fps);
    } else {
        r.error = "Nothing was shifted: \"" + amount + "\" is neither a number of frames nor a time code (HH:MM:SS:FF).";
        return r;
    }
    if (!e.ok()) {
        r.error = "Nothing was shifted: " + e.error + ".";
        return r;
    }
    c.changeAsOneStep("Shift", [&] { takeSets(c.context(), e.sets, [&] { loadFieldsOf(c); }); });
    r.message = "Shifted " + plural(e.changed, "set", "sets") + ".";
    return r;
}

ToolResult changeRate(Controller& c, int profileIndex, KeepOnRateChange keep, bool scaleY) {
    ToolResult r;
    AppState& s = c.state();
    if (profileIndex < 0 || profileIndex >= int(s.profiles.size()) || !s.profiles[size_t(profileIndex)].usable()) {
        r.error = "There is no profile " + std::to_string(profileIndex) + ".";
        return r;
    }
    const Profile& to = s.profiles[size_t(profileIndex)];
    RateChange change;
    change.fromFps = s.fps;
    change.toFps = to.fps;
    change.keep = keep;
    if (scaleY) {
        change.fromHeight = s.projectHeight;
        change.toHeight = to.height;
        change.maxY = INT_MAX;
    }
    // Tried first: a refused change leaves the profile as it is.
    SetsEdit tried = changeFrameRate(subtitleSets(s.list), change);
    if (!tried.ok()) {
        r.error = "The frame rate was not changed: " + tried.error + ".";
        return r;
    }
    c.changeAsOneStep("Change Frame Rate", [&] {
        std::vector<SubtitleSet> sets = subtitleSets(s.list);
        s.profileIndex = profileIndex;
        // The rate is taken over here, so the profile's own warning about
        // time codes that no longer match does not apply.
        s.fps = to.fps;
        c.applyProfile(false);
        change.maxY = s.view.overrideY.max;
        SetsEdit e = changeFrameRate(std::move(sets), change);
        takeSets(c.context(), e.sets, [&] { loadFieldsOf(c); });
        r.message = "Changed the rate of " + plural(e.changed, "set", "sets") + ".";
    });
    return r;
}

void offerRateChange(EditorContext& cx, float oldFps, const std::function<void()>& loadFields) {
    AppState& s = cx.s;
    if (exactRate(oldFps) == exactRate(s.fps) || countSetsWithoutTiming(s.list) * 2 >= s.list.lineCount()) return;
    char rates[96];
    std::snprintf(rates, sizeof rates, "The frame rate changes from %g to %g fps.", double(oldFps), double(s.fps));
    const Ui::Answer a = cx.ui.askYesNoCancel(
        "Change of frame rate",
        std::string(rates) +
            "\n\nYes: keep the time (each time code moves to the nearest frame at the new rate).\n"
            "No: keep the frames (every frame number stays: the film runs faster or slower).\n"
            "Cancel: leave the time codes as they are.");
    if (a == Ui::Answer::Cancel) return;
    RateChange change;
    change.fromFps = oldFps;
    change.toFps = s.fps;
    change.keep = a == Ui::Answer::Yes ? KeepOnRateChange::Time : KeepOnRateChange::Frames;
    SetsEdit e = changeFrameRate(subtitleSets(s.list), change);
    if (!e.ok()) {
        cx.ui.messageBox("Warning!", "The time codes were left as they are: " + e.error + ".");
        return;
    }
    takeSets(cx, e.sets, loadFields);
}

ToolResult splitSelected(Controller& c) {
    ToolResult r;
    const std::optional<SetRange> range = selectedSets(c.state());
    if (!range) {
        r.error = "No set is selected: choose the set to split in the list.";
        return r;
    }
    SetsEdit e = splitSet(subtitleSets(c.state().list), range->first, c.state().fps);
    if (!e.ok()) {
        r.error = "Nothing was split: " + e.error + ".";
        return r;
    }
    c.changeAsOneStep("Split Set", [&] { takeSets(c.context(), e.sets, [&] { loadFieldsOf(c); }); });
    return r;
}

ToolResult mergeWithNext(Controller& c) {
    ToolResult r;
    const std::optional<SetRange> range = selectedSets(c.state());
    if (!range) {
        r.error = "No set is selected: choose the first of the two sets to merge in the list.";
        return r;
    }
    SetsEdit e = mergeSets(subtitleSets(c.state().list), range->first);
    if (!e.ok()) {
        r.error = "Nothing was merged: " + e.error + ".";
        return r;
    }
    c.changeAsOneStep("Merge Sets", [&] {
        c.selectListRow(2 * range->first);
        takeSets(c.context(), e.sets, [&] { loadFieldsOf(c); });
    });
    return r;
}

// --- text in ---------------------------------------------------------------------------

ToolResult importText(Controller& c, const std::string& path) {
    ToolResult r;
    AppState& s = c.state();
    std::string bytes;
    if (files::Result read = files::readFile(path, bytes, kMaxOpenBytes); !read) {
        r.error = "Could not read " + cp1252::fromUtf8(path) + ": " + read.error;
        return r;
    }
    TextImportResult imported = importPlainText(bytes, s.view.stripsY.value);
    if (!imported.ok()) {
        r.error = "Nothing was imported from " + cp1252::fromUtf8(path) + ": " + imported.error;
        return r;
    }
    std::vector<SubtitleSet> sets = subtitleSets(s.list);
    // The empty sets at the end (the one being typed) make way.
    while (!sets.empty() && text::trimSpaces(sets.back().lineA).empty() && text::trimSpaces(sets.back().lineB).empty() &&
           !sets.back().on && !sets.back().off)
        sets.pop_back();
    const int first = int(sets.size());
    sets.insert(sets.end(), imported.sets.begin(), imported.sets.end());
    c.changeAsOneStep("Import Text", [&] {
        takeSets(c.context(), sets, {});
        // The first new set is selected, ready for its timing.
        c.selectListRow(2 * first);
        c.selectRow();
        c.context().ui.showListRow(2 * first);
        for (int id : {ctl::Save, ctl::SaveAs, ctl::ExportFiles, ctl::CaptureScreen}) c.context().ui.setEnabled(id, true);
    });
    r.message = "Imported " + plural(int(imported.sets.size()), "set", "sets") + " without times, ready for Record Timings.";
    return r;
}

// --- find and replace --------------------------------------------------------------------

std::optional<TextMatch> findNext(const AppState& s, const FindOptions& options, int fromSet, size_t fromByte,
                                  std::string& error) {
    TextSearch search(options);
    error = search.error();
    if (!error.empty()) return std::nullopt;
    const int count = s.list.lineCount() / 2 + s.list.lineCount() % 2;
    if (count == 0) return std::nullopt;
    fromSet = std::clamp(fromSet, 0, count - 1);
    // The set it starts in is looked at again, from its start, after the others.
    for (int step = 0; step <= count; ++step) {
        const int k = (fromSet + step) % count;
        for (const TextMatch& m : search.matches(subtitleSetOf(s.list, k), k))
            if (step == count || step > 0 || m.begin >= fromByte) return m;
    }
    return std::nullopt;
}

void showMatch(Controller& c, const TextMatch& m) {
    c.selectListRow(2 * m.set);
    c.selectRow();
    c.context().ui.showListRow(2 * m.set);
    c.refreshPreview();
}

ToolResult replaceOne(Controller& c, const FindOptions& options, const std::string& with, const TextMatch& m) {
    ToolResult r;
    ReplaceResult done = ::replaceOne(subtitleSets(c.state().list), options, with, m);
    if (!done.ok()) {
        r.error = "Nothing was replaced: " + done.error + ".";
        return r;
    }
    if (done.replaced == 0) {
        r.error = "The text found is no longer there; nothing was replaced.";
        return r;
    }
    c.changeAsOneStep("Replace", [&] {
        c.selectListRow(2 * m.set);
        takeSets(c.context(), done.sets, [&] { loadFieldsOf(c); });
    });
    return r;
}

ToolResult replaceAll(Controller& c, const FindOptions& options, const std::string& with) {
    ToolResult r;
    ReplaceResult done = ::replaceAll(subtitleSets(c.state().list), options, with);
    if (!done.ok()) {
        r.error = "Nothing was replaced: " + done.error + ".";
        return r;
    }
    if (done.replaced > 0)
        c.changeAsOneStep("Replace All", [&] { takeSets(c.context(), done.sets, [&] { loadFieldsOf(c); }); });
    r.message = "Replaced " + plural(done.replaced, "match", "matches") + " in " + plural(done.setsChanged, "set", "sets") + ".";
    return r;
}

// --- check ------------------------------------------------------------------------------------

std::vector<CheckFinding> checkProject(Controller& c, const CheckSettings& settings, std::string& note) {
    AppState& s = c.state();
    const std::vector<SubtitleSet> sets = subtitleSets(s.list);
    std::vector<CheckFinding> findings = checkTimings(sets, s.fps, settings.timing);
    const FontSheet& font = c.renderer().fontSheet();
    if (font.hasGlyphsFor(s.style.fontSize)) {
        std::vector<CheckFinding> layout = checkLayout(sets, s.style, font, s.projectWidth, settings.safePercent);
        findings.insert(findings.end(), layout.begin(), layout.end());
    } else {
        note = "The widths and characters were not checked: the font sheets are not loaded.";
    }
    if (!settings.language.empty()) {
        std::string error;
        if (std::unique_ptr<SpellChecker> speller = SpellChecker::open(settings.language, error)) {
            speller->addWordsOf(personalWordsPath(s.userDataDir));
            std::vector<CheckFinding> spelling = checkSpelling(sets, *speller);
            findings.insert(findings.end(), spelling.begin(), spelling.end());
        } else {
            note += (note.empty() ? "" : "\n") + std::string("The spelling was not checked: ") + error + ".";
        }
    }
    sortFindings(findings);
    c.context().ui.markListSets(setMarks(findings));
    return findings;
}

int findingLevel(const std::string& kind) {
    if (kind == "overlap" || kind == "order" || kind == "missing" || kind == "timing") return 2;
    if (kind == "spelling") return 0;
    return 1;
}

std::vector<ListMark> setMarks(const std::vector<CheckFinding>& findings) {
    std::map<int, ListMark> bySet;
    for (const CheckFinding& f : findings) {
        ListMark& m = bySet[f.set];
        if (m.reasons.empty()) m.level = findingLevel(f.kind);
        m.set = f.set;
        m.level = std::max(m.level, findingLevel(f.kind));
        m.reasons += (m.reasons.empty() ? "" : "\n") + f.kind + ": " + f.detail;
    }
    std::vector<ListMark> out;
    for (auto& [set, m] : bySet) out.push_back(std::move(m));
    return out;
}

namespace {

// The checker of the line fields: opened once per language, with the
// user's own words.
struct FieldSpeller {
    std::string path;       // the language file it was read from
    std::string language;   // as read from there
    bool read = false;
    std::string opened;     // the language of `checker`
    std::unique_ptr<SpellChecker> checker;
};
FieldSpeller& fieldSpeller() {
    static FieldSpeller speller;
    return speller;
}

SpellChecker* fieldChecker(const AppState& s) {
    FieldSpeller& f = fieldSpeller();
    const std::string language = spellingLanguage(s);
    if (language.empty()) return nullptr;
    // A language whose dictionary cannot be read is not tried again until it changes.
    if (f.opened != language) {
        std::string error;
        f.checker = SpellChecker::open(language, error);
        f.opened = language;
        if (f.checker) f.checker->addWordsOf(personalWordsPath(s.userDataDir));
    }
    return f.checker.get();
}

}  // namespace

std::string spellingLanguage(const AppState& s) {
    FieldSpeller& f = fieldSpeller();
    const std::string path = languageFile(s);
    if (f.read && f.path == path) return f.language;
    std::string text;
    f.language.clear();
    if (!path.empty() && files::readFile(path, text, 256) && !text::splitLines(text).empty())
        f.language = text::trimSpaces(text::splitLines(text)[0]);
    f.path = path;
    f.read = true;
    return f.language;
}

bool keepSpellingLanguage(const AppState& s, const std::string& language) {
    FieldSpeller& f = fieldSpeller();
    f.path = languageFile(s);
    f.language = language;
    f.read = true;
    return !f.path.empty() && files::writeFileAtomic(f.path, language + "\n");
}

std::vector<std::pair<size_t, size_t>> misspeltInField(const AppState& s, const std::string& text) {
    SpellChecker* checker = text.empty() ? nullptr : fieldChecker(s);
    return checker ? misspeltSpans(text, *checker) : std::vector<std::pair<size_t, size_t>>{};
}

std::vector<std::string> spellingSuggestions(const AppState& s, const std::string& word, size_t most) {
    SpellChecker* checker = fieldChecker(s);
    return checker ? checker->suggestions(word, most) : std::vector<std::string>{};
}

bool addToMyWords(const AppState& s, const std::string& word) {
    if (SpellChecker* checker = fieldChecker(s)) checker->addWord(word);
    return addPersonalWord(personalWordsPath(s.userDataDir), word);
}

}  // namespace edittools
