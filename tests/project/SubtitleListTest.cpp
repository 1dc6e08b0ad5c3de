#include <gtest/gtest.h>

#include "project/SubtitleList.h"

TEST(SubtitleList, StartsWithOneEmptySetAndOutOfRangeReadsEmpty) {
    SubtitleList list;
    ASSERT_EQ(list.lineCount(), 2);
    EXPECT_EQ(list.line(0).id, "A0000");
    EXPECT_EQ(list.line(1).id, "B0000");
    EXPECT_EQ(list.line(2), SubtitleLine{});
    EXPECT_EQ(list.line(-1), SubtitleLine{});
    list.setLineColumn(7, Column::Text, "ignored");
    EXPECT_EQ(list.lineCount(), 2);
}

TEST(SubtitleList, Ids) {
    EXPECT_EQ(rowId(0), "A0000");
    EXPECT_EQ(rowId(3), "B0002");
    EXPECT_EQ(rowId(11), "B0010");
    // Past 9,999 the ids grow a digit instead of repeating earlier ones.
    EXPECT_EQ(rowId(10000), "A10000");
    EXPECT_EQ(rowId(10001), "B10000");
    EXPECT_NE(rowId(10000), rowId(1000));
    EXPECT_EQ(rowId(123457), "B123456");
    SubtitleList list;
    list.appendLine({"X", "", "", "", ""});
    list.appendLine({"Y", "", "", "", ""});
    list.renumberIds();
    EXPECT_EQ(list.line(2).id, "A0002");
    EXPECT_EQ(list.line(3).id, "B0002");
}

TEST(SubtitleList, CountsAndEntries) {
    SubtitleList list;
    list.clearList();
    list.appendLine({"A0000", "  Hello    world  ", "00:00:01:00>00:00:02:12", "25+37", " 420 "});
    list.appendLine({"B0000", "", "", "", ""});
    EXPECT_EQ(list.countWords(), 2);
    for (int i = 0; i < 5; ++i) list.appendLine({rowId(i + 2), "", "", "", ""});
    EXPECT_EQ(list.countLines(), std::make_pair(7, 3));
    SubtitleEntry e = list.entry(0);
    EXPECT_EQ(e.lineA, "  Hello    world  ");
    EXPECT_EQ(e.on, (TimeCode{0, 0, 1, 0}));
    EXPECT_EQ(e.off, (TimeCode{0, 0, 2, 12}));
    EXPECT_EQ(e.offFrames, 25);
    EXPECT_EQ(e.onFrames, 37);
    EXPECT_EQ(e.y, 420);
    EXPECT_EQ(list.entryCount(), 3);
    EXPECT_EQ(list.entry(3).lineB, "");  // the odd last row has no B row
}
