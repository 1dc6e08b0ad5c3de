// Caption files through kalvero-cli: every file the export writes is read by
// FFmpeg's own scc demuxer and closed-caption decoder ("ffmpeg -i x.scc
// x.srt"), then imported back with import-scc.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "TestSupport.h"
#include "base/Cp1252.h"
#include "base/Text.h"
#include "cli/Cli.h"
#include "io/Files.h"
#include "project/BroadcastTiming.h"
#include "project/ProjectFile.h"
#include "project/SubtitleSet.h"

namespace fs = std::filesystem;

namespace {

struct SccRun {
    int code;
    std::string out, err;
};

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

class SccCliTest : public ::testing::Test {
protected:
    void SetUp() override { dir = testsupport::freshTestDir("kalvero-scc-"); }
    void TearDown() override { fs::remove_all(dir); }

    SccRun run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--program-dir", KALVERO_BIN_DIR});
        std::ostringstream out, err;
        const int code = runCli(args, out, err);
        return {code, out.str(), err.str()};
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }

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

    std::vector<SubtitleSet> readProject(const std::string& file) {
        std::string content;
        EXPECT_TRUE(files::readFile(file, content));
        ProjectHeader header;
        SubtitleList list;
        EXPECT_EQ(parseProject(content, 0, header, list), ProjectLoadStatus::Ok);
        return subtitleSets(list);
    }

    fs::path dir;
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
        EXPECT_NE(r.err.find("1 set was left out: no ON or OFF time code."), std::string::npos) << r.err;
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
        fs::remove_all(dir / "SCC_Output");
    }
}
