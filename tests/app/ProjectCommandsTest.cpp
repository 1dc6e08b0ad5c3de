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
    c().dispatch(ui.eventFor(ctl::LineA, SubKind::Changed));
    EXPECT_EQ(row(0), "Hi");
}

TEST_F(ProjectCommandsTest, BadFilesKeepTheCurrentProject) {
    ui.setText(ctl::LineA, "keep me");
    c().dispatch(ui.eventFor(ctl::LineA, SubKind::Changed));
    ui.fileAnswers = {file("bad.KVL8", "##-KVL8 project: v1\r\n"), (dir / "missing.KVL8").string(),
                      file("zero.KVL8", std::string(64, '\0'))};
    ui.yesNoCancelAnswers = {Ui::Answer::No, Ui::Answer::No, Ui::Answer::No};
    click(ctl::Open);
    click(ctl::Open);
    click(ctl::Open);
    EXPECT_EQ(ui.countMessages("Error!"), 3);
    EXPECT_EQ(row(0), "keep me");
    EXPECT_EQ(state.projectName, "Untitled");
}

TEST_F(ProjectCommandsTest, SaveWritesIntoTheProjectFolderAndReopensIdentically) {
    ui.setText(ctl::LineA, "Hello");
    c().dispatch(ui.eventFor(ctl::LineA, SubKind::Changed));
    std::string chosen = (dir / "Film.KVL8").string();
    ui.fileAnswers = {chosen};
    click(ctl::SaveAs);
    EXPECT_EQ(ui.countMessages("Information"), 1);
    EXPECT_EQ(state.projectDir, (dir / "Film_project").string() + "/");
    std::string saved = read((dir / "Film_project" / "Film.KVL8").string());
    EXPECT_NE(saved.find("##-Profile: 1\r\n##-Preset: 0\r\n"), std::string::npos);
    EXPECT_NE(saved.find("A0000|Hello|||430\r\nB0000||||430\r\n"), std::string::npos);

    // Saving again inside the folder keeps the folder; no second message.
    ui.fileAnswers = {(dir / "Film_project" / "Film.KVL8").string()};
    click(ctl::SaveAs);
    EXPECT_EQ(ui.countMessages("Information"), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "Film_project" / "Film_project"));

    // Cancel keeps name and folder.
    click(ctl::SaveAs);
    EXPECT_EQ(state.projectName, "Film");
    EXPECT_EQ(state.projectPath, (dir / "Film_project" / "Film.KVL8").string());

    // Reopen and save again, in place without a dialog: identical but for the date line.
    ui.fileAnswers = {(dir / "Film_project" / "Film.KVL8").string()};
    click(ctl::Open);
    const size_t dialogs = ui.dialogTitles.size();
    click(ctl::Save);
    EXPECT_EQ(ui.dialogTitles.size(), dialogs);
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
    EXPECT_EQ(ui.messages.back().text.rfind("Unable to create the file:\n" + (dir / "ro_project" / "ro.KVL8").string(), 0), 0u);
}

TEST_F(ProjectCommandsTest, NewAsksAndNames) {
    // Nothing typed: no question, straight to the name.
    ui.inputAnswers = {std::string(""), std::string("Show")};
    click(ctl::New);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(state.projectName, "Untitled");  // an empty name changes nothing
    click(ctl::New);
    EXPECT_EQ(state.projectName, "Show");
    EXPECT_EQ(ui.title(), "Dunmere's Kalvero (DUKAL) v1.0 - 06 Mar 2017  - Show.KVL8");
    EXPECT_EQ(state.list.lineCount(), 2);
    EXPECT_TRUE(ui.messages.empty());

    // Unsaved work: Cancel keeps everything, No drops it.
    type(ctl::LineA, "keep me");
    click(ctl::New);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Question");
    EXPECT_EQ(ui.messages[0].text, "Save changes to Show.KVL8?");
    EXPECT_EQ(row(0), "keep me");
    ui.yesNoCancelAnswers = {Ui::Answer::No};
    ui.inputAnswers = {std::string("Caf\xC3\xA9")};  // typed names come in as UTF-8
    click(ctl::New);
    EXPECT_EQ(row(0), "");
    EXPECT_EQ(state.projectName, "Caf\xC3\xA9");  // a file name: UTF-8
    EXPECT_EQ(ui.title(), "Dunmere's Kalvero (DUKAL) v1.0 - 06 Mar 2017  - Caf\xC3\xA9.KVL8");
}

TEST_F(ProjectCommandsTest, ImportSrtMakesANewUnsavedProjectNamedAfterTheFile) {
    std::string srt = file("in.srt", "1\n00:00:01,000 --> 00:00:02,500\nHello\n\n2\n00:00:03,000 --> 00:00:04,000\nGood\nbye\n\n");
    ui.fileAnswers = {srt};
    click(ctl::ImportSrt);
    EXPECT_TRUE(ui.messages.empty());  // nothing to lose: no question
    ASSERT_EQ(state.list.lineCount(), 4);
    EXPECT_EQ(row(1), "Hello");
    EXPECT_EQ(row(0, Column::OffOn), "25+37");
    EXPECT_EQ(ui.selectedListRow(), 0);
    EXPECT_EQ(ui.text(ctl::LineB), "Hello");
    EXPECT_EQ(state.projectName, "in");
    EXPECT_TRUE(state.projectPath.empty());
    EXPECT_TRUE(c().hasUnsavedWork());

    ui.yesNoCancelAnswers = {Ui::Answer::No};  // the imported list is unsaved work
    ui.fileAnswers = {(dir / "missing.srt").string()};
    click(ctl::ImportSrt);
    EXPECT_EQ(ui.messages.back().title, "Error!");
    EXPECT_EQ(state.list.lineCount(), 4);  // nothing lost

    ui.yesNoCancelAnswers = {Ui::Answer::No};
    ui.fileAnswers = {file("none.srt", "no cues here\n")};
    click(ctl::ImportSrt);
    EXPECT_EQ(state.list.lineCount(), 2);  // one empty set to type into
}

TEST_F(ProjectCommandsTest, ImportSrtNamesLeftOutLinesInOneMessage) {
    ui.fileAnswers = {file("bad.srt",
                           "1\n00:00:01,000 --> 00:00:02,000\nGood\n\n2\n00:00:xx --> 00:00:03,000\nBad\n\n"
                           "3\n00:00:03,000 --> 00:00:04,000\nAlso good\n\n4\n0:0:4 ---> ?\n\n")};
    click(ctl::ImportSrt);  // nothing unsaved: no question first
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Import SRT");
    EXPECT_EQ(ui.messages[0].text, "Not everything in\n" + (dir / "bad.srt").string() +
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

TEST_F(ProjectCommandsTest, ImportSrtGivesEveryRowTheYOfTheStripsYSlider) {
    // A set with a Y of its own is selected, as after a click in the list.
    state.list.clearList();
    state.list.appendLine({rowId(0), "low", "", "", "204"});
    state.list.appendLine({rowId(1), "set", "", "", "204"});
    ui.listChanged();
    selectRow(0);
    ASSERT_EQ(state.style.stripsYPos, 204);
    const int slider = ui.value(ctl::StripsYSlider);
    ASSERT_NE(slider, 204);
    std::string srt = file("y.srt", "1\n00:00:01,000 --> 00:00:02,000\nOne\n\n2\n00:00:03,000 --> 00:00:04,000\nTwo\n\n");
    ui.yesNoCancelAnswers = {Ui::Answer::No};
    ui.fileAnswers = {srt};
    click(ctl::ImportSrt);
    ASSERT_EQ(state.list.lineCount(), 4);
    for (int r = 0; r < 4; ++r) EXPECT_EQ(row(r, Column::Y), std::to_string(slider)) << r;
    EXPECT_EQ(ui.value(ctl::StripsYSlider), slider);
    EXPECT_TRUE(ui.enabled(ctl::StripsYSlider));

    // A moved slider is what the next import takes.
    slide(ctl::StripsYSlider, 300);
    ui.yesNoCancelAnswers = {Ui::Answer::No};
    ui.fileAnswers = {srt};
    click(ctl::ImportSrt);
    for (int r = 0; r < 4; ++r) EXPECT_EQ(row(r, Column::Y), "300") << r;
    EXPECT_EQ(ui.value(ctl::StripsYSlider), 300);
}

TEST_F(ProjectCommandsTest, WorkTypedAndTakenBackIsNotUnsaved) {
    ui.fileAnswers = {file("P.KVL8", kProject)};
    click(ctl::Open);
    const uint64_t opened = state.list.revision();
    type(ctl::LineA, "Hellos");
    EXPECT_NE(state.list.revision(), opened);
    EXPECT_TRUE(c().hasUnsavedWork());
    type(ctl::LineA, "Hello");
    EXPECT_EQ(row(0), "Hello");
    EXPECT_FALSE(c().hasUnsavedWork());  // the rows are as opened again
    SubtitleList copy = state.list;
    EXPECT_EQ(copy.revision(), state.list.revision());
    copy.setLineColumn(0, Column::Y, "1");
    EXPECT_NE(copy.revision(), state.list.revision());
}

TEST_F(ProjectCommandsTest, OpenAndImportAskOnlyAboutUnsavedWorkAndSaveTracksIt) {
    std::string project = file("P.KVL8", kProject);
    ui.fileAnswers = {project};
    click(ctl::Open);  // nothing typed: no question
    EXPECT_EQ(ui.countMessages("Question"), 0);
    EXPECT_FALSE(c().hasUnsavedWork());
    ui.messages.clear();

    type(ctl::LineA, "Changed");
    EXPECT_TRUE(c().hasUnsavedWork());
    const size_t dialogs = ui.dialogTitles.size();
    click(ctl::Open);  // Cancel: no file dialog, nothing changes
    EXPECT_EQ(ui.countMessages("Question"), 1);
    EXPECT_EQ(ui.messages.back().text, "Save changes to P.KVL8?");
    EXPECT_EQ(ui.dialogTitles.size(), dialogs);
    EXPECT_EQ(row(0), "Changed");

    // Yes saves first (in place: the project has its file), then goes on.
    ui.yesNoCancelAnswers = {Ui::Answer::Yes};
    ui.fileAnswers = {file("Other.KVL8", kProject)};
    click(ctl::Open);
    EXPECT_NE(read(project).find("|Changed|"), std::string::npos);
    EXPECT_EQ(row(0), "Hello");  // the opened project
    EXPECT_FALSE(c().hasUnsavedWork());

    // After a Save As the title names the new file and nothing is unsaved.
    type(ctl::LineA, "Again");
    ui.fileAnswers = {(dir / "Named.KVL8").string()};
    click(ctl::SaveAs);
    EXPECT_EQ(ui.title(), "Dunmere's Kalvero (DUKAL) v1.0 - 06 Mar 2017  - Named.KVL8");
    EXPECT_FALSE(c().hasUnsavedWork());
    ui.messages.clear();
    ui.fileAnswers = {};
    click(ctl::ImportSrt);
    EXPECT_EQ(ui.countMessages("Question"), 0);

    // An import is a new project: Save asks for its name and never writes
    // over the project that was open.
    const std::string named = read((dir / "Named_project" / "Named.KVL8").string());
    ui.fileAnswers = {file("film.srt", "1\n00:00:01,000 --> 00:00:02,000\nImported\n\n")};
    click(ctl::ImportSrt);
    EXPECT_EQ(state.projectName, "film");
    const size_t before = ui.dialogTitles.size();
    click(ctl::Save);  // cancelled
    ASSERT_EQ(ui.dialogTitles.size(), before + 1);
    EXPECT_EQ(ui.dialogTitles.back(), "Save Project as");
    EXPECT_EQ(read((dir / "Named_project" / "Named.KVL8").string()), named);
    EXPECT_TRUE(c().hasUnsavedWork());
}

TEST_F(ProjectCommandsTest, AnUntimedProjectOfAnotherRateIsReportedOnce) {
    // Made at 29.97 fps, opened while PAL is in force: one rate warning and
    // one missing-timing box, not two.
    std::string untimed = kProject;
    untimed.replace(untimed.find("00:00:03:00>00:00:04:00|0+0"), 27, "|");
    untimed.replace(untimed.find("00:00:03:00>00:00:04:00|0+0"), 27, "|");
    ui.fileAnswers = {file("U.KVL8", untimed)};
    click(ctl::Open);
    EXPECT_EQ(ui.countMessages(kMissingTimingTitle), 2);  // the rate note and the missing-timing box
    int missing = 0;
    for (const auto& m : ui.messages) missing += m.text == kMissingTimingText;
    EXPECT_EQ(missing, 1);
    EXPECT_EQ(row(2, Column::Timing), "");
}
