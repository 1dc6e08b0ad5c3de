#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

#include "cli/Cli.h"
#include "io/Files.h"
#include "project/ProjectFile.h"
#include "project/SubtitleList.h"

namespace fs = std::filesystem;

namespace {

// A movie made by the ffmpeg tool with cuts at frames 40, 75 and 125 (25 fps).
class SnapCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("kalvero-snap-" + std::to_string(rd()));
        fs::create_directories(dir_);
        hasFfmpeg_ = std::system("ffmpeg -version > /dev/null 2>&1") == 0;
        if (!hasFfmpeg_) return;
        const std::string cmd =
            "ffmpeg -v error -y -filter_complex \""
            "color=c=red:s=160x120:r=25:d=1.6,format=yuv420p[a];"
            "color=c=blue:s=160x120:r=25:d=1.4,format=yuv420p[b];"
            "testsrc=s=160x120:r=25:d=2,format=yuv420p[c];"
            "color=c=green:s=160x120:r=25:d=1.4,format=yuv420p[d];"
            "[a][b][c][d]concat=n=4:v=1:a=0\" -c:v mpeg4 -q:v 3 " +
            (dir_ / "cuts.avi").string();
        made_ = std::system(cmd.c_str()) == 0;
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    void SetUp() override {
        if (!hasFfmpeg_) GTEST_SKIP() << "the ffmpeg tool is needed to make the test movie";
        // With the tool there, a movie it could not make is a fault (an encoder missing).
        ASSERT_TRUE(made_) << "ffmpeg is installed but could not make the test movie";
        fs::remove(dir_ / "cuts.avi.shots");
    }

    static std::string path(const std::string& name) { return (dir_ / name).string(); }
    int run(std::vector<std::string> args, std::string* out = nullptr, std::string* err = nullptr) {
        args.insert(args.begin(), {"--program-dir", KALVERO_BIN_DIR});
        std::ostringstream o, e;
        int code = runCli(args, o, e);
        if (out) *out = o.str();
        if (err) *err = e.str();
        return code;
    }
    static void writeProject(const std::string& name) {
        std::string p =
            "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
            "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
            "##-Number of lines/pages: 6 / 3\r\n##-Word count: 6\r\n##-User Timed Session: 0\r\n##-;\r\n";
        const char* timings[] = {"00:00:01:11>00:00:02:20", "00:00:03:03>00:00:04:20", "00:00:05:15>00:00:06:10"};
        for (int k = 0; k < 3; ++k) {
            std::string id = "000" + std::to_string(2 * k);
            p += "A" + id + "|Line " + std::to_string(k) + "|" + timings[k] + "|0+0|430\r\n";
            p += "B" + id + "|Second|" + timings[k] + "|0+0|430\r\n";
        }
        ASSERT_TRUE(files::writeFileAtomic(path(name), p));
    }
    // The ON>OFF timings of the three sets, read back as a project.
    static std::vector<std::string> timings(const std::string& name) {
        std::string content;
        EXPECT_TRUE(files::readFile(path(name), content));
        SubtitleList list;
        ProjectHeader header;
        int y = 0;
        EXPECT_EQ(parseProject(content, y, header, list), ProjectLoadStatus::Ok);
        std::vector<std::string> t;
        for (int r = 0; r < list.lineCount(); r += 2) {
            t.push_back(list.column(r, Column::Timing));
            EXPECT_EQ(list.column(r + 1, Column::Timing), t.back());
        }
        return t;
    }

    static inline fs::path dir_;
    static inline bool made_ = false, hasFfmpeg_ = false;
};

TEST_F(SnapCommandTest, TimesNearTheCutsMoveOntoThemAndTheListIsKept) {
    writeProject("in.KVL8");
    std::string out, err;
    // The detector's own log stays off the process's stderr.
    testing::internal::CaptureStderr();
    const int rc = run({"snap", path("cuts.avi"), path("in.KVL8"), "-o", path("out.KVL8")}, &out, &err);
    const std::string processErr = testing::internal::GetCapturedStderr();
    ASSERT_EQ(rc, 0) << err;
    EXPECT_EQ(processErr.find("scdet"), std::string::npos) << processErr;
    EXPECT_EQ(out, "moved 4 of 6 times onto 3 shot changes\n");
    EXPECT_EQ(timings("out.KVL8"),
              (std::vector<std::string>{"00:00:01:15>00:00:02:23", "00:00:03:00>00:00:04:23", "00:00:05:15>00:00:06:10"}));
    EXPECT_TRUE(fs::exists(path("cuts.avi.shots")));

    // No gap, and only 3 frames: the ON 4 frames before the first cut stays.
    ASSERT_EQ(run({"snap", path("cuts.avi"), path("in.KVL8"), "-o", path("gap0.KVL8"), "--gap", "0", "--within", "3"},
                  &out, &err),
              0)
        << err;
    EXPECT_EQ(out, "moved 1 of 6 times onto 3 shot changes (kept from " + path("cuts.avi") + ".shots)\n");
    EXPECT_EQ(timings("gap0.KVL8")[0], "00:00:01:11>00:00:02:20");
    EXPECT_EQ(timings("gap0.KVL8")[1], "00:00:03:00>00:00:04:20");
}

TEST_F(SnapCommandTest, TheKeptShotListIsUsed) {
    writeProject("in.KVL8");
    ASSERT_EQ(run({"snap", path("cuts.avi"), path("in.KVL8"), "-o", path("a.KVL8")}), 0);
    // A kept list with one more change at frame 155 (6.2 s): it is read, not detected again.
    std::string kept;
    ASSERT_TRUE(files::readFile(path("cuts.avi.shots"), kept));
    ASSERT_TRUE(files::writeFileAtomic(path("cuts.avi.shots"), kept + "6.200000\n"));
    std::string out;
    ASSERT_EQ(run({"snap", path("cuts.avi"), path("in.KVL8"), "-o", path("b.KVL8")}, &out), 0);
    EXPECT_EQ(out, "moved 5 of 6 times onto 4 shot changes (kept from " + path("cuts.avi") + ".shots)\n");
    EXPECT_EQ(timings("b.KVL8")[2], "00:00:05:15>00:00:06:03");  // the OFF 2 before the added change
}

TEST_F(SnapCommandTest, BadInputIsReported) {
    writeProject("in.KVL8");
    std::string err;
    EXPECT_EQ(run({"snap", path("none.avi"), path("in.KVL8"), "-o", path("x.KVL8")}, nullptr, &err), 1);
    EXPECT_NE(err.find("none.avi"), std::string::npos);
    ASSERT_TRUE(files::writeFileAtomic(path("text.avi"), "this is no movie\n"));
    EXPECT_EQ(run({"snap", path("text.avi"), path("in.KVL8"), "-o", path("x.KVL8")}, nullptr, &err), 1);
    EXPECT_NE(err.find("cannot look for shot changes"), std::string::npos);
    EXPECT_FALSE(fs::exists(path("x.KVL8")));
    EXPECT_EQ(run({"snap", path("cuts.avi"), path("in.KVL8")}, nullptr, &err), 2);
    EXPECT_EQ(run({"snap", path("cuts.avi"), path("in.KVL8"), "-o", path("x.KVL8"), "--within", "-1"}), 2);
}

}  // namespace
