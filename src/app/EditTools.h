#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Event.h"
#include "app/Ui.h"
#include "project/Proofing.h"
#include "project/Retime.h"
#include "project/SubtitleSet.h"

class Controller;
class EditorContext;
struct AppState;

// The editing tools of the main window: shift, change of frame rate, split
// and merge, text import, find and replace, and the check. Each changes the
// project as one undo step (named as the Undo button shows it) through the
// same functions kalvero-cli's tools use, and changes nothing when it
// refuses.
namespace edittools {

// What a tool did: `error` says why nothing changed; `message` is what the
// user is told of a change (may be empty).
struct ToolResult {
    std::string error, message;
    bool ok() const { return error.empty(); }
};

// The tools' events: Split, Merge, Import Text and the safe areas here, the
// others through the dialogs of Controller::openEditTool. False for other events.
bool handle(Controller& c, const Event& e);

// The sets a tool's "selected sets" means: the set of the selected row;
// nullopt while no row is selected.
std::optional<SetRange> selectedSets(const AppState& s);

// Replaces the project's sets with `sets`, their "OFF+ON" column worked
// out, the selection and the fields following. `loadFields` shows the
// selected set in the line fields.
void takeSets(EditorContext& cx, const std::vector<SubtitleSet>& sets, const std::function<void()>& loadFields);

// --- retiming ---------------------------------------------------------------
// `amount`: frames ("-12", "+250") or a time code the first set of the
// range then starts at ("10:00:00:00"); the selected sets or all.
ToolResult shift(Controller& c, bool selectedOnly, const std::string& amount);

// The project moves to profile `profileIndex` and its time codes to its
// rate: keeping each time or each frame number; Y positions scale with the
// picture height when `scaleY`.
ToolResult changeRate(Controller& c, int profileIndex, KeepOnRateChange keep, bool scaleY);

// After the profile list changed the frame rate from `oldFps`: asks whether
// the time codes keep their time (Yes), their frames (No) or stay as they
// are (Cancel), and retimes the list. Nothing is asked when the rates are
// the same or no set has a time code.
void offerRateChange(EditorContext& cx, float oldFps, const std::function<void()>& loadFields);

// The selected set split into two (line A, then line B).
ToolResult splitSelected(Controller& c);
// The selected set and the next one merged into one.
ToolResult mergeWithNext(Controller& c);

// --- text in ------------------------------------------------------------------
// A plain text file's blocks as untimed sets after the sets there are (an
// empty list is replaced), the first new set selected.
ToolResult importText(Controller& c, const std::string& path);

// --- find and replace -------------------------------------------------------------
// The next match after byte `fromByte` of set `fromSet` ("line A\nline B"),
// going on from the first set after the last. nullopt when there is none
// or the search is refused (`error` set).
std::optional<TextMatch> findNext(const AppState& s, const FindOptions& options, int fromSet, size_t fromByte,
                                  std::string& error);
// Selects the set of a match and shows it in the fields.
void showMatch(Controller& c, const TextMatch& m);
// Replaces match `m` (when the set still holds it) as one step.
ToolResult replaceOne(Controller& c, const FindOptions& options, const std::string& with, const TextMatch& m);
// Replaces every match as one step; the message counts them.
ToolResult replaceAll(Controller& c, const FindOptions& options, const std::string& with);

// --- check ---------------------------------------------------------------------------
struct CheckSettings {
    TimingCheckOptions timing{20, 17.0};
    int safePercent = 90;
    std::string language;  // "": no spelling
};
// Every finding in set order; `note` tells what could not be checked.
std::vector<CheckFinding> checkProject(Controller& c, const CheckSettings& settings, std::string& note);

// How bad a finding is: 2 for the times (overlap, order, missing, timing),
// 1 for what shows badly (short, speed, width, glyph), 0 for spelling.
int findingLevel(const std::string& kind);

// The worst finding of each set that has one, with every reason of the set.
std::vector<ListMark> setMarks(const std::vector<CheckFinding>& findings);

// The language the checks and the line fields spell in, kept in the user's
// settings folder ("" when none was chosen).
std::string spellingLanguage(const AppState& s);
bool keepSpellingLanguage(const AppState& s, const std::string& language);

// --- spelling in the line fields -----------------------------------------------------
// The byte ranges of the misspelt words of a line field's text, in the
// spelling language with the user's own words taken as correct; none while
// no language is chosen or its dictionary cannot be read.
std::vector<std::pair<size_t, size_t>> misspeltInField(const AppState& s, const std::string& text);
// Up to `most` suggestions for a word.
std::vector<std::string> spellingSuggestions(const AppState& s, const std::string& word, size_t most = 6);
// "Add to my words": the word counts as correct from now on, kept in
// words.txt of the user's data folder ($XDG_DATA_HOME/kalvero/). False when
// it cannot be kept there.
bool addToMyWords(const AppState& s, const std::string& word);

}  // namespace edittools
