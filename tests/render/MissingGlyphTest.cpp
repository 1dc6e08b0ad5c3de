// Characters the shipped sheets lack: drawn as a box of their own width,
// and named per set.
#include <gtest/gtest.h>

#include "app/ControllerFixture.h"
#include "render/Compositor.h"
#include "render/FontSheet.h"
#include "render/LayoutCheck.h"
#include "render/RenderFixtures.h"

namespace {

const FontSheet& shipped16() { return renderfixture::shippedSheets(std::string(KALVERO_TEST_DATA) + "/fonts/", 16); }

StripsConfig captionStyle(int border) {
    StripsConfig s = renderfixture::plainStyle(border);
    s.textColor = Rgb{255, 224, 0};
    return s;
}

bool isText(const Image& img, int x, int y) {
    const draw::Rgba p = draw::readPixel(img, x, y);
    return p.r == 255 && p.g == 224 && p.b == 0;
}

}  // namespace

// Every border style: "Zażółć" keeps the width of each lacking letter and
// draws a hollow box there in the text colour, and a Russian line is boxes,
// not nothing.
TEST(MissingGlyph, ShippedSheetsDrawAHollowBoxInTheTextColour) {
    const FontSheet& font = shipped16();
    ASSERT_TRUE(font.hasGlyphsFor(16));
    const std::string line = "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87";  // Zażółć
    const std::vector<PlacedGlyph> placed = font.layoutText(line);
    ASSERT_EQ(placed.size(), 6u);
    const int typical = font.advance('n');
    for (int i : {2, 4, 5}) {
        EXPECT_TRUE(placed[size_t(i)].missing) << i;
        EXPECT_EQ(placed[size_t(i)].key, FontSheet::kBoxKey);
        EXPECT_NEAR(placed[size_t(i)].advance, typical, 3) << i;
    }
    EXPECT_FALSE(placed[3].missing);  // ó is in Windows-1252
    for (int border = 0; border < FontSheet::kStyles; ++border) {
        SCOPED_TRACE(border);
        const StripsConfig style = captionStyle(border);
        Image img(320, 80);
        const RenderResult r = renderSubtitleSet(RenderTarget::OpaqueExport, style, font, img, line, "\xD0\x96\xD1\x83\xD0\xBA");
        // The box of "ż": its columns hold text pixels in an upright run
        // (its left side) and rows of them (top and bottom), around a
        // middle without text.
        const int x0 = r.lines[0].x0 + r.margin + placed[0].advance + placed[1].advance;
        const int top = r.lines[0].top - 2, h = font.cellHeight;
        int longestColumn = 0, textInBox = 0;
        for (int x = x0; x < x0 + placed[2].advance; ++x) {
            int run = 0;
            for (int y = top; y < top + h; ++y) {
                run = isText(img, x, y) ? run + 1 : 0;
                longestColumn = std::max(longestColumn, run);
                textInBox += isText(img, x, y);
            }
        }
        EXPECT_GE(longestColumn, h / 3);
        EXPECT_GT(textInBox, 2 * h / 3 + 2 * (placed[2].advance - 6));
        int midRow = -1;  // a row through the middle of the box crosses text twice only
        for (int y = top; y < top + h && midRow < 0; ++y)
            if (isText(img, x0 + placed[2].advance / 2, y)) midRow = y;
        ASSERT_GE(midRow, 0);
        int crossings = 0;
        const int row = midRow + font.cellHeight / 4;
        for (int x = x0; x < x0 + placed[2].advance; ++x) crossings += isText(img, x, row) && !isText(img, x - 1, row);
        EXPECT_EQ(crossings, 2);
        // Line B, "Жук", is three boxes.
        int textB = 0;
        for (int y = r.lines[1].top - 2; y < r.lines[1].top - 2 + h; ++y)
            for (int x = 0; x < img.width(); ++x) textB += isText(img, x, y);
        EXPECT_GT(textB, 3 * h / 2);
    }
}

TEST(MissingGlyph, NamedPerSetInOrder) {
    std::vector<SubtitleSet> sets(14);
    sets[0].lineA = "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87";
    sets[0].lineB = "g\xC4\x99\xC5\x9Bl\xC4\x85 ja\xC5\xBA\xC5\x84";  // gęślą jaźń
    sets[1].lineA = "fine";
    sets[2].lineB = "\xD0\x96\xD1\x83\xD0\xBA";
    for (size_t k = 3; k < sets.size(); ++k) sets[k].lineA = "\xE2\x82\xBD";  // ₽
    EXPECT_EQ(describeMissingGlyphs({sets.begin(), sets.begin() + 3}, shipped16()),
              "set 1: the font sheets have no glyph for \"\xC5\xBC\" (U+017C), \"\xC5\x82\" (U+0142), \"\xC4\x87\" (U+0107), "
              "\"\xC4\x99\" (U+0119), \"\xC5\x9B\" (U+015B), \"\xC4\x85\" (U+0105), \"\xC5\xBA\" (U+017A), \"\xC5\x84\" (U+0144)\n"
              "set 3: the font sheets have no glyph for \"\xD0\x96\" (U+0416), \"\xD1\x83\" (U+0443), \"\xD0\xBA\" (U+043A)");
    const std::string all = describeMissingGlyphs(sets, shipped16(), 4);
    EXPECT_EQ(all.substr(all.rfind('\n') + 1), "and 9 more sets");
    EXPECT_EQ(describeMissingGlyphs({sets[1]}, shipped16()), "");
}

// Opening a project whose text the sheets lack tells so once, per set.
class MissingGlyphOpen : public ControllerTest {};

TEST_F(MissingGlyphOpen, OpenNamesTheCharactersPerSet) {
    const std::string path = (dir / "Ru.KVL8").string();
    ASSERT_TRUE(files::writeFileAtomic(
        path, "##-KVL8 Project (UTF-8): v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
              "##-Profile: 0\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
              "##-Number of lines/pages: 4 / 2\r\n##-Word count: 2\r\n##-User Timed Session: 0\r\n##-;\r\n"
              "A0000|Hello|00:00:01:00>00:00:02:00|0+0|300\r\nB0000||00:00:01:00>00:00:02:00|0+0|300\r\n"
              "A0002|\xD0\x96\xD1\x83\xD0\xBA|00:00:03:00>00:00:04:00|0+0|300\r\nB0002||00:00:03:00>00:00:04:00|0+0|300\r\n"));
    ui.fileAnswers = {path};
    click(ctl::Open);
    ASSERT_EQ(state.list.lineCount(), 4);
    int told = 0;
    for (const FakeUi::Message& m : ui.messages)
        if (m.text.find("no glyph") != std::string::npos) {
            ++told;
            EXPECT_EQ(m.text, "Some characters have no glyph; each is drawn as a box:\nset 2: the font sheets have no glyph "
                              "for \"\xD0\x96\" (U+0416), \"\xD1\x83\" (U+0443), \"\xD0\xBA\" (U+043A)");
        }
    EXPECT_EQ(told, 1);
}
