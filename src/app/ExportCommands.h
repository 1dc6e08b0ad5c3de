#pragma once
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "export/AviWriter.h"
#include "export/ExportReport.h"
#include "export/ProjectExport.h"
#include "export/SubtitleExport.h"
#include "render/Compositor.h"

class Controller;
struct AppState;
class Ui;

// The writers of the media floor for the exports.
MediaWriters mediaWriters();
// The input of an export of the open project: its sets, style, size, rate,
// folder and shortened name, with `font` and the media writers.
ProjectExportInput projectExportInput(const AppState& s, const FontSheet& font);

// The exports of the main window: PNG sequence, IFF pictures with a Scala
// script, the timed AVI movie and the single capture. Each runs the plain
// export of export/ProjectExport.h over the project's sets; while it runs the
// window follows it: the list ignores clicks, each set is selected and shown
// in the line fields as it is drawn (the pictures come from the sets, never
// from the fields), and afterwards the first set is shown again.
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
    // The subtitle tracks take the forced sets only ("Forced sets only").
    bool forcedOnly = false;

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

    // The programme start the timed exports add (HH:MM:SS:FF at the
    // project's rate), kept in the state; the refusal when the text is not
    // such a time code (the state keeps its earlier start).
    std::string takeProgrammeStart(const std::string& text);

    // Shows a report's message through `notify`.
    void show(const ExportReport& report);

    // The shortened project name the PNG, IFF and AVI exports use: its file
    // part without any occurrence of the project extension (letter case
    // compared exactly). Stays in the state afterwards.
    void shortenProjectName();

private:
    // The input of a run with the window's hooks: notices through `notify`,
    // the walk followed in the window, the run begun and ended in the state.
    ProjectExportInput input(ExportProgress* progress);
    // Start of a run: the list ignores clicks; the border style comes from
    // its control once.
    void beginRun();
    // End of a run: clicks count again, row 0 is selected and shown.
    void endRun(bool selectFirstRow);
    void refreshBgSwatch();
    void message(const std::string& title, const std::string& text);
    struct RunEnd;

    bool running_ = false;
    Controller& c_;
    Ui& ui_;
};

// Texts of the export dialog.
extern const char* const kExportDialogTitle;  // "Export/Render Subtitles"
extern const char* const kExportHelpText;     // the three paragraphs of the help box
// The AVI button: the profile's display text and the frame rate the movie gets.
std::string aviButtonCaption(const std::string& profileText, float fps);
