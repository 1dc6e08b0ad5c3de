#include <gtest/gtest.h>

#include "export/AviTimeline.h"
#include "export/ExportNames.h"
#include "project/SubtitleList.h"

namespace {

SubtitleList listOf(const std::vector<std::string>& offOn) {
    SubtitleList list;
    list.clearList();
    for (const std::string& v : offOn) {
        list.appendLine(SubtitleLine{"", "A", "", v, ""});
        list.appendLine(SubtitleLine{"", "B", "", v, ""});
    }
    list.renumberIds();
    return list;
}

}  // namespace

TEST(AviTimeline, OneSetShowsBlankThenTheSet) {
    // ON 00:00:02:00, OFF 00:00:05:00 at 25 fps
    SubtitleList list;
    list.setLineColumn(0, Column::Timing, "00:00:02:00>00:00:05:00");
    list.setLineColumn(1, Column::Timing, "00:00:02:00>00:00:05:00");
    recalculateOffOn(list, 25.0f);
    ASSERT_EQ(list.line(0).offOn, "50+75");

    FrameTimeline t = buildFrameTimeline(list);
    EXPECT_EQ(t.total, 125);
    std::vector<int> frames = t.expand();
    ASSERT_EQ(frames.size(), 125u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(frames[size_t(i)], kBlankPicture) << i;
    for (int i = 50; i < 125; ++i) EXPECT_EQ(frames[size_t(i)], 0) << i;
    EXPECT_EQ(t.pictureAt(49), kBlankPicture);
    EXPECT_EQ(t.pictureAt(50), 0);
    EXPECT_EQ(t.pictureAt(124), 0);
    EXPECT_FALSE(t.pictureAt(125).has_value());
    EXPECT_FALSE(t.pictureAt(-1).has_value());
}

TEST(AviTimeline, CountsOfZeroOrLessAddNothingAndBlankRunsJoin) {
    // set 1 follows set 0 without a gap; set 2 is never on; set 3 has a
    // negative gap (overlapping time codes)
    FrameTimeline t = buildFrameTimeline(listOf({"10+5", "0+3", "4+0", "-2+6", "2+-1"}));
    std::vector<TimelineRun> expected = {
        {kBlankPicture, 10}, {0, 5}, {1, 3}, {kBlankPicture, 4}, {3, 6}, {kBlankPicture, 2}};
    EXPECT_EQ(t.runs, expected);
    EXPECT_EQ(t.total, 30);

    // the frame rule: frame i shows set k from the sum of everything before
    // it plus its own blank frames
    std::vector<int> frames = t.expand();
    EXPECT_EQ(frames[14], 0);
    EXPECT_EQ(frames[15], 1);
    EXPECT_EQ(frames[18], kBlankPicture);
    EXPECT_EQ(frames[22], 3);
}

TEST(AviTimeline, EmptyAndUntimedListsGiveNoFrames) {
    EXPECT_EQ(buildFrameTimeline(SubtitleList()).total, 0);
    EXPECT_TRUE(buildFrameTimeline(listOf({"", "abc", "+"})).runs.empty());
}

TEST(AviTimeline, TrailingLineAWithoutLineBIsASet) {
    SubtitleList list = listOf({"1+2"});
    list.appendLine(SubtitleLine{"", "lonely", "", "3+4", ""});
    EXPECT_EQ(exportSetCount(list), 2);
    std::vector<TimelineRun> expected = {{kBlankPicture, 1}, {0, 2}, {kBlankPicture, 3}, {1, 4}};
    EXPECT_EQ(buildFrameTimeline(list).runs, expected);
}

TEST(AviTimeline, HugeCountsDoNotOverflow) {
    FrameTimeline t = buildFrameTimeline(listOf({"2147483647+2147483647", "2147483647+1"}));
    EXPECT_EQ(t.total, 3 * int64_t(2147483647) + 1);
}

TEST(AviTimeline, FrameRateIsRoundedUp) {
    EXPECT_EQ(aviFrameRate(25.0f), 25);
    EXPECT_EQ(aviFrameRate(29.97f), 30);
    EXPECT_EQ(aviFrameRate(23.976f), 24);
    EXPECT_EQ(aviFrameRate(50.0f), 50);
    EXPECT_EQ(aviFrameRate(0.0f), 0);
    EXPECT_EQ(aviFrameRate(-25.0f), 0);
}

TEST(AviTimeline, OutputNames) {
    EXPECT_EQ(exportnames::aviMoviePath("", "demo"), "demo_subtitles.avi");
    EXPECT_EQ(exportnames::outputFolder("/p/demo_project/", exportnames::OutputKind::Avi), "/p/demo_project/AVI_Output/");
    EXPECT_EQ(exportnames::outputFolder("", exportnames::OutputKind::Avi), "AVI_Output/");
}
