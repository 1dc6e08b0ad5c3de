#include "app/ControllerFixture.h"
#include "app/ProjectOpen.h"
#include "base/Text.h"
#include "render/Compositor.h"

#include "app/Layout.h"
#include "io/SettingsFile.h"
#include "settings/Settings.h"

TEST_F(ControllerTest, StartsWithTheStartupProfileAndPreset) {
    ASSERT_TRUE(started);
    EXPECT_EQ(ui.title(), "Dunmere's Kalvero (DUKAL) v1.0 - 06 Mar 2017  - Untitled.KVL8");
    EXPECT_EQ(ui.windowSize(), std::make_pair(975, 786));
    EXPECT_EQ(ui.windowPosition(), std::make_pair(2560 / 2 - 975 / 2, 1600 / 2 - 786 / 2));
    ASSERT_EQ(ui.itemCount(ctl::ProfileList), 6);
    EXPECT_EQ(ui.itemText(ctl::ProfileList, 0), "----- SD -----");
    EXPECT_EQ(ui.itemText(ctl::ProfileList, 1), "720 x 576 - PAL");
    EXPECT_EQ(ui.value(ctl::ProfileList), 1);
    EXPECT_EQ(ui.value(ctl::PresetList), 0);
    EXPECT_EQ(ui.itemCount(ctl::BorderList), 4);
    EXPECT_EQ(state.style.bgColor, (Rgb{0, 0, 160}));
    EXPECT_EQ(ui.value(ctl::CutStripsToText), 1);
    EXPECT_EQ(ui.value(ctl::CenterText), 1);
    EXPECT_EQ(ui.value(ctl::WordSpacingSlider), 5);
    EXPECT_EQ(ui.value(ctl::StripsYSlider), 430);
    EXPECT_EQ(state.list.shade(0), 230);
    for (int id : {ctl::RemoveSingle, ctl::RemoveAll, ctl::InsertSingle, ctl::RecordTimings, ctl::OnFrames,
                   ctl::OverrideYSlider, ctl::SavePreset})
        EXPECT_FALSE(ui.enabled(id)) << id;
    EXPECT_FALSE(ui.enabled(ctl::CropSlider));  // centred text
    EXPECT_EQ(ui.range(ctl::OnFrames).second, 24);
    // Right column at window width - 250, lower block below the canvas.
    EXPECT_EQ(ui.controlPosition(ctl::New), std::make_pair(975 - 250, 10));
    // Line A right of its letter.
    EXPECT_EQ(ui.controlPosition(ctl::LineA), std::make_pair(14, 576 + 5 + 80));
}

TEST_F(ControllerTest, MissingSettingsFileEndsTheProgram) {
    AppState other;
    other.programDir = (dir / "nowhere").string() + "/";
    FakeUi otherUi;
    Controller ctrl(other, otherUi);
    EXPECT_FALSE(ctrl.prepare("", ""));
    ASSERT_EQ(otherUi.messages.size(), 1u);
    EXPECT_EQ(otherUi.messages[0].title, "Severe error!");
    EXPECT_EQ(otherUi.messages[0].text, "Could not find required Kalvero.ini in program directory...exiting!");
    EXPECT_TRUE(otherUi.shutdownRequested());
}

TEST_F(ControllerTest, RelayoutFollowsTheProfileAndReturnsExactly) {
    auto before = std::map<int, std::pair<int, int>>();
    for (const ControlSpec& s : mainWindowControls()) before[s.id] = ui.controlPosition(s.id);
    choose(ctl::ProfileList, 2);  // 16 px narrower
    EXPECT_EQ(ui.controlPosition(ctl::New).first, before[ctl::New].first - 16);
    EXPECT_EQ(ui.controlPosition(ctl::New).second, before[ctl::New].second);
    EXPECT_EQ(ui.controlPosition(ctl::LineA), before[ctl::LineA]);
    choose(ctl::ProfileList, 5);  // 1920 x 1080: right and down
    EXPECT_EQ(ui.controlPosition(ctl::New).first, before[ctl::New].first + 1200);
    EXPECT_EQ(ui.controlPosition(ctl::RecordTimings).second, before[ctl::RecordTimings].second + 504);
    choose(ctl::ProfileList, 1);
    for (const ControlSpec& s : mainWindowControls())
        if (s.anchor != Anchor::None) {
            EXPECT_EQ(ui.controlPosition(s.id), before[s.id]) << s.id;
        }
    EXPECT_EQ(ui.windowSize(), std::make_pair(975, 786));
}

TEST_F(ControllerTest, SeparatorInTheProfileListChangesNothing) {
    choose(ctl::ProfileList, 0);
    EXPECT_EQ(state.profileIndex, 1);
    EXPECT_EQ(state.projectWidth, 720);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.control(ctl::ProfileList).value, 1);  // the list shows the profile in force
}

TEST_F(ControllerTest, FrameRateWarningOnlyWhenTheRoundedRateChanges) {
    state.list.setLineColumn(0, Column::Timing, "00:00:01:00>00:00:02:00");
    state.list.setLineColumn(1, Column::Timing, "00:00:01:00>00:00:02:00");
    choose(ctl::ProfileList, 4);  // 25 -> 30
    ASSERT_EQ(ui.countMessages("Warning!"), 1);
    EXPECT_EQ(ui.messages[0].text.substr(0, 47), "Current FPS (frames pr second) was set to: 25\nN");
    EXPECT_EQ(row(0, Column::OffOn), "30+30");
    EXPECT_EQ(ui.range(ctl::OnFrames).second, 29);
    ui.messages.clear();
    choose(ctl::ProfileList, 3);  // 30 -> 29.97: no warning, no recalculation (the offer to retime is declined)
    EXPECT_EQ(ui.countMessages("Warning!"), 0);
    EXPECT_EQ(ui.countMessages("Change of frame rate"), 1);
    EXPECT_EQ(ui.range(ctl::OffFrames).second, 29);
}

TEST_F(ControllerTest, StyleControlsMarkThePresetAndBlendStopsAt254) {
    slide(ctl::BlendSlider, 255);
    EXPECT_EQ(ui.value(ctl::BlendSlider), 254);
    EXPECT_EQ(state.style.blend, 254);
    EXPECT_EQ(ui.text(ctl::BlendValue), "254");
    EXPECT_TRUE(ui.enabled(ctl::SavePreset));
    EXPECT_EQ(ui.itemText(ctl::PresetList, 0), "Default*");
    // Opening the list shows the names again; Save Preset stays enabled.
    click(ctl::PresetList);
    EXPECT_EQ(ui.itemText(ctl::PresetList, 0), "Default");
    EXPECT_TRUE(ui.enabled(ctl::SavePreset));
    // Choosing a preset applies it and disables Save Preset.
    choose(ctl::PresetList, 1);
    EXPECT_FALSE(ui.enabled(ctl::SavePreset));
    EXPECT_EQ(state.style.stripsColor, (Rgb{48, 48, 48}));
    EXPECT_EQ(ui.value(ctl::CutStripsToText), 0);
    slide(ctl::WordSpacingSlider, 0);
    EXPECT_EQ(state.style.wordSpacing, -6);
    EXPECT_EQ(ui.text(ctl::WordSpacingValue), "-6");
}

TEST_F(ControllerTest, ModeCheckBoxesExcludeEachOther) {
    ui.setValue(ctl::DrawNoStrips, 1);
    click(ctl::DrawNoStrips);
    EXPECT_TRUE(state.style.drawNoStrips);
    EXPECT_EQ(state.style.stripsMode, FullWidth);
    EXPECT_EQ(ui.value(ctl::CutStripsToText), 0);
    ui.setValue(ctl::StripsToAllText, 1);
    click(ctl::StripsToAllText);
    EXPECT_EQ(state.style.stripsMode, AllText);
    EXPECT_FALSE(state.style.drawNoStrips);
    EXPECT_EQ(ui.value(ctl::DrawNoStrips), 0);
    ui.setValue(ctl::StripsToAllText, 0);
    click(ctl::StripsToAllText);
    EXPECT_EQ(state.style.stripsMode, FullWidth);
}

TEST_F(ControllerTest, ColourDialogsTakeBlackAndRefuseOnlyACancel) {
    // The preset's strips are black; a cancelled dialog changes nothing.
    ui.colourAnswers = {std::nullopt, Rgb{200, 10, 10}, Rgb{0, 0, 0}};
    click(ctl::StripsColor);
    EXPECT_EQ(state.style.stripsColor, (Rgb{0, 0, 0}));
    EXPECT_FALSE(ui.enabled(ctl::SavePreset));
    click(ctl::StripsColor);
    EXPECT_EQ(state.style.stripsColor, (Rgb{200, 10, 10}));
    EXPECT_TRUE(ui.enabled(ctl::SavePreset));
    click(ctl::StripsColor);  // black is a colour
    EXPECT_EQ(state.style.stripsColor, (Rgb{0, 0, 0}));
    ui.colourAnswers = {Rgb{0, 0, 0}, Rgb{0, 80, 0}};
    click(ctl::BgColor);
    EXPECT_EQ(state.style.bgColor, (Rgb{0, 0, 0}));
    click(ctl::BgColor);
    EXPECT_EQ(state.style.bgColor, (Rgb{0, 80, 0}));
}

TEST_F(ControllerTest, StripsColourDialogOpensOnTheChosenColourNotTheMixedOne) {
    state.style.stripsColor = Rgb{0, 0, 48};
    state.style.bgColor = Rgb{0, 0, 0};
    slide(ctl::BlendSlider, 90);
    ASSERT_NE(state.style.mixedColor, state.style.stripsColor);
    // OK without a change returns the colour the dialog opened on, again and again.
    ui.colourAnswers = {std::nullopt};
    click(ctl::StripsColor);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ui.colourInitials.back(), (Rgb{0, 0, 48}));
        ui.colourAnswers = {ui.colourInitials.back()};
        click(ctl::StripsColor);
        EXPECT_EQ(state.style.stripsColor, (Rgb{0, 0, 48}));
    }
    EXPECT_EQ(state.style.mixedColor, mixStripColor(Rgb{0, 0, 48}, Rgb{0, 0, 0}, 90));
}

TEST_F(ControllerTest, SavePresetRulesAndFile) {
    slide(ctl::BlendSlider, 100);
    // Program default name refused, then the suggestion accepted as a new preset.
    ui.inputAnswers = {std::string("Default"), std::string("Default copy")};
    click(ctl::SavePreset);
    EXPECT_EQ(ui.countMessages("Denied!"), 1);
    ASSERT_EQ(state.presets.size(), 3u);
    EXPECT_EQ(state.presets[2].name, "Default copy");
    EXPECT_EQ(state.presets[2].blend, 100);
    EXPECT_EQ(state.presets[2].programDefault, 0);
    EXPECT_EQ(state.presetIndex, 2);
    EXPECT_EQ(ui.value(ctl::PresetList), 2);
    EXPECT_FALSE(ui.enabled(ctl::SavePreset));

    // Replacing a user preset: No asks again, Yes replaces in place.
    slide(ctl::BlendSlider, 50);
    ui.inputAnswers = {std::string("Grey"), std::string("Grey")};
    ui.yesNoAnswers = {false, true};
    click(ctl::SavePreset);
    ASSERT_EQ(state.presets.size(), 3u);
    EXPECT_EQ(state.presets[1].blend, 50);
    EXPECT_EQ(state.presetIndex, 1);

    Settings onDisk;
    ASSERT_TRUE(loadSettingsFile(state.programDir + "Kalvero.ini", onDisk).ok);
    ASSERT_EQ(onDisk.presets.size(), 3u);
    EXPECT_EQ(onDisk.presets[1].blend, 50);
    EXPECT_EQ(onDisk.presets[2].name, "Default copy");
    EXPECT_EQ(onDisk.profiles.size(), 6u);

    // Cancelling the name box changes nothing.
    ui.inputAnswers = {std::nullopt};
    click(ctl::SavePreset);
    EXPECT_EQ(state.presets.size(), 3u);
}

TEST_F(ControllerTest, StripsYSliderMovesOnlySetsSharingTheY) {
    state.list.clearList();
    for (int i = 0; i < 6; ++i) state.list.appendLine({rowId(i), "t", "", "", i < 2 || i >= 4 ? "430" : "300"});
    selectRow(0);
    slide(ctl::StripsYSlider, 400);
    EXPECT_EQ(row(0, Column::Y), "400");
    EXPECT_EQ(row(5, Column::Y), "400");
    EXPECT_EQ(row(2, Column::Y), "300");
    selectRow(2);
    EXPECT_FALSE(ui.enabled(ctl::StripsYSlider));  // the set has a Y of its own
    slide(ctl::StripsYSlider, 250);
    EXPECT_EQ(row(2, Column::Y), "250");
    EXPECT_EQ(row(0, Column::Y), "400");
}

TEST_F(ControllerTest, QuitAndCloseAskOnlyWithUnsavedWork) {
    click(ctl::Quit);  // nothing typed
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.shutdownRequested());
}

TEST_F(ControllerTest, CloseWithUnsavedWorkCanBeCancelledOrSaved) {
    type(ctl::LineA, "unsaved");
    c().dispatch(Event::close());  // unscripted: Cancel
    EXPECT_FALSE(ui.shutdownRequested());
    EXPECT_EQ(ui.messages.back().text, "Save changes to Untitled.KVL8?");
    // Yes with a cancelled save dialog does not quit either.
    ui.yesNoCancelAnswers = {Ui::Answer::Yes};
    click(ctl::Quit);
    EXPECT_FALSE(ui.shutdownRequested());
    // Yes and a file: saved, then the end.
    ui.yesNoCancelAnswers = {Ui::Answer::Yes};
    ui.fileAnswers = {(dir / "Q.KVL8").string()};
    click(ctl::Quit);
    EXPECT_TRUE(std::filesystem::exists(dir / "Q_project" / "Q.KVL8"));
    EXPECT_TRUE(ui.shutdownRequested());
}

class SmallDesktopTest : public ControllerTest {
protected:
    void SetUp() override {
        desktopWidth = 1024;
        desktopHeight = 700;
        ControllerTest::SetUp();
    }
};

TEST_F(SmallDesktopTest, DesktopFitAsksOnlyTheWidthQuestionAndReverts) {
    // 975 x 786 does not fit 700 high: the preview starts at 3/4, unasked.
    ASSERT_TRUE(started);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.canvasScale(), std::make_pair(3, 4));
    // 1920 x 1080 does not fit even at 1/2: the old question.
    ui.yesNoAnswers = {false};
    choose(ctl::ProfileList, 5);  // too wide and too tall: one question
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Requested Width of 2175px is larger than your DesktopWidth of 1024px\nDo you want to proceed?");
    EXPECT_EQ(state.profileIndex, 1);
    EXPECT_EQ(state.projectWidth, 720);
    EXPECT_EQ(ui.value(ctl::ProfileList), 1);
}

#include "io/ImageCodecs.h"
#include "base/Draw.h"

TEST_F(ControllerTest, BackgroundImageToggle) {
    // Cancelled dialog: toggle off, no picture.
    ui.setValue(ctl::BgImage, 1);
    click(ctl::BgImage);
    EXPECT_EQ(ui.messages[0].title, "Note");
    EXPECT_EQ(ui.value(ctl::BgImage), 0);
    EXPECT_TRUE(c().background.empty());

    // The dialog shows every kind of picture the program reads, first.
    ASSERT_EQ(ui.openFilters.size(), 1u);
    const std::vector<std::string> filter = text::split(ui.openFilters[0], '|');
    ASSERT_GE(filter.size(), 2u);
    EXPECT_EQ(filter[0], "All pictures");
    for (const char* ext : {"*.png", "*.jpg", "*.jpeg", "*.tif", "*.tiff", "*.tga", "*.bmp", "*.JPG"})
        EXPECT_NE((";" + filter[1] + ";").find(std::string(";") + ext + ";"), std::string::npos) << ext;

    // A file that is not a picture.
    std::string bad = (dir / "bad.png").string();
    ASSERT_TRUE(files::writeFileAtomic(bad, "not a picture"));
    ui.setValue(ctl::BgImage, 1);
    ui.fileAnswers = {bad};
    click(ctl::BgImage);
    EXPECT_EQ(ui.messages.back().title, "Error#8");
    EXPECT_EQ(ui.messages.back().text, "Could not load image:\n" + bad);
    EXPECT_EQ(ui.value(ctl::BgImage), 0);

    // A portrait picture: scaled to 540 x 720 and cut to the canvas.
    Image pic(600, 800);
    draw::fillOpaque(pic, Rgb{200, 0, 0});
    std::string good = (dir / "pic.png").string();
    std::string error;
    ASSERT_TRUE(imageio::writePng32(good, pic, error)) << error;
    ui.setValue(ctl::BgImage, 1);
    ui.fileAnswers = {good};
    click(ctl::BgImage);
    ASSERT_FALSE(c().background.empty());
    EXPECT_EQ(c().background.width(), 540);
    EXPECT_EQ(c().background.height(), 576);
    EXPECT_EQ(draw::readPixel(c().canvas, 10, 10), (draw::Rgba{200, 0, 0, 255}));

    // Turning it off and answering No keeps it; Yes drops it.
    ui.setValue(ctl::BgImage, 0);
    ui.yesNoAnswers = {false, true};
    click(ctl::BgImage);
    EXPECT_EQ(ui.value(ctl::BgImage), 1);
    EXPECT_FALSE(c().background.empty());
    ui.setValue(ctl::BgImage, 0);
    click(ctl::BgImage);
    EXPECT_TRUE(c().background.empty());
    EXPECT_EQ(draw::readPixel(c().canvas, 10, 10), (draw::Rgba{0, 0, 160, 255}));
}

TEST_F(ControllerTest, PresetSpacingOutsideTheSliderRangeReRangesIt) {
    state.presets[1].stripsSpacing = 80;  // made for a larger font
    choose(ctl::PresetList, 1);
    EXPECT_EQ(ui.value(ctl::StripsSpacingSlider), 80);
    EXPECT_EQ(ui.range(ctl::StripsSpacingSlider), std::make_pair(56, 114));
    EXPECT_EQ(state.style.stripsSpacing, 80);
    EXPECT_EQ(ui.text(ctl::StripsSpacingValue), "80");
}

TEST_F(ControllerTest, AHeightChangeOffersToMoveTheSetsWithThePicture) {
    state.list.clearList();
    for (int i = 0; i < 4; ++i) state.list.appendLine({rowId(i), "t", "", "", i < 2 ? "430" : "100"});
    state.list.appendLine({rowId(4), "", "", "", ""});
    state.list.appendLine({rowId(5), "", "", "", ""});
    ui.listChanged();
    // No keeps every Y.
    ui.yesNoAnswers = {false};
    choose(ctl::ProfileList, 5);  // 576 -> 1080
    ASSERT_EQ(state.projectHeight, 1080);
    EXPECT_EQ(ui.countMessages("Question"), 1);
    EXPECT_EQ(row(0, Column::Y), "430");
    // Back to PAL (No again), then Yes on the way to 1080: scaled by 1080/576.
    ui.yesNoAnswers = {false, true};
    choose(ctl::ProfileList, 1);
    choose(ctl::ProfileList, 5);
    EXPECT_EQ(ui.countMessages("Question"), 3);
    EXPECT_EQ(row(0, Column::Y), "806");  // 430 * 1.875 = 806.25
    EXPECT_EQ(row(1, Column::Y), "806");
    EXPECT_EQ(row(2, Column::Y), "188");  // 187.5 rounds up
    EXPECT_EQ(row(4, Column::Y), "");     // an empty Y stays empty
    // The same height (PAL 704 wide) asks nothing.
    ui.yesNoAnswers = {true};
    choose(ctl::ProfileList, 1);
    const int asked = ui.countMessages("Question");
    choose(ctl::ProfileList, 2);
    EXPECT_EQ(ui.countMessages("Question"), asked);
}

class FullHdDesktopTest : public ControllerTest {
protected:
    void SetUp() override {
        desktopWidth = 1920;
        desktopHeight = 1080;
        ControllerTest::SetUp();
    }
};

TEST_F(FullHdDesktopTest, AWindowThatWouldNotFitShowsThePreviewScaledWithoutAsking) {
    ASSERT_TRUE(started);
    EXPECT_EQ(ui.canvasScale(), std::make_pair(1, 1));  // PAL fits at 1:1
    ui.messages.clear();
    choose(ctl::ProfileList, 5);  // 1920 x 1080 needs 2175 x 1290
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(state.projectWidth, 1920);
    EXPECT_EQ(ui.canvasScale(), std::make_pair(3, 4));
    EXPECT_EQ(ui.windowSize(), std::make_pair(1440 + 255, 810 + 210));
    // The controls stand around the scaled preview.
    EXPECT_EQ(ui.controlPosition(ctl::LineA).second, 810 + 5 + 80);
    EXPECT_EQ(ui.controlPosition(ctl::New).first, 1695 - 250);
    // Every picture the program makes keeps the full size.
    EXPECT_EQ(c().canvas.width(), 1920);
    EXPECT_EQ(c().canvas.height(), 1080);
    // Back to a profile that fits: 1:1 again.
    choose(ctl::ProfileList, 1);
    EXPECT_EQ(ui.canvasScale(), std::make_pair(1, 1));
    EXPECT_EQ(ui.windowSize(), std::make_pair(975, 786));
    EXPECT_EQ(ui.controlPosition(ctl::LineA).second, 576 + 5 + 80);
}

// A session of the user's actions: every value the program needs arrives with
// its event or is the program's own state (the port has no way to read a
// control back).
TEST_F(ControllerTest, UserActionsCarryTheirValuesAndNoControlIsReadBack) {
    type(ctl::LineA, "One");
    pressReturn();
    type(ctl::LineB, "Two");
    pressReturn();
    type(ctl::LineA, "Three");
    pressReturn();
    type(ctl::LineB, "Four");
    pressReturn();
    selectRow(1);
    EXPECT_EQ(state.view.selectedRow, 1);
    EXPECT_EQ(state.view.lineA, "One");
    EXPECT_EQ(state.view.lineB, "Two");
    ui.setValue(ctl::OnSeconds, 5);
    click(ctl::OnSeconds);
    ui.setValue(ctl::OffSeconds, 7);
    click(ctl::OffSeconds);
    EXPECT_EQ(row(0, Column::Timing), "00:00:05:00>00:00:07:00");
    EXPECT_EQ(row(1, Column::Timing), "00:00:05:00>00:00:07:00");
    slide(ctl::OverrideYSlider, 300);
    EXPECT_EQ(row(0, Column::Y), "300");
    EXPECT_EQ(row(2, Column::Y), "430");
    choose(ctl::PresetList, 1);
    EXPECT_EQ(state.presetIndex, 1);
    slide(ctl::BlendSlider, 100);
    EXPECT_EQ(state.style.blend, 100);
    choose(ctl::BorderList, 2);
    EXPECT_EQ(state.style.borderStyle, 2);
    ui.setValue(ctl::CenterText, 1);
    click(ctl::CenterText);
    EXPECT_TRUE(state.style.centerText);
    choose(ctl::ProfileList, 2);  // PAL narrow: same height and rate
    EXPECT_EQ(state.profileIndex, 2);
    EXPECT_EQ(state.projectWidth, 704);
    choose(ctl::ProfileList, 0);  // the separator changes nothing
    EXPECT_EQ(state.profileIndex, 2);
    // A line typed over the one shown.
    selectRow(2);
    type(ctl::LineA, "Drei");
    EXPECT_EQ(row(2), "Drei");
    ui.fileAnswers = {(dir / "Session_project" / "Session.KVL8").string()};
    click(ctl::Save);
    // The file names the profile and preset in force, which the lists show
    // (after the separator, the list went back to the profile in force).
    std::string saved;
    ASSERT_TRUE(files::readFile((dir / "Session_project" / "Session.KVL8").string(), saved));
    EXPECT_NE(saved.find("Drei"), std::string::npos);
    EXPECT_EQ(ui.control(ctl::ProfileList).value, 2);
    EXPECT_EQ(ui.control(ctl::PresetList).value, 1);
    ProjectHeader header;
    SubtitleList rows;
    ASSERT_EQ(readProjectFile((dir / "Session_project" / "Session.KVL8").string(), 0, header, rows).status,
              ProjectOpenStatus::Ok);
    EXPECT_EQ(header.profile, 2);
    EXPECT_EQ(header.preset, 1);
    EXPECT_EQ(rows.column(0, Column::Timing), "00:00:05:00>00:00:07:00");
}
