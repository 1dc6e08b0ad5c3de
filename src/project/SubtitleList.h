#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "project/TimeCode.h"


// One row of the subtitle list. Row 2k is line A, row 2k+1 line B of set k.
struct SubtitleLine {
    std::string id;      // "A0000", "B0000", ...
    std::string text;    // the line, UTF-8
    RowTiming timing;    // ON and OFF; line B repeats line A's
    std::string offOn;   // "" or blank frames before the set + "+" + frames shown
    std::string y;       // "" or the set's strips Y position
    bool forced = false; // line A of a forced set (shown even while subtitles are off)
    friend bool operator==(const SubtitleLine&, const SubtitleLine&) = default;
};

// Read-only view of one set with zeros for what is missing (see SubtitleSet,
// the typed view the renderer and the exports read).
struct SubtitleEntry {
    std::string lineA, lineB;
    TimeCode on, off;
    int offFrames = 0, onFrames = 0;
    int y = 0;
};

enum class Column { Id = 0, Text = 1, Timing = 2, OffOn = 3, Y = 4 };

// The program's one subtitle model; the list control is a view of it.
class SubtitleList {
public:
    SubtitleList();  // one empty set: "A0000" / "B0000"

    int lineCount() const { return int(rows_->size()); }
    SubtitleLine line(int i) const;  // all columns empty outside the list
    const SubtitleLine* row(int i) const { return i >= 0 && i < lineCount() ? &(*rows_)[size_t(i)] : nullptr; }
    std::string column(int i, Column c) const;  // Timing: the text form
    // ON and OFF of row i (none outside the list).
    RowTiming timing(int i) const { return i >= 0 && i < lineCount() ? (*rows_)[size_t(i)].timing : RowTiming(); }
    int shade(int i) const { return i >= 0 && i < lineCount() ? shades_[size_t(i)] : 0; }

    int entryCount() const { return lineCount() / 2; }
    SubtitleEntry entry(int k) const;

    std::pair<int, int> countLines() const { return {lineCount(), lineCount() / 2}; }
    int countWords() const;

    void clearList();
    void appendLine(SubtitleLine line);
    void appendEmptySet();  // two rows, ids filled in
    void removeLastLine();
    // Inserts an empty set (two rows with only a Y) before set k, or at the
    // end when k is the set count; ids are renumbered.
    void insertEmptySet(int k, const std::string& y);
    // Removes the sets listed (0-based, any order; repeats and sets outside
    // the list are ignored); ids are renumbered.
    void removeSets(const std::vector<int>& sets);
    // Inserts whole sets (pairs of rows) before set k, or at the end when k
    // is the set count; ids are renumbered.
    void insertSets(int k, const std::vector<SubtitleLine>& rows);
    // Moves sets first .. first + count - 1 by `by` places (negative: up),
    // with everything they hold; the sets they pass move the other way.
    // False, and nothing moved, when the block would leave the list.
    bool moveSets(int first, int count, int by);
    void setLineColumn(int i, Column c, std::string value);  // Timing: read from the text form
    void setTiming(int i, RowTiming timing);
    // Both rows of set k.
    void setSetTiming(int k, const RowTiming& timing);
    void setRowShade(int i, int grey);  // 0: no shade of its own
    // A forced set is shown even to viewers who turned subtitles off
    // (foreign dialogue); the flag lives on the set's line A row.
    bool forced(int set) const { return row(2 * set) && row(2 * set)->forced; }
    void setForced(int set, bool forced);
    void renumberIds();

    // Changes with every change of the rows (texts, time codes, Y, ids), and
    // no two lists share one unless one is a copy of the other: an equal
    // revision means the same rows.
    uint64_t revision() const { return revision_; }

    void reserve(size_t n) {
        own().reserve(n);
        shades_.reserve(n);
    }

private:
    // Copies of a list share its rows until one of them changes (a copy is
    // cheap, so the editor can keep earlier states for undo).
    std::shared_ptr<std::vector<SubtitleLine>> rows_ = std::make_shared<std::vector<SubtitleLine>>();
    std::vector<SubtitleLine>& own();
    std::vector<int> shades_;
    uint64_t revision_ = 0;
    void changed();
};

// The id of row i: "A" or "B" followed by the A row's index in at least four
// digits (A0000, B0000, ..., A10000).
std::string rowId(int i);

// Recomputes the "OFF+ON" column of every set with complete time codes.
// Returns the number of sets without them.
int recalculateOffOn(SubtitleList& list, float fps);

// The same after only the timing of `set` (0-based) changed in a list whose
// column was up to date: recomputes that set and the next timed set after
// it. Returns the number of sets without complete time codes;
// `lastChanged`, when given, receives the last set whose column may differ.
int recalculateOffOnOfSet(SubtitleList& list, float fps, int set, int* lastChanged = nullptr);
// Sets whose line A lacks the ON or the OFF time code.
int countSetsWithoutTiming(const SubtitleList& list);
