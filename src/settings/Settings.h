#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Rgb.h"

// A video format of the settings file.
struct Profile {
    int width = 0, height = 0;
    std::string name;
    int stripsYPos = 0;
    int fontSize = 0;
    float fps = 0.0f;
    bool isSeparator = false;
    // A profile that can be chosen: not a separator, and a picture size.
    bool usable() const { return !isSeparator && width > 0 && height > 0; }
};

// A named, stored strips style.
struct Preset {
    std::string name;
    Rgb stripsColor;
    int stripsMode = 0;
    int borderStyle = 0;
    int blend = 0;
    int drawNoStrips = 0;
    Rgb bgColor;
    int stripsToAllText = 0;
    int wordSpacing = 0;
    int stripsSpacing = 0;
    int centerText = 0;
    int programDefault = 0;
    int cropStrips = 0;
    // Fields 14 to 17 of a preset line, written only when they differ from
    // these defaults (and a later one is not set), so older lines and older
    // readers stay as they were.
    Rgb textColor{255, 255, 255};
    std::string fontFamily;  // empty: the shipped font sheets
    int crisp = 0;           // 1: glyphs without anti-aliasing
    // The font size the look is drawn at; 0: the profile's.
    int fontSize = 0;
    friend bool operator==(const Preset&, const Preset&) = default;
};

// The lists hold at most this many entries each; further lines of the file
// are counted, kept in the file, and not used.
constexpr size_t kMaxProfiles = 1000;
constexpr size_t kMaxPresets = 1000;

struct Settings {
    int startupProfile = 0;
    int startupPreset = 0;
    int reactionMs = 0;  // the timing window's reaction offset, 0..1000
    std::vector<Profile> profiles;
    std::vector<Preset> presets;
    int profilesLeftOut = 0;  // beyond kMaxProfiles
    int presetsLeftOut = 0;   // beyond kMaxPresets
};

// The note about lists cut to their limits; empty when nothing was left out.
std::string settingsLeftOutNote(const Settings& s, const std::string& fileName);

// Parses the settings file's text. Never fails: what is missing reads as 0.
Settings parseSettings(std::string_view content);

Profile parseProfileLine(std::string_view value);
Preset parsePresetLine(std::string_view value);
std::string presetLine(const Preset& p);

// The profile list's display text of a profile.
std::string profileDisplayText(const Profile& p);

// The settings file with everything after its "[Presets]" line replaced by
// the given presets, followed by the file's own preset lines beyond the first
// kMaxPresets (which the program never loaded). nullopt when the file has no
// "[Presets]" line.
std::optional<std::string> rewritePresets(std::string_view content, const std::vector<Preset>& presets);

// The settings file with `key = value` in section [Global]: the key's line
// replaced where it is there (letter case of the key ignored), added after
// the section's last key line otherwise, and a [Global] section added at the
// top when there is none. Every other byte stays as it was.
std::string withGlobalKey(std::string_view content, const std::string& key, const std::string& value);
