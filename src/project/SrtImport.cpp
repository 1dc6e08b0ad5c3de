#include "project/SrtImport.h"

#include <cctype>
#include <vector>

#include "base/Italics.h"
#include "base/Text.h"
#include "base/Utf8.h"

namespace {
bool startsWithIgnoreCase(std::string_view s, size_t at, std::string_view word) {
    if (at + word.size() > s.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[at + i])) != word[i]) return false;
    return true;
}

// The frames field of a time code from the digits after the seconds: the
// fraction of a second as a decimal fraction (",5" is 500 ms), times fps,
// each step rounded to single precision, then cut to two digits.
std::string framesText(std::string_view fraction, float fps) {
    std::string digits(fraction.substr(0, 7));
    long value = digits.empty() ? 0 : std::stol(digits);
    float scale = 1.0f;
    for (size_t i = 0; i < digits.size(); ++i) scale *= 10.0f;
    float quotient = float(value) / scale;
    float product = quotient * fps;
    long frames = long(product);
    if (frames < 0) frames = 0;
    std::string ff = std::to_string(frames);
    if (ff.size() < 2) ff.insert(0, "0");
    if (ff.size() > 2) ff.resize(2);
    return ff;
}
}  // namespace

std::string stripSrtFormatting(std::string_view line) {
    static const char* const kTags[] = {"i", "b", "u", "s", "font"};
    std::string out;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == '{' && i + 1 < line.size() && line[i + 1] == '\\') {
            size_t close = line.find('}', i);
            if (close != std::string_view::npos) {
                // Italics on and off are kept as the line's italics tags.
                const std::string_view block = line.substr(i, close + 1 - i);
                if (block == "{\\i1}") out += italics::kOpen;
                if (block == "{\\i0}") out += italics::kClose;
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
                    // <i> and </i> (any case) stay as the line's italics.
                    if (close == p + 1 && std::tolower(static_cast<unsigned char>(line[p])) == 'i')
                        out += line[i + 1] == '/' ? italics::kClose : italics::kOpen;
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
    return clock + ":" + framesText(digits, fps);
}

namespace {
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

size_t countDigits(std::string_view s, size_t i) {
    size_t n = 0;
    while (i + n < s.size() && isDigit(s[i + n])) ++n;
    return n;
}

// One time of a time line: H:M:S with one or two digits each, then an
// optional fraction of a second after ',' or '.'.
struct ClockTime {
    std::string clock;     // HH:MM:SS
    std::string fraction;  // the digits after the separator, may be empty
};

bool readTime(std::string_view s, size_t& i, ClockTime& t) {
    std::string fields[3];
    for (int f = 0; f < 3; ++f) {
        if (f > 0) {
            if (i >= s.size() || s[i] != ':') return false;
            ++i;
        }
        size_t n = countDigits(s, i);
        if (n == 0 || n > 2) return false;
        fields[f] = std::string(n == 1 ? "0" : "") + std::string(s.substr(i, n));
        i += n;
    }
    t.clock = fields[0] + ":" + fields[1] + ":" + fields[2];
    t.fraction.clear();
    if (i < s.size() && (s[i] == ',' || s[i] == '.')) {
        size_t n = countDigits(s, i + 1);
        if (n == 0) return false;
        t.fraction = std::string(s.substr(i + 1, n));
        i += 1 + n;
    }
    return true;
}

void skipBlanks(std::string_view s, size_t& i) {
    while (i < s.size() && isBlank(s[i])) ++i;
}

// "00:00:01,000 --> 00:00:02,500", also with "->" or "- >", any blanks
// around the arrow, and position hints after the second time.
bool readTimeLine(std::string_view line, ClockTime& on, ClockTime& off) {
    size_t i = 0;
    if (!readTime(line, i, on)) return false;
    skipBlanks(line, i);
    if (i >= line.size() || line[i] != '-') return false;
    while (i < line.size() && line[i] == '-') ++i;
    skipBlanks(line, i);
    if (i >= line.size() || line[i] != '>') return false;
    ++i;
    skipBlanks(line, i);
    if (!readTime(line, i, off)) return false;
    return i == line.size() || isBlank(line[i]);
}

// A line meant as a time line even though it cannot be read.
bool looksLikeTimeLine(std::string_view line) {
    if (line.find("-->") != std::string_view::npos) return true;
    return !line.empty() && isDigit(line[0]) && line.find(':') != std::string_view::npos &&
           (line.find("->") != std::string_view::npos || line.find("- >") != std::string_view::npos);
}

// Our SubRip export puts a no-break space before the '>' of an arrow in
// text, so that it cannot read as a time line; it goes again here.
std::string joinArrows(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s.compare(i, 2, utf8::kNoBreakSpace) == 0 && i + 2 < s.size() && s[i + 2] == '>') {
            size_t j = out.size();
            while (j > 0 && (out[j - 1] == ' ' || out[j - 1] == '\t')) --j;
            if (j > 0 && out[j - 1] == '-') {
                ++i;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

bool isNumberLine(std::string_view line) {
    return !line.empty() && countDigits(line, 0) == line.size();
}

std::string listLines(const SrtImportResult::Lines& lines) {
    std::string out;
    for (int n : lines.first) out += (out.empty() ? "" : ", ") + std::to_string(n);
    if (lines.count > int(lines.first.size())) out += ", ...";
    return out;
}
}  // namespace

void SrtImportResult::Lines::add(int lineNumber) {
    ++count;
    if (first.size() < kListed) first.push_back(lineNumber);
}

std::string describeSkippedLines(const SrtImportResult& r) {
    std::string out;
    if (r.unreadableTimeLines.count > 0)
        out += std::to_string(r.unreadableTimeLines.count) +
               (r.unreadableTimeLines.count == 1 ? " time line could not be read; its cue was"
                                                 : " time lines could not be read; their cues were") +
               " left out (line" + (r.unreadableTimeLines.count == 1 ? " " : "s ") +
               listLines(r.unreadableTimeLines) + ")";
    if (r.linesOutsideCues.count > 0) {
        if (!out.empty()) out += "\n";
        out += std::to_string(r.linesOutsideCues.count) +
               (r.linesOutsideCues.count == 1 ? " line belongs" : " lines belong") +
               " to no cue and " + (r.linesOutsideCues.count == 1 ? "was" : "were") + " left out (line" +
               (r.linesOutsideCues.count == 1 ? " " : "s ") + listLines(r.linesOutsideCues) + ")";
    }
    if (r.invalidUtf8.count > 0) {
        if (!out.empty()) out += "\n";
        out += std::to_string(r.invalidUtf8.count) +
               (r.invalidUtf8.count == 1 ? " line holds" : " lines hold") +
               " bytes that are not UTF-8; each was replaced with U+FFFD (line" +
               (r.invalidUtf8.count == 1 ? " " : "s ") + listLines(r.invalidUtf8) + ")";
    }
    return out;
}

SrtImportResult importSrtText(std::string_view bytes, float fps, int stripsY, SubtitleList& list) {
    SrtImportResult result;
    utf8::Decoded decoded = utf8::decodeTextFile(bytes);
    result.convertedFromUtf8 = decoded.converted;
    for (int line : decoded.badLines) result.invalidUtf8.add(line);
    const std::string content = std::move(decoded.text);
    std::vector<std::string> lines = text::splitLines(content);
    const std::string y = std::to_string(stripsY);

    // The cue being read: opened by a time line, its text runs up to a blank
    // line or the next time line.
    bool open = false, readable = false;
    RowTiming timing;
    std::vector<std::string> cueText;
    // A number line is kept back until the next line shows whether it is the
    // index of a cue (right before a time line) or text.
    int heldNumber = 0;
    std::string heldText;

    // Text with '|' would split the row in the project file; the broken bar looks the same.
    auto clean = [](const std::string& s) {
        return text::replaceAll(joinArrows(stripSrtFormatting(s)), "|", utf8::kBrokenBar);
    };
    auto finishCue = [&]() {
        if (open && readable) {
            std::string a, b;
            // Italics that run over a line end are closed and opened again.
            for (std::string& t : cueText) t = clean(t);
            cueText = italics::balanceLines(cueText);
            if (cueText.size() == 1) {
                b = cueText[0];
            } else if (cueText.size() >= 2) {
                a = cueText[0];
                // Lines after the second go onto line B.
                for (size_t i = 1; i < cueText.size(); ++i) {
                    const std::string& part = cueText[i];
                    if (part.empty()) continue;
                    b += (b.empty() ? "" : " ") + part;
                }
            }
            int row = list.lineCount();
            list.appendLine(SubtitleLine{rowId(row), a, timing, "", y});
            list.appendLine(SubtitleLine{rowId(row + 1), b, timing, "", y});
            ++result.cues;
        }
        open = false;
        cueText.clear();
    };
    auto addText = [&](std::string line, int lineNumber) {
        if (open)
            cueText.push_back(std::move(line));
        else
            result.linesOutsideCues.add(lineNumber);
    };
    auto flushHeld = [&]() {
        if (heldNumber == 0) return;
        addText(std::move(heldText), heldNumber);
        heldNumber = 0;
    };

    for (size_t k = 0; k < lines.size(); ++k) {
        // Spaces and tabs around a line carry nothing in SubRip.
        std::string line = text::trimBlanks(lines[k]);
        const int lineNumber = int(k) + 1;
        ClockTime on, off;
        bool isTime = readTimeLine(line, on, off);
        // A line that only looks like a time line counts as one where a cue
        // could start, not in the middle of a cue's text.
        bool isBadTime = !isTime && looksLikeTimeLine(line) && (!open || cueText.empty() || heldNumber != 0);
        if (isTime || isBadTime) {
            heldNumber = 0;  // the cue's index: never text
            finishCue();
            open = true;
            readable = isTime;
            cueText.clear();
            if (isTime)
                timing = RowTiming::fromText(on.clock + ":" + framesText(on.fraction, fps) + ">" + off.clock + ":" +
                                             framesText(off.fraction, fps));
            else
                result.unreadableTimeLines.add(lineNumber);
            continue;
        }
        flushHeld();
        if (isNumberLine(line)) {
            heldNumber = lineNumber;
            heldText = line;
        } else if (line.empty()) {
            finishCue();
        } else {
            addText(line, lineNumber);
        }
    }
    flushHeld();
    finishCue();
    return result;
}
