#include "export/AviTimeline.h"

#include <algorithm>
#include <cmath>

#include "io/Files.h"
#include "project/SubtitleList.h"

void FrameTimeline::append(int picture, int64_t frames) {
    if (frames <= 0) return;
    if (!runs.empty() && runs.back().picture == picture)
        runs.back().frames += frames;
    else
        runs.push_back(TimelineRun{picture, frames});
    total += frames;
}

std::optional<int> FrameTimeline::pictureAt(int64_t i) const {
    if (i < 0 || i >= total) return std::nullopt;
    for (const TimelineRun& r : runs) {
        if (i < r.frames) return r.picture;
        i -= r.frames;
    }
    return std::nullopt;
}

std::vector<int> FrameTimeline::expand() const {
    std::vector<int> frames;
    frames.reserve(size_t(std::max<int64_t>(total, 0)));
    for (const TimelineRun& r : runs) frames.insert(frames.end(), size_t(r.frames), r.picture);
    return frames;
}

int exportSetCount(const SubtitleList& list) {
    return (list.lineCount() + 1) / 2;
}

FrameTimeline buildFrameTimeline(const SubtitleList& list) {
    return buildFrameTimeline(scheduleSets(setTimings(list, exportSetCount(list))));
}

FrameTimeline buildFrameTimeline(const SetSchedule& schedule) {
    FrameTimeline timeline;
    for (const SetSlot& slot : schedule.slots) {
        timeline.append(kBlankPicture, slot.start - timeline.total);
        timeline.append(slot.set, slot.frames());
    }
    timeline.append(kBlankPicture, schedule.total - timeline.total);
    return timeline;
}

int aviFrameRate(float fps) {
    if (!(fps > 0.0f)) return 0;
    double up = std::ceil(double(fps));
    return up > 1000.0 ? 1000 : int(up);
}

