#include "project/ProjectFile.h"

#include "base/Text.h"

std::string projectMagic(std::string_view projectExt) {
    std::string_view bare = projectExt.substr(projectExt.empty() || projectExt[0] != '.' ? 0 : 1);
    return "##-" + std::string(bare) + " Project";
}

ProjectLoadStatus parseProject(std::string_view content, int fallbackY, ProjectHeader& header, SubtitleList& rows) {
    rows.clearList();
    if (text::field(content.substr(0, content.find_first_of("\r\n")), ':', 1) != projectMagic(".KVL8"))
        return ProjectLoadStatus::BadHeader;
    // Count the lines before any of them is stored: a file of nothing but
    // line breaks must not become millions of rows in memory.
    size_t lineCount = 0;
    for (size_t i = 0; i < content.size(); ++i) {
        if (content[i] == '\n' || (content[i] == '\r' && (i + 1 == content.size() || content[i + 1] != '\n')))
            ++lineCount;
        if (lineCount > kMaxProjectRows + 10) return ProjectLoadStatus::TooManyRows;
    }
    if (!content.empty() && content.back() != '\n' && content.back() != '\r') ++lineCount;
    if (lineCount > kMaxProjectRows + 10) return ProjectLoadStatus::TooManyRows;
    std::vector<std::string_view> lines = text::splitLineViews(content);
    auto lineAt = [&](size_t i) -> std::string_view { return i < lines.size() ? lines[i] : std::string_view(); };
    auto number = [&](size_t i) { return text::toInt(text::field(lineAt(i), ':', 2)); };

    if (text::field(lineAt(0), ':', 1) != projectMagic(".KVL8")) return ProjectLoadStatus::BadHeader;
    header.width = number(1);
    header.height = number(2);
    header.profile = number(3);
    header.preset = number(4);
    if (header.width <= 0 || header.height <= 0) return ProjectLoadStatus::BadHeader;
    header.timedLength = number(8);
    if (lineAt(9) != "##-;") return ProjectLoadStatus::BadHeader;

    rows.reserve(lines.size() > 10 ? lines.size() - 10 : 1);
    std::string fallback = std::to_string(fallbackY);
    int phase = 0;
    size_t i = 10;
    do {
        // Views into the line: each field is copied once, into its row.
        std::string_view raw = lineAt(i);
        while (!raw.empty() && raw.front() == ' ') raw.remove_prefix(1);
        while (!raw.empty() && raw.back() == ' ') raw.remove_suffix(1);
        // Fields beyond the fifth are ignored.
        std::string_view f[5];
        for (size_t n = 0, start = 0; n < 5; ++n) {
            const size_t end = raw.find('|', start);
            f[n] = raw.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
            if (end == std::string_view::npos) break;
            start = end + 1;
        }
        SubtitleLine row;
        row.id = f[0];
        row.text = f[1];
        row.timing = f[2];
        row.offOn = f[3];
        row.y = f[4].empty() ? fallback : std::string(f[4]);
        int index = rows.lineCount();
        rows.appendLine(std::move(row));
        const std::string& id = rows.row(index)->id;
        char kind = id.empty() ? 0 : id[0];
        if (kind == 'A' && phase == 0) rows.setRowShade(index, 230), phase = 1;
        else if (kind == 'B' && phase == 1) rows.setRowShade(index, 230), phase = 2;
        else if (kind == 'A' && phase == 2) rows.setRowShade(index, 210), phase = 3;
        else if (kind == 'B' && phase == 3) rows.setRowShade(index, 210), phase = 0;
        ++i;
    } while (i < lines.size());
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
    std::string out;
    out.reserve(size_t(rows.lineCount()) * 48 + 400);
    out += projectMagic(projectExt) + ": " + std::string(versionText) + eol;
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
        out += r.id;
        out += '|';
        out += r.text;
        out += '|';
        out += r.timing;
        out += '|';
        out += r.offOn;
        out += '|';
        out += r.y;
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
