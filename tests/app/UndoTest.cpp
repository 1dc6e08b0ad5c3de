// Undo and redo of every change to the list and the look, the project's own
// look kept beside its file, and Insert Set.
#include "app/ControllerFixture.h"
#include "app/ShotSnapping.h"

#include <functional>
#include <sstream>

#include "cli/Cli.h"
#include "io/ImageCodecs.h"
#include "render/ProjectLook.h"

namespace {
const char* const kProject = kThreeSetProject;

// What undo must give back: every row and the look.
struct Seen {
    std::vector<SubtitleLine> rows;
    StripsConfig style;
    int preset;
    std::string name;
};
}  // namespace

class UndoTest : public ControllerTest {
protected:
    std::string project;
    void pick(int row, int flags) { c().dispatch(Event::listPick(row, flags)); }
    void key(int menuId) { c().dispatch(Event::menu(menuId)); }
    void SetUp() override {
        ControllerTest::SetUp();
        project = (dir / "P_project" / "P.KVL8").string();
        std::filesystem::create_directories(dir / "P_project");
        ASSERT_TRUE(files::writeFileAtomic(project, kProject));
        ui.fileAnswers = {project};
        click(ctl::Open);
        ui.messages.clear();
    }
    Seen seen() {
        Seen s{{}, state.style, state.presetIndex, state.projectName};
        for (int i = 0; i < state.list.lineCount(); ++i) s.rows.push_back(*state.list.row(i));
        return s;
    }
    void expectSame(const Seen& a, const Seen& b) {
        EXPECT_EQ(a.rows, b.rows);
        EXPECT_TRUE(sameLook(a.style, b.style));
        EXPECT_EQ(a.style.stripsYPos, b.style.stripsYPos);
        EXPECT_EQ(a.preset, b.preset);
        EXPECT_EQ(a.name, b.name);
    }
};

TEST_F(UndoTest, EveryCommandIsOneStepThatUndoAndRedoWalk) {
    ASSERT_TRUE(started);
    const std::string srt = (dir / "film.srt").string();
    ASSERT_TRUE(files::writeFileAtomic(srt, "1\n00:00:01,000 --> 00:00:02,000\nImported\n\n"));
    struct Case {
        const char* step;  // the name the Undo button shows
        std::function<void()> change;
    };
    const std::vector<Case> cases = {
        {"Typing", [&] { selectRow(2); type(ctl::LineA, "Changed"); }},
        {"Time Change", [&] { selectRow(2); slide(ctl::OnSeconds, 9); slide(ctl::OnSeconds, 10); }},
        {"Remove Single", [&] { selectRow(2); click(ctl::RemoveSingle); }},
        {"Remove All", [&] { click(ctl::RemoveAll); }},
        {"Insert Single", [&] { selectRow(2); click(ctl::InsertSingle); }},
        {"Insert Set", [&] { selectRow(2); click(ctl::InsertSet); }},
        {"Set Y", [&] { selectRow(4); slide(ctl::OverrideYSlider, 100); }},
        {"Import SRT", [&] { ui.fileAnswers = {srt}; click(ctl::ImportSrt); }},
        {"Blend", [&] { slide(ctl::BlendSlider, 20); slide(ctl::BlendSlider, 30); }},
        {"Border Style", [&] { choose(ctl::BorderList, 3); }},
        {"Center Text", [&] { slide(ctl::CenterText, 0); }},
        {"Preset", [&] { choose(ctl::PresetList, 1); }},
        {"Strips Color", [&] { ui.colourAnswers = {Rgb{200, 180, 0}}; click(ctl::StripsColor); }},
        {"Delete Sets", [&] { selectRow(0); pick(4, Event::kToggle); key(ctl::DeleteKeyMenuId); }},
        {"Cut", [&] { selectRow(2); pick(4, Event::kExtend); key(ctl::CutKeyMenuId); }},
        {"Paste", [&] {
             ui.setClipboardText("1\r\n00:00:09,000 --> 00:00:10,000\r\nPasted\r\n\r\n");
             selectRow(0);
             key(ctl::PasteKeyMenuId);
         }},
        {"Move Down", [&] { selectRow(0); key(ctl::MoveDownKeyMenuId); }},
        {"Move Up", [&] { selectRow(2); ui.menuAnswers = {"Move Up"}; c().dispatch(Event::menu(ctl::ListMenuMenuId, 2)); }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.step);
        c().history().clear();
        const Seen before = seen();
        k.change();
        const Seen after = seen();
        ASSERT_EQ(c().history().steps(), 1u);
        EXPECT_EQ(ui.text(ctl::Undo), std::string("Undo ") + k.step);
        EXPECT_TRUE(ui.enabled(ctl::Undo));
        c().dispatch(Event::menu(ctl::UndoKeyMenuId));
        expectSame(seen(), before);
        EXPECT_EQ(ui.text(ctl::Redo), std::string("Redo ") + k.step);
        EXPECT_FALSE(ui.enabled(ctl::Undo));
        click(ctl::Redo);
        expectSame(seen(), after);
        click(ctl::Undo);  // back to the opened project for the next case
    }
}

TEST_F(UndoTest, UndoAfterSaveIsUnsavedAndANewChangeDropsRedo) {
    ASSERT_TRUE(started);
    selectRow(0);
    type(ctl::LineA, "Saved text");
    click(ctl::Save);  // in place
    EXPECT_FALSE(c().hasUnsavedWork());
    click(ctl::Undo);
    EXPECT_EQ(row(0), "One");
    EXPECT_TRUE(c().hasUnsavedWork());
    click(ctl::Redo);
    EXPECT_FALSE(c().hasUnsavedWork());
    click(ctl::Undo);
    selectRow(4);
    type(ctl::LineB, "x");
    EXPECT_FALSE(c().history().canRedo());
    // Opening a project starts a history of its own.
    ui.fileAnswers = {project};
    ui.yesNoCancelAnswers = {Ui::Answer::No};
    click(ctl::Open);
    EXPECT_FALSE(c().history().canUndo());
}

TEST(UndoHistoryBudget, OldestStepsGoFirstAndTheNewestStays) {
    EditorSnapshot big;
    for (int i = 0; i < 1000; ++i) big.list.appendLine(SubtitleLine{rowId(i + 2), std::string(100, 'x'), "", "", ""});
    UndoHistory unbounded(size_t(-1));
    unbounded.push("Step", big);
    const size_t step = unbounded.bytes();  // over 100 kB: a row's text alone is 100 bytes
    ASSERT_GT(step, 100u * 1000);
    UndoHistory h(step * 5 / 2);  // room for two steps
    for (int i = 0; i < 5; ++i) h.push("Step " + std::to_string(i), big);
    EXPECT_LE(h.bytes(), step * 5 / 2);
    EXPECT_EQ(h.steps(), 2u);
    EXPECT_EQ(h.undoName(), "Step 4");
    UndoHistory tiny(1);
    tiny.push("Huge", big);
    EXPECT_TRUE(tiny.canUndo());  // one step is always kept
}

TEST_F(UndoTest, TheLookIsKeptBesideTheProjectAndOnlyWhenItDiffers) {
    ASSERT_TRUE(started);
    const std::string lookFile = (dir / "P_project" / "P.look").string();
    // The preset's own look: the project file alone, as before.
    click(ctl::Save);
    EXPECT_FALSE(files::exists(lookFile));
    const std::string plain = [&] { std::string b; files::readFile(project, b); return b; }();

    choose(ctl::BorderList, 2);
    ui.colourAnswers = {Rgb{10, 20, 30}};
    click(ctl::StripsColor);
    slide(ctl::CenterText, 0);
    int item40 = -1;
    for (int i = 0; i < ui.itemCount(ctl::FontSizeList); ++i)
        if (ui.itemText(ctl::FontSizeList, i).rfind("40", 0) == 0) item40 = i;
    ASSERT_GE(item40, 0);
    choose(ctl::FontSizeList, item40);
    EXPECT_EQ(ui.itemText(ctl::PresetList, 0), "Default*");
    EXPECT_TRUE(c().hasUnsavedWork());  // the look is part of the project
    click(ctl::Save);
    EXPECT_FALSE(c().hasUnsavedWork());
    ASSERT_TRUE(files::exists(lookFile));
    std::string saved;
    files::readFile(project, saved);
    auto noDate = [](std::string s) { return s.erase(s.find("##-Date"), s.find("##-Number") - s.find("##-Date")); };
    EXPECT_EQ(noDate(saved), noDate(plain));  // older readers see the same file

    // A fresh program opens it with that look.
    SecondProgram second;
    ASSERT_TRUE(startAgain(second));
    ASSERT_TRUE(second.controller.loadProject(project));
    EXPECT_EQ(second.state.style.borderStyle, 2);
    EXPECT_EQ(second.state.style.stripsColor, (Rgb{10, 20, 30}));
    EXPECT_FALSE(second.state.style.centerText);
    EXPECT_EQ(second.state.style.fontSize, 40);
    EXPECT_EQ(second.ui.itemText(ctl::PresetList, 0), "Default*");
    EXPECT_FALSE(second.controller.hasUnsavedWork());

    // kalvero-cli draws the project with the same look as the window.
    std::ostringstream out, err;
    const std::string cliPng = (dir / "cli.png").string();
    ASSERT_EQ(runCli({"--program-dir", dir.string(), "render", project, "--set", "1", "--target", "preview", "-o", cliPng},
                     out, err), 0) << err.str();
    Image drawn;
    std::string error;
    ASSERT_TRUE(imageio::decodeImageFile(cliPng, drawn, error)) << error;
    // The strip colour of the look is on the picture (the preset's is black).
    bool lookColour = false;
    for (int y = 0; y < drawn.height() && !lookColour; ++y)
        for (int x = 0; x < drawn.width() && !lookColour; ++x) {
            const uint8_t* p = drawn.pixel(x, y);
            lookColour = p[0] == 10 && p[1] == 20 && p[2] == 30;
        }
    EXPECT_TRUE(lookColour);

    // Back to the preset's look: the look file goes.
    choose(ctl::PresetList, 0);
    click(ctl::Save);
    EXPECT_FALSE(files::exists(lookFile));
}

TEST(ProjectLookFile, ReadsWhatItWritesAndRefusesWhatIsNoLook) {
    ProjectLook look;
    look.preset = parsePresetLine("Mine|1,2,3|2|3|128|0|4,5,6|1|2|50|0|0|7");
    look.fontSize = 40;
    ASSERT_TRUE(parseLook(formatLook(look)));
    EXPECT_EQ(*parseLook(formatLook(look)), look);
    EXPECT_FALSE(parseLook("[Look]\r\nFontSize = 40\r\n"));
    EXPECT_FALSE(parseLook(std::string("\x89PNG\r\n\x1a\n", 8)));
    // Values out of range come back in range.
    std::optional<ProjectLook> wild = parseLook("[Look]\nPreset = X|1,1,1|0|99|999|0|0,0,0|0|-50|0|0|1|500\nFontSize = 1000\n");
    ASSERT_TRUE(wild);
    EXPECT_EQ(wild->preset.borderStyle, 3);
    EXPECT_EQ(wild->preset.blend, 255);
    EXPECT_EQ(wild->preset.wordSpacing, -6);
    EXPECT_EQ(wild->preset.cropStrips, 100);
    EXPECT_EQ(wild->fontSize, 99);
    EXPECT_EQ(lookPathOf("/a/Film_project/Film.KVL8"), "/a/Film_project/Film.look");
}

TEST_F(UndoTest, InsertSetKeepsEveryOtherSetAndInsertSingleKeepsItsOldRule) {
    ASSERT_TRUE(started);
    selectRow(2);
    c().dispatch(Event::menu(ctl::InsertSetKeyMenuId));  // Ctrl+Insert
    ASSERT_EQ(state.list.lineCount(), 8);
    const std::vector<std::string> texts = {"One", "one b", "", "", "Two", "two b", "Three", "three b"};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(row(i), texts[size_t(i)]) << i;
    EXPECT_EQ(row(4, Column::Timing), "00:00:03:00>00:00:04:00");
    EXPECT_EQ(row(2, Column::Timing), "");
    EXPECT_EQ(row(2, Column::Y), row(0, Column::Y));  // every set has a Y
    EXPECT_EQ(row(4, Column::Id), "A0004");
    EXPECT_EQ(ui.selectedListRow(), 2);
    type(ctl::LineA, "New");
    EXPECT_EQ(row(2), "New");
}

// Snap to Shots works on the list's numbers; the timing window offers it, so
// the Record Timings step around the window takes it back, not a step of its own.
TEST_F(UndoTest, SnapToShotsMovesTimesWithinTheRunsStep) {
    ASSERT_TRUE(started);
    const std::string movie = (dir / "film.mp4").string();
    ASSERT_TRUE(files::writeFileAtomic(movie, "not looked at: the detector is given"));
    c().history().clear();
    // Shot changes 2 frames after set 1's ON and 3 after set 2's OFF.
    auto detect = [](const std::string&, std::vector<double>& at) {
        at = {1.08, 4.12};
        return std::string();
    };
    const SnapOutcome out = snapListToMovieShots(c(), movie, detect);
    EXPECT_EQ(out.text, "Snapped 2 of 6 times to 2 shot changes");
    EXPECT_FALSE(out.problem);
    EXPECT_EQ(state.list.column(1, Column::Timing), "00:00:01:02>00:00:02:00");
    EXPECT_EQ(state.list.column(3, Column::Timing), "00:00:03:00>00:00:04:01");  // OFFs 2 frames before
    EXPECT_EQ(state.list.column(2, Column::OffOn), "25+26");
    EXPECT_EQ(c().history().steps(), 0u);
}
