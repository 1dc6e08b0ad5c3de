// Caption files through kalvero-cli: every file the export writes is read by
// FFmpeg's own scc demuxer and closed-caption decoder ("ffmpeg -i x.scc
// x.srt"), then imported back with import-scc.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "base/Cp1252.h"
#include "base/Text.h"
#include "cli/CliFixture.h"
#include "io/Files.h"
#include "project/BroadcastTiming.h"
#include "project/ProjectFile.h"
#include "project/SubtitleSet.h"

namespace fs = std::filesystem;

namespace {

using SccRun = CliRun;

struct Cue {
    double start = 0, end = 0;  // seconds
    std::vector<std::string> rows;
};

// Basic characters, special ones (è, ô, the note), extended ones (À, Ö, ß),
// a euro sign the captions lack, a line longer than a row, a one-line set,
// an untimed set, and two sets too close for the second to be loaded in time.
std::string projectText(int profile) {
    return "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 480\r\n"
           "##-Profile: " + std::to_string(profile) +
           "\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
           "##-Number of lines/pages: 12 / 6\r\n##-Word count: 4\r\n##-User Timed Session: 0\r\n##-;\r\n"
           "A0000|Caf\xE9 cr\xE8me|00:00:03:00>00:00:05:12||356\r\n"
           "B0000|\xC0 bient\xF4t, \xD6l und Stra\xDF" "e|00:00:03:00>00:00:05:12||356\r\n"
           "A0002||00:00:08:00>00:00:10:00||100\r\n"
           "B0002|Only fifty \x80|00:00:08:00>00:00:10:00||100\r\n"
           "A0004|A line much longer than the thirty-two columns of a row|00:00:20:10>00:00:23:00||356\r\n"
           "B0004|and its end|00:00:20:10>00:00:23:00||356\r\n"
           "A0006|Untimed||||356\r\n"
           "B0006|set||||356\r\n"
           "A0008|First|00:00:30:00>00:00:30:05||356\r\n"
           "B0008|quick|00:00:30:00>00:00:30:05||356\r\n"
           "A0010|Second right|00:00:30:10>00:00:33:00||356\r\n"
           "B0010|after it|00:00:30:10>00:00:33:00||356\r\n";
}

class SccCliTest : public CliFolderTest {
protected:

    // FFmpeg's reading of a caption file as SubRip cues.
    std::vector<Cue> ffmpegCues(const std::string& scc) {
        const std::string srt = path("ffmpeg.srt");
        const std::string cmd = "ffmpeg -v error -y -i '" + scc + "' '" + srt + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        std::string text;
        EXPECT_TRUE(files::readFile(srt, text));
        std::vector<Cue> cues;
        auto seconds = [](const std::string& t) {
            return std::stoi(t.substr(0, 2)) * 3600.0 + std::stoi(t.substr(3, 2)) * 60.0 + std::stoi(t.substr(6, 2)) +
                   std::stoi(t.substr(9, 3)) / 1000.0;
        };
        const std::vector<std::string> lines = text::splitLines(text);
        for (size_t i = 0; i < lines.size(); ++i) {
            std::string line = text::trimWhitespace(lines[i]);
            if (line.find(" --> ") != std::string::npos) {
                cues.push_back({seconds(line.substr(0, 12)), seconds(line.substr(17, 12)), {}});
                continue;
            }
            const bool index = i + 1 < lines.size() && lines[i + 1].find(" --> ") != std::string::npos;
            if (line.empty() || index || cues.empty()) continue;
            // The decoder's styling: a monospace font, top-left anchoring and
            // hard spaces for the columns before the text.
            line = text::replaceAll(text::replaceAll(line, "<font face=\"Monospace\">", ""), "</font>", "");
            line = text::replaceAll(text::replaceAll(line, "{\\an7}", ""), "\\h", "");
            cues.back().rows.push_back(line);
        }
        return cues;
    }

};

// The time a drop-frame label of 29.97 frame `n` names (its hours, minutes
// and seconds and frames of 1/30 s): the first minute of each ten has 1800
// labels, the other nine skip labels 00 and 01.
double labelSeconds(long long n) {
    const long long tens = n / 17982, r = n % 17982;
    long long minute = 0, f = r;
    if (r >= 1800) {
        minute = 1 + (r - 1800) / 1798;
        f = (r - 1800) % 1798 + 2;
    }
    return double(tens * 10 + minute) * 60.0 + double(f) / 30.0;
}

}  // namespace

TEST(DropFrame, LabelsOfKnownFrames) {
    const std::pair<long long, const char*> known[] = {
        {0, "00:00:00;00"},     {1799, "00:00:59;29"},  {1800, "00:01:00;02"}, {3597, "00:01:59;29"},
        {3598, "00:02:00;02"},  {17981, "00:09:59;29"}, {17982, "00:10:00;00"}, {107892, "01:00:00;00"},
        {2589407, "23:59:59;29"}};
    for (const auto& [frame, label] : known) {
        EXPECT_EQ(broadcast::dropFrameText(frame), label) << frame;
        TimeCode t;
        ASSERT_TRUE(broadcast::parseStrictTimeCode(label, 30, t));
        EXPECT_EQ(broadcast::dropFrameNumber(t), frame) << label;
    }
}

TEST_F(SccCliTest, FfmpegReadsTheCaptionsAtTheirFrames) {
    struct Case {
        int profile;
        float fps;
        bool converted;
    };
    for (const Case& c : {Case{2, 29.97f, false}, Case{1, 25.0f, true}, Case{9, 23.976f, true}}) {
        SCOPED_TRACE(c.profile);
        const std::string project = path("demo.KVL8");
        ASSERT_TRUE(files::writeFileAtomic(project, projectText(c.profile)));
        const SccRun r = run({"export", "scc", project});
        ASSERT_EQ(r.code, 0) << r.err;
        const std::string scc = path("SCC_Output/demo.scc");
        EXPECT_EQ(r.out, "exported 5 subtitles into " + scc + "\n");
        EXPECT_NE(r.err.find(" (no ON or OFF time code)."), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("1 character the caption set lacks became the nearest it has: \xE2\x82\xAC"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("1 line is longer than 32 characters"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("1 set comes too close to the caption before to be loaded in time and is shown late: set 6."),
                  std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("captions run at 29.97") != std::string::npos, c.converted) << r.err;

        const std::vector<SubtitleSet> sets = readProject(project);
        const std::vector<Cue> cues = ffmpegCues(scc);
        ASSERT_EQ(cues.size(), 5u);
        const std::vector<std::vector<std::string>> rows = {
            {"Caf\xC3\xA9 cr\xC3\xA8me", "\xC3\x80 bient\xC3\xB4t, \xC3\x96l und Stra\xC3\x9F" "e"},
            {"Only fifty EUR"},
            {"A line much longer than the", "thirty-two columns of a row", "and its end"},
            {"First", "quick"},
            {"Second right", "after it"}};
        const int timed[5] = {0, 1, 2, 4, 5};
        const double frame = 1.0 / 30.0;
        for (size_t k = 0; k < 5; ++k) {
            SCOPED_TRACE(k);
            const SubtitleSet& s = sets[size_t(timed[k])];
            EXPECT_EQ(cues[k].rows, rows[k]);
            // Each time: the label of the 29.97 frame nearest to the set's
            // time, which FFmpeg reads as a time of 30 frames a second.
            auto at = [&](const TimeCode& t) {
                return labelSeconds(std::llround(double(frameOf(t, c.fps)) / c.fps * 30000.0 / 1001.0));
            };
            const double on = at(*s.on), off = at(*s.off);
            if (k == 4) {
                // Loaded as soon as the caption before is on: shown late.
                EXPECT_GT(cues[k].start, on + frame);
            } else {
                EXPECT_NEAR(cues[k].start, on, frame + 0.0015);
            }
            EXPECT_NEAR(cues[k].end, off, frame + 0.0015);
        }

        // Back through import-scc: the same sets, the long line's rows in line B.
        const std::string back = path("back.KVL8");
        const SccRun imported = run({"import-scc", scc, "-o", back, "--profile", std::to_string(c.profile)});
        ASSERT_EQ(imported.code, 0) << imported.err;
        EXPECT_EQ(imported.out, "imported 5 captions into " + back + "\n");
        const std::vector<SubtitleSet> again = readProject(back);
        ASSERT_EQ(again.size(), 5u);
        for (size_t k = 0; k < 5; ++k) {
            SCOPED_TRACE(k);
            const SubtitleSet& s = sets[size_t(timed[k])];
            EXPECT_EQ(again[k].lineA, k == 2 ? std::string("A line much longer than the") : s.lineA);
            EXPECT_EQ(again[k].lineB, k == 1   ? std::string("Only fifty EUR")
                                      : k == 2 ? std::string("thirty-two columns of a row and its end")
                                               : s.lineB);
            if (k != 4) {
                EXPECT_EQ(again[k].on, s.on);
            }
            EXPECT_EQ(again[k].off, s.off);
            // The rows come back where the set's Y put them.
            EXPECT_NEAR(*again[k].y, *s.y, 480 / 15 + 1);
        }
        fs::remove_all(dir / "SCC_Output");
    }
}

TEST_F(SccCliTest, ImportReadsRollUpAndPaintOnAndRefusesDamagedFiles) {
    const std::string head = "Scenarist_SCC V1.0\r\n\r\n";
    struct Good {
        const char* what;
        std::string body;
        std::vector<std::vector<std::string>> lines;  // A, B, ON, OFF of each set
    };
    const Good good[] = {
        {"roll-up",
         "00:00:01;00\t9425 9425 94ad 94ad 9470 9470 c8e5 ecec ef80\r\n\r\n"
         "00:00:03;00\t94ad 94ad 9470 9470 57ef f2ec 6480\r\n\r\n"
         "00:00:05;00\t94ad 94ad 9470 9470 5468 e9f2 6420 ece9 6ee5\r\n\r\n"
         "00:00:07;00\t942c 942c\r\n",
         // Each row from the frame its first character comes on.
         {{"Hello", "World", "00:00:01:06", "00:00:05:04"}, {"", "Third line", "00:00:05:04", "00:00:07:00"}}},
        {"paint-on",
         "00:00:01;00\t9429 9429 94d0 94d0 c8e5 ecec ef80\r\n\r\n"
         "00:00:02;00\t9470 9470 57ef f2ec 6480\r\n\r\n"
         "00:00:04;00\t942c 942c\r\n",
         {{"Hello", "World", "00:00:01:00", "00:00:04:00"}}},
        {"pop-on with special and extended characters, repeated codes taken once",
         "00:00:10;00\t9420 9420 94ae 94ae 9470 9470 4361 e6e5 91ba 91ba 20c1 92b0 92b0\r\n\r\n"
         "00:00:11;00\t942f 942f\r\n\r\n00:00:12;00\t942c 942c\r\n",
         {{"", "Cafe\xE8 \xC0", "00:00:11:00", "00:00:12:00"}}},
    };
    for (const Good& g : good) {
        SCOPED_TRACE(g.what);
        const std::string in = path("in.scc"), out = path("in.KVL8");
        ASSERT_TRUE(files::writeFileAtomic(in, head + g.body));
        const SccRun r = run({"import-scc", in, "-o", out, "--profile", "2"});
        ASSERT_EQ(r.code, 0) << r.err;
        const std::vector<SubtitleSet> sets = readProject(out);
        ASSERT_EQ(sets.size(), g.lines.size());
        for (size_t k = 0; k < sets.size(); ++k) {
            EXPECT_EQ(sets[k].lineA, g.lines[k][0]);
            EXPECT_EQ(sets[k].lineB, g.lines[k][1]);
            // 29.97 frames of the labels, as the profile's time codes.
            TimeCode on, off;
            ASSERT_TRUE(broadcast::parseStrictTimeCode(g.lines[k][2], 30, on));
            ASSERT_TRUE(broadcast::parseStrictTimeCode(g.lines[k][3], 30, off));
            EXPECT_EQ(frameOf(*sets[k].on, 29.97f), broadcast::dropFrameNumber(on));
            EXPECT_EQ(frameOf(*sets[k].off, 29.97f), broadcast::dropFrameNumber(off));
        }
    }

    struct Bad {
        const char* what;
        std::string bytes;
        const char* message;
    };
    const std::string pop = "00:00:01;00\t9420 9420 94ae 94ae 9470 9470 c8e5 ecec ef80\r\n\r\n00:00:02;00\t942f 942f\r\n";
    const Bad bad[] = {
        {"backwards", head + pop + "\r\n00:00:01;10\t942c 942c\r\n",
         "Line 7: the time code 00:00:01;10 goes back before 00:00:02;00 of the line above."},
        {"unknown code", head + "00:00:01;00\t9420 94b0\r\n", "Line 3, pair 2 (94b0): unknown control code."},
        {"no pair", head + "00:00:01;00\t9420 94zz\r\n", "Line 3, word 2: \"94zz\" is no byte pair"},
        {"no time", head + "00:00:01:45\t9420\r\n", "Line 3: \"00:00:01:45\t9420\" does not begin with a time code"},
        {"no header", pop, "Line 1: a caption file begins with \"Scenarist_SCC V1.0\"."},
        {"nothing shown", head + "00:00:01;00\t9420 9420\r\n", "The file holds no caption on channel 1."},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.what);
        const std::string in = path("bad.scc"), out = path("bad.KVL8");
        ASSERT_TRUE(files::writeFileAtomic(in, b.bytes));
        const SccRun r = run({"import-scc", in, "-o", out});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find(b.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Nothing was imported."), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(out));
    }

    // A byte with even parity is named, and read without its parity bit:
    // writers that set the bit wrongly are common (see tests/data/broadcast).
    {
        const std::string in = path("parity.scc");
        ASSERT_TRUE(files::writeFileAtomic(in, head + "00:00:01;00\t9420 9420 94ae 94ae 9470 9470 48e5 ecec ef80\r\n"
                                                      "\r\n00:00:02;00\t942f 942f\r\n"));
        const SccRun r = run({"import-scc", in, "-o", path("parity.KVL8"), "--profile", "2"});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.err.find("1 pair has a byte with even parity, the first in Line 3, pair 7 (48e5)"), std::string::npos)
            << r.err;
        EXPECT_EQ(readProject(path("parity.KVL8"))[0].lineB, "Hello");
    }

    // A 100 MB file is refused before it is read.
    const std::string huge = path("huge.scc");
    fs::resize_file((std::ofstream(huge) << head, huge), 100u << 20);
    const SccRun r = run({"import-scc", huge, "-o", path("huge.KVL8")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("the file is too large (a caption file is read up to 16 MB). Nothing was imported."),
              std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(path("huge.KVL8")));
}
