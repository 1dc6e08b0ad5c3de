#include "app/ControllerFixture.h"

// The Teletext look brings its own font sheets to the window, and another
// preset gives the profile's size back.
class LookPresetTest : public ControllerTest {
    std::string iniText() override {
        std::string ini = kIni;
        return ini + "Preset = Teletext|0,0,0|1|0|255|0|0,0,0|0|0|50|1|1|0|255,255,255||0|30\r\n";
    }
};

TEST_F(LookPresetTest, ALookWithAFontOfItsOwnLoadsItsSheets) {
    ASSERT_TRUE(started);
    ASSERT_EQ(state.presets.size(), 3u);
    EXPECT_EQ(state.style.fontSize, 32);
    choose(ctl::PresetList, 2);
    EXPECT_EQ(state.style.fontSize, 30);
    EXPECT_TRUE(c().renderer().fontSheet().hasGlyphsFor(30));
    EXPECT_EQ(ui.itemText(ctl::FontSizeList, ui.value(ctl::FontSizeList)).substr(0, 2), "30");
    EXPECT_EQ(ui.countMessages("Error!"), 0);
    choose(ctl::PresetList, 0);
    EXPECT_EQ(state.style.fontSize, 32);
    EXPECT_TRUE(c().renderer().fontSheet().hasGlyphsFor(32));
}
