#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "render/StripsConfig.h"
#include "settings/Settings.h"

// The look a project was saved with. The project file names its profile and
// preset only; when the style in force differs from what that preset gives
// (a border, a colour, centring, a font size changed by hand), the look is
// kept beside the project file in NAME.look, so the project reopens as it
// was saved and older readers of the project file see nothing new.
//
// The same file keeps the project's language (its [Project] section), which
// every export's track carries; older readers read only the [Look] section.
struct ProjectLook {
    Preset preset;     // every style field, in a preset's terms
    int fontSize = 0;  // the font size in force (a profile brings its own)
    std::string language{};  // ISO 639 code of the subtitles; "": not told
    friend bool operator==(const ProjectLook&, const ProjectLook&) = default;
};

// The look of a working style; `base` gives the name the look started from.
ProjectLook lookOfStyle(const StripsConfig& style, const Preset& base);
// The working style of a look under a profile (its strips Y from the profile).
StripsConfig styleOfLook(const ProjectLook& look, const Profile& profile);
// Whether two styles draw the same (the fields a look keeps).
bool sameLook(const StripsConfig& a, const StripsConfig& b);
// Whether `style` is what `preset` gives under `profile`: then no look file
// is needed.
bool isPresetLook(const StripsConfig& style, const Preset& preset, const Profile& profile);

// The text of a look file (CR LF lines) and its reading; nullopt when the
// text is no look file. Values outside their ranges are brought into them.
std::string formatLook(const ProjectLook& look);
std::optional<ProjectLook> parseLook(std::string_view text);

// "D/NAME_project/NAME.KVL8" -> "D/NAME_project/NAME.look".
std::string lookPathOf(const std::string& projectPath);

// Reads the look file of a project. nullopt without a file; `error` says why
// a file that is there could not be used (it is then ignored).
std::optional<ProjectLook> readProjectLook(const std::string& projectPath, std::string& error);
// Writes the look file of a project when `style` differs from its preset or
// the project has a language, and removes a stale one when neither holds.
// Empty on success, else why not.
std::string writeProjectLook(const std::string& projectPath, const StripsConfig& style, const Preset& preset,
                             const Profile& profile, const std::string& language = {});
// Whether a code may stand as a project's language: two or three lowercase
// letters (the exports check it against ISO 639).
bool plausibleLanguageCode(std::string_view code);
