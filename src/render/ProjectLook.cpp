#include "render/ProjectLook.h"

#include <algorithm>

#include "base/Text.h"
#include "io/Files.h"
#include "render/PresetStyle.h"
#include "settings/StyleParams.h"

namespace {
constexpr const char* kHeader = "; The look of a Kalvero project: its style where it differs from the preset.";
constexpr uint64_t kMaxLookBytes = 64 * 1024;
}  // namespace

ProjectLook lookOfStyle(const StripsConfig& s, const Preset& base) {
    ProjectLook look;
    Preset& p = look.preset;
    p.name = base.name;
    p.stripsColor = s.stripsColor;
    p.stripsMode = s.stripsMode;
    p.borderStyle = s.borderStyle;
    p.blend = s.blend;
    p.drawNoStrips = s.drawNoStrips ? 1 : 0;
    p.bgColor = s.bgColor;
    p.stripsToAllText = !s.drawNoStrips && s.stripsMode == AllText ? 1 : 0;
    p.wordSpacing = s.wordSpacing;
    p.stripsSpacing = s.stripsSpacing;
    p.centerText = s.centerText ? 1 : 0;
    p.programDefault = 0;
    p.cropStrips = s.cropStrips;
    p.textColor = s.textColor;
    p.fontFamily = s.fontFamily;
    p.crisp = s.crisp ? 1 : 0;
    look.fontSize = s.fontSize;
    return look;
}

StripsConfig styleOfLook(const ProjectLook& look, const Profile& profile) {
    StripsConfig s = styleFromPreset(look.preset, profile);
    if (look.fontSize > 0) s.fontSize = look.fontSize;
    s.cropStrips = std::clamp(s.cropStrips, 0, 100);
    s.wordSpacing = std::clamp(s.wordSpacing, -6, 6);
    return s;
}

bool sameLook(const StripsConfig& a, const StripsConfig& b) {
    return a.stripsColor == b.stripsColor && a.bgColor == b.bgColor && a.borderStyle == b.borderStyle &&
           a.blend == b.blend && a.wordSpacing == b.wordSpacing && a.stripsSpacing == b.stripsSpacing &&
           a.cropStrips == b.cropStrips && a.stripsMode == b.stripsMode && a.drawNoStrips == b.drawNoStrips &&
           a.centerText == b.centerText && a.fontSize == b.fontSize && a.textColor == b.textColor &&
           a.fontFamily == b.fontFamily && a.crisp == b.crisp;
}

bool isPresetLook(const StripsConfig& style, const Preset& preset, const Profile& profile) {
    StripsConfig given = styleFromPreset(preset, profile);
    given.cropStrips = std::clamp(given.cropStrips, 0, 100);
    given.wordSpacing = std::clamp(given.wordSpacing, -6, 6);
    return sameLook(style, given);
}

std::string formatLook(const ProjectLook& look) {
    std::string out = std::string(kHeader) + "\r\n[Look]\r\nPreset = " + presetLine(look.preset) + "\r\nFontSize = " +
                      std::to_string(look.fontSize) + "\r\n";
    if (!look.language.empty()) out += "[Project]\r\nLanguage = " + look.language + "\r\n";
    return out;
}

bool plausibleLanguageCode(std::string_view code) {
    return (code.size() == 2 || code.size() == 3) &&
           std::all_of(code.begin(), code.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

std::optional<ProjectLook> parseLook(std::string_view content) {
    ProjectLook look;
    bool inLook = false, inProject = false, sawPreset = false;
    for (const std::string& raw : text::splitLines(content)) {
        std::string line = text::trimBlanks(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            const std::string section = text::lower(text::trimBlanks(line.substr(1, line.size() - 2)));
            inLook = section == "look";
            inProject = section == "project";
            continue;
        }
        size_t eq = line.find('=');
        if ((!inLook && !inProject) || eq == std::string::npos) continue;
        std::string key = text::lower(text::trimBlanks(line.substr(0, eq)));
        std::string value = text::trimBlanks(line.substr(eq + 1));
        if (inProject) {
            // A code that cannot be one is left out: the project has no language then.
            if (key == "language" && plausibleLanguageCode(text::lower(value))) look.language = text::lower(value);
        } else if (key == "preset") {
            look.preset = parsePresetLine(value);
            sawPreset = std::count(value.begin(), value.end(), '|') >= 11;
        } else if (key == "fontsize") {
            look.fontSize = std::clamp(text::toInt(value), 0, kMaxFontSize);
        }
    }
    if (!sawPreset) return std::nullopt;
    // The preset line's numbers are already in their ranges (parsePresetLine).
    look.preset.programDefault = 0;
    return look;
}

std::string lookPathOf(const std::string& projectPath) {
    const std::string file = files::filePart(projectPath);
    const size_t dot = file.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
    return files::folderPart(projectPath) + stem + ".look";
}

std::optional<ProjectLook> readProjectLook(const std::string& projectPath, std::string& error) {
    error.clear();
    const std::string path = lookPathOf(projectPath);
    if (!files::exists(path)) return std::nullopt;
    std::string bytes;
    files::Result r = files::readFile(path, bytes, kMaxLookBytes);
    if (!r) {
        error = "the look file " + path + " could not be read (" + r.error + ")";
        return std::nullopt;
    }
    std::optional<ProjectLook> look = parseLook(bytes);
    if (!look) error = "the look file " + path + " holds no look";
    return look;
}

std::string writeProjectLook(const std::string& projectPath, const StripsConfig& style, const Preset& preset,
                             const Profile& profile, const std::string& language) {
    const std::string path = lookPathOf(projectPath);
    if (isPresetLook(style, preset, profile) && language.empty()) {
        if (!files::exists(path)) return {};
        files::Result r = files::removeFile(path);
        return r ? std::string() : "the old look file " + path + " could not be removed (" + r.error + ")";
    }
    // With a language only, the [Look] section still holds the look (the
    // preset's own), so that older readers find the look they expect.
    ProjectLook look = lookOfStyle(style, preset);
    look.language = language;
    files::Result r = files::writeFileAtomic(path, formatLook(look));
    return r ? std::string() : "the look file " + path + " could not be written (" + r.error + ")";
}
