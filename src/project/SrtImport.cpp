#include "project/SrtImport.h"

#include <cctype>
#include <vector>

#include "base/Cp1252.h"
#include "base/Text.h"

namespace {
bool startsWithIgnoreCase(std::string_view s, size_t at, std::string_view word) {
    if (at + word.size() > s.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[at + i])) != word[i]) return false;
    return true;
}
}  // namespace

std::string srtToSingleByte(std::string_view bytes, bool* converted) {
    if (converted) *converted = false;
    if (bytes.size() >= 2 && (unsigned char)bytes[0] == 0xFF && (unsigned char)bytes[1] == 0xFE) {
        if (converted) *converted = true;
        return cp1252::fromUtf16(bytes.substr(2), false);
    }
    if (bytes.size() >= 2 && (unsigned char)bytes[0] == 0xFE && (unsigned char)bytes[1] == 0xFF) {
        if (converted) *converted = true;
        return cp1252::fromUtf16(bytes.substr(2), true);
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        if (converted) *converted = true;
        return cp1252::fromUtf8(bytes.substr(3));
    }
    if (cp1252::looksLikeUtf8(bytes)) {
        if (converted) *converted = true;
        return cp1252::fromUtf8(bytes);
    }
    return std::string(bytes);
}

std::string stripSrtFormatting(std::string_view line) {
    static const char* const kTags[] = {"i", "b", "u", "s", "font"};
    std::string out;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == '{' && i + 1 < line.size() && line[i + 1] == '\\') {
            size_t close = line.find('}', i);
            if (close != std::string_view::npos) {
                i = close + 1;
                continue;
            }
        }
        if (c == '<') {
            size_t close = line.find('>', i);
            if (close != std::string_view::npos) {
                size_t p = i + 1;
                if (p < close && line[p] == '/') ++p;
                bool known = false;
                for (const char* tag : kTags) {
                    std::string_view t(tag);
                    if (!startsWithIgnoreCase(line, p, t)) continue;
                    size_t after = p + t.size();
                    // "<b>" or "<font color=...>": the name must end the tag or be followed by a blank.
                    if (after == close || line[after] == ' ' || line[after] == '\t') known = true;
                    if (known) break;
                }
                if (known) {
                    i = close + 1;
                    continue;
                }
            }
        }
        out += c;
        ++i;
    }
    return text::trimSpaces(out);
}

std::string srtTimeToTimeCode(std::string_view time, float fps) {
    std::string t = text::replaceAll(text::trimBlanks(time), ",", ".");
    if (t.empty()) return {};
    size_t dot = t.find('.');
    std::string clock = dot == std::string::npos ? t : t.substr(0, dot);
    std::string digits;
    if (dot != std::string::npos)
        for (size_t i = dot + 1; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])) && digits.size() < 7; ++i)
            digits += t[i];
    // The fraction of a second as a decimal fraction: ",5" is 500 ms, ",530" 530 ms.
    long value = digits.empty() ? 0 : std::stol(digits);
    float scale = 1.0f;
    for (size_t i = 0; i < digits.size(); ++i) scale *= 10.0f;
    float quotient = float(value) / scale;  // rounded to single precision
    float product = quotient * fps;          // likewise
    long frames = long(product);
    if (frames < 0) frames = 0;
    std::string ff = std::to_string(frames);
    if (ff.size() < 2) ff.insert(0, "0");
    if (ff.size() > 2) ff.resize(2);
    return clock + ":" + ff;
}

SrtImportResult importSrtText(std::string_view bytes, float fps, int stripsY, SubtitleList& list) {
    SrtImportResult result;
    std::string content = srtToSingleByte(bytes, &result.convertedFromUtf8);
    std::vector<std::string> lines = text::splitLines(content);
    size_t next = 0;
    auto readLine = [&]() -> std::string {
        if (next >= lines.size()) return {};
        // Spaces and tabs around a line carry nothing in SubRip.
        return text::trimBlanks(lines[next++]);
    };
    std::string y = std::to_string(stripsY);
    int expected = 1;
    while (next < lines.size()) {
        std::string number = readLine();
        if (number != std::to_string(expected)) continue;
        ++expected;
        std::string timeLine = readLine();
        std::string onText, offText;
        size_t arrow = timeLine.find("-->");
        if (arrow != std::string::npos) {
            onText = timeLine.substr(0, arrow);
            // Anything after the second time (position hints) is ignored.
            std::string rest = text::trimBlanks(timeLine.substr(arrow + 3));
            offText = rest.substr(0, rest.find_first_of(" \t"));
        } else {
            onText = timeLine;
        }
        std::string timing = srtTimeToTimeCode(onText, fps) + ">" + srtTimeToTimeCode(offText, fps);
        // A damaged time line may hold the project file's column separator.
        timing = text::replaceAll(timing, "|", "\xA6");
        std::string line1 = readLine();
        std::string line2 = readLine();
        // Text with '|' would split the row in the project file; the broken bar looks the same.
        auto clean = [](const std::string& s) { return text::replaceAll(stripSrtFormatting(s), "|", "\xA6"); };
        std::string a, b;
        if (line2.empty()) {
            b = clean(line1);
        } else if (!line1.empty()) {
            a = clean(line1);
            b = clean(line2);
        } else {
            continue;  // empty first line with a second one: the cue is dropped
        }
        int row = list.lineCount();
        list.appendLine(SubtitleLine{rowId(row), a, timing, "", y});
        list.appendLine(SubtitleLine{rowId(row + 1), b, timing, "", y});
        ++result.cues;
    }
    return result;
}
