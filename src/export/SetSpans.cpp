#include "export/SetSpans.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "base/Text.h"
#include "project/SubtitleList.h"
#include "project/SubtitleSet.h"
#include "project/TimeCode.h"

SetSpans buildSetSpans(const SubtitleList& list, float fps) {
    return buildSetSpans(subtitleSets(list), fps);
}

SetSpans buildSetSpans(const std::vector<SubtitleSet>& sets, float fps) {
    SetSpans out;
    std::vector<SetSpan> timed;
    for (int k = 0; k < int(sets.size()); ++k) {
        const SubtitleSet& set = sets[size_t(k)];
        if (!set.timed()) {
            out.untimed.push_back(k);
            continue;
        }
        const int64_t start = frameOf(*set.on, fps);
        const int64_t end = frameOf(*set.off, fps);
        if (end < start) {
            out.reversed.push_back(k);
            continue;
        }
        if (end <= 0) continue;
        timed.push_back(SetSpan{k, std::max<int64_t>(start, 0), end});
    }
    // In list order first: a set ends where the next one begins.
    for (size_t i = 0; i + 1 < timed.size(); ++i)
        if (timed[i + 1].start >= timed[i].start && timed[i + 1].start < timed[i].end)
            timed[i].end = timed[i + 1].start;
    // A list out of time order: the later start wins the frames it shares.
    std::stable_sort(timed.begin(), timed.end(), [](const SetSpan& a, const SetSpan& b) { return a.start < b.start; });
    for (size_t i = 0; i + 1 < timed.size(); ++i) timed[i].end = std::min(timed[i].end, timed[i + 1].start);
    for (const SetSpan& s : timed)
        if (s.end > s.start) {
            out.spans.push_back(s);
            out.end = std::max(out.end, s.end);
        }
    return out;
}

FrameTimeline timelineOfSpans(const SetSpans& spans) {
    FrameTimeline t;
    int64_t at = 0;
    for (const SetSpan& s : spans.spans) {
        t.append(kBlankPicture, s.start - at);
        t.append(s.set, s.end - s.start);
        at = s.end;
    }
    return t;
}

int setAtFrame(const SetSpans& spans, int64_t frame) {
    auto it = std::upper_bound(spans.spans.begin(), spans.spans.end(), frame,
                               [](int64_t f, const SetSpan& s) { return f < s.start; });
    if (it == spans.spans.begin()) return -1;
    --it;
    return frame < it->end ? it->set : -1;
}
