// The subtitle-track exports of kalvero-cli, read back by independent
// readers: FFmpeg's demuxers and decoders, python's XML parser, libpng and
// the SubRip import.
#include <gtest/gtest.h>

#include <algorithm>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

#include "SubtitleDecode.h"
#include "TestSupport.h"
#include "export/TrackJobTesting.h"
#include "cli/CliFixture.h"
#include "export/Bdn.h"
#include "export/Pgs.h"
#include "export/SubtitleExport.h"
#include "export/SubtitleTrack.h"
#include "export/TextSubtitles.h"
#include "io/Files.h"
#include "project/SrtImport.h"

namespace fs = std::filesystem;

namespace {

using Profile = ProjectProfile;
const Profile kPal{1, 720, 576, 25.0f, 430};
const Profile kNtsc{2, 720, 480, 29.97f, 356};
const Profile kFullHd{9, 1920, 1080, 23.976f, 810};

// The exact rate of a profile's frames: 25, 30000/1001 or 24000/1001.
struct Rate {
    long long num, den;
};
Rate exactRate(float fps) { return fps == 25.0f ? Rate{25, 1} : fps == 29.97f ? Rate{30000, 1001} : Rate{24000, 1001}; }
// The 90 kHz tick on or just before the start of a frame.
long long ticksOfFrame(long long frame, float fps) {
    const Rate r = exactRate(fps);
    return frame * 90000 * r.den / r.num;
}
// The times of the text tracks (SubRip, WebVTT) for the shown sets of
// edgeSets and the ten-minute set, worked by hand: a time code's seconds
// plus its frames at the profile's rate, rounded up to the millisecond
// (00:00:02:10 at 29.97 is 2 s + 10 / 29.97 s = 2333.7 ms: 2334).
std::vector<std::pair<long long, long long>> textMs(float fps) {
    if (fps == 25.0f)
        return {{1000, 2400}, {3000, 4000}, {6000, 7200}, {7200, 8000}, {600000, 601040}};
    if (fps == 29.97f)
        return {{1000, 2334}, {3000, 4000}, {6000, 7167}, {7167, 8000}, {600000, 601034}};
    return {{1000, 2418}, {3000, 4000}, {6000, 7209}, {7209, 8000}, {600000, 601042}};
}

using Set = ProjectSet;

// Sets of the edge cases: two lines with Windows-1252 characters, a
// one-line set, an untimed set in the middle, a set of spaces only, a set
// back to back with the one before, a reversed set.
std::vector<Set> edgeSets() {
    return {
        {"Caf\xE9 cr\xE8me \x80 5", "na\xEFve \xA6 bar", "00:00:01:00>00:00:02:10"},
        {"", "One line", "00:00:03:00>00:00:04:00"},
        {"no timing", "here", ""},
        {"   ", "  ", "00:00:05:00>00:00:06:00"},
        {"Back", "to back", "00:00:06:00>00:00:07:05"},
        {"Right after", "", "00:00:07:05>00:00:08:00"},
        {"reversed", "", "00:00:09:00>00:00:08:20"},
    };
}

class SubtitleTrackExportTest : public CliFolderTest {
protected:
    using Run = CliRun;

    // The full-frame transparent render of set k (from 1), as the PNG export draws it.
    Image render(const std::string& project, int k) {
        const std::string png = (dir / ("set" + std::to_string(k) + ".png")).string();
        Run r = run({"render", project, "--set", std::to_string(k), "--target", "alpha", "-o", png});
        EXPECT_EQ(r.code, 0) << r.err;
        return testsupport::decodeFile(png);
    }

    // The shown sets of edgeSets in time order: set number (from 1), ON and OFF frame.
    struct Shown {
        int k;
        long long on, off;
    };
    // Worked by hand: HH:MM:SS:FF is SS seconds at the profile's rate, plus
    // FF, rounded (00:00:07:05 at 29.97 is 7 x 29.97 + 5 = 214.79: 215).
    static std::vector<Shown> shownSets(float fps) {
        if (fps == 25.0f) return {{1, 25, 60}, {2, 75, 100}, {5, 150, 180}, {6, 180, 200}};
        if (fps == 29.97f) return {{1, 30, 70}, {2, 90, 120}, {5, 180, 215}, {6, 215, 240}};
        return {{1, 24, 58}, {2, 72, 96}, {5, 144, 173}, {6, 173, 192}};
    }
    // Set 8, 00:10:00:00>00:10:01:01.
    static Shown tenMinutes(float fps) {
        if (fps == 25.0f) return {8, 15000, 15026};
        if (fps == 29.97f) return {8, 17982, 18013};
        return {8, 14386, 14411};
    }
};

// Each subtitle is decoded at its ON time as the render shows it, and the
// screen is empty from its OFF time on; nothing else is shown.
void checkDecodedTrack(const std::vector<subdecode::Decoded>& decoded, const std::vector<Image>& renders,
                       const std::vector<long long>& on, const std::vector<long long>& off, float fps,
                       int maxColourError, int maxAlphaError) {
    std::vector<std::pair<long long, int>> expected;  // time, set index or -1 for an empty screen
    // A track that starts late begins with an empty screen at 0.
    if (!on.empty() && on[0] > 0) expected.push_back({0, -1});
    for (size_t i = 0; i < on.size(); ++i) {
        expected.push_back({ticksOfFrame(on[i], fps), int(i)});
        if (i + 1 == on.size() || on[i + 1] > off[i]) expected.push_back({ticksOfFrame(off[i], fps), -1});
    }
    std::vector<std::pair<long long, int>> got;
    size_t e = 0;
    for (const subdecode::Decoded& d : decoded) {
        ASSERT_LT(e, expected.size()) << "a subtitle after the last OFF at " << d.pts90k;
        EXPECT_NEAR(double(d.pts90k), double(expected[e].first), 1.0) << "display " << e;
        if (expected[e].second < 0) {
            EXPECT_EQ(d.rects, 0) << "display " << e << " should clear the screen";
            // Or a picture without any visible pixel.
        } else {
            EXPECT_GT(d.rects, 0) << "display " << e;
            const subdecode::Difference diff = subdecode::compare(d.frame, renders[size_t(expected[e].second)]);
            EXPECT_LE(diff.alpha, maxAlphaError) << "display " << e;
            EXPECT_LE(diff.colour, maxColourError) << "display " << e;
        }
        ++e;
    }
    EXPECT_EQ(e, expected.size());
}

}  // namespace

TEST_F(SubtitleTrackExportTest, SupDecodesToTheRenderAtEachOnAndClearsAtEachOff) {
    for (const Profile& p : {kPal, kNtsc, kFullHd}) {
        SCOPED_TRACE(p.width);
        const std::string project = writeProject(p, edgeSets());
        Run r = run({"export", "sup", project});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, "exported 4 subtitles into " + (dir / "SUP_Output").string() + "/\n");
        EXPECT_NE(r.err.find("1 set left out: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(" (OFF not after ON)."), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("1 set left out (nothing to show)."), std::string::npos) << r.err;

        std::string codec;
        const auto decoded = subdecode::decodeFile((dir / "SUP_Output" / "demo.sup").string(), p.width, p.height,
                                                   "sup", &codec);
        EXPECT_EQ(codec, "pgssub");
        std::vector<Image> renders;
        std::vector<long long> on, off;
        for (const Shown& s : shownSets(p.fps)) {
            renders.push_back(render(project, s.k));
            on.push_back(s.on);
            off.push_back(s.off);
        }
        // The palette is exact; Y'CbCr costs a few steps of each channel.
        checkDecodedTrack(decoded, renders, on, off, p.fps, 6, 2);
    }
}

TEST_F(SubtitleTrackExportTest, SupKeepsTwoLinesAsTwoObjects) {
    // Full HD with the strips spacing of its own preset: the lines stand apart.
    const std::string project =
        writeProject(kFullHd, {{"Upper line ÄÖÜ", "lower line", "00:00:01:00>00:00:03:00"}}, "demo", 7);
    Run r = run({"export", "sup", project});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto decoded = subdecode::decodeFile((dir / "SUP_Output" / "demo.sup").string(), 1920, 1080, "sup");
    ASSERT_EQ(decoded.size(), 3u);
    EXPECT_EQ(decoded[0].rects, 0);  // the empty screen at 0
    EXPECT_EQ(decoded[1].rects, 2);  // line A and line B
    const subdecode::Difference diff = subdecode::compare(decoded[1].frame, render(project, 1));
    EXPECT_LE(diff.colour, 6);
    EXPECT_LE(diff.alpha, 2);
    EXPECT_EQ(decoded[2].rects, 0);
}

TEST_F(SubtitleTrackExportTest, BdnPlacesEachCropExactlyOnTheFullFrame) {
    for (const Profile& p : {kPal, kNtsc, kFullHd}) {
        for (bool indexed : {false, true}) {
            SCOPED_TRACE(std::to_string(p.width) + (indexed ? " indexed" : ""));
            const std::string project = writeProject(p, edgeSets(), "Caf\xC3\xA9 & co");
            std::vector<std::string> args = {"export", "bdn", project};
            if (indexed) args.push_back("--indexed");
            Run r = run(args);
            ASSERT_EQ(r.code, 0) << r.err;
            const fs::path folder = dir / "BDN_Output";
            const std::string xml = (folder / "Caf\xC3\xA9 & co.xml").string();
            const std::string report = (dir / "bdn.txt").string();
            const std::string cmd = "python3 '" + std::string(KALVERO_SOURCE_DIR) + "/tests/export/bdn_check.py' '" +
                                    xml + "' > '" + report + "'";
            ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
            std::string text;
            ASSERT_TRUE(files::readFile(report, text));
            std::istringstream in(text);
            std::string word, videoFormat, rate, drop, count, first, last;
            in >> word >> videoFormat >> rate >> drop;
            EXPECT_EQ(videoFormat, p.width == 1920 ? "1080p" : p.height == 480 ? "480i" : "576i");
            EXPECT_EQ(rate, p.fps == 25.0f ? "25" : p.fps == 29.97f ? "29.97" : "23.976");
            EXPECT_EQ(drop, "False");
            in >> word >> count >> first >> last;
            EXPECT_EQ(count, "4");
            const std::vector<Shown> shown = shownSets(p.fps);
            // At every rate the time codes count frames of the rounded
            // rate: they are the project's own time codes.
            EXPECT_EQ(first, "00:00:01:00");
            EXPECT_EQ(last, "00:00:08:00");
            const std::map<int, std::pair<std::string, std::string>> codes = {
                {1, {"00:00:01:00", "00:00:02:10"}}, {2, {"00:00:03:00", "00:00:04:00"}},
                {5, {"00:00:06:00", "00:00:07:05"}}, {6, {"00:00:07:05", "00:00:08:00"}}};
            std::string titleLine;
            std::getline(in >> std::ws, titleLine);
            EXPECT_EQ(titleLine, "title Caf\xC3\xA9 & co");
            for (const Shown& s : shown) {
                std::string inTc, outTc, forced, file;
                int w, h, x, y, pw, ph, depth, colour;
                in >> word >> inTc >> outTc >> forced >> w >> h >> x >> y >> pw >> ph >> depth >> colour;
                std::getline(in >> std::ws, file);
                ASSERT_EQ(word, "event");
                EXPECT_EQ(inTc, codes.at(s.k).first);
                EXPECT_EQ(outTc, codes.at(s.k).second);
                EXPECT_EQ(forced, "False");
                EXPECT_EQ(pw, w);
                EXPECT_EQ(ph, h);
                EXPECT_EQ(colour, indexed ? 3 : 6);  // palette or RGBA
                EXPECT_EQ(depth, 8);
                // The crop sits exactly where the full frame has its pixels.
                const Image full = render(project, s.k);
                const Image crop = testsupport::decodeFile((folder / file).string());
                ASSERT_EQ(crop.width(), w);
                int outside = 0, differ = 0;
                for (int fy = 0; fy < full.height(); ++fy)
                    for (int fx = 0; fx < full.width(); ++fx) {
                        const uint8_t* f = full.pixel(fx, fy);
                        if (fx >= x && fx < x + w && fy >= y && fy < y + h) {
                            const uint8_t* c = crop.pixel(fx - x, fy - y);
                            // Palette pictures of more than 255 colours are
                            // quantised; transparency stays exact.
                            int most = 0;
                            for (int ch = 0; ch < 4; ++ch) most = std::max(most, std::abs(f[ch] - c[ch]));
                            if (indexed ? (most > 24 || (f[3] == 0) != (c[3] == 0)) : most != 0) ++differ;
                        } else if (f[3] != 0) {
                            ++outside;
                        }
                    }
                EXPECT_EQ(outside, 0) << file;
                EXPECT_EQ(differ, 0) << file;
                // Every edge of the crop touches a visible pixel.
                EXPECT_EQ(visibleBox(crop).w, w);
                EXPECT_EQ(visibleBox(crop).h, h);
            }
        }
    }
}

TEST_F(SubtitleTrackExportTest, BdnRefusesSizesAndRatesWithoutAName) {
    const Profile amiga{3, 640, 512, 25.0f, 380};
    const std::string project = writeProject(amiga, edgeSets());
    Run r = run({"export", "bdn", project});
    EXPECT_NE(r.code, 0);
    EXPECT_NE(r.err.find("A BDN description knows no video format of 640 x 512 pixels"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "BDN_Output"));
    Run u = run({"export", "sup", project, "--indexed"});
    EXPECT_NE(u.code, 0);
    EXPECT_NE(u.err.find("--indexed applies to export bdn only"), std::string::npos) << u.err;
}

// The WebVTT file as FFmpeg's WebVTT demuxer reads it, the SubRip file as
// our import reads it.
TEST_F(SubtitleTrackExportTest, TextTracksReadBackAtTheSameFrames) {
    for (const Profile& p : {kPal, kNtsc, kFullHd}) {
        SCOPED_TRACE(p.width);
        std::vector<Set> sets = edgeSets();
        sets.push_back({"a < b & c > d", "", "00:10:00:00>00:10:01:01"});
        const std::string project = writeProject(p, sets);
        ASSERT_EQ(run({"export", "vtt", project}).code, 0);
        Run r = run({"export", "srt", project});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, "exported 5 subtitles into " + (dir / "SRT_Output").string() + "/\n");

        std::vector<Shown> shown = shownSets(p.fps);
        shown.push_back(tenMinutes(p.fps));

        AVFormatContext* fmt = nullptr;
        ASSERT_GE(avformat_open_input(&fmt, (dir / "VTT_Output" / "demo.vtt").c_str(), nullptr, nullptr), 0);
        EXPECT_STREQ(fmt->iformat->name, "webvtt");
        AVPacket* pkt = av_packet_alloc();
        std::vector<std::string> texts;
        size_t i = 0;
        while (av_read_frame(fmt, pkt) >= 0) {
            const AVRational tb = fmt->streams[pkt->stream_index]->time_base;
            const long long startMs = av_rescale_q(pkt->pts, tb, AVRational{1, 1000});
            const long long endMs = av_rescale_q(pkt->pts + pkt->duration, tb, AVRational{1, 1000});
            texts.emplace_back(reinterpret_cast<const char*>(pkt->data), size_t(pkt->size));
            if (i < shown.size()) {
                EXPECT_EQ(startMs, textMs(p.fps)[i].first) << i;
                EXPECT_EQ(endMs, textMs(p.fps)[i].second) << i;
            }
            ++i;
            av_packet_unref(pkt);
        }
        av_packet_free(&pkt);
        avformat_close_input(&fmt);
        ASSERT_EQ(texts.size(), shown.size());
        EXPECT_EQ(texts[0], "Caf\xC3\xA9 cr\xC3\xA8me \xE2\x82\xAC 5\nna\xC3\xAFve | bar");
        EXPECT_EQ(texts[1], "One line");
        EXPECT_EQ(texts[4], "a &lt; b &amp; c &gt; d");

        std::string srt;
        ASSERT_TRUE(files::readFile((dir / "SRT_Output" / "demo.srt").string(), srt));
        SubtitleList back;
        back.clearList();
        importSrtText(srt, p.fps, 0, back);
        const TrackSets again = collectTrackSets(back, p.fps);
        ASSERT_EQ(again.sets.size(), shown.size());
        for (size_t k = 0; k < shown.size(); ++k) {
            EXPECT_EQ(again.sets[k].onFrame, shown[k].on) << k;
            EXPECT_EQ(again.sets[k].offFrame, shown[k].off) << k;
        }
        // The project's Windows-1252 text comes back as the program's UTF-8.
        EXPECT_EQ(again.sets[0].lineA, "Caf\xC3\xA9 cr\xC3\xA8me \xE2\x82\xAC 5");
        EXPECT_EQ(again.sets[0].lineB, "na\xC3\xAFve \xC2\xA6 bar");
    }
}

// A picture of many colours and short runs: quantised to the palette, its
// object data spread over several segments, decoded as one picture.
TEST(PgsWriter, NoisyPictureIsQuantisedAndSplitOverSegments) {
    const int w = 1920, h = 1080;
    Image picture(w, h);
    uint32_t seed = 12345;
    for (int y = 100; y < 300; ++y)
        for (int x = 10; x < 1900; ++x) {
            seed = seed * 1103515245u + 12345u;
            uint8_t* p = picture.pixel(x, y);
            p[0] = uint8_t((seed >> 24) & 0xF0), p[1] = uint8_t((seed >> 16) & 0xF0), p[2] = uint8_t(x & 0xF0), p[3] = 255;
        }
    PgsWriter pgs(w, h, 25.0f);
    std::string error;
    ASSERT_TRUE(pgs.add(picture, 50, 75, error)) << error;
    pgs.finish();
    // More than one object segment: the data is larger than one segment holds.
    int objectSegments = 0;
    for (size_t at = 0; at + 13 <= pgs.bytes().size();) {
        ASSERT_EQ(pgs.bytes().substr(at, 2), "PG");
        const uint8_t type = uint8_t(pgs.bytes()[at + 10]);
        const size_t size = size_t(uint8_t(pgs.bytes()[at + 11])) << 8 | uint8_t(pgs.bytes()[at + 12]);
        if (type == 0x15) ++objectSegments;
        at += 13 + size;
    }
    EXPECT_GT(objectSegments, 2);

    const fs::path path = fs::path(testsupport::tempPath("kalvero-pgs-noise").string() + ".sup");
    ASSERT_TRUE(files::writeFileAtomic(path.string(), pgs.bytes()));
    const auto decoded = subdecode::decodeFile(path.string(), w, h, "sup");
    fs::remove(path);
    ASSERT_EQ(decoded.size(), 3u);
    EXPECT_EQ(decoded[0].pts90k, 0);
    EXPECT_EQ(decoded[0].rects, 0);
    EXPECT_EQ(decoded[1].pts90k, 180000);
    EXPECT_EQ(decoded[2].pts90k, 270000);
    EXPECT_EQ(decoded[2].rects, 0);
    // Same shape; the colours only as close as 255 entries allow.
    const subdecode::Difference diff = subdecode::compare(decoded[1].frame, picture);
    EXPECT_EQ(diff.alpha, 0);
    EXPECT_LE(diff.colour, 120);
    EXPECT_EQ(visibleBox(decoded[1].frame).y, 100);
    EXPECT_EQ(visibleBox(decoded[1].frame).h, 200);
}

namespace {

// Share of the visible pixels of either picture that both show, and the
// mean colour difference over them: DVD pictures hold three colours and
// sixteen steps of opacity, so only the shape and the average can match.
struct Overlap {
    double shared = 0, meanColour = 255;
};
Overlap overlap(const Image& a, const Image& b) {
    long long both = 0, either = 0, colour = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const uint8_t *p = a.pixel(x, y), *q = b.pixel(x, y);
            const bool pa = p[3] >= 32, qa = q[3] >= 32;
            either += pa || qa;
            if (pa && qa) {
                ++both;
                for (int c = 0; c < 3; ++c) colour += std::abs(p[c] - q[c]);
            }
        }
    Overlap o;
    if (either > 0) o.shared = double(both) / double(either);
    if (both > 0) o.meanColour = double(colour) / double(both * 3);
    return o;
}

}  // namespace

TEST_F(SubtitleTrackExportTest, VobSubAndMatroskaDecodeToTheRenderForTheirTimes) {
    for (const Profile& p : {kPal, kNtsc}) {
        SCOPED_TRACE(p.width);
        const std::string project = writeProject(p, edgeSets());
        Run r = run({"export", "vobsub", project});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, "exported 4 subtitles into " + (dir / "VobSub_Output").string() + "/\n");
        EXPECT_EQ(testsupport::filesIn(dir / "VobSub_Output"),
                  (std::vector<std::string>{"demo.idx", "demo.mks", "demo.sub"}));
        std::string idx;
        ASSERT_TRUE(files::readFile((dir / "VobSub_Output" / "demo.idx").string(), idx));
        EXPECT_NE(idx.find("size: " + std::to_string(p.width) + "x" + std::to_string(p.height) + "\n"),
                  std::string::npos);
        const std::vector<Shown> shown = shownSets(p.fps);
        for (const char* file : {"demo.idx", "demo.mks"}) {
            SCOPED_TRACE(file);
            std::string codec;
            const auto decoded =
                subdecode::decodeFile((dir / "VobSub_Output" / file).string(), p.width, p.height, nullptr, &codec);
            EXPECT_EQ(codec, "dvdsub");
            ASSERT_EQ(decoded.size(), shown.size());
            for (size_t i = 0; i < shown.size(); ++i) {
                // Shown from ON (within a millisecond) until OFF, then gone.
                EXPECT_NEAR(double(decoded[i].pts90k), double(ticksOfFrame(shown[i].on, p.fps)), 90.0) << i;
                const double lengthMs = double(ticksOfFrame(shown[i].off, p.fps) - ticksOfFrame(shown[i].on, p.fps)) / 90;
                EXPECT_NEAR(double(decoded[i].endMs), lengthMs, 12.0) << i;  // DVD counts in 1024/90000 s
                const Overlap o = overlap(decoded[i].frame, render(project, shown[i].k));
                EXPECT_GT(o.shared, 0.9) << i;
                EXPECT_LT(o.meanColour, 24) << i;
            }
        }
    }
}

TEST_F(SubtitleTrackExportTest, DvbTransportStreamShowsEachSubtitleAndClearsIt) {
    for (const Profile& p : {kPal, kNtsc, kFullHd}) {
        SCOPED_TRACE(p.width);
        const std::string project = writeProject(p, edgeSets());
        Run r = run({"export", "dvb", project});
        ASSERT_EQ(r.code, 0) << r.err;
        std::string codec;
        const auto decoded = subdecode::decodeFile((dir / "DVB_Output" / "demo.ts").string(), p.width, p.height,
                                                   "mpegts", &codec);
        EXPECT_EQ(codec, "dvbsub");
        const std::vector<Shown> shown = shownSets(p.fps);
        // Each subtitle, then an empty page at its OFF time unless the next
        // one starts there. (The empty page that starts the stream clears
        // nothing, so the decoder may report nothing for it.)
        size_t e = 0;
        if (!decoded.empty() && decoded[0].pts90k <= 1 && visibleBox(decoded[0].frame).empty()) e = 1;
        for (size_t i = 0; i < shown.size(); ++i) {
            ASSERT_LT(e, decoded.size());
            const subdecode::Decoded& on = decoded[e++];
            EXPECT_NEAR(double(on.pts90k), double(ticksOfFrame(shown[i].on, p.fps)), 1.0) << i;
            EXPECT_GT(on.rects, 0) << i;
            const Overlap o = overlap(on.frame, render(project, shown[i].k));
            EXPECT_GT(o.shared, 0.95) << i;
            EXPECT_LT(o.meanColour, 12) << i;
            if (i + 1 < shown.size() && shown[i + 1].on == shown[i].off) continue;
            ASSERT_LT(e, decoded.size()) << "no empty page after " << i;
            const subdecode::Decoded& off = decoded[e++];
            EXPECT_NEAR(double(off.pts90k), double(ticksOfFrame(shown[i].off, p.fps)), 1.0) << i;
            EXPECT_TRUE(visibleBox(off.frame).empty()) << i;
        }
        EXPECT_EQ(e, decoded.size());
    }
}

namespace {

// Where a burnt-in frame differs from the plain blue movie: the box of the
// pixels far from blue (empty when the frame shows nothing).
PixelBox burntBox(const std::vector<uint8_t>& rgb, int width, int height) {
    int x0 = width, y0 = height, x1 = -1, y1 = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
            if (p[0] > 60 || p[1] > 60 || p[2] < 195) {
                x0 = std::min(x0, x), y0 = std::min(y0, y);
                x1 = std::max(x1, x), y1 = std::max(y1, y);
            }
        }
    if (x1 < 0) return {};
    return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

}  // namespace

// The FFmpeg command-line tool burns a track onto a movie of the project's
// rate with its overlay filter: each subtitle on exactly the frames from its
// ON up to its OFF, nothing before the first ON, between sets or after the
// last OFF. The .sup at 25, 29.97 and 23.976, the DVD track (.idx/.sub and
// .mks) at 25 and 29.97, the DVB stream at 25 and 23.976 (a transport
// stream names no picture size, so the tool is given the canvas, and the
// last page's time-out would run the movie on without shortest=1).
TEST_F(SubtitleTrackExportTest, TracksBurnOntoAMovieWithTheFfmpegTool) {
    if (std::system("command -v ffmpeg > /dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg program";
    const std::vector<Set> ordinarySets = {
        {"Burnt", "in", "00:00:01:05>00:00:02:10"},
        {"Right", "after", "00:00:02:10>00:00:03:00"},
        {"Later", "", "00:00:03:20>00:00:04:02"},
    };
    struct Case {
        Profile profile;
        const char* rate;
        const char* format;
        std::vector<std::string> files;
        std::string options = "", overlay = "overlay";
        bool fromZero = false;  // the first set at 00:00:00:00
    };
    const Case cases[] = {
        {kPal, "25", "sup", {"SUP_Output/demo.sup"}},
        {kNtsc, "30000/1001", "sup", {"SUP_Output/demo.sup"}},
        {kFullHd, "24000/1001", "sup", {"SUP_Output/demo.sup"}},
        {kPal, "25", "vobsub", {"VobSub_Output/demo.idx", "VobSub_Output/demo.mks"}},
        {kNtsc, "30000/1001", "vobsub", {"VobSub_Output/demo.idx", "VobSub_Output/demo.mks"}},
        {kPal, "25", "dvb", {"DVB_Output/demo.ts"}, "-canvas_size 720x576", "overlay=shortest=1"},
        {kFullHd, "24000/1001", "dvb", {"DVB_Output/demo.ts"}, "-canvas_size 1920x1080", "overlay=shortest=1"},
        {kPal, "25", "dvb", {"DVB_Output/demo.ts"}, "-canvas_size 720x576", "overlay=shortest=1", true},
        {kPal, "25", "sup", {"SUP_Output/demo.sup"}, "", "overlay", true},
    };
    for (const Case& c : cases) {
        const Profile& p = c.profile;
        std::vector<Set> sets = ordinarySets;
        if (c.fromZero) sets[0].timing = "00:00:00:00>00:00:02:10";
        const std::string project = writeProject(p, sets);
        Run r = run({"export", c.format, project});
        ASSERT_EQ(r.code, 0) << r.err;
        // The frames of ordinarySets, worked by hand as above.
        std::vector<long long> on, off;
        if (p.fps == 25.0f) on = {30, 60, 95}, off = {60, 75, 102};
        else if (p.fps == 29.97f) on = {35, 70, 110}, off = {70, 90, 122};
        else on = {29, 58, 92}, off = {58, 72, 98};
        if (c.fromZero) on[0] = 0;
        std::vector<PixelBox> boxes;
        for (size_t k = 0; k < sets.size(); ++k) boxes.push_back(visibleBox(render(project, int(k) + 1)));
        for (const std::string& file : c.files) {
            SCOPED_TRACE(file + " at " + c.rate + (c.fromZero ? " from 0" : ""));
            const std::string track = (dir / file).string();
            const std::string log = (dir / "ffmpeg.txt").string();
            const std::string cmd = "ffmpeg -nostdin -v error -f lavfi -i color=c=blue:s=" + std::to_string(p.width) +
                                    "x" + std::to_string(p.height) + ":r=" + c.rate + ":d=5 " + c.options + " -i '" + track +
                                    "' -filter_complex '[0:v][1:s]" + c.overlay +
                                    "[v]' -map '[v]' -f rawvideo -pix_fmt rgb24 - 2> '" + log + "'";
            FILE* pipe = popen(cmd.c_str(), "r");
            ASSERT_NE(pipe, nullptr);
            std::vector<uint8_t> rgb(size_t(p.width) * size_t(p.height) * 3);
            long long frame = 0;
            int wrong = 0;
            while (wrong <= 5 && std::fread(rgb.data(), 1, rgb.size(), pipe) == rgb.size()) {
                int shown = -1;
                for (size_t k = 0; k < sets.size(); ++k)
                    if (frame >= on[k] && frame < off[k]) shown = int(k);
                const PixelBox got = burntBox(rgb, p.width, p.height);
                // The tool draws the first movie frame before it has read
                // any subtitle: a set at 0 is on from the frame after.
                if (c.fromZero && frame == 0) shown = -1;
                if (shown < 0) {
                    if (!got.empty()) ++wrong, ADD_FAILURE() << "frame " << frame << " shows a subtitle";
                } else {
                    // The set's own pixels: the box of its render, give or
                    // take the colour subsampling of the movie.
                    const PixelBox want = boxes[size_t(shown)];
                    if (got.empty() || std::abs(got.x - want.x) > 2 || std::abs(got.y - want.y) > 2 ||
                        std::abs(got.w - want.w) > 4 || std::abs(got.h - want.h) > 4)
                        ++wrong, ADD_FAILURE() << "frame " << frame << " should show set " << shown + 1 << " at "
                                               << want.x << "," << want.y << " " << want.w << "x" << want.h
                                               << ", shows " << got.x << "," << got.y << " " << got.w << "x" << got.h;
                }
                ++frame;
            }
            const int status = pclose(pipe);
            if (wrong > 5) continue;
            std::string errors;
            files::readFile(log, errors);
            EXPECT_EQ(status, 0) << errors;
            EXPECT_EQ(frame, (long long)std::lround(5 * p.fps)) << errors;
            EXPECT_EQ(errors.find("rror"), std::string::npos) << errors;
        }
    }
}

namespace {

struct PgsSegment {
    uint32_t pts = 0, dts = 0;
    uint8_t type = 0;
    std::string payload;
};

std::vector<PgsSegment> pgsSegments(const std::string& bytes) {
    std::vector<PgsSegment> v;
    auto u = [&](size_t at) { return uint32_t(uint8_t(bytes[at])); };
    for (size_t at = 0; at + 13 <= bytes.size();) {
        EXPECT_EQ(bytes.substr(at, 2), "PG") << at;
        if (bytes.substr(at, 2) != "PG") break;
        PgsSegment s;
        s.pts = u(at + 2) << 24 | u(at + 3) << 16 | u(at + 4) << 8 | u(at + 5);
        s.dts = u(at + 6) << 24 | u(at + 7) << 16 | u(at + 8) << 8 | u(at + 9);
        s.type = uint8_t(bytes[at + 10]);
        const size_t size = size_t(u(at + 11) << 8 | u(at + 12));
        s.payload = bytes.substr(at + 13, size);
        v.push_back(s);
        at += 13 + size;
    }
    return v;
}

}  // namespace

// The presentation compositions of a track: the frame-rate code of the
// project's rate, a composition number one up from the one before, an epoch
// start for every subtitle and for the empty screen at 0, a normal update
// for each OFF, and each display set closed by an end segment.
TEST_F(SubtitleTrackExportTest, SupCompositionsCarryTheRateNumbersAndStates) {
    for (const Profile& p : {kPal, kNtsc, kFullHd}) {
        SCOPED_TRACE(p.width);
        const std::string project = writeProject(p, edgeSets());
        ASSERT_EQ(run({"export", "sup", project}).code, 0);
        std::string bytes;
        ASSERT_TRUE(files::readFile((dir / "SUP_Output" / "demo.sup").string(), bytes));
        const std::vector<PgsSegment> segments = pgsSegments(bytes);
        const uint8_t rate = p.fps == 25.0f ? 0x30 : p.fps == 29.97f ? 0x40 : 0x10;
        std::vector<std::pair<uint32_t, uint8_t>> sets;  // PTS and state of each composition
        int number = 0, objects = -1;
        uint8_t last = 0x80;
        for (const PgsSegment& s : segments) {
            if (s.type == 0x16) {
                ASSERT_GE(s.payload.size(), 11u);
                EXPECT_EQ(last, 0x80) << "a display set without an end segment";
                EXPECT_EQ(uint8_t(s.payload[4]), rate);
                EXPECT_EQ(uint8_t(s.payload[5]) << 8 | uint8_t(s.payload[6]), number++);
                objects = uint8_t(s.payload[10]);
                sets.push_back({s.pts, uint8_t(s.payload[7])});
                EXPECT_EQ(uint8_t(s.payload[7]), objects > 0 || s.pts == 0 ? 0x80 : 0x00) << s.pts;
                EXPECT_EQ(uint8_t(s.payload[8]), 0);  // no palette-only update
            }
            EXPECT_TRUE(s.dts == 0 || s.dts <= s.pts);
            last = s.type;
        }
        EXPECT_EQ(last, 0x80);
        // Empty screen at 0, then each shown set and its OFF (the back-to-back
        // set takes the screen over at the OFF of the one before).
        const std::vector<Shown> shown = shownSets(p.fps);
        ASSERT_EQ(sets.size(), 1 + 4 + 3u);
        EXPECT_EQ(sets[0].first, 0u);
        EXPECT_EQ(sets[1].first, uint32_t(ticksOfFrame(shown[0].on, p.fps)));
        EXPECT_EQ(sets.back().first, uint32_t(ticksOfFrame(shown.back().off, p.fps)));
    }
}

TEST(PgsWriter, FrameRateCodes) {
    EXPECT_EQ(pgsFrameRateCode(23.976f), 0x10);
    EXPECT_EQ(pgsFrameRateCode(24.0f), 0x20);
    EXPECT_EQ(pgsFrameRateCode(25.0f), 0x30);
    EXPECT_EQ(pgsFrameRateCode(29.97f), 0x40);
    EXPECT_EQ(pgsFrameRateCode(50.0f), 0x60);
    EXPECT_EQ(pgsFrameRateCode(59.94f), 0x70);
    EXPECT_EQ(pgsFrameRateCode(12.5f), 0x10);
}

// Three bands of text become at most two objects and decode to the whole
// picture; an object wider than the format allows or with more data than its
// length field holds is refused with a message, and nothing is written.
TEST(PgsWriter, ObjectLimits) {
    {
        const int w = 720, h = 576;
        Image picture(w, h);
        for (int band : {100, 200, 300})
            for (int y = band; y < band + 30; ++y)
                for (int x = 50; x < 400; ++x) {
                    uint8_t* q = picture.pixel(x, y);
                    q[0] = uint8_t(band), q[1] = 255, q[2] = uint8_t(x), q[3] = 255;
                }
        PgsWriter pgs(w, h, 25.0f);
        std::string error;
        ASSERT_TRUE(pgs.add(picture, 0, 25, error)) << error;
        pgs.finish();
        const fs::path path = fs::path(testsupport::tempPath("kalvero-pgs-bands").string() + ".sup");
        ASSERT_TRUE(files::writeFileAtomic(path.string(), pgs.bytes()));
        const auto decoded = subdecode::decodeFile(path.string(), w, h, "sup");
        fs::remove(path);
        ASSERT_EQ(decoded.size(), 2u);  // starts at 0: no empty screen before it
        EXPECT_EQ(decoded[0].rects, 2);
        EXPECT_EQ(subdecode::compare(decoded[0].frame, picture).alpha, 0);
    }
    {
        PgsWriter pgs(5000, 64, 25.0f);
        Image wide(5000, 64);
        for (int x = 100; x < 4900; ++x) wide.pixel(x, 20)[3] = 255;
        std::string error;
        EXPECT_FALSE(pgs.add(wide, 10, 20, error));
        EXPECT_NE(error.find("at most 4096 x 4096 pixels; this one is 4800 x 8"), std::string::npos) << error;
        EXPECT_EQ(pgs.displaySets(), 0);
        EXPECT_TRUE(pgs.bytes().empty());
    }
    {
        // Single transparent and opaque pixels in turn: 1.5 bytes a pixel,
        // more than the 24-bit length of one object's data.
        const int side = 4096;
        Image checker(side, side);
        for (int y = 0; y < side; ++y)
            for (int x = (y & 1); x < side; x += 2) {
                uint8_t* q = checker.pixel(x, y);
                q[0] = q[1] = q[2] = q[3] = 255;
            }
        PgsWriter pgs(side, side, 25.0f);
        std::string error;
        EXPECT_FALSE(pgs.add(checker, 10, 20, error));
        EXPECT_NE(error.find("bytes of picture data"), std::string::npos) << error;
        EXPECT_TRUE(pgs.bytes().empty());
    }
}

// A DVD subtitle covers at most a DVD picture: larger projects are refused
// with the limits named, before any folder is made; DVB takes any size.
TEST_F(SubtitleTrackExportTest, VobSubRefusesPicturesLargerThanADvd) {
    const Profile hd720{5, 1280, 720, 25.0f, 540};
    for (const Profile& p : {hd720, kFullHd}) {
        SCOPED_TRACE(p.width);
        const std::string project = writeProject(p, edgeSets());
        Run r = run({"export", "vobsub", project});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("A DVD subtitle picture can be at most 720 x 576 pixels; this project is " +
                             std::to_string(p.width) + " x " + std::to_string(p.height) + " pixels."),
                  std::string::npos)
            << r.err;
        EXPECT_FALSE(fs::exists(dir / "VobSub_Output"));
    }
    const Profile amiga{3, 640, 512, 25.0f, 380};
    Run small = run({"export", "vobsub", writeProject(amiga, edgeSets())});
    EXPECT_EQ(small.code, 0) << small.err;
    EXPECT_EQ(run({"export", "dvb", writeProject(hd720, edgeSets())}).code, 0);
}

// A run stopped part-way leaves no file of any kind in the track's folder:
// no track, no picture, no temporary file; the result says why.
TEST(SubtitleTrackCancel, StoppedRunsLeaveNothingBehind) {
    const fs::path dir = testsupport::tempPath("kalvero-subtrack-cancel");
    for (SubtitleFormat format : {SubtitleFormat::Bdn, SubtitleFormat::Sup, SubtitleFormat::VobSub, SubtitleFormat::Dvb}) {
        for (int stopAfter : {0, 5, 40}) {  // before the first set, part-way, after the last
            SCOPED_TRACE(std::string(subtitleFormatInfo(format).cliName) + " " + std::to_string(stopAfter));
            fs::remove_all(dir);
            fs::create_directories(dir);
            std::atomic<bool> cancel{stopAfter == 0};
            SubtitleExportJob job = testsupport::filmTrackJob(format, dir.string());
            for (int k = 0; k < 40; ++k) {
                TrackSet s;
                s.set = k;
                s.onFrame = 10 * k;
                s.offFrame = 10 * k + 8;
                job.sets.sets.push_back(s);
            }
            job.render = [](int set, Image& out) {
                for (int y = 400; y < 440; ++y)
                    for (int x = 10 + set; x < 200 + set; ++x) {
                        uint8_t* p = out.pixel(x, y);
                        p[0] = 255, p[1] = uint8_t(set), p[2] = 0, p[3] = 255;
                    }
                return true;
            };
            job.progress = [&](int done, int) {
                if (done >= stopAfter) cancel = true;
            };
            job.cancel = &cancel;
            job.makeStreamWriter = createSubtitleStreamWriter;
            const SubtitleExportResult r = exportSubtitleTrack(job);
            EXPECT_FALSE(r.ok);
            EXPECT_TRUE(r.cancelled);
            EXPECT_TRUE(r.written.empty());
            std::vector<std::string> left;
            for (const auto& e : fs::recursive_directory_iterator(dir))
                if (e.is_regular_file()) left.push_back(e.path().filename().string());
            EXPECT_TRUE(left.empty()) << left.front();
        }
    }
    fs::remove_all(dir);
}

// Text beyond Windows-1252 makes the UTF-8 project form; SubRip and WebVTT
// keep every character (FFmpeg's SubRip and WebVTT demuxers read them), and
// a text colour other than white goes into SubRip as <font color>.
TEST_F(SubtitleTrackExportTest, EveryScriptReachesTheTextTracks) {
    const std::vector<Set> sets = {
        {"Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 \xD0\x9F\xD1\x80\xD0\xB8", "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7 \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D",
         "00:00:01:00>00:00:02:00"},
        {"\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7", "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF \xF0\x9F\x98\x80",
         "00:00:03:00>00:00:04:00"},
    };
    std::string project = writeProject(kPal, sets);
    // The header of the UTF-8 form (the rows are UTF-8 already).
    std::string content;
    ASSERT_TRUE(files::readFile(project, content));
    content.replace(0, std::string("##-KVL8 Project").size(), "##-KVL8 Project (UTF-8)");
    ASSERT_TRUE(files::writeFileAtomic(project, content));
    // The shipped yellow preset: its colour reaches the SubRip file.
    const std::string yellow = "Rental Video Yellow";
    ASSERT_EQ(run({"export", "vtt", project}).code, 0);
    Run r = run({"export", "srt", project});
    ASSERT_EQ(r.code, 0) << r.err;
    for (const char* file : {"SRT_Output/demo.srt", "VTT_Output/demo.vtt"}) {
        SCOPED_TRACE(file);
        AVFormatContext* fmt = nullptr;
        ASSERT_GE(avformat_open_input(&fmt, (dir / file).c_str(), nullptr, nullptr), 0);
        AVPacket* pkt = av_packet_alloc();
        std::vector<std::string> texts;
        while (av_read_frame(fmt, pkt) >= 0) {
            texts.emplace_back(reinterpret_cast<const char*>(pkt->data), size_t(pkt->size));
            av_packet_unref(pkt);
        }
        av_packet_free(&pkt);
        avformat_close_input(&fmt);
        ASSERT_EQ(texts.size(), 2u);
        for (size_t k = 0; k < 2; ++k) {
            texts[k].erase(std::remove(texts[k].begin(), texts[k].end(), '\r'), texts[k].end());
            while (!texts[k].empty() && texts[k].back() == '\n') texts[k].pop_back();
            EXPECT_EQ(texts[k], sets[k].a + "\n" + sets[k].b);
        }
    }
    // Written again through a yellow look: the SubRip lines carry the colour.
    fs::remove_all(dir / "SRT_Output");
    std::string look = "; look\r\n[Look]\r\nPreset = " + yellow + "|0,0,0|1|1|254|0|0,0,160|0|-1|46|1|1|20|255,224,0\r\nFontSize = 24\r\n";
    ASSERT_TRUE(files::writeFileAtomic((dir / "demo.look").string(), look));
    ASSERT_EQ(run({"export", "srt", project}).code, 0);
    std::string srt;
    ASSERT_TRUE(files::readFile((dir / "SRT_Output" / "demo.srt").string(), srt));
    EXPECT_NE(srt.find("<font color=\"#ffe000\">" + sets[1].a + "</font>\r\n"), std::string::npos) << srt;
}

namespace {

// The text of each subtitle of a file as FFmpeg's demuxer and decoder read
// it, in the decoder's ASS form (italics as {\i1} .. {\i0}).
std::vector<std::string> decodedTexts(const fs::path& file) {
    std::vector<std::string> out;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, file.c_str(), nullptr, nullptr) < 0) return out;
    avformat_find_stream_info(fmt, nullptr);
    const AVCodec* codec = avcodec_find_decoder(fmt->streams[0]->codecpar->codec_id);
    AVCodecContext* ctx = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (ctx && avcodec_parameters_to_context(ctx, fmt->streams[0]->codecpar) >= 0 && avcodec_open2(ctx, codec, nullptr) >= 0) {
        AVPacket* pkt = av_packet_alloc();
        while (av_read_frame(fmt, pkt) >= 0) {
            AVSubtitle sub{};
            int got = 0;
            if (avcodec_decode_subtitle2(ctx, &sub, &got, pkt) >= 0 && got) {
                for (unsigned r = 0; r < sub.num_rects; ++r)
                    if (sub.rects[r]->ass) out.emplace_back(sub.rects[r]->ass);
                avsubtitle_free(&sub);
            }
            av_packet_unref(pkt);
        }
        av_packet_free(&pkt);
    }
    avcodec_free_context(&ctx);
    avformat_close_input(&fmt);
    return out;
}

}  // namespace

// Italics reach SubRip, WebVTT and ASS as FFmpeg's demuxers and decoders
// read them, and the SubRip file imported again gives the lines back; a
// yellow look colours the WebVTT cues through a colour class, which
// FFmpeg reads past and a python reader finds on every line.
TEST_F(SubtitleTrackExportTest, ItalicsAndTheColourReachTheTextTracks) {
    const std::vector<Set> sets = {
        {"<i>Slanted</i> and upright", "all <i>in</i> <i>parts</i>", "00:00:01:00>00:00:02:00"},
        {"", "<i>a < b & c</i>", "00:00:03:00>00:00:04:00"},
    };
    const std::string project = writeProject(kPal, sets);
    const std::string look = "; look\r\n[Look]\r\nPreset = Rental Video Yellow|0,0,0|1|1|254|0|0,0,160|0|-1|46|1|1|20|"
                             "255,224,0\r\nFontSize = 24\r\n";
    ASSERT_TRUE(files::writeFileAtomic((dir / "demo.look").string(), look));
    for (const char* format : {"srt", "vtt", "ass"}) ASSERT_EQ(run({"export", format, project}).code, 0) << format;

    for (const char* file : {"SRT_Output/demo.srt", "VTT_Output/demo.vtt"}) {
        SCOPED_TRACE(file);
        const std::vector<std::string> texts = decodedTexts(dir / file);
        ASSERT_EQ(texts.size(), 2u);
        EXPECT_NE(texts[0].find("{\\i1}Slanted{\\i0} and upright"), std::string::npos) << texts[0];
        EXPECT_NE(texts[0].find("all {\\i1}in{\\i0} {\\i1}parts{\\i0}"), std::string::npos) << texts[0];
        EXPECT_NE(texts[1].find("{\\i1}a < b & c{\\i0}"), std::string::npos) << texts[1];
    }
    AVFormatContext* fmt = nullptr;
    ASSERT_GE(avformat_open_input(&fmt, (dir / "ASS_Output" / "demo.ass").c_str(), nullptr, nullptr), 0);
    AVPacket* pkt = av_packet_alloc();
    std::string events;
    while (av_read_frame(fmt, pkt) >= 0) {
        events.append(reinterpret_cast<const char*>(pkt->data), size_t(pkt->size)).append("\n");
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    avformat_close_input(&fmt);
    EXPECT_NE(events.find("}{\\i1}Slanted{\\i0} and upright\n"), std::string::npos) << events;
    EXPECT_NE(events.find("{\\i1}a < b & c{\\i0}\n"), std::string::npos) << events;

    std::string srt;
    ASSERT_TRUE(files::readFile((dir / "SRT_Output" / "demo.srt").string(), srt));
    SubtitleList back;
    back.clearList();
    importSrtText(srt, 25.0f, 0, back);
    ASSERT_EQ(back.lineCount(), 4);
    EXPECT_EQ(back.line(0).text, sets[0].a);
    EXPECT_EQ(back.line(1).text, sets[0].b);
    EXPECT_EQ(back.line(3).text, sets[1].b);

    // The colour: each cue line in WebVTT's yellow class, the nearest of
    // its colour classes to the look's #ffe000, and no STYLE block (which
    // would stop FFmpeg's reader from reading any cue).
    const std::string script = R"PY(
import re, sys
blocks = open(sys.argv[1], encoding="utf-8").read().rstrip("\n").split("\n\n")
assert blocks[0] == "WEBVTT", blocks[0]
assert not any(b.startswith("STYLE") for b in blocks), blocks
classes = set()
for b in blocks[1:]:
    lines = b.split("\n")
    assert re.fullmatch(r"[0-9:.]+ --> [0-9:.]+", lines[0]), lines[0]
    for t in lines[1:]:
        m = re.fullmatch(r"<c\.([a-z]+)>(.*)</c>", t)
        assert m and "<c" not in m.group(2), t
        classes.add(m.group(1))
print(" ".join(sorted(classes)))
)PY";
    FILE* p = popen(("python3 -c '" + script + "' " + (dir / "VTT_Output" / "demo.vtt").string() + " 2>&1").c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buffer[512] = {};
    const size_t n = fread(buffer, 1, sizeof buffer - 1, p);
    EXPECT_EQ(pclose(p), 0) << std::string(buffer, n);
    EXPECT_EQ(std::string(buffer, n), "yellow\n");
    EXPECT_EQ(nearestCueColour(Rgb{250, 250, 250}), "white");
    EXPECT_EQ(nearestCueColour(Rgb{0, 200, 220}), "cyan");
    EXPECT_EQ(nearestCueColour(Rgb{20, 10, 30}), "black");
}
