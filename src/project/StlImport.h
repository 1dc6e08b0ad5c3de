#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "project/SubtitleSet.h"

// Reading an EBU subtitle list (.stl) into sets: teletext and open
// subtitles, Latin text (ISO 6937) converted to the model's Windows-1252.
struct StlImportResult {
    bool ok = false;
    std::string error;               // why nothing was read, naming the block
    std::vector<SubtitleSet> sets;   // one per subtitle, in file order
    std::vector<std::string> notes;  // what could not be carried over exactly
    bool teletext = false;
    int dfcRate = 25;
};

// `fps` is the project's rate (time codes of another rate are scaled),
// `height` its picture height and `lineHeight` the height of one line's
// strip (a one-line subtitle becomes line B, one line below the set's Y).
// The programme start (TCP) is taken off every time code when no subtitle
// starts before it. On any fault of the file nothing is read.
StlImportResult importStl(std::string_view bytes, float fps, int height, int lineHeight);
