#pragma once
#include <string>
#include <vector>

#include "app/EditorPart.h"
#include "project/SubtitleList.h"

class Controller;

// Work on several sets at once: the selection of many (Shift and Ctrl picks,
// Select All), removing, moving, and the clipboard, which holds sets as
// SubRip text so they paste into text editors and other subtitle programs.
class SetEditor : private EditorPart {
public:
    SetEditor(EditorContext& context, Controller& controller) : EditorPart(context), c_(controller) {}

    // The sets a command acts on, in list order: the marked ones, or the set
    // of the selected row.
    std::vector<int> selectedSets() const;

    // A pick in the list with Shift (extend from the anchor) or Ctrl (add or
    // take away the set) held.
    void extendTo(int row);
    void toggle(int row);
    void selectAll();

    void removeSelected();
    void copy();
    void cut();
    void paste();
    // Moves the selected sets by one place (-1: up); nothing moves when one
    // of them is at that end of the list.
    void move(int by);
    // Marks the selected sets forced, or unmarks them when every one is.
    void toggleForced();

private:
    void mark(std::vector<int> sets, int currentRow);
    void afterChange(int currentRow);
    Controller& c_;
    // What this copy of the program put on the clipboard last, and the rows
    // behind it: pasted back, they keep what SubRip cannot hold (untimed
    // sets, each set's Y, the exact frames).
    std::string copiedText_;
    std::vector<SubtitleLine> copiedRows_;
};

// The sets' rows as SubRip text (UTF-8, CR LF), or, when none of them is
// timed, as plain text: one block of lines per set.
std::string clipboardTextOfSets(const SubtitleList& list, const std::vector<int>& sets, float fps);
