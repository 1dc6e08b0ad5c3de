// "Import STL..." in the window: another reader's sample lists (tests/data/broadcast)
// become a new unsaved project; a bad file changes nothing.
#include "app/ControllerFixture.h"

TEST_F(ControllerTest, ImportStlMakesANewUnsavedProjectAndRefusesABadFile) {
    const std::string data = std::string(KALVERO_TEST_DATA) + "/broadcast/";
    ui.fileAnswers = {data + "two_contained_tti.stl"};
    click(ctl::ImportStl);
    ASSERT_EQ(state.list.lineCount(), 6) << (ui.messages.empty() ? "" : ui.messages.back().text);
    EXPECT_EQ(row(1), "Subtitle One");
    EXPECT_FALSE(row(0, Column::Timing).empty());
    EXPECT_EQ(state.projectName, "two_contained_tti");
    EXPECT_TRUE(state.projectPath.empty());
    EXPECT_TRUE(c().hasUnsavedWork());
    EXPECT_EQ(c().history().undoName(), "Import STL");

    // Cut short: refused with the reason, the list as it was, no question asked twice.
    std::string bytes;
    ASSERT_TRUE(files::readFile(data + "two_contained_tti.stl", bytes));
    const std::string cut = (dir / "cut.stl").string();
    ASSERT_TRUE(files::writeFileAtomic(cut, bytes.substr(0, 1024 + 60)));
    ui.yesNoCancelAnswers = {Ui::Answer::No};
    ui.fileAnswers = {cut};
    ui.messages.clear();
    click(ctl::ImportStl);
    ASSERT_EQ(ui.countMessages("Error!"), 1);
    EXPECT_NE(ui.messages.back().text.find("Nothing was imported."), std::string::npos) << ui.messages.back().text;
    EXPECT_EQ(state.list.lineCount(), 6);
    EXPECT_EQ(row(1), "Subtitle One");

    // A list with notes says what it could not carry over.
    ui.yesNoCancelAnswers = {Ui::Answer::No};
    ui.fileAnswers = {data + "br_new_colors.stl"};
    ui.messages.clear();
    click(ctl::ImportStl);
    EXPECT_EQ(row(0), "Blue On Yellow");
    ASSERT_EQ(ui.countMessages("Import STL"), 1);
    EXPECT_NE(ui.messages.back().text.find("coloured teletext text"), std::string::npos);
}
