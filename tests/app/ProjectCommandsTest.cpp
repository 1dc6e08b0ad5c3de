#include "app/ControllerFixture.h"

#include "app/ProjectPaths.h"

namespace {
const char* kProject =
    "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 480\r\n"
    "##-Profile: 3\r\n##-Preset: 1\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
    "##-Number of lines/pages: 4 / 2\r\n##-Word count: 3\r\n##-User Timed Session: 7\r\n##-;\r\n"
    "A0000|Hello|00:00:01:00>00:00:02:12|1+1|300\r\n"
    "B0000|there|00:00:01:00>00:00:02:12|1+1|300\r\n"
    "A0002||00:00:03:00>00:00:04:00|0+0|300\r\n"
    "B0002|friend|00:00:03:00>00:00:04:00|0+0|300\r\n";
}  // namespace

class ProjectCommandsTest : public ControllerTest {
protected:
    std::string file(const std::string& name, const std::string& content) {
        std::string p = (dir / name).string();
        EXPECT_TRUE(files::writeFileAtomic(p, content));
        return p;
    }
    std::string read(const std::string& p) {
        std::string s;
        EXPECT_TRUE(files::readFile(p, s));
        return s;
    }
};

TEST(ProjectPaths, SaveFolderRules) {
    SavePaths p = projectSavePaths("/subs/Film.KVL8", ".KVL8");
    EXPECT_EQ(p.projectDir, "/subs/Film_project/");
    EXPECT_EQ(p.projectName, "Film.KVL8");
    EXPECT_EQ(p.fileName, "Film.KVL8");
    p = projectSavePaths("/subs/Film_project/Film.KVL8", ".KVL8");
    EXPECT_EQ(p.projectDir, "/subs/Film_project/");
    p = projectSavePaths("/subs/film.kvl8", ".KVL8");
    EXPECT_EQ(p.projectDir, "/subs/film_project/");
    EXPECT_EQ(p.fileName, "film.kvl8");
    p = projectSavePaths("/subs/Film", ".KVL8");
    EXPECT_EQ(p.fileName, "Film.KVL8");
    p = projectSavePaths("/subs/Film.KVL8.KVL8.KVL8", ".KVL8");
    EXPECT_EQ(p.projectName, "Film.KVL8");
    EXPECT_EQ(collapseRepeatedFolders("//server/share/a/a/b/"), "//server/share/a/b/");
    EXPECT_EQ(collapseRepeatedFolders("rel/x/x/"), "rel/x/");
}

TEST_F(ProjectCommandsTest, OpenLoadsProfilePresetRowsAndY) {
    std::string path = file("Film.KVL8", kProject);
    ui.fileAnswers = {path};
    click(ctl::Open);
    EXPECT_EQ(ui.dialogTitles.back(), "Load Dunmere's Kalvero (DUKAL) project");
    EXPECT_EQ(state.profileIndex, 3);
    EXPECT_EQ(state.presetIndex, 1);
    EXPECT_EQ(state.projectHeight, 480);
    EXPECT_FLOAT_EQ(state.fps, 29.97f);
    EXPECT_EQ(ui.countMessages("Warning!"), 1);  // 25 -> 30
    ASSERT_EQ(state.list.lineCount(), 4);
    EXPECT_EQ(row(0, Column::OffOn), "30+42");
    EXPECT_EQ(ui.value(ctl::StripsYSlider), 300);
    EXPECT_EQ(ui.selectedListRow(), 0);
    EXPECT_EQ(ui.text(ctl::LineA), "Hello");
    EXPECT_EQ(ui.text(ctl::LineB), "there");
    EXPECT_EQ(state.projectName, "Film");
    EXPECT_EQ(ui.title(), "Dunmere's Kalvero (DUKAL) v1.0 - 06 Mar 2017  - Film.KVL8");
    EXPECT_EQ(state.timedLength, 7);
    // Typing after an open changes set 0.
    ui.setText(ctl::LineA, "Hi");
    c().dispatch(Event::changed(ctl::LineA));
    EXPECT_EQ(row(0), "Hi");
}

TEST_F(ProjectCommandsTest, BadFilesKeepTheCurrentProject) {
    ui.setText(ctl::LineA, "keep me");
    c().dispatch(Event::changed(ctl::LineA));
    ui.fileAnswers = {file("bad.KVL8", "##-KVL8 project: v1\r\n"), (dir / "missing.KVL8").string(),
                      file("zero.KVL8", std::string(64, '\0'))};
    click(ctl::Open);
    click(ctl::Open);
    click(ctl::Open);
    EXPECT_EQ(ui.countMessages("Error!"), 3);
    EXPECT_EQ(row(0), "keep me");
    EXPECT_EQ(state.projectName, "Untitled");
}

TEST_F(ProjectCommandsTest, SaveWritesIntoTheProjectFolderAndReopensIdentically) {
    ui.setText(ctl::LineA, "Hello");
    c().dispatch(Event::changed(ctl::LineA));
    std::string chosen = (dir / "Film.KVL8").string();
    ui.fileAnswers = {chosen};
    click(ctl::Save);
    EXPECT_EQ(ui.countMessages("Information"), 1);
    EXPECT_EQ(state.projectDir, (dir / "Film_project").string() + "/");
    std::string saved = read((dir / "Film_project" / "Film.KVL8").string());
    EXPECT_NE(saved.find("##-Profile: 1\r\n##-Preset: 0\r\n"), std::string::npos);
    EXPECT_NE(saved.find("A0000|Hello|||430\r\nB0000||||430\r\n"), std::string::npos);

    // Saving again inside the folder keeps the folder; no second message.
    ui.fileAnswers = {(dir / "Film_project" / "Film.KVL8").string()};
    click(ctl::Save);
    EXPECT_EQ(ui.countMessages("Information"), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "Film_project" / "Film_project"));

    // Cancel keeps name and folder.
    click(ctl::Save);
    EXPECT_EQ(state.projectName, "Film.KVL8");

    // Reopen and save again: identical but for the date line.
    ui.fileAnswers = {(dir / "Film_project" / "Film.KVL8").string(), (dir / "Film_project" / "Film.KVL8").string()};
    click(ctl::Open);
    click(ctl::Save);
    std::string again = read((dir / "Film_project" / "Film.KVL8").string());
    auto noDate = [](std::string s) { return s.erase(s.find("##-Date"), s.find("##-Number") - s.find("##-Date")); };
    EXPECT_EQ(noDate(again), noDate(saved));
}

TEST_F(ProjectCommandsTest, SaveFailureIsReported) {
    std::filesystem::create_directories(dir / "ro_project");
    std::filesystem::create_directories(dir / "ro_project" / "ro.KVL8");  // a folder where the file should go
    ui.fileAnswers = {(dir / "ro.KVL8").string()};
    click(ctl::Save);
    ASSERT_EQ(ui.countMessages("Error!"), 1);
    EXPECT_EQ(ui.messages.back().text, "Unable to create the file:\nro.KVL8");
}

TEST_F(ProjectCommandsTest, NewAsksAndNames) {
    ui.yesNoAnswers = {false};
    click(ctl::New);
    EXPECT_TRUE(ui.dialogTitles.empty());
    ui.yesNoAnswers = {true, true};
    ui.inputAnswers = {std::string(""), std::string("Show")};
    click(ctl::New);
    EXPECT_EQ(state.projectName, "Untitled");  // an empty name changes nothing
    click(ctl::New);
    EXPECT_EQ(state.projectName, "Show");
    EXPECT_EQ(ui.title(), "Dunmere's Kalvero (DUKAL) v1.0 - 06 Mar 2017  - Show.KVL8");
    EXPECT_EQ(state.list.lineCount(), 2);
}

TEST_F(ProjectCommandsTest, ImportSrtKeepsTheNameAndSelectsRowZero) {
    std::string srt = file("in.srt", "1\n00:00:01,000 --> 00:00:02,500\nHello\n\n2\n00:00:03,000 --> 00:00:04,000\nGood\nbye\n\n");
    ui.yesNoAnswers = {true};
    ui.fileAnswers = {srt};
    click(ctl::ImportSrt);
    EXPECT_EQ(ui.messages[0].title, "Qustion");
    ASSERT_EQ(state.list.lineCount(), 4);
    EXPECT_EQ(row(1), "Hello");
    EXPECT_EQ(row(0, Column::OffOn), "25+37");
    EXPECT_EQ(ui.selectedListRow(), 0);
    EXPECT_EQ(ui.text(ctl::LineB), "Hello");
    EXPECT_EQ(state.projectName, "Untitled");

    ui.yesNoAnswers = {true};
    ui.fileAnswers = {(dir / "missing.srt").string()};
    click(ctl::ImportSrt);
    EXPECT_EQ(ui.messages.back().title, "Error!");
    EXPECT_EQ(state.list.lineCount(), 4);  // nothing lost

    ui.yesNoAnswers = {true};
    ui.fileAnswers = {file("none.srt", "no cues here\n")};
    click(ctl::ImportSrt);
    EXPECT_EQ(state.list.lineCount(), 2);  // one empty set to type into
}

TEST_F(ProjectCommandsTest, ImportSrtNamesLeftOutLinesInOneMessage) {
    ui.yesNoAnswers = {true};
    ui.fileAnswers = {file("bad.srt",
                           "1\n00:00:01,000 --> 00:00:02,000\nGood\n\n2\n00:00:xx --> 00:00:03,000\nBad\n\n"
                           "3\n00:00:03,000 --> 00:00:04,000\nAlso good\n\n4\n0:0:4 ---> ?\n\n")};
    click(ctl::ImportSrt);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].title, "Import SRT");
    EXPECT_EQ(ui.messages[1].text, "Not everything in\n" + (dir / "bad.srt").string() +
                                       "\ncould be imported:\n2 time lines could not be read; their cues were left out "
                                       "(lines 6, 14)");
    ASSERT_EQ(state.list.lineCount(), 4);
    EXPECT_EQ(row(3), "Also good");
}

TEST_F(ProjectCommandsTest, CommandLineOpen) {
    std::string path = file("Cmd.KVL8", kProject);
    c().commandLineOpen({path, "extra"});
    EXPECT_EQ(state.projectName, "Untitled");
    c().commandLineOpen({""});
    EXPECT_EQ(state.projectName, "Untitled");
    c().commandLineOpen({path});
    EXPECT_EQ(state.projectName, "Cmd");
    EXPECT_EQ(state.activeLine, 1);
    EXPECT_EQ(ui.text(ctl::LineA), "Hello");
    EXPECT_EQ(state.projectDir, dir.string() + "/");
}
