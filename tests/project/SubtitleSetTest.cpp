#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "project/ProjectFile.h"
#include "project/SubtitleSet.h"

namespace {

std::vector<SubtitleLine> rowsOf(const SubtitleList& list) {
    std::vector<SubtitleLine> rows;
    for (int i = 0; i < list.lineCount(); ++i) rows.push_back(*list.row(i));
    return rows;
}

SubtitleList listOf(const std::vector<SubtitleLine>& rows) {
    SubtitleList list;
    list.clearList();
    for (const SubtitleLine& r : rows) list.appendLine(r);
    return list;
}

void expectRoundTrip(const SubtitleList& list, const std::string& what) {
    const SubtitleList back = listOfSets(subtitleSets(list));
    EXPECT_EQ(rowsOf(back), rowsOf(list)) << what;
    // The saved file too: the rows are the whole of a project's subtitles.
    const std::tm when{};
    EXPECT_EQ(formatProject(back, {}, when, ".KVL8", "v"), formatProject(list, {}, when, ".KVL8", "v")) << what;
}

}  // namespace

TEST(SubtitleSet, ReadsTheTypedFieldsOfLineA) {
    const SubtitleList list = listOf({
        {"A0000", "Hello", "00:00:01:00>00:00:02:12", "25+37", " 420 "},
        {"B0000", "there", "00:00:01:00>00:00:02:12", "25+37", " 420 "},
        {"A0002", "", "", "", ""},
        {"B0002", "", "", "", ""},
        {"A0004", "half", " >00:00:09:00", "", "0"},
    });
    const std::vector<SubtitleSet> sets = subtitleSets(list);
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(sets[0].lineA, "Hello");
    EXPECT_EQ(sets[0].lineB, "there");
    EXPECT_EQ(sets[0].on, (TimeCode{0, 0, 1, 0}));
    EXPECT_EQ(sets[0].off, (TimeCode{0, 0, 2, 12}));
    EXPECT_EQ(sets[0].y, 420);
    EXPECT_EQ(sets[0].offFrames(), 25);
    EXPECT_EQ(sets[0].onFrames(), 37);
    EXPECT_TRUE(sets[0].timed());
    EXPECT_FALSE(sets[1].on || sets[1].off || sets[1].y);
    // A blank ON is no time code; a Y of 0 is a Y (the slider's is used for it).
    EXPECT_FALSE(sets[2].on);
    EXPECT_EQ(sets[2].off, (TimeCode{0, 0, 9, 0}));
    EXPECT_FALSE(sets[2].timed());
    EXPECT_EQ(sets[2].y, 0);
    EXPECT_FALSE(sets[2].rows.hasLineB);
    // The old read-only view agrees where both have a value.
    const SubtitleEntry e = list.entry(0);
    EXPECT_EQ(e.on, *sets[0].on);
    EXPECT_EQ(e.y, sets[0].yOrZero());
}

TEST(SubtitleSet, OddRowsComeBackByteForByte) {
    const std::vector<std::vector<SubtitleLine>> cases = {
        {},
        {{"A0000", "only A", "00:00:01:00>00:00:02:00", "25+25", ""}},
        // Timing on line B only, and B with a Y of its own.
        {{"A0000", "a", "", "", ""}, {"B0000", "b", "00:00:01:00>00:00:02:00", "25+25", "300"}},
        // Text that is no time code, spaces, a missing OFF or ON, a '>' alone.
        {{"A0000", "a", "junk", "x", "abc"}, {"B0000", "b", "junk", "x", "abc"}},
        {{"A0002", " ", " 00:00:01:00 > 00:00:02:00 ", "1+2+3", " 7"}, {"B0002", "", "", "", ""}},
        {{"", "", "1:2:3:4>", "", "0"}, {"", "", "1:2:3:4>", "", "0"}},
        {{"A0000", "", ">", "", ""}, {"B0000", "", ">", "", ""}},
        {{"A0000", "\xE9t\xE9", "00:00:00:00>99:59:59:99", "-5+0", "-12"}, {"ID", "\x80\xFF", "", "", ""}},
        // Ids that repeat or are out of order.
        {{"A0000", "1", "", "", ""}, {"B0000", "2", "", "", ""}, {"A0000", "3", "", "", ""}},
    };
    for (size_t i = 0; i < cases.size(); ++i) expectRoundTrip(listOf(cases[i]), "case " + std::to_string(i));
}

TEST(SubtitleSet, EveryProjectFileOfTheTestsComesBackByteForByte) {
    int files = 0;
    for (const char* folder : {KALVERO_SOURCE_DIR "/tests/fuzz/corpus/project", KALVERO_TEST_DATA "/bad/project"}) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::stringstream content;
            content << in.rdbuf();
            ProjectHeader header;
            SubtitleList rows;
            parseProject(content.str(), 0, header, rows);
            expectRoundTrip(rows, entry.path().filename().string());
            ++files;
        }
    }
    EXPECT_GE(files, 10);
}

TEST(SubtitleSet, ChangedFieldsAreWrittenInTheRowFormat) {
    const SubtitleList list = listOf({{"A0000", "a", " 00:00:01:00>00:00:02:00", "25+25", " 5"},
                                      {"B0000", "b", " 00:00:01:00>00:00:02:00", "25+25", " 5"}});
    std::vector<SubtitleSet> sets = subtitleSets(list);
    sets[0].off = TimeCode{0, 0, 3, 1};
    sets[0].y = std::nullopt;
    sets[0].lineB = "new";
    SubtitleList back = listOfSets(sets);
    // Both rows follow line A; the stale OFF+ON stays until it is recalculated.
    for (int i : {0, 1}) {
        EXPECT_EQ(back.row(i)->timing, "00:00:01:00>00:00:03:01");
        EXPECT_EQ(back.row(i)->y, "");
        EXPECT_EQ(back.row(i)->offOn, "25+25");
    }
    EXPECT_EQ(back.row(1)->text, "new");
    EXPECT_EQ(recalculateOffOn(back, 25.0f), 0);
    EXPECT_EQ(back.row(0)->offOn, "25+51");

    // A new set gets ids from its place and both rows the same columns.
    SubtitleSet fresh;
    fresh.lineA = "x";
    fresh.on = TimeCode{0, 0, 4, 0};
    fresh.y = 0;
    sets.push_back(fresh);
    back = listOfSets(sets);
    ASSERT_EQ(back.lineCount(), 4);
    EXPECT_EQ(*back.row(2), (SubtitleLine{"A0002", "x", "00:00:04:00>", "", "0"}));
    EXPECT_EQ(*back.row(3), (SubtitleLine{"B0002", "", "00:00:04:00>", "", "0"}));
    EXPECT_EQ(timingText(std::nullopt, std::nullopt), "");
}
