// Where each set sits on the timeline of the editors' exports (overlay
// movie, XML timeline, burn-in).
#include <gtest/gtest.h>

#include "export/SetSpans.h"
#include "project/SubtitleList.h"

namespace {

SubtitleList listOf(const std::vector<std::string>& timings) {
    SubtitleList list;
    list.clearList();
    for (const std::string& t : timings) {
        list.appendEmptySet();
        const int row = list.lineCount() - 2;
        list.setLineColumn(row, Column::Timing, t);
        list.setLineColumn(row + 1, Column::Timing, t);
    }
    return list;
}

}  // namespace

TEST(SetSpans, FractionalRatesStayExact) {
    EXPECT_EQ(movieFrameRate(23.976f), (MovieRate{24000, 1001}));
    EXPECT_EQ(movieFrameRate(29.97f), (MovieRate{30000, 1001}));
    EXPECT_EQ(movieFrameRate(59.94f), (MovieRate{60000, 1001}));
    EXPECT_EQ(movieFrameRate(25.0f), (MovieRate{25, 1}));
    EXPECT_EQ(movieFrameRate(50.0f), (MovieRate{50, 1}));
    EXPECT_EQ(movieFrameRate(12.5f), (MovieRate{25, 2}));
    EXPECT_EQ(movieFrameRate(0.0f).num, 0);
    EXPECT_EQ(movieFrameRate(-25.0f).num, 0);
}

TEST(SetSpans, EachSetAtItsOwnOnFrameClippedAtTheNextOn) {
    // 25 fps. Set 2 begins while set 1 is on; set 3 has no OFF; set 4 is
    // reversed; set 5 shows for zero frames; set 6 follows after a gap.
    const SubtitleList list = listOf({"00:00:01:00>00:00:03:00", "00:00:02:00>00:00:04:00", "00:00:05:00>",
                                      "00:00:09:00>00:00:08:00", "00:00:06:00>00:00:06:00", "00:00:10:00>00:00:11:05"});
    const SetSpans s = buildSetSpans(list, 25.0f);
    EXPECT_EQ(s.spans, (std::vector<SetSpan>{{0, 25, 50}, {1, 50, 100}, {5, 250, 280}}));
    EXPECT_EQ(s.untimed, std::vector<int>{2});
    EXPECT_EQ(s.reversed, std::vector<int>{3});
    EXPECT_EQ(s.end, 280);

    // the movie: blank, set 0, set 1, blank up to set 5
    const FrameTimeline t = timelineOfSpans(s);
    EXPECT_EQ(t.total, 280);
    EXPECT_EQ(t.runs, (std::vector<TimelineRun>{{kBlankPicture, 25}, {0, 25}, {1, 50}, {kBlankPicture, 150}, {5, 30}}));
    EXPECT_EQ(setAtFrame(s, 24), -1);
    EXPECT_EQ(setAtFrame(s, 25), 0);
    EXPECT_EQ(setAtFrame(s, 49), 0);
    EXPECT_EQ(setAtFrame(s, 50), 1);
    EXPECT_EQ(setAtFrame(s, 100), -1);
    EXPECT_EQ(setAtFrame(s, 279), 5);
    EXPECT_EQ(setAtFrame(s, 280), -1);
}

TEST(SetSpans, OverlapsDoNotShiftLaterSets) {
    // Counting blank and ON frames one after the other would push set 3 by
    // the 25 frames that sets 1 and 2 share; here it stays at its ON.
    const SubtitleList list =
        listOf({"00:00:00:00>00:00:02:00", "00:00:01:00>00:00:02:00", "00:00:04:00>00:00:05:00"});
    const SetSpans s = buildSetSpans(list, 25.0f);
    ASSERT_EQ(s.spans.size(), 3u);
    EXPECT_EQ(s.spans[2], (SetSpan{2, 100, 125}));
}

TEST(SetSpans, ListsOutOfTimeOrderAndSharedOnFrames) {
    // Set 1 comes later in time than set 2: the sets are sorted by ON and the
    // earlier one ends where the later begins. Sets 3 and 4 share their ON:
    // the later one in the list takes the frames.
    const SubtitleList list = listOf({"00:00:03:00>00:00:05:00", "00:00:01:00>00:00:04:00", "00:00:08:00>00:00:09:00",
                                      "00:00:08:00>00:00:08:10"});
    const SetSpans s = buildSetSpans(list, 25.0f);
    EXPECT_EQ(s.spans, (std::vector<SetSpan>{{1, 25, 75}, {0, 75, 125}, {3, 200, 210}}));
}

TEST(SetSpans, NtscFramesComeFromTheTimeCodesAtTheProjectRate) {
    // 00:00:10:00 at 29.97 is frame 300 (299.7 rounded), 00:00:01:20 is 50
    const SetSpans s = buildSetSpans(listOf({"00:00:01:20>00:00:10:00"}), 29.97f);
    EXPECT_EQ(s.spans, (std::vector<SetSpan>{{0, 50, 300}}));
    // a list with nothing timed gives an empty timeline
    const SetSpans none = buildSetSpans(listOf({"", ">"}), 25.0f);
    EXPECT_TRUE(none.spans.empty());
    EXPECT_EQ(timelineOfSpans(none).total, 0);
    EXPECT_EQ(none.untimed, (std::vector<int>{0, 1}));
}
