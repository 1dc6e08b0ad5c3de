#include <gtest/gtest.h>

#include "export/ScalaScript.h"
#include "project/SubtitleList.h"

namespace {

std::string joinLines(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines) {
        s += l;
        s += '\n';
    }
    return s;
}

}  // namespace

TEST(ScalaScript, TwoSetExampleByteForByte) {
    ScalaScript script = buildScalaScript({{0, 87}, {13, 50}}, 25.0f, 720, 576, "demo", ScalaIc500);
    ASSERT_TRUE(script.ok) << script.error;
    EXPECT_FALSE(script.showInfo);
    EXPECT_EQ(script.text, joinLines({
                               "V3.0",
                               "",
                               "MOUSE on",
                               "",
                               "EVENT \"Instructions\"",
                               "PICTURE \"demo_poster.iff\"",
                               "PAUSE -1",
                               "END",
                               "",
                               "EVENT \"Right Mouse Button to Start\"",
                               "BLANK 720 576 4 lace hires 0",
                               "PAUSE -1",
                               "END",
                               "",
                               "EVENT Slide00001/00002",
                               "PICTURE \"demo0001.iff\"",
                               "PAUSE 3.480",
                               "END",
                               "",
                               "EVENT Blank0001/00001",
                               "BLANK 720 576 4 lace hires 0",
                               "PAUSE 0.520",
                               "END",
                               "",
                               "EVENT Slide00002/00002",
                               "PICTURE \"demo0002.iff\"",
                               "PAUSE 2.000",
                               "END",
                               "",
                               "EVENT \"Right Mouse Button to Exit\"",
                               "BLANK 720 576 4 lace hires 0",
                               "PAUSE -1",
                               "EXIT",
                               "END",
                           }));
    EXPECT_EQ(script.text.find('\r'), std::string::npos);
}

TEST(ScalaScript, OneSetHasNoBlankEvent) {
    ScalaScript script = buildScalaScript({{10, 25}}, 25.0f, 640, 512, "x", ScalaMm400);
    ASSERT_TRUE(script.ok);
    EXPECT_NE(script.text.find("EVENT Slide00001/00001\nPICTURE \"x0001.iff\"\nPAUSE 1.000\nEND\n\n"
                               "EVENT \"Right Mouse Button to Exit\"\nBLANK 640 512 4 lace hires 0\n"),
              std::string::npos);
    EXPECT_EQ(script.text.find("Blank"), std::string::npos);
    EXPECT_EQ(script.text.substr(script.text.size() - 9), "EXIT\nEND\n");
}

TEST(ScalaScript, NoSetsStillFramesThePresentation) {
    ScalaScript script = buildScalaScript({}, 25.0f, 720, 576, "demo", ScalaIc500);
    ASSERT_TRUE(script.ok);
    EXPECT_EQ(script.text.find("Slide"), std::string::npos);
    EXPECT_NE(script.text.find("Right Mouse Button to Exit"), std::string::npos);
}

TEST(ScalaScript, VersionHeaderAndInfoNote) {
    for (int target : {0, 1, 2}) {
        ScalaScript s = buildScalaScript({{0, 10}}, 25.0f, 720, 576, "a", target);
        ASSERT_TRUE(s.ok);
        EXPECT_EQ(s.text.substr(0, 5), "V3.0\n");
        EXPECT_FALSE(s.showInfo);
    }
    ScalaScript s = buildScalaScript({{0, 87}, {13, 88}}, 25.0f, 720, 576, "a", ScalaMm200);
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.text.substr(0, 5), "V2.0\n");
    EXPECT_TRUE(s.showInfo);
    EXPECT_NE(s.text.find("PAUSE 3\nEND"), std::string::npos);
    EXPECT_NE(s.text.find("PAUSE 4\nEND"), std::string::npos);
    EXPECT_STREQ(kScalaInfoTitle, "Info");
    EXPECT_EQ(std::string(kScalaInfoText),
              "Please note that this version of Scala does not support\nSS:FF (Seconds:Frames) !\n\n"
              "Will automatically round timing to nearest second.\nLowest value will however always become 1 "
              "second, either way!");
}

TEST(ScalaScript, RefusesUnsupportedVersionsAndMissingFrameRate) {
    EXPECT_FALSE(buildScalaScript({{0, 1}}, 25.0f, 720, 576, "a", ScalaV1).ok);
    EXPECT_FALSE(buildScalaScript({{0, 1}}, 25.0f, 720, 576, "a", Scala500V1).ok);
    EXPECT_FALSE(buildScalaScript({{0, 1}}, 0.0f, 720, 576, "a", ScalaIc500).ok);
    EXPECT_FALSE(buildScalaScript({{0, 1}}, -25.0f, 720, 576, "a", ScalaIc500).ok);
}

TEST(ScalaScript, NamesAreCutTo16Characters) {
    ScalaScript s = buildScalaScript({{0, 1}}, 25.0f, 720, 576, "abcdefghijklmnopqrstuvwxyz", ScalaIc500);
    ASSERT_TRUE(s.ok);
    EXPECT_NE(s.text.find("PICTURE \"abcdefghijklmnop_poster.iff\""), std::string::npos);
    EXPECT_NE(s.text.find("PICTURE \"abcdefghijklmnop0001.iff\""), std::string::npos);
    EXPECT_EQ(s.text.find("abcdefghijklmnopq"), std::string::npos);
}

TEST(ScalaPause, ThreeDecimalVersions) {
    EXPECT_EQ(scalaPause(87, 25.0f, ScalaIc500, false), "3.480");
    EXPECT_EQ(scalaPause(13, 25.0f, ScalaMm400, true), "0.520");
    EXPECT_EQ(scalaPause(50, 25.0f, ScalaMm300, false), "2.000");
    EXPECT_EQ(scalaPause(1, 25.0f, ScalaIc500, false), "0.040");
    EXPECT_EQ(scalaPause(0, 25.0f, ScalaIc500, true), "0.000");
    // Overlapping sets: the minus sign stays only when the whole seconds are not 0.
    EXPECT_EQ(scalaPause(-30, 25.0f, ScalaIc500, true), "-1.200");
    EXPECT_EQ(scalaPause(-10, 25.0f, ScalaIc500, true), "0.400");
    // 30 / 29.97 = 1.0010... is written 1.00.
    EXPECT_EQ(scalaPause(30, 29.97f, ScalaIc500, false), "1.000");
    EXPECT_EQ(scalaPause(3000, 29.97f, ScalaIc500, false), "100.100");
    EXPECT_EQ(scalaPause(90000, 25.0f, ScalaIc500, false), "3600.000");
}

TEST(ScalaPause, WholeSecondVersion) {
    // Slides: up from .50, otherwise down.
    EXPECT_EQ(scalaPause(87, 25.0f, ScalaMm200, false), "3");
    EXPECT_EQ(scalaPause(88, 25.0f, ScalaMm200, false), "4");
    // Gaps: up from .50, otherwise one second shorter.
    EXPECT_EQ(scalaPause(87, 25.0f, ScalaMm200, true), "2");
    EXPECT_EQ(scalaPause(88, 25.0f, ScalaMm200, true), "4");
    EXPECT_EQ(scalaPause(13, 25.0f, ScalaMm200, true), "1");
    // Never below 1.
    EXPECT_EQ(scalaPause(0, 25.0f, ScalaMm200, true), "1");
    EXPECT_EQ(scalaPause(0, 25.0f, ScalaMm200, false), "1");
    EXPECT_EQ(scalaPause(5, 25.0f, ScalaMm200, false), "1");
    EXPECT_EQ(scalaPause(-30, 25.0f, ScalaMm200, true), "1");
    EXPECT_EQ(scalaPause(25, 25.0f, ScalaMm200, true), "1");
    EXPECT_EQ(scalaPause(50, 25.0f, ScalaMm200, true), "1");
    EXPECT_EQ(scalaPause(75, 25.0f, ScalaMm200, true), "2");
}

TEST(ScalaScript, TimingsComeFromTheLineARows) {
    SubtitleList list;
    list.clearList();
    list.appendLine({"A0000", "one", "", "0+87", ""});
    list.appendLine({"B0000", "", "", "0+87", ""});
    list.appendLine({"A0002", "two", "", "-13+50", ""});
    list.appendLine({"B0002", "", "", "", ""});
    list.appendLine({"A0004", "odd row out", "", "5+5", ""});
    std::vector<SetTiming> sets = setTimings(list);
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0].off, 0);
    EXPECT_EQ(sets[0].on, 87);
    EXPECT_EQ(sets[1].off, -13);
    EXPECT_EQ(sets[1].on, 50);
}

TEST(ScalaScript, ManySetsWidenTheirNumbers) {
    std::vector<SetTiming> sets(10001, SetTiming{1, 1});
    ScalaScript s = buildScalaScript(sets, 25.0f, 720, 576, "n", ScalaIc500);
    ASSERT_TRUE(s.ok);
    EXPECT_NE(s.text.find("EVENT Slide10000/10001\nPICTURE \"n10000.iff\""), std::string::npos);
    EXPECT_NE(s.text.find("EVENT Blank10000/10000\n"), std::string::npos);
    EXPECT_NE(s.text.find("PICTURE \"n1000.iff\""), std::string::npos);
}

TEST(ScalaScript, PausesFollowEverySetsOwnTimeCodes) {
    // Set 1 begins 2 frames before set 0 ends, set 2 a second after set 1;
    // set 3 ends before it begins.
    ScalaScript s = buildScalaScript({{25, 50}, {-2, 50}, {25, 25}, {10, -5}}, 25.0f, 720, 576, "o", ScalaIc500);
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_NE(s.text.find("EVENT Slide00001/00004\nPICTURE \"o0001.iff\"\nPAUSE 1.920\nEND\n\n"
                          "EVENT Blank0001/00003\nBLANK 720 576 4 lace hires 0\nPAUSE 0.000\nEND\n\n"
                          "EVENT Slide00002/00004\nPICTURE \"o0002.iff\"\nPAUSE 2.000\nEND\n\n"
                          "EVENT Blank0002/00003\nBLANK 720 576 4 lace hires 0\nPAUSE 1.000\nEND\n\n"
                          "EVENT Slide00003/00004\nPICTURE \"o0003.iff\"\nPAUSE 1.000\nEND\n\n"
                          "EVENT \"Right Mouse Button to Exit\""),
              std::string::npos)
        << s.text;
    EXPECT_EQ(s.text.find("o0004.iff"), std::string::npos);  // the reversed set is left out
    size_t waits = 0;  // only the three events that wait for the mouse
    for (size_t at = s.text.find("PAUSE -"); at != std::string::npos; at = s.text.find("PAUSE -", at + 1)) {
        EXPECT_EQ(s.text.substr(at, 9), "PAUSE -1\n");
        ++waits;
    }
    EXPECT_EQ(waits, 3u);
}

TEST(ScalaScript, NamesAreNotCutInsideAUtf8Character) {
    // 15 ASCII bytes and a two-byte character: the cut falls before it.
    ScalaScript s = buildScalaScript({{0, 1}}, 25.0f, 720, 576, "abcdefghijklmno\xC3\xA9z", ScalaIc500);
    ASSERT_TRUE(s.ok);
    EXPECT_NE(s.text.find("PICTURE \"abcdefghijklmno_poster.iff\""), std::string::npos);
    s = buildScalaScript({{0, 1}}, 25.0f, 720, 576, "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAC film", ScalaIc500);
    EXPECT_NE(s.text.find("PICTURE \"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAC f0001.iff\""), std::string::npos);
    s = buildScalaScript({{0, 1}}, 25.0f, 720, 576, "abcdefghijklm\xF0\x9F\x8E\xAC", ScalaIc500);
    EXPECT_NE(s.text.find("PICTURE \"abcdefghijklm0001.iff\""), std::string::npos);
}
