#include "project/SubtitleSet.h"

#include "base/Text.h"
#include "project/SubtitleList.h"

namespace {

std::optional<int> yOf(const std::string& column) {
    if (text::trimSpaces(column).empty()) return std::nullopt;
    return text::toInt(column);
}

}  // namespace

int SubtitleSet::offFrames() const { return text::toInt(text::field(rows.offOnA, '+', 1)); }
int SubtitleSet::onFrames() const { return text::toInt(text::field(rows.offOnA, '+', 2)); }

std::string timingText(const std::optional<TimeCode>& on, const std::optional<TimeCode>& off) {
    return RowTiming(on, off).text();
}

SubtitleSet subtitleSetOf(const SubtitleList& list, int k) {
    SubtitleSet s;
    const SubtitleLine* a = list.row(2 * k);
    if (!a) return s;
    const SubtitleLine* b = list.row(2 * k + 1);
    s.lineA = a->text;
    s.on = a->timing.on;
    s.off = a->timing.off;
    s.y = yOf(a->y);
    s.forced = a->forced;
    SubtitleSet::Rows& r = s.rows;
    r.fromList = true;
    r.hasLineB = b != nullptr;
    r.idA = a->id;
    r.timingA = a->timing;
    r.offOnA = a->offOn;
    r.yA = a->y;
    if (b) {
        s.lineB = b->text;
        r.idB = b->id;
        r.timingB = b->timing;
        r.offOnB = b->offOn;
        r.yB = b->y;
    }
    return s;
}

std::vector<SubtitleSet> subtitleSets(const SubtitleList& list) {
    std::vector<SubtitleSet> sets;
    const int count = (list.lineCount() + 1) / 2;
    sets.reserve(size_t(count));
    for (int k = 0; k < count; ++k) sets.push_back(subtitleSetOf(list, k));
    return sets;
}

void appendSetRows(const SubtitleSet& set, int k, SubtitleList& list) {
    const SubtitleSet::Rows& r = set.rows;
    // Line A's timing and Y: the text as it was while it still says the same.
    const bool keepTiming = r.fromList && r.timingA.sameTimes(RowTiming(set.on, set.off));
    const RowTiming timingA = keepTiming ? r.timingA : RowTiming(set.on, set.off);
    const bool keepY = r.fromList && yOf(r.yA) == set.y;
    const std::string yA = keepY ? r.yA : set.y ? std::to_string(*set.y) : std::string();
    if (!r.fromList) {
        list.appendLine(SubtitleLine{rowId(2 * k), set.lineA, timingA, "", yA, set.forced});
        list.appendLine(SubtitleLine{rowId(2 * k + 1), set.lineB, timingA, "", yA});
        return;
    }
    list.appendLine(SubtitleLine{r.idA, set.lineA, timingA, r.offOnA, yA, set.forced});
    if (!r.hasLineB) return;
    // Line B repeats line A's timing and Y; a B row with columns of its own keeps them.
    const RowTiming timingB = r.timingB == r.timingA ? timingA : r.timingB;
    const std::string yB = r.yB == r.yA ? yA : r.yB;
    list.appendLine(SubtitleLine{r.idB, set.lineB, timingB, r.offOnB, yB});
}

SubtitleList listOfSets(const std::vector<SubtitleSet>& sets) {
    SubtitleList list;
    list.clearList();
    list.reserve(sets.size() * 2);
    for (size_t k = 0; k < sets.size(); ++k) appendSetRows(sets[k], int(k), list);
    return list;
}
