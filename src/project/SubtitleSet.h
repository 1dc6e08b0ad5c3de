#pragma once
#include <optional>
#include <string>
#include <vector>

#include "project/TimeCode.h"

class SubtitleList;

// One subtitle set as a value: what the renderer and every export read. The
// list keeps a set as two rows of text (line A, line B); this is the typed
// view of them.
struct SubtitleSet {
    std::string lineA, lineB;         // UTF-8, as in the rows
    std::optional<TimeCode> on, off;  // none while the field is blank
    std::optional<int> y;             // none while the Y column is blank
    bool forced = false;              // shown even while subtitles are off

    // The row texts the set was read from. When the set goes back into rows,
    // a column the typed fields above still read the same from is written as
    // it was, so rows -> sets -> rows gives the rows byte for byte, odd ones
    // included (spaces around numbers, text that is no time code, line B's
    // own timing or Y). "OFF+ON" has no typed field: it follows the timing
    // (recalculateOffOn) and is kept as it was.
    struct Rows {
        bool fromList = false;  // false: a new set; ids and B's columns are made from the fields
        bool hasLineB = true;   // false: a last line A without its B row
        std::string idA, idB, offOnA, offOnB, yA, yB;
        RowTiming timingA, timingB;
        friend bool operator==(const Rows&, const Rows&) = default;
    } rows;

    // The frame counts of the "OFF+ON" column: blank frames before the set
    // and frames shown (0 where the column has no number).
    int offFrames() const;
    int onFrames() const;
    // The set's strips Y, 0 when it has none (the slider's Y is used then).
    int yOrZero() const { return y.value_or(0); }
    // ON and OFF both set.
    bool timed() const { return on.has_value() && off.has_value(); }

    friend bool operator==(const SubtitleSet&, const SubtitleSet&) = default;
};

// Set k of the list (rows 2k and 2k + 1); an empty set outside the list.
SubtitleSet subtitleSetOf(const SubtitleList& list, int k);
// Every set of the list; a trailing line A without its B row is a set too.
std::vector<SubtitleSet> subtitleSets(const SubtitleList& list);

// The two rows of set k (one when it has no B row).
void appendSetRows(const SubtitleSet& set, int k, SubtitleList& list);
// A list of the sets' rows (the list's shades are not part of a set).
SubtitleList listOfSets(const std::vector<SubtitleSet>& sets);

// The timing column of a set: "HH:MM:SS:FF>HH:MM:SS:FF", with an empty side
// for a missing time code, and "" when both are missing.
std::string timingText(const std::optional<TimeCode>& on, const std::optional<TimeCode>& off);
