#pragma once
#include <optional>

#include "project/FrameRate.h"
#include <string>
#include <string_view>
#include <vector>

#include "project/SubtitleSet.h"
#include "project/TimeCode.h"

// Editing tools over a project's sets: each takes the sets and gives the
// sets after the edit, or a reason why nothing changed. None of them touches
// the "OFF+ON" column; the caller recalculates it (recalculateOffOn) after
// taking the new sets.

// The sets after an edit.
struct SetsEdit {
    std::vector<SubtitleSet> sets;  // the sets after the edit; empty when refused
    std::string error;              // why nothing changed; empty on success
    int changed = 0;                // sets that changed
    bool ok() const { return error.empty(); }
};

// Sets first .. last (from 0, both included).
struct SetRange {
    int first = 0, last = 0;
};

// The project's rate as a fraction (see FrameRate).
using ExactRate = FrameRate;
inline ExactRate exactRate(float fps) { return frameRateOf(fps); }

// "K" or "K-L", sets counted from 1 as the user sees them, inside a list of
// `setCount` sets. nullopt with `error` set otherwise.
std::optional<SetRange> parseSetRange(std::string_view text, int setCount, std::string& error);

// A typed time code: "HH:MM:SS:FF", each field digits only, minutes and
// seconds below 60, frames below the rounded rate. nullopt with `error` set
// otherwise.
std::optional<TimeCode> readTimeCode(std::string_view text, float fps, std::string& error);

// Moves the time codes of the sets in `range` by `frames` (negative: earlier).
// Refused, naming the first such set, when a time would go below
// 00:00:00:00 or past 23:59:59 and the last frame of that second.
SetsEdit shiftSets(std::vector<SubtitleSet> sets, SetRange range, long long frames, float fps);
// The same by as many frames as put the ON of the first set in `range`
// that has one on `start`.
SetsEdit shiftSetsTo(std::vector<SubtitleSet> sets, SetRange range, const TimeCode& start, float fps);

// How a change of frame rate treats the time codes.
enum class KeepOnRateChange {
    Time,    // each time code moves to the nearest frame at the new rate
    Frames,  // each frame number stays (a film at 23.976 shown at 25 runs faster)
};

struct RateChange {
    float fromFps = 25, toFps = 25;
    KeepOnRateChange keep = KeepOnRateChange::Time;
    // Y positions scale from one picture height to the other (rounded, then
    // kept inside 0 .. maxY) when the heights differ.
    int fromHeight = 0, toHeight = 0, maxY = 0;
};
SetsEdit changeFrameRate(std::vector<SubtitleSet> sets, const RateChange& change);

// Set k's line A and line B become two sets of one line each (in line B),
// the time from ON to OFF divided at the proportion of their characters.
// Refused when set k has fewer than two lines.
SetsEdit splitSet(std::vector<SubtitleSet> sets, int k, float fps);
// Sets k and k + 1 become one: the first's text becomes line A, the
// second's line B (a set's two lines joined with a space), the time from the
// first ON to the last OFF, the first's Y.
SetsEdit mergeSets(std::vector<SubtitleSet> sets, int k);

// The time code of a frame at `fps` as the user reads it ("set 4 would
// start at -00:00:01:05").
std::string frameText(long long frame, float fps);
