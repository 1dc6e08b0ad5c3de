#include "project/SortByTime.h"

#include <algorithm>
#include <vector>

#include "project/SubtitleList.h"
#include "project/TimeCode.h"

int sortSetsByTime(SubtitleList& list, float fps) {
    const int sets = list.lineCount() / 2;
    struct Timed {
        int set;
        long long on;
    };
    std::vector<Timed> timed;
    for (int k = 0; k < sets; ++k) {
        const RowTiming& t = list.row(2 * k)->timing;
        if (!t.complete()) continue;
        timed.push_back({k, frameOf(*t.on, fps)});
    }
    std::vector<Timed> sorted = timed;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Timed& a, const Timed& b) { return a.on < b.on; });
    // Slot i of the timed sets takes the set that comes i-th in time.
    std::vector<SubtitleLine> rows;
    for (const Timed& t : sorted) {
        rows.push_back(list.line(2 * t.set));
        rows.push_back(list.line(2 * t.set + 1));
    }
    int moved = 0;
    for (size_t i = 0; i < timed.size(); ++i) {
        if (timed[i].set == sorted[i].set) continue;
        ++moved;
        for (int half = 0; half < 2; ++half) {
            const SubtitleLine& from = rows[2 * i + size_t(half)];
            const int row = 2 * timed[i].set + half;
            list.setLineColumn(row, Column::Text, from.text);
            list.setTiming(row, from.timing);
            list.setLineColumn(row, Column::Y, from.y);
        }
    }
    if (moved) {
        list.renumberIds();
        recalculateOffOn(list, fps);
    }
    return moved;
}
