#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>

#include "cli/Cli.h"
#include "io/Files.h"
#include "io/ImageCodecs.h"
#include "base/Draw.h"

namespace fs = std::filesystem;

namespace {

// A program folder with the shipped settings and the size-16 test sheets.
class RenderCommand : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("kalvero_render_" + std::to_string(std::random_device{}()));
    std::ostringstream out, err;

    void SetUp() override {
        fs::create_directories(dir / "includes");
        fs::copy_file(fs::path(KALVERO_SOURCE_DIR) / "data/Kalvero.ini", dir / "Kalvero.ini");
        for (const auto& e : fs::directory_iterator(fs::path(KALVERO_TEST_DATA) / "fonts/includes"))
            fs::copy_file(e.path(), dir / "includes" / e.path().filename());
    }
    void TearDown() override { fs::remove_all(dir); }

    int run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--program-dir", dir.string()});
        return runCli(args, out, err);
    }
    Image load(const std::string& name) {
        Image img;
        std::string error;
        EXPECT_TRUE(imageio::decodeImageFile((dir / name).string(), img, error)) << error;
        return img;
    }
};

}  // namespace

TEST_F(RenderCommand, TypedLinesWithOverrides) {
    std::string png = (dir / "typed.png").string();
    ASSERT_EQ(run({"render", "--profile", "1", "--preset", "1", "--font-size", "16", "--line-a", "Grüße", "--line-b",
                   "", "--mode", "full", "--blend", "100", "--y", "50", "--target", "alpha", "-o", png}),
              0)
        << err.str();
    Image img = load("typed.png");
    ASSERT_EQ(img.width(), 720);
    ASSERT_EQ(img.height(), 576);
    // Preset 1 strips are 48,48,48; blend overridden to 100; strip at y 50.
    EXPECT_EQ(draw::readPixel(img, 700, 55), (draw::Rgba{48, 48, 48, 100}));
    EXPECT_EQ(draw::readPixel(img, 700, 49).a, 0);
    EXPECT_EQ(draw::readPixel(img, 700, 50 + 46).a, 0);  // line B is empty
}

TEST_F(RenderCommand, SetOfAProjectAtItsOwnY) {
    std::string srt = (dir / "in.srt").string();
    ASSERT_TRUE(files::writeFileAtomic(srt, "1\r\n00:00:01,000 --> 00:00:02,000\r\nFirst line\r\nSecond\r\n\r\n"
                                            "2\r\n00:00:03,000 --> 00:00:04,000\r\nNext\r\n\r\n"));
    std::string project = (dir / "p.KVL8").string();
    ASSERT_EQ(run({"import-srt", srt, "--profile", "1", "--preset", "0", "-o", project}), 0) << err.str();
    std::string png = (dir / "set2.png").string();
    ASSERT_EQ(run({"render", project, "--set", "2", "--font-size", "16", "--target", "opaque", "-o", png}), 0)
        << err.str();
    Image img = load("set2.png");
    EXPECT_EQ(img.width(), 720);
    EXPECT_EQ(draw::readPixel(img, 0, 0), (draw::Rgba{0, 0, 0, 255}));

    EXPECT_EQ(run({"render", project, "--set", "3", "--target", "alpha", "-o", png}), 1);
    EXPECT_EQ(run({"render", project, "--target", "sepia", "-o", png}), 2);
    // Sheets of a size that does not exist: reported, and no picture of
    // strips without text.
    err.str("");
    fs::remove(png);
    EXPECT_EQ(run({"render", project, "--font-size", "99", "--target", "alpha", "-o", png}), 1);
    // One line naming the sizes there are, no line per missing sheet.
    EXPECT_EQ(err.str(), "kalvero-cli: nothing was rendered: there is no font sheet "
                         "includes/FontBitmap_99_0000.png for the font size 99; the font sizes there are: 16\n");
    EXPECT_NE(err.str().find("kalvero-cli: nothing was rendered: there is no font sheet "
                             "includes/FontBitmap_99_0000.png for the font size 99"),
              std::string::npos)
        << err.str();
    EXPECT_FALSE(fs::exists(png));
}

// Captions from an installed font: the family list, typed lines in any
// script, the text colour, and what is refused.
TEST_F(RenderCommand, InstalledFontsTextColourAndTheirRefusals) {
    if (!fs::exists("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"))
        GTEST_SKIP() << "fonts-dejavu-core is not installed (scripts/packages.txt)";
    setenv("KALVERO_GLYPH_CACHE", (dir / "cache").c_str(), 1);
    ASSERT_EQ(run({"fonts"}), 0) << err.str();
    EXPECT_NE(("\n" + out.str()).find("\nDejaVu Sans\n"), std::string::npos) << out.str();

    const std::string png = (dir / "ar.png").string();
    ASSERT_EQ(run({"render", "--profile", "1", "--preset", "0", "--font-size", "16", "--font", "DejaVu Sans:bold", "--line-a",
                   "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7", "--line-b", "\xD0\x9F\xD1\x80\xD0\xB8 \xE5\xAD\x97",
                   "--text-color", "#FFE000", "--border", "0", "--target", "alpha", "-o", png}),
              0)
        << err.str();
    // The missing character is named; the rest is drawn in the colour.
    EXPECT_NE(err.str().find("warning: set 1: the font has no glyph for \"\xE5\xAD\x97\" (U+5B57)"), std::string::npos)
        << err.str();
    const Image img = load("ar.png");
    int yellow = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const draw::Rgba p = draw::readPixel(img, x, y);
            yellow += p.a == 255 && p.r == 255 && p.g == 224 && p.b == 0;
        }
    EXPECT_GT(yellow, 100);
    EXPECT_TRUE(fs::exists(dir / "cache"));

    struct Bad {
        std::vector<std::string> extra;
        int code;
        std::string says;
    } bad[] = {
        {{"--font", "No Such Family 12345"}, 1, "no installed font has the family \"No Such Family 12345\""},
        {{"--font", (dir / "Kalvero.ini").string()}, 1, "FreeType cannot read the font"},
        {{"--text-color", "yellow"}, 2, "--text-color takes a colour as #RRGGBB, not yellow"},
        {{"--text-color", "#12345G"}, 2, "#RRGGBB"},
    };
    for (const Bad& b : bad) {
        out.str(""), err.str("");
        std::vector<std::string> args = {"render", "--profile", "1", "--preset", "0", "--font-size", "16", "--line-b", "x", "-o",
                                         (dir / "bad.png").string()};
        args.insert(args.end(), b.extra.begin(), b.extra.end());
        EXPECT_EQ(run(args), b.code) << err.str();
        EXPECT_NE(err.str().find(b.says), std::string::npos) << err.str();
        EXPECT_FALSE(fs::exists(dir / "bad.png"));
    }
    unsetenv("KALVERO_GLYPH_CACHE");
}

// Characters the shipped sheets lack are named on stderr, per set, and the
// picture is still written (with their boxes).
TEST_F(RenderCommand, CharactersTheSheetsLackAreNamed) {
    const std::string png = (dir / "pl.png").string();
    ASSERT_EQ(run({"render", "--profile", "1", "--preset", "0", "--font-size", "16", "--line-a",
                   "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87", "--line-b", "<i>fine</i>", "-o", png}),
              0)
        << err.str();
    EXPECT_EQ(err.str(), "kalvero-cli: warning: set 1: the font sheets have no glyph for \"\xC5\xBC\" (U+017C), "
                         "\"\xC5\x82\" (U+0142), \"\xC4\x87\" (U+0107)\n");
    EXPECT_TRUE(fs::exists(png));
}
