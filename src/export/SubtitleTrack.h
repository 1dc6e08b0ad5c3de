#pragma once
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "base/Image.h"
#include "export/RowRange.h"
#include "project/SubtitleList.h"
#include "project/SubtitleSet.h"
#include "project/FrameRate.h"
#include "project/TimeCode.h"

// The timed sets of a subtitle list as the subtitle-track exports see them:
// each set with its own ON and OFF time codes, in list order.
struct TrackSet {
    int set = 0;  // index of the set in the list (0-based)
    std::string lineA, lineB;
    TimeCode on, off;
    long long onFrame = 0, offFrame = 0;
    bool forced = false;  // shown even while subtitles are off
};

struct TrackSets {
    std::vector<TrackSet> sets;
    int untimed = 0;   // ON or OFF missing: left out
    int reversed = 0;  // OFF at or before ON: left out
    int blank = 0;     // nothing to show (filled in by the writers that look at text or pictures)
    int total = 0;     // sets in the list
    std::vector<int> untimedSets, reversedSets;  // which sets (from 0)
    int leftOut() const { return untimed + reversed + blank; }
};

// Walks sets 0 .. (rows + 1) / 2 - 1. A set is timed when both parts of its
// line A row's timing are non-empty after trimming spaces.
TrackSets collectTrackSets(const SubtitleList& list, float fps);
TrackSets collectTrackSets(const std::vector<SubtitleSet>& sets, float fps);

// True when a line shows nothing (empty after trimming spaces).
bool blankLine(const std::string& line);

// The exact frame rate behind a profile's rate (see FrameRate); 25 frames a
// second where the profile gives none, so times can still be written.
FrameRate exactFrameRate(float fps);

// Milliseconds of a time code for the text formats: its own HH:MM:SS and the
// frames as the smallest millisecond count from which the SubRip reader gets
// the same frame back at `fps`. A time code outside the usual ranges is
// first rewritten from its frame number.
long long timeCodeMilliseconds(const TimeCode& t, float fps);

// "HH:MM:SS,mmm" (SubRip) or "HH:MM:SS.mmm" (WebVTT).
std::string clockText(long long ms, char fractionSeparator);

// 90 kHz clock ticks of a frame number at the exact rate: the last tick not
// after the frame starts.
long long frameTo90k(long long frame, float fps);

// The rectangle of the visible pixels (alpha > 0) of a picture; empty (w = 0)
// when nothing is visible.
struct PixelBox {
    int x = 0, y = 0, w = 0, h = 0;
    bool empty() const { return w <= 0 || h <= 0; }
};
PixelBox visibleBox(const Image& picture);
PixelBox visibleBox(const Image& picture, int y0, int y1);  // rows y0 .. y1 - 1 only
Image cropPicture(const Image& picture, const PixelBox& box);

// RowRange (export/RowRange.h): where a render says it drew, so that the search
// for visible pixels leaves the other rows, all transparent, alone.

// Splits the visible rows of a picture into at most two bands (line A above
// line B) at the widest run of fully transparent rows between them. Only
// the rows of `rows` are looked at.
std::vector<PixelBox> visibleBands(const Image& picture, RowRange rows = {});

// A picture of palette indices with straight-alpha palette colours.
struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};
struct PalettePicture {
    int width = 0, height = 0;
    std::vector<uint8_t> indices;
    std::vector<Rgba> palette;  // entry 0 is fully transparent
};

// Palette version of a picture with entry 0 transparent and at most
// maxColours further entries: the picture's own colours when they fit (every
// fully transparent pixel counts as entry 0), otherwise quantised.
bool toPalettePicture(const Image& picture, int maxColours, PalettePicture& out, std::string& error);
