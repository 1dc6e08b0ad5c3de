#include <gtest/gtest.h>

#include "export/AviTimeline.h"
#include "export/ExportNames.h"
#include "project/SubtitleList.h"
#include "project/SubtitleSet.h"

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
    FrameTimeline t;
    t.append(kBlankPicture, 3);
    t.append(kBlankPicture, 2);
    t.append(0, 0);
    t.append(0, -4);
    t.append(1, 2);
    std::vector<TimelineRun> expected = {{kBlankPicture, 5}, {1, 2}};
    EXPECT_EQ(t.runs, expected);
    EXPECT_EQ(t.total, 7);
}

TEST(AviTimeline, EverySetStartsAtItsOwnOnFrame) {
    // set 1 follows set 0 without a gap; set 2 is never on; set 3 begins 2
    // frames before set 2's place (overlapping time codes); set 4 ends
    // before it begins.
    SetSchedule schedule = scheduleSets(setTimings(listOf({"10+5", "0+3", "4+0", "-2+6", "2+-1"}), 5));
    EXPECT_EQ(schedule.reversed, std::vector<int>{4});
    EXPECT_TRUE(schedule.hidden.empty());
    FrameTimeline t = buildFrameTimeline(listOf({"10+5", "0+3", "4+0", "-2+6", "2+-1"}));
    std::vector<TimelineRun> expected = {{kBlankPicture, 10}, {0, 5}, {1, 3}, {kBlankPicture, 2}, {3, 6}};
    EXPECT_EQ(t.runs, expected);
    EXPECT_EQ(t.total, 26);
    std::vector<int> frames = t.expand();
    EXPECT_EQ(frames[14], 0);
    EXPECT_EQ(frames[15], 1);
    EXPECT_EQ(frames[18], kBlankPicture);
    EXPECT_EQ(frames[20], 3);  // ON of set 3: 10+5+0+3+4-2
}

TEST(AviTimeline, AnOverlapEndsTheSetAtTheNextOnAndLaterSetsKeepTheirTimes) {
    // Time codes at 25 fps: set 0 1:00-3:00, set 1 2:23-4:00 (2 frames of
    // overlap), set 2 10:00-11:00. Then set 1 reversed (OFF before ON).
    SubtitleList list;
    list.clearList();
    auto add = [&](const std::string& timing) {
        list.appendLine(SubtitleLine{"", "A", timing, "", ""});
        list.appendLine(SubtitleLine{"", "B", timing, "", ""});
    };
    add("00:00:01:00>00:00:03:00");
    add("00:00:02:23>00:00:04:00");
    add("00:00:10:00>00:00:11:00");
    list.renumberIds();
    recalculateOffOn(list, 25.0f);
    FrameTimeline t = buildFrameTimeline(list);
    EXPECT_EQ(t.pictureAt(24), kBlankPicture);
    EXPECT_EQ(t.pictureAt(25), 0);
    EXPECT_EQ(t.pictureAt(72), 0);
    EXPECT_EQ(t.pictureAt(73), 1);   // set 1 at its own ON, set 0 ends there
    EXPECT_EQ(t.pictureAt(99), 1);
    EXPECT_EQ(t.pictureAt(100), kBlankPicture);
    EXPECT_EQ(t.pictureAt(249), kBlankPicture);
    EXPECT_EQ(t.pictureAt(250), 2);  // 10:00, not 2 frames late
    EXPECT_EQ(t.total, 275);

    list.setLineColumn(2, Column::Timing, "00:00:05:00>00:00:04:00");
    list.setLineColumn(3, Column::Timing, "00:00:05:00>00:00:04:00");
    recalculateOffOn(list, 25.0f);
    SetSchedule s = scheduleSets(setTimings(list, 3));
    EXPECT_EQ(s.reversed, std::vector<int>{1});
    EXPECT_EQ(scheduleWarningText(s),
              "1 set left out: 2 (OFF before ON).\n"
              "Please check their time codes.");
    t = buildFrameTimeline(list);
    EXPECT_EQ(t.pictureAt(74), 0);   // set 0 runs to its OFF
    EXPECT_EQ(t.pictureAt(75), kBlankPicture);
    EXPECT_EQ(t.pictureAt(250), 2);  // seconds late before, on time now
    EXPECT_EQ(t.total, 275);
}

TEST(AviTimeline, ListsWithoutOverlapsKeepTheSumOfTheirCounts) {
    // Every frame as the counts add up: blank, set, blank, set, ...; untimed
    // sets in between add nothing; a trailing blank count stays.
    const std::vector<std::string> counts = {"3+4", "", "0+2", "5+1", "abc", "2+0", "7+3", "4+0"};
    FrameTimeline t = buildFrameTimeline(listOf(counts));
    std::vector<int> expected;
    for (size_t k = 0; k < counts.size(); ++k) {
        SubtitleList one = listOf({counts[k]});
        SubtitleEntry e = one.entry(0);
        expected.insert(expected.end(), size_t(e.offFrames), kBlankPicture);
        expected.insert(expected.end(), size_t(e.onFrames), int(k));
    }
    EXPECT_EQ(t.expand(), expected);
    EXPECT_TRUE(scheduleSets(setTimings(listOf(counts), int(counts.size()))).complete());
}

TEST(AviTimeline, ASetThatStartsBeforeTheSetAboveItIsLeftOut) {
    // set 1 begins (frame 20) before set 0 (frame 30): set 1 is out of order.
    SetSchedule s = scheduleSets({{30, 10}, {-20, 10}, {50, 5}});
    EXPECT_TRUE(s.hidden.empty());
    EXPECT_EQ(s.outOfOrder, std::vector<int>{1});
    ASSERT_EQ(s.slots.size(), 2u);
    EXPECT_EQ(s.slots[0], (SetSlot{0, 30, 40}));
    EXPECT_EQ(s.slots[1], (SetSlot{2, 80, 85}));
    EXPECT_EQ(scheduleWarningText(s),
              "1 set left out: 2 (starts before a set above it).\n"
              "Please check their time codes.");
}

namespace {
// Counts of sets given by their absolute ON and OFF frames (-1: untimed).
std::vector<SetTiming> countsOf(const std::vector<std::pair<int, int>>& times) {
    std::vector<SetTiming> out;
    int previousOff = 0;
    for (auto [on, off] : times) {
        if (on < 0) {
            out.push_back({});
            continue;
        }
        out.push_back({on - previousOff, off - on});
        previousOff = off;
    }
    return out;
}
}  // namespace

TEST(AviTimeline, ListOrderedExportsLeaveOutTheFewestSetsThatAreOutOfTimeOrder) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> times;
        std::vector<SetSlot> slots;
        std::string leftOut;
    };
    const std::vector<Case> cases = {
        {"one late set first: the three after it stay",
         {{500, 600}, {100, 120}, {140, 160}, {180, 200}},
         {{1, 100, 120}, {2, 140, 160}, {3, 180, 200}},
         "1 set left out: 1 (starts before a set above it)"},
        {"a set typed too early in the middle",
         {{100, 120}, {140, 160}, {50, 60}, {180, 200}, {220, 240}},
         {{0, 100, 120}, {1, 140, 160}, {3, 180, 200}, {4, 220, 240}},
         "1 set left out: 3 (starts before a set above it)"},
        {"two sets swapped: the earlier in the list stays",
         {{100, 120}, {300, 320}, {200, 220}, {400, 420}},
         {{0, 100, 120}, {1, 300, 320}, {3, 400, 420}},
         "1 set left out: 3 (starts before a set above it)"},
        {"same ON: the first is never on",
         {{100, 120}, {100, 110}, {200, 220}},
         {{1, 100, 110}, {2, 200, 220}},
         "1 set left out: 1 (the next set starts at the same time)"},
        {"overlap: cut short, nothing left out",
         {{100, 150}, {140, 160}},
         {{0, 100, 140}, {1, 140, 160}},
         ""},
        {"OFF before ON, out of order and untimed together",
         {{100, 120}, {200, 190}, {-1, -1}, {50, 60}, {300, 320}},
         {{0, 100, 120}, {2, 190, 190}, {4, 300, 320}},
         "2 sets left out: 2 (OFF before ON); 4 (starts before a set above it)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SetSchedule s = scheduleSets(countsOf(c.times));
        EXPECT_EQ(s.slots, c.slots);
        EXPECT_EQ(leftOutSummary(leftOutSets(s)), c.leftOut);
        EXPECT_EQ(s.complete(), c.leftOut.empty());
    }
}

TEST(AviTimeline, TheSetsLeftOutAreToldBeforeARunFromTheSetList) {
    SubtitleList list;
    list.clearList();
    auto add = [&](const std::string& timing) {
        list.appendLine(SubtitleLine{"", "A", timing, "", ""});
        list.appendLine(SubtitleLine{"", "B", timing, "", ""});
    };
    add("00:00:10:00>00:00:12:00");
    add("00:00:05:00>00:00:07:00");  // typed before the set above it
    add("00:00:20:00>00:00:19:00");  // OFF before ON
    add("00:00:30:00>00:00:31:00");
    list.renumberIds();
    recalculateOffOn(list, 25.0f);
    EXPECT_EQ(listOrderedLeftOut(subtitleSets(list)),
              (std::vector<LeftOutSet>{{1, "starts before a set above it"}, {2, "OFF before ON"}}));
    EXPECT_TRUE(listOrderedLeftOut({}).empty());
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
