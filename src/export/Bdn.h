#pragma once
#include <string>
#include <vector>

#include "export/SubtitleTrack.h"

// The names a BDN description gives a picture size and frame rate.
struct BdnFormat {
    bool ok = false;
    std::string videoFormat;  // "480i", "576i", "720p", "1080i", "1080p"
    std::string frameRate;    // "23.976", "24", "25", "29.97", "50", "59.94"
    std::string error;        // why a size or rate has no name
};
BdnFormat bdnFormat(int width, int height, float fps);

// A frame number as a non-drop HH:MM:SS:FF at the nominal rate (30 for
// 29.97, 24 for 23.976): what the authoring tools count in.
std::string bdnTimeCode(long long frame, float fps);

struct BdnEvent {
    long long inFrame = 0, outFrame = 0;
    std::string file;  // file name beside the XML
    PixelBox box;      // where the picture sits on the full frame
    bool forced = false;
};

// Cuts each event at the next one's InTC where they overlap, as the screen
// of a SUP shows them: a later subtitle takes the screen over. An event that
// the next one starts with (same InTC) is taken out, into `dropped` when
// given. `events` are in time order.
void cutAtNextEvent(std::vector<BdnEvent>& events, std::vector<BdnEvent>* dropped = nullptr);

// NAME.xml of a BDN (version 0.93) subtitle description. `title` and the
// file names are file-system names: kept when UTF-8, otherwise converted from
// Windows-1252, control characters as blanks. The XML is UTF-8.
std::string bdnXml(const std::string& title, const std::string& languageCode, const BdnFormat& format, float fps,
                   const std::vector<BdnEvent>& events);
