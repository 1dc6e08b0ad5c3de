#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "base/Cp1252.h"
#include "export/SubtitleTrack.h"
#include "export/TextSubtitles.h"
#include "io/Files.h"
#include "project/SrtImport.h"

namespace fs = std::filesystem;

namespace {

SubtitleList listOf(const std::vector<std::pair<std::string, std::string>>& sets, const std::vector<std::string>& timings) {
    SubtitleList l;
    l.clearList();
    for (size_t k = 0; k < sets.size(); ++k) {
        l.appendLine(SubtitleLine{rowId(int(2 * k)), sets[k].first, timings[k], "", ""});
        l.appendLine(SubtitleLine{rowId(int(2 * k + 1)), sets[k].second, timings[k], "", ""});
    }
    return l;
}

SubtitleList importSrt(const std::string& bytes, float fps) {
    SubtitleList l;
    l.clearList();
    importSrtText(bytes, fps, 0, l);
    return l;
}

}  // namespace

// Every frame of a second at the usual rates comes back from the SubRip
// reader as the same frame, also late in a long programme.
TEST(SubtitleTrack, MillisecondsGiveTheSameFrameBackToTheSubRipReader) {
    for (float fps : {23.976f, 24.0f, 25.0f, 29.97f, 30.0f, 50.0f, 59.94f}) {
        for (int ff = 0; ff < roundedFps(fps); ++ff) {
            for (TimeCode t : {TimeCode{0, 0, 0, ff}, TimeCode{0, 59, 59, ff}, TimeCode{9, 10, 11, ff}}) {
                const long long ms = timeCodeMilliseconds(t, fps);
                const std::string back = srtTimeToTimeCode(clockText(ms, ','), fps);
                EXPECT_EQ(back, formatTimeCode(t)) << fps << " " << formatTimeCode(t) << " " << ms;
            }
        }
    }
    // A hand-written time code beyond the usual ranges is written from its frame.
    const TimeCode odd{0, 0, 1, 40};  // 1 s and 40 frames at 25 fps = 00:00:02:15
    EXPECT_EQ(srtTimeToTimeCode(clockText(timeCodeMilliseconds(odd, 25.0f), ','), 25.0f), "00:00:02:15");
    EXPECT_EQ(clockText(3723004, '.'), "01:02:03.004");
}

TEST(SubtitleTrack, UntimedAndReversedSetsAreLeftOutAndCounted) {
    SubtitleList l = listOf({{"one", ""}, {"two", "b"}, {"three", ""}, {"four", ""}, {"five", ""}, {"six", ""}},
                            {"00:00:01:00>00:00:02:00", "", "00:00:02:00>00:00:03:00", "00:00:05:00>00:00:04:00",
                             "00:00:03:00> ", "00:00:03:00>00:00:03:00"});
    l.appendLine(SubtitleLine{rowId(12), "odd row", "00:00:09:00>00:00:10:00", "", ""});  // no line B row
    const TrackSets t = collectTrackSets(l, 25.0f);
    EXPECT_EQ(t.total, 7);
    EXPECT_EQ(t.untimed, 2);
    EXPECT_EQ(t.reversed, 2);
    ASSERT_EQ(t.sets.size(), 3u);
    EXPECT_EQ(t.sets[0].set, 0);
    EXPECT_EQ(t.sets[1].set, 2);  // back-to-back with set 0 ending where it starts
    EXPECT_EQ(t.sets[1].onFrame, t.sets[0].offFrame);
    EXPECT_EQ(t.sets[2].set, 6);
    EXPECT_EQ(t.sets[2].lineB, "");
}

TEST(SubtitleTrack, FrameRatesAndNinetyKilohertz) {
    EXPECT_EQ(frameTo90k(30, 29.97f), 90090);  // frame 30 at 30000/1001 is 1.001 s
    EXPECT_EQ(frameTo90k(24, 23.976f), 90090);
    EXPECT_EQ(frameTo90k(25, 25.0f), 90000);
    EXPECT_EQ(frameTo90k(17982, 29.97f), 17982LL * 3003);
    EXPECT_EQ(exactFrameRate(59.94f).num, 60000);
    // Between two ticks: the earlier one, so that the time is not after the
    // frame's start (frame 29 at 24000/1001 starts at tick 108858.75).
    EXPECT_EQ(frameTo90k(29, 23.976f), 108858);
    EXPECT_EQ(frameTo90k(1, 59.94f), 1501);
}

TEST(SubtitleTrack, BandsSplitAtTheTransparentRowsBetweenTheLines) {
    Image img(40, 30);
    auto dot = [&](int x, int y) { img.pixel(x, y)[3] = 255; };
    EXPECT_TRUE(visibleBands(img).empty());
    dot(5, 2);
    dot(9, 4);
    dot(3, 20);
    dot(30, 25);
    const std::vector<PixelBox> b = visibleBands(img);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ((std::vector<int>{b[0].x, b[0].y, b[0].w, b[0].h}), (std::vector<int>{5, 2, 5, 3}));
    EXPECT_EQ((std::vector<int>{b[1].x, b[1].y, b[1].w, b[1].h}), (std::vector<int>{3, 20, 28, 6}));
    const PixelBox all = visibleBox(img);
    EXPECT_EQ((std::vector<int>{all.x, all.y, all.w, all.h}), (std::vector<int>{3, 2, 28, 24}));
}

TEST(SubtitleTrack, PalettePicturesKeepTransparencyAndFitTheLimit) {
    // 60 x 10 pixels in 600 colours: more than a palette holds.
    Image img(60, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 60; ++x) {
            uint8_t* p = img.pixel(x, y);
            p[0] = uint8_t(x * 4), p[1] = uint8_t(y * 25), p[2] = uint8_t(x + y), p[3] = x < 5 ? 0 : 255;
        }
    PalettePicture pal;
    std::string error;
    ASSERT_TRUE(toPalettePicture(img, 255, pal, error)) << error;
    EXPECT_LE(pal.palette.size(), 256u);
    EXPECT_EQ(pal.palette[0].a, 0);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 60; ++x) {
            const uint8_t i = pal.indices[size_t(y) * 60 + size_t(x)];
            ASSERT_LT(i, pal.palette.size());
            EXPECT_EQ(i == 0, x < 5) << x << "," << y;
        }
    // Few colours are kept exactly.
    Image two(4, 1);
    two.pixel(1, 0)[0] = 200, two.pixel(1, 0)[3] = 128;
    two.pixel(2, 0)[3] = 255;
    ASSERT_TRUE(toPalettePicture(two, 255, pal, error));
    EXPECT_EQ(pal.palette.size(), 3u);
    EXPECT_EQ(pal.palette[pal.indices[1]], (Rgba{200, 0, 0, 128}));
    // Up to the limit every pixel keeps its colour exactly: colours met again
    // rows later, runs across row ends, transparent pixels of any colour.
    Image many(50, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 50; ++x) {
            const int c = (x / 2 * 7 + y * 3) % 200;
            uint8_t* p = many.pixel(x, y);
            p[0] = uint8_t(c), p[1] = uint8_t(255 - c), p[2] = uint8_t(c / 2), p[3] = (x + y) % 9 ? 255 : 0;
        }
    ASSERT_TRUE(toPalettePicture(many, 255, pal, error)) << error;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 50; ++x) {
            const uint8_t* p = many.pixel(x, y);
            const Rgba want = p[3] ? Rgba{p[0], p[1], p[2], p[3]} : Rgba{};
            EXPECT_EQ(pal.palette[pal.indices[size_t(y) * 50 + size_t(x)]], want) << x << "," << y;
        }
}

// Export and import again: the same rows at the same frame rate, for every
// SubRip file the tests hold.
TEST(TextSubtitles, SubRipRoundTripOverEveryTestFile) {
    std::vector<fs::path> srts;
    for (const auto& e : fs::recursive_directory_iterator(fs::path(KALVERO_SOURCE_DIR) / "tests"))
        if (e.path().extension() == ".srt") srts.push_back(e.path());
    ASSERT_GE(srts.size(), 5u);
    int compared = 0;
    for (const fs::path& p : srts) {
        std::string bytes;
        ASSERT_TRUE(files::readFile(p.string(), bytes));
        for (float fps : {25.0f, 29.97f, 23.976f}) {
            const SubtitleList first = importSrt(bytes, fps);
            const TrackSets sets = collectTrackSets(first, fps);
            const TextSubtitles srt = writeTextSubtitles(sets, fps, TextSubtitleFormat::SubRip);
            const SubtitleList again = importSrt(srt.bytes, fps);
            const TrackSets back = collectTrackSets(again, fps);
            std::vector<const TrackSet*> shown;
            for (const TrackSet& s : sets.sets)
                if (!blankLine(s.lineA) || !blankLine(s.lineB)) shown.push_back(&s);
            ASSERT_EQ(back.sets.size(), shown.size()) << p << " " << fps;
            EXPECT_EQ(int(shown.size()), srt.cues);
            for (size_t i = 0; i < shown.size(); ++i) {
                EXPECT_EQ(back.sets[i].onFrame, shown[i]->onFrame) << p << " " << fps << " " << i;
                EXPECT_EQ(back.sets[i].offFrame, shown[i]->offFrame) << p << " " << fps << " " << i;
                EXPECT_EQ(back.sets[i].lineA, shown[i]->lineA) << p;
                EXPECT_EQ(back.sets[i].lineB, shown[i]->lineB) << p;
                // Time codes in their usual ranges come back digit for digit.
                if (shown[i]->on.ff < roundedFps(fps) && shown[i]->on.ss < 60 && shown[i]->on.mm < 60) {
                    EXPECT_EQ(formatTimeCode(back.sets[i].on), formatTimeCode(shown[i]->on)) << p;
                }
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 10);
}

TEST(TextSubtitles, TextIsUtf8WithBarsOneLineSetsAndNoBlankCues) {
    SubtitleList l = listOf({{"Caf\xE9 \x80 5", "a \xA6 b"}, {"", "only B"}, {"   ", "  "}, {"only A", ""}},
                            {"00:00:01:00>00:00:02:00", "00:00:02:00>00:00:03:05", "00:00:04:00>00:00:05:00",
                             "00:00:06:00>00:00:07:00"});
    const TrackSets sets = collectTrackSets(l, 25.0f);
    const TextSubtitles srt = writeTextSubtitles(sets, 25.0f, TextSubtitleFormat::SubRip);
    EXPECT_EQ(srt.cues, 3);
    EXPECT_EQ(srt.blank, 1);
    EXPECT_EQ(srt.bytes,
              "1\r\n00:00:01,000 --> 00:00:02,000\r\nCaf\xC3\xA9 \xE2\x82\xAC 5\r\na | b\r\n\r\n"
              "2\r\n00:00:02,000 --> 00:00:03,200\r\nonly B\r\n\r\n"
              "3\r\n00:00:06,000 --> 00:00:07,000\r\nonly A\r\n\r\n");
    // The reader takes a one-line cue as line B; everything else comes back.
    const SubtitleList back = importSrt(srt.bytes, 25.0f);
    ASSERT_EQ(back.lineCount(), 6);
    EXPECT_EQ(back.column(0, Column::Text), "Caf\xE9 \x80 5");
    EXPECT_EQ(back.column(1, Column::Text), "a \xA6 b");
    EXPECT_EQ(back.column(3, Column::Text), "only B");
    EXPECT_EQ(back.column(2, Column::Timing), "00:00:02:00>00:00:03:05");
}
