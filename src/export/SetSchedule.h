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

// Where every set of a list appears in a list-ordered presentation (the AVI
// movie, the IFF pictures and their Scala script), which shows the sets one
// after the other in list order:
// - each set starts at its own ON frame;
// - a set still on when the next set begins ends there;
// - a set whose OFF lies before its ON is not shown (`reversed`);
// - where ON times go back in the list, the fewest sets are left out that
//   let the rest run in time order, the earlier sets of the list kept where
//   there is a choice (`outOfOrder`: each starts before a set above it);
// - a set that the next set starts with (same ON frame) is not shown (`hidden`);
// - sets with no frames (untimed, or OFF equal to ON) keep a slot of 0 frames.
// For a list whose sets follow each other without overlapping, the slots are
// exactly the blank and ON counts of the list, added up.
struct SetSchedule {
    std::vector<SetSlot> slots;  // in list order; starts never decrease, slots never overlap
    std::vector<int> reversed;   // set indexes, from 0
    std::vector<int> hidden;
    std::vector<int> outOfOrder;
    int64_t total = 0;           // frames of the whole presentation

    bool complete() const { return reversed.empty() && hidden.empty() && outOfOrder.empty(); }
};

// The reason of a set left out because its ON goes back in the list.
extern const char* const kStartsBeforeASetAbove;  // "starts before a set above it"

// A set an export leaves out, and why in a few words ("OFF before ON").
struct LeftOutSet {
    int set = 0;  // from 0
    std::string reason;
    friend bool operator==(const LeftOutSet&, const LeftOutSet&) = default;
};

// The sets a schedule leaves out, in list order.
std::vector<LeftOutSet> leftOutSets(const SetSchedule& schedule);
// The sets a list-ordered export (AVI, IFF/Scala) of these sets leaves out
// and why, in list order: what the export tells before it starts, so that a
// window can show it before a run.
std::vector<LeftOutSet> listOrderedLeftOut(const std::vector<SubtitleSet>& sets);
// "3 sets left out: 9, 10, 11 (OFF before ON)", sets named by their number
// from 1 and grouped by reason; "" when none.
std::string leftOutSummary(const std::vector<LeftOutSet>& sets);

SetSchedule scheduleSets(const std::vector<SetTiming>& sets);

// The "OFF+ON" counts of sets 0 .. count - 1 of the list (line A rows).
std::vector<SetTiming> setTimings(const SubtitleList& list, int count);
std::vector<SetTiming> setTimings(const std::vector<SubtitleSet>& sets, int count);

// Names the sets a schedule leaves out and why, for the warning before a
// run; "" when none. Sets are named by their number from 1, as the exported
// pictures are.
std::string scheduleWarningText(const SetSchedule& schedule);
extern const char* const kScheduleWarningTitle;  // "Warning!"
