#include <gtest/gtest.h>

#include "base/Cp1252.h"
#include "project/SrtImport.h"

namespace {
SubtitleList import(const std::string& srt, float fps = 25.0f, int y = 420) {
    SubtitleList list;
    list.clearList();
    importSrtText(srt, fps, y, list);
    return list;
}
}  // namespace

TEST(SrtImport, OneAndTwoLineCues) {
    SubtitleList l = import("1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\n\r\n2\r\n00:00:03,000 --> 00:00:04,000\r\nGood\r\nbye\r\n\r\n");
    ASSERT_EQ(l.lineCount(), 4);
    EXPECT_EQ(l.line(0), (SubtitleLine{"A0000", "", "00:00:01:00>00:00:02:12", "", "420"}));
    EXPECT_EQ(l.line(1), (SubtitleLine{"B0000", "Hello", "00:00:01:00>00:00:02:12", "", "420"}));
    EXPECT_EQ(l.line(2).id, "A0002");
    EXPECT_EQ(l.line(2).text, "Good");
    EXPECT_EQ(l.line(3).text, "bye");
}

TEST(SrtImport, TimeConversionInSinglePrecision) {
    EXPECT_EQ(srtTimeToTimeCode("00:01:02,530", 25.0f), "00:01:02:13");
    EXPECT_EQ(srtTimeToTimeCode("00:00:05,999", 29.97f), "00:00:05:29");
    EXPECT_EQ(srtTimeToTimeCode("00:00:05.999", 29.97f), "00:00:05:29");
    EXPECT_EQ(srtTimeToTimeCode("00:00:01,5", 25.0f), "00:00:01:12");   // 500 ms
    EXPECT_EQ(srtTimeToTimeCode("00:00:01,04", 25.0f), "00:00:01:01");  // 40 ms
    EXPECT_EQ(srtTimeToTimeCode("00:00:01,040", 25.0f), "00:00:01:01");
    EXPECT_EQ(srtTimeToTimeCode("00:00:01,999", 120.0f), "00:00:01:11");  // 119: first two digits
}

TEST(SrtImport, GapsEmptyLinesAndNumberingDoNotDropCues) {
    // Cue 2's text starts after a blank line: the cue stays (empty) and the
    // stray line is reported. Cue 4 is missing and cue 5 is still taken.
    SubtitleList l = import(
        "1\n00:00:01,000 --> 00:00:02,000\nA\nB\nC\n\n"
        "2\n00:00:03,000 --> 00:00:04,000\n\nlost\n\n"
        "3\n00:00:05,000 --> 00:00:06,000\n\n\n"
        "5\n00:00:07,000 --> 00:00:08,000\nlate\n\n");
    ASSERT_EQ(l.lineCount(), 8);
    EXPECT_EQ(l.line(0).text, "A");
    EXPECT_EQ(l.line(1).text, "B C");
    EXPECT_EQ(l.line(3).text, "");
    EXPECT_EQ(l.line(4).timing, "00:00:05:00>00:00:06:00");
    EXPECT_EQ(l.line(7).text, "late");
    EXPECT_EQ(import("0\n00:00:01,000 --> 00:00:02,000\nA\n\n").lineCount(), 2);
    EXPECT_EQ(import("").lineCount(), 0);
}

TEST(SrtImport, ByteOrderMarkUtf8AndSingleByteText) {
    std::string utf8 = "\xEF\xBB\xBF" "1\n00:00:01,000 --> 00:00:02,000\nCaf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD\n\n";
    SubtitleList l = import(utf8);
    ASSERT_EQ(l.lineCount(), 2);
    EXPECT_EQ(l.line(1).text, "Caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD");
    // A file of Windows-1252 bytes (no UTF-8 sequence at all) is read as Windows-1252.
    SubtitleList s = import("1\n00:00:01,000 --> 00:00:02,000\nCaf\xE9 \x80\n\n");
    EXPECT_EQ(s.line(1).text, "Caf\xC3\xA9 \xE2\x82\xAC");
    // UTF-16 with a byte-order mark.
    std::string u16 = "\xFF\xFE";
    for (char c : std::string("1\n00:00:01,000 --> 00:00:02,000\nHi\n\n")) u16 += c, u16 += '\0';
    EXPECT_EQ(import(u16).line(1).text, "Hi");
    // UTF-32 with a byte-order mark, both byte orders.
    std::string le = std::string("\xFF\xFE\0\0", 4), be = std::string("\0\0\xFE\xFF", 4);
    for (char c : std::string("1\n00:00:01,000 --> 00:00:02,000\nCaf\xE9\n\n")) {
        le += c, le += std::string(3, '\0');
        be += std::string(3, '\0'), be += c;
    }
    EXPECT_EQ(import(le).line(1).text, "Caf\xC3\xA9");
    EXPECT_EQ(import(be).line(1).text, "Caf\xC3\xA9");
}

TEST(SrtImport, TolerantTimeLinesAndFormatting) {
    SubtitleList l = import(
        "1\n00:00:01,000  -->  00:00:02,500 X1:100 X2:200\n<i>Hello</i> <FONT color=\"#fff\">there</font>\n"
        "{\\an8}<b>bold</B> <br> a<b\n   \n2\n00:00:03,000 --> 00:00:04,000\n| pipe |\n\n");
    ASSERT_EQ(l.lineCount(), 4);
    EXPECT_EQ(l.line(0).timing, "00:00:01:00>00:00:02:12");
    EXPECT_EQ(l.line(0).text, "<i>Hello</i> there");  // italics are kept, other formatting dropped
    EXPECT_EQ(l.line(1).text, "bold <br> a<b");
    EXPECT_EQ(l.line(3).text, "\xC2\xA6 pipe \xC2\xA6");
}

// Italics in every spelling SubRip files use become the line's <i> tags;
// italics over a line end are closed and opened again on each line.
TEST(SrtImport, ItalicsAreKeptPerLine) {
    struct Case {
        const char* cue;
        const char* a;
        const char* b;
    } cases[] = {
        {"<I>Shout</I>\nquiet", "<i>Shout</i>", "quiet"},
        {"{\\i1}ass{\\i0} style", "", "<i>ass</i> style"},
        {"<i>Two\nlines</i>", "<i>Two</i>", "<i>lines</i>"},
        {"<b><i>bold</i></b> and <i class=x>odd</i>", "", "<i>bold</i> and odd"},
        {"<i>one\ntwo\nthree</i>", "<i>one</i>", "<i>two</i> <i>three</i>"},
        {"<i></i>\nplain", "", "plain"},
    };
    for (const Case& c : cases) {
        SubtitleList l = import(std::string("1\n00:00:01,000 --> 00:00:02,000\n") + c.cue + "\n\n");
        ASSERT_EQ(l.lineCount(), 2) << c.cue;
        EXPECT_EQ(l.line(0).text, c.a) << c.cue;
        EXPECT_EQ(l.line(1).text, c.b) << c.cue;
    }
}

TEST(SrtImport, MalformedTimeLineDoesNotCrash) {
    SubtitleList list;
    list.clearList();
    SrtImportResult r = importSrtText("1\ngarbage\ntext\n\n2\n-->\n\n\n", 25.0f, 420, list);
    EXPECT_EQ(list.lineCount(), 0);
    EXPECT_EQ(r.unreadableTimeLines.count, 1);
    EXPECT_EQ(r.linesOutsideCues.count, 3);
}

TEST(Cp1252, RoundTripAndReplacement) {
    std::string all;
    for (int c = 1; c < 256; ++c) all += char(c);
    EXPECT_EQ(cp1252::fromUtf8(cp1252::toUtf8(all)), all);
    EXPECT_EQ(cp1252::fromUtf8("\xF0\x9F\x98\x80"), "?");
    EXPECT_TRUE(cp1252::looksLikeUtf8("\xC3\xA9"));
    EXPECT_FALSE(cp1252::looksLikeUtf8("plain"));
    EXPECT_FALSE(cp1252::looksLikeUtf8("\xE9t\xE9"));
}

// Every script survives the import, and the SubRip written back holds the
// same characters (read again by the importer, a reader of its own).
TEST(SrtImport, EveryScriptKeptAndWrittenBack) {
    const std::vector<std::string> lines = {
        "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85 ja\xC5\xBA\xC5\x84",  // Polish
        "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",                                      // Russian
        "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1",                  // Greek
        "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D",                                                          // Hebrew
        "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7",                                                // Arabic
        "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF",                      // Japanese
        "\xF0\x9F\x98\x80 e\xCC\x81",                                                                  // 4-byte and a mark
    };
    std::string srt;
    for (size_t i = 0; i < lines.size(); ++i)
        srt += std::to_string(i + 1) + "\n00:00:0" + std::to_string(i) + ",000 --> 00:00:0" + std::to_string(i) +
               ",500\n" + lines[i] + "\n\n";
    SubtitleList l = import(srt);
    ASSERT_EQ(l.lineCount(), int(2 * lines.size()));
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(l.line(int(2 * i + 1)).text, lines[i]);
}

TEST(SrtImport, InvalidUtf8ReplacedAndReportedWithItsLine) {
    SubtitleList list;
    list.clearList();
    SrtImportResult r = importSrtText(
        "1\n00:00:01,000 --> 00:00:02,000\nZa\xC5\xBC\xC3\n\n2\n00:00:03,000 --> 00:00:04,000\nok \xFF\xFE!\n\n", 25.0f,
        420, list);
    ASSERT_EQ(list.lineCount(), 4);
    EXPECT_EQ(list.line(1).text, "Za\xC5\xBC\xEF\xBF\xBD");
    EXPECT_EQ(list.line(3).text, "ok \xEF\xBF\xBD\xEF\xBF\xBD!");
    EXPECT_EQ(r.invalidUtf8.first, (std::vector<int>{3, 7}));
    EXPECT_NE(describeSkippedLines(r).find("2 lines hold bytes that are not UTF-8; each was replaced with U+FFFD "
                                           "(lines 3, 7)"),
              std::string::npos);
}
