#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/Text.h"
#include "project/ProjectFile.h"

namespace {
const char* kExample =
    "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n"
    "##-Resolution Width: 720\r\n"
    "##-Resolution Height: 576\r\n"
    "##-Profile: 1\r\n"
    "##-Preset: 0\r\n"
    "##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
    "##-Number of lines/pages: 4 / 2\r\n"
    "##-Word count: 3\r\n"
    "##-User Timed Session: 0\r\n"
    "##-;\r\n"
    "A0000|Hello|00:00:01:00>00:00:02:12|25+37|420\r\n"
    "B0000|there|00:00:01:00>00:00:02:12|25+37|420\r\n"
    "A0002||00:00:03:00>00:00:04:00|13+25|420\r\n"
    "B0002|friend|00:00:03:00>00:00:04:00|13+25|420\r\n";

std::tm exampleDate() {
    std::tm t{};
    t.tm_year = 117;
    t.tm_mon = 2;
    t.tm_mday = 9;
    t.tm_hour = 14;
    t.tm_min = 5;
    t.tm_sec = 9;
    return t;
}
}  // namespace

TEST(ProjectFile, ExampleRoundTripsByteForByte) {
    ProjectHeader header;
    SubtitleList rows;
    ASSERT_EQ(parseProject(kExample, 0, header, rows), ProjectLoadStatus::Ok);
    EXPECT_EQ(header.width, 720);
    EXPECT_EQ(header.height, 576);
    EXPECT_EQ(header.profile, 1);
    EXPECT_EQ(header.preset, 0);
    ASSERT_EQ(rows.lineCount(), 4);
    EXPECT_EQ(rows.line(2).text, "");
    EXPECT_EQ(rows.line(3).text, "friend");
    EXPECT_EQ(formatProject(rows, header, exampleDate(), ".KVL8", "v1.0 - 06 Mar 2017 "), kExample);
}

TEST(ProjectFile, ReadsLfAndCrLineEndingsAndShadesSets) {
    std::string lf = kExample, cr = kExample;
    for (std::string* s : {&lf, &cr}) {
        std::string out;
        for (size_t i = 0; i < s->size(); ++i) {
            if ((*s)[i] == '\r') continue;
            out += (*s)[i] == '\n' ? (s == &lf ? "\n" : "\r") : std::string(1, (*s)[i]);
        }
        *s = out;
    }
    for (const std::string& content : {lf, cr}) {
        ProjectHeader header;
        SubtitleList rows;
        ASSERT_EQ(parseProject(content, 0, header, rows), ProjectLoadStatus::Ok);
        ASSERT_EQ(rows.lineCount(), 4);
        EXPECT_EQ(rows.shade(0), 230);
        EXPECT_EQ(rows.shade(1), 230);
        EXPECT_EQ(rows.shade(2), 210);
        EXPECT_EQ(rows.shade(3), 210);
    }
}

TEST(ProjectFile, MixedLineEndsSpacesAndTheEndOfTheFile) {
    const std::string head = std::string(kExample).substr(0, std::string(kExample).find("A0000"));
    // CR LF, LF and a lone CR in one file; no break after the last row.
    {
        ProjectHeader header;
        SubtitleList rows;
        ASSERT_EQ(parseProject(head + "  A0000|a|x>y|1+2|5  \nB0000|b|||\rA0002| c |||\r\nB0002|d|||6", 0, header, rows),
                  ProjectLoadStatus::Ok);
        ASSERT_EQ(rows.lineCount(), 4);
        EXPECT_EQ(rows.line(0), (SubtitleLine{"A0000", "a", "x>y", "1+2", "5"}));
        EXPECT_EQ(rows.line(1).id, "B0000");
        EXPECT_EQ(rows.line(2).text, " c ");  // only the row's ends are trimmed
        EXPECT_EQ(rows.line(3), (SubtitleLine{"B0002", "d", "", "", "6"}));
    }
    // A file that ends with its header still gets one (empty) row, with or
    // without the last line break; an empty line is a row of its own.
    for (const std::string& content : {head, head.substr(0, head.size() - 2), head + "\r\n"}) {
        ProjectHeader header;
        SubtitleList rows;
        ASSERT_EQ(parseProject(content, 9, header, rows), ProjectLoadStatus::Ok);
        ASSERT_EQ(rows.lineCount(), 1);
        EXPECT_EQ(rows.line(0), (SubtitleLine{"", "", "", "", "9"}));
    }
    // The fifth field ends at the next bar.
    ProjectHeader header;
    SubtitleList rows;
    ASSERT_EQ(parseProject(head + "A0000|a|||7 |8\r\n", 0, header, rows), ProjectLoadStatus::Ok);
    EXPECT_EQ(rows.line(0).y, "7 ");
}

TEST(ProjectFile, BadHeadersLoadNothing) {
    std::string base = kExample;
    auto variant = [&](const std::string& from, const std::string& to) {
        std::string s = base;
        s.replace(s.find(from), from.size(), to);
        return s;
    };
    for (const std::string& bad : {variant("##-KVL8 Project:", "##-KVL8 project:"),
                                   variant("Width: 720", "Width: 0"), variant("Height: 576", "Height: -5"),
                                   variant("##-;", "##-:"), std::string(), std::string("garbage\0\xff", 9)}) {
        ProjectHeader header;
        SubtitleList rows;
        EXPECT_EQ(parseProject(bad, 0, header, rows), ProjectLoadStatus::BadHeader);
        EXPECT_EQ(rows.lineCount(), 0);
    }
}

TEST(ProjectFile, EmptyYTakesThePreviousLoadsYAndExtraFieldsAreIgnored) {
    std::string s = std::string(kExample).substr(0, std::string(kExample).find("A0000"));
    s += "A0000|a|||\r\nB0000|b|t|1+2|77|extra\r\n";
    ProjectHeader header;
    SubtitleList rows;
    ASSERT_EQ(parseProject(s, 333, header, rows), ProjectLoadStatus::Ok);
    EXPECT_EQ(rows.line(0).y, "333");
    EXPECT_EQ(rows.line(1).y, "77");
    EXPECT_EQ(rows.line(1).offOn, "1+2");
}

TEST(ProjectFile, HeaderCountsAndPipeInText) {
    SubtitleList rows;
    rows.clearList();
    for (int i = 0; i < 7; ++i) rows.appendLine({rowId(i), i == 0 ? "one two" : "", "", "", ""});
    std::string out = formatProject(rows, ProjectHeader{720, 576, 1, 0, 5}, exampleDate(), ".KVL8", "v ");
    EXPECT_NE(out.find("##-Number of lines/pages: 7 / 3\r\n"), std::string::npos);
    EXPECT_NE(out.find("##-Word count: 2\r\n"), std::string::npos);
    EXPECT_NE(out.find("##-User Timed Session: 5\r\n"), std::string::npos);
    EXPECT_NE(out.find("A0000|one two|||\r\n"), std::string::npos);
}

TEST(ProjectFile, DateFormat) {
    std::tm t = exampleDate();
    t.tm_mon = 11;
    t.tm_mday = 1;
    t.tm_hour = 0;
    EXPECT_EQ(formatProjectDate(t), "01 Dec 2017 @ 00:05:09");
}

// Text that fits Windows-1252 keeps the single-byte file older readers
// know, byte for byte; text beyond it makes the UTF-8 form, whose first line
// the single-byte reader's test ("field 1 by ':' is ##-KVL8 Project") refuses.
TEST(ProjectFile, SingleByteWhenItFitsUtf8FormOtherwise) {
    std::string single = kExample;
    single.replace(single.find("Hello"), 5, "Caf\xE9 \x80 \x9F");  // é, €, Ÿ in Windows-1252
    single.replace(single.find("friend"), 6, "na\xEFve \xA6");     // ï and the broken bar for '|'
    single.replace(single.find("Word count: 3"), 13, "Word count: 6");
    ProjectHeader header;
    SubtitleList rows;
    ASSERT_EQ(parseProject(single, 0, header, rows), ProjectLoadStatus::Ok);
    EXPECT_FALSE(header.utf8);
    EXPECT_EQ(rows.line(0).text, "Caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8");
    EXPECT_EQ(rows.line(3).text, "na\xC3\xAFve \xC2\xA6");
    EXPECT_EQ(formatProject(rows, header, exampleDate(), ".KVL8", "v1.0 - 06 Mar 2017 "), single);

    struct Case {
        const char* what;
        std::string text;
    } cases[] = {
        {"Polish", "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85"},
        {"Russian", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        {"Arabic", "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7"},
        {"Japanese", "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF"},
        {"4-byte characters", "\xF0\x9F\x98\x80\xF0\x9D\x84\x9E"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rows.setLineColumn(0, Column::Text, c.text);
        const std::string file = formatProject(rows, header, exampleDate(), ".KVL8", "v1.0 - 06 Mar 2017 ");
        EXPECT_EQ(file.substr(0, file.find("\r\n")), "##-KVL8 Project (UTF-8): v1.0 - 06 Mar 2017 ");
        EXPECT_NE(text::field(file.substr(0, file.find("\r\n")), ':', 1), projectMagic(".KVL8"));
        EXPECT_NE(file.find("A0000|" + c.text + "|"), std::string::npos);
        // The Windows-1252 text of the other rows is UTF-8 in this form.
        EXPECT_NE(file.find("na\xC3\xAFve \xC2\xA6"), std::string::npos);
        ProjectHeader back;
        SubtitleList again;
        ASSERT_EQ(parseProject(file, 0, back, again), ProjectLoadStatus::Ok);
        EXPECT_TRUE(back.utf8);
        EXPECT_EQ(again.line(0).text, c.text);
        EXPECT_EQ(formatProject(again, back, exampleDate(), ".KVL8", "v1.0 - 06 Mar 2017 "), file);
    }
    // Bytes of a UTF-8 file that are not UTF-8 read as U+FFFD.
    std::string broken = kExample;
    broken.replace(0, std::string("##-KVL8 Project").size(), "##-KVL8 Project (UTF-8)");
    broken.replace(broken.find("Hello"), 5, "ab\xFF");
    ASSERT_EQ(parseProject(broken, 0, header, rows), ProjectLoadStatus::Ok);
    EXPECT_EQ(rows.line(0).text, "ab\xEF\xBF\xBD");
}

// Every project file the tests hold, odd rows included, saves its rows as
// they were read: the rows keep their times as numbers, and a column that is
// not in the program's own form is written back as it stood.
TEST(ProjectFile, EveryStoredProjectSavesItsRowsAsRead) {
    int checked = 0;
    for (const char* folder : {"fuzz/corpus/project", "data/bad/project", "data"}) {
        const std::filesystem::path dir = std::filesystem::path(KALVERO_SOURCE_DIR) / "tests" / folder;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
            if (entry.path().extension() != ".KVL8" && entry.path().extension() != ".kvl8") continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::stringstream content;
            content << in.rdbuf();
            ProjectHeader header;
            SubtitleList rows;
            if (parseProject(content.str(), 0, header, rows) != ProjectLoadStatus::Ok) continue;
            SCOPED_TRACE(entry.path().string());
            const std::string saved = formatProject(rows, header, exampleDate(), ".KVL8", "v1.0");
            // The rows of the saved file, as the reader sees them, and as text.
            ProjectHeader again;
            SubtitleList back;
            ASSERT_EQ(parseProject(saved, 0, again, back), ProjectLoadStatus::Ok);
            ASSERT_EQ(back.lineCount(), rows.lineCount());
            for (int i = 0; i < rows.lineCount(); ++i) {
                EXPECT_EQ(back.line(i), rows.line(i));
                EXPECT_EQ(back.column(i, Column::Timing), rows.column(i, Column::Timing));
            }
            // Each row's timing column is written with the bytes it was read with.
            const auto timingFields = [](const std::string& file) {
                std::vector<std::string> fields;
                text::LineWalk walk(file);
                std::string_view line;
                bool rowsBegun = false;
                while (walk.next(line)) {
                    if (rowsBegun) fields.push_back(text::field(line, '|', 3));
                    rowsBegun = rowsBegun || line == "##-;";
                }
                return fields;
            };
            // (A file of no rows reads as one empty set.)
            const std::vector<std::string> read = timingFields(content.str());
            if (!read.empty()) EXPECT_EQ(timingFields(saved), read);
            ++checked;
        }
    }
    EXPECT_GE(checked, 5);
}
