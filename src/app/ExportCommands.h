#pragma once
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "export/AviWriter.h"
#include "export/SubtitleExport.h"
#include "render/Compositor.h"

class Controller;
struct ExportResult;
class Image;
class Ui;

// The progress display of a running export. The export dialog draws its bar
// and "v/t" label; the command-line tool prints a line.
class ExportProgress {
public:
    virtual ~ExportProgress() = default;
    // The run begins: show the display with an empty bar and the label
    // `first` "/" `total`.
    virtual void start(int first, int total) = 0;
    // `value` of `total` pictures are done.
    virtual void update(int value, int total) = 0;
};

// How an export ended and what to tell the user.
struct ExportReport {
    enum class Outcome {
        Done,     // every picture written
        Failed,   // stopped at a folder, render or file error
        Refused,  // nothing was started (the export dialog stays open)
    };
    Outcome outcome = Outcome::Refused;
    std::string title, text;  // the closing message box
    int pictures = 0;         // subtitle-set pictures written (a poster not counted)
    int total = 0;            // pictures the run was to write
    int skipped = 0;          // sets without text that got no picture (PNG sequence)
    std::string folder;       // output folder
    std::vector<std::string> written;  // every file written, in order

    bool done() const { return outcome == Outcome::Done; }
    bool refused() const { return outcome == Outcome::Refused; }
};

// The exports of the main window: PNG sequence, IFF pictures with a Scala
// script, the timed AVI movie and the single capture. Every run walks the
// subtitle list the way the user would see it: it selects each set, puts its
// lines into the line fields, renders it and refreshes the line editor, so
// the preview follows the export.
class ExportCommands {
public:
    ExportCommands(Controller& controller, Ui& ui);

    // Where the closing reports and notices go; the Ui's message box unless
    // set (the export dialog shows them over itself).
    std::function<void(const std::string& title, const std::string& text)> notify;

    // Asks for the compression of a timed movie: the codecs of this build
    // (uncompressed first) and the choice to preselect. Nothing when the
    // user cancels. Unset: the remembered choice is taken without asking.
    using CodecChooser =
        std::function<std::optional<CodecChoice>(const std::vector<AviCodecInfo>& codecs, const CodecChoice& last)>;
    CodecChooser chooseCodec;

    // Worker threads of the PNG and IFF exports; 0: one per core (at most 8),
    // -1: everything on the calling thread.
    int workerThreads = 0;

    // Runs of more than kLargeRunPictures pictures are asked about first
    // (a headless run answers No); true starts them without asking.
    bool allowLargeRuns = false;

    // PNG sequence: one transparent 32-bit picture per set into "PNG_Output",
    // with the editors' XML timeline NAME.xml and NAME_timing.csv beside them;
    // sets whose two lines are blank get none (picture k stays set k).
    ExportReport exportPngSequence(ExportProgress* progress = nullptr);
    // IFF pictures, the instruction poster and the Scala script into
    // "IFF-SCALA_Output"; refused when the size is not a multiple of 8 or the
    // Scala version is not supported. Afterwards the background colour is
    // the applied preset's again.
    ExportReport exportIffScala(int scalaTarget, ExportProgress* progress = nullptr);
    // The timed AVI movie "AVI_Output/<name>_subtitles.avi": blank frames
    // while no set is on, each set's picture for its frames on, over the
    // background colour. Asks for the compression first (and remembers it
    // for the rest of the run); a cancelled choice starts nothing. On any
    // failure no movie file is left.
    ExportReport exportTimedAvi(ExportProgress* progress = nullptr);
    // A subtitle track (BDN XML + PNG, SUP, VobSub, DVB, SubRip, WebVTT)
    // into the format's folder: each timed set at its own ON and OFF time
    // codes, pictures rendered as for the PNG sequence. Sets without both
    // time codes, with OFF not after ON or with nothing to show are left out
    // and counted in the report. Refused when the format cannot name the
    // project's size or frame rate.
    // Setting `cancel` stops the run; a cancelled run leaves no file.
    ExportReport exportSubtitleTrack(SubtitleFormat format, bool indexedPng = false,
                                     ExportProgress* progress = nullptr, const std::atomic<bool>* cancel = nullptr);
    // The selected set (the set being typed when no row is selected) as one
    // transparent picture into "Capture_Output".
    ExportReport captureScreen();

    // --- Video for editors (overlay movie, burn-in) ---
    // The transparent overlay movie "OVERLAY_Output/<name>_overlay.<ext>" in
    // one of overlayCodecs(): fully transparent while no set is on, each set
    // (as the PNG export draws it) from its own ON frame, at the project rate
    // as a fraction (29.97 is 30000/1001). On any failure no file is left.
    ExportReport exportOverlayMovie(const std::string& codec, ExportProgress* progress = nullptr,
                                    const std::atomic<bool>* cancel = nullptr);
    // The captions burned into a copy of `movie` (H.264, sound copied), each
    // set from its ON to its OFF time in the movie's own time; scaled with
    // the picture when the movie's size differs from the project's. `progress`
    // gets frames done, the total and seconds left (negative while unknown).
    // A failed or cancelled run leaves no file.
    ExportReport burnIntoMovie(const std::string& movie, const std::string& output, int crf, const std::string& preset,
                               const std::function<void(int64_t, int64_t, double)>& progress = {},
                               const std::atomic<bool>* cancel = nullptr);
    // --- end of video for editors ---

    // Shows a report's message through `notify`.
    void show(const ExportReport& report);

    // The shortened project name the PNG, IFF and AVI exports use: its file
    // part without any occurrence of the project extension (letter case
    // compared exactly). Stays in the state afterwards.
    void shortenProjectName();

private:
    // One step of the walk: select `selectRow`, put rows lineARow and
    // lineARow + 1 into the line fields, render them for `target` into `out`
    // and refresh the line editor.
    void renderWalkStep(int lineARow, int selectRow, RenderTarget target, Image& out);
    // Start of a run: the list ignores clicks; blend and border style come
    // from their controls once.
    void beginRun();
    // End of a run: clicks count again, row 0 is selected and shown.
    void endRun(bool selectFirstRow);
    void refreshBgSwatch();
    void writePngTimelineFiles(ExportResult& result, const std::vector<bool>& hasPicture);
    void message(const std::string& title, const std::string& text);
    // A refusal when the font size has no glyphs (the pictures would show
    // strips without text) or when a large run is not confirmed; nullopt to go on.
    std::optional<ExportReport> refusalBeforeRun(int pictures);

    Controller& c_;
    Ui& ui_;
};

// Runs above this many pictures need a confirmation.
constexpr int kLargeRunPictures = 100000;
std::string largeRunQuestion(int pictures);

// Texts of the export dialog.
extern const char* const kExportDialogTitle;  // "Export/Render Subtitles"
extern const char* const kExportHelpText;     // the three paragraphs of the help box
// The AVI button: the profile's display text and the frame rate the movie gets.
std::string aviButtonCaption(const std::string& profileText, float fps);
extern const char* const kAviNoTimingsText;  // the list gives no movie frames
