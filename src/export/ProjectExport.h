#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Notice.h"
#include "export/AviWriter.h"
#include "export/BurnIn.h"
#include "export/ExportReport.h"
#include "export/OverlayWriter.h"
#include "export/SubtitleExport.h"
#include "project/SubtitleSet.h"
#include "project/TimeCode.h"
#include "render/FontSheet.h"
#include "render/StripsConfig.h"

// The exports of a project as plain work: sets, style and sizes in, files
// and an ExportReport out. No editor and no window: the main window's export
// commands and kalvero-cli both run these.

// The writers of the media floor, handed down by the front end.
struct MediaWriters {
    std::function<std::unique_ptr<AviWriter>()> avi;
    std::function<std::unique_ptr<OverlayWriter>()> overlay;
    std::function<bool(const std::string& codec)> overlayAvailable;
    std::function<std::unique_ptr<MovieBurner>()> burner;
    std::function<std::unique_ptr<SubtitleStreamWriter>(SubtitleStreamKind)> subtitleStream;
};

struct ProjectExportInput {
    std::vector<SubtitleSet> sets;  // the project's sets, in list order
    StripsConfig style;             // stripsYPos: the Y of sets without their own
    const FontSheet* font = nullptr;
    int width = 0, height = 0;
    float fps = 0;
    std::string projectDir;         // "" = the working folder
    std::string name;               // shortened project name (the capture: the project's file name)
    std::string titlePrefix, versionText;  // the last line of the IFF poster
    MediaWriters media;

    Notice notice;                  // warnings and notes during a run
    ExportProgress* progress = nullptr;
    // Called once the checks passed, before the first file is written.
    std::function<void()> starting;
    // Called before set k is drawn (kBlankPicture: the empty picture); the
    // window shows the set with it, so that the preview follows the run.
    std::function<void(int set)> drawing;
    // Called after each step; the window lets its pending events run.
    std::function<void()> idle;
    // Runs of more than kLargeRunPictures pictures are asked about with
    // `confirm` (unset: No) unless allowLargeRuns.
    std::function<bool(const std::string& question)> confirm;
    bool allowLargeRuns = false;
    // Worker threads of the PNG and IFF exports; 0: one per core (at most 8),
    // -1: everything on the calling thread.
    int workerThreads = 0;
    // The subtitle tracks' language (ISO 639; "und": not told) and whether
    // SubRip, WebVTT and ASS files carry it in their names (NAME.fr.srt).
    std::string language = "und";
    bool languageInFileNames = false;
    // The subtitle tracks (not STL and SCC) take the forced sets only.
    bool forcedOnly = false;
    // Programme start: added to every time code of the subtitle tracks and
    // of the PNG sequence's timeline and timing table (00:00:00:00: none).
    TimeCode programmeStart;
};

// The sets with the programme start added to their time codes. Refused,
// naming the first such set, when a time code would go past the end of the
// day.
struct StartedSets {
    std::vector<SubtitleSet> sets;
    std::string error;
    bool ok() const { return error.empty(); }
};
StartedSets setsFromProgrammeStart(const std::vector<SubtitleSet>& sets, const TimeCode& start, float fps);

// Runs above this many pictures need a confirmation.
constexpr int kLargeRunPictures = 100000;
std::string largeRunQuestion(int pictures);
extern const char* const kAviNoTimingsText;  // the list gives no movie frames

// PNG sequence: one transparent 32-bit picture per set into "PNG_Output",
// with the editors' XML timeline NAME.xml and NAME_timing.csv beside them;
// sets whose two lines are blank get none (picture k stays set k).
// Setting `cancel` stops the run before its next picture; the pictures it
// wrote are removed again.
ExportReport exportPngPictures(const ProjectExportInput& in, const std::atomic<bool>* cancel = nullptr);
// IFF pictures, the instruction poster and the Scala script into
// "IFF-SCALA_Output"; refused when the size is not a multiple of 8 or the
// Scala version is not supported. `cancel` as for the PNG sequence.
ExportReport exportIffPictures(const ProjectExportInput& in, int scalaTarget,
                               const std::atomic<bool>* cancel = nullptr);
// The timed AVI movie "AVI_Output/<name>_subtitles.avi". `chooseCodec` is
// asked once the checks passed (nothing: the user cancelled, nothing is
// written); unset, `codec` is taken. Setting `cancel` stops the run; a
// cancelled run leaves no file.
using AviCodecChooser = std::function<std::optional<CodecChoice>()>;
ExportReport exportAviMovie(const ProjectExportInput& in, const CodecChoice& codec,
                            const AviCodecChooser& chooseCodec = {}, const std::atomic<bool>* cancel = nullptr);
// A subtitle track (BDN XML + PNG, SUP, VobSub, DVB, SubRip, WebVTT).
// Setting `cancel` stops the run; a cancelled run leaves no file.
ExportReport exportTrack(const ProjectExportInput& in, SubtitleFormat format, bool indexedPng,
                         const std::atomic<bool>* cancel = nullptr);
// Set `set` as one transparent picture into "Capture_Output", named after
// line A row `row`.
ExportReport exportCapture(const ProjectExportInput& in, int set, int row);
// The transparent overlay movie "OVERLAY_Output/<name>_overlay.<ext>".
ExportReport exportOverlay(const ProjectExportInput& in, const std::string& codec,
                           const std::atomic<bool>* cancel = nullptr);
// The captions burned into a copy of `movie`.
ExportReport exportBurnIn(const ProjectExportInput& in, const std::string& movie, const std::string& output, int crf,
                          const std::string& preset, const std::function<void(int64_t, int64_t, double)>& progress,
                          const std::atomic<bool>* cancel = nullptr);
