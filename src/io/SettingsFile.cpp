#include "io/SettingsFile.h"

#include <algorithm>
#include <optional>

#include "io/Files.h"

namespace {

constexpr uint64_t kMaxSettingsBytes = 16u << 20;

// The text of the settings file at `path`, or the failure naming it.
Result readSettingsText(const std::string& path, std::string& content) {
    Result r = files::readFile(path, content, kMaxSettingsBytes);
    if (!r) r.file = path;
    return r;
}

Result writeSettingsText(const std::string& path, const std::string& content) {
    Result r = files::writeFileAtomic(path, content);
    if (!r) r.file = path;
    return r;
}

}  // namespace

Result loadSettingsFile(const std::string& path, Settings& out) {
    std::string content;
    Result r = readSettingsText(path, content);
    if (r) out = parseSettings(content);
    return r;
}

Result savePresetsToFile(const std::string& path, const std::vector<Preset>& presets) {
    return savePresetsToFile(path, path, presets);
}

Result savePresetsToFile(const std::string& source, const std::string& target, const std::vector<Preset>& presets) {
    std::string content;
    if (Result r = readSettingsText(source, content); !r) return r;
    std::optional<std::string> rewritten = rewritePresets(content, presets);
    if (!rewritten) return Result::failure("the file has no [Presets] section", source);
    return writeSettingsText(target, *rewritten);
}

Result savePresetToFile(const std::string& source, const std::string& target, const Preset& preset,
                        std::vector<Preset>& presets) {
    std::string content;
    if (Result r = readSettingsText(source, content); !r) return r;
    std::vector<Preset> merged = parseSettings(content).presets;
    auto same = std::find_if(merged.begin(), merged.end(), [&](const Preset& p) { return p.name == preset.name; });
    if (same != merged.end() && same->programDefault == 1)
        return Result::failure("the preset " + preset.name + " is a program default", source);
    if (same != merged.end()) {
        *same = preset;
    } else if (merged.size() >= kMaxPresets) {
        return Result::failure("the preset list is full (" + std::to_string(kMaxPresets) + " presets)", source);
    } else {
        merged.push_back(preset);
    }
    Result r = savePresetsToFile(source, target, merged);
    if (r) presets = std::move(merged);
    return r;
}

Result saveReactionMsToFile(const std::string& path, int reactionMs) {
    return saveReactionMsToFile(path, path, reactionMs);
}

Result saveReactionMsToFile(const std::string& source, const std::string& target, int reactionMs) {
    std::string content;
    if (Result r = readSettingsText(source, content); !r) return r;
    return writeSettingsText(target,
                             withGlobalKey(content, "ReactionMs", std::to_string(std::clamp(reactionMs, 0, 1000))));
}
