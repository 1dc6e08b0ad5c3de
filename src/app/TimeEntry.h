#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "project/TimeCode.h"

class EditorContext;
class LineEditor;

// What may be typed or pasted into one of the four fields of an ON or OFF
// time, read against the time the four fields hold now:
//   "HH:MM:SS:FF", "MM:SS:FF" or "SS:FF"  the whole time;
//   a number                               that field's part; in the frames
//                                          field a number past the last frame
//                                          of a second is a frame count;
//   "+N" / "-N", "+Ns" / "-Ns"             N frames / seconds later or earlier
//                                          (the Up/Down and Page Up/Down keys);
// Parts out of range (say minute 75) and anything else are refused.
// `maxHours` is the highest hour the fields take; steps stop at 0 and at it.
std::optional<TimeCode> typedTime(std::string_view text, int part, const TimeCode& now, float fps, int maxHours);

// A time field event that carries typed text: puts the time it names into
// the four fields of its ON or OFF time and writes it to the selected set.
// Refused text is not written: the field turns red and keeps it. Returns
// whether the time was taken.
bool applyTypedTime(EditorContext& cx, LineEditor& lines, int id, const std::string& text);

// The hook of the dispatch: true when `e` is text typed into a time field
// (and was handled, taken or refused).
struct Event;
bool applyTypedTimeEvent(EditorContext& cx, LineEditor& lines, const Event& e);
