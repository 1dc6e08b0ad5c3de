// A write that fails half-way (a full disk, simulated through the write
// hook) leaves the previous file exactly as it was, and no stray file.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

#include "app/ControllerFixture.h"
#include "app/ExportCommands.h"
#include "export/ScalaScript.h"
#include "project/SubtitleList.h"

namespace fs = std::filesystem;

namespace {

std::string bytesOf(const fs::path& p) {
    std::string s;
    EXPECT_TRUE(files::readFile(p.string(), s)) << p;
    return s;
}

// Every file below a folder, so a left-over temporary file shows.
std::vector<std::string> filesBelow(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file()) names.push_back(fs::relative(e.path(), folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

// Makes writes fail from the given byte on while it lives.
struct DiskFullFrom {
    explicit DiskFullFrom(uint64_t limit) {
        files::setWriteFailureHookForTests([limit](uint64_t written) { return written < limit; });
    }
    ~DiskFullFrom() { files::setWriteFailureHookForTests(nullptr); }
};

const std::string kDiskFull = std::strerror(ENOSPC);

}  // namespace

class CrashSafety : public ControllerTest {};

TEST_F(CrashSafety, AFailedProjectSaveKeepsThePreviousFile) {
    ASSERT_TRUE(started);
    type(ctl::LineA, "Hello");
    const fs::path chosen = dir / "Film.KVL8";
    const fs::path saved = dir / "Film_project" / "Film.KVL8";
    ui.fileAnswers = {chosen.string()};
    click(ctl::Save);
    const std::string before = bytesOf(saved);
    ASSERT_NE(before.find("|Hello|"), std::string::npos);
    const std::vector<std::string> filesBefore = filesBelow(dir / "Film_project");

    // A small file fails before its first byte; a large one (more than one
    // write) after the first megabyte.
    for (int rows : {0, 40000}) {
        SCOPED_TRACE(rows);
        for (int i = 0; i < rows; ++i) state.list.appendLine(SubtitleLine{rowId(i + 2), "more text in row", "", "", "0"});
        type(ctl::LineA, "Changed");
        DiskFullFrom full(rows ? uint64_t(1) << 20 : 0);
        ui.messages.clear();
        ui.fileAnswers = {chosen.string()};
        click(ctl::Save);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].title, "Error!");
        EXPECT_EQ(ui.messages[0].text.rfind("Unable to create the file:\n" + saved.string() + "\n", 0), 0u);
        EXPECT_EQ(bytesOf(saved), before);
        EXPECT_EQ(filesBelow(dir / "Film_project"), filesBefore);
    }
}

TEST_F(CrashSafety, AFailedPresetSaveKeepsTheSettingsFile) {
    ASSERT_TRUE(started);
    const fs::path ini = dir / "Kalvero.ini";
    const std::string before = bytesOf(ini);
    const size_t presets = state.presets.size();
    slide(ctl::BlendSlider, 100);
    DiskFullFrom full(0);
    ui.messages.clear();
    ui.inputAnswers = {std::string("Mine")};
    click(ctl::SavePreset);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Error!");
    EXPECT_EQ(ui.messages[0].text, "Could not save the preset into " + ini.string() + ":\n" + kDiskFull);
    EXPECT_EQ(bytesOf(ini), before);
    EXPECT_EQ(state.presets.size(), presets);
    EXPECT_EQ(filesBelow(dir), (std::vector<std::string>{"Kalvero.ini"}));
}

TEST_F(CrashSafety, AFailedExportKeepsThePicturesOfTheLastExport) {
    ASSERT_TRUE(started);
    const fs::path folder = dir / "film_project";
    fs::create_directories(folder);
    const std::string project =
        "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
        "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
        "##-Number of lines/pages: 2 / 1\r\n##-Word count: 1\r\n##-User Timed Session: 0\r\n##-;\r\n"
        "A0000||00:00:01:00>00:00:02:12||430\r\nB0000|Hello|00:00:01:00>00:00:02:12||430\r\n";
    ASSERT_TRUE(files::writeFileAtomic((folder / "demo.KVL8").string(), project));
    c().commandLineOpen({(folder / "demo.KVL8").string()});
    ExportCommands exports(c(), ui);
    ASSERT_TRUE(exports.exportPngSequence().done());
    const fs::path picture = folder / "PNG_Output" / "demo0001.png";
    const std::string before = bytesOf(picture);
    const std::vector<std::string> filesBefore = filesBelow(folder);

    state.list.setLineColumn(1, Column::Text, "Changed");
    DiskFullFrom full(0);
    ExportReport r = exports.exportPngSequence();
    EXPECT_FALSE(r.done());
    EXPECT_NE(r.text.find(kDiskFull), std::string::npos) << r.text;
    EXPECT_EQ(bytesOf(picture), before);
    EXPECT_EQ(filesBelow(folder), filesBefore);
}

// A BDN export that fails part-way, at a picture or at its XML, takes away
// the pictures it wrote, as a cancelled one does; a file that was in the
// folder before stays, and no temporary file is left.
TEST_F(CrashSafety, AFailedBdnExportLeavesNoHalfTrack) {
    ASSERT_TRUE(started);
    const fs::path folder = dir / "film_project";
    fs::create_directories(folder / "BDN_Output");
    std::string project =
        "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
        "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
        "##-Number of lines/pages: 2 / 1\r\n##-Word count: 1\r\n##-User Timed Session: 0\r\n##-;\r\n";
    const int sets = 12;
    for (int k = 0; k < sets; ++k) {
        char row[64];
        std::snprintf(row, sizeof row, "%04d||00:00:%02d:00>00:00:%02d:12||430\r\n", 2 * k, k + 1, k + 1);
        project += "A" + std::string(row) + "B" + std::string(row).replace(5, 0, "Set " + std::to_string(k + 1));
    }
    ASSERT_TRUE(files::writeFileAtomic((folder / "demo.KVL8").string(), project));
    ASSERT_TRUE(files::writeFileAtomic((folder / "BDN_Output" / "notes.txt").string(), "mine"));
    c().commandLineOpen({(folder / "demo.KVL8").string()});

    for (int threads : {-1, 2}) {
        // Writes 1..okWrites succeed: the 4th picture fails, or the XML
        // after all the pictures.
        for (int okWrites : {3, sets}) {
            SCOPED_TRACE(std::to_string(threads) + " threads, " + std::to_string(okWrites) + " writes");
            ExportCommands exports(c(), ui);
            exports.workerThreads = threads;
            std::atomic<int> writes{0};
            files::setWriteFailureHookForTests([&](uint64_t) { return ++writes <= okWrites; });
            const ExportReport r = exports.exportSubtitleTrack(SubtitleFormat::Bdn);
            files::setWriteFailureHookForTests(nullptr);
            EXPECT_FALSE(r.done());
            EXPECT_NE(r.text.find(kDiskFull), std::string::npos) << r.text;
            EXPECT_TRUE(r.written.empty());
            EXPECT_EQ(filesBelow(folder / "BDN_Output"), std::vector<std::string>{"notes.txt"});
            EXPECT_EQ(bytesOf(folder / "BDN_Output" / "notes.txt"), "mine");
        }
    }
    // Without the failure the same export writes every picture and the XML.
    ExportCommands exports(c(), ui);
    ASSERT_TRUE(exports.exportSubtitleTrack(SubtitleFormat::Bdn).done());
    EXPECT_EQ(filesBelow(folder / "BDN_Output").size(), size_t(sets + 2));
}

// PNG and IFF runs that fail part-way on a full disk take away the pictures
// they wrote, as a cancel does, and say so; files that were there stay.
TEST_F(CrashSafety, PictureRunsFailingOnAFullDiskRemoveWhatTheyWrote) {
    ASSERT_TRUE(started);
    const fs::path folder = dir / "film_project";
    std::string project =
        "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
        "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
        "##-Number of lines/pages: 2 / 1\r\n##-Word count: 1\r\n##-User Timed Session: 0\r\n##-;\r\n";
    const int sets = 20;
    for (int k = 0; k < sets; ++k) {
        char row[64];
        std::snprintf(row, sizeof row, "%04d||00:00:%02d:00>00:00:%02d:12||430\r\n", 2 * k, k + 1, k + 1);
        project += "A" + std::string(row) + "B" + std::string(row).replace(5, 0, "Set " + std::to_string(k + 1));
    }
    fs::create_directories(folder);
    ASSERT_TRUE(files::writeFileAtomic((folder / "demo.KVL8").string(), project));
    c().commandLineOpen({(folder / "demo.KVL8").string()});
    const struct {
        const char* kind;
        const char* output;
        std::function<ExportReport(ExportCommands&)> run;
    } runs[] = {
        {"png", "PNG_Output", [](ExportCommands& e) { return e.exportPngSequence(); }},
        {"iff", "IFF-SCALA_Output", [](ExportCommands& e) { return e.exportIffScala(ScalaIc500); }},
    };
    for (const auto& run : runs) {
        for (int threads : {-1, 2}) {
            SCOPED_TRACE(std::string(run.kind) + ", " + std::to_string(threads) + " threads");
            fs::remove_all(folder / run.output);
            fs::create_directories(folder / run.output);
            ASSERT_TRUE(files::writeFileAtomic((folder / run.output / "notes.txt").string(), "mine"));
            ExportCommands exports(c(), ui);
            exports.workerThreads = threads;
            std::atomic<int> writes{0};
            files::setWriteFailureHookForTests([&](uint64_t) { return ++writes <= 6; });
            const ExportReport r = run.run(exports);
            files::setWriteFailureHookForTests(nullptr);
            EXPECT_FALSE(r.done());
            EXPECT_NE(r.text.find(kDiskFull), std::string::npos) << r.text;
            EXPECT_NE(r.text.find("files it had written were removed"), std::string::npos) << r.text;
            EXPECT_EQ(filesBelow(folder / run.output), std::vector<std::string>{"notes.txt"});
        }
    }
}
