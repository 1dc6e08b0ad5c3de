// The programme start of the timed exports (kalvero-cli export ... --start),
// read back by readers apart from our writers: FFmpeg's demuxers and
// decoders for the SubRip, WebVTT, SUP, VobSub and DVB files, python's XML
// parser for the BDN description and the editors' timeline, the timing
// table as text.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "SubtitleDecode.h"
#include "export/SubtitleTrack.h"
#include "TestSupport.h"
#include "base/Text.h"
#include "cli/Cli.h"
#include "io/Files.h"
#include "project/SubtitleList.h"
#include "reliability/ToolRun.h"

namespace fs = std::filesystem;

namespace {

struct Profile {
    int index, width, height;
    float fps;
    int y;
    long long startFrame;  // 10:00:00:00 as a frame: 36000 s x 25, or 36000 x 23.976 rounded
};
const Profile kPal{1, 720, 576, 25.0f, 430, 900000};
const Profile kFilm{9, 1920, 1080, 23.976f, 810, 863136};

// Two sets, 00:00:01:00>00:00:02:00 and 00:00:03:00>00:00:04:00.
const long long kOnSeconds[2] = {1, 3};

class ProgrammeStartTest : public ::testing::Test {
protected:
    void SetUp() override { dir = testsupport::freshTestDir("kalvero-start-"); }
    void TearDown() override { fs::remove_all(dir); }

    std::string writeProject(const Profile& p, const std::vector<std::string>& timings) {
        std::string s = "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: " + std::to_string(p.width) +
                        "\r\n##-Resolution Height: " + std::to_string(p.height) + "\r\n##-Profile: " +
                        std::to_string(p.index) +
                        "\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
                        "##-Number of lines/pages: 4 / 2\r\n##-Word count: 2\r\n##-User Timed Session: 0\r\n##-;\r\n";
        for (size_t k = 0; k < timings.size(); ++k) {
            const std::string y = std::to_string(p.y);
            s += rowId(int(2 * k)) + "|Line " + std::to_string(k + 1) + "|" + timings[k] + "||" + y + "\r\n";
            s += rowId(int(2 * k + 1)) + "|second|" + timings[k] + "||" + y + "\r\n";
        }
        const std::string path = (dir / "film.KVL8").string();
        EXPECT_TRUE(files::writeFileAtomic(path, s));
        return path;
    }

    struct Run {
        int code;
        std::string out, err;
    };
    Run run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--program-dir", KALVERO_BIN_DIR});
        std::ostringstream out, err;
        const int code = runCli(args, out, err);
        return {code, out.str(), err.str()};
    }

    fs::path dir;
};

// The start times (ms) of the cues of a text file as FFmpeg's demuxer reads them.
std::vector<long long> demuxedMs(const std::string& path) {
    std::vector<long long> ms;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        ADD_FAILURE() << "FFmpeg cannot open " << path;
        return ms;
    }
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(fmt, pkt) >= 0) {
        ms.push_back(av_rescale_q(pkt->pts, fmt->streams[pkt->stream_index]->time_base, AVRational{1, 1000}));
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    avformat_close_input(&fmt);
    return ms;
}

std::string python(const std::string& script, const std::string& file) {
    const toolrun::Output o = toolrun::run("python3 -c " + toolrun::quoted(script) + " " + toolrun::quoted(file));
    EXPECT_EQ(o.code, 0) << o.text;
    return o.text;
}

}  // namespace

// Every timed export adds 10:00:00:00 to its times: each format read back
// by its own reader, at 25 and 23.976 (where 10 hours are 863136 frames).
TEST_F(ProgrammeStartTest, EveryTimedExportAddsTheStart) {
    struct Case {
        const Profile* p;
        std::string format;
    };
    const std::vector<Case> cases = {{&kPal, "srt"},    {&kPal, "vtt"}, {&kPal, "sup"},  {&kPal, "vobsub"},
                                     {&kPal, "dvb"},    {&kPal, "bdn"}, {&kPal, "png"},  {&kFilm, "srt"},
                                     {&kFilm, "sup"},   {&kFilm, "bdn"}, {&kFilm, "png"}};
    const bool havePython = toolrun::run("python3 -c 'import xml.etree.ElementTree'").code == 0;
    for (const Case& c : cases) {
        const Profile& p = *c.p;
        SCOPED_TRACE(c.format + " at " + std::to_string(p.fps));
        const std::string project = writeProject(p, {"00:00:01:00>00:00:02:00", "00:00:03:00>00:00:04:00"});
        Run r = run({"export", c.format, project, "--start", "10:00:00:00"});
        ASSERT_EQ(r.code, 0) << r.err;
        // The frame each set is shown from, and its 90 kHz tick.
        long long ticks[2];
        for (int k = 0; k < 2; ++k) {
            const long long frame = p.startFrame + std::llround(double(kOnSeconds[k]) * (p.fps == 25.0f ? 25 : 24));
            ticks[k] = p.fps == 25.0f ? frame * 3600 : frame * 90000 * 1001 / 24000;
        }
        if (c.format == "srt" || c.format == "vtt") {
            const std::string file = (dir / (c.format == "srt" ? "SRT_Output" : "VTT_Output") / ("film." + c.format)).string();
            EXPECT_EQ(demuxedMs(file), (std::vector<long long>{36001000, 36003000}));
        } else if (c.format == "sup" || c.format == "vobsub" || c.format == "dvb") {
            const std::string file = c.format == "sup"    ? (dir / "SUP_Output" / "film.sup").string()
                                     : c.format == "dvb" ? (dir / "DVB_Output" / "film.ts").string()
                                                         : (dir / "VobSub_Output" / "film.idx").string();
            const char* demuxer = c.format == "sup" ? "sup" : c.format == "dvb" ? "mpegts" : nullptr;
            std::vector<long long> shown;
            for (const subdecode::Decoded& d : subdecode::decodeFile(file, p.width, p.height, demuxer))
                if (d.rects > 0 && !visibleBox(d.frame).empty()) shown.push_back(d.pts90k);
            ASSERT_EQ(shown.size(), 2u);
            for (int k = 0; k < 2; ++k) EXPECT_NEAR(double(shown[size_t(k)]), double(ticks[k]), 90.0) << k;
        } else if (c.format == "bdn") {
            if (!havePython) continue;
            const std::string out = python(
                "import sys, xml.etree.ElementTree as ET\n"
                "r = ET.parse(sys.argv[1]).getroot()\n"
                "e = r.find('Description').find('Events')\n"
                "print(e.get('FirstEventInTC'), e.get('LastEventOutTC'))\n"
                "for v in r.find('Events').findall('Event'): print(v.get('InTC'), v.get('OutTC'))\n",
                (dir / "BDN_Output" / "film.xml").string());
            // BDN counts its non-drop labels at 24 a second at 23.976: frame
            // 863160 (10:00:01:00 at 23.976) is label 35965 s, 09:59:25:00.
            EXPECT_EQ(out, p.fps == 25.0f
                               ? "10:00:01:00 10:00:04:00\n10:00:01:00 10:00:02:00\n10:00:03:00 10:00:04:00\n"
                               : "09:59:25:00 09:59:28:00\n09:59:25:00 09:59:26:00\n09:59:27:00 09:59:28:00\n");
        } else {
            // The sequence starts at 10:00:00:00 (the frames of that time
            // code at the timeline's whole time base); the clips keep their
            // frames from it, and the table's time codes carry the start.
            if (havePython) {
                const std::string out = python(
                    "import sys, xml.dom.minidom as M\n"
                    "d = M.parse(sys.argv[1])\n"
                    "t = lambda n, k: n.getElementsByTagName(k)[0].firstChild.nodeValue\n"
                    "s = d.getElementsByTagName('sequence')[0]\n"
                    "tc = [c for c in s.childNodes if c.nodeType == 1 and c.tagName == 'timecode'][0]\n"
                    "print(t(tc, 'string'), t(tc, 'frame'))\n"
                    "for c in d.getElementsByTagName('clipitem'): print(t(c, 'start'), t(c, 'end'))\n",
                    (dir / "PNG_Output" / "film.xml").string());
                const std::string timebase = p.fps == 25.0f ? "25" : "24";
                EXPECT_EQ(out, "10:00:00:00 " + std::to_string(36000 * std::stoi(timebase)) + "\n" +
                                   (p.fps == 25.0f ? "25 50\n75 100\n" : "24 48\n72 96\n"));
            }
            std::string csv;
            ASSERT_TRUE(files::readFile((dir / "PNG_Output" / "film_timing.csv").string(), csv));
            const std::vector<std::string> rows = text::splitLines(csv);
            ASSERT_EQ(rows.size(), 3u) << csv;
            EXPECT_EQ(rows[1].substr(rows[1].find(',')), p.fps == 25.0f ? ",10:00:01:00,10:00:02:00,25,50,25"
                                                                        : ",10:00:01:00,10:00:02:00,24,48,24");
            EXPECT_EQ(rows[2].substr(rows[2].find(',')), p.fps == 25.0f ? ",10:00:03:00,10:00:04:00,75,100,25"
                                                                        : ",10:00:03:00,10:00:04:00,72,96,24");
        }
    }
}

// Bad starts are refused with the reason and write nothing: a time code
// that does not parse, frames past the rate, a start that would push a set
// past the end of the day (named by its number), an export without times.
TEST_F(ProgrammeStartTest, BadStartsAreRefusedAndWriteNothing) {
    const std::string project = writeProject(kPal, {"00:00:01:00>00:00:02:00", "04:00:00:00>04:00:01:00"});
    struct Case {
        std::string format, start;
        int code;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"srt", "10:00", 2, "--start: \"10:00\" is not a time code (HH:MM:SS:FF)"},
        {"sup", "10:00:00:25", 2, "frames to 24"},
        {"vtt", "20:00:00:00", 1, "The programme start 20:00:00:00 cannot be added: set 2: its ON 04:00:00:00 would go "
                                  "past 23:59:59:24"},
        {"png", "20:00:00:00", 1, "set 2: its ON 04:00:00:00"},
        {"avi", "10:00:00:00", 2, "--start applies to export png and the subtitle tracks only"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format + " " + c.start);
        Run r = run({"export", c.format, project, "--start", c.start});
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(testsupport::filesIn(dir), std::vector<std::string>{"film.KVL8"});
    }
    // 00:00:00:00 is no start: the file is the one written without it.
    ASSERT_EQ(run({"export", "srt", project}).code, 0);
    std::string plain, zero;
    ASSERT_TRUE(files::readFile((dir / "SRT_Output" / "film.srt").string(), plain));
    ASSERT_EQ(run({"export", "srt", project, "--start", "00:00:00:00", "--force"}).code, 0);
    ASSERT_TRUE(files::readFile((dir / "SRT_Output" / "film.srt").string(), zero));
    EXPECT_EQ(plain, zero);
}
