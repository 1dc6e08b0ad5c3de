#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "TestSupport.h"
#include "export/TrackJobTesting.h"
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
