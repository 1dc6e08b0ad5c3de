// Whole renders compared with checked-in pictures, within a small tolerance.
// The font is the size-16 sheet set in tests/data/fonts/includes (drawn by
// kalvero-fontsheet from Liberation Sans Bold), so the pictures do not change
// with the build's own sheets.
//
// To draw the pictures anew after an intended change of the look:
//   KALVERO_UPDATE_GOLDEN=1 build/bin/kalvero_tests --gtest_filter='Golden*'
// (the run fails on purpose after writing), then look at
// tests/data/golden/*.png before committing them. A few pixels of each
// picture are worked out by hand below and checked in both modes, so a
// wrong picture cannot become the golden one unnoticed.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <vector>
#include <cstring>

#include "FakeUi.h"
#include "io/ImageCodecs.h"
#include "render/Compositor.h"
#include "render/FontSheet.h"

namespace {

const std::string kGoldenDir = std::string(KALVERO_TEST_DATA) + "/golden/";

const FontSheet& font16() {
    static FontSheet f = [] {
        FontSheet s;
        FakeUi ui;
        int dirty = 0;
        loadFontSheets(s, std::string(KALVERO_TEST_DATA) + "/fonts/", 16, ui.notice(), dirty);
        return s;
    }();
    return f;
}

StripsConfig style(int border, int mode, bool center) {
    StripsConfig s;
    s.stripsColor = Rgb{20, 20, 140};
    s.bgColor = s.presetBgColor = Rgb{40, 60, 40};
    s.borderStyle = border;
    s.blend = 200;
    s.wordSpacing = -1;
    s.stripsSpacing = 24;
    s.cropStrips = 12;
    s.stripsMode = mode;
    s.centerText = center;
    s.stripsYPos = 20;
    return s;
}

// A pixel worked out by hand from the style.
struct Pin {
    int x, y;
    uint8_t r, g, b, a;
    const char* what;
};

// The style below: strips (20,20,140) at blend 200 over the background
// (40,60,40); 16-pixel font, cells 20 rows high; line A's strip on rows
// 20-39 (strips Y), line B's 24 rows lower on 44-63. Where the strips are
// mixed with the background (preview, colour export) each channel is
// strip x 200 / 255 + background x 55 / 255, each term rounded down:
// 15 + 8 = 23, 15 + 12 = 27, 109 + 8 = 117. The alpha export keeps the
// strip colour with the blend as its alpha.
constexpr Pin kBg{0, 0, 40, 60, 40, 255, "background"};
constexpr uint8_t kMixed[3] = {23, 27, 117};
std::vector<Pin> mixedStrips(bool lineA, int x) {
    std::vector<Pin> pins = {kBg, {x, 43, 40, 60, 40, 255, "gap above strip B"},
                             {x, 44, kMixed[0], kMixed[1], kMixed[2], 255, "top row of strip B"},
                             {x, 63, kMixed[0], kMixed[1], kMixed[2], 255, "bottom row of strip B"},
                             {x, 64, 40, 60, 40, 255, "below strip B"}};
    if (lineA) {
        pins.push_back({x, 19, 40, 60, 40, 255, "above strip A"});
        pins.push_back({x, 20, kMixed[0], kMixed[1], kMixed[2], 255, "top row of strip A"});
        pins.push_back({x, 39, kMixed[0], kMixed[1], kMixed[2], 255, "bottom row of strip A"});
        pins.push_back({x, 40, 40, 60, 40, 255, "gap below strip A"});
    } else {
        pins.push_back({x, 30, 40, 60, 40, 255, "no strip for an empty line A"});
    }
    return pins;
}

void compareWithGolden(const std::string& name, const Image& img, const std::vector<Pin>& pins) {
    for (const Pin& p : pins) {
        const uint8_t* px = img.pixel(p.x, p.y);
        EXPECT_EQ((std::array<int, 4>{px[0], px[1], px[2], px[3]}), (std::array<int, 4>{p.r, p.g, p.b, p.a}))
            << name << " at " << p.x << "," << p.y << ": " << p.what;
    }
    std::string path = kGoldenDir + name + ".png";
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
    int worst = 0, differing = 0;
    for (size_t i = 0; i < img.stride() * size_t(img.height()); ++i) {
        int d = std::abs(int(img.data()[i]) - int(golden.data()[i]));
        worst = std::max(worst, d);
        differing += d > 0;
    }
    // Rounding in the blending may move a channel by a step or two.
    EXPECT_LE(worst, 3) << name << ": " << differing << " channel values differ";
}

Image render(RenderTarget target, StripsConfig s, std::string_view a, std::string_view b) {
    Image img(320, 72);
    renderSubtitleSet(target, s, font16(), img, a, b);
    return img;
}

}  // namespace

TEST(Golden, SheetSetLoads) {
    ASSERT_NE(font16().glyph('A', 3), nullptr);
    EXPECT_EQ(font16().cellHeight, defaultCellHeight(16));
}

TEST(Golden, FourBorderStylesCutToText) {
    // The strips cut to the centred text cover the middle column; the top
    // two rows of a cell hold no ink in any border style.
    for (int border = 0; border < 4; ++border)
        compareWithGolden("cut_border" + std::to_string(border),
                          render(RenderTarget::Preview, style(border, CutToText, true), "Caf\xC3\xA9 at 9 o'clock?",
                                 "Gr\xC3\xBC\xC3\x9F" "e, ja \xE2\x80\x94 sure."),
                          mixedStrips(true, 160));
}

TEST(Golden, AlphaExportFullWidthAndAllText) {
    // Full-width strips from the first column; no background. The letters
    // of this sheet start on the fourth row of their cell (row 23); border
    // style 1 outlines them in black one pixel further out, so the L of
    // "Left" is black on row 22 and white on row 23, both opaque.
    const uint8_t s[4] = {20, 20, 140, 200};
    compareWithGolden("alpha_full",
                      render(RenderTarget::AlphaExport, style(1, FullWidth, false), "Left aligned", "second line"),
                      {{0, 0, 0, 0, 0, 0, "transparent corner"}, {3, 19, 0, 0, 0, 0, "above strip A"},
                       {0, 20, s[0], s[1], s[2], s[3], "strip A, first column"},
                       {319, 39, s[0], s[1], s[2], s[3], "strip A, last column"}, {3, 40, 0, 0, 0, 0, "gap"},
                       {3, 44, s[0], s[1], s[2], s[3], "strip B"}, {3, 63, s[0], s[1], s[2], s[3], "strip B"},
                       {3, 64, 0, 0, 0, 0, "below strip B"}, {16, 21, s[0], s[1], s[2], s[3], "above the L"},
                       {16, 22, 0, 0, 0, 255, "the L's outline"}, {16, 23, 255, 255, 255, 255, "the L"}});
    // All text: line A is empty, so only line B has a strip, mixed as in the preview.
    compareWithGolden("color_alltext", render(RenderTarget::ColorExport, style(2, AllText, true), "", "Only B"),
                      mixedStrips(false, 160));
}

TEST(Golden, OpaqueExportWithoutStrips) {
    StripsConfig s = style(3, FullWidth, true);
    s.drawNoStrips = true;
    // Black, no strips; the N of "No" (centred) starts with white ink on
    // the fourth row of its cell, with no outline above it in style 3.
    compareWithGolden("opaque_nostrips", render(RenderTarget::OpaqueExport, s, "No strips", "style None"),
                      {{0, 0, 0, 0, 0, 255, "black corner"}, {160, 20, 0, 0, 0, 255, "no strip A"},
                       {3, 44, 0, 0, 0, 255, "no strip B"}, {124, 22, 0, 0, 0, 255, "above the N"},
                       {124, 23, 255, 255, 255, 255, "the N's first row"}});
}

// The rows a render reports as drawn hold every pixel it changed from the
// bare background: in each border style (their edges and shadows reach past
// the strips), strips mode, target and Y, also where the picture's edges
// cut the strips or the glyphs. Nothing drawn gives no rows.
TEST(Golden, TheDrawnRowsHoldEveryPixelTheRenderChanged) {
    const int W = 320, H = 72;
    const std::pair<std::string_view, std::string_view> texts[] = {
        {"Caf\xC3\xA9 at 9 o'clock?", "Gr\xC3\xBC\xC3\x9F" "e, ja \xE2\x80\x94 sure."}, {"", "gjpqy"}, {"\xC3\x89", ""}, {"   ", ""}, {"", ""}};
    int checked = 0;
    for (int border = 0; border < 4; ++border)
        for (int mode : {int(FullWidth), int(CutToText), int(AllText), -1})
            for (RenderTarget target : {RenderTarget::AlphaExport, RenderTarget::OpaqueExport, RenderTarget::ColorExport})
                for (int y : {-30, -3, 0, 1, 2, 20, 50, 62, 70, 71, 90})
                    for (const auto& [a, b] : texts) {
                        StripsConfig s = style(border, mode < 0 ? FullWidth : mode, mode == CutToText);
                        s.drawNoStrips = mode < 0;
                        s.stripsYPos = y;
                        Image bare(W, H), img(W, H);
                        renderSubtitleSet(target, s, font16(), bare, "", "");
                        const RenderResult r = renderSubtitleSet(target, s, font16(), img, a, b);
                        SCOPED_TRACE(std::to_string(border) + " " + std::to_string(mode) + " " +
                                     std::to_string(int(target)) + " y " + std::to_string(y) + " '" +
                                     std::string(a) + "' '" + std::string(b) + "'");
                        ASSERT_LE(0, r.drawnTop);
                        ASSERT_LE(r.drawnTop, r.drawnEnd);
                        ASSERT_LE(r.drawnEnd, H);
                        int first = -1, last = -1;
                        for (int row = 0; row < H; ++row)
                            if (std::memcmp(img.pixel(0, row), bare.pixel(0, row), size_t(W) * 4) != 0) {
                                if (first < 0) first = row;
                                last = row;
                            }
                        if (first < 0) continue;
                        ++checked;
                        EXPECT_GE(first, r.drawnTop);
                        EXPECT_LT(last, r.drawnEnd);
                        // At most the transparent top and foot of a glyph cell more.
                        EXPECT_LE(r.drawnEnd - r.drawnTop, last - first + 1 + font16().cellHeight);
                    }
    EXPECT_GT(checked, 800);
    // Blank lines draw nothing.
    Image img(W, H);
    const RenderResult blank = renderSubtitleSet(RenderTarget::AlphaExport, style(3, FullWidth, false), font16(), img,
                                                 "  ", "");
    EXPECT_EQ(blank.drawnTop, blank.drawnEnd);
}
