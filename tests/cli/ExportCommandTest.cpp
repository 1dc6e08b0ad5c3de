#include <gtest/gtest.h>

#include "TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli/CliFixture.h"
#include "movie_reader.h"
#include "io/Files.h"
#include "io/ImageCodecs.h"

namespace fs = std::filesystem;

namespace {

using ExportRun = CliRun;

class CliExportTest : public CliFolderTest {
protected:
    void SetUp() override {
        CliFolderTest::SetUp();
        project = (dir / "demo.KVL8").string();
        ASSERT_TRUE(files::writeFileAtomic(
            project,
            "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
            "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
            "##-Number of lines/pages: 4 / 2\r\n##-Word count: 4\r\n##-User Timed Session: 0\r\n##-;\r\n"
            "A0000|Hello|00:00:01:00>00:00:04:12||430\r\n"
            "B0000|there|00:00:01:00>00:00:04:12||430\r\n"
            "A0002|Good|00:00:05:00>00:00:07:00||300\r\n"
            "B0002|bye|00:00:05:00>00:00:07:00||300\r\n"));
    }
    static int lines(const std::string& s) { return int(std::count(s.begin(), s.end(), '\n')); }

    std::string project;
};

}  // namespace

TEST_F(CliExportTest, PngSequenceMatchesTheRenderOfEachSet) {
    ExportRun r = run({"export", "png", project});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string folder = (dir / "PNG_Output").string() + "/";
    EXPECT_EQ(r.out, "exported 2 pictures into " + folder + "\n");
    EXPECT_EQ(r.err, "");  // no terminal, no progress line
    EXPECT_EQ(testsupport::filesIn(folder),
              (std::vector<std::string>{"demo.xml", "demo0001.png", "demo0002.png", "demo_timing.csv"}));

    // The walk through the window and the one-set renderer agree.
    for (int k : {1, 2}) {
        const std::string single = (dir / ("single" + std::to_string(k) + ".png")).string();
        ExportRun one = run({"render", project, "--set", std::to_string(k), "--target", "alpha", "-o", single});
        ASSERT_EQ(one.code, 0) << one.err;
        EXPECT_TRUE(testsupport::samePixels(testsupport::decodeFile(folder + "demo000" + std::to_string(k) + ".png"), testsupport::decodeFile(single))) << k;
    }
}

TEST_F(CliExportTest, IffExportWritesTheScalaFilesAndTheWholeSecondNote) {
    ExportRun r = run({"export", "iff", project, "--scala", "3"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(testsupport::filesIn(dir / "IFF-SCALA_Output"),
              (std::vector<std::string>{".kalvero-names", "demo.script", "demo0001.iff", "demo0002.iff",
                                        "demo_poster.iff"}));
    EXPECT_EQ(lines(r.err), 1);
    EXPECT_NE(r.err.find("Info: Please note that this version of Scala does not support"), std::string::npos) << r.err;
    std::string script;
    ASSERT_TRUE(files::readFile((dir / "IFF-SCALA_Output" / "demo.script").string(), script));
    EXPECT_EQ(script.substr(0, 5), "V2.0\n");
    EXPECT_NE(script.find("EVENT Slide00002/00002\nPICTURE \"demo0002.iff\"\nPAUSE 2\n"), std::string::npos);

    r = run({"export", "iff", project});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
}

TEST_F(CliExportTest, CaptureTakesTheSetOfTheRow) {
    ExportRun r = run({"capture", project, "--row", "3"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string path = (dir / "Capture_Output" / "demo_0002.png").string();
    EXPECT_EQ(r.out, "captured " + path + "\n");
    const std::string single = (dir / "single.png").string();
    ASSERT_EQ(run({"render", project, "--set", "2", "--target", "alpha", "-o", single}).code, 0);
    EXPECT_TRUE(testsupport::samePixels(testsupport::decodeFile(path), testsupport::decodeFile(single)));

    r = run({"capture", project, "--row", "4"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(lines(r.err), 1);
    EXPECT_NE(r.err.find("no row 4"), std::string::npos) << r.err;
}

TEST_F(CliExportTest, UsageErrorsExitWithTwo) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"export"},
             {"export", "png"},
             {"export", "gif", project},
             {"export", "png", project, "--scala", "1"},
             {"export", "iff", project, "--scala", "4"},
             {"export", "png", project, "--codec", "ffv1"},
             {"export", "avi", project, "--codec", "nope"},
             {"export", "avi", project, "--quality", "50"},  // uncompressed has no quality
             {"export", "avi", project, "--codec", "mjpeg", "--quality", "0"},
             {"export", "avi", project, "--scala", "1"},
             {"capture"},
             {"capture", project, "--row", "x"}}) {
        ExportRun r = run(args);
        EXPECT_EQ(r.code, 2) << args.size() << " " << r.err;
    }
}

TEST_F(CliExportTest, FailuresExitWithOneAndOneLine) {
    // Missing and damaged projects.
    ExportRun r = run({"export", "png", (dir / "none.KVL8").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(lines(r.err), 1);
    ASSERT_TRUE(files::writeFileAtomic((dir / "bad.KVL8").string(), "no project"));
    r = run({"export", "png", (dir / "bad.KVL8").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("bad.KVL8"), std::string::npos) << r.err;

    // A file where the output folder should be.
    ASSERT_TRUE(files::writeFileAtomic((dir / "PNG_Output").string(), "x"));
    r = run({"export", "png", project});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("PNG_Output"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(CliExportTest, AviMovieHasTheTimedFramesOfTheWindowsExport) {
    ExportRun r = run({"export", "avi", project, "--codec", "ffv1"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string movie = (dir / "AVI_Output" / "demo_subtitles.avi").string();
    // 1 s blank, set 1 until 4:12, 13 frames blank, set 2 from 5 s to 7 s.
    EXPECT_EQ(r.out, "exported 175 frames into " + movie + "\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(testsupport::filesIn(dir / "AVI_Output"), std::vector<std::string>{"demo_subtitles.avi"});
    EXPECT_FALSE(fs::exists(dir / "Temp_Output"));

    DecodedMovie m = decodeMovie(movie);
    ASSERT_EQ(m.error, "");
    EXPECT_EQ(m.codec, AV_CODEC_ID_FFV1);
    EXPECT_EQ(m.rFrameRate.num, 25);
    ASSERT_EQ(m.frames.size(), 175u);
    auto rgbOf = [](const Image& img) {
        std::vector<uint8_t> rgb;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) rgb.insert(rgb.end(), img.pixel(x, y), img.pixel(x, y) + 3);
        return rgb;
    };
    for (int k : {1, 2}) {
        const std::string single = (dir / ("color" + std::to_string(k) + ".png")).string();
        ExportRun one = run({"render", project, "--set", std::to_string(k), "--target", "color", "-o", single});
        ASSERT_EQ(one.code, 0) << one.err;
        const std::vector<uint8_t> want = rgbOf(testsupport::decodeFile(single));
        for (int i : k == 1 ? std::vector<int>{25, 111} : std::vector<int>{125, 174})
            EXPECT_TRUE(m.frames[size_t(i)] == want) << "set " << k << " frame " << i;
    }
    EXPECT_TRUE(m.frames[0] == m.frames[24]);
    EXPECT_TRUE(m.frames[0] == m.frames[112]);
    EXPECT_FALSE(m.frames[0] == m.frames[25]);

    // A file where the movie folder should be: one line, exit 1.
    fs::remove_all(dir / "AVI_Output");
    ASSERT_TRUE(files::writeFileAtomic((dir / "AVI_Output").string(), "x"));
    r = run({"export", "avi", project});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("demo_subtitles.avi"), std::string::npos) << r.err;
}

TEST_F(CliExportTest, APresetBlendOf255ReachesTheExportAsTheRenderDoes) {
    // A program folder whose preset 0 has strips at blend 255 (which the
    // window's slider cannot reach, only a preset).
    const fs::path program = dir / "program";
    fs::create_directories(program);
    std::string ini;
    ASSERT_TRUE(files::readFile(std::string(KALVERO_BIN_DIR) + "/Kalvero.ini", ini));
    const std::string from = "Preset = Rental Video Black Bars|0,0,0|1|0|254|";
    ASSERT_NE(ini.find(from), std::string::npos);
    ini.replace(ini.find(from), from.size(), "Preset = Rental Video Black Bars|0,0,0|1|0|255|");
    ASSERT_TRUE(files::writeFileAtomic((program / "Kalvero.ini").string(), ini));
    fs::create_directory_symlink(fs::path(KALVERO_BIN_DIR) / "includes", program / "includes");

    auto runIn = [&](std::vector<std::string> args) { return runCliWith(program.string(), std::move(args)); };
    ExportRun r = runIn({"export", "png", project});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string single = (dir / "single.png").string();
    ExportRun one = runIn({"render", project, "--set", "1", "--target", "alpha", "-o", single});
    ASSERT_EQ(one.code, 0) << one.err;

    Image exported = testsupport::decodeFile((dir / "PNG_Output" / "demo0001.png").string());
    Image rendered = testsupport::decodeFile(single);
    EXPECT_TRUE(testsupport::samePixels(exported, rendered));
    int maxAlpha = 0;
    for (int y = 0; y < exported.height(); ++y)
        for (int x = 0; x < exported.width(); ++x) maxAlpha = std::max<int>(maxAlpha, exported.pixel(x, y)[3]);
    EXPECT_EQ(maxAlpha, 255);
}

// A list out of time order: the IFF run says before it starts which set it
// leaves out and why, writes no picture for it, and names it again at the end;
// the SubRip track keeps every set, in time order.
TEST_F(CliExportTest, ListOrderedAndTimedExportsOfAListOutOfTimeOrder) {
    std::string text;
    ASSERT_TRUE(files::readFile(project, text));
    text += "A0004|Early|00:00:00:10>00:00:00:20||430\r\nB0004|one|00:00:00:10>00:00:00:20||430\r\n";
    ASSERT_TRUE(files::writeFileAtomic(project, text));

    ExportRun r = run({"export", "iff", project});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "kalvero-cli: Warning!: 1 set left out: 3 (starts before a set above it). Please check their "
                     "time codes.\nkalvero-cli: note: 1 set left out: 3 (starts before a set above it)\n");
    const std::vector<std::string> files = testsupport::filesIn(dir / "IFF-SCALA_Output");
    EXPECT_NE(std::find(files.begin(), files.end(), "demo0002.iff"), files.end());
    EXPECT_EQ(std::find(files.begin(), files.end(), "demo0003.iff"), files.end());

    r = run({"export", "srt", project});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string srt;
    ASSERT_TRUE(files::readFile((dir / "SRT_Output" / "demo.srt").string(), srt));
    EXPECT_LT(srt.find("Early"), srt.find("Hello"));
    EXPECT_LT(srt.find("Hello"), srt.find("Good"));
}
