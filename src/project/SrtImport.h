#pragma once
#include <string>
#include <string_view>

#include "project/SubtitleList.h"

struct SrtImportResult {
    int cues = 0;            // cues that became sets
    bool convertedFromUtf8 = false;
};

// Converts a SubRip file's bytes into subtitle rows appended to `list` (one
// set per cue; ON and OFF at `fps`, every row's Y = `stripsY`).
SrtImportResult importSrtText(std::string_view bytes, float fps, int stripsY, SubtitleList& list);

// One SubRip time ("00:01:02,530") as an HH:MM:SS:FF text at `fps`.
std::string srtTimeToTimeCode(std::string_view time, float fps);

// Drops the formatting bitmap captions cannot show: <i>, <b>, <u>, <s>,
// <font ...> and their closing tags, and {\...} override blocks.
std::string stripSrtFormatting(std::string_view line);

// The file's text as single-byte Windows-1252: UTF-8 (with or without a
// byte-order mark) and UTF-16 with a mark are converted, other bytes kept.
std::string srtToSingleByte(std::string_view bytes, bool* converted = nullptr);
