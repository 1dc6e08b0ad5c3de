#pragma once
#include <cstdint>
#include <vector>

#include "export/AviTimeline.h"
#include "project/FrameRate.h"

class SubtitleList;
struct SubtitleSet;

// The rate a movie runs at for a project rate; {0, 1} when there is none.
using MovieRate = FrameRate;
inline MovieRate movieFrameRate(float fps) { return frameRateOf(fps); }

// The frames on which one set is shown: [start, end), counted from
// 00:00:00:00 at the project rate.
struct SetSpan {
    int set = 0;  // index in list order, from 0
    int64_t start = 0, end = 0;
    int64_t frames() const { return end - start; }
    friend bool operator==(const SetSpan&, const SetSpan&) = default;
};

struct SetSpans {
    std::vector<SetSpan> spans;     // in time order, not overlapping, none empty
    std::vector<int> untimed;       // sets without both time codes
    std::vector<int> reversed;      // sets whose OFF lies before their ON
    int64_t end = 0;                // the last frame shown + 1 (0 when none)
};

// Each set starts at its own ON frame and ends at its OFF frame; a set still
// on when the next one begins ends there. Sets without complete time codes,
// with OFF before ON, or left without frames are not shown. Frames come from
// the time codes themselves, so an overlap never shifts the sets after it.
SetSpans buildSetSpans(const SubtitleList& list, float fps);
SetSpans buildSetSpans(const std::vector<SubtitleSet>& sets, float fps);

// The spans as frames of a movie: blank frames between them, from frame 0 to
// the end of the last span.
FrameTimeline timelineOfSpans(const SetSpans& spans);

// The set shown on `frame`, -1 when none.
int setAtFrame(const SetSpans& spans, int64_t frame);
