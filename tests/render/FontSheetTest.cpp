#include "render/FontSheet.h"

#include <gtest/gtest.h>

#include <memory>

#include <filesystem>
#include <random>

#include "FakeUi.h"
#include "io/Files.h"
#include "io/ImageCodecs.h"
#include "render/SheetBuilder.h"

using testsheet::makeSheet;
using testsheet::putValue;

namespace {

std::string tempDir(const std::string& tag) {
    std::random_device rd;
    auto dir = std::filesystem::temp_directory_path() / ("kalvero_" + tag + "_" + std::to_string(rd()));
    std::filesystem::create_directories(dir / "includes");
    return dir.string() + "/";
}

}  // namespace

TEST(FontSheetTable, TableThatFillsTheRowExactlyLoadsEveryTriple) {
    // Four glyphs, a sheet 12 pixels wide: no room for a closing zero triple.
    Image sheet = makeSheet({1, 1, 1, 1}, 5, {255, 255, 255, 255}, 12);
    ASSERT_EQ(sheet.width(), 12);
    FontSheet::Table t;
    ASSERT_TRUE(FontSheet::readTable(sheet, t));
    EXPECT_EQ(t.entries.size(), 4u);
    EXPECT_EQ(t.cellHeight, 5);

    // A row of 13 pixels reads the same four: one pixel is too few for a triple.
    Image wider = makeSheet({1, 1, 1, 1}, 5, {255, 255, 255, 255}, 13);
    ASSERT_TRUE(FontSheet::readTable(wider, t));
    EXPECT_EQ(t.entries.size(), 4u);
}

TEST(FontSheetTable, ZeroTripleEndsTheTableButAGlyphAtTheCornerDoesNot) {
    Image sheet(40, 8);
    int row = sheet.height() - 1;
    // Entry 0: a glyph at (0, 0), width 3. Entry 1: zero triple. Entry 2: ignored.
    putValue(sheet, 0, row, 0);
    putValue(sheet, 1, row, 0);
    putValue(sheet, 2, row, 3);
    putValue(sheet, 9, row, 5);
    putValue(sheet, 11, row, 2);
    putValue(sheet, 0, sheet.height() - 2, 4);
    draw::fillRaw(sheet, draw::Rect{0, 0, 3, 5}, {10, 20, 30, 200});

    FontSheet::Table t;
    ASSERT_TRUE(FontSheet::readTable(sheet, t));
    ASSERT_EQ(t.entries.size(), 1u);
    EXPECT_EQ(t.entries[0], (FontSheet::Entry{0, 0, 3}));

    FontSheet f;
    ASSERT_TRUE(f.loadStyle(0, sheet));
    const Image* g = f.glyph(' ', 0);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->width(), 3);
    EXPECT_EQ(g->height(), 5);
    EXPECT_EQ(draw::readPixel(*g, 2, 4), (draw::Rgba{10, 20, 30, 200}));  // copied unchanged, alpha too
    EXPECT_EQ(f.advance(' '), 3);
}

TEST(FontSheetTable, ValuesUseAllThreeColourChannels) {
    Image sheet(3000, 4);  // wide enough that a left edge needs the green channel
    int row = sheet.height() - 1;
    putValue(sheet, 0, row, 0x0101 * 10);  // 2570
    putValue(sheet, 1, row, 0);
    putValue(sheet, 2, row, 7);
    putValue(sheet, 0, sheet.height() - 2, 1);
    FontSheet::Table t;
    ASSERT_TRUE(FontSheet::readTable(sheet, t));
    ASSERT_FALSE(t.entries.empty());
    EXPECT_EQ(t.entries[0].left, 2570);
    EXPECT_EQ(t.cellHeight, 2);
}

TEST(FontSheetTable, EntriesOutsideTheSheetGetNoGlyphAndNoAdvance) {
    Image sheet = makeSheet({4, 4, 4, 4}, 6);
    int row = sheet.height() - 1;
    putValue(sheet, 3, row, sheet.width() + 5);        // '!' starts beyond the right edge
    putValue(sheet, 3 * 2 + 2, row, sheet.width() * 4);  // '"' is wider than the sheet
    putValue(sheet, 3 * 3 + 1, row, 0xffffff);         // '#' starts far below the bottom
    FontSheet f;
    ASSERT_TRUE(f.loadStyle(0, sheet));
    EXPECT_NE(f.glyph(' ', 0), nullptr);
    EXPECT_EQ(f.glyph('!', 0), nullptr);
    EXPECT_EQ(f.glyph('"', 0), nullptr);
    EXPECT_EQ(f.glyph('#', 0), nullptr);
    EXPECT_EQ(f.advance('!'), 0);
    EXPECT_EQ(f.advance(' '), 4);
}

TEST(FontSheetTable, SheetTooSmallForATableIsRefused) {
    FontSheet f;
    EXPECT_FALSE(f.loadStyle(0, Image(30, 1)));
    EXPECT_FALSE(f.loadStyle(0, Image()));
}

TEST(FontSheetTable, NinetyFiveEntriesCoverAsciiOnlyAndASmallerSetDropsTheRest) {
    FontSheet f;
    ASSERT_TRUE(f.loadStyle(0, makeSheet(std::vector<int>(224, 2), 4)));
    EXPECT_NE(f.glyph(255, 0), nullptr);
    EXPECT_EQ(f.advance(200), 2);

    ASSERT_TRUE(f.loadStyle(0, makeSheet(std::vector<int>(95, 3), 4)));
    EXPECT_NE(f.glyph(126, 0), nullptr);
    EXPECT_EQ(f.advance(126), 3);
    EXPECT_EQ(f.glyph(127, 0), nullptr);
    EXPECT_EQ(f.glyph(200, 0), nullptr);
    EXPECT_EQ(f.advance(127), 0);
    EXPECT_EQ(f.advance(255), 0);
    EXPECT_EQ(f.glyph(31, 0), nullptr);
    EXPECT_EQ(f.advance(31), 0);
    EXPECT_EQ(f.advance(0), 0);
}

TEST(FontSheetTable, ASharedPictureIsCutOnceUntilAnotherOneLoads) {
    FontSheet f;
    auto big = std::make_shared<const Image>(makeSheet(std::vector<int>(95, 6), 9));
    auto small = std::make_shared<const Image>(makeSheet(std::vector<int>(95, 3), 5));
    ASSERT_TRUE(f.loadStyle(1, big));
    const Image* first = f.glyph('A', 1);
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(f.loadStyle(2, small));
    EXPECT_EQ(f.cellHeight, 5);
    // The same picture again: the glyphs stay as cut, the cell height is its own again.
    ASSERT_TRUE(f.loadStyle(1, big));
    EXPECT_EQ(f.glyph('A', 1), first);
    EXPECT_EQ(f.cellHeight, 9);
    // A plain picture in between replaces the glyphs; the shared one's come back afterwards.
    ASSERT_TRUE(f.loadStyle(1, *small));
    EXPECT_EQ(f.glyph('A', 1)->width(), 3);
    ASSERT_TRUE(f.loadStyle(1, big));
    EXPECT_EQ(f.glyph('A', 1)->width(), 6);
    EXPECT_EQ(f.glyph('A', 1)->height(), 9);
    EXPECT_FALSE(f.loadStyle(1, std::shared_ptr<const Image>()));
}

TEST(FontSheetTable, TwoSharedPicturesInTurnKeepTheirCutsAndAdvances) {
    // A profile changed back and forth: each size's glyphs are cut once.
    FontSheet f;
    auto big = std::make_shared<const Image>(makeSheet(std::vector<int>(95, 6), 9));
    auto small = std::make_shared<const Image>(makeSheet(std::vector<int>(95, 3), 5));
    ASSERT_TRUE(f.loadStyle(0, big));
    const Image* bigA = f.glyph('A', 0);
    ASSERT_TRUE(f.loadStyle(0, small));
    const Image* smallA = f.glyph('A', 0);
    ASSERT_NE(bigA, smallA);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(f.loadStyle(0, big));
        EXPECT_EQ(f.glyph('A', 0), bigA);
        EXPECT_EQ(f.advance('A'), 6);
        EXPECT_EQ(f.cellHeight, 9);
        ASSERT_TRUE(f.loadStyle(0, small));
        EXPECT_EQ(f.glyph('A', 0), smallA);
        EXPECT_EQ(f.advance('A'), 3);
        EXPECT_EQ(f.cellHeight, 5);
    }
    // A third picture drops the oldest cut: it is cut anew, with the same result.
    auto third = std::make_shared<const Image>(makeSheet(std::vector<int>(95, 4), 7));
    ASSERT_TRUE(f.loadStyle(0, third));
    ASSERT_TRUE(f.loadStyle(0, big));
    EXPECT_EQ(f.glyph('A', 0)->width(), 6);
    EXPECT_EQ(f.advance('A'), 6);
    ASSERT_TRUE(f.loadStyle(0, third));
    EXPECT_EQ(f.advance('A'), 4);
}

class LoadFontSheets : public ::testing::Test {
protected:
    std::string dir = tempDir("sheets");
    FakeUi ui;

    void TearDown() override { std::filesystem::remove_all(dir); }

    void writeSize(int size, int cellHeight, uint8_t grey, std::vector<int> skipStyles = {}) {
        for (int s = 0; s < FontSheet::kStyles; ++s) {
            if (std::find(skipStyles.begin(), skipStyles.end(), s) != skipStyles.end()) continue;
            Image sheet = makeSheet(std::vector<int>(95, 5 + s), cellHeight, {grey, grey, grey, 255});
            std::string error;
            ASSERT_TRUE(imageio::writePng32(dir + fontSheetRelativePath(size, s), sheet, error)) << error;
        }
    }
};

TEST_F(LoadFontSheets, LoadsAllFourStylesAndSignalsTheSpacingRerangeOnce) {
    writeSize(24, 30, 200);
    FontSheet f;
    int dirty = 1;
    EXPECT_TRUE(loadFontSheets(f, dir, 24, ui.notice(), dirty));
    EXPECT_EQ(dirty, 0);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(f.cellHeight, 30);
    EXPECT_EQ(f.stripHeight, 28);
    for (int s = 0; s < 4; ++s) {
        ASSERT_NE(f.glyph('A', s), nullptr);
        EXPECT_EQ(f.glyph('A', s)->width(), 5 + s);
    }
    EXPECT_EQ(f.advance('A'), 5);  // always the style-0 width
    EXPECT_FALSE(loadFontSheets(f, dir, 24, ui.notice(), dirty));
}

TEST_F(LoadFontSheets, MissingSheetReportsItAndItsStyleKeepsThePreviousGlyphs) {
    writeSize(24, 30, 200);
    writeSize(16, 20, 90, {2});
    FontSheet f;
    int dirty = 0;
    loadFontSheets(f, dir, 24, ui.notice(), dirty);
    ASSERT_TRUE(ui.messages.empty());
    loadFontSheets(f, dir, 16, ui.notice(), dirty);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Error#10");
    EXPECT_EQ(ui.messages[0].text, "Could not find includes/FontBitmap_16_1000.png");
    EXPECT_EQ(draw::readPixel(*f.glyph('A', 0), 0, 0).r, 90);
    EXPECT_EQ(draw::readPixel(*f.glyph('A', 1), 0, 0).r, 90);
    EXPECT_EQ(draw::readPixel(*f.glyph('A', 2), 0, 0).r, 200);  // still size 24
    EXPECT_EQ(f.glyph('A', 2)->height(), 30);
    EXPECT_EQ(draw::readPixel(*f.glyph('A', 3), 0, 0).r, 90);
    EXPECT_EQ(f.stripHeight, 18);
}

TEST_F(LoadFontSheets, FailedFourthSheetKeepsTheRerangePending) {
    writeSize(20, 26, 255, {3});
    FontSheet f;
    int dirty = 1;
    EXPECT_FALSE(loadFontSheets(f, dir, 20, ui.notice(), dirty));
    EXPECT_EQ(dirty, 1);
    EXPECT_EQ(ui.countMessages("Error#10"), 1);
    EXPECT_EQ(ui.messages.back().text, "Could not find includes/FontBitmap_20_1500.png");
}

TEST_F(LoadFontSheets, DamagedSheetIsReportedLikeAMissingOne) {
    writeSize(20, 26, 255);
    std::string bad = dir + fontSheetRelativePath(20, 1);
    std::string bytes;
    ASSERT_TRUE(files::readFile(bad, bytes));
    ASSERT_TRUE(files::writeFileAtomic(bad, bytes.substr(0, bytes.size() / 2)));
    FontSheet f;
    int dirty = 0;
    loadFontSheets(f, dir, 20, ui.notice(), dirty);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Could not find includes/FontBitmap_20_0500.png");
    EXPECT_EQ(f.glyph('A', 1), nullptr);
    EXPECT_NE(f.glyph('A', 0), nullptr);
}

TEST_F(LoadFontSheets, EachSheetComesFromTheFirstFolderThatHoldsIt) {
    // The shipped folder has all four sheets; the user's folder replaces one
    // and is missing the others.
    std::string user = tempDir("usersheets");
    writeSize(24, 30, 200);
    std::swap(dir, user);
    writeSize(24, 30, 60, {0, 2, 3});
    std::swap(dir, user);
    FontSheet f;
    int dirty = 1;
    EXPECT_TRUE(loadFontSheets(f, std::vector<std::string>{user, dir}, 24, ui.notice(), dirty));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(draw::readPixel(*f.glyph('A', 0), 0, 0).r, 200);
    EXPECT_EQ(draw::readPixel(*f.glyph('A', 1), 0, 0).r, 60);
    EXPECT_EQ(draw::readPixel(*f.glyph('A', 3), 0, 0).r, 200);

    // A size in no folder: told once, with the sizes there are.
    loadFontSheets(f, std::vector<std::string>{user, dir}, 40, ui.notice(), dirty);
    EXPECT_EQ(ui.countMessages("Error#10"), 0);
    ASSERT_EQ(ui.countMessages("Error!"), 1);
    EXPECT_EQ(ui.messages.back().text,
              "There is no font sheet for the font size 40 (includes/FontBitmap_40_0000.png).\n"
              "The font sizes there are: 24.");
    std::filesystem::remove_all(user);
}

TEST_F(LoadFontSheets, NothingLoadedStillGivesStripsAHeight) {
    FontSheet f;
    int dirty = 1;
    EXPECT_FALSE(loadFontSheets(f, dir, 32, ui.notice(), dirty));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "There is no font sheet for the font size 32 (includes/FontBitmap_32_0000.png).\n"
              "No font sheet was found at all.");
    EXPECT_EQ(f.glyph('A', 0), nullptr);
    EXPECT_EQ(f.stripHeight, defaultCellHeight(32) - 2);
}

TEST(FontSizeList, OneItemPerRunOfSheetsInListingOrder) {
    std::vector<std::string> names = {"FontBitmap_16_0000.png", "FontBitmap_16_0500.png", "FontBitmap_32_0000.png",
                                      "notes.txt",              "FontBitmap_16_1000.PNG", "FontBitmap_8_0000.png",
                                      "logo.png"};
    EXPECT_EQ(fontSizeItems(names), (std::vector<std::string>{"16 px", "32 px", "16 px", "8 px"}));
    EXPECT_TRUE(fontSizeItems({}).empty());
    EXPECT_EQ(fontSizeOfItem("16 px"), 16);
    EXPECT_EQ(fontSizeOfItem("8 px"), 8);
    EXPECT_EQ(fontSizeOfItem("64 px"), 64);
}

TEST(FontSizeList, StripsSpacingRangeRoundsBothBounds) {
    EXPECT_EQ(stripsSpacingRange(46), std::make_pair(32, 65));
    EXPECT_EQ(stripsSpacingRange(0), std::make_pair(0, 0));
    EXPECT_EQ(fontSheetRelativePath(24, 1), "includes/FontBitmap_24_0500.png");
}

// The level each notice of the sheets carries: a size without any sheet is
// an error, a sheet missing beside others a warning; a receiver of title and
// text alone still gets them.
TEST_F(LoadFontSheets, NoticesCarryTheirLevel) {
    writeSize(20, 26, 255, {3});
    struct Case {
        int size;
        NoticeLevel level;
        std::string title;
    };
    for (const Case& c : std::vector<Case>{{20, NoticeLevel::Warning, "Error#10"}, {31, NoticeLevel::Error, "Error!"}}) {
        std::vector<std::pair<NoticeLevel, std::string>> told;
        FontSheet f;
        int dirty = 1;
        loadFontSheets(f, dir, c.size, Notice([&](NoticeLevel l, const std::string& t, const std::string&) {
                           told.emplace_back(l, t);
                       }),
                       dirty);
        ASSERT_FALSE(told.empty()) << c.size;
        EXPECT_EQ(told.front().first, c.level) << c.size;
        EXPECT_EQ(told.front().second, c.title) << c.size;
    }
    std::string title;
    const Notice plain = [&](const std::string& t, const std::string&) { title = t; };
    plain(NoticeLevel::Info, "Info", "text");
    EXPECT_EQ(title, "Info");
    EXPECT_FALSE(Notice());
    Notice()(NoticeLevel::Error, "nobody", "listens");  // an empty notice tells no one
}
