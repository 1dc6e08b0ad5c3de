#include <gtest/gtest.h>

#include <random>

#include "project/SubtitleList.h"

namespace {

std::string randomTiming(std::mt19937& rng) {
    auto tc = [&] {
        char b[16];
        std::snprintf(b, sizeof b, "%02d:%02d:%02d:%02d", int(rng() % 2), int(rng() % 60), int(rng() % 60),
                      int(rng() % 30));
        return std::string(b);
    };
    switch (rng() % 8) {
        case 0: return "";                   // untimed
        case 1: return tc() + ">";           // ON only
        case 2: return "  >" + tc();         // OFF only, ON blank
        case 3: return tc() + "> ";          // OFF blank
        case 4: return tc();                 // no separator
        default: return tc() + ">" + tc();   // complete (also OFF before ON)
    }
}

SubtitleList randomList(std::mt19937& rng, int rows) {
    SubtitleList list;
    list.clearList();
    for (int r = 0; r < rows; ++r) list.appendLine({rowId(r), "t", r % 2 ? "" : randomTiming(rng), "", ""});
    return list;
}

}  // namespace

TEST(RecalculateOffOnOfSet, RandomEditsMatchTheFullRecalculation) {
    std::mt19937 rng(18);
    for (float fps : {25.0f, 29.97f, 23.976f}) {
        for (int rows : {1, 2, 3, 9, 40, 41}) {
            SubtitleList list = randomList(rng, rows);
            recalculateOffOn(list, fps);
            const int sets = (rows + 1) / 2;
            for (int edit = 0; edit < 60; ++edit) {
                const int set = int(rng() % unsigned(sets));
                const std::string timing = randomTiming(rng);
                list.setLineColumn(2 * set, Column::Timing, timing);
                // The B row's timing is not read; an edit writes both.
                list.setLineColumn(2 * set + 1, Column::Timing, rng() % 2 ? timing : "junk");
                SubtitleList full = list;
                const SubtitleList before = list;
                const int missingFull = recalculateOffOn(full, fps);
                int last = -1;
                const int missing = recalculateOffOnOfSet(list, fps, set, &last);
                ASSERT_EQ(missing, missingFull) << "rows " << rows << " edit " << edit;
                // The window repaints rows 2 * set .. 2 * last + 1 only: no
                // other row may have changed.
                ASSERT_GE(last, set);
                ASSERT_LT(last, sets);
                for (int r = 0; r < rows; ++r) {
                    ASSERT_EQ(list.column(r, Column::OffOn), full.column(r, Column::OffOn))
                        << "rows " << rows << " edit " << edit << " set " << set << " row " << r;
                    if (r < 2 * set || r > 2 * last + 1) {
                        ASSERT_EQ(list.column(r, Column::OffOn), before.column(r, Column::OffOn))
                            << "row " << r << " outside the reported sets " << set << ".." << last;
                    }
                }
            }
        }
    }
}

TEST(RecalculateOffOnOfSet, OnlyTheEditedSetAndTheNextTimedSetChange) {
    SubtitleList list;
    list.clearList();
    const char* timings[] = {"00:00:01:00>00:00:02:00", "00:00:03:00>00:00:04:00", "", "00:00:06:00>00:00:07:00",
                             "00:00:08:00>00:00:09:00"};
    for (int s = 0; s < 5; ++s) {
        list.appendLine({rowId(2 * s), "a", timings[s], "", ""});
        list.appendLine({rowId(2 * s + 1), "b", timings[s], "", ""});
    }
    EXPECT_EQ(recalculateOffOn(list, 25.0f), 1);
    // Set 1 now ends a second later: its ON count and set 3's OFF count change
    // (set 2 has no timing), set 4 keeps its values.
    list.setLineColumn(2, Column::Timing, "00:00:03:00>00:00:05:00");
    int last = -1;
    EXPECT_EQ(recalculateOffOnOfSet(list, 25.0f, 1, &last), 1);
    EXPECT_EQ(last, 3);
    EXPECT_EQ(list.column(0, Column::OffOn), "25+25");
    EXPECT_EQ(list.column(2, Column::OffOn), "25+50");
    EXPECT_EQ(list.column(3, Column::OffOn), "25+50");
    EXPECT_EQ(list.column(4, Column::OffOn), "");
    EXPECT_EQ(list.column(6, Column::OffOn), "25+25");
    EXPECT_EQ(list.column(8, Column::OffOn), "25+25");
    // A later ON alone changes only its own set: set 3 keeps its counts.
    list.setLineColumn(2, Column::Timing, "00:00:03:10>00:00:05:00");
    EXPECT_EQ(recalculateOffOnOfSet(list, 25.0f, 1, &last), 1);
    EXPECT_EQ(last, 1);
    EXPECT_EQ(list.column(2, Column::OffOn), "35+40");
    EXPECT_EQ(list.column(6, Column::OffOn), "25+25");
    // Out of range: nothing changes, the count is still given.
    EXPECT_EQ(recalculateOffOnOfSet(list, 25.0f, 9), 1);
    EXPECT_EQ(recalculateOffOnOfSet(list, 25.0f, -1), 1);
    EXPECT_EQ(countSetsWithoutTiming(list), 1);
}

TEST(ParseTimeCode, FieldsReadAsIntegersWithBlanksSignsAndJunk) {
    struct Case {
        const char* text;
        TimeCode want;
    };
    const Case cases[] = {
        {"01:02:03:04", {1, 2, 3, 4}},
        {" 01 :\t02: 3 :04\t", {1, 2, 3, 4}},
        {"1:2", {1, 2, 0, 0}},
        {"", {0, 0, 0, 0}},
        {":::", {0, 0, 0, 0}},
        {"1:2:3:4:5", {1, 2, 3, 4}},
        {"-1:+2:3x:x4", {-1, 2, 3, 0}},
        {"99999999999:-99999999999:1:1", {2147483647, -2147483647 - 1, 1, 1}},
        {"12", {12, 0, 0, 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(parseTimeCode(c.text), c.want) << c.text;
}
