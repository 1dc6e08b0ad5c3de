#include <gtest/gtest.h>

#include "project/SubtitleList.h"
#include "project/TextImport.h"

namespace {

// The sets as "A/B" texts.
std::vector<std::string> texts(const std::vector<SubtitleSet>& sets) {
    std::vector<std::string> out;
    for (const SubtitleSet& s : sets) out.push_back(s.lineA + "/" + s.lineB);
    return out;
}

std::vector<std::string> timings(const std::vector<SubtitleSet>& sets) {
    std::vector<std::string> out;
    for (const SubtitleSet& s : sets) out.push_back(timingText(s.on, s.off));
    return out;
}

}  // namespace

TEST(ImportPlainText, BlocksBecomeUntimedSets) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> expected;
    } cases[] = {
        {"Windows line ends and a UTF-8 mark",
         "\xEF\xBB\xBF" "Caf\xC3\xA9 au lait\r\n\r\nTwo\r\nlines\r\n\r\n\r\nThree\r\nlines\r\nhere\r\n",
         {"/Caf\xC3\xA9 au lait", "Two/lines", "Three/lines here"}},
        {"UTF-8 without a mark, old Mac line ends", "\xE2\x82\xAC 5\r\r  spaced\t \rout  \r", {"/\xE2\x82\xAC 5", "spaced/out"}},
        {"Windows-1252 as it is", "Gr\xFC\xDF" "e\n \t \nA|B\n", {"/Gr\xC3\xBC\xC3\x9F" "e", "/A\xC2\xA6" "B"}},
        {"UTF-16 with its mark", std::string("\xFF\xFEH\0i\0\n\0", 8), {"/Hi"}},
        {"a stray control character", "Bell\x07 here\n", {"/Bell here"}},
    };
    for (const Case& c : cases) {
        TextImportResult r = importPlainText(c.bytes, 430);
        ASSERT_TRUE(r.ok()) << c.name << ": " << r.error;
        EXPECT_EQ(texts(r.sets), c.expected) << c.name;
        for (const SubtitleSet& s : r.sets) {
            EXPECT_FALSE(s.on || s.off) << c.name;
            EXPECT_EQ(s.y, 430) << c.name;
        }
    }
    // As rows: untimed, with ids and the Y.
    SubtitleList list = listOfSets(importPlainText("One\n\nTwo\nThree\n", 380).sets);
    EXPECT_EQ(list.line(2), (SubtitleLine{"A0002", "Two", "", "", "380"}));
    EXPECT_EQ(list.line(3), (SubtitleLine{"B0002", "Three", "", "", "380"}));
    EXPECT_EQ(countSetsWithoutTiming(list), 2);
}

TEST(ImportPlainText, RefusesBinaryAndEmptyFiles) {
    struct Case {
        std::string bytes;
        const char* error;
    } cases[] = {
        {std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), "this is not a text file (it holds NUL bytes)"},
        {std::string("H\0i\0", 4), "this is not a text file (it holds NUL bytes)"},  // UTF-16 without a mark
        {"\x01\x02\x03\x04text", "this is not a text file (4 of its 8 characters are control characters)"},
        {"\r\n \r\n\t\r\n", "there is no text in it"},
        {"", "there is no text in it"},
    };
    for (const Case& c : cases) {
        TextImportResult r = importPlainText(c.bytes, 0);
        EXPECT_EQ(r.error, c.error);
        EXPECT_TRUE(r.sets.empty());
    }
}

TEST(MergeTwoLanguages, PairsCuesByOverlap) {
    const std::string top =
        "1\n00:00:01,000 --> 00:00:03,000\nHello\nthere\n\n"
        "2\n00:00:04,000 --> 00:00:06,000\nGood\n\n"
        "3\n00:00:10,000 --> 00:00:11,000\nOnly on top\n\n";
    // "Noch etwas" overlaps "Good" less than "Gut" does and stays alone, as
    // does "Nur unten", said while nothing is said on top.
    const std::string bottom =
        "1\r\n00:00:01,200 --> 00:00:03,400\r\n<i>Hallo</i>\r\n\r\n"
        "2\r\n00:00:03,800 --> 00:00:05,500\r\nGut\r\n\r\n"
        "3\r\n00:00:05,600 --> 00:00:07,000\r\nNoch etwas\r\n\r\n"
        "4\r\n00:00:08,000 --> 00:00:09,000\r\nNur unten\r\n";
    TwoLanguageResult r = mergeTwoLanguages(top, bottom, 25, 430);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(texts(r.sets), (std::vector<std::string>{"Hello there/<i>Hallo</i>", "Good/Gut", "/Noch etwas", "/Nur unten",
                                                        "Only on top/"}));
    EXPECT_EQ(timings(r.sets), (std::vector<std::string>{"00:00:01:00>00:00:03:10", "00:00:03:20>00:00:06:00",
                                                          "00:00:05:15>00:00:07:00", "00:00:08:00>00:00:09:00",
                                                          "00:00:10:00>00:00:11:00"}));
    EXPECT_EQ(r.pairs, 2);
    EXPECT_EQ(r.topAlone, 1);
    EXPECT_EQ(r.bottomAlone, 2);
    EXPECT_EQ(r.sets[0].y, 430);
}

TEST(MergeTwoLanguages, OneCueOverTwoTakesTheOneItOverlapsMost) {
    // One long top cue over two short bottom cues; the second bottom cue
    // overlaps it more and pairs, the first stays alone.
    const std::string top = "1\n00:00:01,000 --> 00:00:05,000\nLong\n";
    const std::string bottom =
        "1\n00:00:00,500 --> 00:00:02,000\nA\n\n2\n00:00:02,000 --> 00:00:05,000\nB\n";
    TwoLanguageResult r = mergeTwoLanguages(top, bottom, 25, 0);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(texts(r.sets), (std::vector<std::string>{"/A", "Long/B"}));
    EXPECT_EQ(timingText(r.sets[1].on, r.sets[1].off), "00:00:01:00>00:00:05:00");

    r = mergeTwoLanguages(top, "no cues\n", 25, 0);
    EXPECT_EQ(r.error, "the second file holds no SubRip cue");
    EXPECT_TRUE(r.sets.empty());
    r = mergeTwoLanguages("", top, 25, 0);
    EXPECT_EQ(r.error, "the first file holds no SubRip cue");
}
