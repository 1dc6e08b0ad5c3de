#include "project/ProjectFile.h"

#include <cstring>

#include "base/Cp1252.h"
#include "base/Text.h"
#include "base/Utf8.h"

std::string projectMagic(std::string_view projectExt) {
    std::string_view bare = projectExt.substr(projectExt.empty() || projectExt[0] != '.' ? 0 : 1);
    return "##-" + std::string(bare) + " Project";
}

std::string projectMagicUtf8(std::string_view projectExt) {
    return projectMagic(projectExt) + " (UTF-8)";
}

bool projectFitsSingleByte(const SubtitleList& rows) {
    for (int i = 0; i < rows.lineCount(); ++i) {
        const SubtitleLine& r = *rows.row(i);
        for (const std::string* f : {&r.id, &r.text, &r.timing.verbatim, &r.offOn, &r.y})
            if (!cp1252::fits(*f)) return false;
    }
    return true;
}

namespace {

// The number of lines LineWalk finds, or more than `limit` once that is
// certain. Counting the breaks first keeps a file of nothing but line
// breaks from becoming millions of rows in memory.
size_t countLinesUpTo(std::string_view content, size_t limit) {
    size_t breaks = 0;
    for (char c : {'\n', '\r'})
        for (const char *p = content.data(), *end = p + content.size();
             (p = static_cast<const char*>(std::memchr(p, c, size_t(end - p)))) != nullptr; ++p)
            ++breaks;
    if (breaks + 1 <= limit) return breaks + 1;  // an upper bound, and small enough
    size_t lines = 0;
    std::string_view line;
    for (text::LineWalk walk(content); walk.next(line);)
        if (++lines > limit) break;
    return lines;
}

}  // namespace

ProjectLoadStatus parseProject(std::string_view content, int fallbackY, ProjectHeader& header, SubtitleList& rows) {
    rows.clearList();
    const std::string magic = text::field(content.substr(0, content.find_first_of("\r\n")), ':', 1);
    header.utf8 = magic == projectMagicUtf8(".KVL8");
    if (magic != projectMagic(".KVL8") && !header.utf8) return ProjectLoadStatus::BadHeader;
    // Single-byte files are Windows-1252; bytes of a UTF-8 file that are not
    // UTF-8 become U+FFFD. Plain ASCII stays a view.
    auto toText = [utf8 = header.utf8](std::string_view f) {
        for (char c : f)
            if (static_cast<unsigned char>(c) >= 0x80) return utf8 ? utf8::sanitize(f) : cp1252::toUtf8(f);
        return std::string(f);
    };
    const size_t lineCount = countLinesUpTo(content, kMaxProjectRows + 10);
    if (lineCount > kMaxProjectRows + 10) return ProjectLoadStatus::TooManyRows;

    text::LineWalk walk(content);
    std::string_view head[10];
    for (std::string_view& line : head)
        if (!walk.next(line)) break;
    auto number = [&](int i) { return text::toInt(text::field(head[i], ':', 2)); };
    header.width = number(1);
    header.height = number(2);
    header.profile = number(3);
    header.preset = number(4);
    if (header.width <= 0 || header.height <= 0) return ProjectLoadStatus::BadHeader;
    header.timedLength = number(8);
    if (head[9] != "##-;") return ProjectLoadStatus::BadHeader;

    rows.reserve(lineCount > 10 ? lineCount - 10 : 1);
    const std::string fallback = std::to_string(fallbackY);
    int phase = 0;
    // A file that ends after its header still gets one (empty) row.
    std::string_view raw;
    bool more = walk.next(raw);
    do {
        while (!raw.empty() && raw.front() == ' ') raw.remove_prefix(1);
        while (!raw.empty() && raw.back() == ' ') raw.remove_suffix(1);
        // Views into the line: each field is copied once, into its row.
        // A sixth field marks a forced set; fields beyond it are ignored.
        std::string_view f[6];
        for (size_t n = 0, start = 0; n < 6; ++n) {
            const size_t end = raw.find('|', start);
            f[n] = raw.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
            if (end == std::string_view::npos) break;
            start = end + 1;
        }
        const char kind = f[0].empty() ? 0 : f[0][0];
        const int index = rows.lineCount();
        rows.appendLine(SubtitleLine{toText(f[0]), toText(f[1]), RowTiming::fromText(toText(f[2])), toText(f[3]),
                                     f[4].empty() ? fallback : toText(f[4]), f[5] == kForcedField});
        if (kind == 'A' && phase == 0) rows.setRowShade(index, 230), phase = 1;
        else if (kind == 'B' && phase == 1) rows.setRowShade(index, 230), phase = 2;
        else if (kind == 'A' && phase == 2) rows.setRowShade(index, 210), phase = 3;
        else if (kind == 'B' && phase == 3) rows.setRowShade(index, 210), phase = 0;
        more = walk.next(raw);
    } while (more);
    return ProjectLoadStatus::Ok;
}

std::string formatProjectDate(const std::tm& t) {
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int month = t.tm_mon >= 0 && t.tm_mon < 12 ? t.tm_mon : 0;
    return text::padded(t.tm_mday, 2) + " " + kMonths[month] + " " + text::padded(t.tm_year + 1900, 4) + " @ " +
           text::padded(t.tm_hour, 2) + ":" + text::padded(t.tm_min, 2) + ":" + text::padded(t.tm_sec, 2);
}

std::string formatProject(const SubtitleList& rows, const ProjectHeader& header, const std::tm& written,
                          std::string_view projectExt, std::string_view versionText) {
    const char* eol = "\r\n";
    auto [lineCount, pages] = rows.countLines();
    const bool single = projectFitsSingleByte(rows);
    std::string out;
    out.reserve(size_t(rows.lineCount()) * 48 + 400);
    out += (single ? projectMagic(projectExt) : projectMagicUtf8(projectExt)) + ": " + std::string(versionText) + eol;
    out += "##-Resolution Width: " + std::to_string(header.width) + eol;
    out += "##-Resolution Height: " + std::to_string(header.height) + eol;
    out += "##-Profile: " + std::to_string(header.profile) + eol;
    out += "##-Preset: " + std::to_string(header.preset) + eol;
    out += "##-Date Written: " + formatProjectDate(written) + eol;
    out += "##-Number of lines/pages: " + std::to_string(lineCount) + " / " + std::to_string(pages) + eol;
    out += "##-Word count: " + std::to_string(rows.countWords()) + eol;
    out += "##-User Timed Session: " + std::to_string(header.timedLength) + eol;
    out += std::string("##-;") + eol;
    for (int i = 0; i < rows.lineCount(); ++i) {
        const SubtitleLine& r = *rows.row(i);
        auto put = [&](const std::string& f) {
            bool ascii = true;
            for (char c : f) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
            out += ascii || !single ? f : cp1252::fromUtf8(f);
        };
        put(r.id);
        out += '|';
        put(r.text);
        out += '|';
        if (r.timing.verbatim.empty())
            r.timing.appendText(out);  // the program's own form is plain ASCII
        else
            put(r.timing.verbatim);
        out += '|';
        put(r.offOn);
        out += '|';
        put(r.y);
        if (r.forced) out += "|" + std::string(kForcedField);
        out += eol;
    }
    return out;
}

std::tm localTimeNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local;
}
