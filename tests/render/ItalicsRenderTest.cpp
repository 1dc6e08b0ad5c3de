// Italic text: slanted glyphs of the shipped sheets (borders and all), and
// the italic face of an installed font that has one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "render/Compositor.h"
#include "render/FontSheet.h"
#include "render/InstalledFont.h"
#include "render/RenderFixtures.h"

namespace {

const FontSheet& shipped32() { return renderfixture::shippedSheets(std::string(KALVERO_BIN_DIR) + "/", 32); }

StripsConfig plainStyle(int border) {
    StripsConfig s = renderfixture::plainStyle(border);
    s.drawNoStrips = true;
    return s;
}

// How far the ink of a drawn line leans: the mean x of the visible pixels
// in the top quarter of its rows less that of the bottom quarter (of the
// rows above the baseline region where the letters stand).
struct Lean {
    double shift = 0;
    int rows = 0;
};
Lean leanOf(const Image& img) {
    std::vector<std::pair<double, int>> rows;  // sum of x, count per row with ink
    int first = -1, last = -1;
    for (int y = 0; y < img.height(); ++y) {
        double sum = 0;
        int n = 0;
        for (int x = 0; x < img.width(); ++x)
            if (draw::readPixel(img, x, y).a > 128) sum += x, ++n;
        rows.push_back({sum, n});
        if (n > 0) {
            if (first < 0) first = y;
            last = y;
        }
    }
    Lean l;
    if (first < 0) return l;
    l.rows = last - first + 1;
    const int quarter = std::max(1, l.rows / 4);
    auto mean = [&](int from, int to) {
        double s = 0;
        int n = 0;
        for (int y = from; y < to; ++y) s += rows[size_t(y)].first, n += rows[size_t(y)].second;
        return n ? s / n : 0.0;
    };
    l.shift = mean(first, first + quarter) - mean(last + 1 - quarter, last + 1);
    return l;
}

}  // namespace

// "l" is an upright stroke: upright it does not lean, in italics
// its top stands right of its foot by about the slant times its height,
// in every border style, and the italic line takes no tags' room.
TEST(ItalicsRender, ShippedSheetsSlantTheGlyphsWithTheirBorders) {
    const FontSheet& font = shipped32();
    ASSERT_TRUE(font.hasGlyphsFor(32));
    EXPECT_EQ(font.layoutText("<i>Il</i>").size(), 2u);
    EXPECT_TRUE(font.layoutText("<i>Il</i>")[0].slanted);
    EXPECT_FALSE(font.layoutText("Il")[0].slanted);
    for (int border = 0; border < FontSheet::kStyles; ++border) {
        SCOPED_TRACE(border);
        Image upright(200, 90), slanted(200, 90);
        renderSubtitleSet(RenderTarget::AlphaExport, plainStyle(border), font, upright, "l", "");
        renderSubtitleSet(RenderTarget::AlphaExport, plainStyle(border), font, slanted, "<i>l</i>", "");
        const Lean u = leanOf(upright), s = leanOf(slanted);
        ASSERT_GT(u.rows, 15);
        if (border == 0) {
            EXPECT_LT(std::abs(u.shift), 0.6);
        }
        const double expected = 0.75 * u.rows * FontSheet::kSlant;  // between the quarters' middles
        EXPECT_NEAR(s.shift - u.shift, expected, 1.5);
        EXPECT_EQ(s.rows, u.rows);
    }
    // The tags are not drawn: a line with them is as wide as without, plus
    // the lean of its last italic letter.
    const int plain = measureLine("Il and more", font, 0);
    const int italic = measureLine("<i>Il</i> and more", font, 0);
    EXPECT_GE(italic, plain);
    EXPECT_LE(italic, plain + 6);
}

// A family with an italic face of its own draws italic text from it (no
// slant); the upright text keeps the regular face.
TEST(ItalicsRender, InstalledFamilyUsesItsItalicFace) {
    if (!std::filesystem::exists("/usr/share/fonts/truetype/dejavu/DejaVuSans-Oblique.ttf"))
        GTEST_SKIP() << "DejaVu Sans Oblique is not installed";
    setenv("KALVERO_GLYPH_CACHE", "", 1);
    FontSheet font;
    const InstalledFontResult r = useInstalledFont(font, FontChoice{"DejaVu Sans", false}, 32, {"Il"});
    unsetenv("KALVERO_GLYPH_CACHE");
    ASSERT_TRUE(r.ok) << r.error;
    const std::vector<PlacedGlyph> placed = font.layoutText("Il <i>Il</i>");
    ASSERT_EQ(placed.size(), 5u);
    EXPECT_EQ(placed[0].key & FontSheet::kItalicFaceBit, 0u);
    EXPECT_NE(placed[3].key & FontSheet::kItalicFaceBit, 0u);
    EXPECT_FALSE(placed[3].slanted);
    Image upright(200, 90), italic(200, 90);
    renderSubtitleSet(RenderTarget::AlphaExport, plainStyle(1), font, upright, "l", "");
    renderSubtitleSet(RenderTarget::AlphaExport, plainStyle(1), font, italic, "<i>l</i>", "");
    EXPECT_LT(std::abs(leanOf(upright).shift), 0.6);
    EXPECT_GT(leanOf(italic).shift, 2.0);
}
