#include "app/Recovery.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/Text.h"
#include "io/Files.h"

namespace {
constexpr std::string_view kMagic = "KALVERO RECOVERY 1";
constexpr std::string_view kPrefix = "journal-";
constexpr std::string_view kSuffix = ".kvr";
}  // namespace

std::string formatJournal(const RecoveryJournal& j) {
    std::string out = std::string(kMagic) + "\r\nPath = " + j.projectPath + "\r\nName = " + j.projectName +
                      "\r\nChanged = " + j.changed + "\r\n";
    if (j.look) out += "Look = " + presetLine(j.look->preset) + "\r\nFontSize = " + std::to_string(j.look->fontSize) + "\r\n";
    if (j.look && !j.look->language.empty()) out += "Language = " + j.look->language + "\r\n";
    return out + "\r\n" + j.projectText;
}

std::optional<RecoveryJournal> parseJournal(std::string_view text) {
    if (text.substr(0, kMagic.size()) != kMagic) return std::nullopt;
    RecoveryJournal j;
    size_t pos = text.find('\n');
    std::string lookLine, fontSize, language;
    while (pos != std::string_view::npos) {
        const size_t end = text.find('\n', pos + 1);
        if (end == std::string_view::npos) return std::nullopt;  // cut short before the project text
        std::string line(text.substr(pos + 1, end - pos - 1));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pos = end;
        if (line.empty()) break;
        const size_t eq = line.find(" = ");
        if (eq == std::string::npos) return std::nullopt;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 3);
        if (key == "Path") j.projectPath = value;
        else if (key == "Name") j.projectName = value;
        else if (key == "Changed") j.changed = value;
        else if (key == "Look") lookLine = value;
        else if (key == "FontSize") fontSize = value;
        else if (key == "Language") language = value;
    }
    if (pos == std::string_view::npos) return std::nullopt;
    j.projectText = std::string(text.substr(pos + 1));
    if (!lookLine.empty())
        j.look = parseLook("[Look]\nPreset = " + lookLine + "\nFontSize = " + fontSize + "\n[Project]\nLanguage = " +
                           language + "\n");
    return j;
}

std::string journalPathOf(const std::string& folder, long pid) {
    return files::withTrailingSeparator(folder) + std::string(kPrefix) + std::to_string(pid) + std::string(kSuffix);
}

std::vector<std::string> orphanedJournals(const std::string& folder) {
    std::vector<std::pair<std::filesystem::file_time_type, std::string>> found;
    for (const std::string& name : files::listFiles(folder)) {
        if (name.rfind(kPrefix, 0) != 0 || name.size() <= kPrefix.size() + kSuffix.size() ||
            name.substr(name.size() - kSuffix.size()) != kSuffix)
            continue;
        const std::string digits = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
        if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) continue;
        const long pid = std::stol(digits);
        if (pid == files::processId() || files::processRunning(pid)) continue;
        const std::string path = files::withTrailingSeparator(folder) + name;
        std::error_code ec;
        auto when = std::filesystem::last_write_time(path, ec);
        if (!ec) found.emplace_back(when, path);
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::string> paths;
    for (auto& f : found) paths.push_back(std::move(f.second));
    return paths;
}
