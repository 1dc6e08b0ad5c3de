#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/CliFixture.h"
#include "io/Files.h"
#include "settings/StyleParams.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {
class CliTest : public CliFolderTest {
protected:
    // Everything but the date line.
    static std::string withoutDate(const std::string& s) {
        size_t a = s.find("##-Date Written:");
        size_t b = s.find("\r\n", a);
        return s.substr(0, a) + s.substr(b);
    }
};
}  // namespace

TEST_F(CliTest, ImportSrtWritesWhatImportAndSaveWrite) {
    write("in.srt", "1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\n\r\n2\r\n00:00:03,000 --> 00:00:04,000\r\nGood\r\nbye\r\n");
    CliRun r = run({"import-srt", path("in.srt"), "-o", path("out.KVL8")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(withoutDate(read("out.KVL8")),
              "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n"
              "##-Resolution Width: 720\r\n"
              "##-Resolution Height: 576\r\n"
              "##-Profile: 1\r\n"
              "##-Preset: 0\r\n"
              "\r\n"
              "##-Number of lines/pages: 4 / 2\r\n"
              "##-Word count: 3\r\n"
              "##-User Timed Session: 0\r\n"
              "##-;\r\n"
              "A0000||00:00:01:00>00:00:02:12|25+37|430\r\n"
              "B0000|Hello|00:00:01:00>00:00:02:12|25+37|430\r\n"
              "A0002|Good|00:00:03:00>00:00:04:00|13+25|430\r\n"
              "B0002|bye|00:00:03:00>00:00:04:00|13+25|430\r\n");
    EXPECT_EQ(r.err, "");

    // NTSC profile: 29.97 fps, its own size and Y.
    r = run({"import-srt", path("in.srt"), "-o", path("ntsc.KVL8"), "--profile", "2", "--preset", "3"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string ntsc = read("ntsc.KVL8");
    EXPECT_NE(ntsc.find("##-Resolution Height: 480\r\n##-Profile: 2\r\n##-Preset: 3\r\n"), std::string::npos);
    EXPECT_NE(ntsc.find("A0000||00:00:01:00>00:00:02:14|30+44|356\r\n"), std::string::npos);
}

TEST_F(CliTest, ImportSrtReportsUnreadableTimeLinesAndKeepsTheRest) {
    write("bad.srt", "1\n00:00:01,000 --> 00:00:02,000\nGood\n\n2\n00:00:xx,000 --> 00:00:03,000\nBad\n\n");
    CliRun r = run({"import-srt", path("bad.srt"), "-o", path("out.KVL8")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "kalvero-cli: " + path("bad.srt") + ": 1 time line could not be read; its cue was left out (line 6)\n");
    EXPECT_NE(read("out.KVL8").find("\r\nB0000|Good|00:00:01:00>00:00:02:00|"), std::string::npos);
    EXPECT_EQ(read("out.KVL8").find("Bad"), std::string::npos);
}

TEST_F(CliTest, RecalcAndInfo) {
    write("p.KVL8",
          "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
          "##-Profile: 1\r\n##-Preset: 2\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
          "##-Number of lines/pages: 9 / 9\r\n##-Word count: 0\r\n##-User Timed Session: 12\r\n##-;\r\n"
          "A0000|Hello there|00:00:01:00>00:00:02:12|1+1|420\r\n"
          "B0000|x|00:00:01:00>00:00:02:12|1+1|420\r\n"
          "A0002|||old|\r\n"
          "B0002|||old|\r\n");
    CliRun r = run({"recalc", path("p.KVL8"), "-o", path("q.KVL8")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("Script is missing timing information"), std::string::npos);
    std::string q = read("q.KVL8");
    EXPECT_NE(q.find("##-Preset: 2\r\n"), std::string::npos);
    EXPECT_NE(q.find("##-Number of lines/pages: 4 / 2\r\n##-Word count: 3\r\n##-User Timed Session: 12\r\n"),
              std::string::npos);
    EXPECT_NE(q.find("A0000|Hello there|00:00:01:00>00:00:02:12|25+37|420\r\n"), std::string::npos);
    EXPECT_NE(q.find("A0002|||old|0\r\n"), std::string::npos);  // empty Y: the previous load's first Y (none yet)

    r = run({"info", path("q.KVL8")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "width: 720\nheight: 576\nfps: 25\nprofile: 1\npreset: 2\nrows: 4\npages: 2\nwords: 3\nsets: 2\nmissing: 1\n");
}

TEST_F(CliTest, ErrorsAndUsage) {
    EXPECT_EQ(run({}).code, 2);
    EXPECT_EQ(run({"frobnicate"}).code, 2);
    EXPECT_EQ(run({"info"}).code, 2);
    EXPECT_EQ(run({"import-srt", path("x.srt")}).code, 2);  // no -o
    EXPECT_EQ(run({"info", path("p.KVL8"), "--bogus"}).code, 2);

    CliRun r = run({"info", path("missing.KVL8")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("cannot read"), std::string::npos);

    write("bad.KVL8", "##-KVL8 project: v1\r\n");
    r = run({"info", path("bad.KVL8")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("not a Kalvero project file"), std::string::npos);

    write("in.srt", "1\n00:00:01,000 --> 00:00:02,000\nHi\n\n");
    EXPECT_EQ(run({"import-srt", path("in.srt"), "-o", path("o.KVL8"), "--profile", "0"}).code, 2);  // separator
    EXPECT_EQ(run({"import-srt", path("in.srt"), "-o", path("o.KVL8"), "--preset", "99"}).code, 2);
    EXPECT_EQ(run({"import-srt", path("in.srt"), "-o", path("o.KVL8"), "--preset", "x"}).code, 2);
    EXPECT_FALSE(fs::exists(path("o.KVL8")));

    write("empty.srt", "not subrip\n");
    r = run({"import-srt", path("empty.srt"), "-o", path("o.KVL8")});
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(fs::exists(path("o.KVL8")));

    // Unwritable output: clear message, nothing half-written.
    r = run({"import-srt", path("in.srt"), "-o", path("no/such/folder/o.KVL8")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos);

    // A missing settings file.
    std::ostringstream out, err;
    EXPECT_EQ(runCli({"--program-dir", dir.string(), "info", path("x.KVL8")}, out, err), 1);
    EXPECT_NE(err.str().find("settings file"), std::string::npos);
}

// render's style options take the ranges of the preset fields they override.
TEST_F(CliTest, RenderStyleOptionsTakeTheDeclaredRanges) {
    for (const PresetParam& p : presetParams()) {
        if (std::string(p.option).empty() || p.kind != ParamKind::Number) continue;
        for (int value : {p.min - 1, p.max + 1}) {
            CliRun r = run({"render", "--line-a", "A", p.option, std::to_string(value), "-o", path("x.png")});
            EXPECT_EQ(r.code, 2) << p.option << " " << value;
            EXPECT_EQ(r.err, "kalvero-cli: " + std::string(p.option) + " must be between " + std::to_string(p.min) +
                                 " and " + std::to_string(p.max) + "\n");
        }
        CliRun r = run({"render", "--line-a", "A", p.option, std::to_string(p.max), "-o", path("x.png")});
        EXPECT_EQ(r.code, 0) << p.option << ": " << r.err;
    }
}
