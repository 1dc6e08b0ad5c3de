// "Forced" on a selection of many sets: one undo step from its key and from
// the list's menu, unsaved work until saved, and the saved project's rows.
#include "app/ControllerFixture.h"

namespace {
const char* const kProject = kThreeSetProject;
}  // namespace

class ForcedCommandTest : public ControllerTest {
protected:
    std::string project;
    void SetUp() override {
        ControllerTest::SetUp();
        project = (dir / "F_project" / "F.KVL8").string();
        std::filesystem::create_directories(dir / "F_project");
        ASSERT_TRUE(files::writeFileAtomic(project, kProject));
        ui.fileAnswers = {project};
        click(ctl::Open);
    }
    std::vector<bool> forced() {
        std::vector<bool> f;
        for (int k = 0; k < state.list.entryCount(); ++k) f.push_back(state.list.forced(k));
        return f;
    }
};

TEST_F(ForcedCommandTest, MarksTheSelectedSetsAsOneStepAndSavesThem) {
    ASSERT_TRUE(started);
    selectRow(0);
    c().dispatch(Event::listPick(4, Event::kToggle));
    c().history().clear();
    c().dispatch(Event::menu(ctl::ForcedKeyMenuId));
    EXPECT_EQ(forced(), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(state.view.markedSets, (std::vector<int>{0, 2}));  // the selection stays
    EXPECT_EQ(ui.text(ctl::Undo), "Undo Forced");
    EXPECT_TRUE(c().hasUnsavedWork());
    click(ctl::Undo);
    EXPECT_EQ(forced(), (std::vector<bool>{false, false, false}));
    EXPECT_FALSE(c().hasUnsavedWork());
    click(ctl::Redo);

    click(ctl::Save);
    std::string saved;
    ASSERT_TRUE(files::readFile(project, saved));
    EXPECT_NE(saved.find("A0000|One|00:00:01:00>00:00:02:00|25+25|430|forced\r\nB0000|one b|"), std::string::npos);
    EXPECT_NE(saved.find("A0004|Three|00:00:05:00>00:00:06:00|25+25|430|forced\r\n"), std::string::npos);
    EXPECT_NE(saved.find("A0002|Two|00:00:03:00>00:00:04:00|25+25|430\r\n"), std::string::npos);

    // The list's menu: every selected set is forced, so Forced unmarks them.
    selectRow(0);
    c().dispatch(Event::listPick(2, Event::kExtend));
    ui.menuAnswers = {"Forced"};
    c().dispatch(Event::menu(ctl::ListMenuMenuId, 0));
    EXPECT_EQ(forced(), (std::vector<bool>{true, true, true}));  // one of the two was not forced yet
    ui.menuAnswers = {"Forced"};
    c().dispatch(Event::menu(ctl::ListMenuMenuId, 0));
    EXPECT_EQ(forced(), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(ui.text(ctl::Undo), "Undo Forced");
}
