#pragma once
#include <ctime>
#include <string>
#include <vector>

#include "export/SubtitleTrack.h"
#include "project/TimeCode.h"

// EBU subtitle lists (.stl): a 1024-byte general subtitle information block
// and 128-byte text and timing blocks, one per set (more for long text).
enum class StlMode { Teletext, Open };

struct StlOptions {
    StlMode mode = StlMode::Teletext;
    // Programme start (TCP): added to every set's time code, since the
    // project counts from the start of its movie.
    TimeCode start;
    std::string title;       // programme title (UTF-8 or Windows-1252)
    int languageCode = 0;    // EBU language code (0: unknown)
    bool centred = false;    // justification: centred, else left
    int height = 576;        // picture height: a set's Y is mapped to a row of it
    int stripHeight = 32;    // height of one line's strip (line B sits one below line A)
    std::vector<int> setY;   // strips Y of each set of the list, by its index
    std::tm date{};          // creation and revision date
};

struct StlFile {
    std::string bytes;
    int subtitles = 0, blocks = 0;
    int blank = 0;                   // sets with nothing to show, left out
    int dfcRate = 25;                // 25 (STL25.01) or 30 (STL30.01)
    std::vector<std::string> notes;  // what could not be written exactly
    std::string error;               // set when nothing could be written
};

// The 25 or 30 frames of the disk format for a project rate: 25 for 25 and
// 50 frames a second, 30 for the others (a 23.976 project is converted).
int stlRateFor(float fps);

// The whole file for the timed sets (ordered by ON time), at rate `fps`.
StlFile writeStl(const TrackSets& sets, float fps, const StlOptions& options);

// EBU language code of a two-letter ISO 639-1 code; -1 when unknown.
int stlLanguageCode(const std::string& iso639);
