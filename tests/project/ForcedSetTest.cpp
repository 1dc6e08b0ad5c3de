// The forced flag of a set: kept in the project file's sixth field (which
// readers of five fields ignore), carried through the typed sets and every
// change of the list that moves sets.
#include <gtest/gtest.h>

#include "project/ProjectFile.h"
#include "project/SubtitleSet.h"

namespace {
const std::string kHead =
    "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
    "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
    "##-Number of lines/pages: 6 / 3\r\n##-Word count: 6\r\n##-User Timed Session: 0\r\n##-;\r\n";

std::tm date() {
    std::tm t{};
    t.tm_year = 117, t.tm_mon = 2, t.tm_mday = 9, t.tm_hour = 14, t.tm_min = 5, t.tm_sec = 9;
    return t;
}

std::vector<bool> forcedSets(const SubtitleList& list) {
    std::vector<bool> f;
    for (int k = 0; k < list.entryCount(); ++k) f.push_back(list.forced(k));
    return f;
}
}  // namespace

TEST(ForcedSet, ProjectRowsReadAndWriteTheSixthField) {
    struct Case {
        const char* rows;
        std::vector<bool> forced;
        bool roundTrips;  // written back byte for byte
    };
    const Case cases[] = {
        {"A0000|One|00:00:01:00>00:00:02:00|25+25|430\r\nB0000|b|00:00:01:00>00:00:02:00|25+25|430\r\n"
         "A0002|Two|00:00:03:00>00:00:04:00|25+25|430|forced\r\nB0002|b|00:00:03:00>00:00:04:00|25+25|430\r\n"
         "A0004|Three|||430\r\nB0004|b|||430\r\n",
         {false, true, false}, true},
        // An empty Y keeps its fallback; the flag still reads.
        {"A0000|One|||0|forced\r\nB0000|b|||0\r\nA0002|||||forced\r\nB0002||||0\r\n", {true, true}, false},
        // Only the exact word marks a set; other sixth fields are ignored as before.
        {"A0000|One|||430|Forced\r\nB0000|b|||430\r\nA0002|Two|||430|x|forced\r\nB0002|b|||430\r\n",
         {false, false}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        ProjectHeader header;
        SubtitleList rows;
        ASSERT_EQ(parseProject(kHead + c.rows, 0, header, rows), ProjectLoadStatus::Ok);
        EXPECT_EQ(forcedSets(rows), c.forced);
        const std::string out = formatProject(rows, header, date(), ".KVL8", "v1.0 - 06 Mar 2017 ");
        if (c.roundTrips) {
            EXPECT_EQ(out.substr(out.find("##-;\r\n") + 6), c.rows);
        }
        SubtitleList again;
        ASSERT_EQ(parseProject(out, 0, header, again), ProjectLoadStatus::Ok);
        EXPECT_EQ(forcedSets(again), c.forced);
    }
}

TEST(ForcedSet, TheFlagMovesWithItsSetAndChangesTheRevision) {
    SubtitleList list;
    list.clearList();
    for (int k = 0; k < 4; ++k) {
        list.appendLine(SubtitleLine{rowId(2 * k), "A" + std::to_string(k), "", "", "430"});
        list.appendLine(SubtitleLine{rowId(2 * k + 1), "B" + std::to_string(k), "", "", "430"});
    }
    const uint64_t before = list.revision();
    list.setForced(1, true);
    EXPECT_NE(list.revision(), before);
    const uint64_t marked = list.revision();
    list.setForced(1, true);  // no change, no new revision
    EXPECT_EQ(list.revision(), marked);
    list.setForced(9, true);  // outside the list: nothing
    EXPECT_EQ(forcedSets(list), (std::vector<bool>{false, true, false, false}));

    ASSERT_TRUE(list.moveSets(1, 1, 2));
    EXPECT_EQ(forcedSets(list), (std::vector<bool>{false, false, false, true}));
    EXPECT_EQ(list.column(6, Column::Text), "A1");
    list.removeSets({0});
    EXPECT_EQ(forcedSets(list), (std::vector<bool>{false, false, true}));

    // Typed sets and back.
    std::vector<SubtitleSet> sets = subtitleSets(list);
    EXPECT_TRUE(sets[2].forced);
    sets[0].forced = true;
    EXPECT_EQ(forcedSets(listOfSets(sets)), (std::vector<bool>{true, false, true}));
    list.insertSets(0, {SubtitleLine{"", "new", "", "", "", true}, SubtitleLine{"", "b", "", "", ""}});
    EXPECT_EQ(forcedSets(list), (std::vector<bool>{true, false, false, true}));
}
