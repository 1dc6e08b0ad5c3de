// The subtitle-track exports of kalvero-cli, read back by independent
// readers: FFmpeg's demuxers and decoders, python's XML parser, libpng and
// the SubRip import.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "SubtitleDecode.h"
#include "TestSupport.h"
#include "cli/Cli.h"
#include "export/Bdn.h"
#include "export/Pgs.h"
#include "export/SubtitleTrack.h"
#include "io/Files.h"
#include "project/SrtImport.h"

namespace fs = std::filesystem;

namespace {

struct Profile {
    int index, width, height;
    float fps;
    int y;
};
const Profile kPal{1, 720, 576, 25.0f, 430};
const Profile kNtsc{2, 720, 480, 29.97f, 356};
const Profile kFullHd{9, 1920, 1080, 23.976f, 810};

struct Set {
    std::string a, b, timing;
};

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

class SubtitleTrackExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kalvero-subtrack-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string writeProject(const Profile& p, const std::vector<Set>& sets, const std::string& name = "demo",
                             int preset = 0) {
        std::string s = "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: " + std::to_string(p.width) +
                        "\r\n##-Resolution Height: " + std::to_string(p.height) + "\r\n##-Profile: " +
                        std::to_string(p.index) + "\r\n##-Preset: " + std::to_string(preset) +
                        "\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
                        "##-Number of lines/pages: 4 / 2\r\n##-Word count: 4\r\n##-User Timed Session: 0\r\n##-;\r\n";
        for (size_t k = 0; k < sets.size(); ++k) {
            s += rowId(int(2 * k)) + "|" + sets[k].a + "|" + sets[k].timing + "||" + std::to_string(p.y) + "\r\n";
            s += rowId(int(2 * k + 1)) + "|" + sets[k].b + "|" + sets[k].timing + "||" + std::to_string(p.y) + "\r\n";
        }
        const std::string path = (dir / (name + ".KVL8")).string();
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
    static std::vector<Shown> shownSets(float fps) {
        std::vector<Shown> v;
        const std::vector<Set> sets = edgeSets();
        for (int k : {1, 2, 5, 6}) {
            const auto [on, off] = splitTiming(sets[size_t(k - 1)].timing);
            v.push_back({k, frameOf(parseTimeCode(on), fps), frameOf(parseTimeCode(off), fps)});
        }
        return v;
    }

    fs::path dir;
};

// Each subtitle is decoded at its ON time as the render shows it, and the
// screen is empty from its OFF time on; nothing else is shown.
void checkDecodedTrack(const std::vector<subdecode::Decoded>& decoded, const std::vector<Image>& renders,
                       const std::vector<long long>& on, const std::vector<long long>& off, float fps,
                       int maxColourError, int maxAlphaError) {
    std::vector<std::pair<long long, int>> expected;  // time, set index or -1 for an empty screen
    for (size_t i = 0; i < on.size(); ++i) {
        expected.push_back({frameTo90k(on[i], fps), int(i)});
        if (i + 1 == on.size() || on[i + 1] > off[i]) expected.push_back({frameTo90k(off[i], fps), -1});
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
        EXPECT_NE(r.err.find("1 set was left out: no ON or OFF time code."), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("1 set was left out: OFF is not after ON."), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("1 set was left out: nothing to show."), std::string::npos) << r.err;

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
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(decoded[0].rects, 2);  // line A and line B
    const subdecode::Difference diff = subdecode::compare(decoded[0].frame, render(project, 1));
    EXPECT_LE(diff.colour, 6);
    EXPECT_LE(diff.alpha, 2);
    EXPECT_EQ(decoded[1].rects, 0);
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
            EXPECT_EQ(first, bdnTimeCode(shown.front().on, p.fps));
            EXPECT_EQ(last, bdnTimeCode(shown.back().off, p.fps));
            std::string titleLine;
            std::getline(in >> std::ws, titleLine);
            EXPECT_EQ(titleLine, "title Caf\xC3\xA9 & co");
            for (const Shown& s : shown) {
                std::string inTc, outTc, forced, file;
                int w, h, x, y, pw, ph, depth, colour;
                in >> word >> inTc >> outTc >> forced >> w >> h >> x >> y >> pw >> ph >> depth >> colour;
                std::getline(in >> std::ws, file);
                ASSERT_EQ(word, "event");
                EXPECT_EQ(inTc, bdnTimeCode(s.on, p.fps));
                EXPECT_EQ(outTc, bdnTimeCode(s.off, p.fps));
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
        shown.push_back({8, frameOf(TimeCode{0, 10, 0, 0}, p.fps), frameOf(TimeCode{0, 10, 1, 1}, p.fps)});

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
                // The frame the SubRip reader would take from these times.
                const TimeCode on = parseTimeCode(srtTimeToTimeCode(clockText(startMs, ','), p.fps));
                const TimeCode off = parseTimeCode(srtTimeToTimeCode(clockText(endMs, ','), p.fps));
                EXPECT_EQ(frameOf(on, p.fps), shown[i].on) << i;
                EXPECT_EQ(frameOf(off, p.fps), shown[i].off) << i;
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
        EXPECT_EQ(again.sets[0].lineA, sets[0].a);
        EXPECT_EQ(again.sets[0].lineB, sets[0].b);
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

    const fs::path path = fs::temp_directory_path() / "kalvero-pgs-noise.sup";
    ASSERT_TRUE(files::writeFileAtomic(path.string(), pgs.bytes()));
    const auto decoded = subdecode::decodeFile(path.string(), w, h, "sup");
    fs::remove(path);
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(decoded[0].pts90k, 180000);
    EXPECT_EQ(decoded[1].pts90k, 270000);
    EXPECT_EQ(decoded[1].rects, 0);
    // Same shape; the colours only as close as 255 entries allow.
    const subdecode::Difference diff = subdecode::compare(decoded[0].frame, picture);
    EXPECT_EQ(diff.alpha, 0);
    EXPECT_LE(diff.colour, 120);
    EXPECT_EQ(visibleBox(decoded[0].frame).y, 100);
    EXPECT_EQ(visibleBox(decoded[0].frame).h, 200);
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
                EXPECT_NEAR(double(decoded[i].pts90k), double(frameTo90k(shown[i].on, p.fps)), 90.0) << i;
                const double lengthMs = double(frameTo90k(shown[i].off, p.fps) - frameTo90k(shown[i].on, p.fps)) / 90;
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
        // Each subtitle, then an empty page at its OFF time unless the next one
        // starts there.
        size_t e = 0;
        for (size_t i = 0; i < shown.size(); ++i) {
            ASSERT_LT(e, decoded.size());
            const subdecode::Decoded& on = decoded[e++];
            EXPECT_NEAR(double(on.pts90k), double(frameTo90k(shown[i].on, p.fps)), 1.0) << i;
            EXPECT_GT(on.rects, 0) << i;
            const Overlap o = overlap(on.frame, render(project, shown[i].k));
            EXPECT_GT(o.shared, 0.95) << i;
            EXPECT_LT(o.meanColour, 12) << i;
            if (i + 1 < shown.size() && shown[i + 1].on == shown[i].off) continue;
            ASSERT_LT(e, decoded.size()) << "no empty page after " << i;
            const subdecode::Decoded& off = decoded[e++];
            EXPECT_NEAR(double(off.pts90k), double(frameTo90k(shown[i].off, p.fps)), 1.0) << i;
            EXPECT_TRUE(visibleBox(off.frame).empty()) << i;
        }
        EXPECT_EQ(e, decoded.size());
    }
}
