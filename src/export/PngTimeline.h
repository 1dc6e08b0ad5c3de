#pragma once
#include <string>
#include <vector>

#include "export/SetSpans.h"
#include "io/Files.h"
#include "project/TimeCode.h"

// The timeline that goes beside a PNG sequence: an XML sequence for video
// editors (the interchange format of Final Cut Pro 7, "xmeml" version 4,
// which most editors import) that puts each picture on one video track at
// its ON frame for its frames, and a CSV table of the same for scripts.
struct PngTimelineJob {
    std::string folder;   // the PNG folder, with its trailing separator
    std::string name;     // base name of the pictures (NAME0001.png, ...)
    int width = 0, height = 0;
    float fps = 0;
    int setCount = 0;     // sets of the run, set k as picture k + 1
    // Whether set k got a picture (sets without text get none); empty: all.
    std::vector<bool> hasPicture;
    SetSpans spans;
    std::vector<std::string> onText, offText;  // the list's time codes per set ("" when none)
    // The programme start: the time code of the sequence's first frame (the
    // clips keep their frames from it; onText and offText carry it already).
    TimeCode start;
};

// NAME.xml
std::string fcpXmlPath(const std::string& folder, const std::string& name);
// NAME_timing.csv
std::string timingCsvPath(const std::string& folder, const std::string& name);

// The XML text (UTF-8). Picture paths are absolute file URLs.
std::string buildFcpXml(const PngTimelineJob& job);
// One row per picture: picture,on,off,start,end,frames (CR LF lines). on and
// off are the list's time codes with the programme start added; start and end (exclusive) the frames the
// picture is shown, as in the XML; a picture that is not shown has empty
// start and end and 0 frames.
std::string buildTimingCsv(const PngTimelineJob& job);

// Writes both files (each in one step); the error names the file.
files::Result writePngTimeline(const PngTimelineJob& job, std::vector<std::string>& written);
