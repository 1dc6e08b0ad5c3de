// Whole renders compared with checked-in pictures, within a small tolerance.
// The font is the size-16 sheet set in tests/data/fonts/includes (drawn by
// kalvero-fontsheet from Liberation Sans Bold), so the pictures do not change
// with the build's own sheets.
//
// To draw the pictures anew after an intended change of the look:
//   KALVERO_UPDATE_GOLDEN=1 build/bin/kalvero_tests --gtest_filter='Golden*'
// then look at tests/data/golden/*.png before committing them.
#include <gtest/gtest.h>

#include <cstdlib>
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

void compareWithGolden(const std::string& name, const Image& img) {
    std::string path = kGoldenDir + name + ".png";
    std::string error;
    if (std::getenv("KALVERO_UPDATE_GOLDEN")) {
        ASSERT_TRUE(imageio::writePng32(path, img, error, 9)) << error;
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
    for (int border = 0; border < 4; ++border)
        compareWithGolden("cut_border" + std::to_string(border),
                          render(RenderTarget::Preview, style(border, CutToText, true), "Caf\xe9 at 9 o'clock?",
                                 "Gr\xfc\xdf" "e, ja \x97 sure."));
}

TEST(Golden, AlphaExportFullWidthAndAllText) {
    compareWithGolden("alpha_full", render(RenderTarget::AlphaExport, style(1, FullWidth, false), "Left aligned",
                                           "second line"));
    compareWithGolden("color_alltext", render(RenderTarget::ColorExport, style(2, AllText, true), "", "Only B"));
}

TEST(Golden, OpaqueExportWithoutStrips) {
    StripsConfig s = style(3, FullWidth, true);
    s.drawNoStrips = true;
    compareWithGolden("opaque_nostrips", render(RenderTarget::OpaqueExport, s, "No strips", "style None"));
}

// The rows a render reports as drawn hold every pixel it changed from the
// bare background: in each border style (their edges and shadows reach past
// the strips), strips mode, target and Y, also where the picture's edges
// cut the strips or the glyphs. Nothing drawn gives no rows.
TEST(Golden, TheDrawnRowsHoldEveryPixelTheRenderChanged) {
    const int W = 320, H = 72;
    const std::pair<std::string_view, std::string_view> texts[] = {
        {"Caf\xe9 at 9 o'clock?", "Gr\xfc\xdf" "e, ja \x97 sure."}, {"", "gjpqy"}, {"\xc9", ""}, {"   ", ""}, {"", ""}};
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
