#include "app/RecentProjects.h"

#include <algorithm>
#include <sstream>

void RecentProjects::add(const std::string& path) {
    if (path.empty()) return;
    remove(path);
    projects.insert(projects.begin(), path);
    if (projects.size() > kKept) projects.resize(kKept);
}

void RecentProjects::remove(const std::string& path) {
    projects.erase(std::remove(projects.begin(), projects.end(), path), projects.end());
}

std::string formatRecentProjects(const RecentProjects& recent) {
    std::string text;
    if (!recent.lastFolder.empty()) text += "folder\t" + recent.lastFolder + "\n";
    for (const std::string& p : recent.projects) text += "project\t" + p + "\n";
    return text;
}

RecentProjects parseRecentProjects(const std::string& text) {
    RecentProjects recent;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t tab = line.find('\t');
        if (tab == std::string::npos || tab + 1 == line.size()) continue;
        const std::string kind = line.substr(0, tab), value = line.substr(tab + 1);
        if (value.find('\0') != std::string::npos) continue;
        if (kind == "folder")
            recent.lastFolder = value;
        else if (kind == "project" && recent.projects.size() < RecentProjects::kKept &&
                 std::find(recent.projects.begin(), recent.projects.end(), value) == recent.projects.end())
            recent.projects.push_back(value);
    }
    return recent;
}

std::string recentProjectsPath(const std::string& userConfigDir) {
    return userConfigDir.empty() ? std::string() : userConfigDir + "recent-projects.txt";
}
