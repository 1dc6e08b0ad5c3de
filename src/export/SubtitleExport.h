#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "export/AssSubtitles.h"
#include "export/ExportDriver.h"
#include "export/SubtitleStreamWriter.h"
#include "export/SubtitleTrack.h"

// Subtitle tracks for the tools users finish their work in.
// Stl and Scc are the broadcast files (export/BroadcastExport.h): the track
// export hands them on to exportStl (teletext, programme start 0) and
// exportScc.
enum class SubtitleFormat { Bdn, Sup, VobSub, Dvb, SubRip, WebVtt, Stl, Scc, Ass };

struct SubtitleFormatInfo {
    SubtitleFormat format;
    const char* cliName;  // "bdn", "sup", "vobsub", "dvb", "srt", "vtt", "stl", "scc", "ass"
    const char* label;    // for the export dialog
    bool pictures;        // rendered pictures (false: text only)
};
const std::vector<SubtitleFormatInfo>& subtitleFormats();
const SubtitleFormatInfo* subtitleFormatByName(std::string_view cliName);
const SubtitleFormatInfo& subtitleFormatInfo(SubtitleFormat format);

struct SubtitleExportJob {
    SubtitleFormat format = SubtitleFormat::SubRip;
    std::string projectDir;  // "" = working folder
    std::string name;        // shortened project name
    int width = 0, height = 0;
    float fps = 0;
    TrackSets sets;
    RenderSetFn render;    // full-frame transparent render of a set (by its list index)
    // True when `render` sets every pixel of the canvas itself (the alpha
    // render of the project does): the canvas it gets may then still hold
    // an earlier set and is not cleared first.
    bool renderClears = false;
    // Optional, in place of `render`: the same render, which also tells the
    // rows it drew into (every visible pixel lies in them); only those rows
    // are then searched for the visible pixels, and (without renderClears)
    // cleared before the canvas takes another set. The files are the same.
    std::function<bool(int setIndex, Image& out, RowRange& rows)> renderRows;
    ProgressFn progress;   // optional: sets done of sets to do
    const std::atomic<bool>* cancel = nullptr;  // optional: set to stop; nothing is left behind
    bool indexedPng = false;      // BDN: 8-bit palette pictures
    bool matroska = true;         // VobSub: also NAME.mks
    // ISO 639 code of the track's language (two or three letters; "und":
    // not told): the BDN description, the VobSub index, the Matroska and
    // MPEG-TS tracks. Refused when language::refusal() says so.
    std::string language = "und";
    // ASS: the look of the pictures the styles follow.
    AssLook assLook;
    // SubRip, WebVTT and ASS: the language in the file name (NAME.fr.srt), as
    // players look for it beside a movie; not for "und".
    bool languageInFileNames = false;
    // Only the forced sets go into the track (a forced-only track for the
    // foreign dialogue of a film); the others are counted as left out.
    bool forcedOnly = false;
    // 0: one set after the other on the calling thread. N > 0: the calling
    // thread renders while up to N worker threads find the visible pixels
    // and encode (BDN pictures, SUP objects); the files are the same either
    // way. `render` and `progress` always run on the calling thread.
    int workerThreads = 0;
    // Makes the encoder of the VobSub and DVB streams (the program passes
    // createSubtitleStreamWriter of the media floor).
    std::function<std::unique_ptr<SubtitleStreamWriter>(SubtitleStreamKind)> makeStreamWriter;
};

struct SubtitleExportResult : ExportResult {
    int subtitles = 0;  // subtitles in the track
    int untimed = 0, reversed = 0, blank = 0;  // sets left out
    int covered = 0;  // BDN: left out, a later set starts at the same time
    int notForced = 0;  // left out of a forced-only track
    std::vector<int> untimedSets, reversedSets;  // which (from 0)
    bool cancelled = false;  // stopped through job.cancel: no file written
};

// Refusal of a SUP or DVB track with a set shown after the latest time its
// time stamps can hold (SUP 13:15:00:00, DVB 26:30:00:00), naming the first
// such set; empty when every set fits, and for the other formats.
std::string subtitleTimeLimitRefusal(SubtitleFormat format, const TrackSets& sets, float fps);

// Refusal before anything is written (size or rate the format cannot name);
// empty when the job can run.
std::string subtitleExportRefusal(SubtitleFormat format, int width, int height, float fps);

// Creates the format's folder below projectDir and writes the track. Stops
// at the first error; a track file is only put in place when complete.
SubtitleExportResult exportSubtitleTrack(const SubtitleExportJob& job);

// "N subtitles written." and a line per reason naming the sets left out.
std::string subtitleExportMessage(const SubtitleExportResult& r);
