#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "project/SubtitleSet.h"

// Reading a caption file (.scc, channel 1 of line-21 captions) into sets.
struct SccImportResult {
    bool ok = false;
    std::string error;               // why nothing was read, naming the line
    std::vector<SubtitleSet> sets;
    std::vector<std::string> notes;  // what could not be carried over exactly
};

// The largest caption file read (a feature film's captions take well under
// a megabyte).
constexpr size_t kMaxSccBytes = size_t(16) << 20;

// Pop-on captions become one set each (from the EOC that shows them to the
// EDM or EOC that takes them away); paint-on captions one set per caption
// painted; roll-up rows are joined two by two into sets at their carriage
// returns. Times are 29.97 frames a second (drop-frame with ';'), converted
// to the nearest frame at `fps`. `height` and `lineHeight` (one line's
// strip) place each set from its last row. On a fault of the file (odd
// parity, an unknown code, a time code going back, a line that is not
// one) nothing is read.
SccImportResult importScc(std::string_view bytes, float fps, int height, int lineHeight);
