// The "OFF+ON" column after one set's timing changed: a set's counts depend
// on its own time codes and the OFF of the last timed set before it, so only
// the changed set and the next timed set after it need new values.
#include <string_view>

#include "project/SubtitleList.h"

namespace {

bool hasNonSpace(std::string_view s) {
    return s.find_first_not_of(' ') != std::string_view::npos;
}

// True when the A row of `set` holds both time codes, as recalculateOffOn
// counts them.
bool timed(const SubtitleList& list, int set) {
    const SubtitleLine* a = list.row(2 * set);
    if (!a) return false;
    const std::string_view t = a->timing;
    const size_t gt = t.find('>');
    return gt != std::string_view::npos && hasNonSpace(t.substr(0, gt)) && hasNonSpace(t.substr(gt + 1));
}

void framesOf(const SubtitleList& list, int set, float fps, long long& on, long long& off) {
    auto [onText, offText] = splitTiming(list.row(2 * set)->timing);
    on = frameOf(parseTimeCode(onText), fps);
    off = frameOf(parseTimeCode(offText), fps);
}

void store(SubtitleList& list, int set, long long previousOff, long long on, long long off) {
    std::string value = std::to_string(on - previousOff) + "+" + std::to_string(off - on);
    list.setLineColumn(2 * set + 1, Column::OffOn, value);
    list.setLineColumn(2 * set, Column::OffOn, std::move(value));
}

}  // namespace

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
                store(list, k, previousOff, on, off);
                if (lastChanged) *lastChanged = k;
                break;
            }
    }
    return countSetsWithoutTiming(list);
}
