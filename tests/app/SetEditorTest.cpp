// Several sets at once: Shift and Ctrl picks, Select All, Delete, the
// clipboard as SubRip text, moves, and the list's menu.
#include "app/ControllerFixture.h"

#include "app/Commands.h"
#include "app/RecentProjects.h"
#include "project/SrtImport.h"

namespace {
// Five timed sets "S0" .. "S4" (line A) over "b0" .. "b4", and the empty set to type into.
std::string fiveSets() {
    std::string p =
        "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
        "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
        "##-Number of lines/pages: 12 / 6\r\n##-Word count: 10\r\n##-User Timed Session: 0\r\n##-;\r\n";
    for (int k = 0; k < 5; ++k) {
        const std::string t = "00:00:0" + std::to_string(2 * k) + ":00>00:00:0" + std::to_string(2 * k + 1) + ":00";
        p += "A" + rowId(2 * k).substr(1) + "|S" + std::to_string(k) + "|" + t + "||430\r\n";
        p += "B" + rowId(2 * k).substr(1) + "|b" + std::to_string(k) + "|" + t + "||430\r\n";
    }
    p += "A0010|||||430\r\nB0010|||||430\r\n";
    return p;
}
}  // namespace

class SetEditorTest : public ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        const std::string project = (dir / "F_project" / "F.KVL8").string();
        std::filesystem::create_directories(dir / "F_project");
        ASSERT_TRUE(files::writeFileAtomic(project, fiveSets()));
        ui.fileAnswers = {project};
        click(ctl::Open);
        ui.messages.clear();
        ASSERT_EQ(state.list.entryCount(), 6);
    }
    void pick(int row, int flags) { c().dispatch(Event::listPick(row, flags)); }
    void key(int menuId) { c().dispatch(Event::menu(menuId)); }
    // Line A of every set, in list order.
    std::string setsA() {
        std::string out;
        for (int k = 0; k < state.list.entryCount(); ++k) out += (k ? "," : "") + row(2 * k);
        return out;
    }
};

TEST_F(SetEditorTest, ShiftAndCtrlPicksChooseTheSetsCommandsActOn) {
    ASSERT_TRUE(started);
    struct Case {
        const char* what;
        std::function<void()> picks;
        std::vector<int> sets;
    } cases[] = {
        {"one click", [&] { selectRow(3); }, {1}},
        {"Shift down from set 1 to set 3", [&] { selectRow(2); pick(7, Event::kExtend); }, {1, 2, 3}},
        {"Shift upwards keeps the anchor", [&] { selectRow(6); pick(0, Event::kExtend); pick(2, Event::kExtend); },
         {1, 2, 3}},
        {"Ctrl adds and takes away", [&] { selectRow(0); pick(4, Event::kToggle); pick(8, Event::kToggle);
                                            pick(4, Event::kToggle); }, {0, 4}},
        {"Select All", [&] { selectRow(0); key(ctl::SelectAllKeyMenuId); }, {0, 1, 2, 3, 4, 5}},
        {"a plain click after many", [&] { key(ctl::SelectAllKeyMenuId); selectRow(5); }, {2}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        k.picks();
        EXPECT_EQ(c().sets().selectedSets(), k.sets);
    }
    // The window is shown both rows of every marked set.
    selectRow(2);
    pick(5, Event::kExtend);
    EXPECT_EQ(ui.markedRows, (std::vector<int>{2, 3, 4, 5}));
}

TEST_F(SetEditorTest, DeleteAndMovesKeepEachSetWhole) {
    ASSERT_TRUE(started);
    selectRow(2);
    pick(6, Event::kToggle);  // sets 1 and 3
    key(ctl::DeleteKeyMenuId);
    EXPECT_EQ(setsA(), "S0,S2,S4,");
    EXPECT_EQ(row(3), "b2");
    EXPECT_EQ(row(3, Column::Timing), "00:00:04:00>00:00:05:00");
    EXPECT_EQ(row(3, Column::Id), "B0002");  // ids renumbered

    // Moves carry text, times and Y; a move past the top changes nothing.
    selectRow(0);
    pick(2, Event::kExtend);  // S0, S2
    key(ctl::MoveDownKeyMenuId);
    EXPECT_EQ(setsA(), "S4,S0,S2,");
    EXPECT_EQ(c().sets().selectedSets(), (std::vector<int>{1, 2}));
    EXPECT_EQ(row(2, Column::Timing), "00:00:00:00>00:00:01:00");
    key(ctl::MoveUpKeyMenuId);
    key(ctl::MoveUpKeyMenuId);  // already at the top
    EXPECT_EQ(setsA(), "S0,S2,S4,");

    // Deleting every set leaves one to type into.
    key(ctl::SelectAllKeyMenuId);
    key(ctl::DeleteKeyMenuId);
    EXPECT_EQ(state.list.lineCount(), 2);
    c().undo();
    EXPECT_EQ(setsA(), "S0,S2,S4,");
}

TEST_F(SetEditorTest, TheClipboardHoldsSubRipThatOtherProgramsAndThisOneRead) {
    ASSERT_TRUE(started);
    selectRow(2);
    pick(4, Event::kExtend);  // sets 1 and 2
    key(ctl::CopyKeyMenuId);
    const std::string text = ui.clipboardText().value_or("");
    EXPECT_EQ(text,
              "1\r\n00:00:02,000 --> 00:00:03,000\r\nS1\r\nb1\r\n\r\n"
              "2\r\n00:00:04,000 --> 00:00:05,000\r\nS2\r\nb2\r\n\r\n");
    // Read back as any SubRip file is: the same times and lines.
    SubtitleList back;
    back.clearList();
    EXPECT_EQ(importSrtText(text, 25.0f, 430, back).cues, 2);
    EXPECT_EQ(back.column(0, Column::Timing), "00:00:02:00>00:00:03:00");
    EXPECT_EQ(back.column(3, Column::Text), "b2");

    // Pasted after the selected set, the copies are the pasted selection.
    selectRow(8);
    key(ctl::PasteKeyMenuId);
    EXPECT_EQ(setsA(), "S0,S1,S2,S3,S4,S1,S2,");
    EXPECT_EQ(c().sets().selectedSets(), (std::vector<int>{5, 6}));

    // Text of another program: SubRip with its formatting, then plain text.
    struct Foreign {
        const char* clipboard;
        const char* lineA;
        const char* lineB;
        const char* timing;
    } foreign[] = {
        {"7\n00:01:00,000 --> 00:01:02,000\n<i>Top</i>\nBottom\n", "<i>Top</i>", "Bottom", "00:01:00:00>00:01:02:00"},
        {"First line\nSecond line\n", "First line", "Second line", ""},
    };
    for (const Foreign& f : foreign) {
        SCOPED_TRACE(f.clipboard);
        ui.setClipboardText(f.clipboard);
        selectRow(0);
        key(ctl::PasteKeyMenuId);
        EXPECT_EQ(row(2), f.lineA);
        EXPECT_EQ(row(3), f.lineB);
        EXPECT_EQ(row(2, Column::Timing), f.timing);
    }
    ui.setClipboardText("");
    const size_t before = size_t(state.list.lineCount());
    key(ctl::PasteKeyMenuId);
    EXPECT_EQ(size_t(state.list.lineCount()), before);

    // Cut and paste moves untimed sets with their own Y, which SubRip cannot hold.
    selectRow(2);
    slide(ctl::OverrideYSlider, 100);
    key(ctl::CutKeyMenuId);
    EXPECT_NE(row(2), "First line");
    selectRow(0);
    key(ctl::PasteKeyMenuId);
    EXPECT_EQ(row(2), "First line");
    EXPECT_EQ(row(2, Column::Y), "100");
}

TEST_F(SetEditorTest, TheListMenuOffersWhatAppliesAndRunsTheChoice) {
    ASSERT_TRUE(started);
    c().history().clear();
    // A right click on an unselected row selects it first.
    ui.menuAnswers = {"Delete Sets"};
    c().dispatch(Event::menu(ctl::ListMenuMenuId, 4));
    ASSERT_EQ(ui.menus.size(), 1u);
    auto item = [&](const std::string& title) {
        for (const Ui::MenuItem& m : ui.menus.back())
            if (m.title == title) return m.enabled ? 1 : 0;
        return -1;
    };
    EXPECT_EQ(item("Undo"), 0);
    EXPECT_EQ(item("Copy"), 1);
    EXPECT_EQ(setsA(), "S0,S1,S3,S4,");
    c().dispatch(Event::menu(ctl::ListMenuMenuId, 0));
    EXPECT_EQ(item("Undo Delete Sets"), 1);
    // Every command the menu names exists and says what it does.
    for (const std::string& name : listMenu())
        if (!name.empty()) {
            ASSERT_NE(findCommand(name), nullptr) << name;
            EXPECT_FALSE(findCommand(name)->help.empty()) << name;
        }
}

TEST_F(SetEditorTest, RecentProjectsOutliveTheProgramAndSkipWhatIsGone) {
    ASSERT_TRUE(started);
    state.userConfigDir = (dir / "config").string() + "/";
    const std::string first = (dir / "F_project" / "F.KVL8").string();
    ui.fileAnswers = {first};
    click(ctl::Open);
    ui.fileAnswers = {(dir / "G.KVL8").string()};
    ui.messages.clear();
    click(ctl::SaveAs);  // G_project/G.KVL8 is made
    const std::string second = (dir / "G_project" / "G.KVL8").string();
    ASSERT_TRUE(files::exists(second));

    // What the next start reads: newest first, the last folder used.
    std::string text;
    ASSERT_TRUE(files::readFile(recentProjectsPath(state.userConfigDir), text));
    const RecentProjects kept = parseRecentProjects(text);
    EXPECT_EQ(kept.projects, (std::vector<std::string>{second, first}));
    EXPECT_EQ(kept.lastFolder, (dir / "G_project").string() + "/");

    // The menu opens the one chosen; one that is gone is said and dropped.
    ui.menuAnswers = {"F.KVL8  (" + (dir / "F_project").string() + "/)"};
    click(ctl::Recent);
    EXPECT_EQ(state.projectPath, first);
    std::filesystem::remove(second);
    ui.menuAnswers = {"G.KVL8  (" + (dir / "G_project").string() + "/)"};
    click(ctl::Recent);
    EXPECT_EQ(state.projectPath, first);
    EXPECT_EQ(ui.messages.back().title, "Error!");
    EXPECT_EQ(state.recent.projects, (std::vector<std::string>{first}));

    // A damaged file loses only its damaged lines, and never more than ten.
    std::string damaged = "folder\t/x/\ngarbage\nproject\t/a.KVL8\nproject\t/a.KVL8\n";
    for (int i = 0; i < 12; ++i) damaged += "project\t/p" + std::to_string(i) + ".KVL8\n";
    const RecentProjects read = parseRecentProjects(damaged);
    EXPECT_EQ(read.lastFolder, "/x/");
    ASSERT_EQ(read.projects.size(), RecentProjects::kKept);
    EXPECT_EQ(read.projects[1], "/p0.KVL8");
    EXPECT_EQ(parseRecentProjects(formatRecentProjects(read)).projects, read.projects);
}
