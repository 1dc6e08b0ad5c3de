#pragma once
#include <string>

#include "base/Rgb.h"

#include "export/SubtitleTrack.h"

enum class TextSubtitleFormat { SubRip, WebVtt };

struct TextSubtitles {
    std::string bytes;  // the whole file, UTF-8
    int cues = 0;
    int blank = 0;  // timed sets with nothing to show, left out
};

// The timed sets as a SubRip or WebVTT file, cues in time order (sets with
// the same ON in list order): one cue per set holding its
// non-blank lines (line A above line B), times in milliseconds at `fps` such
// that the SubRip reader gives the same frames back. Text is UTF-8 and the
// broken bar the list keeps instead of '|' is written as '|' again. SubRip
// lines end in CR LF, WebVTT lines in LF. Italics are written as <i> and
// </i> in both. A text colour other than white wraps each SubRip line in
// <font color="#rrggbb"> and each WebVTT line in the colour class of
// nearestCueColour (<c.yellow>), unless that is white.
TextSubtitles writeTextSubtitles(const TrackSets& sets, float fps, TextSubtitleFormat format,
                                 Rgb textColor = Rgb{255, 255, 255});

// The WebVTT colour class (white, lime, cyan, red, yellow, magenta, blue,
// black) nearest to a colour.
std::string nearestCueColour(Rgb colour);
