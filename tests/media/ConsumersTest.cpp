// The subtitle tracks handed to the programs users finish their work in:
// libass (through FFmpeg's subtitles filter) renders the ASS script where
// the pictures have their strips, FFmpeg's demuxers and python's XML parser
// read each track's language, and mkvtoolnix muxes every track with a movie
// and gives the picture tracks back byte for byte. A test whose program is
// not installed is skipped and says so.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "TestSupport.h"
#include "base/Text.h"
#include "cli/CliFixture.h"
#include "export/SubtitleTrack.h"
#include "io/Files.h"
#include "project/SubtitleList.h"

namespace fs = std::filesystem;

namespace {

using Profile = ProjectProfile;
const Profile kPal{1, 720, 576, 25.0f, 430};
const Profile kFullHd{9, 1920, 1080, 23.976f, 810};

using Set = ProjectSet;

// Runs a shell command; its output (stdout and stderr) and exit status.
struct Shell {
    int status = -1;
    std::string out;
};
Shell shell(const std::string& cmd) {
    Shell s;
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return s;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) s.out.append(buffer, n);
    const int raw = pclose(p);
    s.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return s;
}

bool installed(const std::string& program) { return shell("command -v " + program).status == 0; }

class ConsumersTest : public CliFolderTest {
protected:
    using Run = CliRun;
    std::string writeProject(const Profile& p, const std::vector<Set>& sets, int preset = 0) {
        return CliFolderTest::writeProject(p, sets, "demo", preset);
    }
    std::string at(const std::string& relative) const { return "'" + (dir / relative).string() + "'"; }
};

const std::vector<Set> kTwoSets = {{"Hello world, again", "and a second line", "00:00:01:00>00:00:02:00"},
                                   {"Later on", "", "00:00:03:00>00:00:03:20"}};

// Where a picture differs from a plain background: one box per band of rows.
std::vector<PixelBox> bandsAgainst(const Image& shot, const uint8_t* background) {
    Image mask(shot.width(), shot.height());
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const uint8_t* p = shot.pixel(x, y);
            int most = 0;
            for (int c = 0; c < 3; ++c) most = std::max(most, std::abs(int(p[c]) - int(background[c])));
            mask.pixel(x, y)[3] = most > 24 ? 255 : 0;
        }
    return visibleBands(mask);
}

}  // namespace

// libass draws each line's box (or strip, or text alone) where the picture
// of the set has it, within a few pixels.
TEST_F(ConsumersTest, AssRenderedByLibassLiesOnThePictureStrips) {
    if (!installed("ffmpeg")) GTEST_SKIP() << "skipped: no ffmpeg program";
    if (shell("ffmpeg -hide_banner -filters | grep -q ' subtitles '").status != 0)
        GTEST_SKIP() << "skipped: ffmpeg has no subtitles filter (libass)";
    struct Case {
        Profile profile;
        int preset;  // 0 cut to the text, 1 full width, 2 no word spacing, 4 text and shadow only, 10 all text centred
        int tolerance;
    };
    const Case cases[] = {{kPal, 0, 3}, {kPal, 1, 3}, {kPal, 2, 3}, {kPal, 10, 3}, {kPal, 4, 4}, {kFullHd, 7, 4}};
    const uint8_t background[3] = {0x20, 0x80, 0x40};
    for (const Case& c : cases) {
        const Profile& p = c.profile;
        SCOPED_TRACE("preset " + std::to_string(c.preset) + " at " + std::to_string(p.width));
        const std::string project = writeProject(p, kTwoSets, c.preset);
        Run r = run({"export", "ass", project});
        ASSERT_EQ(r.code, 0) << r.err;
        ASSERT_TRUE(fs::exists(dir / "ASS_Output" / "demo.ass"));
        ASSERT_EQ(run({"render", project, "--set", "1", "--target", "alpha", "-o", (dir / "set1.png").string()}).code, 0);
        const std::vector<PixelBox> want = visibleBands(testsupport::decodeFile((dir / "set1.png").string()));

        // Frame 37 at 25 frames a second: 1.48 s, while set 1 is on.
        char size[32];
        std::snprintf(size, sizeof size, "%dx%d", p.width, p.height);
        const Shell f = shell("ffmpeg -v error -y -f lavfi -i color=c=0x208040:s=" + std::string(size) +
                              ":r=25:d=2 -vf \"subtitles=filename=" + (dir / "ASS_Output" / "demo.ass").string() +
                              ",select=eq(n\\,37)\" -frames:v 1 " + at("shot.png"));
        ASSERT_EQ(f.status, 0) << f.out;
        const std::vector<PixelBox> got = bandsAgainst(testsupport::decodeFile((dir / "shot.png").string()), background);
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < got.size(); ++i) {
            SCOPED_TRACE("line " + std::to_string(i));
            EXPECT_NEAR(got[i].x, want[i].x, c.tolerance);
            EXPECT_NEAR(got[i].y, want[i].y, c.tolerance);
            EXPECT_NEAR(got[i].x + got[i].w, want[i].x + want[i].w, c.tolerance);
            EXPECT_NEAR(got[i].y + got[i].h, want[i].y + want[i].h, c.tolerance);
        }
    }
}

// --lang reaches each track as its format names languages; a code that is
// not one is refused before anything is written.
TEST_F(ConsumersTest, LanguageReachesEveryTrack) {
    if (!installed("ffprobe") || !installed("python3")) GTEST_SKIP() << "skipped: no ffprobe or python3";
    const std::string project = writeProject(kPal, kTwoSets);
    for (const char* format : {"bdn", "vobsub", "dvb"}) ASSERT_EQ(run({"export", format, project, "--lang", "fr"}).code, 0);
    auto probe = [&](const std::string& file) {
        return shell("ffprobe -v error -show_entries stream_tags=language -of csv=p=0 " + at(file)).out;
    };
    EXPECT_EQ(probe("VobSub_Output/demo.idx"), "fr\n");
    EXPECT_EQ(probe("VobSub_Output/demo.mks"), "fre\n");
    EXPECT_EQ(probe("DVB_Output/demo.ts"), "fre\n");
    EXPECT_EQ(shell("python3 -c \"import sys, xml.etree.ElementTree as E; "
                    "print(E.parse(sys.argv[1]).getroot().find('Description/Language').get('Code'))\" " +
                    at("BDN_Output/demo.xml"))
                  .out,
              "fre\n");
    // Three letters of either ISO 639-2 form, and the name of a text track.
    ASSERT_EQ(run({"export", "srt", project, "--lang", "deu", "--lang-in-name"}).code, 0);
    ASSERT_EQ(run({"export", "ass", project, "--lang", "ger", "--lang-in-name"}).code, 0);
    EXPECT_EQ(testsupport::filesIn(dir / "SRT_Output"), std::vector<std::string>{"demo.de.srt"});
    EXPECT_EQ(testsupport::filesIn(dir / "ASS_Output"), std::vector<std::string>{"demo.de.ass"});
    // Without --lang every track says so: und.
    ASSERT_EQ(run({"export", "dvb", project}).code, 0);
    EXPECT_EQ(probe("DVB_Output/demo.ts"), "und\n");

    struct Refused {
        std::vector<std::string> args;
        std::string message;
    };
    const Refused refused[] = {
        {{"export", "sup", project, "--lang", "FR"}, "is not an ISO 639 code"},
        {{"export", "sup", project, "--lang", "english"}, "is not an ISO 639 code"},
        {{"export", "sup", project, "--lang", "xx"}, "is not an ISO 639-1 code"},
        {{"export", "png", project, "--lang", "fr"}, "--lang applies to the subtitle tracks only"},
        {{"export", "bdn", project, "--lang", "fr", "--lang-in-name"}, "--lang-in-name applies to the text"},
        {{"export", "srt", project, "--lang-in-name"}, "--lang-in-name needs --lang CODE"},
    };
    fs::remove_all(dir / "SUP_Output");
    for (const Refused& f : refused) {
        Run u = run(f.args);
        EXPECT_EQ(u.code, 2) << f.message;
        EXPECT_NE(u.err.find(f.message), std::string::npos) << u.err;
    }
    EXPECT_FALSE(fs::exists(dir / "SUP_Output"));
}

// mkvmerge muxes every track with a movie without a warning, keeps the
// language, and mkvextract gives the SUP and the DVD subtitles back byte
// for byte (the index gains mkvextract's "langidx" line).
TEST_F(ConsumersTest, MkvmergeMuxesEveryTrackAndMkvextractGivesThePicturesBack) {
    if (!installed("mkvmerge") || !installed("mkvextract") || !installed("ffmpeg"))
        GTEST_SKIP() << "skipped: mkvtoolnix or ffmpeg not installed";
    const std::string project = writeProject(kPal, kTwoSets);
    for (const char* format : {"sup", "vobsub", "dvb", "srt", "vtt", "ass"})
        ASSERT_EQ(run({"export", format, project, "--lang", "fi"}).code, 0) << format;
    ASSERT_EQ(shell("ffmpeg -v error -y -f lavfi -i testsrc=s=720x576:r=25:d=4 -c:v mpeg4 " + at("movie.mkv")).status, 0);
    const Shell mux = shell("mkvmerge -o " + at("all.mkv") + " " + at("movie.mkv") + " " + at("SUP_Output/demo.sup") +
                            " " + at("VobSub_Output/demo.idx") + " " + at("VobSub_Output/demo.mks") + " " +
                            at("DVB_Output/demo.ts") + " " + at("SRT_Output/demo.srt") + " " + at("VTT_Output/demo.vtt") +
                            " " + at("ASS_Output/demo.ass"));
    EXPECT_EQ(mux.status, 0) << mux.out;  // 1: warnings
    EXPECT_EQ(mux.out.find("Warning"), std::string::npos) << mux.out;
    const Shell tracks = shell("mkvmerge -J " + at("all.mkv") +
                               " | python3 -c \"import json, sys; [print(t['properties']['codec_id'], "
                               "t['properties'].get('language')) for t in json.load(sys.stdin)['tracks']]\"");
    EXPECT_EQ(tracks.out,
              "V_MPEG4/ISO/ASP und\nS_HDMV/PGS und\nS_VOBSUB fin\nS_VOBSUB fin\nS_DVBSUB fin\nS_TEXT/UTF8 und\n"
              "S_TEXT/WEBVTT und\nS_TEXT/ASS und\n");
    const Shell extract = shell("mkvextract " + at("all.mkv") + " tracks 1:" + at("back.sup") + " 2:" +
                                at("back.idx") + " 3:" + at("mks.idx"));
    ASSERT_EQ(extract.status, 0) << extract.out;
    auto bytes = [&](const std::string& relative) {
        std::string b;
        EXPECT_TRUE(files::readFile((dir / relative).string(), b)) << relative;
        return b;
    };
    EXPECT_EQ(bytes("back.sup"), bytes("SUP_Output/demo.sup"));
    EXPECT_EQ(bytes("back.sub"), bytes("VobSub_Output/demo.sub"));
    EXPECT_EQ(bytes("mks.sub"), bytes("VobSub_Output/demo.sub"));
    EXPECT_EQ(text::replaceAll(bytes("back.idx"), "langidx: 0\n", ""), bytes("VobSub_Output/demo.idx"));
}

// GStreamer's dvdspu draws the SUP (in Matroska) over a movie at its frames
// and where the picture has it.
TEST_F(ConsumersTest, GstreamerDvdspuShowsTheSupAtItsFrames) {
    if (!installed("gst-launch-1.0") || !installed("mkvmerge") ||
        shell("gst-inspect-1.0 dvdspu && gst-inspect-1.0 matroskademux && gst-inspect-1.0 pngenc").status != 0)
        GTEST_SKIP() << "skipped: gst-launch-1.0 with dvdspu, matroskademux and pngenc, or mkvmerge, not installed";
    const std::string project = writeProject(kPal, kTwoSets);
    ASSERT_EQ(run({"export", "sup", project}).code, 0);
    ASSERT_EQ(run({"render", project, "--set", "1", "--target", "alpha", "-o", (dir / "set1.png").string()}).code, 0);
    const PixelBox want = visibleBox(testsupport::decodeFile((dir / "set1.png").string()));
    ASSERT_EQ(shell("mkvmerge -q -o " + at("sup.mks") + " " + at("SUP_Output/demo.sup")).status, 0);
    fs::create_directories(dir / "frames");
    const Shell g = shell("gst-launch-1.0 -q filesrc location=" + at("sup.mks") +
                          " ! matroskademux ! queue ! s.subpicture videotestsrc num-buffers=60 pattern=solid-color foreground-color=0xff208040 ! "
                          "video/x-raw,format=I420,width=720,height=576,framerate=25/1 ! dvdspu name=s ! videoconvert "
                          "! pngenc snapshot=false ! multifilesink location=" + at("frames/%03d.png"));
    ASSERT_EQ(g.status, 0) << g.out;
    const uint8_t green[3] = {0x20, 0x80, 0x40};
    // Set 1 is on from frame 25 up to frame 50.
    for (int frame : {24, 25, 49, 50}) {
        char name[16];
        std::snprintf(name, sizeof name, "%03d.png", frame);
        const std::vector<PixelBox> got = bandsAgainst(testsupport::decodeFile((dir / "frames" / name).string()), green);
        const bool on = frame >= 25 && frame < 50;
        ASSERT_EQ(!got.empty(), on) << frame;
        if (!on) continue;
        EXPECT_NEAR(got.front().x, want.x, 2) << frame;
        EXPECT_NEAR(got.front().y, want.y, 2) << frame;
        EXPECT_NEAR(got.back().x + got.back().w, want.x + want.w, 2) << frame;
        EXPECT_NEAR(got.back().y + got.back().h, want.y + want.h, 2) << frame;
    }
}
