// Every file of tests/data/bad/ through the paths a user takes, with the
// exact message each one gives. Nothing here may crash, hang or read out of
// bounds (the sanitizer build runs these too).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "FakeUi.h"
#include "app/ControlIds.h"
#include "app/Controller.h"
#include "app/MissingTiming.h"
#include "cli/Cli.h"
#include "io/Files.h"
#include "io/ImageCodecs.h"
#include "project/SubtitleList.h"
#include "render/FontSheet.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

const fs::path kBad = fs::path(KALVERO_TEST_DATA) / "bad";

const char* const kIni =
    "[Global]\r\nStartupProfile = 1\r\nPreset = 0\r\n"
    "[Profiles]\r\nProfile = ----- SD -----\r\nProfile = 720|576|PAL|430|16|25\r\n"
    "[Presets]\r\nPreset = Default|0,0,0|1|0|254|0|0,0,160|0|-1|46|1|1|20\r\n";

std::vector<fs::path> badFiles(const std::string& kind) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(kBad / kind))
        if (e.is_regular_file()) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

std::string texts(const FakeUi& ui) {
    std::string s;
    for (const auto& m : ui.messages) s += "[" + m.title + "] " + m.text + "\n";
    return s;
}

// A program folder with a settings file and the test font sheets, a fake
// window, and a controller started on them.
struct Program {
    fs::path dir;
    AppState state;
    FakeUi ui;
    std::unique_ptr<Controller> controller;
    bool started = false;

    explicit Program(const std::string& name, const std::string& ini = kIni) {
        dir = testsupport::tempPath("kalvero-bad-" + name);
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::create_directory_symlink(fs::path(KALVERO_TEST_DATA) / "fonts" / "includes", dir / "includes");
        EXPECT_TRUE(files::writeFileAtomic((dir / "Kalvero.ini").string(), ini));
        state.programDir = dir.string() + "/";
        ui.setDesktopSize(2560, 1600);
        controller = std::make_unique<Controller>(state, ui);
        started = controller->prepare((dir / "kalvero").string(), dir.string());
        if (started) {
            ui.buildMainWindow();
            controller->windowBuilt();
            ui.messages.clear();
        }
    }
    ~Program() {
        controller.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    void click(int id) { controller->dispatch(ui.eventFor(id)); }

    // kalvero-cli with this program folder: what it printed on stderr.
    std::string cli(std::vector<std::string> args, int expectedExit = 1) {
        args.insert(args.begin(), {"--program-dir", dir.string()});
        std::ostringstream out, err;
        EXPECT_EQ(runCli(args, out, err), expectedExit) << err.str();
        return err.str();
    }
};

}  // namespace

TEST(BadInput, ProjectFilesAreRefusedWithoutLosingTheOpenList) {
    Program p("project");
    ASSERT_TRUE(p.started);
    auto snapshot = [&] {
        std::vector<SubtitleLine> rows;
        for (int i = 0; i < p.state.list.lineCount(); ++i) rows.push_back(*p.state.list.row(i));
        return rows;
    };
    std::vector<SubtitleLine> before = snapshot();
    for (const fs::path& file : badFiles("project")) {
        SCOPED_TRACE(file.filename().string());
        const std::string path = file.string();
        p.ui.messages.clear();
        p.ui.fileAnswers = {path};
        p.click(ctl::Open);
        if (file.filename() == "huge_numbers.KVL8") {
            // Numbers beyond int are clamped: the file loads; the profile
            // index outside the list keeps the one in force.
            EXPECT_EQ(texts(p.ui), "");
            EXPECT_EQ(p.state.list.lineCount(), 2);
            EXPECT_EQ(p.state.profileIndex, 1);
            EXPECT_EQ(p.cli({"info", path}),
                      "kalvero-cli: " + path + ": profile 2147483647 is not a profile of the settings file. "
                                                 "The profiles are: 1 PAL\n");
            before = snapshot();
            continue;
        }
        EXPECT_EQ(texts(p.ui), "[Error!] This is not a Kalvero project file, or its header is damaged:\n" + path + "\n");
        ASSERT_EQ(p.state.list.lineCount(), int(before.size()));
        for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(*p.state.list.row(int(i)), before[i]);
        EXPECT_EQ(p.cli({"info", path}),
                  "kalvero-cli: " + path + " is not a Kalvero project file (its header is damaged or missing)\n");
    }
}

TEST(BadInput, SubRipFilesWithoutCuesLeaveOneEmptySetAndAWarning) {
    Program p("srt");
    ASSERT_TRUE(p.started);
    // Cues that a damaged file still holds are imported; a wrong first number
    // costs nothing, an unreadable time line costs its cue and is reported.
    const std::map<std::string, int> cuesKept = {
        {"truncated.srt", 1}, {"utf16_odd_length.srt", 2}, {"wrong_magic.srt", 2}};
    for (const fs::path& file : badFiles("srt")) {
        SCOPED_TRACE(file.filename().string());
        const std::string path = file.string();
        const std::string out = (p.dir / "out.KVL8").string();
        fs::remove(out);
        p.ui.messages.clear();
        p.ui.yesNoCancelAnswers = {Ui::Answer::No};  // an earlier import left unsaved work
        p.ui.fileAnswers = {path};
        p.click(ctl::ImportSrt);
        std::erase_if(p.ui.messages, [](const FakeUi::Message& m) { return m.question; });
        auto kept = cuesKept.find(file.filename().string());
        if (kept != cuesKept.end()) {
            EXPECT_EQ(p.state.list.lineCount(), 2 * kept->second);
            EXPECT_EQ(p.cli({"import-srt", path, "-o", out}, 0), "");
            continue;
        }
        // The warning about missing times, then what was left out and where.
        std::string shown = texts(p.ui);
        std::string expected = "[" + std::string(kMissingTimingTitle) + "] " + kMissingTimingText + "\n";
        EXPECT_EQ(shown.substr(0, expected.size()), expected);
        EXPECT_LE(p.ui.messages.size(), 2u);
        EXPECT_EQ(p.state.list.lineCount(), 2);
        std::string err = p.cli({"import-srt", path, "-o", out});
        const std::string last = "kalvero-cli: no SubRip cue found in " + path + "\n";
        ASSERT_GE(err.size(), last.size());
        EXPECT_EQ(err.substr(err.size() - last.size()), last);
        if (file.filename() == "huge_times.srt") {
            EXPECT_NE(shown.find("1 time line could not be read; its cue was left out (line 2)"), std::string::npos);
            EXPECT_EQ(err, "kalvero-cli: " + path + ": 1 time line could not be read; its cue was left out (line 2)\n" +
                               last);
        }
        EXPECT_FALSE(files::exists(out));
    }
}

TEST(BadInput, SettingsFilesStopTheStartWithAMessage) {
    const std::string noProfile = "Kalvero.ini lists no usable profile or no preset...exiting!";
    const std::map<std::string, std::string> expected = {
        {"bad_fps.ini", ""},
        {"huge_profile.ini", ""},
        {"no_presets_section.ini", noProfile},
        {"random.ini", noProfile},
        {"truncated.ini", noProfile},
        {"wrong_magic.ini", ""},
        {"zero_size.ini", noProfile},
        {"zeros.ini", noProfile},
    };
    for (const fs::path& file : badFiles("settings")) {
        SCOPED_TRACE(file.filename().string());
        std::string content;
        ASSERT_TRUE(files::readFile(file.string(), content));
        Program p("settings", content);
        auto e = expected.find(file.filename().string());
        ASSERT_NE(e, expected.end());
        if (e->second.empty()) {
            EXPECT_TRUE(p.started);
            continue;
        }
        EXPECT_FALSE(p.started);
        EXPECT_EQ(p.ui.countMessages("Severe error!"), 1);
        EXPECT_EQ(p.ui.messages.back().text, e->second);
    }
}

TEST(BadInput, DamagedFontSheetsGiveError10AndKeepTheGlyphsLoaded) {
    for (const fs::path& file : badFiles("fontsheet")) {
        SCOPED_TRACE(file.filename().string());
        fs::path dir = testsupport::tempPath("kalvero-bad-fontsheet");
        fs::remove_all(dir);
        fs::create_directories(dir / "includes");
        for (int style = 0; style < FontSheet::kStyles; ++style)
            fs::copy_file(file, dir / fontSheetRelativePath(16, style));
        FontSheet font;
        FakeUi ui;
        int dirty = 1;
        EXPECT_FALSE(loadFontSheets(font, dir.string() + "/", 16, ui.notice(), dirty));
        // A picture that decodes but whose table cannot be used says so.
        const bool decodes = file.filename() == "one_row.png" || file.filename() == "whole_sheet_glyphs.png";
        std::string want;
        for (int style = 0; style < FontSheet::kStyles; ++style)
            want += decodes ? "[Error#10] The glyph table of " + fontSheetRelativePath(16, style) + " is damaged\n"
                            : "[Error#10] Could not find " + fontSheetRelativePath(16, style) + "\n";
        EXPECT_EQ(texts(ui), want);
        EXPECT_EQ(font.glyphCount(0), 0);
        EXPECT_EQ(font.stripHeight, defaultCellHeight(16) - 2);
        fs::remove_all(dir);
    }
}

TEST(BadInput, BackgroundPicturesAreRefusedWithTheirReason) {
    // What the decoder says; kalvero-cli shows it, the window shows Error#8.
    const std::map<std::string, std::string> reasons = {
        {"bmp_huge_dimensions.bmp",
         "the BMP picture is 30000 x 30000 pixels, outside the 1 to 16384 pixels per side this program reads"},
        {"bmp_random.bmp",
         "not a PNG, JPEG, TIFF, TGA or BMP picture"},
        {"bmp_truncated.bmp",
         "the BMP file is shorter than its picture size says"},
        {"bmp_wrong_magic.bmp",
         "not a PNG, JPEG, TIFF, TGA or BMP picture"},
        {"bmp_zero_size.bmp",
         "the file is empty"},
        {"bmp_zeros.bmp",
         "not a PNG, JPEG, TIFF, TGA or BMP picture"},
        {"jpg_huge_dimensions.jpg",
         "the JPEG picture is 30000 x 30000 pixels, outside the 1 to 16384 pixels per side this program reads"},
        {"jpg_random.jpg",
         "not a PNG, JPEG, TIFF, TGA or BMP picture"},
        {"jpg_truncated.jpg",
         "the JPEG file is damaged (JPEG datastream contains no image)"},
        {"jpg_wrong_magic.jpg",
         "not a PNG, JPEG, TIFF, TGA or BMP picture"},
        {"jpg_zero_size.jpg",
         "the file is empty"},
        {"jpg_zeros.jpg",
         "not a PNG, JPEG, TIFF, TGA or BMP picture"},
        {"png_huge_dimensions.png",
         "the PNG picture is 30000 x 30000 pixels, larger than the 16384 x 16384 this program reads"},
        {"png_random.png",
         "not a PNG, JPEG, TIFF, TGA or BMP picture"},
        {"png_truncated.png",
         "not a readable PNG file (read beyond end of data)"},
        {"png_wrong_magic.png",
         "not a PNG, JPEG, TIFF, TGA or BMP picture"},
        {"png_zero_size.png",
         "the file is empty"},
        {"png_zeros.png",
         "not a PNG, JPEG, TIFF, TGA or BMP picture"},
        {"tga_huge_dimensions.tga",
         "the TGA picture is 30000 x 30000 pixels, outside the 1 to 16384 pixels per side this program reads"},
        {"tga_random.tga",
         "not a PNG, JPEG, TIFF, TGA or BMP picture"},
        {"tga_truncated.tga",
         "the TGA file is truncated"},
        {"tga_wrong_magic.tga",
         "not a PNG, JPEG, TIFF, TGA or BMP picture"},
        {"tga_zero_size.tga",
         "the file is empty"},
        {"tga_zeros.tga",
         "not a PNG, JPEG, TIFF, TGA or BMP picture"},
        {"tif_huge_dimensions.tif",
         "the TIFF picture is 30000 x 30000 pixels, outside the 1 to 16384 pixels per side this program reads"},
        {"jpg_many_scans.jpg",
         "the JPEG file is damaged (more than 100 scans)"},
        {"tif_random.tif",
         "not a PNG, JPEG, TIFF, TGA or BMP picture"},
        {"tif_truncated.tif",
         "not a readable TIFF file (TIFFFetchDirectory: picture.tif: Can not read TIFF directory count)"},
        {"tif_wrong_magic.tif",
         "not a PNG, JPEG, TIFF, TGA or BMP picture"},
        {"tif_zero_size.tif",
         "the file is empty"},
        {"tif_zeros.tif",
         "not a PNG, JPEG, TIFF, TGA or BMP picture"},
    };
    Program p("picture");
    ASSERT_TRUE(p.started);
    for (const fs::path& file : badFiles("picture")) {
        SCOPED_TRACE(file.filename().string());
        const std::string path = file.string();
        auto reason = reasons.find(file.filename().string());
        ASSERT_NE(reason, reasons.end());

        Image image;
        std::string error;
        EXPECT_FALSE(imageio::decodeImageFile(path, image, error));
        EXPECT_EQ(error, reason->second);

        p.ui.messages.clear();
        p.ui.setValue(ctl::BgImage, 1);
        p.ui.fileAnswers = {path};
        p.click(ctl::BgImage);
        ASSERT_EQ(p.ui.messages.size(), 2u);
        EXPECT_EQ(p.ui.messages[1].title, "Error#8");
        EXPECT_EQ(p.ui.messages[1].text, "Could not load image:\n" + path);
        EXPECT_EQ(p.ui.value(ctl::BgImage), 0);

        EXPECT_EQ(p.cli({"render", "--target", "preview", "--background", path, "-o", (p.dir / "x.png").string()}),
                  "kalvero-cli: cannot load the picture " + path + ": " + reason->second + "\n");
    }
}

TEST(BadInput, AProfileTooLargeForAnyPictureStartsWhenTheUserAccepts) {
    // Both sizes are beyond what a picture may have: the preview stays empty.
    fs::path dir = testsupport::tempPath("kalvero-bad-huge-profile");
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::create_directory_symlink(fs::path(KALVERO_TEST_DATA) / "fonts" / "includes", dir / "includes");
    std::string ini = kIni;
    ini.replace(ini.find("720|576"), 7, "30000|30000");
    ASSERT_TRUE(files::writeFileAtomic((dir / "Kalvero.ini").string(), ini));
    AppState state;
    state.programDir = dir.string() + "/";
    FakeUi ui;
    ui.setDesktopSize(2560, 1600);
    ui.yesNoAnswers = {true, true, true};
    Controller controller(state, ui);
    ASSERT_TRUE(controller.prepare((dir / "kalvero").string(), dir.string()));
    ui.buildMainWindow();
    controller.windowBuilt();
    EXPECT_EQ(state.projectWidth, 30000);
    ui.setText(ctl::LineA, "Hello");
    controller.dispatch(ui.eventFor(ctl::LineA, SubKind::Changed));
    fs::remove_all(dir);
}
