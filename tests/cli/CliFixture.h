#pragma once
// kalvero-cli run in-process on the built program folder, each test in a
// fresh folder of its own: the set-up the command-line tests share.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "cli/Cli.h"
#include "io/Files.h"
#include "project/ProjectFile.h"
#include "project/SubtitleList.h"
#include "project/SubtitleSet.h"

// A profile of the shipped settings file as a project names it.
struct ProjectProfile {
    int index, width, height;
    float fps;
    int y;  // the rows' Y
};

// One set of a project: line A, line B and its "ON>OFF" timing (may be empty).
struct ProjectSet {
    std::string a, b, timing;
};

// A project file's text of `sets` under profile `p` and preset `preset`.
inline std::string projectText(const ProjectProfile& p, const std::vector<ProjectSet>& sets, int preset = 0) {
    std::string s = "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: " + std::to_string(p.width) +
                    "\r\n##-Resolution Height: " + std::to_string(p.height) + "\r\n##-Profile: " +
                    std::to_string(p.index) + "\r\n##-Preset: " + std::to_string(preset) +
                    "\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
                    "##-Number of lines/pages: 4 / 2\r\n##-Word count: 4\r\n##-User Timed Session: 0\r\n##-;\r\n";
    for (size_t k = 0; k < sets.size(); ++k) {
        s += rowId(int(2 * k)) + "|" + sets[k].a + "|" + sets[k].timing + "||" + std::to_string(p.y) + "\r\n";
        s += rowId(int(2 * k + 1)) + "|" + sets[k].b + "|" + sets[k].timing + "||" + std::to_string(p.y) + "\r\n";
    }
    return s;
}

struct CliRun {
    int code;
    std::string out, err;
};

// One run of kalvero-cli with `programDir` as its program folder.
inline CliRun runCliWith(const std::string& programDir, std::vector<std::string> args) {
    args.insert(args.begin(), {"--program-dir", programDir});
    std::ostringstream out, err;
    const int code = runCli(args, out, err);
    return {code, out.str(), err.str()};
}

class CliFolderTest : public ::testing::Test {
protected:
    void SetUp() override { dir = testsupport::freshTestDir("kalvero-cli-"); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    CliRun run(std::vector<std::string> args) { return runCliWith(KALVERO_BIN_DIR, std::move(args)); }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    void write(const std::string& name, const std::string& content) {
        ASSERT_TRUE(files::writeFileAtomic(path(name), content));
    }
    std::string read(const std::string& name) {
        std::string s;
        EXPECT_TRUE(files::readFile(path(name), s));
        return s;
    }
    // Writes NAME.KVL8 in the test's folder; its path.
    std::string writeProject(const ProjectProfile& p, const std::vector<ProjectSet>& sets,
                             const std::string& name = "demo", int preset = 0) {
        const std::string file = path(name + ".KVL8");
        EXPECT_TRUE(files::writeFileAtomic(file, projectText(p, sets, preset)));
        return file;
    }
    // The sets of a project file as the program reads it.
    static std::vector<SubtitleSet> readProject(const std::string& file) {
        std::string content;
        EXPECT_TRUE(files::readFile(file, content));
        ProjectHeader header;
        SubtitleList list;
        EXPECT_EQ(parseProject(content, 0, header, list), ProjectLoadStatus::Ok);
        return subtitleSets(list);
    }

    std::filesystem::path dir;
};

// Every "-x" or "--name" option word of a text.
inline std::set<std::string> optionsIn(const std::string& text) {
    std::set<std::string> found;
    const std::regex option(R"((^|[\s\[|("'`])(--?[a-z][a-z0-9-]*))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        found.insert((*it)[2].str());
    return found;
}
