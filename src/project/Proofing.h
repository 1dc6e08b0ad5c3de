#pragma once
#include <string>
#include <vector>

#include "project/SubtitleSet.h"

// --- find and replace ---------------------------------------------------------
//
// A set is searched as one text: line A, a line break, line B. A plain
// search text matches the break with a blank ("quick brown" finds line A
// "the quick" over line B "brown fox"); a regular expression (ECMAScript)
// matches it with \n or \s. Letter case is folded for the whole
// Windows-1252 alphabet in plain searches, for A-Z in regular expressions.
struct FindOptions {
    std::string find;  // Windows-1252, as the lines
    bool regex = false;
    bool wholeWord = false;  // no letter, digit or '_' right before or after a match
    bool matchCase = true;
};

// One match: set `set`, bytes [begin, end) of "line A\nline B".
struct TextMatch {
    int set = 0;
    size_t begin = 0, end = 0;
    friend bool operator==(const TextMatch&, const TextMatch&) = default;
};

// A search compiled once for many sets.
class TextSearch {
public:
    // The error is set (and nothing is ever found) when the search text is
    // empty or the expression does not compile.
    explicit TextSearch(const FindOptions& options);
    ~TextSearch();
    TextSearch(const TextSearch&) = delete;
    TextSearch& operator=(const TextSearch&) = delete;

    const std::string& error() const { return error_; }
    // The matches in one set's text, in order, none overlapping.
    std::vector<TextMatch> matches(const SubtitleSet& set, int index) const;

    // The text a match is replaced with: `with` as it stands for a plain
    // search, with $1, $& ... filled in for an expression. "\n" in `with`
    // is a line break.
    std::string replacement(const std::string& joined, const TextMatch& m, const std::string& with) const;

private:
    struct Impl;
    Impl* impl_ = nullptr;
    FindOptions options_;
    std::string error_;
};

// "line A\nline B"
std::string joinedText(const SubtitleSet& set);

// Every match of the search in the sets, in order.
std::vector<TextMatch> findAll(const std::vector<SubtitleSet>& sets, const FindOptions& options, std::string& error);

struct ReplaceResult {
    std::vector<SubtitleSet> sets;  // the sets after replacing; empty when refused
    std::string error;
    int replaced = 0;  // matches replaced
    int setsChanged = 0;
    bool ok() const { return error.empty(); }
};

// Replaces every match (or, with `only`, that one match) by `with`. Where a
// replacement takes the place of the line break, the break comes back at a
// "\n" of the replacement, or, for a plain search, at the blank of the
// replacement that stands where the search text's blank met the break;
// otherwise the set's text becomes one line (line B). The lines of such a
// set lose the blanks around them. A second break becomes a blank; '|'
// becomes the broken bar.
ReplaceResult replaceAll(std::vector<SubtitleSet> sets, const FindOptions& options, const std::string& with);
ReplaceResult replaceOne(std::vector<SubtitleSet> sets, const FindOptions& options, const std::string& with,
                         const TextMatch& only);

// --- checks ----------------------------------------------------------------------

// One thing worth a look in one set.
struct CheckFinding {
    int set = 0;       // from 0
    std::string kind;  // "overlap", "order", "missing", "timing", "short", "speed", "width", "glyph", "spelling"
    std::string detail;
    friend bool operator==(const CheckFinding&, const CheckFinding&) = default;
};

struct TimingCheckOptions {
    int minFrames = 0;    // sets shown for fewer frames; 0: not checked
    double maxCps = 0;    // characters per second above this; 0: not checked
};

// The checks of the time codes and the reading speed, in set order:
// overlap (the OFF after the next timed set's ON), order (the ON before the
// ON of the timed set above), missing (no ON or no OFF), timing (the OFF not
// after the ON), short, speed. Characters are those of both lines, blanks
// included, the break not.
std::vector<CheckFinding> checkTimings(const std::vector<SubtitleSet>& sets, float fps, const TimingCheckOptions& o);

// Findings in set order, those of one set in the order given.
void sortFindings(std::vector<CheckFinding>& findings);
