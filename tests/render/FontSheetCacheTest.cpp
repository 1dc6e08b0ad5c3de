#include "render/FontSheetCache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "FakeUi.h"
#include "SheetBuilder.h"
#include "io/ImageCodecs.h"
#include "render/FontSheet.h"

namespace fs = std::filesystem;

namespace {

class FontSheetCacheTest : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override {
        std::random_device rd;
        dir = (fs::temp_directory_path() / ("kalvero_sheetcache_" + std::to_string(rd()))).string() + "/";
        fs::create_directories(dir + "includes");
        fontsheetcache::clear();
    }
    void TearDown() override {
        fs::remove_all(dir);
        fontsheetcache::clear();
    }
    void writeSize(int size, uint8_t grey) {
        for (int s = 0; s < FontSheet::kStyles; ++s) {
            Image sheet = testsheet::makeSheet(std::vector<int>(95, 5 + s), 30, {grey, grey, grey, 255});
            std::string error;
            ASSERT_TRUE(imageio::writePng32(dir + fontSheetRelativePath(size, s), sheet, error)) << error;
        }
    }
};

}  // namespace

TEST_F(FontSheetCacheTest, ASecondLoadOfTheSameSizeDecodesNothing) {
    writeSize(24, 200);
    writeSize(16, 90);
    FontSheet f;
    FakeUi ui;
    int dirty = 0;
    loadFontSheets(f, dir, 24, ui.notice(), dirty);
    loadFontSheets(f, dir, 16, ui.notice(), dirty);
    EXPECT_EQ(fontsheetcache::decodeCount(), 8u);
    // Back and forth between the sizes, as profile changes do.
    loadFontSheets(f, dir, 24, ui.notice(), dirty);
    EXPECT_EQ(draw::readPixel(*f.glyph('A', 1), 0, 0).r, 200);
    loadFontSheets(f, dir, 16, ui.notice(), dirty);
    EXPECT_EQ(draw::readPixel(*f.glyph('A', 1), 0, 0).r, 90);
    EXPECT_EQ(fontsheetcache::decodeCount(), 8u);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(FontSheetCacheTest, AChangedOrRemovedFileIsReadAgain) {
    writeSize(24, 200);
    std::string error;
    const std::string path = dir + fontSheetRelativePath(24, 0);
    auto first = fontsheetcache::decodeSheet(path, error);
    ASSERT_TRUE(first) << error;
    EXPECT_EQ(fontsheetcache::decodeSheet(path, error), first);

    // Replaced by a new file: new pixels.
    writeSize(24, 50);
    auto second = fontsheetcache::decodeSheet(path, error);
    ASSERT_TRUE(second) << error;
    EXPECT_NE(second, first);
    EXPECT_EQ(second->pixel(1, 0)[0], 50);

    // Rewritten in place with the old time stamp but another size: read again.
    const auto stamp = fs::last_write_time(path);
    Image other = testsheet::makeSheet(std::vector<int>(40, 3), 12, {7, 7, 7, 255});
    std::string bytes;
    ASSERT_TRUE(imageio::encodePng32(other, bytes, error));
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    fs::last_write_time(path, stamp);
    auto third = fontsheetcache::decodeSheet(path, error);
    ASSERT_TRUE(third) << error;
    EXPECT_EQ(third->height(), 15);

    // Gone: an error, and the next load tells the user again.
    fs::remove(path);
    error.clear();
    EXPECT_EQ(fontsheetcache::decodeSheet(path, error), nullptr);
    EXPECT_FALSE(error.empty());
    FontSheet f;
    FakeUi ui;
    int dirty = 0;
    loadFontSheets(f, dir, 24, ui.notice(), dirty);
    loadFontSheets(f, dir, 24, ui.notice(), dirty);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text, "Could not find includes/FontBitmap_24_0000.png");
}

TEST_F(FontSheetCacheTest, OnlyTheMostRecentSheetsAreKept) {
    for (int size = 10; size < 16; ++size) writeSize(size, uint8_t(size));
    FontSheet f;
    FakeUi ui;
    int dirty = 0;
    for (int size = 10; size < 16; ++size) loadFontSheets(f, dir, size, ui.notice(), dirty);
    EXPECT_EQ(fontsheetcache::decodeCount(), 24u);
    loadFontSheets(f, dir, 15, ui.notice(), dirty);  // kept
    EXPECT_EQ(fontsheetcache::decodeCount(), 24u);
    loadFontSheets(f, dir, 10, ui.notice(), dirty);  // the oldest: given up
    EXPECT_EQ(fontsheetcache::decodeCount(), 28u);
    EXPECT_EQ(draw::readPixel(*f.glyph('A', 0), 0, 0).r, 10);
}
