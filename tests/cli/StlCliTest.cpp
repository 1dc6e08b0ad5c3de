// EBU subtitle lists through kalvero-cli: every file the export writes is
// read by tests/export/stl_check.py, a reader written from the published
// block layout that decodes the text with the C library's ISO 6937
// converter; then the file goes back through import-stl.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "TestSupport.h"
#include "base/BroadcastText.h"
#include "base/Text.h"
#include "cli/CliFixture.h"
#include "io/Files.h"
#include "project/ProjectFile.h"
#include "project/SubtitleSet.h"

namespace fs = std::filesystem;

namespace {

using StlRun = CliRun;

// The reader's view of a file.
struct Read {
    std::map<std::string, std::string> gsi;
    std::string spare;
    struct Sub {
        int sn = 0, vp = 0, jc = 0, blocks = 0;
        std::string in, out;
        std::vector<std::string> codes, rows;
    };
    std::vector<Sub> subs;
};

// Sets of the project below: Windows-1252 text, a euro sign the Latin
// table lacks, a broken bar that stands for '|', a one-line set, a set long
// enough for extension blocks, and an untimed set.
const char* const kLongA = "\xC9t\xE9 \xE0 l'\xEE" "le: d\xE9j\xE0 vu, na\xEFvet\xE9, fa\xE7" "ade, r\xF4le, \xFC"
                           "ber, se\xF1or, \xC5ngstr\xF6m";
const char* const kLongB = "\xC0 bient\xF4t! \xC7" "a co\xFBte 5 \xA3, \xB0" "C, \xBD, \xBF\xA1, \xAB\xBB, \xA7 2, "
                           "\xA9 \xAE, \xDF\xE6\xF8\xE5";

std::string projectText(int profile) {
    return "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
           "##-Profile: " + std::to_string(profile) +
           "\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
           "##-Number of lines/pages: 8 / 4\r\n##-Word count: 4\r\n##-User Timed Session: 0\r\n##-;\r\n"
           "A0000|Caf\xE9 \xE0 la cr\xE8me|00:00:01:00>00:00:04:12||356\r\n"
           "B0000|Na\xEFve \xA6 50\x80|00:00:01:00>00:00:04:12||356\r\n"
           "A0002||00:00:05:00>00:00:07:00||300\r\n"
           "B0002|Zo\xEB|00:00:05:00>00:00:07:00||300\r\n"
           "A0004|" + std::string(kLongA) + "|00:01:00:10>00:01:03:00||100\r\n"
           "B0004|" + std::string(kLongB) + "|00:01:00:10>00:01:03:00||100\r\n"
           "A0006|Untimed||||430\r\n"
           "B0006|set||||430\r\n";
}

std::string utf8(const std::string& cp1252Text) {
    std::string s;
    for (char c : cp1252Text) {
        const uint32_t cp = broadcasttext::cp1252CodePoint(static_cast<unsigned char>(c));
        if (cp < 0x80) s += char(cp);
        else if (cp < 0x800) s += {char(0xC0 | cp >> 6), char(0x80 | (cp & 0x3F))};
        else s += {char(0xE0 | cp >> 12), char(0x80 | ((cp >> 6) & 0x3F)), char(0x80 | (cp & 0x3F))};
    }
    return s;
}

class StlCliTest : public CliFolderTest {
protected:

    Read check(const std::string& stl) {
        const std::string report = path("stl.txt");
        const std::string cmd = "python3 '" + std::string(KALVERO_SOURCE_DIR) + "/tests/export/stl_check.py' '" + stl +
                                "' > '" + report + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        std::string text;
        EXPECT_TRUE(files::readFile(report, text));
        Read r;
        for (const std::string& line : text::splitLines(text)) {
            if (line.rfind("gsi ", 0) == 0) {
                const size_t eq = line.find('=');
                r.gsi[line.substr(4, eq - 4)] = line.substr(eq + 1);
            } else if (line.rfind("spare ", 0) == 0) {
                r.spare = line.substr(6);
            } else if (line.rfind("sub ", 0) == 0) {
                Read::Sub s;
                std::istringstream in(line.substr(4));
                in >> s.sn >> s.in >> s.out >> s.vp >> s.jc >> s.blocks;
                r.subs.push_back(s);
            } else if (line.rfind("row ", 0) == 0 && !r.subs.empty()) {
                const size_t bar = line.find('|');
                r.subs.back().codes.push_back(line.substr(4, bar - 4));
                r.subs.back().rows.push_back(line.substr(bar + 1));
            }
        }
        return r;
    }

};

std::string field8(const std::string& tc) {  // "10:00:00:00" as "10000000"
    return tc.substr(0, 2) + tc.substr(3, 2) + tc.substr(6, 2) + tc.substr(9, 2);
}

// HH:MM:SS kept, frames scaled from `from` to `to` a second.
std::string scaled(const std::string& tc, int from, int to, int addHours = 0) {
    const int ff = int(std::lround(std::stoi(tc.substr(9, 2)) * double(to) / from));
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%s:%02d", std::stoi(tc.substr(0, 2)) + addHours, tc.substr(3, 5).c_str(),
                  std::min(ff, to - 1));
    return buf;
}

}  // namespace

TEST_F(StlCliTest, ExportIsReadByTheIndependentReaderAndImportsBack) {
    struct Case {
        int profile;
        const char* rate;  // DFC
        int base, fileBase;
        bool teletext;
        const char* start;
        const char* language;
    };
    const Case cases[] = {
        {1, "STL25.01", 25, 25, true, nullptr, nullptr},
        {1, "STL25.01", 25, 25, false, "10:00:00:00", "de"},
        {2, "STL30.01", 30, 30, true, "01:00:00:00", "en"},
        {2, "STL30.01", 30, 30, false, nullptr, nullptr},
        {9, "STL30.01", 24, 30, true, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.profile) + (c.teletext ? " teletext" : " open"));
        const std::string project = path("demo.KVL8");
        ASSERT_TRUE(files::writeFileAtomic(project, projectText(c.profile)));
        std::vector<std::string> args = {"export", "stl", project, c.teletext ? "--teletext" : "--open"};
        if (c.start) args.insert(args.end(), {"--start", c.start});
        if (c.language) args.insert(args.end(), {"--language", c.language});
        const StlRun r = run(args);
        ASSERT_EQ(r.code, 0) << r.err;
        const std::string stl = path("STL_Output/demo.stl");
        EXPECT_EQ(r.out, "exported 3 subtitles into " + stl + "\n");
        EXPECT_NE(r.err.find(" (no ON or OFF time code)."), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("note: 1 character the EBU character table lacks became the nearest it has: \xE2\x82\xAC"),
                  std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("frames are scaled") != std::string::npos, c.base != c.fileBase) << r.err;

        const Read f = check(stl);
        ASSERT_EQ(f.subs.size(), 3u);
        EXPECT_EQ(f.gsi.at("CPN"), "850");
        EXPECT_EQ(f.gsi.at("DFC"), c.rate);
        EXPECT_EQ(f.gsi.at("DSC"), c.teletext ? "1" : "0");
        EXPECT_EQ(f.gsi.at("CCT"), "00");
        EXPECT_EQ(f.gsi.at("LC"), !c.language ? "00" : std::string(c.language) == "de" ? "08" : "09");
        EXPECT_EQ(f.gsi.at("OPT"), "demo" + std::string(28, ' '));
        EXPECT_EQ(f.gsi.at("CD"), f.gsi.at("RD"));
        EXPECT_EQ(f.gsi.at("RN"), "00");
        const int blocks = f.subs[0].blocks + f.subs[1].blocks + f.subs[2].blocks;
        EXPECT_EQ(f.gsi.at("TNB"), text::padded(blocks, 5));
        EXPECT_EQ(f.gsi.at("TNS"), "00003");
        EXPECT_EQ(f.gsi.at("TNG"), "001");
        EXPECT_EQ(f.gsi.at("MNR"), "23");
        size_t longest = 0;  // in characters
        for (const Read::Sub& sub : f.subs)
            for (const std::string& row : sub.rows)
                longest = std::max<size_t>(longest, size_t(std::count_if(row.begin(), row.end(), [](char ch) {
                                                        return (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
                                                    })));
        EXPECT_EQ(f.gsi.at("MNC"), c.teletext ? "40" : std::to_string(longest));
        EXPECT_EQ(f.gsi.at("TCS"), "1");
        EXPECT_EQ(f.gsi.at("TCP"), field8(c.start ? c.start : "00:00:00:00"));
        EXPECT_EQ(f.gsi.at("TCF"), field8(f.subs[0].in));
        EXPECT_EQ(f.gsi.at("TND"), "1");
        EXPECT_EQ(f.gsi.at("DSN"), "1");
        for (const char* blank : {"OET", "TPT", "TET", "TN", "TCD", "SLR", "PUB", "EN", "ECD"})
            EXPECT_EQ(f.gsi.at(blank), std::string(f.gsi.at(blank).size(), ' ')) << blank;
        EXPECT_EQ(f.spare, "blank");

        const int hours = c.start ? std::stoi(c.start) : 0;
        const char* const times[3][2] = {{"00:00:01:00", "00:00:04:12"}, {"00:00:05:00", "00:00:07:00"},
                                         {"00:01:00:10", "00:01:03:00"}};
        const std::vector<std::vector<std::string>> texts = {
            {"Caf\xC3\xA9 \xC3\xA0 la cr\xC3\xA8me", "Na\xC3\xAFve | 50EUR"}, {"Zo\xC3\xAB"}, {utf8(kLongA), utf8(kLongB)}};
        for (int k = 0; k < 3; ++k) {
            const Read::Sub& s = f.subs[size_t(k)];
            EXPECT_EQ(s.sn, k);
            EXPECT_EQ(s.in, scaled(times[k][0], c.base, c.fileBase, hours));
            EXPECT_EQ(s.out, scaled(times[k][1], c.base, c.fileBase, hours));
            EXPECT_EQ(s.jc, 2);  // the preset centres its text
            EXPECT_EQ(s.rows, texts[size_t(k)]);
            for (const std::string& codes : s.codes) EXPECT_EQ(codes, c.teletext ? "0d070b0b0a0a" : "-");
        }
        if (c.profile == 1) {
            // Rows of a 576-line picture are 23 lines high: Y 356 is row 15,
            // Y 100 row 4; the one-line set sits a strip below its Y 300 (row 13).
            EXPECT_EQ(f.subs[0].vp, 15);
            EXPECT_GE(f.subs[1].vp, 14);
            EXPECT_LE(f.subs[1].vp, 15);
            EXPECT_EQ(f.subs[2].vp, 4);
        }
        for (const Read::Sub& sub : f.subs) EXPECT_LE(sub.vp + (c.teletext ? 2 * int(sub.rows.size()) - 1 : 0), 23);
        EXPECT_EQ(f.subs[0].blocks, 1);
        EXPECT_EQ(f.subs[2].blocks, 2);  // more than 112 bytes of text

        // Back into a project of the same profile: the same sets.
        const std::string back = path("back.KVL8");
        const StlRun imported = run({"import-stl", stl, "-o", back, "--profile", std::to_string(c.profile)});
        ASSERT_EQ(imported.code, 0) << imported.err;
        EXPECT_EQ(imported.out, "imported 3 subtitles into " + back + "\n");
        const std::vector<SubtitleSet> original = readProject(project), sets = readProject(back);
        ASSERT_EQ(sets.size(), 3u);
        for (size_t k = 0; k < 3; ++k) {
            SCOPED_TRACE(k);
            EXPECT_EQ(sets[k].lineA, original[k].lineA);
            EXPECT_EQ(sets[k].lineB, k == 0 ? std::string("Na\xC3\xAFve \xC2\xA6 50EUR") : original[k].lineB);
            EXPECT_EQ(sets[k].on, original[k].on);
            EXPECT_EQ(sets[k].off, original[k].off);
        }
        // ... which give the same file again, positions included.
        const StlRun again = run({"export", "stl", back, c.teletext ? "--teletext" : "--open"});
        ASSERT_EQ(again.code, 0) << again.err;
        const Read g = check(path("STL_Output/back.stl"));
        ASSERT_EQ(g.subs.size(), 3u);
        for (size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(g.subs[k].vp, f.subs[k].vp) << k;
            EXPECT_EQ(g.subs[k].rows, f.subs[k].rows) << k;
            if (!c.start) {
                EXPECT_EQ(g.subs[k].in + g.subs[k].out, f.subs[k].in + f.subs[k].out) << k;
            }
        }
        fs::remove_all(dir / "STL_Output");
    }
}

// Italics: open subtitles carry the codes 80h and 81h around the italic
// text (read by the independent reader), which import as the tags again;
// teletext has no italics and writes the text upright.
TEST_F(StlCliTest, ItalicsAreOpenSubtitleCodesAndImportBack) {
    const std::string project = path("it.KVL8");
    std::string text = projectText(1);
    text = text::replaceAll(text, "A0000|Caf\xE9 \xE0 la cr\xE8me|", "A0000|<i>Caf\xE9</i> \xE0 <i>la cr\xE8me|");
    ASSERT_TRUE(files::writeFileAtomic(project, text));
    for (const bool teletext : {false, true}) {
        SCOPED_TRACE(teletext ? "teletext" : "open");
        ASSERT_EQ(run({"export", "stl", project, teletext ? "--teletext" : "--open"}).code, 0);
        const Read f = check(path("STL_Output/it.stl"));
        ASSERT_EQ(f.subs.size(), 3u);
        ASSERT_EQ(f.subs[0].rows.size(), 2u);
        EXPECT_EQ(f.subs[0].rows[0], "Caf\xC3\xA9 \xC3\xA0 la cr\xC3\xA8me");
        if (!teletext) {
            EXPECT_EQ(f.subs[0].codes[0], "80818081");
            const StlRun imported = run({"import-stl", path("STL_Output/it.stl"), "-o", path("back.KVL8"), "--profile", "1"});
            ASSERT_EQ(imported.code, 0) << imported.err;
            EXPECT_EQ(readProject(path("back.KVL8"))[0].lineA, "<i>Caf\xC3\xA9</i> \xC3\xA0 <i>la cr\xC3\xA8me</i>");
        } else {
            EXPECT_EQ(f.subs[0].codes[0].find("80"), std::string::npos) << f.subs[0].codes[0];
        }
        fs::remove_all(dir / "STL_Output");
    }
}

TEST_F(StlCliTest, BadListsAreRefusedNamingTheBlockAndWriteNothing) {
    const std::string project = path("demo.KVL8");
    ASSERT_TRUE(files::writeFileAtomic(project, projectText(1)));
    ASSERT_EQ(run({"export", "stl", project}).code, 0);
    std::string good;
    ASSERT_TRUE(files::readFile(path("STL_Output/demo.stl"), good));
    ASSERT_EQ(good.size(), 1024u + 4 * 128);

    auto with = [&](size_t at, const std::string& bytes) { return std::string(good).replace(at, bytes.size(), bytes); };
    struct Case {
        const char* what;
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"short GSI", good.substr(0, 1000), "is 1000 bytes long; an EBU subtitle list starts with a GSI block of 1024"},
        {"TNB past the end", with(238, "00009"), "GSI block: the list names 9 TTI blocks (TNB), but the file holds only 4."},
        {"TNB no number", with(238, "0x004"), "GSI block: the number of TTI blocks (TNB) \"0x004\" is not a number."},
        {"cut block", good.substr(0, good.size() - 28), "TTI block 4 is cut short: it has 100 bytes of 128."},
        {"unknown table", with(12, "07"), "GSI block: the character code table \"07\" is unknown"},
        {"cyrillic", with(12, "01"), "character code table 01 (Latin/Cyrillic) is not supported"},
        {"code page", with(0, "999"), "GSI block: the code page number \"999\" is none of 437, 850, 860, 863 and 865"},
        {"rate", with(3, "STL24.01"), "GSI block: the disk format code \"STL24.01\" is neither STL25.01 nor STL30.01."},
        {"open extension", with(1024 + 3 * 128 + 3, std::string(1, '\x01')),
         "TTI block 4: subtitle 2 ends without its last extension block."},
        {"bad time", with(1024 + 128 + 8, std::string(1, char(40))),
         "TTI block 2 (subtitle 1): the time code in 00:00:05:40 is not a time code at 25 frames a second."},
        {"no text", good.substr(0, 1024).replace(238, 5, "00000"), "The list holds no subtitle with text."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string in = path("bad.stl"), out = path("bad.KVL8");
        ASSERT_TRUE(files::writeFileAtomic(in, c.bytes));
        const StlRun r = run({"import-stl", in, "-o", out, "--profile", "1"});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Nothing was imported."), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(out));
    }

    // The other code pages of the list only hold its titles: the subtitles are read.
    const std::string nordic = path("nordic.stl");
    ASSERT_TRUE(files::writeFileAtomic(nordic, with(0, "865")));
    const StlRun r = run({"import-stl", nordic, "-o", path("nordic.KVL8"), "--profile", "1"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("uses code page 865; only its titles are written in it"), std::string::npos) << r.err;

    // Usage errors of the export.
    EXPECT_EQ(run({"export", "stl", project, "--teletext", "--open"}).code, 2);
    EXPECT_EQ(run({"export", "stl", project, "--start", "10:00:00:25"}).code, 2);
    EXPECT_EQ(run({"export", "stl", project, "--language", "xx"}).code, 2);
    EXPECT_EQ(run({"export", "srt", project, "--open"}).code, 2);
}

TEST(BroadcastText, EveryWindows1252CharacterCrossesTheLatinTable) {
    // Characters ISO 6937 has no place for, and what they become.
    const std::map<unsigned char, std::string> near = {
        {0x80, "EUR"}, {0x82, ","}, {0x83, "f"}, {0x84, "\""}, {0x85, "..."}, {0x86, "+"}, {0x87, "+"},
        {0x89, "%"},   {0x8B, "<"}, {0x9B, ">"}, {0x95, "\xB7"}, {0x96, "-"}, {0x81, "?"}, {0x8D, "?"},
        {0x8F, "?"},   {0x90, "?"}, {0x9D, "?"}, {0xA0, " "}};
    for (int b = 0x20; b <= 0xFF; ++b) {
        if (b == 0x7F) continue;
        SCOPED_TRACE(b);
        const std::string one(1, char(b));
        broadcasttext::Losses lost;
        const std::string coded = broadcasttext::iso6937FromCp1252(one, &lost);
        std::string back;
        for (size_t i = 0, used = 0; i < coded.size(); i += used) back += broadcasttext::cp1252FromIso6937At(coded, i, used);
        const auto n = near.find(static_cast<unsigned char>(b));
        EXPECT_EQ(back, n == near.end() ? one : n->second);
        EXPECT_EQ(lost.replaced, n == near.end() || b == 0xA0 ? 0 : 1);
    }
}

// Lists and caption files of another reader's test suite (tests/data/broadcast,
// see its README): every subtitle is imported, with notes for what the
// project cannot keep.
TEST_F(StlCliTest, PublicSampleFilesImportEverySubtitle) {
    struct Sample {
        const char* file;
        int sets;
        const char* lineA;  // of the first set
        const char* lineB;
        const char* note;   // a note that must be printed, or ""
    };
    const Sample samples[] = {
        {"br_new_colors.stl", 1, "Blue On Yellow", "Yellow On Blue", "coloured teletext text"},
        {"br_same_colors.stl", 1, "Yellow On Magenta", "Yellow On Magenta", "coloured teletext text"},
        {"br_style_reset.stl", 1, "Blue On Yellow", "White On Black", "coloured teletext text"},
        {"contained_tti.stl", 2, "", "Subtitle One", ""},
        {"cumulative_set.stl", 5, "", "Not part of cumulative set.", ""},
        {"multi_tti_subtitle.stl", 1, "", "Foo Bar Baz", ""},
        {"overlapping_tti.stl", 2, "", "Subtitle One", ""},
        {"setting_background_before_startbox.stl", 1, "", "Background is yellow.", ""},
        {"test_tcp_processing.stl", 1, "", "Start of the program.",
         "1 subtitle starts before the programme start 10:00:00:00 and was left out."},
        {"two_contained_tti.stl", 3, "", "Subtitle One", ""},
        {"vp18_3_lines.stl", 1, "This", "is row 18", "more than two rows"},
        {"vp20_2_newlines.stl", 1, "This is row 20", "This is row 22", ""},
        {"pop-on.scc", 3, "", "( horn honking )", ""},
        {"paint-on.scc", 3, "Lorem ipsum dolor sit amet,", "consectetur adipiscing elit.",
         "56 pairs have a byte with even parity, the first in Line 3, pair 3 (94d2)"},
        {"mix-rows-roll-up.scc", 8, ">>> HI.", "I'M KEVIN CUNNING AND AT", "6 pairs have a byte with even parity"},
    };
    for (const Sample& s : samples) {
        SCOPED_TRACE(s.file);
        const std::string in = std::string(KALVERO_TEST_DATA) + "/broadcast/" + s.file, out = path("sample.KVL8");
        const bool stl = std::string(s.file).find(".stl") != std::string::npos;
        const StlRun r = run({stl ? "import-stl" : "import-scc", in, "-o", out, "--profile", "1"});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.err.find(s.note), std::string::npos) << r.err;
        const std::vector<SubtitleSet> sets = readProject(out);
        ASSERT_EQ(int(sets.size()), s.sets);
        EXPECT_EQ(sets[0].lineA, s.lineA);
        EXPECT_EQ(sets[0].lineB, s.lineB);
        for (const SubtitleSet& set : sets) EXPECT_TRUE(set.timed());
    }
}
