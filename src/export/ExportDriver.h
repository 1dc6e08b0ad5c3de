#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Notice.h"
#include "export/Ilbm.h"
#include "export/ScalaScript.h"
#include "base/Image.h"
#include "export/RowRange.h"

// Draws subtitle set setIndex (0-based) into `out`, a fresh fully
// transparent canvas of the export size. Returns false when it cannot.
using RenderSetFn = std::function<bool(int setIndex, Image& out)>;
// The same render into a fully transparent canvas, which also tells the rows
// it drew into (every visible pixel lies in them).
using RenderRowsFn = std::function<bool(int setIndex, Image& out, RowRange& rows)>;
// Encodes a picture as a 32-bit PNG with alpha and writes it to path.
using PngEncoderFn = std::function<bool(const Image& image, const std::string& path, std::string& error)>;
// Progress value of total; also the moment to let pending window events run.
using ProgressFn = std::function<void(int value, int total)>;

struct ExportResult {
    bool ok = false;
    std::string error;        // names the folder or file that failed
    int pictures = 0;         // subtitle-set pictures written (the poster not counted)
    int skipped = 0;          // sets left out because they have no text
    std::string folder;       // the output folder
    std::vector<std::string> written;  // every file written, in order
};

// Sets walked by the PNG sequence: rows 0, 2, 4, ... up to the last row.
int pngSetCount(int rows);
// Sets of the IFF export: rows div 2.
int iffSetCount(int rows);

// True when the IFF export can take this size (both multiples of 8).
bool iffSizeAllowed(int width, int height);
extern const char* const kIffSizeErrorText;

// Pictures in flight in a PNG sequence with worker threads: canvases in the
// pool and threads encoding them. The canvases together stay within
// kPngPoolBudget bytes (at least one canvas: then rendering and encoding
// take turns).
constexpr uint64_t kPngPoolBudget = uint64_t(768) << 20;
struct PngPool {
    int canvases = 0;
    int workers = 0;
};
PngPool pngPool(int width, int height, int encodeThreads, int pictures, uint64_t budget = kPngPoolBudget);

struct PngSequenceJob {
    std::string projectDir;  // "" = working folder
    std::string name;        // shortened project name
    int width = 0, height = 0;
    int setCount = 0;
    RenderSetFn render;
    // Writes the picture; with a run of several pictures it may leave the
    // flush to the disk to the end of the run (files::Sync::AtRunEnd): the
    // run syncs the folder once before it reports success.
    PngEncoderFn encode;
    ProgressFn progress;  // optional
    // 0: render, encode and write one picture after the other on the calling
    // thread. N > 0: render on the calling thread while N worker threads
    // encode and write the pictures before it; `encode` must then be safe to
    // call from several threads at once. Either way `render` and `progress`
    // run on the calling thread, in set order.
    int encodeThreads = 0;
    // Optional: true for a set that gets no picture (both lines blank). Its
    // number is not reused, so picture k is always set k; progress counts
    // the pictures to write.
    std::function<bool(int setIndex)> skip = nullptr;
    // Bytes the canvases in flight may take together (see pngPool).
    uint64_t poolBudget = kPngPoolBudget;
    // Optional, in place of `render`: only the rows it drew are cleared
    // before its canvas takes the next set, instead of the whole canvas.
    RenderRowsFn renderRows = nullptr;
};

// True for a numbered picture of an export named `base`: base, four digits,
// ext. Longer numbers are not taken, as "Film" + "20001" could as well be
// picture 1 of "Film2".
bool isEarlierPicture(const std::string& file, const std::string& base, const std::string& ext);

// Creates "PNG_Output" below projectDir and writes picture k (from 1) of
// every set; after a run that succeeded, removes the numbered pictures above
// the new count that an earlier run of that name left. Stops at the first folder, render or file error; with worker
// threads, pictures after the failing one that were already under way are
// finished and listed in `written`, but not counted in `pictures`.
ExportResult exportPngSequence(const PngSequenceJob& job);

struct IffScalaJob {
    std::string projectDir;
    std::string name;  // shortened project name; files use its first 16 characters
    int width = 0, height = 0;
    float fps = 0;
    int scalaTarget = 0;
    std::vector<SetTiming> sets;  // one per set, in list order
    // The sets that may get a picture (one entry per set; empty: all). Only
    // the sets the schedule shows get one (export/SetSchedule.h).
    std::vector<bool> pictured;
    Image poster;                 // the instruction picture, width x height
    RenderSetFn render;
    ProgressFn progress;  // optional
    Notice notice;      // optional; shows the whole-second note of MM200
    IlbmOptions ilbm;
    // As in PngSequenceJob: N > 0 reduces and writes the pictures on N worker
    // threads while the calling thread renders, in set order. The files are
    // the same either way.
    int encodeThreads = 0;
    // True when `render` sets every pixel itself (the opaque render does):
    // its canvas is then not cleared first.
    bool renderClears = false;
};

// Creates "IFF-SCALA_Output" below projectDir, writes the poster, one IFF
// picture per set the script shows (numbered by set) and the Scala script (the script last, so that it never
// names a picture that failed). Stops at the first error (with worker
// threads, pictures after it that were under way are finished, as in
// exportPngSequence). After a run that succeeded, the numbered pictures above
// the new count that an earlier run of that name left are removed.
ExportResult exportIffScala(const IffScalaJob& job);

// The set a capture takes: the selected row's set (its line A row); no
// selection takes the first set.
int captureRow(int selectedRow);

struct CaptureJob {
    std::string projectDir;
    std::string projectName;  // not shortened; the capture removes ".kvl8" itself
    int width = 0, height = 0;
    int row = 0;  // line A row of the set, see captureRow
    RenderSetFn render;
    PngEncoderFn encode;
};

// Makes "Capture_Output" below projectDir (with missing parents) and writes
// base + "_" + RRRR + ".png". On success `written` holds the path.
ExportResult captureSet(const CaptureJob& job);

extern const char* const kCaptureTitle;    // "Capture Screen"
std::string captureMessage(const std::string& path);  // "Capture screenshot saved As:\n" + path
