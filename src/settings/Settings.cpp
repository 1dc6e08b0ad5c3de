#include "settings/Settings.h"

#include <algorithm>
#include <cmath>

#include "base/Text.h"
#include "settings/StyleParams.h"

namespace {
Rgb parseRgb(std::string_view s) {
    auto clamp = [](int v) { return uint8_t(std::clamp(v, 0, 255)); };
    return Rgb{clamp(text::toInt(text::field(s, ',', 1))), clamp(text::toInt(text::field(s, ',', 2))),
               clamp(text::toInt(text::field(s, ',', 3)))};
}
std::string rgbText(Rgb c) {
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}
}  // namespace

Profile parseProfileLine(std::string_view value) {
    Profile p;
    if (value.substr(0, 5) == "-----") {
        p.name = std::string(value);
        p.isSeparator = true;
        return p;
    }
    p.width = text::toInt(text::field(value, '|', 1));
    p.height = text::toInt(text::field(value, '|', 2));
    p.name = text::trimBlanks(text::field(value, '|', 3));
    p.stripsYPos = text::toInt(text::field(value, '|', 4));
    p.fontSize = text::toInt(text::field(value, '|', 5));
    p.fps = text::toFloat(text::field(value, '|', 6));
    // "inf", "nan", 1e30 or 1e-30 are no frame rate: they read as 0 like any
    // other field that is not a usable number.
    if (!(std::fabs(p.fps) >= 0.01f && std::fabs(p.fps) <= 1000.0f)) p.fps = 0.0f;
    return p;
}

Preset parsePresetLine(std::string_view value) {
    Preset p;
    p.name = text::field(value, '|', 1);
    for (const PresetParam& param : presetParams()) {
        const std::string field = text::field(value, '|', param.column);
        if (param.colour) p.*param.colour = parseRgb(field);
        else p.*param.number = param.normalised(text::toInt(field));
    }
    return p;
}

std::string presetLine(const Preset& p) {
    std::string line = p.name;
    for (const PresetParam& param : presetParams())
        line += "|" + (param.colour ? rgbText(p.*param.colour) : std::to_string(p.*param.number));
    return line;
}

std::string settingsLeftOutNote(const Settings& s, const std::string& fileName) {
    std::string note;
    auto part = [&](int leftOut, size_t limit, const char* what) {
        if (leftOut <= 0) return;
        if (!note.empty()) note += "\n";
        note += fileName + " lists " + std::to_string(limit + size_t(leftOut)) + " " + what + "; only the first " +
                std::to_string(limit) + " are used.";
    };
    part(s.profilesLeftOut, kMaxProfiles, "profiles");
    part(s.presetsLeftOut, kMaxPresets, "presets");
    return note;
}

std::string profileDisplayText(const Profile& p) {
    if (p.isSeparator) return p.name;
    return std::to_string(p.width) + " x " + std::to_string(p.height) + " - " + p.name;
}

Settings parseSettings(std::string_view content) {
    Settings s;
    std::string section;
    for (const std::string& raw : text::splitLines(content)) {
        std::string line = text::trimBlanks(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = text::lower(text::trimBlanks(line.substr(1, line.size() - 2)));
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = text::lower(text::trimBlanks(line.substr(0, eq)));
        std::string value = text::trimBlanks(line.substr(eq + 1));
        if (section == "global") {
            if (key == "startupprofile") s.startupProfile = text::toInt(value);
            else if (key == "preset") s.startupPreset = text::toInt(value);
            else if (key == "reactionms") s.reactionMs = std::clamp(text::toInt(value), 0, 1000);
        } else if (section == "profiles") {
            if (s.profiles.size() < kMaxProfiles) s.profiles.push_back(parseProfileLine(value));
            else ++s.profilesLeftOut;
        } else if (section == "presets") {
            if (s.presets.size() < kMaxPresets) s.presets.push_back(parsePresetLine(value));
            else ++s.presetsLeftOut;
        }
    }
    return s;
}

std::optional<std::string> rewritePresets(std::string_view content, const std::vector<Preset>& presets) {
    // Keep every byte up to and including the "[Presets]" line and its ending.
    size_t pos = 0;
    while (pos < content.size()) {
        size_t end = content.find_first_of("\r\n", pos);
        size_t lineEnd = end == std::string_view::npos ? content.size() : end;
        size_t next = lineEnd;
        if (next < content.size()) {
            if (content[next] == '\r' && next + 1 < content.size() && content[next + 1] == '\n') next += 2;
            else next += 1;
        }
        if (content.substr(pos, lineEnd - pos) == "[Presets]") {
            std::string out(content.substr(0, next));
            if (next == lineEnd) out += "\r\n";  // header was the file's last line, with no ending
            for (const Preset& p : presets) {
                std::string line = presetLine(p);
                if (std::count(line.begin(), line.end(), '|') >= 11) out += "Preset = " + line + "\r\n";
            }
            // Preset lines the program did not load stay in the file.
            size_t seen = 0;
            bool inPresets = true;
            for (const std::string& raw : text::splitLines(content.substr(next))) {
                std::string line = text::trimBlanks(raw);
                if (line.empty() || line[0] == ';' || line[0] == '#') continue;
                if (line.front() == '[' && line.back() == ']') {
                    inPresets = text::lower(text::trimBlanks(line.substr(1, line.size() - 2))) == "presets";
                    continue;
                }
                if (!inPresets || line.find('=') == std::string::npos) continue;
                if (++seen > kMaxPresets) out += line + "\r\n";
            }
            return out;
        }
        pos = next;
    }
    return std::nullopt;
}

namespace {
struct RawLine {
    size_t begin, end, next;  // text [begin, end), the next line at `next`
};
std::vector<RawLine> rawLines(std::string_view content) {
    std::vector<RawLine> lines;
    size_t pos = 0;
    while (pos < content.size()) {
        size_t end = content.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = content.size();
        size_t next = end;
        if (next < content.size()) next += content[next] == '\r' && next + 1 < content.size() && content[next + 1] == '\n' ? 2 : 1;
        lines.push_back({pos, end, next});
        pos = next;
    }
    return lines;
}
}  // namespace

std::string withGlobalKey(std::string_view content, const std::string& key, const std::string& value) {
    const std::string eol = content.find("\r\n") != std::string_view::npos || content.find('\n') == std::string_view::npos
                                ? "\r\n"
                                : "\n";
    const std::string keyLine = key + " = " + value;
    const std::string wanted = text::lower(key);
    std::vector<RawLine> lines = rawLines(content);
    bool inGlobal = false;
    std::optional<size_t> insertAt;  // after the header or the last key line of [Global]
    for (const RawLine& l : lines) {
        std::string line = text::trimBlanks(std::string(content.substr(l.begin, l.end - l.begin)));
        if (!line.empty() && line.front() == '[' && line.back() == ']') {
            if (inGlobal) break;
            inGlobal = text::lower(text::trimBlanks(line.substr(1, line.size() - 2))) == "global";
            if (inGlobal) insertAt = l.next;
            continue;
        }
        if (!inGlobal || line.empty() || line[0] == ';' || line[0] == '#') continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (text::lower(text::trimBlanks(line.substr(0, eq))) == wanted)
            return std::string(content.substr(0, l.begin)) + keyLine + std::string(content.substr(l.end));
        insertAt = l.next;
    }
    if (!insertAt) return "[Global]" + eol + keyLine + eol + std::string(content);
    std::string out(content.substr(0, *insertAt));
    if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += eol;  // the last line had no ending
    return out + keyLine + eol + std::string(content.substr(*insertAt));
}
