#include "render/Compositor.h"

#include <gtest/gtest.h>

#include <cstring>

#include "render/PresetStyle.h"
#include "render/SheetBuilder.h"

using draw::readPixel;
using draw::Rgba;

namespace {

constexpr int kW = 720, kH = 200;
constexpr Rgb kStrips{200, 40, 10};
constexpr Rgb kBg{0, 0, 90};

// Glyphs: space 4 wide, every other ASCII code 10 wide, white; cell 12 high
// (strips 10 high). Codes 127 and up have no glyph.
FontSheet testFont() {
    std::vector<int> widths(95, 10);
    widths[0] = 4;
    return testsheet::makeFont(widths, 12);
}

StripsConfig baseStyle() {
    StripsConfig s;
    s.stripsColor = kStrips;
    s.bgColor = s.presetBgColor = kBg;
    s.borderStyle = 0;
    s.blend = 255;
    s.wordSpacing = 0;
    s.stripsSpacing = 40;
    s.cropStrips = 0;
    s.stripsMode = FullWidth;
    s.drawNoStrips = false;
    s.centerText = false;
    s.stripsYPos = 100;
    return s;
}

Rgba rgba(Rgb c, uint8_t a = 255) { return Rgba{c.r, c.g, c.b, a}; }
const Rgba kWhite{255, 255, 255, 255};

class Compositor : public ::testing::Test {
protected:
    FontSheet font = testFont();
    StripsConfig style = baseStyle();
    Image img{kW, kH};
    RenderResult render(RenderTarget t, std::string_view a, std::string_view b, const Image* bg = nullptr,
                        Image* composite = nullptr) {
        RenderResult r = renderSubtitleSet(t, style, font, img, a, b, bg, composite);
        // Take over the colours the render drew with, as the editor does.
        style = renderColours(t, style);
        return r;
    }
    bool allPixels(Rgba v) const {
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (readPixel(img, x, y) != v) return false;
        return true;
    }
};

}  // namespace

TEST_F(Compositor, BlankSetLeavesOnlyTheBackground) {
    render(RenderTarget::Preview, "", "   ");
    EXPECT_TRUE(allPixels(rgba(kBg)));
    render(RenderTarget::ColorExport, "  ", "");
    EXPECT_TRUE(allPixels(rgba(kBg)));
    render(RenderTarget::OpaqueExport, "", "");
    EXPECT_TRUE(allPixels(Rgba{0, 0, 0, 255}));
    draw::fillOpaque(img, Rgb{9, 9, 9});  // a dirty image from the caller
    render(RenderTarget::AlphaExport, "", "");
    EXPECT_TRUE(allPixels(Rgba{}));
}

TEST_F(Compositor, LineBAloneStaysAtItsOwnPosition) {
    RenderResult r = render(RenderTarget::Preview, "", "AB");
    EXPECT_TRUE(r.lines[0].blank);
    EXPECT_FALSE(r.lines[0].stripDrawn);
    EXPECT_EQ(r.lines[1].top, 140);
    EXPECT_EQ(readPixel(img, 700, 100), rgba(kBg));
    EXPECT_EQ(readPixel(img, 700, 139), rgba(kBg));
    EXPECT_EQ(readPixel(img, 700, 140), rgba(kStrips));
    EXPECT_EQ(readPixel(img, 700, 149), rgba(kStrips));
    EXPECT_EQ(readPixel(img, 700, 150), rgba(kBg));
    // Glyph cell starts 2 rows above the strip: first glyph at x = crop + m.
    EXPECT_EQ(readPixel(img, 3, 138), kWhite);
    EXPECT_EQ(readPixel(img, 2, 138), rgba(kBg));
    EXPECT_EQ(readPixel(img, 3, 137), rgba(kBg));
}

TEST_F(Compositor, LineOfSpacesIsBlankThoughItHasWidth) {
    style.stripsMode = CutToText;
    RenderResult r = render(RenderTarget::Preview, "   ", "A");
    EXPECT_TRUE(r.lines[0].blank);
    EXPECT_FALSE(r.lines[0].empty);
    EXPECT_EQ(r.lines[0].textWidth, 12);
    EXPECT_FALSE(r.lines[0].stripDrawn);
    for (int x = 0; x < 40; ++x) EXPECT_EQ(readPixel(img, x, 105), rgba(kBg)) << x;
}

TEST_F(Compositor, CutToTextWithNegativeSpacingGivesTheTrailingSpacingBack) {
    style.stripsMode = CutToText;
    style.wordSpacing = -6;
    style.cropStrips = 30;
    RenderResult r = render(RenderTarget::Preview, "AA", "");
    // textWidth = 2 * (10 - 6) = 8; strip = 8 + 2 * 3 + 6 = 20.
    EXPECT_EQ(r.lines[0].textWidth, 8);
    EXPECT_EQ(r.lines[0].strip, (draw::Rect{30, 100, 20, 10}));
    EXPECT_EQ(readPixel(img, 29, 105), rgba(kBg));
    EXPECT_EQ(readPixel(img, 49, 105).a, 255);
    EXPECT_NE(readPixel(img, 49, 105), rgba(kBg));
    EXPECT_EQ(readPixel(img, 50, 105), rgba(kBg));
}

TEST_F(Compositor, CentredCutStripAndFirstGlyph) {
    style.stripsMode = CutToText;
    style.centerText = true;
    style.wordSpacing = 1;
    style.cropStrips = 50;  // ignored for centred text
    // Nine glyphs of 10 + 1, then two codes without glyph, each drawn as the
    // missing-glyph box as wide as a typical glyph (10) + 1: 121.
    RenderResult r = render(RenderTarget::Preview, "AAAAAAAAA\x80\x81", "");
    ASSERT_EQ(r.lines[0].textWidth, 121);
    EXPECT_EQ(r.lines[0].x0, 297);
    EXPECT_EQ(r.lines[0].strip, (draw::Rect{297, 100, 126, 10}));
    EXPECT_EQ(readPixel(img, 296, 105), rgba(kBg));
    EXPECT_EQ(readPixel(img, 297, 105), rgba(kStrips));
    EXPECT_EQ(readPixel(img, 422, 105), rgba(kStrips));
    EXPECT_EQ(readPixel(img, 423, 105), rgba(kBg));
    EXPECT_EQ(readPixel(img, 300, 98), kWhite);  // first glyph at x0 + m, 2 rows above the strip
    EXPECT_EQ(readPixel(img, 299, 98), rgba(kBg));
}

TEST_F(Compositor, AllTextUsesTheCropEvenWhenCentred) {
    style.stripsMode = AllText;
    style.centerText = true;
    style.cropStrips = 20;
    RenderResult r = render(RenderTarget::Preview, "A", "AAAA");
    for (const LineLayout& L : r.lines) EXPECT_EQ(L.strip.x, 20);
    EXPECT_EQ(r.lines[1].strip, (draw::Rect{20, 140, 680, 10}));
    EXPECT_EQ(readPixel(img, 19, 145), rgba(kBg));
    EXPECT_EQ(readPixel(img, 20, 145), rgba(kStrips));
    EXPECT_EQ(readPixel(img, 699, 105), rgba(kStrips));
    EXPECT_EQ(readPixel(img, 700, 105), rgba(kBg));
    EXPECT_EQ(r.lines[0].x0, 360 - 5 - 3);  // text still centred
}

TEST_F(Compositor, DrawNoStripsDrawsTextOnly) {
    style.drawNoStrips = true;
    style.stripsMode = CutToText;  // ignored
    RenderResult r = render(RenderTarget::Preview, "A", "A");
    EXPECT_FALSE(r.lines[0].stripDrawn);
    EXPECT_EQ(r.lines[0].strip, (draw::Rect{0, 100, kW, 10}));  // the band a strip would cover
    EXPECT_EQ(readPixel(img, 600, 105), rgba(kBg));
    EXPECT_EQ(readPixel(img, 5, 105), kWhite);
}

TEST_F(Compositor, MixedColourOfTheOpaqueTargets) {
    style.stripsColor = Rgb{255, 255, 255};
    style.bgColor = style.presetBgColor = Rgb{0, 0, 0};
    style.blend = 127;
    render(RenderTarget::ColorExport, "A", "");
    EXPECT_EQ(readPixel(img, 600, 105), (Rgba{127, 127, 127, 255}));
    EXPECT_EQ(style.mixedColor, (Rgb{127, 127, 127}));
    // Each product divided alone: 200*100/255 + 50*155/255 = 78 + 30.
    EXPECT_EQ(mixStripColor(Rgb{200, 0, 255}, Rgb{50, 255, 0}, 100), (Rgb{108, 155, 100}));
}

TEST_F(Compositor, AlphaExportKeepsStripColourAndBlendExactly) {
    style.blend = 77;
    render(RenderTarget::AlphaExport, "A", "A");
    EXPECT_EQ(readPixel(img, 600, 105), rgba(kStrips, 77));
    EXPECT_EQ(readPixel(img, 600, 145), rgba(kStrips, 77));
    EXPECT_EQ(readPixel(img, 600, 99), Rgba{});
    EXPECT_EQ(readPixel(img, 5, 105), kWhite);

    style.blend = 0;
    render(RenderTarget::AlphaExport, "A", "");
    EXPECT_EQ(readPixel(img, 600, 105).a, 0);
    EXPECT_EQ(readPixel(img, 5, 105), kWhite);
    EXPECT_EQ(readPixel(img, 5, 98), kWhite);
}

TEST_F(Compositor, OpaqueExportUsesBlackAndUnmixedStripsAndPlainGlyphsWithoutStrips) {
    // Style 0 glyphs red, style 2 glyphs green.
    FontSheet f;
    f.loadStyle(0, testsheet::makeSheet(std::vector<int>(95, 10), 12, {255, 0, 0, 255}));
    f.loadStyle(2, testsheet::makeSheet(std::vector<int>(95, 10), 12, {0, 255, 0, 255}));
    f.stripHeight = 10;
    style.borderStyle = 2;
    style.blend = 100;
    renderSubtitleSet(RenderTarget::OpaqueExport, style, f, img, "A", "", nullptr, nullptr);
    style = renderColours(RenderTarget::OpaqueExport, style);
    EXPECT_EQ(readPixel(img, 600, 105), rgba(kStrips));  // unmixed
    EXPECT_EQ(readPixel(img, 600, 50), (Rgba{0, 0, 0, 255}));
    EXPECT_EQ(style.bgColor, (Rgb{0, 0, 0}));
    EXPECT_EQ(readPixel(img, 5, 105), (Rgba{0, 255, 0, 255}));

    style.drawNoStrips = true;
    renderSubtitleSet(RenderTarget::OpaqueExport, style, f, img, "A", "", nullptr, nullptr);
    style = renderColours(RenderTarget::OpaqueExport, style);
    EXPECT_EQ(readPixel(img, 5, 105), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(readPixel(img, 600, 105), (Rgba{0, 0, 0, 255}));
    EXPECT_EQ(style.bgColor, (Rgb{0, 0, 0}));  // not reset by this target

    // Any other render with drawNoStrips brings back the preset's colour.
    renderSubtitleSet(RenderTarget::Preview, style, f, img, "A", "", nullptr, nullptr);
    style = renderColours(RenderTarget::Preview, style);
    EXPECT_EQ(style.bgColor, kBg);
    EXPECT_EQ(readPixel(img, 600, 105), rgba(kBg));
}

TEST_F(Compositor, UserBackgroundColourStaysWhileStripsAreDrawn) {
    style.bgColor = Rgb{1, 2, 3};
    render(RenderTarget::Preview, "A", "");
    EXPECT_EQ(style.bgColor, (Rgb{1, 2, 3}));
    EXPECT_EQ(readPixel(img, 600, 10), (Rgba{1, 2, 3, 255}));
}

TEST_F(Compositor, BackgroundPictureNeverReachesTheExports) {
    Image picture(kW, kH);
    draw::fillOpaque(picture, Rgb{0, 200, 0});
    style.blend = 150;
    style.stripsMode = CutToText;
    for (RenderTarget t : {RenderTarget::AlphaExport, RenderTarget::ColorExport, RenderTarget::OpaqueExport}) {
        StripsConfig s1 = baseStyle(), s2 = baseStyle();
        s1.blend = s2.blend = 150;
        Image a(kW, kH), b(kW, kH), comp;
        renderSubtitleSet(t, s1, font, a, "Hello", "there", nullptr, nullptr);
        RenderResult r = renderSubtitleSet(t, s2, font, b, "Hello", "there", &picture, &comp);
        EXPECT_FALSE(r.compositeMade);
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.stride() * size_t(a.height())), 0) << int(t);
    }
}

TEST_F(Compositor, PreviewWithPictureShowsStripsAtBlendOverIt) {
    Image picture(kW / 2, kH);  // covers the left half only
    draw::fillOpaque(picture, Rgb{0, 200, 0});
    style.blend = 100;
    Image composite;
    RenderResult r = render(RenderTarget::Preview, "A", "", &picture, &composite);
    ASSERT_TRUE(r.compositeMade);
    // The preview image: picture and opaque strips.
    EXPECT_EQ(readPixel(img, 100, 50), (Rgba{0, 200, 0, 255}));
    EXPECT_EQ(readPixel(img, 100, 105), rgba(kStrips));
    // Beyond the picture: the background colour, never old content.
    EXPECT_EQ(readPixel(img, 600, 50), rgba(kBg));
    // The composite: strips blended over the picture, text opaque.
    Rgba c = readPixel(composite, 100, 105);
    EXPECT_NEAR(c.r, 200 * 100 / 255, 1);
    EXPECT_NEAR(c.g, (40 * 100 + 200 * 155) / 255, 1);
    EXPECT_EQ(c.a, 255);
    EXPECT_EQ(readPixel(composite, 5, 105), kWhite);
    EXPECT_EQ(readPixel(composite, 100, 50), (Rgba{0, 200, 0, 255}));
}

TEST_F(Compositor, GlyphsAndStripsClipAtTheImageEdges) {
    style.stripsYPos = 0;
    style.stripsSpacing = kH - 4;
    style.centerText = true;
    std::string longLine(200, 'A');
    RenderResult r = render(RenderTarget::AlphaExport, longLine, longLine);
    EXPECT_LT(r.lines[0].x0, 0);
    EXPECT_EQ(readPixel(img, 0, 0), kWhite);
    EXPECT_EQ(readPixel(img, kW - 1, kH - 1), kWhite);
}

TEST(CompositorStrips, ClearLineStripFillsOnlyEmptiedLines) {
    StripsConfig s = baseStyle();
    Image img(kW, kH);
    draw::fillOpaque(img, Rgb{7, 7, 7});
    clearLineStrip(img, s, 10, false, true);
    EXPECT_EQ(readPixel(img, 10, 105), (Rgba{7, 7, 7, 255}));
    EXPECT_EQ(readPixel(img, 10, 140), rgba(kBg));
    EXPECT_EQ(readPixel(img, 719, 149), rgba(kBg));
    EXPECT_EQ(readPixel(img, 10, 150), (Rgba{7, 7, 7, 255}));

    Image picture(kW, kH);
    draw::fillOpaque(picture, Rgb{0, 200, 0});
    clearLineStrip(img, s, 10, true, false, &picture);
    EXPECT_EQ(readPixel(img, 10, 145), (Rgba{0, 200, 0, 255}));  // the whole picture again
}

TEST(PresetStyle, StripsChoiceFlagsAndProfileValues) {
    Preset p;
    p.stripsColor = Rgb{1, 2, 3};
    p.bgColor = Rgb{4, 5, 6};
    p.stripsMode = CutToText;
    p.borderStyle = 3;
    p.blend = 254;
    p.wordSpacing = -2;
    p.stripsSpacing = 46;
    p.centerText = 1;
    p.cropStrips = 20;
    Profile r;
    r.fontSize = 32;
    r.stripsYPos = 430;
    StripsConfig s = styleFromPreset(p, r);
    EXPECT_EQ(s.stripsMode, CutToText);
    EXPECT_FALSE(s.drawNoStrips);
    EXPECT_EQ(s.presetBgColor, (Rgb{4, 5, 6}));
    EXPECT_EQ(s.mixedColor, (Rgb{1, 2, 3}));
    EXPECT_EQ(s.fontSize, 32);
    EXPECT_EQ(s.stripsYPos, 430);
    EXPECT_TRUE(s.centerText);

    p.drawNoStrips = 1;
    s = styleFromPreset(p, r);
    EXPECT_TRUE(s.drawNoStrips);
    EXPECT_EQ(s.stripsMode, FullWidth);
    p.stripsToAllText = 1;  // wins over "draw no strips"
    s = styleFromPreset(p, r);
    EXPECT_FALSE(s.drawNoStrips);
    EXPECT_EQ(s.stripsMode, AllText);
}

TEST_F(Compositor, RendersLeaveTheStyleAsItWasAndCarryNothingOver) {
    style.drawNoStrips = true;
    style.bgColor = Rgb{1, 2, 3};  // the user's colour; "no strips" draws the preset's
    const StripsConfig before = style;
    Image fresh(kW, kH), again(kW, kH), other(kW, kH);
    renderSubtitleSet(RenderTarget::Preview, before, font, fresh, "A", "B");
    // An IFF picture in between (black background) must not reach the next render.
    renderSubtitleSet(RenderTarget::OpaqueExport, style, font, other, "A", "B");
    renderSubtitleSet(RenderTarget::Preview, style, font, again, "A", "B");
    EXPECT_EQ(std::memcmp(fresh.data(), again.data(), fresh.stride() * size_t(kH)), 0);
    EXPECT_EQ(readPixel(other, 600, 10), (Rgba{0, 0, 0, 255}));
    EXPECT_EQ(readPixel(again, 600, 10), rgba(kBg));
    EXPECT_EQ(style.bgColor, (Rgb{1, 2, 3}));
    EXPECT_EQ(renderColours(RenderTarget::ColorExport, style).bgColor, kBg);
    EXPECT_EQ(renderColours(RenderTarget::OpaqueExport, style).bgColor, (Rgb{0, 0, 0}));
}

TEST_F(Compositor, RenderSetTakesTheSetsOwnYOrTheStylesAndDrawsNothingOutsideTheSets) {
    SubtitleSet placed, unplaced;
    placed.lineA = "A";
    placed.y = 20;
    unplaced.lineA = "A";
    unplaced.y = 0;  // a Y of 0 is no place of its own
    const std::vector<SubtitleSet> sets = {placed, unplaced};
    renderSet(sets, 0, style, RenderTarget::AlphaExport, font, img);
    EXPECT_EQ(readPixel(img, 600, 25), rgba(kStrips));
    EXPECT_EQ(readPixel(img, 600, 105).a, 0);
    renderSet(sets, 1, style, RenderTarget::AlphaExport, font, img);
    EXPECT_EQ(readPixel(img, 600, 25).a, 0);
    EXPECT_EQ(readPixel(img, 600, 105), rgba(kStrips));
    EXPECT_EQ(style.stripsYPos, 100);
    for (int k : {-1, 2}) {
        renderSet(sets, k, style, RenderTarget::AlphaExport, font, img);
        EXPECT_TRUE(allPixels(Rgba{0, 0, 0, 0})) << k;
    }
}
