// Glyphs made from a font file: the glyph cache (reused, rebuilt when
// damaged, never required), crisp glyphs, the text colour, and the
// preset fields that carry them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <array>
#include <filesystem>

#include "TestSupport.h"
#include "io/Files.h"
#include "render/Compositor.h"
#include "render/InstalledFont.h"
#include "settings/Settings.h"

namespace fs = std::filesystem;

namespace {

const std::string kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

bool samePixels(const Image& a, const Image& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::equal(a.data(), a.data() + a.stride() * size_t(a.height()), b.data());
}

class InstalledFont : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override {
        if (!fs::exists(kDejaVu)) GTEST_SKIP() << kDejaVu << " is not installed (scripts/packages.txt)";
        dir = testsupport::freshTestDir("kalvero-glyphs-");
        setenv("KALVERO_GLYPH_CACHE", (dir / "cache").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("KALVERO_GLYPH_CACHE");
        if (!dir.empty()) fs::remove_all(dir);
    }
    static Image draw(const FontSheet& font, const std::string& a, const std::string& b, Rgb text = {255, 255, 255},
                      int border = 1) {
        StripsConfig s;
        s.stripsColor = Rgb{0, 0, 90};
        s.bgColor = s.presetBgColor = Rgb{20, 20, 20};
        s.borderStyle = border;
        s.blend = 200;
        s.stripsSpacing = 30;
        s.stripsYPos = 10;
        s.textColor = text;
        Image img(320, 80);
        renderSubtitleSet(RenderTarget::AlphaExport, s, font, img, a, b);
        return img;
    }
};

}  // namespace

TEST_F(InstalledFont, GlyphCacheIsReusedAndRebuiltWhenDamagedOrUnwritable) {
    const std::vector<std::string> texts = {"Zażółć gęślą", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"};
    FontSheet cold;
    InstalledFontResult r = useFontFile(cold, kDejaVu, false, 24, texts);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_FALSE(r.fromCache);
    EXPECT_EQ(r.cacheNote, "");
    ASSERT_TRUE(fs::exists(r.cacheFile));
    const Image expected = draw(cold, texts[0], texts[1]);

    FontSheet warm;
    r = useFontFile(warm, kDejaVu, false, 24, texts);
    EXPECT_TRUE(r.fromCache);
    EXPECT_EQ(samePixels(draw(warm, texts[0], texts[1]), expected), true);

    // Other characters, another size or crisp glyphs are other cache files.
    FontSheet other;
    EXPECT_NE(useFontFile(other, kDejaVu, false, 24, {"abc"}).cacheFile, r.cacheFile);
    EXPECT_NE(useFontFile(other, kDejaVu, false, 28, texts).cacheFile, r.cacheFile);
    EXPECT_NE(useFontFile(other, kDejaVu, true, 24, texts).cacheFile, r.cacheFile);

    // A damaged file (a flipped byte, a cut, foreign bytes) is not taken:
    // the glyphs are made again and the file is whole again afterwards.
    std::string bytes;
    ASSERT_TRUE(files::readFile(r.cacheFile, bytes));
    for (const std::string& damaged :
         {std::string(bytes).replace(bytes.size() / 2, 1, 1, char(bytes[bytes.size() / 2] ^ 0x40)),
          bytes.substr(0, bytes.size() - 9), std::string("\x89PNG\r\n", 6), std::string()}) {
        ASSERT_TRUE(files::writeFileAtomic(r.cacheFile, damaged));
        FontSheet again;
        InstalledFontResult d = useFontFile(again, kDejaVu, false, 24, texts);
        ASSERT_TRUE(d.ok);
        EXPECT_FALSE(d.fromCache);
        EXPECT_TRUE(samePixels(draw(again, texts[0], texts[1]), expected));
        std::string rewritten;
        ASSERT_TRUE(files::readFile(r.cacheFile, rewritten));
        EXPECT_EQ(rewritten, bytes);
    }

    // A cache folder that cannot be made: the glyphs are made all the same, with a note.
    ASSERT_TRUE(files::writeFileAtomic((dir / "blocked").string(), "a file, not a folder"));
    setenv("KALVERO_GLYPH_CACHE", (dir / "blocked" / "cache").c_str(), 1);
    FontSheet blocked;
    InstalledFontResult b = useFontFile(blocked, kDejaVu, false, 24, texts);
    ASSERT_TRUE(b.ok);
    EXPECT_NE(b.cacheNote.find("cannot be written"), std::string::npos) << b.cacheNote;
    EXPECT_TRUE(samePixels(draw(blocked, texts[0], texts[1]), expected));
}

TEST_F(InstalledFont, BadFontsAreRefusedWithAMessageAndTheSheetsStay) {
    ASSERT_TRUE(files::writeFileAtomic((dir / "junk.ttf").string(), std::string(4096, 'x')));
    struct Case {
        std::string file, says;
    } cases[] = {{(dir / "junk.ttf").string(), "FreeType cannot read the font"},
                 {(dir / "none.ttf").string(), "cannot read the font"},
                 {dir.string(), "cannot read the font"}};
    for (const Case& c : cases) {
        FontSheet font;
        font.cellHeight = 30;
        InstalledFontResult r = useFontFile(font, c.file, false, 24, {"x"});
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find(c.says), std::string::npos) << r.error;
        EXPECT_EQ(font.madeGlyphs(), nullptr);
        EXPECT_EQ(font.cellHeight, 30);
    }
    FontSheet font;
    EXPECT_FALSE(useInstalledFont(font, FontChoice{"No Such Family 12345"}, 24, {"x"}).ok);
}

TEST_F(InstalledFont, CrispGlyphsAreTextBorderOrNothing) {
    FontSheet font;
    ASSERT_TRUE(useFontFile(font, kDejaVu, true, 24, {"Ag\xC5\x81"}).ok);
    int text = 0, border = 0;
    for (const PlacedGlyph& p : font.layoutText("Ag\xC5\x81")) {
        const Image* g = font.glyphImage(p.key, 1);
        ASSERT_NE(g, nullptr);
        for (int y = 0; y < g->height(); ++y)
            for (int x = 0; x < g->width(); ++x) {
                const uint8_t* px = g->pixel(x, y);
                if (px[3] == 0) continue;
                ASSERT_EQ(px[3], 255) << "half-covered pixel at " << x << "," << y;
                ASSERT_TRUE(px[0] == 255 || px[0] == 0) << int(px[0]);
                (px[0] == 255 ? text : border)++;
            }
    }
    EXPECT_GT(text, 50);
    EXPECT_GT(border, 50);
}

TEST_F(InstalledFont, TextColourTintsTheTextAndKeepsTheBorders) {
    FontSheet font;
    ASSERT_TRUE(useFontFile(font, kDejaVu, true, 24, {"HIH"}).ok);
    const Rgb yellow{255, 224, 0};
    for (int border : {0, 1, 2, 3}) {
        SCOPED_TRACE(border);
        const Image white = draw(font, "HIH", "", Rgb{255, 255, 255}, border);
        const Image tinted = draw(font, "HIH", "", yellow, border);
        int text = 0;
        for (int y = 0; y < white.height(); ++y)
            for (int x = 0; x < white.width(); ++x) {
                const uint8_t* w = white.pixel(x, y);
                const uint8_t* t = tinted.pixel(x, y);
                ASSERT_EQ(w[3], t[3]);
                if (w[3] == 255 && w[0] == 255 && w[1] == 255 && w[2] == 255) {
                    // A text pixel takes the colour.
                    EXPECT_EQ((std::array<int, 3>{t[0], t[1], t[2]}), (std::array<int, 3>{255, 224, 0}));
                    ++text;
                } else if (border == 1 && w[3] == 255 && w[0] == 0 && w[1] == 0 && w[2] == 0) {
                    // The black outline stays black.
                    EXPECT_EQ((std::array<int, 3>{t[0], t[1], t[2]}), (std::array<int, 3>{0, 0, 0}));
                }
            }
        EXPECT_GT(text, 30);
    }
}

TEST(PresetLine, TextColourFontAndCrispAreOptionalTrailingFields) {
    const std::string old = "Rental Video Black Bars|0,0,0|1|0|254|0|0,0,160|0|-1|46|1|1|20";
    Preset p = parsePresetLine(old);
    EXPECT_EQ(p.textColor, (Rgb{255, 255, 255}));
    EXPECT_EQ(p.fontFamily, "");
    EXPECT_EQ(p.crisp, 0);
    EXPECT_EQ(presetLine(p), old);  // an older line is written back as it was
    struct Case {
        std::string tail;
        Rgb colour;
        std::string family;
        int crisp;
    } cases[] = {{"|255,224,0", {255, 224, 0}, "", 0},
                 {"|255,255,255|DejaVu Sans:bold", {255, 255, 255}, "DejaVu Sans:bold", 0},
                 {"|0,0,0||1", {0, 0, 0}, "", 1},
                 {"|12,34,56|VL Gothic|1", {12, 34, 56}, "VL Gothic", 1},
                 // A font size after them keeps their places.
                 {"|255,255,255||0|30", {255, 255, 255}, "", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail);
        Preset q = parsePresetLine(old + c.tail);
        EXPECT_EQ(q.textColor, c.colour);
        EXPECT_EQ(q.fontFamily, c.family);
        EXPECT_EQ(q.crisp, c.crisp);
        EXPECT_EQ(presetLine(q), old + c.tail);
    }
}
