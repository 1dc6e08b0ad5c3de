#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "export/SetSchedule.h"

class SubtitleList;

// The picture of the frames while no subtitle is on.
constexpr int kBlankPicture = -1;

// Consecutive movie frames that show the same picture.
struct TimelineRun {
    int picture = kBlankPicture;  // subtitle set index (from 0), or kBlankPicture
    int64_t frames = 0;
    friend bool operator==(const TimelineRun&, const TimelineRun&) = default;
};

// What every frame of a timed movie shows, in order, as runs.
struct FrameTimeline {
    std::vector<TimelineRun> runs;  // no empty runs; neighbours show different pictures
    int64_t total = 0;              // number of movie frames

    // The picture of frame i, nothing when i is outside the movie.
    std::optional<int> pictureAt(int64_t i) const;
    // One entry per frame.
    std::vector<int> expand() const;
    // Appends frames of a picture; counts of 0 or less add nothing.
    void append(int picture, int64_t frames);
};

// The frames of a timed movie: every set at its place in the schedule of the
// list's "OFF+ON" counts (export/SetSchedule.h), blank frames between. A
// trailing line A without its line B row counts as a set.
FrameTimeline buildFrameTimeline(const SubtitleList& list);
FrameTimeline buildFrameTimeline(const SetSchedule& schedule);

// Number of sets an export walks: rows 0, 2, 4, ... of the list.
int exportSetCount(const SubtitleList& list);

// Integer frame rate of the movie: the project rate rounded up
// (25 -> 25, 29.97 -> 30, 23.976 -> 24); 0 when fps is not positive.
int aviFrameRate(float fps);

