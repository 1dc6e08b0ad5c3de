#include <gtest/gtest.h>

#include "project/Retime.h"
#include "project/SubtitleList.h"

namespace {

std::optional<TimeCode> tc(const char* text) {
    if (!*text) return std::nullopt;
    return parseTimeCode(text);
}

SubtitleSet timedSet(const char* a, const char* b, const char* on, const char* off, std::optional<int> y = {}) {
    SubtitleSet s;
    s.lineA = a;
    s.lineB = b;
    s.on = tc(on);
    s.off = tc(off);
    s.y = y;
    return s;
}

std::string timing(const SubtitleSet& s) { return timingText(s.on, s.off); }

// Three sets as a project file holds them (rows, ids, OFF+ON).
std::vector<SubtitleSet> threeSets() {
    SubtitleList list;
    list.clearList();
    const char* rows[][3] = {{"One", "00:00:01:00>00:00:02:00", "400"},
                             {"Two", "00:00:03:00>00:00:04:10", ""},
                             {"Three", ">00:00:09:00", "380"}};
    for (int k = 0; k < 3; ++k) {
        list.appendLine({rowId(2 * k), "", rows[k][1], "", rows[k][2]});
        list.appendLine({rowId(2 * k + 1), rows[k][0], rows[k][1], "", rows[k][2]});
    }
    return subtitleSets(list);
}

}  // namespace

TEST(ExactRate, NtscRatesAreFractions) {
    EXPECT_EQ(exactRate(23.976f), (ExactRate{24000, 1001}));
    EXPECT_EQ(exactRate(29.97f), (ExactRate{30000, 1001}));
    EXPECT_EQ(exactRate(59.94f), (ExactRate{60000, 1001}));
    EXPECT_EQ(exactRate(25.0f), (ExactRate{25, 1}));
    EXPECT_EQ(exactRate(12.5f), (ExactRate{25, 2}));
    EXPECT_EQ(exactRate(0.0f), (ExactRate{0, 1}));
}

TEST(ParseSetRange, CountsFromOneAndRefusesWhatIsNotInTheList) {
    struct Case {
        const char* text;
        int first, last;  // -1: refused
    } cases[] = {{"1-3", 0, 2}, {"2", 1, 1}, {" 4-4 ", 3, 3}, {"0-2", -1, -1}, {"3-2", -1, -1},
                 {"2-5", -1, -1}, {"x", -1, -1},  {"1-", -1, -1},  {"-2", -1, -1}, {"99999999999", -1, -1}};
    for (const Case& c : cases) {
        std::string error;
        std::optional<SetRange> r = parseSetRange(c.text, 4, error);
        if (c.first < 0) {
            EXPECT_FALSE(r) << c.text;
            EXPECT_FALSE(error.empty()) << c.text;
        } else {
            ASSERT_TRUE(r) << c.text << ": " << error;
            EXPECT_EQ(r->first, c.first) << c.text;
            EXPECT_EQ(r->last, c.last) << c.text;
        }
    }
}

TEST(ReadTimeCode, OnlyWholeTimeCodesInRange) {
    std::string error;
    EXPECT_EQ(readTimeCode("10:00:00:00", 25, error), (TimeCode{10, 0, 0, 0}));
    EXPECT_EQ(readTimeCode("00:01:02:23", 23.976f, error), (TimeCode{0, 1, 2, 23}));
    for (const char* bad : {"00:00:00:25", "00:60:00:00", "24:00:00:00", "1:2:3", "00:00:0a:00", "", "00:00:00:00:00",
                            "-1:00:00:00", "000:00:00:00"}) {
        error.clear();
        EXPECT_FALSE(readTimeCode(bad, 25, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_FALSE(readTimeCode("00:00:00:24", 23.976f, error));
}

TEST(ShiftSets, MovesTheRangeAndKeepsTheRest) {
    struct Case {
        int first, last;
        long long frames;
        const char* expected[3];
    } cases[] = {
        {0, 2, 30, {"00:00:02:05>00:00:03:05", "00:00:04:05>00:00:05:15", ">00:00:10:05"}},
        {1, 2, -75, {"00:00:01:00>00:00:02:00", "00:00:00:00>00:00:01:10", ">00:00:06:00"}},
        {0, 0, 0, {"00:00:01:00>00:00:02:00", "00:00:03:00>00:00:04:10", ">00:00:09:00"}},
    };
    for (const Case& c : cases) {
        SetsEdit e = shiftSets(threeSets(), {c.first, c.last}, c.frames, 25);
        ASSERT_TRUE(e.ok()) << e.error;
        for (int k = 0; k < 3; ++k) EXPECT_EQ(timing(e.sets[size_t(k)]), c.expected[k]) << c.frames << " set " << k;
        EXPECT_EQ(e.changed, c.frames == 0 ? 0 : c.last - c.first + 1);
    }
    // Lines, Y and the rows' own texts stay; only the timing column is new.
    SubtitleList back = listOfSets(shiftSets(threeSets(), {0, 2}, 25, 25).sets);
    EXPECT_EQ(back.line(1), (SubtitleLine{"B0000", "One", "00:00:02:00>00:00:03:00", "", "400"}));
    EXPECT_EQ(back.line(5), (SubtitleLine{"B0004", "Three", ">00:00:10:00", "", "380"}));
}

TEST(ShiftSets, RefusesToCrossMidnightNamingTheSet) {
    SetsEdit e = shiftSets(threeSets(), {1, 2}, -76, 25);
    EXPECT_FALSE(e.ok());
    EXPECT_TRUE(e.sets.empty());
    EXPECT_EQ(e.error, "set 2: its ON 00:00:03:00 would go before 00:00:00:00 (to -00:00:00:01)");

    std::vector<SubtitleSet> late = {timedSet("", "Late", "23:59:58:00", "23:59:59:20")};
    e = shiftSets(late, {0, 0}, 5, 25);
    EXPECT_EQ(e.error, "set 1: its OFF 23:59:59:20 would go past 23:59:59:24 (to 24:00:00:00)");
    EXPECT_TRUE(shiftSets(late, {0, 0}, 4, 25).ok());

    EXPECT_FALSE(shiftSets(threeSets(), {2, 3}, 1, 25).ok());  // past the list
}

TEST(ShiftSetsTo, TheFirstTimedSetOfTheRangeStartsThere) {
    SetsEdit e = shiftSetsTo(threeSets(), {1, 2}, TimeCode{0, 0, 10, 0}, 25);
    ASSERT_TRUE(e.ok()) << e.error;
    EXPECT_EQ(timing(e.sets[1]), "00:00:10:00>00:00:11:10");
    EXPECT_EQ(timing(e.sets[2]), ">00:00:16:00");
    // Only an OFF in the range: nothing to put on the time.
    e = shiftSetsTo(threeSets(), {2, 2}, TimeCode{0, 0, 10, 0}, 25);
    EXPECT_EQ(e.error, "no set in set 3 has an ON time code to move");
    // At 29.97 the frames of the typed code are counted at that rate.
    std::vector<SubtitleSet> ntsc = {timedSet("", "x", "00:00:01:00", "00:00:02:15")};
    e = shiftSetsTo(ntsc, {0, 0}, TimeCode{1, 0, 0, 0}, 29.97f);
    ASSERT_TRUE(e.ok());
    EXPECT_EQ(timing(e.sets[0]), "01:00:00:00>01:00:01:15");
}

// Hand-worked: at 25 fps 00:01:00:12 is frame 1512, 60.48 s; at 24000/1001
// that is frame 1450.07, so frame 1450: 60 whole seconds are 1438.56 frames,
// frame 1439 is the first of second 60, and 1450 is its frame 11. Back: frame
// 1450 at 23.976 is 60.4771 s, 1511.93 frames at 25: 1512, 00:01:00:12.
// One hour at 23.976 is frame 86314 (86313.6 rounded), 3600.013 s, 90000.3
// frames at 25. Keeping frames, frame 1450 at 25 is 58 s exactly, and frame
// 86314 is 3452 s and 14 frames.
TEST(ChangeFrameRate, FilmAndPalBothWays) {
    struct Case {
        float from, to;
        KeepOnRateChange keep;
        const char *on, *off, *expectOn, *expectOff;
    } cases[] = {
        {25, 23.976f, KeepOnRateChange::Time, "00:01:00:12", "00:00:10:00", "00:01:00:11", "00:00:10:00"},
        {23.976f, 25, KeepOnRateChange::Time, "00:01:00:11", "01:00:00:00", "00:01:00:12", "01:00:00:00"},
        {23.976f, 25, KeepOnRateChange::Frames, "00:01:00:11", "01:00:00:00", "00:00:58:00", "00:57:32:14"},
        {25, 23.976f, KeepOnRateChange::Frames, "00:00:58:00", "00:57:32:14", "00:01:00:11", "01:00:00:00"},
        {29.97f, 25, KeepOnRateChange::Time, "00:00:01:15", "00:10:00:29", "00:00:01:13", "00:10:00:24"},
        {25, 25, KeepOnRateChange::Time, "00:00:01:15", "00:10:00:24", "00:00:01:15", "00:10:00:24"},
    };
    for (const Case& c : cases) {
        RateChange change{c.from, c.to, c.keep};
        SetsEdit e = changeFrameRate({timedSet("a", "b", c.on, c.off)}, change);
        ASSERT_TRUE(e.ok()) << e.error;
        EXPECT_EQ(formatTimeCode(*e.sets[0].on), c.expectOn) << c.from << " -> " << c.to << " " << c.on;
        EXPECT_EQ(formatTimeCode(*e.sets[0].off), c.expectOff) << c.from << " -> " << c.to << " " << c.off;
    }
}

TEST(ChangeFrameRate, KeepingTimeThereAndBackChangesNothing) {
    // Every frame of the first minute and of the tenth hour at 23.976 comes
    // back to itself through 25 (the finer grid holds every film frame).
    for (long long start : {0LL, 863136LL - 1500}) {
        std::vector<SubtitleSet> sets;
        for (long long f = start; f < start + 1500; ++f) {
            const TimeCode t = timeCodeOfFrame(f, 23.976f);
            sets.push_back(SubtitleSet{"", "x", t, t, std::nullopt, {}});
        }
        SetsEdit there = changeFrameRate(sets, {23.976f, 25, KeepOnRateChange::Time});
        SetsEdit back = changeFrameRate(there.sets, {25, 23.976f, KeepOnRateChange::Time});
        ASSERT_TRUE(back.ok());
        for (size_t k = 0; k < sets.size(); ++k)
            ASSERT_EQ(formatTimeCode(*back.sets[k].on), formatTimeCode(*sets[k].on)) << start + (long long)k;
    }
}

TEST(ChangeFrameRate, ScalesYWithTheHeight) {
    std::vector<SubtitleSet> sets = {timedSet("", "a", "", "", 430), timedSet("", "b", "", "", std::nullopt),
                                     timedSet("", "c", "", "", 575)};
    // 430 * 1080 / 576 = 806.25; 575 * 1080 / 576 = 1078.1, kept at the lowest strips position.
    SetsEdit e = changeFrameRate(sets, {25, 23.976f, KeepOnRateChange::Time, 576, 1080, 1000});
    ASSERT_TRUE(e.ok());
    EXPECT_EQ(e.sets[0].y, 806);
    EXPECT_EQ(e.sets[1].y, std::nullopt);
    EXPECT_EQ(e.sets[2].y, 1000);
    EXPECT_EQ(e.changed, 2);
}

TEST(SplitSet, DividesTheTimeByCharacters) {
    std::vector<SubtitleSet> sets = threeSets();
    sets[0] = timedSet("Hello", "my good friend", "00:00:01:00", "00:00:02:13");  // 38 frames, 5 : 14
    SetsEdit e = splitSet(sets, 0, 25);
    ASSERT_TRUE(e.ok()) << e.error;
    ASSERT_EQ(e.sets.size(), 4u);
    EXPECT_EQ(e.sets[0].lineA, "");
    EXPECT_EQ(e.sets[0].lineB, "Hello");
    EXPECT_EQ(e.sets[1].lineB, "my good friend");
    // 38 * 5 / 19 = 10 frames for "Hello".
    EXPECT_EQ(timing(e.sets[0]), "00:00:01:00>00:00:01:10");
    EXPECT_EQ(timing(e.sets[1]), "00:00:01:10>00:00:02:13");
    // The sets after it take the ids of their new rows.
    SubtitleList list = listOfSets(e.sets);
    for (int i = 0; i < list.lineCount(); ++i) EXPECT_EQ(list.line(i).id, rowId(i));
    EXPECT_EQ(list.line(5).text, "Two");

    EXPECT_EQ(splitSet(threeSets(), 1, 25).error, "set 2 has only one line: there is nothing to split");
    EXPECT_FALSE(splitSet(threeSets(), 3, 25).ok());
    // Untimed: the texts split, no times made up.
    e = splitSet({timedSet("a", "b", "00:00:01:00", "")}, 0, 25);
    EXPECT_EQ(timing(e.sets[0]), "00:00:01:00>");
    EXPECT_EQ(timing(e.sets[1]), "");
}

TEST(MergeSets, TwoSetsBecomeOneOverBothTimes) {
    std::vector<SubtitleSet> sets = threeSets();
    sets[0].lineA = "Say";
    SetsEdit e = mergeSets(sets, 0);
    ASSERT_TRUE(e.ok()) << e.error;
    ASSERT_EQ(e.sets.size(), 2u);
    EXPECT_EQ(e.sets[0].lineA, "Say One");
    EXPECT_EQ(e.sets[0].lineB, "Two");
    EXPECT_EQ(timing(e.sets[0]), "00:00:01:00>00:00:04:10");
    EXPECT_EQ(e.sets[0].y, 400);
    SubtitleList list = listOfSets(e.sets);
    EXPECT_EQ(list.line(2), (SubtitleLine{"A0002", "", ">00:00:09:00", "", "380"}));
    // The last set has no neighbour below; an OFF missing in the second keeps the first's.
    EXPECT_FALSE(mergeSets(threeSets(), 2).ok());
    e = mergeSets({timedSet("", "a", "00:00:01:00", "00:00:02:00"), timedSet("", "b", "00:00:03:00", "")}, 0);
    EXPECT_EQ(timing(e.sets[0]), "00:00:01:00>00:00:02:00");
    // Split and merge give the set back.
    std::vector<SubtitleSet> one = {timedSet("Hello", "my good friend", "00:00:01:00", "00:00:02:13")};
    e = mergeSets(splitSet(one, 0, 25).sets, 0);
    EXPECT_EQ(e.sets[0].lineA, "Hello");
    EXPECT_EQ(e.sets[0].lineB, "my good friend");
    EXPECT_EQ(timing(e.sets[0]), "00:00:01:00>00:00:02:13");
}
