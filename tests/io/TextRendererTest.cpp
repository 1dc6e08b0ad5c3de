#include <gtest/gtest.h>

#include "io/TextRenderer.h"

namespace {

// Bounding box of the pixels that differ from black.
struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    bool empty() const { return x1 < 0; }
};

Box inked(const Image& im) {
    Box b;
    for (int y = 0; y < im.height(); ++y)
        for (int x = 0; x < im.width(); ++x) {
            const uint8_t* p = im.pixel(x, y);
            if (p[0] | p[1] | p[2]) {
                b.x0 = std::min(b.x0, x);
                b.y0 = std::min(b.y0, y);
                b.x1 = std::max(b.x1, x);
                b.y1 = std::max(b.y1, y);
            }
        }
    return b;
}

Image black(int w, int h) {
    Image im(w, h);
    for (size_t i = 3; i < size_t(w) * size_t(h) * 4; i += 4) im.data()[i] = 255;
    return im;
}

}  // namespace

TEST(TextRenderer, MapsFacesOntoLiberationFiles) {
    EXPECT_EQ(TextRenderer::fontFileName("Arial", true), "LiberationSans-Bold.ttf");
    EXPECT_EQ(TextRenderer::fontFileName("Tahoma", false), "LiberationSans-Regular.ttf");
    EXPECT_EQ(TextRenderer::fontFileName("Times New Roman", false), "LiberationSerif-Regular.ttf");
    EXPECT_EQ(TextRenderer::fontFileName("Courier New", true), "LiberationMono-Bold.ttf");
}

TEST(TextRenderer, MeasuresAndDrawsInsideTheLineBox) {
    TextRenderer text;
    const TextFont font{"Arial", 20, true, true};
    std::string error;
    ASSERT_TRUE(text.available(font, error)) << error;
    const int w = text.measureText("Hello", font);
    EXPECT_GT(w, 30);
    EXPECT_LT(w, 80);
    EXPECT_EQ(text.measureText("", font), 0);
    EXPECT_GT(text.measureText("HelloHello", font), w);
    EXPECT_GT(text.measureText("Hello", TextFont{"Arial", 40, true, true}), w);
    const int lh = text.lineHeight(font);
    EXPECT_GE(lh, 20);
    EXPECT_LE(lh, 26);

    Image im = black(200, 60);
    ASSERT_TRUE(text.drawText(im, 10, 5, "Hello", font, Rgb{216, 216, 216}));
    Box b = inked(im);
    ASSERT_FALSE(b.empty());
    EXPECT_GE(b.x0, 10);
    EXPECT_LE(b.x1, 10 + w);
    EXPECT_GE(b.y0, 5);
    EXPECT_LE(b.y1, 5 + lh);
    // The darkest-to-brightest pixels never exceed the text colour.
    for (int y = 0; y < im.height(); ++y)
        for (int x = 0; x < im.width(); ++x) ASSERT_LE(im.pixel(x, y)[0], 216);
}

TEST(TextRenderer, WithoutAntialiasingOnlyTwoColours) {
    TextRenderer text;
    Image im = black(120, 30);
    ASSERT_TRUE(text.drawText(im, 0, 0, "Mono", TextFont{"Arial", 16, false, false}, Rgb{255, 255, 0}));
    bool any = false;
    for (int y = 0; y < im.height(); ++y)
        for (int x = 0; x < im.width(); ++x) {
            const uint8_t* p = im.pixel(x, y);
            const bool ink = p[0] == 255 && p[1] == 255 && p[2] == 0;
            const bool bg = p[0] == 0 && p[1] == 0 && p[2] == 0;
            ASSERT_TRUE(ink || bg);
            any = any || ink;
        }
    EXPECT_TRUE(any);
}

TEST(TextRenderer, BackgroundFillsTheLineBoxAndClipsAtTheEdges) {
    TextRenderer text;
    const TextFont font{"Arial", 13, false, true};
    Image im(40, 40);  // transparent
    const Rgb blue{0, 0, 255};
    ASSERT_TRUE(text.drawText(im, -5, 30, "Wide text beyond the edge", font, Rgb{255, 255, 255}, &blue));
    EXPECT_EQ(im.pixel(0, 30)[3], 255);
    EXPECT_EQ(im.pixel(39, 39)[3], 255);
    EXPECT_EQ(im.pixel(0, 29)[3], 0);  // above the box untouched
}

TEST(TextRenderer, WindowsCodePageCharactersDraw) {
    TextRenderer text;
    const TextFont font{"Arial", 20, false, true};
    // 0xE6 = ae ligature, 0x80 = euro sign: both have glyphs and advance.
    EXPECT_GT(text.measureText("\xE6", font), 5);
    EXPECT_GT(text.measureText("\x80", font), 5);
}

TEST(TextRenderer, MissingFontsAreReported) {
    TextRenderer text("/nonexistent/fonts");
    std::string error;
    const TextFont font{"Arial", 12, false, true};
    EXPECT_FALSE(text.available(font, error));
    EXPECT_NE(error.find("/nonexistent/fonts"), std::string::npos);
    Image im(10, 10);
    EXPECT_FALSE(text.drawText(im, 0, 0, "x", font, Rgb{1, 2, 3}));
    EXPECT_EQ(text.measureText("x", font), 0);
    EXPECT_FALSE(TextRenderer().available(TextFont{"Arial", 0, false, true}, error));
}
