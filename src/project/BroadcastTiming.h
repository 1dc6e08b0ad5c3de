#pragma once
#include <string>
#include <string_view>

#include "project/TimeCode.h"

// Time codes of the broadcast subtitle files (EBU subtitle lists count 25 or
// 30 frames a second, caption files 29.97 with dropped frame numbers) and
// the project's frames.
namespace broadcast {

// True for the rates of the 1000/1001 family (23.976, 29.97, 59.94).
bool ntscFamily(float fps);

// The frame of rate `to` nearest to the start of `frame` at rate `from`,
// both taken at their exact rates (29.97 as 30000/1001).
long long convertFrame(long long frame, float from, float to);

// A time code with its fields in range (frames below the rounded rate,
// seconds and minutes below 60); one that is not is rewritten from its frame.
TimeCode normalTimeCode(const TimeCode& t, float fps);

// The project's time code of a frame: one whose frame (frameOf) is that
// frame again, where timeCodeOfFrame would need a frame field of the
// rounded rate.
TimeCode timeCodeForFrame(long long frame, float fps);

// Label arithmetic in a time code of `base` frames a second: the sum and the
// difference of two time codes (hours past 23 wrap, as on tape), and its
// label frame count.
long long labelFrames(const TimeCode& t, int base);
TimeCode labelTimeCode(long long frames, int base);

// "HH:MM:SS:FF" (or with ';' or '.') read strictly: four fields of digits,
// frames below `base`; false when the text is not one.
bool parseStrictTimeCode(std::string_view text, int base, TimeCode& out);

// Drop-frame time codes at 29.97: the label of a frame count and back.
std::string dropFrameText(long long frame);        // "HH:MM:SS;FF"
long long dropFrameNumber(const TimeCode& label);  // frame count of a drop-frame label
long long nonDropNumber(const TimeCode& label);    // frame count of a label counted at 30 a second

// A time code of `base` frames a second at another base: hours, minutes and
// seconds kept, the frames scaled to the nearest (at most base - 1).
TimeCode rescaleTimeCode(const TimeCode& t, int fromBase, int toBase);

// The picture split into 25 rows of the teletext raster: the row holding a
// pixel row (the nearest row start) and the first pixel row of a row.
int rowOfY(int y, int height);
int yOfRow(int row, int height);

}  // namespace broadcast
