// The journal of unsaved work: written while work is unsaved, gone after a
// clean Save or Quit, offered after a crash, and never trusted blindly.
#include "app/ControllerFixture.h"

#include "app/Recovery.h"
#include "render/ProjectLook.h"

class RecoveryTest : public ControllerTest {
protected:
    std::filesystem::path journals() { return dir / "recovery"; }
    void SetUp() override {
        ControllerTest::SetUp();
        ASSERT_TRUE(started);
    }
    std::vector<std::string> journalFiles() { return files::listFiles(journals().string()); }
    // A copy of the program that was killed: its journal under a process id
    // that runs no more.
    std::string orphan(const RecoveryJournal& j) {
        const std::string path = journalPathOf(journals().string(), 999999999);
        std::filesystem::create_directories(journals());
        EXPECT_TRUE(files::writeFileAtomic(path, formatJournal(j)));
        return path;
    }
};

TEST_F(RecoveryTest, TheJournalFollowsUnsavedWorkAndACleanEndRemovesIt) {
    c().journalTick();
    EXPECT_TRUE(journalFiles().empty());  // nothing unsaved, no journal
    type(ctl::LineA, "Kept");
    c().dispatch(Event::menu(ctl::JournalTickMenuId));
    ASSERT_EQ(journalFiles().size(), 1u);
    std::string bytes;
    ASSERT_TRUE(files::readFile((journals() / journalFiles()[0]).string(), bytes));
    std::optional<RecoveryJournal> j = parseJournal(bytes);
    ASSERT_TRUE(j);
    EXPECT_NE(j->projectText.find("A0000|Kept|"), std::string::npos);
    EXPECT_EQ(j->projectName, "Untitled");

    ui.fileAnswers = {(dir / "S.KVL8").string()};
    click(ctl::Save);
    EXPECT_TRUE(journalFiles().empty());  // saved: the journal goes

    type(ctl::LineB, "more");
    c().journalTick();
    EXPECT_EQ(journalFiles().size(), 1u);
    ui.yesNoCancelAnswers = {Ui::Answer::No};
    click(ctl::Quit);
    EXPECT_TRUE(journalFiles().empty());  // a clean Quit
}

TEST_F(RecoveryTest, AnOrphanedJournalIsOfferedAndYesRestoresItAsUnsavedWork) {
    RecoveryJournal j;
    j.projectPath = (dir / "Film_project" / "Film.KVL8").string();
    j.projectName = "Film";
    j.changed = "08 Dec 2026 @ 01:02:03";
    j.look = ProjectLook{parsePresetLine("Default|9,9,9|1|3|254|0|0,0,160|0|-1|46|0|0|20"), 32};
    j.projectText =
        "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
        "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
        "##-Number of lines/pages: 2 / 1\r\n##-Word count: 2\r\n##-User Timed Session: 0\r\n##-;\r\n"
        "A0000|Lost|00:00:01:00>00:00:02:00|25+25|430\r\nB0000|and found|00:00:01:00>00:00:02:00|25+25|430\r\n";
    const std::string path = orphan(j);
    ui.yesNoAnswers = {true};
    c().commandLineOpen({});
    ASSERT_EQ(ui.countMessages("Question"), 1);
    EXPECT_NE(ui.messages.back().text.find("Recover unsaved work?"), std::string::npos);
    EXPECT_NE(ui.messages.back().text.find("Film.KVL8, last changed 08 Dec 2026 @ 01:02:03"), std::string::npos);
    EXPECT_EQ(row(0), "Lost");
    EXPECT_EQ(row(1, Column::Timing), "00:00:01:00>00:00:02:00");
    EXPECT_EQ(state.style.borderStyle, 3);
    EXPECT_EQ(state.style.stripsColor, (Rgb{9, 9, 9}));
    EXPECT_EQ(state.projectPath, j.projectPath);
    EXPECT_TRUE(c().hasUnsavedWork());
    EXPECT_FALSE(files::exists(path));  // taken over by this copy's own journal
    EXPECT_FALSE(std::filesystem::exists(j.projectPath));  // the project file is never written by recovery
    ASSERT_EQ(journalFiles().size(), 1u);
}

TEST_F(RecoveryTest, NoDiscardsAndADamagedJournalIsRemovedWithAMessage) {
    RecoveryJournal j;
    j.projectName = "Gone";
    j.projectText = "no project here";
    const std::string path = orphan(j);
    // A journal of a copy that still runs is not offered.
    const std::string mine = journalPathOf(journals().string(), files::processId());
    ASSERT_TRUE(files::writeFileAtomic(mine, formatJournal(j)));
    ui.yesNoAnswers = {false};
    c().commandLineOpen({});
    EXPECT_EQ(ui.countMessages("Question"), 1);
    EXPECT_FALSE(files::exists(path));
    EXPECT_TRUE(files::exists(mine));

    for (const std::string& bad : {std::string("KALVERO RECOVERY 1\r\nPath = x\r\n"), std::string("\x89PNG", 4)}) {
        ASSERT_TRUE(files::writeFileAtomic(path, bad));
        ui.messages.clear();
        c().commandLineOpen({});
        EXPECT_EQ(ui.countMessages("Warning!"), 1) << bad;
        EXPECT_FALSE(files::exists(path));
    }
    ui.yesNoAnswers = {true};
    ASSERT_TRUE(files::writeFileAtomic(path, formatJournal(j)));  // readable, but no project inside
    ui.messages.clear();
    EXPECT_FALSE(c().offerRecovery());
    EXPECT_EQ(ui.countMessages("Error!"), 1);
    EXPECT_EQ(row(0), "");  // nothing taken over
}
