#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "project/SubtitleList.h"

struct SrtImportResult {
    // Line numbers (from 1) of lines that were left out: how many, and the first few.
    struct Lines {
        static constexpr size_t kListed = 10;
        int count = 0;
        std::vector<int> first;
        void add(int lineNumber);
    };
    int cues = 0;            // cues that became sets
    bool convertedFromUtf8 = false;
    Lines unreadableTimeLines;  // time lines that could not be read: their cues are left out
    Lines linesOutsideCues;     // text after a cue's blank line and before the next time line
    Lines invalidUtf8;          // lines whose bytes were not UTF-8 (each such byte became U+FFFD)
};

// Converts a SubRip file's bytes into subtitle rows appended to `list` (one
// set per cue; ON and OFF at `fps`, every row's Y = `stripsY`).
//
// The reader goes by the time lines: a cue is a readable time line and the
// text lines after it up to a blank line or the next time line. A number line
// right before a time line is that cue's index (whatever its value) and never
// text; indices are not needed. A cue with one text line gives line B; with
// two, lines A and B; further lines are added to line B after a space.
SrtImportResult importSrtText(std::string_view bytes, float fps, int stripsY, SubtitleList& list);

// The left-out lines of an import as sentences for the user; empty when none.
std::string describeSkippedLines(const SrtImportResult& result);

// One SubRip time ("00:01:02,530") as an HH:MM:SS:FF text at `fps`.
std::string srtTimeToTimeCode(std::string_view time, float fps);

// Drops the formatting the captions do not show: <b>, <u>, <s>, <font ...>
// and their closing tags, and {\...} override blocks. Italics (<i>, </i> in
// any case, {\i1}, {\i0}) become the line's italics tags, <i> and </i>.
std::string stripSrtFormatting(std::string_view line);
