#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Text.h"

namespace {
std::vector<std::string> walked(std::string_view content) {
    std::vector<std::string> lines;
    std::string_view line;
    for (text::LineWalk walk(content); walk.next(line);) lines.emplace_back(line);
    return lines;
}
}  // namespace

TEST(LineWalk, EveryLineEndingAndTheEndOfTheText) {
    using L = std::vector<std::string>;
    EXPECT_EQ(walked(""), L{});
    EXPECT_EQ(walked("a"), L{"a"});
    EXPECT_EQ(walked("a\r\n"), L{"a"});  // no empty line after the last ending
    EXPECT_EQ(walked("a\r\nb\nc\rd"), (L{"a", "b", "c", "d"}));
    EXPECT_EQ(walked("\n\r\n\r"), (L{"", "", ""}));
    EXPECT_EQ(walked("a\n\rb"), (L{"a", "", "b"}));  // LF CR is two endings
    EXPECT_EQ(walked("a\r\r\nb\r"), (L{"a", "", "b"}));
    EXPECT_EQ(walked(std::string("x\0y\nz", 5)), (L{std::string("x\0y", 3), "z"}));
    // The table and the walk agree.
    for (const char* s : {"a\r\nb\nc\rd", "\n\r\n\r", "one line", "a\n\rb\r"}) {
        const std::vector<std::string_view> views = text::splitLineViews(s);
        EXPECT_EQ(L(views.begin(), views.end()), walked(s)) << s;
        EXPECT_EQ(text::splitLines(s), walked(s)) << s;
    }
}
