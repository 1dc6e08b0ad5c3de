#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "project/SrtImport.h"
#include "project/SubtitleSet.h"

// Text without times: blocks separated by blank lines become untimed sets,
// ready for recording their timings. One line gives line B; two, lines A
// and B; further lines are added to line B after a space (as the SubRip
// reader does with a cue's lines).
struct TextImportResult {
    std::vector<SubtitleSet> sets;  // every new set has Y = the strips Y given
    std::string error;              // why there are no sets; empty on success
    bool convertedFromUtf8 = false;
    bool ok() const { return error.empty(); }
};

// The file's bytes: UTF-8 with or without its mark, UTF-16 or UTF-32 with a
// mark, or Windows-1252; any line ends. A file holding NUL bytes or mostly
// control characters is taken for a binary file and refused.
TextImportResult importPlainText(std::string_view bytes, int stripsY);

// Two SubRip files as one project in two languages: line A from the first
// (top), line B from the second (bottom). Cues are paired by overlapping
// time: each with the cue of the other file it overlaps most, when that cue
// overlaps none of the first file more. A pair runs from the earlier ON to
// the later OFF; a cue without a partner becomes a set of its own with its
// line in its language's place. A cue's own lines are joined with a space.
// Sets come in time order.
struct TwoLanguageResult {
    std::vector<SubtitleSet> sets;
    std::string error;                // why there are no sets; empty on success
    SrtImportResult top, bottom;      // what each file's reading left out
    int pairs = 0, topAlone = 0, bottomAlone = 0;
    bool ok() const { return error.empty(); }
};
TwoLanguageResult mergeTwoLanguages(std::string_view topBytes, std::string_view bottomBytes, float fps, int stripsY);
