#include "export/SetSchedule.h"

#include <algorithm>
#include <cstdint>

#include "project/SubtitleList.h"
#include "project/SubtitleSet.h"

const char* const kScheduleWarningTitle = "Warning!";

std::vector<SetTiming> setTimings(const std::vector<SubtitleSet>& sets, int count) {
    std::vector<SetTiming> out;
    out.reserve(size_t(std::max(count, 0)));
    for (int k = 0; k < count; ++k) {
        if (k < int(sets.size())) out.push_back(SetTiming{sets[size_t(k)].offFrames(), sets[size_t(k)].onFrames()});
        else out.push_back(SetTiming{});
    }
    return out;
}

std::vector<SetTiming> setTimings(const SubtitleList& list, int count) {
    return setTimings(subtitleSets(list), count);
}

SetSchedule scheduleSets(const std::vector<SetTiming>& sets) {
    // Absolute ON and OFF frames: the counts are relative to the OFF of the
    // set before, which is ON + on of that set.
    const size_t n = sets.size();
    std::vector<int64_t> on(n), off(n);
    int64_t previousOff = 0;
    for (size_t k = 0; k < n; ++k) {
        on[k] = std::max<int64_t>(previousOff + sets[k].off, 0);
        off[k] = on[k] + sets[k].on;
        previousOff = off[k];
    }

    // The ON of the next set that is shown at all: it cuts a set short.
    constexpr int64_t kNone = INT64_MAX;
    std::vector<int64_t> nextOn(n, kNone);
    for (size_t k = n; k-- > 1;) nextOn[k - 1] = sets[k].on > 0 ? on[k] : nextOn[k];

    SetSchedule s;
    int64_t cursor = 0;  // end of the last set placed
    for (size_t k = 0; k < n; ++k) {
        if (sets[k].on < 0) {
            s.reversed.push_back(int(k));
            continue;
        }
        if (sets[k].on == 0) {
            int64_t at = std::max(cursor, std::min(on[k], nextOn[k]));
            s.slots.push_back(SetSlot{int(k), at, at});
            s.total = std::max(s.total, at);
            continue;
        }
        int64_t start = std::max(on[k], cursor);
        int64_t end = std::min(off[k], nextOn[k]);
        if (end <= start) {
            s.hidden.push_back(int(k));
            continue;
        }
        s.slots.push_back(SetSlot{int(k), start, end});
        cursor = end;
        s.total = std::max(s.total, end);
    }
    return s;
}

namespace {
std::string numbers(const std::vector<int>& sets) {
    std::string out;
    const size_t shown = std::min<size_t>(sets.size(), 20);
    for (size_t i = 0; i < shown; ++i) out += (i ? ", " : "") + std::to_string(sets[i] + 1);
    if (sets.size() > shown) out += " and " + std::to_string(sets.size() - shown) + " more";
    return out;
}
}  // namespace

std::string scheduleWarningText(const SetSchedule& schedule) {
    std::string text;
    if (!schedule.reversed.empty())
        text += "These subtitle sets are left out, their OFF time is before their ON time: " +
                numbers(schedule.reversed) + "\n";
    if (!schedule.hidden.empty())
        text += "These subtitle sets are left out, the set after them starts earlier: " + numbers(schedule.hidden) +
                "\n";
    if (text.empty()) return text;
    return text + "Please check their time codes.";
}
