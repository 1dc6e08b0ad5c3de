// Captions in six scripts drawn from fonts of Debian packages (see
// scripts/packages.txt), compared with checked-in pictures that were looked
// at when they were made. As in GoldenTest.cpp:
//   KALVERO_UPDATE_GOLDEN=1 build/tests/kalvero_tests --gtest_filter='ScriptGolden*'
// writes them anew (the run fails on purpose). Besides the pictures, the
// shaping is checked on its own terms: right-to-left order, joining forms,
// marks over their letters, kerning.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "io/FontFace.h"
#include "io/ImageCodecs.h"
#include "render/Compositor.h"
#include "render/InstalledFont.h"
#include "render/MadeGlyphs.h"

namespace {

const std::string kGoldenDir = std::string(KALVERO_TEST_DATA) + "/golden/";
const std::string kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const std::string kVlGothic = "/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf";

struct CacheOff {
    CacheOff() { setenv("KALVERO_GLYPH_CACHE", "", 1); }
    ~CacheOff() { unsetenv("KALVERO_GLYPH_CACHE"); }
};

StripsConfig captionStyle() {
    StripsConfig s;
    s.stripsColor = Rgb{0, 0, 0};
    s.bgColor = s.presetBgColor = Rgb{30, 60, 90};
    s.borderStyle = 1;
    s.blend = 254;
    s.wordSpacing = -1;
    s.stripsSpacing = 30;
    s.stripsMode = CutToText;
    s.centerText = true;
    s.stripsYPos = 12;
    s.fontSize = 24;
    return s;
}

// The share of pixels that differ by more than a few steps.
void compareWithGolden(const std::string& name, const Image& img) {
    const std::string path = kGoldenDir + name + ".png";
    std::string error;
    if (std::getenv("KALVERO_UPDATE_GOLDEN")) {
        ASSERT_TRUE(imageio::writePng32(path, img, error, 9)) << error;
        ADD_FAILURE() << "wrote " << path << ": look at it, then run again without KALVERO_UPDATE_GOLDEN";
        return;
    }
    Image golden;
    ASSERT_TRUE(imageio::decodeImageFile(path, golden, error)) << path << ": " << error;
    ASSERT_EQ(golden.width(), img.width());
    ASSERT_EQ(golden.height(), img.height());
    int differing = 0;
    for (size_t i = 0; i < img.stride() * size_t(img.height()); ++i)
        differing += std::abs(int(img.data()[i]) - int(golden.data()[i])) > 3;
    // A FreeType or HarfBuzz update may move an edge pixel; a wrong glyph,
    // order or form changes hundreds.
    EXPECT_LE(differing, 40) << name << ": " << differing << " channel values differ";
}

}  // namespace

TEST(ScriptGolden, SixScriptsFromFontsOfDebianPackages) {
    CacheOff off;
    struct Case {
        const char* name;
        std::string font, lineA, lineB;
    } cases[] = {
        {"script_polish", kDejaVu, "Zaż\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85 ja\xC5\xBA\xC5\x84",
         "\xC5\x81\xC3\xB3" "d\xC5\xBA, \xC5\x9Ar\xC3\xB3" "dka"},
        {"script_russian", kDejaVu, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80!",
         "\xD0\xA1\xD1\x8A\xD0\xB5\xD1\x88\xD1\x8C \xD0\xB5\xD1\x89\xD1\x91"},
        {"script_greek", kDejaVu, "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1",
         "\xCE\xB5\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC"},
        {"script_hebrew", kDejaVu, "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD7\xA2\xD7\x95\xD7\x9C\xD7\x9D",
         "\xD7\x90\xD7\x91 123 \xD7\x92"},
        {"script_arabic", kDejaVu, "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 \xD8\xA8\xD8\xA7\xD9\x84\xD8\xB9\xD8\xA7\xD9\x84\xD9\x85",
         "\xD8\xB3\xD9\x84\xD8\xA7\xD9\x85"},
        {"script_japanese", kVlGothic, "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF",
         "\xE5\xAD\x97\xE5\xB9\x95\xE3\x81\xAE\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!std::filesystem::exists(c.font)) GTEST_SKIP() << c.font << " is not installed (scripts/packages.txt)";
        FontSheet font;
        const StripsConfig style = captionStyle();
        InstalledFontResult r = useFontFile(font, c.font, false, style.fontSize, {c.lineA, c.lineB});
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(describeMissing(r.missing), "");
        EXPECT_EQ(font.cellHeight, defaultCellHeight(style.fontSize));
        Image img(360, 80);
        renderSubtitleSet(RenderTarget::Preview, style, font, img, c.lineA, c.lineB);
        compareWithGolden(c.name, img);
    }
}

TEST(ScriptGolden, ShapingOrdersJoinsPlacesMarksAndKerns) {
    CacheOff off;
    if (!std::filesystem::exists(kDejaVu)) GTEST_SKIP() << kDejaVu << " is not installed";
    std::string error;
    std::shared_ptr<FontFace> face = FontFace::open(kDejaVu, 0, 24, error);
    ASSERT_TRUE(face) << error;
    // Hebrew runs right to left: the first letter (shin) is drawn last, at the right.
    std::vector<FontFace::Shaped> heb = face->shapeLine("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D");
    ASSERT_EQ(heb.size(), 4u);
    EXPECT_EQ(heb.front().ch, U'\u05DD');
    EXPECT_EQ(heb.back().ch, U'\u05E9');
    // A left-to-right number inside right-to-left text keeps its own order.
    std::vector<FontFace::Shaped> mixed = face->shapeLine("\xD7\x90 12");
    ASSERT_EQ(mixed.size(), 4u);
    EXPECT_EQ(mixed[0].ch, U'1');
    EXPECT_EQ(mixed[1].ch, U'2');
    EXPECT_EQ(mixed[3].ch, U'\u05D0');
    // Arabic letters join: beh between letters takes its medial form, not
    // the glyph the character has alone.
    std::vector<FontFace::Shaped> ar = face->shapeLine("\xD8\xA8\xD8\xA8\xD8\xA8");
    ASSERT_EQ(ar.size(), 3u);
    EXPECT_NE(ar[1].glyph, face->glyphOf(U'\u0628'));
    EXPECT_NE(ar[1].glyph, ar[0].glyph);
    // A combining acute accent sits over its e: it takes no advance of its
    // own and is one cluster with it, so no word spacing comes between.
    std::vector<FontFace::Shaped> mark = face->shapeLine("e\xCC\x81");
    if (mark.size() == 2) {
        EXPECT_FALSE(mark[0].lastOfCluster);
        EXPECT_EQ(mark[1].advance, 0);
        EXPECT_LT(mark[1].dx, 0);
    } else {
        ASSERT_EQ(mark.size(), 1u);  // the font has the composed letter
    }
    // Kerning: "AV" is narrower than A and V apart.
    const int kerned = face->shapeLine("AV")[0].advance + face->shapeLine("AV")[1].advance;
    EXPECT_LT(kerned, face->shapeLine("A")[0].advance + face->shapeLine("V")[0].advance);
}

TEST(ScriptGolden, MissingGlyphsAreNamedAndDrawnAsTheFontsBox) {
    CacheOff off;
    if (!std::filesystem::exists(kDejaVu)) GTEST_SKIP() << kDejaVu << " is not installed";
    FontSheet font;
    const std::string cjk = "a\xE5\xAD\x97\xE5\xAD\x97 \xF0\x9F\x82\xA1";  // 字字 and a playing card
    InstalledFontResult r = useFontFile(font, kDejaVu, false, 24, {cjk});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(describeMissing(r.missing), "the font has no glyph for \"\xE5\xAD\x97\" (U+5B57)");
    std::vector<PlacedGlyph> placed = font.layoutText(cjk);
    ASSERT_EQ(placed.size(), 5u);
    EXPECT_TRUE(placed[1].missing);
    EXPECT_EQ(placed[1].key, 0u);  // the font's missing-glyph box, drawn
    ASSERT_NE(font.glyphImage(placed[1].key, 0), nullptr);
    int ink = 0;
    const Image& box = *font.glyphImage(placed[1].key, 0);
    for (int y = 0; y < box.height(); ++y)
        for (int x = 0; x < box.width(); ++x) ink += box.pixel(x, y)[3] > 0;
    EXPECT_GT(ink, 20);
    EXPECT_GT(placed[1].advance, 4);
}

// 200 characters of four bytes each, far wider than the picture: drawn and
// measured without fault by the shipped sheets (no glyphs: nothing but the
// spacing) and by a font (its missing-glyph box each), named once.
TEST(ScriptGolden, TwoHundredFourByteCharacters) {
    CacheOff off;
    std::string line;
    for (int i = 0; i < 200; ++i) line += "\xF0\xA0\x80\x80";  // U+20000, a CJK ideograph of plane 2
    FontSheet sheets;
    sheets.cellHeight = 30;
    StripsConfig style = captionStyle();
    EXPECT_EQ(measureLine(line, sheets, style.wordSpacing), 200 * style.wordSpacing);
    Image img(360, 80);
    renderSubtitleSet(RenderTarget::AlphaExport, style, sheets, img, line, line);
    if (!std::filesystem::exists(kDejaVu)) GTEST_SKIP() << kDejaVu << " is not installed";
    FontSheet font;
    InstalledFontResult r = useFontFile(font, kDejaVu, false, 24, {line});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.missing, std::u32string(1, U'\U00020000'));
    const std::vector<PlacedGlyph> placed = font.layoutText(line);
    ASSERT_EQ(placed.size(), 200u);
    EXPECT_GT(measureLine(line, font, style.wordSpacing), 360);
    const RenderResult drawn = renderSubtitleSet(RenderTarget::AlphaExport, style, font, img, line, line);
    EXPECT_TRUE(drawn.lines[0].stripDrawn);
}
