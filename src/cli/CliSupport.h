#pragma once
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "cli/CommandTable.h"
#include "app/MissingTiming.h"
#include "base/Notice.h"
#include "project/SubtitleSet.h"
#include "render/FontSheet.h"
#include "render/ProjectLook.h"
#include "render/StripsConfig.h"

// Shared pieces of the kalvero-cli commands.
namespace cli {

// Findings: check ran and found something to look at. Cancelled: an export
// stopped by Ctrl+C (SIGINT) or SIGTERM, as shells report a program ended by
// SIGINT.
enum Exit : int { Ok = 0, BadInput = 1, Usage = 2, Findings = 3, Cancelled = 130 };

struct UsageError {
    std::string message;
};

// The parsed command line of one command: its operands and the options given
// ("--name value", flags without a value in `flagsSeen`). Made by
// parseCommandLine from the command's declarations (cli/CommandTable.h).
struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    std::vector<std::string> flagsSeen;
    bool helpAsked = false;  // --help or -h among the command's options

    bool has(const std::string& name) const { return options.count(name) != 0; }
    bool flag(const std::string& name) const;
    std::string get(const std::string& name, const std::string& fallback = "") const;
    // A Number option's value (its range checked by the parser); `fallback`
    // when it is not given.
    int number(const std::string& name, int fallback) const;
};

// The arguments after command `name` (its words, "--" ending the options)
// parsed with the options the command's declarations name: a usage error
// for an unknown option, a missing value, a number that is not whole or out
// of its range, a value that is not one of its choices, or a required option
// left out ("NAME needs -o OUT.KVL8").
Args parseCommandLine(const std::string& name, const std::vector<std::string>& args);

struct Context {
    std::ostream& out;
    std::ostream& err;
    AppState state;
    std::string programDir;
    // The look file of the loaded project, when it has one: its style is
    // the project's, and a written copy of the project keeps it.
    std::optional<ProjectLook> look;

    Context(std::ostream& o, std::ostream& e) : out(o), err(e) {}

    // Notices of the lower floors, one line each on the error stream:
    // "Title: text".
    Notice notice();
    // Recomputes the list's "OFF+ON" column; tells once when sets lack
    // timing. Returns the number of such sets.
    int recalculateTimings();

    // Loads the settings file of the program folder into `state`.
    bool loadSettings();
    // Takes profile and preset into `state` (size, fps, style); a usage error
    // when an index is outside its list or names a separator.
    void selectProfileAndPreset(int profile, int preset);
    // The profile or preset chosen by "--profile"/"--preset": a list index,
    // or a name (matched exactly, then ignoring case). `fallback` when the
    // option is not given; a usage error naming the valid choices when the
    // value names none, or more than one.
    int profileArg(const Args& a, int fallback) const;
    int presetArg(const Args& a, int fallback) const;
    // "1 PAL 25 fps, 2 NTSC 29.97 fps, ..." (separators left out).
    std::string profileChoices() const;
    std::string presetChoices() const;
    // Loads a project file as Open does: its profile and preset, rows, then
    // the recalculation. Returns false (message printed) on failure.
    bool loadProject(const std::string& path);
    // Writes the project file as Save does, in one step.
    bool writeProject(const std::string& path);
    int fail(const std::string& message);  // prints "kalvero-cli: message", returns BadInput
};

// A message as one line of the terminal: line breaks become blanks, and
// single-byte text becomes UTF-8 (text that already is UTF-8, such as a
// path, stays as it is).
std::string terminalLine(const std::string& text);

// The one positional argument of a command; a usage error "expected WHAT"
// when there are none or more.
std::string requireOne(const Args& a, const char* what);

// "#RRGGBB" (or "RRGGBB") as a colour; a usage error otherwise.
Rgb parseColorArg(const std::string& text);

// The style's font choice, with --font FAMILY (an installed family; a path
// to a font file also does) and --crisp over it: the glyphs of `texts` made
// from that font replace the shipped sheets in `font`. False, with the
// message printed, when a font given on the command line cannot be used (a
// preset's or project's font that cannot is a warning, and the shipped
// sheets stand in).
bool useFontArgs(Context& c, const Args& a, FontSheet& font, StripsConfig& style, const std::vector<std::string>& texts);

// The characters of `sets` the glyphs of `font` lack (drawn as boxes), a
// warning line per set.
void warnMissingGlyphs(Context& c, const std::vector<SubtitleSet>& sets, const FontSheet& font);

// The commands by name (export once), from the command table.
const std::map<std::string, Command>& commands();

// profiles, presets, fonts, recalc IN.KVL8 -o OUT.KVL8, info IN.KVL8.
int cmdProfiles(Context& c, const Args& a);
int cmdPresets(Context& c, const Args& a);
int cmdFonts(Context& c, const Args& a);
int cmdRecalc(Context& c, const Args& a);
int cmdInfo(Context& c, const Args& a);

}  // namespace cli
