#include "base/Draw.h"

#include <gtest/gtest.h>

#include "render/Background.h"

using draw::readPixel;
using draw::Rect;
using draw::Rgba;

TEST(Draw, FillsClipAndBlendSourceOver) {
    Image img(10, 10);
    draw::fillOpaque(img, Rect{-5, -5, 8, 8}, Rgb{10, 20, 30});
    EXPECT_EQ(readPixel(img, 2, 2), (Rgba{10, 20, 30, 255}));
    EXPECT_EQ(readPixel(img, 3, 3), Rgba{});
    draw::fillOpaque(img, Rect{5, 5, 1 << 30, 1 << 30}, Rgb{1, 1, 1});  // no overflow
    EXPECT_EQ(readPixel(img, 9, 9), (Rgba{1, 1, 1, 255}));

    // Onto transparent pixels the colour and alpha are taken exactly.
    draw::fillBlend(img, Rect{0, 5, 5, 5}, Rgb{200, 100, 50}, 77);
    EXPECT_EQ(readPixel(img, 0, 5), (Rgba{200, 100, 50, 77}));
    // Onto opaque pixels: c a / 255 + d (255 - a) / 255.
    draw::fillBlend(img, Rect{0, 0, 1, 1}, Rgb{255, 255, 255}, 51);
    Rgba p = readPixel(img, 0, 0);
    EXPECT_NEAR(p.r, 10 + (255 - 10) * 51 / 255, 1);
    EXPECT_EQ(p.a, 255);

    draw::fillRaw(img, Rect{0, 0, 10, 10}, Rgba{1, 2, 3, 4});
    EXPECT_EQ(readPixel(img, 9, 0), (Rgba{1, 2, 3, 4}));
    EXPECT_EQ(readPixel(img, -1, 0), Rgba{});
    EXPECT_EQ(readPixel(img, 10, 0), Rgba{});
}

TEST(Draw, ImagesDrawOpaqueWithAlphaOrRaw) {
    Image src(2, 1);
    draw::fillRaw(src, Rect{0, 0, 1, 1}, Rgba{255, 0, 0, 128});
    draw::fillRaw(src, Rect{1, 0, 1, 1}, Rgba{0, 255, 0, 0});
    Image dst(4, 4);
    draw::fillOpaque(dst, Rgb{0, 0, 200});
    draw::drawAlpha(dst, src, 3, 3);  // half outside
    EXPECT_NEAR(readPixel(dst, 3, 3).r, 128, 1);
    EXPECT_NEAR(readPixel(dst, 3, 3).b, 100, 1);
    draw::drawAlpha(dst, src, 0, 0, 0);
    EXPECT_EQ(readPixel(dst, 0, 0), (Rgba{0, 0, 200, 255}));
    draw::drawAlpha(dst, src, 0, 0, 128);
    EXPECT_NEAR(readPixel(dst, 0, 0).r, 64, 1);
    draw::drawOpaque(dst, src, 0, 1);
    EXPECT_EQ(readPixel(dst, 1, 1), (Rgba{0, 255, 0, 255}));
    draw::drawRaw(dst, src, -1, 2);
    EXPECT_EQ(readPixel(dst, 0, 2), (Rgba{0, 255, 0, 0}));
    draw::drawAlpha(dst, src, 1 << 30, -(1 << 30));  // far away: nothing, no overflow

    Image part = draw::copyRect(dst, Rect{2, 2, 4, 4});
    ASSERT_EQ(part.width(), 4);
    EXPECT_EQ(readPixel(part, 0, 0), readPixel(dst, 2, 2));
    EXPECT_EQ(readPixel(part, 3, 3), Rgba{});  // outside the source
    EXPECT_TRUE(draw::copyRect(dst, Rect{0, 0, 0, 5}).empty());
}

TEST(Draw, ColourKeyMakesExactMatchesTransparent) {
    Image img(3, 1);
    draw::fillOpaque(img, Rgb{0, 0, 0});
    draw::fillOpaque(img, Rect{1, 0, 1, 1}, Rgb{0, 0, 1});
    draw::colorKey(img, Rgb{0, 0, 0}, 200);
    EXPECT_EQ(readPixel(img, 0, 0).a, 0);
    EXPECT_EQ(readPixel(img, 1, 0).a, 200);
}

TEST(Draw, ResizeKeepsFlatAreasAndDoesNotBleedTransparentColour) {
    Image flat(37, 23);
    draw::fillOpaque(flat, Rgb{12, 34, 56});
    for (auto [w, h] : {std::pair{10, 7}, std::pair{80, 50}, std::pair{1, 1}, std::pair{37, 100}}) {
        Image r = draw::resize(flat, w, h);
        ASSERT_EQ(r.width(), w);
        ASSERT_EQ(r.height(), h);
        EXPECT_EQ(readPixel(r, w - 1, h - 1), (Rgba{12, 34, 56, 255}));
        EXPECT_EQ(readPixel(r, 0, 0), (Rgba{12, 34, 56, 255}));
    }
    Image two(2, 1);
    draw::fillRaw(two, Rect{0, 0, 1, 1}, Rgba{255, 0, 0, 255});
    draw::fillRaw(two, Rect{1, 0, 1, 1}, Rgba{0, 255, 0, 0});
    Image one = draw::resize(two, 1, 1);
    EXPECT_EQ(readPixel(one, 0, 0).r, 255);
    EXPECT_EQ(readPixel(one, 0, 0).g, 0);
    EXPECT_NEAR(readPixel(one, 0, 0).a, 128, 1);
    EXPECT_TRUE(draw::resize(two, 0, 5).empty());
    EXPECT_TRUE(draw::resize(Image(), 5, 5).empty());
}

TEST(BackgroundPicture, TargetSizeFollowsTheBoxRule) {
    // Portrait picture, landscape project: the box turns; fitted to its height.
    EXPECT_EQ(backgroundTargetSize(600, 800, 720, 576), (Size{540, 720}));
    // Same ratio to one decimal: plain stretch.
    EXPECT_EQ(backgroundTargetSize(1440, 1152, 720, 576), (Size{720, 576}));
    EXPECT_EQ(backgroundTargetSize(1280, 1000, 720, 576), (Size{720, 576}));
    // Much wider than the box: fitted to the box width.
    EXPECT_EQ(backgroundTargetSize(2000, 500, 720, 576), (Size{720, 180}));
    // Narrower than the box but landscape: fitted to the height.
    EXPECT_EQ(backgroundTargetSize(1000, 900, 1920, 1080), (Size{1200, 1080}));
    EXPECT_EQ(backgroundTargetSize(0, 10, 720, 576), Size{});

    Image picture(600, 800);
    draw::fillOpaque(picture, Rgb{9, 99, 199});
    Image bg = prepareBackground(picture, 720, 576);
    EXPECT_EQ(bg.width(), 540);   // the right 180 columns stay uncovered
    EXPECT_EQ(bg.height(), 576);  // the lower 144 rows are cut off
    EXPECT_EQ(readPixel(bg, 539, 575), (Rgba{9, 99, 199, 255}));
}

TEST(TimingOverlay, CopiesScaledStripsOfNonEmptyLines) {
    EXPECT_EQ(timingPreviewSize(720, 576), (Size{480, 384}));
    EXPECT_EQ(timingPreviewSize(1280, 720), (Size{853, 480}));

    StripsConfig style;
    style.stripsYPos = 300;
    style.stripsSpacing = 45;
    style.stripsMode = CutToText;
    style.drawNoStrips = false;
    style.cropStrips = 30;
    RenderResult r;
    r.stripHeight = 30;
    r.lines[0].empty = true;
    r.lines[1].empty = false;
    r.lines[1].strip = draw::Rect{30, 345, 100, 30};
    Image preview(720, 576);
    draw::fillOpaque(preview, Rgb{5, 5, 5});
    draw::fillOpaque(preview, r.lines[1].strip, Rgb{200, 0, 0});
    auto pieces = makeSetOverlay(preview, r, style);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].x, 20);
    EXPECT_EQ(pieces[0].y, 230);
    EXPECT_EQ(pieces[0].image.width(), 67);
    EXPECT_EQ(pieces[0].image.height(), 20);
    EXPECT_FALSE(pieces[0].keyed);

    Image area(480, 384);
    drawSetOverlay(area, pieces, Rgb{0, 0, 80}, false);
    EXPECT_EQ(readPixel(area, 0, 0), (Rgba{0, 0, 80, 255}));
    EXPECT_EQ(readPixel(area, 50, 240), (Rgba{200, 0, 0, 255}));

    // Without strips the black band becomes see-through over the movie.
    style.drawNoStrips = true;
    style.stripsMode = FullWidth;
    r.lines[1].strip = draw::Rect{0, 345, 720, 30};
    draw::fillOpaque(preview, Rgb{0, 0, 0});
    draw::fillOpaque(preview, draw::Rect{100, 350, 10, 10}, Rgb{255, 255, 255});
    pieces = makeSetOverlay(preview, r, style);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_TRUE(pieces[0].keyed);
    draw::fillOpaque(area, Rgb{1, 200, 1});  // a movie frame
    drawSetOverlay(area, pieces, Rgb{0, 0, 0}, true);
    EXPECT_EQ(readPixel(area, 10, 240), (Rgba{1, 200, 1, 255}));
    EXPECT_EQ(readPixel(area, 70, 236), (Rgba{255, 255, 255, 255}));
}
