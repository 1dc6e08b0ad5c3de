#include "export/SetSchedule.h"

#include <algorithm>
#include <cstdint>
#include <functional>

#include "project/SubtitleList.h"
#include "project/SubtitleSet.h"

const char* const kScheduleWarningTitle = "Warning!";
const char* const kStartsBeforeASetAbove = "starts before a set above it";

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

namespace {

// Which of the sets with frames keep their place: the longest run of them
// whose ON frames never go back, earliest sets of the list preferred.
std::vector<bool> inTimeOrder(const std::vector<SetTiming>& sets, const std::vector<int64_t>& on) {
    std::vector<size_t> timed;
    for (size_t k = 0; k < sets.size(); ++k)
        if (sets[k].on > 0) timed.push_back(k);
    const size_t m = timed.size();
    // longest[i]: the longest run in time order that starts with timed[i].
    // Walked from the end, it is the longest run whose ON frames never rise.
    std::vector<size_t> longest(m);
    std::vector<int64_t> tails;  // tails[l]: the highest ON that ends a falling run of l + 1
    for (size_t i = m; i-- > 0;) {
        const int64_t v = on[timed[i]];
        // Runs that stay at or above v can take it.
        auto it = std::upper_bound(tails.begin(), tails.end(), v, std::greater<int64_t>());
        longest[i] = size_t(it - tails.begin()) + 1;
        if (it == tails.end()) tails.push_back(v);
        else *it = v;
    }
    std::vector<bool> keep(sets.size(), false);
    size_t need = tails.size();
    int64_t last = INT64_MIN;
    for (size_t i = 0; i < m && need > 0; ++i) {
        if (on[timed[i]] < last || longest[i] < need) continue;
        keep[timed[i]] = true;
        last = on[timed[i]];
        --need;
    }
    return keep;
}

}  // namespace

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

    const std::vector<bool> kept = inTimeOrder(sets, on);

    // The ON of the next set that is shown at all: it cuts a set short.
    constexpr int64_t kNone = INT64_MAX;
    std::vector<int64_t> nextOn(n, kNone);
    for (size_t k = n; k-- > 1;) nextOn[k - 1] = kept[k] ? on[k] : nextOn[k];

    SetSchedule s;
    int64_t cursor = 0;  // end of the last set placed
    for (size_t k = 0; k < n; ++k) {
        if (sets[k].on < 0) {
            s.reversed.push_back(int(k));
            continue;
        }
        if (sets[k].on > 0 && !kept[k]) {
            s.outOfOrder.push_back(int(k));
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

std::vector<LeftOutSet> leftOutSets(const SetSchedule& schedule) {
    std::vector<LeftOutSet> out;
    for (int k : schedule.reversed) out.push_back({k, "OFF before ON"});
    for (int k : schedule.outOfOrder) out.push_back({k, kStartsBeforeASetAbove});
    for (int k : schedule.hidden) out.push_back({k, "the next set starts at the same time"});
    std::stable_sort(out.begin(), out.end(), [](const LeftOutSet& a, const LeftOutSet& b) { return a.set < b.set; });
    return out;
}

std::vector<LeftOutSet> listOrderedLeftOut(const std::vector<SubtitleSet>& sets) {
    return leftOutSets(scheduleSets(setTimings(sets, int(sets.size()))));
}

std::string leftOutSummary(const std::vector<LeftOutSet>& sets) {
    if (sets.empty()) return {};
    // Reasons in the order they first come up, each with its sets.
    std::vector<std::pair<std::string, std::vector<int>>> groups;
    for (const LeftOutSet& s : sets) {
        auto it = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == s.reason; });
        if (it == groups.end()) groups.push_back({s.reason, {s.set}});
        else it->second.push_back(s.set);
    }
    std::string text = std::to_string(sets.size()) + (sets.size() == 1 ? " set" : " sets") + " left out: ";
    for (size_t g = 0; g < groups.size(); ++g) {
        const std::vector<int>& numbers = groups[g].second;
        const size_t shown = std::min<size_t>(numbers.size(), 20);
        text += g ? "; " : "";
        for (size_t i = 0; i < shown; ++i) text += (i ? ", " : "") + std::to_string(numbers[i] + 1);
        if (numbers.size() > shown) text += " and " + std::to_string(numbers.size() - shown) + " more";
        text += " (" + groups[g].first + ")";
    }
    return text;
}


std::string scheduleWarningText(const SetSchedule& schedule) {
    const std::string summary = leftOutSummary(leftOutSets(schedule));
    if (summary.empty()) return summary;
    return summary + ".\nPlease check their time codes.";
}
