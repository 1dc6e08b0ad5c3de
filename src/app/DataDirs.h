#pragma once
#include <string>
#include <vector>

#include "settings/Settings.h"

// Where the program finds the data it ships with and where it keeps the
// user's own files.
//
// Shipped data (the settings file and includes/) lies beside the executable
// in a build tree, or in ../share/kalvero/ relative to it when installed, so
// an installed tree can be moved as a whole. The user's settings file lives
// in $XDG_CONFIG_HOME/kalvero/ (default ~/.config/kalvero/) and is read
// instead of the shipped one once it exists; the user's extra font sheets
// live in $XDG_DATA_HOME/kalvero/includes/ (default ~/.local/share/...).
struct DataDirs {
    std::string programDir;     // shipped data; trailing separator
    std::string userConfigDir;  // folder of the user's settings file; empty: none
    std::string userDataDir;    // folder holding the user's includes/; empty: none
    // True when programDir was looked up: it holds the shipped settings
    // file, which is never written (false for --program-dir).
    bool programDirShipped = false;
};

// The environment values the lookup uses.
struct UserEnvironment {
    std::string home, xdgConfigHome, xdgDataHome, xdgStateHome;
};
UserEnvironment processEnvironment();

// The lookup of a normal start.
DataDirs findDataDirs(const std::string& executablePath, const std::string& workingDir, const UserEnvironment& env);

// An explicit program folder (--program-dir): settings and font sheets are
// read from and written to that folder only.
DataDirs fixedDataDirs(const std::string& folder);

// Where the journals of unsaved work live: $XDG_STATE_HOME/kalvero/recovery/
// (default ~/.local/state/kalvero/recovery/); empty when neither is known.
std::string recoveryFolder(const UserEnvironment& env);

// The settings file to read: the user's copy when it exists, else the shipped one.
std::string settingsReadPath(const DataDirs& dirs, const std::string& fileName);
// The settings file Save Preset writes: the user's copy, or the file in the
// --program-dir folder; empty when there is none (no user folder is known and
// the program folder holds the shipped file).
std::string settingsWritePath(const DataDirs& dirs, const std::string& fileName);
// Why settingsWritePath is empty.
extern const char* const kNoUserSettingsFolder;

// Folders holding an includes/ folder of font sheets, searched in this
// order: the user's, then the shipped one. Each ends with a separator.
std::vector<std::string> fontSheetFolders(const DataDirs& dirs);

// Saves one preset into the user's settings file: under the file's lock the
// file is read again, `preset` replaces the preset of its name there (or is
// added at the end) and the file is replaced in one step, so that presets
// saved meanwhile by another window are kept. The first time, the user's
// copy is made from the shipped file; the shipped file is never written.
// `presets` receives the file's presets after the save. False with `error`
// set on failure.
bool saveUserPreset(const DataDirs& dirs, const std::string& fileName, const Preset& preset,
                    std::vector<Preset>& presets, std::string& error);
// Writes `presets` as the whole preset list of the user's settings file, in
// the same way.
bool saveUserPresets(const DataDirs& dirs, const std::string& fileName, const std::vector<Preset>& presets,
                     std::string& error);
// The same for the reaction offset of the timing window ("ReactionMs").
bool saveUserReactionMs(const DataDirs& dirs, const std::string& fileName, int reactionMs, std::string& error);
