// The SubRip reader over whole files: well-formed files give the rows they
// always gave, and files written the way real films' subtitles are lose no
// cue and no text line.
//
// The .rows files beside the well-formed files are the expected rows at 25
// and 29.97 fps; rewrite them (only on purpose) with
//   KALVERO_UPDATE_GOLDEN=1 build/tests/kalvero_tests --gtest_filter='SrtReader.WellFormed*'
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iconv.h>
#include <map>
#include <regex>
#include <sstream>

#include "base/Cp1252.h"
#include "project/ProjectFile.h"
#include "project/SrtImport.h"
#include "project/SubtitleList.h"
#include "base/Text.h"

namespace fs = std::filesystem;

namespace {
const fs::path kSrtData = fs::path(KALVERO_TEST_DATA) / "srt";

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<fs::path> srtFilesIn(const fs::path& folder) {
    std::vector<fs::path> out;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file() && e.path().extension() == ".srt") out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

std::string dumpRows(const SubtitleList& l) {
    std::string out;
    for (int i = 0; i < l.lineCount(); ++i) {
        const SubtitleLine& r = l.line(i);
        out += r.id + "|" + r.text + "|" + r.timing.text() + "|" + r.y + "\n";
    }
    return out;
}

SubtitleList importFile(const fs::path& p, float fps, SrtImportResult* result = nullptr) {
    SubtitleList l;
    l.clearList();
    SrtImportResult r = importSrtText(readAll(p), fps, 430, l);
    if (result) *result = r;
    return l;
}
}  // namespace

TEST(SrtReader, WellFormedFilesGiveTheRowsTheyAlwaysGave) {
    auto files = srtFilesIn(kSrtData / "wellformed");
    ASSERT_GE(files.size(), 4u);
    for (const fs::path& f : files) {
        std::string got = "25\n" + dumpRows(importFile(f, 25.0f)) + "29.97\n" + dumpRows(importFile(f, 29.97f));
        fs::path golden = f;
        golden.replace_extension(".rows");
        if (std::getenv("KALVERO_UPDATE_GOLDEN")) {
            std::ofstream(golden, std::ios::binary) << got;
            continue;
        }
        EXPECT_EQ(got, readAll(golden)) << f;
    }
}

namespace {
// The file as UTF-8 text, converted by iconv (not by the reader): from
// UTF-16 or UTF-32 by their marks, as it is when it is UTF-8, else from
// Windows-1252.
std::string convert(const std::string& bytes, const char* from) {
    iconv_t cd = iconv_open("UTF-8", from);
    EXPECT_NE(cd, iconv_t(-1));
    std::string body = bytes;
    std::string out(body.size() * 4 + 16, '\0');
    char* in = body.data();
    size_t inLeft = body.size();
    char* o = out.data();
    size_t outLeft = out.size();
    size_t rc = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (rc == size_t(-1)) return {};
    out.resize(out.size() - outLeft);
    return out;
}
std::string asUtf8(const std::string& bytes) {
    const char* from = "UTF-8";
    if (bytes.compare(0, 4, std::string("\xFF\xFE\0\0", 4)) == 0 || bytes.compare(0, 4, std::string("\0\0\xFE\xFF", 4)) == 0)
        from = "UTF-32";
    else if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0)
        from = "UTF-16";
    std::string out = convert(bytes, from);
    if (out.empty() && !bytes.empty()) out = convert(bytes, "WINDOWS-1252");
    if (out.compare(0, 3, "\xEF\xBB\xBF") == 0) out.erase(0, 3);
    return out;
}

// What a careful reader sees in a SubRip file, worked out without the
// program's reader: the number of time lines, and the text lines (every line
// that is neither blank, nor a time line, nor a number right before one).
struct Expected {
    int cues = 0;
    std::vector<std::string> textLines;
};

Expected expectedFrom(const std::string& single) {
    static const std::regex time(R"(^\s*\d{1,2}:\d{1,2}:\d{1,2}([,.]\d+)?\s*-+\s*>\s*\d{1,2}:\d{1,2}:\d{1,2}([,.]\d+)?(\s.*)?$)");
    static const std::regex number(R"(^\s*\d+\s*$)");
    std::vector<std::string> lines;
    std::string current;
    for (size_t i = 0; i < single.size(); ++i) {
        if (single[i] == '\r' || single[i] == '\n') {
            lines.push_back(current);
            current.clear();
            if (single[i] == '\r' && i + 1 < single.size() && single[i + 1] == '\n') ++i;
        } else {
            current += single[i];
        }
    }
    if (!current.empty()) lines.push_back(current);
    Expected e;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (std::regex_match(lines[i], time)) {
            ++e.cues;
            continue;
        }
        if (lines[i].find_first_not_of(" \t") == std::string::npos) continue;
        if (std::regex_match(lines[i], number) && i + 1 < lines.size() && std::regex_match(lines[i + 1], time))
            continue;
        e.textLines.push_back(stripSrtFormatting(lines[i]));
    }
    return e;
}
}  // namespace

TEST(SrtReader, FilmsLikeFilesLoseNoCueAndNoTextLine) {
    // How many cues each file holds, counted by hand.
    const std::map<std::string, int> cues = {
        {"empty_cue.srt", 4},         {"even_numbers.srt", 3},     {"first_cue_empty.srt", 3},
        {"loose_time_lines.srt", 4},  {"missing_blank_line.srt", 6}, {"no_numbers.srt", 3},
        {"numbering_gaps.srt", 9},    {"repeated_number.srt", 6},  {"starts_at_zero.srt", 3},
        {"three_lines_and_more.srt", 3}, {"utf32be_bom.srt", 2},   {"utf32le_bom.srt", 2},
        {"unreadable_time_line.srt", 2},
    };
    auto files = srtFilesIn(kSrtData / "films");
    ASSERT_EQ(files.size(), cues.size());
    for (const fs::path& f : files) {
        SCOPED_TRACE(f.filename().string());
        Expected e = expectedFrom(asUtf8(readAll(f)));
        SrtImportResult r;
        SubtitleList l = importFile(f, 25.0f, &r);
        EXPECT_EQ(r.cues, cues.at(f.filename().string()));
        EXPECT_EQ(l.lineCount(), 2 * r.cues);
        EXPECT_EQ(r.linesOutsideCues.count, 0);
        if (f.filename() == "unreadable_time_line.srt") {
            // The cue under the bad time line is reported, not imported.
            EXPECT_EQ(r.unreadableTimeLines.count, 1);
            EXPECT_EQ(r.unreadableTimeLines.first, std::vector<int>{6});
            continue;
        }
        EXPECT_EQ(r.cues, e.cues);
        EXPECT_EQ(r.unreadableTimeLines.count, 0);
        // Every text line shows up, in order, in line A or line B.
        std::string all;
        for (int i = 0; i < l.lineCount(); ++i) all += l.line(i).text + "\n";
        size_t at = 0;
        for (const std::string& t : e.textLines) {
            size_t found = all.find(t, at);
            EXPECT_NE(found, std::string::npos) << "lost: " << t;
            if (found != std::string::npos) at = found + t.size();
        }
    }
}

TEST(SrtReader, IndexLinesAreNeverTextAndExtraLinesJoinLineB) {
    SubtitleList l;
    l.clearList();
    // Cue 1 lacks its blank line; cue "7" has three lines, the last one a
    // number; cue 0 and the repeated 7 are cues like any other.
    SrtImportResult r = importSrtText(
        "0\n00:00:01,000 --> 00:00:02,000\nFirst\n7\n00:00:03,000 --> 00:00:04,000\nOne\nTwo\n1999\n\n"
        "7\n00:00:05,000 --> 00:00:06,000\n\n00:00:07,000 --> 00:00:08,000\n<i>a</i>\n\nb\nc\n",
        25.0f, 430, l);
    EXPECT_EQ(r.cues, 4);
    ASSERT_EQ(l.lineCount(), 8);
    EXPECT_EQ(l.line(1).text, "First");
    EXPECT_EQ(l.line(2).text, "One");
    EXPECT_EQ(l.line(3).text, "Two 1999");
    EXPECT_EQ(l.line(4).text, "");
    EXPECT_EQ(l.line(5).text, "");
    EXPECT_EQ(l.line(5).timing, "00:00:05:00>00:00:06:00");
    EXPECT_EQ(l.line(6).id, "A0006");
    EXPECT_EQ(l.line(7).text, "<i>a</i>");
    // "b" and "c" follow a blank line with no time line before them.
    EXPECT_EQ(r.linesOutsideCues.count, 2);
    EXPECT_EQ(r.linesOutsideCues.first, (std::vector<int>{16, 17}));
}

TEST(SrtReader, TimeLineForms) {
    auto timing = [](const std::string& timeLine) {
        SubtitleList l;
        l.clearList();
        importSrtText(timeLine + "\nx\n", 25.0f, 430, l);
        return l.lineCount() == 2 ? l.line(0).timing : std::string("unread");
    };
    EXPECT_EQ(timing("00:00:01,000 --> 00:00:02,500"), "00:00:01:00>00:00:02:12");
    EXPECT_EQ(timing("00:00:01.000-->00:00:02.500"), "00:00:01:00>00:00:02:12");
    EXPECT_EQ(timing("0:0:1,5 -> 0:0:2,04"), "00:00:01:12>00:00:02:01");
    EXPECT_EQ(timing("\t01:02:03,040 - >  01:02:04  X1:1 X2:2"), "01:02:03:01>01:02:04:00");
    EXPECT_EQ(timing("00:00:01,000 --> 00:00:02,500x"), "unread");
    EXPECT_EQ(timing("00:00:01,000 --> -1:00:02,500"), "unread");
    EXPECT_EQ(timing("100:00:01,000 --> 00:00:02,500"), "unread");
    EXPECT_EQ(timing("00:00:01, --> 00:00:02,500"), "unread");
}

TEST(SrtReader, UnreadableTimeLinesAreReportedWithTheirLineNumbers) {
    std::string srt = "1\n00:00:01,000 --> 00:00:02,000\nkept\n\n";
    for (int i = 0; i < 12; ++i) srt += "2\n00:00:aa,000 --> 00:00:03,000\nlost\n\n";
    SubtitleList l;
    l.clearList();
    SrtImportResult r = importSrtText(srt, 25.0f, 430, l);
    EXPECT_EQ(r.cues, 1);
    EXPECT_EQ(r.unreadableTimeLines.count, 12);
    EXPECT_EQ(r.linesOutsideCues.count, 0);
    EXPECT_EQ(describeSkippedLines(r),
              "12 time lines could not be read; their cues were left out (lines 6, 10, 14, 18, 22, 26, 30, 34, "
              "38, 42, ...)");
    r = SrtImportResult{};
    r.unreadableTimeLines.add(3);
    r.linesOutsideCues.add(9);
    EXPECT_EQ(describeSkippedLines(r),
              "1 time line could not be read; its cue was left out (line 3)\n"
              "1 line belongs to no cue and was left out (line 9)");
    // An arrow inside a cue's text is text.
    l.clearList();
    r = importSrtText("00:00:01,000 --> 00:00:02,000\nLeft\n--> right\n", 25.0f, 430, l);
    EXPECT_EQ(describeSkippedLines(r), "");
    ASSERT_EQ(l.lineCount(), 2);
    EXPECT_EQ(l.line(1).text, "--> right");
}

TEST(SrtReader, EverySubRipFileOfTheTestsSurvivesSaveAndLoad) {
    std::vector<fs::path> all = srtFilesIn(kSrtData);
    for (const char* more : {"fuzz/corpus/srt", "data/bad/srt"}) {
        auto extra = srtFilesIn(fs::path(KALVERO_SOURCE_DIR) / "tests" / more);
        all.insert(all.end(), extra.begin(), extra.end());
    }
    ASSERT_GE(all.size(), 25u);
    for (const fs::path& f : all) {
        SCOPED_TRACE(f.string());
        SubtitleList imported = importFile(f, 29.97f);
        if (imported.lineCount() == 0) continue;  // nothing to save
        std::tm written{};
        ProjectHeader header{720, 480, 2, 0, 0};
        SubtitleList back;
        ASSERT_EQ(parseProject(formatProject(imported, header, written, ".KVL8", "v1.0"), 430, header, back),
                  ProjectLoadStatus::Ok);
        EXPECT_EQ(dumpRows(back), dumpRows(imported));
    }
}
