#include "app/DataDirs.h"

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "app/ProgramDir.h"
#include "io/Files.h"
#include "io/SettingsFile.h"

namespace {

std::string getEnv(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// An XDG base folder: the variable when it holds an absolute path (relative
// ones are to be ignored), else the default below home; empty without either.
std::string xdgFolder(const std::string& value, const std::string& home, const char* fallback) {
    if (!value.empty() && value[0] == '/') return files::withTrailingSeparator(value);
    if (home.empty()) return std::string();
    return files::withTrailingSeparator(home) + fallback;
}

std::string normalFolder(const std::string& folder) {
    std::string s = std::filesystem::path(folder).lexically_normal().string();
    return files::withTrailingSeparator(s);
}

}  // namespace

UserEnvironment processEnvironment() {
    return {getEnv("HOME"), getEnv("XDG_CONFIG_HOME"), getEnv("XDG_DATA_HOME"), getEnv("XDG_STATE_HOME")};
}

std::string recoveryFolder(const UserEnvironment& env) {
    std::string state = xdgFolder(env.xdgStateHome, env.home, ".local/state/");
    return state.empty() ? state : state + "kalvero/recovery/";
}

DataDirs findDataDirs(const std::string& executablePath, const std::string& workingDir, const UserEnvironment& env) {
    DataDirs dirs;
    const std::string settings = "Kalvero.ini";
    std::string beside = findProgramDir(executablePath, workingDir);
    dirs.programDir = beside;
    dirs.programDirShipped = true;
    if (!files::exists(beside + settings)) {
        std::string exeFolder = files::folderPart(executablePath);
        if (!exeFolder.empty()) {
            std::string shared = normalFolder(exeFolder + "../share/kalvero/");
            if (files::exists(shared + settings)) dirs.programDir = shared;
        }
    }
    std::string config = xdgFolder(env.xdgConfigHome, env.home, ".config/");
    std::string data = xdgFolder(env.xdgDataHome, env.home, ".local/share/");
    if (!config.empty()) dirs.userConfigDir = config + "kalvero/";
    if (!data.empty()) dirs.userDataDir = data + "kalvero/";
    return dirs;
}

DataDirs fixedDataDirs(const std::string& folder) {
    DataDirs dirs;
    dirs.programDir = files::withTrailingSeparator(folder);
    return dirs;
}

// Anything under the user's name, a link that leads nowhere included, is the
// user's settings file: one that cannot be read is told, not passed over.
std::string settingsReadPath(const DataDirs& dirs, const std::string& fileName) {
    if (!dirs.userConfigDir.empty() && files::entryExists(dirs.userConfigDir + fileName))
        return dirs.userConfigDir + fileName;
    return dirs.programDir + fileName;
}

const char* const kNoUserSettingsFolder =
    "there is no folder for your own settings (neither HOME nor XDG_CONFIG_HOME is set), and the settings file "
    "the program ships with is never written";

std::string settingsWritePath(const DataDirs& dirs, const std::string& fileName) {
    if (!dirs.userConfigDir.empty()) return dirs.userConfigDir + fileName;
    return dirs.programDirShipped ? std::string() : dirs.programDir + fileName;
}

std::vector<std::string> fontSheetFolders(const DataDirs& dirs) {
    std::vector<std::string> folders;
    if (!dirs.userDataDir.empty()) folders.push_back(dirs.userDataDir);
    folders.push_back(dirs.programDir);
    return folders;
}

namespace {

// The front end's message of a failed save: what failed (the folder is
// named by the caller).
bool keepError(const Result& r, std::string& error) {
    if (!r) error = r.error;
    return r.ok;
}

// Runs `save(source, target)` under the lock of the user's settings folder:
// the source is the user's file when there is one, else the shipped file.
bool saveLocked(const DataDirs& dirs, const std::string& fileName, std::string& error,
                const std::function<bool(const std::string&, const std::string&)>& save) {
    const std::string target = settingsWritePath(dirs, fileName);
    if (target.empty()) {
        error = kNoUserSettingsFolder;
        return false;
    }
    const std::string folder = files::folderPart(target);
    files::Result r = files::makeDirectories(folder);
    if (!r) {
        error = r.error;
        return false;
    }
    bool saved = false;
    r = files::withFolderLock(folder, [&] {
        const std::string source = files::entryExists(target) ? target : dirs.programDir + fileName;
        saved = save(source, target);
        return files::Result{};
    });
    if (!r) {
        error = r.error;
        return false;
    }
    return saved;
}

}  // namespace

bool saveUserPreset(const DataDirs& dirs, const std::string& fileName, const Preset& preset,
                    std::vector<Preset>& presets, std::string& error) {
    return saveLocked(dirs, fileName, error, [&](const std::string& source, const std::string& target) {
        return keepError(savePresetToFile(source, target, preset, presets), error);
    });
}

bool saveUserPresets(const DataDirs& dirs, const std::string& fileName, const std::vector<Preset>& presets,
                     std::string& error) {
    return saveLocked(dirs, fileName, error, [&](const std::string& source, const std::string& target) {
        return keepError(savePresetsToFile(source, target, presets), error);
    });
}

bool saveUserReactionMs(const DataDirs& dirs, const std::string& fileName, int reactionMs, std::string& error) {
    return saveLocked(dirs, fileName, error, [&](const std::string& source, const std::string& target) {
        return keepError(saveReactionMsToFile(source, target, reactionMs), error);
    });
}
