// The editing commands of kalvero-cli on project files, each output read
// back as text rows (and through `info`, which reads it as Open does).
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "TestSupport.h"
#include "cli/CliFixture.h"
#include "io/Files.h"

namespace fs = std::filesystem;

namespace {

using Outcome = CliRun;

// A project file: header for a profile, then "id|text|timing|offon|y" rows.
std::string project(int profile, int width, int height, const std::vector<std::string>& rows) {
    std::string s = "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: " + std::to_string(width) +
                    "\r\n##-Resolution Height: " + std::to_string(height) + "\r\n##-Profile: " +
                    std::to_string(profile) +
                    "\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
                    "##-Number of lines/pages: 0 / 0\r\n##-Word count: 0\r\n##-User Timed Session: 0\r\n##-;\r\n";
    for (const std::string& r : rows) s += r + "\r\n";
    return s;
}

// Sets as rows of one line (B) each: {text, timing} at Y 430.
std::string palProject(const std::vector<std::pair<std::string, std::string>>& sets) {
    std::vector<std::string> rows;
    for (size_t k = 0; k < sets.size(); ++k) {
        const std::string n = std::to_string(2 * k);
        const std::string id = std::string(4 - std::min<size_t>(4, n.size()), '0') + n;
        rows.push_back("A" + id + "||" + sets[k].second + "||430");
        rows.push_back("B" + id + "|" + sets[k].first + "|" + sets[k].second + "||430");
    }
    return project(1, 720, 576, rows);
}

class EditCommands : public CliFolderTest {
protected:
    // The rows of a project file (after its ten header lines).
    std::vector<std::string> rows(const std::string& name) {
        std::string s;
        EXPECT_TRUE(files::readFile(path(name), s));
        std::vector<std::string> lines;
        for (size_t at = 0, n = 0; at < s.size(); ++n) {
            const size_t end = s.find("\r\n", at);
            if (n >= 10) lines.push_back(s.substr(at, end - at));
            at = end == std::string::npos ? s.size() : end + 2;
        }
        return lines;
    }
    std::string header(const std::string& name) {
        std::string s;
        EXPECT_TRUE(files::readFile(path(name), s));
        return s.substr(0, s.find("##-;"));
    }
};

}  // namespace

TEST_F(EditCommands, ShiftByFramesAndToATimeCode) {
    write("in.KVL8", palProject({{"One", "00:00:01:00>00:00:02:00"}, {"Two", "00:00:03:00>00:00:04:10"},
                                 {"Three", "00:00:05:00>00:00:06:00"}}));
    Outcome r = run({"shift", path("in.KVL8"), "-o", path("a.KVL8"), "--frames", "30", "--sets", "2-3"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "shifted 2 sets into " + path("a.KVL8") + "\n");
    EXPECT_EQ(rows("a.KVL8"), (std::vector<std::string>{
                                  "A0000||00:00:01:00>00:00:02:00|25+25|430", "B0000|One|00:00:01:00>00:00:02:00|25+25|430",
                                  "A0002||00:00:04:05>00:00:05:15|55+35|430", "B0002|Two|00:00:04:05>00:00:05:15|55+35|430",
                                  "A0004||00:00:06:05>00:00:07:05|15+25|430", "B0004|Three|00:00:06:05>00:00:07:05|15+25|430"}));

    r = run({"shift", path("in.KVL8"), "-o", path("b.KVL8"), "--to", "10:00:00:00"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(rows("b.KVL8")[5], "B0004|Three|10:00:04:00>10:00:05:00|15+25|430");
}

TEST_F(EditCommands, ShiftRefusalsWriteNothing) {
    write("in.KVL8", palProject({{"One", "00:00:01:00>00:00:02:00"}, {"Two", "00:00:03:00>00:00:04:10"}}));
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* err;
    } cases[] = {
        {{"--frames", "-26"}, 1, "set 1: its ON 00:00:01:00 would go before 00:00:00:00 (to -00:00:00:01); nothing was shifted"},
        {{"--to", "23:59:59:00", "--sets", "1"}, 1, "set 1: its OFF 00:00:02:00 would go past 23:59:59:24"},
        {{"--frames", "1", "--sets", "2-3"}, 1, "the range of sets 2-3 goes past the last set (2)"},
        {{"--frames", "1", "--sets", "two"}, 1, "\"two\" is not a range of sets"},
        {{"--to", "00:00:61:00"}, 2, "--to: \"00:00:61:00\" is not a time code"},
        {{"--to", "00:00:01:25"}, 2, "frames to 24 at 25 fps"},
        {{"--frames", "1", "--to", "00:00:01:00"}, 2, "either --frames N or --to HH:MM:SS:FF"},
        {{}, 2, "either --frames N or --to HH:MM:SS:FF"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"shift", path("in.KVL8"), "-o", path("out.KVL8")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Outcome r = run(args);
        EXPECT_EQ(r.code, c.code) << c.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(path("out.KVL8"))) << c.err;
    }
}

TEST_F(EditCommands, ConvertRateFilmToPalBothWays) {
    // Profile 9: 1920x1080 at 23.976; profile 1: 720x576 at 25.
    write("film.KVL8", project(9, 1920, 1080,
                               {"A0000|Hi|00:01:00:11>01:00:00:00||810", "B0000|there|00:01:00:11>01:00:00:00||810"}));
    Outcome r = run({"convert-rate", path("film.KVL8"), "-o", path("pal.KVL8"), "--profile", "1", "--keep", "time"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "converted 1 set from 23.976 to 25 fps (keeping time) into " + path("pal.KVL8") + "\n");
    // 810 * 576 / 1080 = 432.
    EXPECT_EQ(rows("pal.KVL8")[0], "A0000|Hi|00:01:00:12>01:00:00:00|1512+88488|432");
    EXPECT_NE(header("pal.KVL8").find("Width: 720\r\n##-Resolution Height: 576\r\n##-Profile: 1\r\n"), std::string::npos);

    r = run({"convert-rate", path("pal.KVL8"), "-o", path("back.KVL8"), "--profile", "9", "--keep", "time"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(rows("back.KVL8")[1], "B0000|there|00:01:00:11>01:00:00:00|1450+84864|810");

    r = run({"convert-rate", path("film.KVL8"), "-o", path("fast.KVL8"), "--profile", "1", "--keep", "frames"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(rows("fast.KVL8")[0], "A0000|Hi|00:00:58:00>00:57:32:14|1450+84864|432");

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--profile", "99", "--keep", "time"}, {"--profile", "0", "--keep", "time"},
          {"--profile", "1", "--keep", "speed"}, {"--keep", "time"}}) {
        std::vector<std::string> args = {"convert-rate", path("film.KVL8"), "-o", path("no.KVL8")};
        args.insert(args.end(), bad.begin(), bad.end());
        r = run(args);
        EXPECT_EQ(r.code, 2) << r.err;
        EXPECT_FALSE(fs::exists(path("no.KVL8")));
    }
}

TEST_F(EditCommands, ImportTextWithWindowsLineEndsAndAMark) {
    write("in.txt", "\xEF\xBB\xBFHello\r\n\r\nCaf\xC3\xA9 au lait\r\nfor two\r\n");
    Outcome r = run({"import-text", path("in.txt"), "-o", path("out.KVL8"), "--profile", "2"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "imported 2 sets without times into " + path("out.KVL8") + "\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(rows("out.KVL8"), (std::vector<std::string>{"A0000||||356", "B0000|Hello|||356",
                                                          "A0002|Caf\xE9 au lait|||356", "B0002|for two|||356"}));
    r = run({"info", path("out.KVL8")});
    EXPECT_NE(r.out.find("sets: 2\nmissing: 2\n"), std::string::npos) << r.out;

    write("picture.txt", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
    r = run({"import-text", path("picture.txt"), "-o", path("bad.KVL8")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "kalvero-cli: " + path("picture.txt") + ": this is not a text file (it holds NUL bytes)\n");
    EXPECT_FALSE(fs::exists(path("bad.KVL8")));
}

TEST_F(EditCommands, MergeSrtPairsTwoLanguages) {
    write("en.srt", "1\n00:00:01,000 --> 00:00:03,000\nHello\nthere\n\n2\n00:00:05,000 --> 00:00:06,000\nAlone\n");
    write("de.srt", "1\r\n00:00:01,200 --> 00:00:03,400\r\nHallo\r\n");
    Outcome r = run({"merge-srt", path("en.srt"), path("de.srt"), "-o", path("out.KVL8")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "merged 1 pair, 1 top line alone and 0 bottom lines alone into " + path("out.KVL8") + "\n");
    EXPECT_EQ(rows("out.KVL8"), (std::vector<std::string>{
                                    "A0000|Hello there|00:00:01:00>00:00:03:10|25+60|430",
                                    "B0000|Hallo|00:00:01:00>00:00:03:10|25+60|430",
                                    "A0002|Alone|00:00:05:00>00:00:06:00|40+25|430",
                                    "B0002||00:00:05:00>00:00:06:00|40+25|430"}));
    write("none.srt", "no cues here\n");
    r = run({"merge-srt", path("en.srt"), path("none.srt"), "-o", path("no.KVL8")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("the second file holds no SubRip cue (" + path("none.srt") + ")"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(path("no.KVL8")));
}

TEST_F(EditCommands, ReplaceCountsAndRefusesBadExpressions) {
    write("in.KVL8", project(1, 720, 576,
                             {"A0000|the quick|00:00:01:00>00:00:02:00||430", "B0000|brown fox|00:00:01:00>00:00:02:00||430",
                              "A0002|caf\xE9|00:00:03:00>00:00:04:00||430", "B0002|Quick|00:00:03:00>00:00:04:00||430"}));
    Outcome r = run({"replace", path("in.KVL8"), "-o", path("a.KVL8"), "--find", "quick brown", "--with", "slow red"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "replaced 1 in 1 set into " + path("a.KVL8") + "\n");
    EXPECT_EQ(rows("a.KVL8")[0], "A0000|the slow|00:00:01:00>00:00:02:00|25+25|430");
    EXPECT_EQ(rows("a.KVL8")[1], "B0000|red fox|00:00:01:00>00:00:02:00|25+25|430");

    // UTF-8 on the command line, Windows-1252 in the project; an expression over the break.
    r = run({"replace", path("in.KVL8"), "-o", path("b.KVL8"), "--find", "caf\xC3\xA9\\n(\\w+)", "--with", "$1 tea",
             "--regex"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "replaced 1 in 1 set into " + path("b.KVL8") + "\n");
    EXPECT_EQ(rows("b.KVL8")[2], "A0002||00:00:03:00>00:00:04:00|25+25|430");
    EXPECT_EQ(rows("b.KVL8")[3], "B0002|Quick tea|00:00:03:00>00:00:04:00|25+25|430");

    r = run({"replace", path("in.KVL8"), "-o", path("c.KVL8"), "--find", "QUICK", "--with", "fast", "--ignore-case",
             "--whole-word"});
    EXPECT_EQ(r.out, "replaced 2 in 2 sets into " + path("c.KVL8") + "\n");

    for (const char* bad : {"", "(x", "[a-"}) {
        r = run({"replace", path("in.KVL8"), "-o", path("no.KVL8"), "--find", bad, "--with", "x", "--regex"});
        EXPECT_EQ(r.code, 1) << bad;
        EXPECT_NE(r.err.find(*bad ? "does not compile" : "the search text is empty"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(path("no.KVL8")));
    }
}

TEST_F(EditCommands, CheckListsFindingsAndExitsThree) {
    write("bad.KVL8", palProject({{"Fine", "00:00:01:00>00:00:03:00"},
                                  {"Overlapping", "00:00:04:00>00:00:06:05"},
                                  {"Too quick for anybody to read", "00:00:06:00>00:00:06:10"},
                                  {std::string(80, 'W'), "00:00:08:00>00:00:11:00"},
                                  {"Bell\x01", ""}}));
    Outcome r = run({"check", path("bad.KVL8")});
    EXPECT_EQ(r.code, 3) << r.err;
    EXPECT_EQ(r.out,
              "set 2: overlap: ends at 00:00:06:05, after set 3 starts at 00:00:06:00\n"
              "set 3: short: shown for 10 frames, fewer than 20\n"
              "set 3: speed: 72.5 characters per second (29 in 0.40 s), more than 17\n"
              "set 4: speed: 26.7 characters per second (80 in 3.00 s), more than 17\n"
              "set 4: width: line B is " +
                  r.out.substr(r.out.find("line B is ") + 10, r.out.find(" px wide") - r.out.find("line B is ") - 10) +
                  " px wide, more than the 90% safe area (648 px)\n"
                  "set 5: missing: no ON and no OFF time code\n"
                  "set 5: glyph: the font sheet has no control character (01)\n");

    r = run({"check", path("bad.KVL8"), "--max-cps", "100", "--min-frames", "5", "--safe-area", "100"});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.out.find("speed"), std::string::npos);
    EXPECT_EQ(r.out.find("short"), std::string::npos);

    write("good.KVL8", palProject({{"Fine", "00:00:01:00>00:00:03:00"}, {"Also fine", "00:00:04:00>00:00:06:00"}}));
    r = run({"check", path("good.KVL8")});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "");

    r = run({"check", path("good.KVL8"), "--lang", "xx_XX"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("--lang: there is no spelling dictionary for \"xx_XX\""), std::string::npos) << r.err;
    write("typo.KVL8", palProject({{"I recieve it", "00:00:01:00>00:00:03:00"}}));
    r = run({"check", path("typo.KVL8"), "--lang", "en_US"});
    if (r.err.find("no spelling dictionary") == std::string::npos) {
        EXPECT_EQ(r.code, 3) << r.err;
        EXPECT_EQ(r.out.rfind("set 1: spelling: \"recieve\" (suggestions: receive", 0), 0u) << r.out;
    }

    EXPECT_EQ(run({"check", path("missing.KVL8")}).code, 1);
    EXPECT_EQ(run({"check", path("good.KVL8"), "--safe-area", "5"}).code, 2);
}
