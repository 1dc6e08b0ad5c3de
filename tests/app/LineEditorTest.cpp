#include "app/ControllerFixture.h"


class LineEditorTest : public ControllerTest {
public:
    void typeSet(const std::string& a, const std::string& b) {
        ui.setFocus(ctl::LineA);
        type(ctl::LineA, a);
        pressReturn();
        type(ctl::LineB, b);
        pressReturn();
    }
};

TEST_F(LineEditorTest, TypingWritesEveryKeystrokeAndReturnCommits) {
    type(ctl::LineA, "Hello");
    EXPECT_EQ(row(0), "Hello");
    EXPECT_EQ(row(0, Column::Y), "430");
    EXPECT_EQ(row(1, Column::Y), "430");
    EXPECT_TRUE(ui.enabled(ctl::Save));  // a rendered set with text can be saved
    pressReturn();
    EXPECT_EQ(ui.focus(), ctl::LineB);
    EXPECT_EQ(state.activeLine, 2);  // the caret is in line B
    type(ctl::LineB, "there");
    EXPECT_EQ(row(1), "there");
    EXPECT_EQ(row(1, Column::Y), "430");
    EXPECT_TRUE(ui.enabled(ctl::Save));
    pressReturn();
    ASSERT_EQ(state.list.lineCount(), 4);
    EXPECT_EQ(row(2, Column::Id), "A0002");
    EXPECT_EQ(ui.text(ctl::LineA), "");
    EXPECT_EQ(ui.focus(), ctl::LineA);
    EXPECT_EQ(state.currentSet, 1);
    EXPECT_EQ(ui.text(ctl::Context28), "there");
    EXPECT_EQ(ui.text(ctl::Context29), "Hello");
    EXPECT_TRUE(ui.enabled(ctl::RecordTimings));
    // Return in the empty line A that has the caret moves on to line B.
    pressReturn();
    EXPECT_EQ(state.list.lineCount(), 4);
    EXPECT_EQ(ui.focus(), ctl::LineB);
}

TEST_F(LineEditorTest, ShadesAlternatePerSet) {
    typeSet("a", "b");
    typeSet("c", "d");
    typeSet("e", "f");
    EXPECT_EQ(state.list.shade(0), 230);
    EXPECT_EQ(state.list.shade(1), 230);
    EXPECT_EQ(state.list.shade(2), 210);
    EXPECT_EQ(state.list.shade(3), 210);
    EXPECT_EQ(state.list.shade(4), 230);
    EXPECT_EQ(state.list.shade(5), 230);
}

TEST_F(LineEditorTest, EmptyingAFieldEmptiesTheRow) {
    type(ctl::LineA, "x");
    ui.setText(ctl::LineA, "");
    c().dispatch(ui.eventFor(ctl::LineA, SubKind::Changed));
    EXPECT_EQ(row(0), "");
}

TEST_F(LineEditorTest, PipeIsReplacedWhenTyped) {
    type(ctl::LineA, "a|b");
    EXPECT_EQ(row(0), "a\xC2\xA6" "b");
    EXPECT_EQ(ui.text(ctl::LineA), "a\xC2\xA6" "b");
}

TEST_F(LineEditorTest, EditingAMiddleSetAndTheLastSet) {
    typeSet("one", "two");
    typeSet("three", "four");
    typeSet("five", "six");  // rows 0..5 and an empty set 6/7
    selectRow(2);
    EXPECT_EQ(state.editState, EditSet);
    EXPECT_EQ(ui.text(ctl::LineA), "three");
    EXPECT_EQ(ui.text(ctl::LineB), "four");
    EXPECT_EQ(ui.control(ctl::LineA).background, (Rgb{126, 255, 126}));
    EXPECT_EQ(ui.text(ctl::Context28), "two");
    EXPECT_EQ(ui.text(ctl::Context29), "one");
    EXPECT_EQ(ui.text(ctl::Context30), "");
    EXPECT_EQ(ui.text(ctl::Context35), "five");
    EXPECT_EQ(ui.text(ctl::Context34), "six");
    EXPECT_EQ(ui.text(ctl::Context33), "");
    // Typing changes that set; Return twice disables both fields.
    ui.setText(ctl::LineA, "THREE");
    c().dispatch(ui.eventFor(ctl::LineA, SubKind::Changed));
    EXPECT_EQ(row(2), "THREE");
    pressReturn();
    EXPECT_FALSE(ui.enabled(ctl::LineA));
    EXPECT_EQ(ui.focus(), ctl::LineB);
    c().dispatch(ui.eventFor(ctl::LineB));
    pressReturn();
    EXPECT_FALSE(ui.enabled(ctl::LineB));
    EXPECT_EQ(state.editState, EditLineB);
    EXPECT_EQ(state.list.lineCount(), 8);
    // A click on the last set: EditLastSet; Return on line B appends a set.
    selectRow(7);
    EXPECT_EQ(state.editState, EditLastSet);
    EXPECT_TRUE(ui.enabled(ctl::LineA));
    c().dispatch(ui.eventFor(ctl::LineB));
    ui.setText(ctl::LineB, "seven");
    c().dispatch(ui.eventFor(ctl::LineB, SubKind::Changed));
    pressReturn();
    EXPECT_EQ(state.editState, NewSet);
    EXPECT_EQ(row(7), "seven");
    EXPECT_EQ(state.list.lineCount(), 10);
    EXPECT_EQ(ui.control(ctl::LineA).background, (Rgb{255, 255, 255}));
}

TEST_F(LineEditorTest, SpinFieldsWriteTimingsAt25And2997) {
    typeSet("a", "b");
    typeSet("c", "d");
    selectRow(1);
    EXPECT_TRUE(ui.enabled(ctl::OnSeconds));
    slide(ctl::OnSeconds, 1);
    EXPECT_EQ(row(0, Column::Timing), "00:00:01:00>");
    EXPECT_EQ(ui.countMessages("Warning!"), 0);  // OFF still missing, but no box on a spin step
    slide(ctl::OffSeconds, 2);
    slide(ctl::OffFrames, 30);  // clamped to 24 at 25 fps
    EXPECT_EQ(row(0, Column::Timing), "00:00:01:00>00:00:02:24");
    EXPECT_EQ(row(1, Column::Timing), "00:00:01:00>00:00:02:24");
    EXPECT_EQ(row(0, Column::OffOn), "25+49");
    choose(ctl::ProfileList, 3);  // 29.97
    EXPECT_EQ(ui.range(ctl::OffFrames), std::make_pair(0, 29));
    EXPECT_EQ(row(0, Column::OffOn), "30+54");  // 1 s = 29.97 -> 30; 2 s 24 f = 83.94 -> 84
    // Selecting the row shows its timing in the spin fields without writing back.
    selectRow(3);
    selectRow(0);
    EXPECT_EQ(ui.value(ctl::OffFrames), 24);
    EXPECT_EQ(ui.value(ctl::OnSeconds), 1);
    EXPECT_EQ(row(0, Column::Timing), "00:00:01:00>00:00:02:24");
}

TEST_F(LineEditorTest, RemoveSingleKeepsTimingsAndYOnTheirSets) {
    typeSet("a1", "b1");
    typeSet("a2", "b2");
    typeSet("a3", "b3");
    for (int s = 0; s < 3; ++s)
        for (int r : {2 * s, 2 * s + 1}) {
            state.list.setLineColumn(r, Column::Timing, "00:00:0" + std::to_string(s) + ":00>00:00:0" + std::to_string(s) + ":10");
            state.list.setLineColumn(r, Column::Y, std::to_string(400 + s));
        }
    selectRow(2);  // line A of the middle set
    click(ctl::RemoveSingle);
    EXPECT_EQ(row(2), "b2");
    EXPECT_EQ(row(3), "a3");
    EXPECT_EQ(row(4), "b3");
    EXPECT_EQ(row(5), "");
    EXPECT_EQ(row(2, Column::Timing), "00:00:01:00>00:00:01:10");
    EXPECT_EQ(row(4, Column::Timing), "00:00:02:00>00:00:02:10");
    EXPECT_EQ(row(3, Column::Y), "401");
    EXPECT_EQ(state.list.lineCount(), 6);  // the trailing empty set went away
    EXPECT_EQ(ui.selectedListRow(), 2);

    selectRow(3);  // line B of the middle set
    click(ctl::RemoveSingle);
    EXPECT_EQ(row(2), "b2");
    EXPECT_EQ(row(3), "b3");
    EXPECT_EQ(row(3, Column::Timing), "00:00:01:00>00:00:01:10");
    EXPECT_EQ(state.list.lineCount(), 4);  // the last set was left empty and went away
}

TEST_F(LineEditorTest, RemoveOnASingleSetAndRemoveAll) {
    click(ctl::RemoveSingle);
    click(ctl::RemoveAll);
    EXPECT_EQ(ui.countMessages("Info"), 2);
    EXPECT_EQ(ui.messages[0].text, "Sorry can't delete this item!");
    typeSet("a", "b");
    click(ctl::RemoveAll);  // unsaved work: the question, Cancel keeps the list
    EXPECT_EQ(ui.messages.back().text, "Save changes to Untitled.KVL8?");
    EXPECT_EQ(state.list.lineCount(), 4);
    ui.yesNoCancelAnswers = {Ui::Answer::No};
    click(ctl::RemoveAll);
    ASSERT_EQ(state.list.lineCount(), 2);
    EXPECT_EQ(row(0, Column::Id), "A0000");
    EXPECT_EQ(row(0), "");
    EXPECT_FALSE(ui.enabled(ctl::RecordTimings));
}

TEST_F(LineEditorTest, InsertSingleKeepsPairsAndTimings) {
    typeSet("a1", "b1");
    typeSet("a2", "b2");  // 6 rows, last set empty
    state.list.setLineColumn(2, Column::Timing, "T2");
    selectRow(1);
    click(ctl::InsertSingle);
    ASSERT_EQ(state.list.lineCount(), 8);
    EXPECT_EQ(row(0), "a1");
    EXPECT_EQ(row(1), "");
    EXPECT_EQ(row(2), "b1");
    EXPECT_EQ(row(3), "a2");
    EXPECT_EQ(row(4), "b2");
    EXPECT_EQ(row(2, Column::Timing), "T2");
    EXPECT_EQ(row(7, Column::Id), "B0006");
}

TEST_F(LineEditorTest, GoToBottomContinuesTyping) {
    typeSet("a", "b");
    selectRow(0);
    click(ctl::GoToBottom);
    EXPECT_EQ(state.editState, NewSet);
    EXPECT_EQ(ui.selectedListRow(), 3);
    EXPECT_EQ(ui.focus(), ctl::LineB);
    EXPECT_EQ(state.currentSet, 1);
    type(ctl::LineB, "z");
    pressReturn();
    EXPECT_EQ(row(3), "z");
    EXPECT_EQ(state.list.lineCount(), 6);
}

TEST_F(LineEditorTest, OverrideYAndResetAll) {
    typeSet("a", "b");
    typeSet("c", "d");
    selectRow(2);
    slide(ctl::OverrideYSlider, 300);
    EXPECT_EQ(row(2, Column::Y), "300");
    EXPECT_EQ(row(3, Column::Y), "300");
    EXPECT_EQ(row(0, Column::Y), "430");
    EXPECT_FALSE(ui.enabled(ctl::StripsYSlider));
    click(ctl::ResetAllY);
    EXPECT_EQ(row(2, Column::Y), "430");
    EXPECT_TRUE(ui.enabled(ctl::StripsYSlider));
}

TEST_F(LineEditorTest, ReturnActsOnTheFieldTheCaretWasMovedTo) {
    // A set with an empty line A is entered by pressing Return at once.
    type(ctl::LineA, "First");
    pressReturn();
    type(ctl::LineB, "set");
    pressReturn();
    pressReturn();  // nothing typed into line A of set 1
    type(ctl::LineB, "Only B");
    pressReturn();
    type(ctl::LineA, "Third");
    ASSERT_EQ(state.list.lineCount(), 6);
    EXPECT_EQ(row(2), "");
    EXPECT_EQ(row(3), "Only B");
    EXPECT_EQ(row(4), "Third");
    EXPECT_EQ(row(4, Column::Id), "A0004");
    // The one-line set has a Y on both rows, like every typed set.
    EXPECT_EQ(row(2, Column::Y), row(0, Column::Y));
    EXPECT_EQ(row(3, Column::Y), row(0, Column::Y));
    EXPECT_FALSE(row(0, Column::Y).empty());
}

TEST_F(LineEditorTest, ReturnTwiceOnAMiddleSetDisablesBothFieldsUntilTheRowIsClickedAgain) {
    typeSet("one", "two");
    typeSet("three", "four");
    typeSet("five", "six");
    selectRow(2);
    pressReturn();
    EXPECT_FALSE(ui.enabled(ctl::LineA));
    EXPECT_EQ(state.activeLine, 2);
    pressReturn();
    EXPECT_FALSE(ui.enabled(ctl::LineB));
    EXPECT_EQ(row(2), "three");
    EXPECT_EQ(row(3), "four");
    selectRow(2);  // the same row again
    EXPECT_TRUE(ui.enabled(ctl::LineA));
    EXPECT_TRUE(ui.enabled(ctl::LineB));
}

TEST_F(LineEditorTest, NewLeavesTheEditingOfASelectedSet) {
    typeSet("one", "two");
    typeSet("three", "four");
    selectRow(0);
    pressReturn();
    pressReturn();  // both fields disabled
    ui.yesNoCancelAnswers = {Ui::Answer::No};
    ui.inputAnswers = {std::string("Fresh")};
    click(ctl::New);
    EXPECT_EQ(state.editState, NewSet);
    EXPECT_TRUE(ui.enabled(ctl::LineA));
    EXPECT_TRUE(ui.enabled(ctl::LineB));
    EXPECT_EQ(ui.control(ctl::LineA).background, (Rgb{255, 255, 255}));
    EXPECT_EQ(ui.focus(), ctl::LineA);
    type(ctl::LineA, "a");
    pressReturn();
    type(ctl::LineB, "b");
    pressReturn();
    EXPECT_EQ(state.list.lineCount(), 4);  // Return added a set
    EXPECT_EQ(row(0), "a");
    EXPECT_EQ(row(1), "b");
}

TEST_F(LineEditorTest, SpinStepsOnAnUntimedListShowNoBox) {
    typeSet("one", "two");
    typeSet("three", "four");
    selectRow(0);
    for (int k = 1; k <= 3; ++k) {
        ui.setValue(ctl::OnSeconds, k);
        click(ctl::OnSeconds);
    }
    ui.setValue(ctl::OffSeconds, 5);
    click(ctl::OffSeconds);
    EXPECT_EQ(row(0, Column::Timing), "00:00:03:00>00:00:05:00");
    EXPECT_EQ(row(0, Column::OffOn), "75+50");
    EXPECT_EQ(ui.countMessages(kMissingTimingTitle), 0);
}

// Start-up on a 29.97 profile: the frame spin fields count to 29 from the start.
class NtscStartTest : public LineEditorTest {
protected:
    std::string iniText() override {
        std::string ini = kIni;
        ini.replace(ini.find("StartupProfile = 1"), 18, "StartupProfile = 3");
        return ini;
    }
};

TEST_F(NtscStartTest, FrameSpinsCountToTheProfileRateFromStartUpNewAndImport) {
    ASSERT_TRUE(started);
    ASSERT_NEAR(state.fps, 29.97f, 0.001f);
    for (int id : {ctl::OnFrames, ctl::OffFrames}) EXPECT_EQ(ui.range(id), std::make_pair(0, 29)) << id;

    // An imported frame 29 shows as 29.
    std::string srt = (dir / "in.srt").string();
    ASSERT_TRUE(files::writeFileAtomic(srt, "1\n00:00:01,990 --> 00:00:02,500\nHello\n\n"));
    ui.fileAnswers = {srt};
    click(ctl::ImportSrt);
    ASSERT_EQ(state.list.lineCount(), 2);
    EXPECT_EQ(row(0, Column::Timing).substr(0, 11), "00:00:01:29");
    EXPECT_EQ(ui.value(ctl::OnFrames), 29);
    ui.yesNoCancelAnswers = {Ui::Answer::No};
    ui.inputAnswers = {std::string("Next")};
    click(ctl::New);
    EXPECT_EQ(ui.range(ctl::OffFrames), std::make_pair(0, 29));
}
