#include <gtest/gtest.h>

#include "base/Cp1252.h"
#include "base/Utf8.h"

// The bytes of text files as the importers read them.
TEST(Utf8, TextFilesDecodeWithEveryCharacterKept) {
    auto units16 = [](std::u16string_view s, bool big) {
        std::string out;
        for (char16_t u : s) {
            const char hi = char(u >> 8), lo = char(u & 0xFF);
            out += big ? hi : lo;
            out += big ? lo : hi;
        }
        return out;
    };
    struct Case {
        const char* what;
        std::string bytes, text;
        bool legacy;
        std::vector<int> badLines;
    } cases[] = {
        {"plain UTF-8", "\xC5\x81\xC3\xB3" "d\xC5\xBA\n\xF0\x9F\x98\x80", "\xC5\x81\xC3\xB3" "d\xC5\xBA\n\xF0\x9F\x98\x80", false, {}},
        {"UTF-8 with its mark", "\xEF\xBB\xBF\xD0\xAF", "\xD0\xAF", false, {}},
        {"UTF-16 LE with a surrogate pair", "\xFF\xFE" + units16(u"\u05E9\U0001F600", false),
         "\xD7\xA9\xF0\x9F\x98\x80", false, {}},
        {"UTF-16 BE, an unpaired surrogate", "\xFE\xFF" + units16(u"a", true) + std::string("\xD8\x00", 2),
         "a\xEF\xBF\xBD", false, {}},
        {"Windows-1252 (no UTF-8 sequence at all)", "Caf\xE9 \x80", "Caf\xC3\xA9 \xE2\x82\xAC", true, {}},
        {"UTF-8 with bad bytes on lines 2 and 4", "\xC3\xA9\r\nx\xFF\r\nok\n\xC3\n", "\xC3\xA9\r\nx\xEF\xBF\xBD\r\nok\n\xEF\xBF\xBD\n",
         false, {2, 4}},
        {"old Mac line ends count lines too", "\xC3\xA9\r\r\xFE", "\xC3\xA9\r\r\xEF\xBF\xBD", false, {3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const utf8::Decoded d = utf8::decodeTextFile(c.bytes);
        EXPECT_EQ(d.text, c.text);
        EXPECT_EQ(d.legacy, c.legacy);
        EXPECT_EQ(d.badLines, c.badLines);
        EXPECT_TRUE(utf8::isValid(d.text));
    }
}

TEST(Utf8, Windows1252FitAndCaseFolding) {
    // Every byte goes to UTF-8 and back unchanged, the five unassigned ones too.
    std::string all;
    for (int c = 1; c < 256; ++c) all += char(c);
    EXPECT_TRUE(cp1252::fits(cp1252::toUtf8(all)));
    EXPECT_EQ(cp1252::fromUtf8(cp1252::toUtf8(all)), all);
    EXPECT_FALSE(cp1252::fits("\xC5\x81"));  // Ł
    EXPECT_FALSE(cp1252::fits("\xFF"));      // not UTF-8 at all
    EXPECT_EQ(utf8::fromLegacy("\xC5\x81"), "\xC5\x81");
    EXPECT_EQ(utf8::fromLegacy("\xA3"), "\xC2\xA3");
    EXPECT_EQ(utf8::sanitize("a\xC3"), "a\xEF\xBF\xBD");
    EXPECT_EQ(utf8::length("a\xC3\xA9\xF0\x9F\x98\x80"), 3u);
    // Folding keeps the byte positions: ÉTÉ, ŁÓDŹ, ПРИВЕТ, ΑΒΓ.
    EXPECT_EQ(utf8::foldCase("\xC3\x89T\xC3\x89"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(utf8::foldCase("\xC5\x81\xC3\x93" "D\xC5\xB9"), "\xC5\x82\xC3\xB3" "d\xC5\xBA");
    EXPECT_EQ(utf8::foldCase("\xD0\x9F\xD0\xA0\xD0\x98"), "\xD0\xBF\xD1\x80\xD0\xB8");
    EXPECT_EQ(utf8::foldCase("\xCE\x91\xCE\x92\xCE\x93"), "\xCE\xB1\xCE\xB2\xCE\xB3");
    EXPECT_EQ(utf8::foldCase("x\xFFy"), "x\xFFy");
}
