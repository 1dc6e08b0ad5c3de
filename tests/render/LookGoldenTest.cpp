// The two broadcast looks as the shipped presets draw them: Teletext (a
// blocky double-height pixel font on black boxes cut to the text) and Closed
// captions (a monospace pixel font, a black box around each row), compared
// with checked-in pictures. Their sheets are in tests/data/looks/includes
// (drawn by kalvero-fontsheet --pixel as the build draws them), so the
// pictures do not change with the build. Draw them anew with
//   KALVERO_UPDATE_GOLDEN=1 build/tests/kalvero_tests --gtest_filter='LookGolden*'
// and look at tests/data/golden/look_*.png before committing them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "FakeUi.h"
#include "io/ImageCodecs.h"
#include "io/SettingsFile.h"
#include "render/Compositor.h"
#include "render/FontSheet.h"
#include "render/PresetStyle.h"

namespace {

const Preset* shippedPreset(const Settings& s, const std::string& name) {
    for (const Preset& p : s.presets)
        if (p.name == name) return &p;
    return nullptr;
}

struct Look {
    const char* preset;
    const char* golden;
    int fontSize;
};

}  // namespace

TEST(LookGolden, TeletextAndClosedCaptionsAreCrispAndMatchTheirPictures) {
    Settings settings;
    std::string error;
    const Result read = loadSettingsFile(std::string(KALVERO_BIN_DIR) + "/Kalvero.ini", settings);
    ASSERT_TRUE(read) << read.message();
    const Profile* pal = nullptr;
    for (const Profile& p : settings.profiles)
        if (p.usable() && p.width == 720 && p.height == 576 && !pal) pal = &p;
    ASSERT_NE(pal, nullptr);

    for (const Look& look : {Look{"Teletext", "look_teletext", 30}, Look{"Closed captions", "look_closed_captions", 26}}) {
        SCOPED_TRACE(look.preset);
        const Preset* preset = shippedPreset(settings, look.preset);
        ASSERT_NE(preset, nullptr);
        EXPECT_EQ(preset->fontSize, look.fontSize);
        StripsConfig style = styleFromPreset(*preset, *pal);
        EXPECT_EQ(style.fontSize, look.fontSize);

        FontSheet font;
        FakeUi ui;
        int dirty = 1;
        loadFontSheets(font, std::string(KALVERO_TEST_DATA) + "/looks/", look.fontSize, ui.notice(), dirty);
        ASSERT_TRUE(ui.messages.empty()) << ui.messages[0].text;
        ASSERT_TRUE(font.hasGlyphsFor(look.fontSize));

        style.stripsYPos = 40;
        // A blue canvas, so that the boxes show against it.
        style.bgColor = style.presetBgColor = Rgb{0, 0, 160};
        Image img(720, 200);
        renderSubtitleSet(RenderTarget::Preview, style, font, img, "NEWS AT TEN: 1985", "Weather (p. 151) & more");

        // Crisp: only the text colour, the boxes and the background, no
        // shade between them.
        std::set<uint32_t> colours;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const uint8_t* p = img.pixel(x, y);
                colours.insert(uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
            }
        EXPECT_LE(colours.size(), 3u) << "smoothed edges";
        EXPECT_TRUE(colours.count(0xFFFFFF)) << "no white text";
        EXPECT_TRUE(colours.count(0x000000)) << "no black box";

        const std::string path = std::string(KALVERO_TEST_DATA) + "/golden/" + look.golden + ".png";
        if (std::getenv("KALVERO_UPDATE_GOLDEN")) {
            ASSERT_TRUE(imageio::writePng32(path, img, error, 9)) << error;
            ADD_FAILURE() << "wrote " << path << ": look at it, then run again without KALVERO_UPDATE_GOLDEN";
            continue;
        }
        Image golden;
        ASSERT_TRUE(imageio::decodeImageFile(path, golden, error)) << path << ": " << error;
        ASSERT_EQ(golden.width(), img.width());
        ASSERT_EQ(golden.height(), img.height());
        int differing = 0;
        for (size_t i = 0; i < img.stride() * size_t(img.height()); ++i) differing += img.data()[i] != golden.data()[i];
        EXPECT_EQ(differing, 0) << look.golden;
    }
}

// A preset's font size is its 17th field, written only when set: the other
// lines of a settings file stay as they were.
TEST(LookGolden, PresetFontSizeFieldRoundTrips) {
    const std::string plain = "Rental Video Black Bars|0,0,0|1|0|254|0|0,0,160|0|-1|46|1|1|20";
    const std::string withSize = "Teletext|0,0,0|1|0|255|0|0,0,0|0|0|50|1|1|0|255,255,255||0|30";
    EXPECT_EQ(parsePresetLine(plain).fontSize, 0);
    EXPECT_EQ(presetLine(parsePresetLine(plain)), plain);
    EXPECT_EQ(parsePresetLine(withSize).fontSize, 30);
    EXPECT_EQ(presetLine(parsePresetLine(withSize)), withSize);
    EXPECT_EQ(parsePresetLine(plain + "|||0|500").fontSize, 99);  // clamped to what a sheet name holds
    Profile pal;
    pal.fontSize = 32;
    EXPECT_EQ(styleFromPreset(parsePresetLine(plain), pal).fontSize, 32);
    EXPECT_EQ(styleFromPreset(parsePresetLine(withSize), pal).fontSize, 30);
}

#include "reliability/ToolRun.h"

// --pixel draws blocks: read back by FFmpeg's PNG decoder, every pixel of
// every sheet is fully transparent or fully opaque, and bad block sizes are
// refused.
TEST(LookGolden, PixelSheetsHaveNoSmoothedPixels) {
    if (!toolrun::haveFfmpeg()) GTEST_SKIP() << "no ffmpeg";
    const std::string out = ::testing::TempDir() + "kalvero-pixel-sheets/";
    const std::string font = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";
    toolrun::Output o = toolrun::run(toolrun::tool("kalvero-fontsheet") + " --font " + font +
                                     " --size 30 --pixel 8,3,4 --out " + toolrun::quoted(out));
    ASSERT_EQ(o.code, 0) << o.text;
    for (const char* style : {"0000", "0500", "1000", "1500"}) {
        const std::string sheet = out + "FontBitmap_30_" + style + ".png";
        // The alpha values of the glyph rows (the table rows at the bottom hold numbers).
        toolrun::Output a = toolrun::run("ffmpeg -v error -i " + toolrun::quoted(sheet) +
                                         " -vf alphaextract,crop=iw:ih-2:0:0 -f rawvideo -pix_fmt gray - | od -An -tu1 -v "
                                         "| tr -s ' ' '\\n' | grep -v '^$' | sort -un | tr '\\n' ' '");
        ASSERT_EQ(a.code, 0) << a.text;
        EXPECT_EQ(a.text, "0 255 ") << style;
    }
    for (const char* bad : {"8,0,4", "8,3", "3,1,1", "8,3,9"})
        EXPECT_EQ(toolrun::run(toolrun::tool("kalvero-fontsheet") + " --font " + font + " --size 30 --pixel " + bad +
                               " --out " + toolrun::quoted(out))
                      .code,
                  2)
            << bad;
}
