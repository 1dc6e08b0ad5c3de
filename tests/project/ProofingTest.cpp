#include <gtest/gtest.h>

#include "project/Proofing.h"

namespace {

SubtitleSet set(const char* a, const char* b, const char* on = "", const char* off = "") {
    SubtitleSet s;
    s.lineA = a;
    s.lineB = b;
    if (*on) s.on = parseTimeCode(on);
    if (*off) s.off = parseTimeCode(off);
    return s;
}

std::string texts(const std::vector<SubtitleSet>& sets) {
    std::string out;
    for (const SubtitleSet& s : sets) out += "[" + s.lineA + "/" + s.lineB + "]";
    return out;
}

std::vector<SubtitleSet> fox() {
    return {set("the quick", "brown fox"), set("The Quickest", "fox_trot"), set("", "\xC3\x89T\xC3\x89 \xC3\xA9t\xC3\xA9")};
}

}  // namespace

TEST(ReplaceAll, PlainAndExpressionsOverBothLines) {
    struct Case {
        const char* name;
        FindOptions o;
        const char* with;
        int replaced;
        const char* expected;
    } cases[] = {
        {"case kept", {"quick", false, false, true}, "slow", 1, "[the slow/brown fox][The Quickest/fox_trot][/\xC3\x89T\xC3\x89 \xC3\xA9t\xC3\xA9]"},
        {"case folded", {"quick", false, false, false}, "slow", 2, "[the slow/brown fox][The slowest/fox_trot][/\xC3\x89T\xC3\x89 \xC3\xA9t\xC3\xA9]"},
        {"whole words", {"quick", false, true, false}, "slow", 1, "[the slow/brown fox][The Quickest/fox_trot][/\xC3\x89T\xC3\x89 \xC3\xA9t\xC3\xA9]"},
        {"whole word with '_' inside", {"fox", false, true, true}, "cat", 1, "[the quick/brown cat][The Quickest/fox_trot][/\xC3\x89T\xC3\x89 \xC3\xA9t\xC3\xA9]"},
        {"accented letters folded", {"\xC3\xA9t\xC3\xA9", false, true, false}, "summer", 2, "[the quick/brown fox][The Quickest/fox_trot][/summer summer]"},
        {"a blank meets the break, the break stays at the same blank", {"quick brown", false, false, true}, "slow red", 1,
         "[the slow/red fox][The Quickest/fox_trot][/\xC3\x89T\xC3\x89 \xC3\xA9t\xC3\xA9]"},
        {"no blank left: one line", {"quick brown", false, false, true}, "fast", 1,
         "[/the fast fox][The Quickest/fox_trot][/\xC3\x89T\xC3\x89 \xC3\xA9t\xC3\xA9]"},
        {"expression across the break", {"(\\w+)\\n(\\w+)", true, false, true}, "$2\\n$1", 2,
         "[the brown/quick fox][The fox_trot/Quickest][/\xC3\x89T\xC3\x89 \xC3\xA9t\xC3\xA9]"},
        {"expression joins the lines", {"k\\s+b", true, false, true}, "k b", 1,
         "[/the quick brown fox][The Quickest/fox_trot][/\xC3\x89T\xC3\x89 \xC3\xA9t\xC3\xA9]"},
        {"expression ignoring case, with whole words", {"QUICK\\w*", true, true, false}, "[$&]", 2,
         "[the [quick]/brown fox][The [Quickest]/fox_trot][/\xC3\x89T\xC3\x89 \xC3\xA9t\xC3\xA9]"},
        {"a '|' in the replacement", {"fox", false, false, true}, "a|b", 2, "[the quick/brown a\xC2\xA6" "b][The Quickest/a\xC2\xA6" "b_trot][/\xC3\x89T\xC3\x89 \xC3\xA9t\xC3\xA9]"},
        {"nothing found", {"zebra", false, false, true}, "x", 0, "[the quick/brown fox][The Quickest/fox_trot][/\xC3\x89T\xC3\x89 \xC3\xA9t\xC3\xA9]"},
    };
    for (const Case& c : cases) {
        ReplaceResult r = replaceAll(fox(), c.o, c.with);
        ASSERT_TRUE(r.ok()) << c.name << ": " << r.error;
        EXPECT_EQ(r.replaced, c.replaced) << c.name;
        EXPECT_EQ(texts(r.sets), c.expected) << c.name;
    }
}

TEST(ReplaceAll, ALastLineAWithoutItsRowBKeepsTheText) {
    std::vector<SubtitleSet> sets = {set("", "x"), set("one two", "")};
    sets[1].rows.fromList = true;
    sets[1].rows.hasLineB = false;
    ReplaceResult r = replaceAll(sets, {"(one) (two)", true, false, true}, "$1\\n$2");
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.sets[1].lineA, "one two");
    EXPECT_EQ(r.sets[1].lineB, "");
}

TEST(ReplaceAll, RefusesEmptyAndBrokenExpressions) {
    EXPECT_EQ(replaceAll(fox(), {"", false, false, true}, "x").error, "the search text is empty");
    EXPECT_EQ(replaceAll(fox(), {"", true, false, true}, "x").error, "the search text is empty");
    ReplaceResult r = replaceAll(fox(), {"(unclosed", true, false, true}, "x");
    EXPECT_EQ(r.error.rfind("the regular expression \"(unclosed\" does not compile: ", 0), 0u) << r.error;
    EXPECT_TRUE(r.sets.empty());
    std::vector<SubtitleSet> huge = {set("", std::string(1200, 'a').c_str())};
    EXPECT_EQ(replaceAll(huge, {"a+", true, false, true}, "b").error,
              "set 1 is longer than 1000 characters, too long for a regular expression search");
    EXPECT_EQ(replaceAll(huge, {"a", false, false, true}, "b").replaced, 1200);  // plain search has no limit
}

TEST(FindAll, MatchesOfTheJoinedTextAndReplacingOne) {
    std::string error;
    std::vector<TextMatch> m = findAll(fox(), {"o", false, false, true}, error);
    EXPECT_EQ(m, (std::vector<TextMatch>{{0, 12, 13}, {0, 17, 18}, {1, 14, 15}, {1, 19, 20}}));
    // Empty matches of an expression advance one character at a time.
    EXPECT_EQ(findAll({set("ab", "")}, {"x*", true, false, true}, error).size(), 4u);

    ReplaceResult r = replaceOne(fox(), {"o", false, false, true}, "0", m[1]);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.sets[0].lineB, "brown f0x");
    EXPECT_EQ(r.replaced, 1);
    EXPECT_EQ(replaceOne(fox(), {"o", false, false, true}, "0", TextMatch{0, 11, 12}).error,
              "the text found in set 1 is no longer there");
}

TEST(CheckTimings, EachKindOnAHandMadeList) {
    std::vector<SubtitleSet> sets = {
        set("", "Fine", "00:00:01:00", "00:00:03:00"),
        set("", "Overlaps the next", "00:00:04:00", "00:00:06:05"),
        set("", "Starts early", "00:00:06:00", "00:00:07:00"),
        set("", "Above", "00:00:05:00", "00:00:05:20"),
        set("", "No OFF", "00:00:09:00", ""),
        set("", "", "", ""),  // an empty set says nothing
        set("Far too much text for", "such a short time", "00:00:10:00", "00:00:10:05"),
        set("", "Backwards", "00:00:12:00", "00:00:11:00"),
    };
    std::vector<CheckFinding> f = checkTimings(sets, 25, {10, 17});
    EXPECT_EQ(f, (std::vector<CheckFinding>{
                     {1, "overlap", "ends at 00:00:06:05, after set 3 starts at 00:00:06:00"},
                     {2, "overlap", "ends at 00:00:07:00, after set 4 starts at 00:00:05:00"},
                     {3, "order", "starts at 00:00:05:00, before set 3 above it (00:00:06:00)"},
                     {4, "missing", "no OFF time code"},
                     {6, "short", "shown for 5 frames, fewer than 10"},
                     {6, "speed", "190.0 characters per second (38 in 0.20 s), more than 17"},
                     {7, "timing", "its OFF 00:00:11:00 is not after its ON 00:00:12:00"},
                 }));
    EXPECT_TRUE(checkTimings(sets, 25, {0, 0}).size() == 5u);  // short and speed not asked for
}

TEST(CheckTimings, ReadingSpeedAtTheExactFilmRate) {
    // 24 characters over 24 frames at 24000/1001: 1.001 s, 23.98 characters per second.
    std::vector<SubtitleSet> sets = {set("", "abcdefghijklmnopqrstuvwx", "00:00:01:00", "00:00:02:00")};
    std::vector<CheckFinding> f = checkTimings(sets, 23.976f, {0, 23.9});
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].detail, "24.0 characters per second (24 in 1.00 s), more than 23.9");
    EXPECT_TRUE(checkTimings(sets, 23.976f, {0, 24}).empty());
}
