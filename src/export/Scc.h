#pragma once
#include <string>
#include <vector>

#include "export/SubtitleTrack.h"

// Caption files of line-21 closed captions (.scc): pop-on captions on
// channel 1 at 29.97 frames a second with drop-frame time codes.
struct SccOptions {
    bool centred = false;   // rows centred on the 32 columns, else from column 0
    int height = 480;       // picture height: a set's Y places its rows
    int stripHeight = 32;   // height of one line's strip
    std::vector<int> setY;  // strips Y of each set of the list, by its index
};

struct SccFile {
    std::string bytes;
    int captions = 0;
    int blank = 0;                   // sets with nothing to show, left out
    std::vector<std::string> notes;  // what could not be written exactly
    std::string error;
};

// Each caption is loaded into the hidden memory in the frames before its ON
// frame (RCL, ENM, a preamble address code and tab offset per row, the
// text), shown by EOC on exactly its ON frame and erased by EDM on its OFF
// frame; a caption whose load does not fit before its ON frame is shown
// late and told in the notes.
SccFile writeScc(const TrackSets& sets, float fps, const SccOptions& options);
