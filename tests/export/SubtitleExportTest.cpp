#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <tuple>

#include "TestSupport.h"
#include "export/TrackJobTesting.h"
#include "export/AssSubtitles.h"
#include "export/Bdn.h"
#include "export/Language.h"
#include "export/SubtitleExport.h"
#include "export/TextSubtitles.h"
#include "io/Files.h"
#include "project/SrtImport.h"

namespace fs = std::filesystem;

namespace {

TrackSet timedSet(int set, long long on, long long off, float fps) {
    TrackSet s;
    s.set = set;
    s.lineA = "Set " + std::to_string(set);
    s.lineB = "line B";
    s.on = timeCodeOfFrame(on, fps);
    s.off = timeCodeOfFrame(off, fps);
    s.onFrame = frameOf(s.on, fps);
    s.offFrame = frameOf(s.off, fps);
    return s;
}

// A render that draws a small opaque block whose place depends on the set;
// set 3 draws nothing.
bool blockRender(int set, Image& out) {
    if (set == 3) return true;
    const int x0 = 10 + set % 50, y0 = 400 + set % 20;
    for (int y = y0; y < y0 + 12; ++y)
        for (int x = x0; x < x0 + 30; ++x) {
            uint8_t* p = out.pixel(x, y);
            p[0] = 255, p[1] = uint8_t(set), p[2] = 0, p[3] = 200;
        }
    return true;
}

class SubtitleExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testsupport::freshTestDir("kalvero-subexport-");
    }
    void TearDown() override { fs::remove_all(dir); }
    // A 720 x 576 track at 25 fps named "film" in the test's folder.
    SubtitleExportJob filmJob(SubtitleFormat format) const { return testsupport::filmTrackJob(format, dir.string()); }
    fs::path dir;
};

}  // namespace

// Ten thousand and one sets: every cue numbered, every frame read back.
TEST_F(SubtitleExportTest, TenThousandSetsRoundTripThroughSubRip) {
    const float fps = 29.97f;
    TrackSets sets;
    for (int k = 0; k < 10001; ++k) sets.sets.push_back(timedSet(k, 10LL * k, 10LL * k + 7, fps));
    const TextSubtitles srt = writeTextSubtitles(sets, fps, TextSubtitleFormat::SubRip);
    EXPECT_EQ(srt.cues, 10001);
    EXPECT_NE(srt.bytes.find("\r\n10001\r\n"), std::string::npos);
    SubtitleList back;
    back.clearList();
    EXPECT_EQ(importSrtText(srt.bytes, fps, 0, back).cues, 10001);
    const TrackSets again = collectTrackSets(back, fps);
    ASSERT_EQ(again.sets.size(), 10001u);
    for (size_t k = 0; k < again.sets.size(); ++k) {
        ASSERT_EQ(again.sets[k].onFrame, sets.sets[k].onFrame) << k;
        ASSERT_EQ(again.sets[k].offFrame, sets.sets[k].offFrame) << k;
    }
}

// A list out of time order: SubRip and WebVTT cues come in time order, each
// set at its own time, none left out; read back by the SubRip reader and as
// WebVTT cue times.
TEST(TextSubtitles, CuesOfAListOutOfTimeOrderAreWrittenInTimeOrder) {
    const float fps = 25.0f;
    TrackSets sets;
    for (auto [set, on, off] : std::vector<std::tuple<int, int, int>>{{0, 250, 300}, {1, 50, 100}, {2, 400, 450},
                                                                       {3, 150, 200}, {4, 50, 75}})
        sets.sets.push_back(timedSet(set, on, off, fps));
    const TextSubtitles srt = writeTextSubtitles(sets, fps, TextSubtitleFormat::SubRip);
    EXPECT_EQ(srt.cues, 5);
    SubtitleList back;
    back.clearList();
    ASSERT_EQ(importSrtText(srt.bytes, fps, 0, back).cues, 5);
    const TrackSets again = collectTrackSets(back, fps);
    const std::vector<std::pair<long long, std::string>> expected = {
        {50, "Set 1"}, {50, "Set 4"}, {150, "Set 3"}, {250, "Set 0"}, {400, "Set 2"}};
    ASSERT_EQ(again.sets.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(again.sets[i].onFrame, expected[i].first) << i;
        EXPECT_EQ(again.sets[i].lineA, expected[i].second) << i;
    }
    const std::string vtt = writeTextSubtitles(sets, fps, TextSubtitleFormat::WebVtt).bytes;
    EXPECT_LT(vtt.find("00:00:02.000 --> 00:00:04.000\nSet 1"), vtt.find("00:00:06.000 --> 00:00:08.000\nSet 3"));
    EXPECT_LT(vtt.find("Set 3"), vtt.find("Set 0"));
    EXPECT_LT(vtt.find("Set 0"), vtt.find("Set 2"));
}

TEST_F(SubtitleExportTest, SupCountsBlankSetsAndShowsTheOthers) {
    SubtitleExportJob job = filmJob(SubtitleFormat::Sup);
    job.sets.sets = {timedSet(2, 100, 150, 25.0f), timedSet(3, 160, 170, 25.0f), timedSet(10000, 10, 20, 25.0f)};
    job.render = blockRender;
    const SubtitleExportResult r = exportSubtitleTrack(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.subtitles, 2);
    EXPECT_EQ(r.blank, 1);
    EXPECT_EQ(testsupport::filesIn(dir / "SUP_Output"), (std::vector<std::string>{"film.sup"}));
}

TEST_F(SubtitleExportTest, BdnNamesPicturesAfterTheirSetsAndCountsBlankOnes) {
    SubtitleExportJob job = filmJob(SubtitleFormat::Bdn);
    // Set 10000 first on screen although later in the list.
    job.sets.sets = {timedSet(2, 100, 150, 25.0f), timedSet(3, 160, 170, 25.0f), timedSet(10000, 10, 20, 25.0f)};
    job.sets.untimed = 2;
    job.render = blockRender;
    std::vector<std::pair<int, int>> progress;
    job.progress = [&](int v, int t) { progress.push_back({v, t}); };
    const SubtitleExportResult r = exportSubtitleTrack(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.subtitles, 2);
    EXPECT_EQ(r.blank, 1);
    EXPECT_EQ(r.untimed, 2);
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
    EXPECT_EQ(testsupport::filesIn(dir / "BDN_Output"),
              (std::vector<std::string>{"film.xml", "film0003.png", "film10001.png"}));
    const Image crop = testsupport::decodeFile((dir / "BDN_Output" / "film10001.png").string());
    EXPECT_EQ(crop.width(), 30);
    EXPECT_EQ(crop.height(), 12);
    EXPECT_EQ(subtitleExportMessage(r),
              "2 subtitles written.\n2 sets left out (no ON or OFF time code).\n1 set left out (nothing to show).");
    // Where the list walk named them, the sets are named (from 1).
    SubtitleExportResult named = r;
    named.untimedSets = {4, 6};
    named.reversed = 1;
    named.reversedSets = {8};
    EXPECT_EQ(subtitleExportMessage(named),
              "2 subtitles written.\n2 sets left out: 5, 7 (no ON or OFF time code).\n"
              "1 set left out: 9 (OFF not after ON).\n1 set left out (nothing to show).");
}

TEST_F(SubtitleExportTest, FailuresNameTheFolderOrTheSet) {
    SubtitleExportJob job = filmJob(SubtitleFormat::Sup);
    job.sets.sets = {timedSet(0, 10, 20, 25.0f), timedSet(1, 30, 40, 25.0f)};

    // The project folder is a file.
    const fs::path blocker = dir / "not_a_folder";
    ASSERT_TRUE(files::writeFileAtomic(blocker.string(), "x"));
    job.projectDir = blocker.string();
    job.render = blockRender;
    SubtitleExportResult r = exportSubtitleTrack(job);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("SUP_Output"), std::string::npos) << r.error;

    // A set that cannot be drawn stops the run; no track file is left.
    job.projectDir = dir.string();
    job.render = [](int set, Image& out) { return set == 0 && blockRender(set, out); };
    r = exportSubtitleTrack(job);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Subtitle set 2 could not be rendered.");
    EXPECT_TRUE(testsupport::filesIn(dir / "SUP_Output").empty());

    // No frame rate, or a size the BDN description cannot name: refused.
    EXPECT_NE(subtitleExportRefusal(SubtitleFormat::SubRip, 720, 576, 0.0f), "");
    EXPECT_EQ(subtitleExportRefusal(SubtitleFormat::SubRip, 640, 512, 25.0f), "");
    EXPECT_NE(subtitleExportRefusal(SubtitleFormat::Bdn, 720, 576, 30.0f).find("frame rate of 30.000"),
              std::string::npos);
    EXPECT_EQ(subtitleExportRefusal(SubtitleFormat::Bdn, 1920, 1080, 29.97f), "");
}

// Events that overlap give way to the next one, as the screen of a SUP
// shows them; one that the next starts with is covered and taken out.
TEST_F(SubtitleExportTest, BdnEventsEndWhereTheNextOneBegins) {
    using Spans = std::vector<std::pair<long long, long long>>;
    struct Case {
        Spans in, out, dropped;
    };
    const std::vector<Case> cases = {
        {{{10, 20}, {30, 40}}, {{10, 20}, {30, 40}}, {}},            // apart
        {{{10, 30}, {30, 40}}, {{10, 30}, {30, 40}}, {}},            // back to back
        {{{10, 50}, {20, 30}, {25, 60}}, {{10, 20}, {20, 25}, {25, 60}}, {}},
        {{{10, 50}, {10, 30}, {40, 45}}, {{10, 30}, {40, 45}}, {{10, 50}}},  // same InTC: the later one shows
        {{{10, 50}, {10, 30}, {10, 20}}, {{10, 20}}, {{10, 50}, {10, 30}}},
    };
    for (const Case& c : cases) {
        std::vector<BdnEvent> events, dropped;
        for (const auto& [in, out] : c.in) events.push_back({in, out, "f" + std::to_string(in), {}});
        cutAtNextEvent(events, &dropped);
        Spans got, gone;
        for (const BdnEvent& e : events) got.push_back({e.inFrame, e.outFrame});
        for (const BdnEvent& e : dropped) gone.push_back({e.inFrame, e.outFrame});
        EXPECT_EQ(got, c.out);
        EXPECT_EQ(gone, c.dropped);
    }

    // Through the export: the covered set's picture is not left behind.
    SubtitleExportJob job = filmJob(SubtitleFormat::Bdn);
    job.sets.sets = {timedSet(0, 100, 150, 25.0f), timedSet(1, 100, 120, 25.0f), timedSet(2, 110, 160, 25.0f)};
    job.render = blockRender;
    const SubtitleExportResult r = exportSubtitleTrack(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.subtitles, 2);
    EXPECT_EQ(r.covered, 1);
    EXPECT_EQ(testsupport::filesIn(dir / "BDN_Output"), (std::vector<std::string>{"film.xml", "film0002.png", "film0003.png"}));
    std::string xml;
    ASSERT_TRUE(files::readFile((dir / "BDN_Output" / "film.xml").string(), xml));
    EXPECT_NE(xml.find("InTC=\"00:00:04:00\" OutTC=\"00:00:04:10\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("InTC=\"00:00:04:10\" OutTC=\"00:00:06:10\""), std::string::npos) << xml;
    EXPECT_NE(subtitleExportMessage(r).find("1 set left out (a later set starts at the same time"),
              std::string::npos);
}

TEST(LanguageCodes, EachFormTakesItsOwnLength) {
    struct Case {
        std::string code, two, three;
        bool ok;
    };
    const std::vector<Case> cases = {
        {"fr", "fr", "fre", true},   {"fra", "fr", "fre", true}, {"fre", "fr", "fre", true},
        {"de", "de", "ger", true},   {"und", "und", "und", true}, {"yue", "yue", "yue", true},
        {"xx", "xx", "xx", false},   {"FR", "FR", "FR", false},   {"f", "f", "f", false},
        {"fren", "fren", "fren", false}, {"", "", "", false},     {"e1", "e1", "e1", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(language::refusal(c.code).empty(), c.ok) << c.code;
        if (!c.ok) continue;
        EXPECT_EQ(language::twoLetter(c.code), c.two) << c.code;
        EXPECT_EQ(language::threeLetter(c.code), c.three) << c.code;
    }
}

// Times of the script: the frame itself already shows the event, at the
// exact rates of 23.976 and 29.97 too.
TEST(AssTimes, EachFrameStartsOnOrAfterItsTime) {
    for (float fps : {25.0f, 23.976f, 29.97f, 50.0f, 59.94f}) {
        const FrameRate r = exactFrameRate(fps);
        for (long long frame : {0LL, 1LL, 29LL, 1799LL, 107892LL, 2157840LL}) {
            const std::string t = assTime(frame, fps);
            int h, m, s, cs;
            ASSERT_EQ(std::sscanf(t.c_str(), "%d:%d:%d.%d", &h, &m, &s, &cs), 4) << t;
            const double at = h * 3600.0 + m * 60.0 + s + cs / 100.0;
            const double starts = double(frame) * double(r.den) / double(r.num);
            EXPECT_LE(at, starts + 1e-9) << fps << " " << frame << " " << t;
            EXPECT_GT(at, starts - double(r.den) / double(r.num)) << fps << " " << frame << " " << t;
        }
    }
}
