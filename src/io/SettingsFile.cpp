#include "io/SettingsFile.h"

#include <algorithm>
#include <optional>

#include "io/Files.h"

bool loadSettingsFile(const std::string& path, Settings& out, std::string& error) {
    std::string content;
    files::Result r = files::readFile(path, content, 16u << 20);
    if (!r) {
        error = r.error;
        return false;
    }
    out = parseSettings(content);
    return true;
}

bool savePresetsToFile(const std::string& path, const std::vector<Preset>& presets, std::string& error) {
    return savePresetsToFile(path, path, presets, error);
}

bool savePresetsToFile(const std::string& source, const std::string& target, const std::vector<Preset>& presets,
                       std::string& error) {
    std::string content;
    files::Result r = files::readFile(source, content, 16u << 20);
    if (!r) {
        error = r.error;
        return false;
    }
    std::optional<std::string> rewritten = rewritePresets(content, presets);
    if (!rewritten) {
        error = "the file has no [Presets] section";
        return false;
    }
    r = files::writeFileAtomic(target, *rewritten);
    if (!r) {
        error = r.error;
        return false;
    }
    return true;
}

bool savePresetToFile(const std::string& source, const std::string& target, const Preset& preset,
                      std::vector<Preset>& presets, std::string& error) {
    std::string content;
    files::Result r = files::readFile(source, content, 16u << 20);
    if (!r) {
        error = r.error;
        return false;
    }
    std::vector<Preset> merged = parseSettings(content).presets;
    auto same = std::find_if(merged.begin(), merged.end(), [&](const Preset& p) { return p.name == preset.name; });
    if (same != merged.end() && same->programDefault == 1) {
        error = "the preset " + preset.name + " is a program default";
        return false;
    }
    if (same != merged.end()) {
        *same = preset;
    } else if (merged.size() >= kMaxPresets) {
        error = "the preset list is full (" + std::to_string(kMaxPresets) + " presets)";
        return false;
    } else {
        merged.push_back(preset);
    }
    if (!savePresetsToFile(source, target, merged, error)) return false;
    presets = std::move(merged);
    return true;
}

bool saveReactionMsToFile(const std::string& path, int reactionMs, std::string& error) {
    return saveReactionMsToFile(path, path, reactionMs, error);
}

bool saveReactionMsToFile(const std::string& source, const std::string& target, int reactionMs, std::string& error) {
    std::string content;
    files::Result r = files::readFile(source, content, 16u << 20);
    if (!r) {
        error = r.error;
        return false;
    }
    r = files::writeFileAtomic(target,
                               withGlobalKey(content, "ReactionMs", std::to_string(std::clamp(reactionMs, 0, 1000))));
    if (!r) {
        error = r.error;
        return false;
    }
    return true;
}
