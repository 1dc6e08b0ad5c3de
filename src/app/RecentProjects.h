#pragma once
#include <string>
#include <vector>

// The projects the user opened or saved last (newest first, at most ten)
// and the folder the file dialogs start in, kept in the user's settings
// folder so they outlive the program.
struct RecentProjects {
    static constexpr size_t kKept = 10;
    std::vector<std::string> projects;  // UTF-8 paths
    std::string lastFolder;             // with its trailing separator; empty: none yet

    // Puts a project first (once); the list keeps the newest ten.
    void add(const std::string& path);
    void remove(const std::string& path);
};

// The file's text: "folder <TAB> path" and one "project <TAB> path" line per
// project. Lines of any other kind are skipped, so a damaged file loses at
// most the lines it damaged.
std::string formatRecentProjects(const RecentProjects& recent);
RecentProjects parseRecentProjects(const std::string& text);

// The file in the user's settings folder; empty when there is none.
std::string recentProjectsPath(const std::string& userConfigDir);
