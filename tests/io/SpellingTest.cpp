#include "io/Spelling.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

TEST(Spelling, WordsOfALine) {
    struct Case {
        const char* line;
        std::vector<std::string> words;
    } cases[] = {
        {"Don't stop, 3rd time!", {"Don't", "stop", "time"}},
        {"Caf\xC3\xA9-au-lait \xE2\x80\x99quoted\xE2\x80\x99 rock\xE2\x80\x99n",
         {"Caf\xC3\xA9", "au", "lait", "quoted", "rock\xE2\x80\x99n"}},
        {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80!",
         {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "\xD0\xBC\xD0\xB8\xD1\x80"}},  // Cyrillic words
        {"  --  42  ", {}},
        {"x\xC3\x97y", {"x", "y"}},  // the multiplication sign is no letter
    };
    for (const Case& c : cases) EXPECT_EQ(wordsOf(c.line), c.words) << c.line;
}

TEST(Spelling, MisspeltWordsWithSuggestions) {
    std::string error;
    std::unique_ptr<SpellChecker> en = SpellChecker::open("en-US", error);
    if (!en) GTEST_SKIP() << error;  // hunspell-en-us is in scripts/packages.txt
    EXPECT_TRUE(en->correct("Hello"));
    EXPECT_TRUE(en->correct("don't"));
    EXPECT_TRUE(en->correct("don\xE2\x80\x99t"));  // the typographic apostrophe
    EXPECT_FALSE(en->correct("teh"));

    SubtitleSet s;
    s.lineA = "Teh cat and teh dog";
    s.lineB = "are frends";
    std::vector<CheckFinding> f = checkSpelling({SubtitleSet{}, s}, *en);
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[0].set, 1);
    EXPECT_EQ(f[0].kind, "spelling");
    EXPECT_EQ(f[0].detail.rfind("\"Teh\" (suggestions: ", 0), 0u) << f[0].detail;
    EXPECT_EQ(f[1].detail.rfind("\"teh\" (suggestions: the", 0), 0u) << f[1].detail;
    EXPECT_NE(f[2].detail.find("friends"), std::string::npos) << f[2].detail;
}

TEST(Spelling, UnknownLanguagesListTheInstalledOnes) {
    std::string error;
    EXPECT_EQ(SpellChecker::open("xx_NOPE", error), nullptr);
    EXPECT_EQ(error.rfind("there is no spelling dictionary for \"xx_NOPE\" (installed: ", 0), 0u) << error;
    EXPECT_EQ(SpellChecker::open("../../etc/passwd", error), nullptr);
}

// The words of the line fields: where they stand, which are misspelt, and
// the user's own words, kept in a file and taken as correct.
TEST(Spelling, SpansAndTheUsersOwnWords) {
    EXPECT_EQ(wordSpans("Don't stop, 3rd Kowalski!"),
              (std::vector<std::pair<size_t, size_t>>{{0, 5}, {6, 10}, {16, 24}}));
    std::string error;
    std::unique_ptr<SpellChecker> en = SpellChecker::open("en_US", error);
    if (!en) GTEST_SKIP() << error;
    EXPECT_EQ(misspeltSpans("teh Kowalski cafe", *en),
              (std::vector<std::pair<size_t, size_t>>{{0, 3}, {4, 12}}));
    const std::string dir = ::testing::TempDir() + "kalvero-words-" + std::to_string(::getpid()) + "/";
    const std::string path = personalWordsPath(dir);
    EXPECT_EQ(path, dir + "words.txt");
    ASSERT_TRUE(addPersonalWord(path, "Kowalski"));
    ASSERT_TRUE(addPersonalWord(path, "Caf\xE9teria"));
    std::unique_ptr<SpellChecker> again = SpellChecker::open("en_US", error);
    again->addWordsOf(path);
    again->addWordsOf(dir + "none.txt");  // no file, no words
    EXPECT_TRUE(again->correct("Kowalski"));
    EXPECT_TRUE(again->correct("Caf\xE9teria"));  // kept as UTF-8, read back as the line's bytes
    EXPECT_FALSE(again->correct("teh"));
    EXPECT_EQ(personalWordsPath(""), "");
    EXPECT_FALSE(addPersonalWord("", "x"));
    std::filesystem::remove_all(dir);
}
