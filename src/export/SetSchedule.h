#pragma once
#include <cstdint>
#include <string>
#include <vector>

class SubtitleList;
struct SubtitleSet;

// Frame counts of one subtitle set, as its "OFF+ON" column holds them: blank
// frames since the OFF of the timed set before it (from frame 0 for the
// first), and frames from its ON to its OFF. `off` is negative when the set
// begins before the one before it ends; `on` is negative when its OFF lies
// before its ON.
struct SetTiming {
    int off = 0;
    int on = 0;
};

// One set's place in a timed presentation: frames [start, end).
struct SetSlot {
    int set = 0;
    int64_t start = 0, end = 0;
    int64_t frames() const { return end - start; }
    friend bool operator==(const SetSlot&, const SetSlot&) = default;
};

// Where every set of a list appears in time, the one rule every timed export
// follows:
// - each set starts at its own ON frame;
// - a set still on when the next set begins ends there;
// - a set whose OFF lies before its ON is not shown (`reversed`), nor is a
//   set whose next set begins before it would (`hidden`);
// - sets with no frames (untimed, or OFF equal to ON) keep a slot of 0 frames.
// For a list whose sets follow each other without overlapping, the slots are
// exactly the blank and ON counts of the list, added up.
struct SetSchedule {
    std::vector<SetSlot> slots;  // in list order; starts never decrease, slots never overlap
    std::vector<int> reversed;   // set indexes, from 0
    std::vector<int> hidden;
    int64_t total = 0;           // frames of the whole presentation

    bool complete() const { return reversed.empty() && hidden.empty(); }
};

SetSchedule scheduleSets(const std::vector<SetTiming>& sets);

// The "OFF+ON" counts of sets 0 .. count - 1 of the list (line A rows).
std::vector<SetTiming> setTimings(const SubtitleList& list, int count);
std::vector<SetTiming> setTimings(const std::vector<SubtitleSet>& sets, int count);

// Names the sets a schedule leaves out, for a warning; "" when none. Sets are
// named by their number from 1, as the exported pictures are.
std::string scheduleWarningText(const SetSchedule& schedule);
extern const char* const kScheduleWarningTitle;  // "Warning!"
