#include "base/Italics.h"

#include <gtest/gtest.h>

// Ctrl+I over a line: positions are bytes of the text with its tags.
TEST(Italics, ToggleWrapsUnwrapsAndWritesFewestTags) {
    struct Case {
        const char* line;
        size_t from, to;
        const char* result;
    } cases[] = {
        {"Hello world", 0, 5, "<i>Hello</i> world"},
        {"Hello world", 0, 0, "<i>Hello world</i>"},           // nothing selected: the whole line
        {"Hello world", 11, 11, "<i>Hello world</i>"},
        {"<i>Hello world</i>", 5, 5, "Hello world"},            // all italic: upright again
        {"<i>Hello</i> world", 3, 8, "Hello world"},            // the italic word alone
        {"<i>Hello</i> world", 0, 18, "<i>Hello world</i>"},    // partly italic: all italic
        {"<i>Hello</i> world", 13, 18, "<i>Hello</i> <i>world</i>"},
        {"<i>Hello</i> world", 8, 18, "<i>Hello world</i>"},    // adjoining runs join
        {"abc", 2, 1, "a<i>b</i>c"},                            // a selection made leftwards
        {"Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87", 2, 4, "Za<i>\xC5\xBC</i>\xC3\xB3\xC5\x82\xC4\x87"},
        {"<i>open to the end", 0, 0, "open to the end"},
        {"", 0, 0, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(italics::toggle(c.line, c.from, c.to), c.result) << c.line << " " << c.from << ".." << c.to;
}

TEST(Italics, RunsStripRewriteAndLinesOfACue) {
    const std::vector<italics::Run> r = italics::runs("a<i>b c</i>d<i>e");
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].text, "a");
    EXPECT_FALSE(r[0].italic);
    EXPECT_EQ(r[1].text, "b c");
    EXPECT_TRUE(r[1].italic);
    EXPECT_EQ(r[1].at, 4u);
    EXPECT_EQ(r[3].text, "e");
    EXPECT_TRUE(r[3].italic);  // never closed: italic to the end
    EXPECT_EQ(italics::strip("a<i>b c</i>d<i>e"), "ab cde");
    EXPECT_EQ(italics::strip("x < y <b>"), "x < y <b>");
    EXPECT_FALSE(italics::hasTags("x < y <b>"));
    EXPECT_EQ(italics::rewrite("a<i>b</i>c<i>d", "{\\i1}", "{\\i0}"), "a{\\i1}b{\\i0}c{\\i1}d{\\i0}");
    EXPECT_EQ(italics::rewrite("<i></i>plain", "[", "]"), "plain");
    EXPECT_EQ(italics::balanceLines({"<i>Two", "lines</i> and", "plain", "<i>", "after"}),
              (std::vector<std::string>{"<i>Two</i>", "<i>lines</i> and", "plain", "", "<i>after</i>"}));
}
