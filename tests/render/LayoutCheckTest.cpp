#include "render/LayoutCheck.h"

#include <gtest/gtest.h>

#include "render/SheetBuilder.h"

namespace {

// Space 4 wide, '~' without a glyph, every other ASCII code 10 wide; codes
// 127 and up have none.
FontSheet sheet() {
    std::vector<int> widths(95, 10);
    widths[0] = 4;
    widths['~' - 32] = 0;
    return testsheet::makeFont(widths, 12);
}

SubtitleSet set(std::string a, std::string b) {
    SubtitleSet s;
    s.lineA = std::move(a);
    s.lineB = std::move(b);
    return s;
}

}  // namespace

TEST(LayoutCheck, LinesWiderThanTheSafeAreaAndMissingGlyphs) {
    const FontSheet font = sheet();
    EXPECT_EQ(drawnLineWidth("a b", font, 1), 26);  // 10 + 4 + 10 and two gaps
    EXPECT_EQ(drawnLineWidth("", font, 3), 0);
    StripsConfig style;
    style.wordSpacing = 2;
    // 720 px at 90%: 648 px. 54 glyphs with 53 gaps of 2: 646 px; 55: 658 px.
    std::vector<SubtitleSet> sets = {set(std::string(54, 'x'), std::string(55, 'x')),
                                     set("Caf\xC3\xA9 ~", "no\x01pe \xC3\xA9~"), set("fine", "")};
    std::vector<CheckFinding> f = checkLayout(sets, style, font, 720, 90);
    EXPECT_EQ(f, (std::vector<CheckFinding>{
                     {0, "width", "line B is 658 px wide, more than the 90% safe area (648 px)"},
                     {1, "glyph", "the font sheet has no \"\xC3\xA9\" (U+00E9), \"~\" (U+007E), control character (U+0001)"},
                 }));
    // The action safe area (93%, 669 px) holds both lines of the first set.
    EXPECT_EQ(checkLayout(sets, style, font, 720, 93).size(), 1u);
}
