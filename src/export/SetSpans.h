#pragma once
#include <cstdint>
#include <vector>

#include "export/AviTimeline.h"

class SubtitleList;
struct SubtitleSet;

// A frame rate as a fraction: 23.976 and 29.97 are 24000/1001 and
// 30000/1001, so that a movie keeps the time codes' clock exactly.
struct MovieRate {
    int num = 0, den = 1;
    double value() const { return den > 0 ? double(num) / den : 0.0; }
    friend bool operator==(const MovieRate&, const MovieRate&) = default;
};

// The rate of a movie for a project rate; {0, 1} when fps is not positive.
// Rates just below a whole number by the factor 1000/1001 (23.976, 29.97,
// 59.94) become N*1000/1001; whole rates stay whole; anything else is kept
// to a thousandth of a frame.
MovieRate movieFrameRate(float fps);

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
