// The "OFF+ON" column after one set's timing changed: a set's counts depend
// on its own time codes and the OFF of the last timed set before it, so only
// the changed set and the next timed set after it need new values.
#include <charconv>
#include <string_view>

#include "project/SubtitleList.h"

namespace {

// True when the A row of `set` holds both time codes.
bool timed(const SubtitleList& list, int set) {
    const SubtitleLine* a = list.row(2 * set);
    return a && a->timing.complete();
}

// Only for a timed set.
void framesOf(const SubtitleList& list, int set, float fps, long long& on, long long& off) {
    const RowTiming& t = list.row(2 * set)->timing;
    on = frameOf(*t.on, fps);
    off = frameOf(*t.off, fps);
}

// Writes "blank+shown" into both rows of the set, leaving a column that
// already says so untouched (a list just opened is mostly up to date).
// True when a row changed.
bool store(SubtitleList& list, int set, long long previousOff, long long on, long long off) {
    char buf[48];
    char* p = std::to_chars(buf, buf + 22, on - previousOff).ptr;
    *p++ = '+';
    p = std::to_chars(p, buf + sizeof buf, off - on).ptr;
    const std::string_view value(buf, size_t(p - buf));
    bool changed = false;
    for (int r : {2 * set, 2 * set + 1})
        if (const SubtitleLine* row = list.row(r); row && row->offOn != value) {
            list.setLineColumn(r, Column::OffOn, std::string(value));
            changed = true;
        }
    return changed;
}

}  // namespace

int recalculateOffOn(SubtitleList& list, float fps) {
    // Each complete set's blank frames count from the OFF of the last complete
    // set before it (from frame 0 for the first one). For lists whose sets are
    // all timed this is the ON of this set minus the OFF of the previous one.
    int missing = 0;
    long long previousOff = 0, on = 0, off = 0;
    for (int set = 0, n = (list.lineCount() + 1) / 2; set < n; ++set) {
        if (!timed(list, set)) {
            ++missing;
            continue;
        }
        framesOf(list, set, fps, on, off);
        store(list, set, previousOff, on, off);
        previousOff = off;
    }
    return missing;
}

int countSetsWithoutTiming(const SubtitleList& list) {
    int missing = 0;
    for (int set = 0, n = (list.lineCount() + 1) / 2; set < n; ++set) missing += !timed(list, set);
    return missing;
}

int recalculateOffOnOfSet(SubtitleList& list, float fps, int set, int* lastChanged) {
    const int sets = (list.lineCount() + 1) / 2;
    if (lastChanged) *lastChanged = set;
    if (set >= 0 && set < sets) {
        long long previousOff = 0, on = 0, off = 0;
        for (int k = set - 1; k >= 0; --k)
            if (timed(list, k)) {
                framesOf(list, k, fps, on, previousOff);
                break;
            }
        if (timed(list, set)) {
            framesOf(list, set, fps, on, off);
            store(list, set, previousOff, on, off);
            previousOff = off;
        }
        for (int k = set + 1; k < sets; ++k)
            if (timed(list, k)) {
                framesOf(list, k, fps, on, off);
                // A new ON alone leaves the next set's counts as they were.
                if (store(list, k, previousOff, on, off) && lastChanged) *lastChanged = k;
                break;
            }
    }
    return countSetsWithoutTiming(list);
}
