#include "ControllerFixture.h"
#include "TestSupport.h"
#include "app/EditorRecorder.h"
#include "render/Background.h"

// The timing window's overlay of a set is drawn from the set itself; it must
// show what the main window's preview shows for that set.
TEST_F(ControllerTest, RecorderOverlayOfASetIsWhatThePreviewShowsOfIt) {
    ASSERT_TRUE(started);
    state.list.clearList();
    state.list.appendLine({"A0000", "Hello", "", "", ""});
    state.list.appendLine({"B0000", "there", "", "", ""});
    state.list.appendLine({"A0002", "Own place", "", "", "120"});
    state.list.appendLine({"B0002", "", "", "", "120"});
    state.list.appendLine({"A0004", " ", "", "", ""});
    state.list.appendLine({"B0004", "B only", "", "", ""});
    ui.listChanged();
    slide(ctl::StripsYSlider, 300);
    EditorRecorderHost host(c(), ui);
    for (bool noStrips : {false, true}) {
        state.style.drawNoStrips = noStrips;
        for (int k = 0; k < 3; ++k) {
            const std::vector<OverlayPiece> pieces = host.showSet(k);
            const std::vector<OverlayPiece> shown =
                makeSetOverlay(c().canvas, c().renderer().lastRender(), state.style);
            ASSERT_EQ(pieces.size(), shown.size()) << k;
            ASSERT_FALSE(pieces.empty()) << k;
            for (size_t i = 0; i < pieces.size(); ++i) {
                EXPECT_EQ(pieces[i].x, shown[i].x);
                EXPECT_EQ(pieces[i].y, shown[i].y) << k << " " << i;
                EXPECT_EQ(pieces[i].keyed, noStrips);
                EXPECT_TRUE(testsupport::samePixels(pieces[i].image, shown[i].image)) << k << " " << i;
            }
        }
    }
}
