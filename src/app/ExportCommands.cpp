#include "app/ExportCommands.h"

#include <algorithm>
#include <cstdio>

#include "app/ControlIds.h"
#include "app/Controller.h"
#include "app/Ui.h"
#include "export/AviTimeline.h"
#include "export/ExportDriver.h"
#include "export/ExportNames.h"
#include "export/Language.h"
#include "export/ScalaScript.h"
#include "project/Retime.h"

const char* const kExportDialogTitle = "Export/Render Subtitles";
const char* const kExportHelpText =
    "Single Subtitle (PNG): Will create one picture (32 bit, with transparency) for each set (lines A and B) in "
    "sequence, ready for import into editing software. Beside them an XML timeline (for video editors) and a "
    "CSV table place each picture at its set's ON and OFF times, so nothing has to be timed again by hand.\n\n"
    "AVI Movie: Will create a timed AVI file that shows each set at its recorded time, at the frame rate of the "
    "chosen profile, ready for import into editing software. This movie has no transparency: it is drawn on the "
    "BG Color, to be keyed in your editing software. For a movie with transparency use the overlay movie below.\n\n"
    "Single Subtitle (IFF+Script): Will create .IFF (16 colors, HiRes Lace Overscan) files for each subtitle set, "
    "but also exports a script file suitable for use with Scala for the Commodore Amiga computer (intended for "
    "genlock) to achieve the ultimate old-school environment.";

std::string aviButtonCaption(const std::string& profileText, float fps) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.2f", double(fps));
    return "Create timed .AVI movie\nProfile: ''" + profileText + "''\nchosen. AVI file will have " + rate +
           " Frames Per Second (FPS)";
}

MediaWriters mediaWriters() {
    MediaWriters m;
    m.avi = createAviWriter;
    m.overlay = createOverlayWriter;
    m.overlayAvailable = overlayCodecAvailable;
    m.burner = createMovieBurner;
    m.subtitleStream = createSubtitleStreamWriter;
    return m;
}

ProjectExportInput projectExportInput(const AppState& s, const FontSheet& font) {
    ProjectExportInput in;
    in.sets = subtitleSets(s.list);
    in.style = s.style;
    in.font = &font;
    in.width = s.projectWidth;
    in.height = s.projectHeight;
    in.fps = s.fps;
    in.projectDir = s.projectDir;
    in.name = exportnames::shortenProjectName(s.projectName, s.projectExt);
    in.titlePrefix = s.titlePrefix;
    in.versionText = s.versionText;
    in.media = mediaWriters();
    in.programmeStart = s.programmeStart;
    in.language = s.projectLanguage.empty() ? std::string(language::kUndetermined) : s.projectLanguage;
    return in;
}

std::string ExportCommands::takeProgrammeStart(const std::string& text) {
    std::string error;
    const std::optional<TimeCode> start = readTimeCode(text, c_.state().fps, error);
    if (!start) return "The programme start " + error + ".\n\nNothing was exported.";
    c_.state().programmeStart = *start;
    return {};
}

ExportCommands::ExportCommands(Controller& controller, Ui& ui) : c_(controller), ui_(ui) {}

void ExportCommands::message(const std::string& title, const std::string& text) {
    if (notify) notify(title, text);
    else ui_.messageBox(title, text);
}

void ExportCommands::show(const ExportReport& report) {
    if (!report.title.empty()) message(report.title, report.text);
}

void ExportCommands::shortenProjectName() {
    AppState& s = c_.state();
    s.projectName = exportnames::shortenProjectName(s.projectName, s.projectExt);
}

ProjectExportInput ExportCommands::input(ExportProgress* progress) {
    AppState& s = c_.state();
    ProjectExportInput in = projectExportInput(s, c_.renderer().fontSheet());
    // Strips Y as the slider stands when the run begins (the border style is
    // kept in the style as the list's events arrive).
    in.style.stripsYPos = s.view.stripsY.value;
    in.notice = [this](const std::string& title, const std::string& text) { message(title, text); };
    in.progress = progress;
    in.confirm = [this](const std::string& question) { return ui_.askYesNo("Question", question); };
    in.allowLargeRuns = allowLargeRuns;
    in.forcedOnly = forcedOnly;
    in.workerThreads = workerThreads;
    in.idle = [this] { ui_.processPendingEvents(); };
    // The window follows the walk: each set is selected and shown in the
    // line fields as it is drawn.
    in.drawing = [this](int set) {
        if (set < 0) return;  // the blank picture: the fields keep the set shown
        c_.selectListRow(2 * set);
        c_.loadSetIntoFields();
        c_.state().pictureCounter = set + 2;
    };
    in.starting = [this] {
        running_ = true;
        shortenProjectName();
        c_.selectListRow(0);
        c_.state().pictureCounter = 1;
        beginRun();
    };
    return in;
}

void ExportCommands::beginRun() {
    AppState& s = c_.state();
    s.captureActive = 1;
}

void ExportCommands::endRun(bool selectFirstRow) {
    AppState& s = c_.state();
    running_ = false;
    s.captureActive = 0;
    if (selectFirstRow) c_.selectListRow(0);
    c_.loadSetIntoFields();
    c_.refreshPreview();
    refreshBgSwatch();
}

void ExportCommands::refreshBgSwatch() {
    // Renders may have put the background colour back to the preset's.
    Image& swatch = c_.bgSwatch;
    const Rgb bg = c_.state().style.bgColor;
    for (int y = 0; y < swatch.height(); ++y) {
        uint8_t* p = swatch.pixel(0, y);
        for (int x = 0; x < swatch.width(); ++x, p += 4) p[0] = bg.r, p[1] = bg.g, p[2] = bg.b, p[3] = 255;
    }
    ui_.showImage(ctl::BgSwatch, swatch);
}

// Ends a run that began (also when the export threw), so that a failed run
// never leaves the list ignoring clicks.
struct ExportCommands::RunEnd {
    ExportCommands& x;
    bool selectFirstRow;
    std::function<void()> before;
    explicit RunEnd(ExportCommands& commands, bool selectFirst = true, std::function<void()> first = {})
        : x(commands), selectFirstRow(selectFirst), before(std::move(first)) {}
    ~RunEnd() {
        if (!x.running_) return;
        if (before) before();
        x.endRun(selectFirstRow);
    }
};

ExportReport ExportCommands::exportPngSequence(ExportProgress* progress) {
    ProjectExportInput in = input(progress);
    RunEnd end{*this};
    ExportReport r = exportPngPictures(in);
    if (running_) c_.state().pictureCounter = r.pictures + 1;
    return r;
}

ExportReport ExportCommands::exportIffScala(int scalaTarget, ExportProgress* progress) {
    ProjectExportInput in = input(progress);
    const auto begin = in.starting;
    in.starting = [&] {
        begin();
        for (int id : ctl::ContextFields) ui_.setVisible(id, false);
    };
    RunEnd end{*this, true, [this] {
        // Out of the IFF look: the preview gets the preset's background colour back.
        AppState& s = c_.state();
        s.style.bgColor = s.style.presetBgColor;
        for (int id : ctl::ContextFields) ui_.setVisible(id, true);
    }};
    ExportReport r = exportIffPictures(in, scalaTarget);
    if (running_) c_.state().pictureCounter = r.pictures + 1;
    return r;
}

ExportReport ExportCommands::exportTimedAvi(ExportProgress* progress) {
    ProjectExportInput in = input(progress);
    AppState& s = c_.state();
    AviCodecChooser choose;
    if (chooseCodec) {
        // The codecs of the movie module; without the module, its reason.
        std::vector<AviCodecInfo> codecs;
        try {
            codecs = availableAviCodecs();
        } catch (const std::runtime_error& failure) {
            return ExportReport::refusal("Error!", failure.what());
        }
        choose = [&, codecs]() -> std::optional<CodecChoice> {
            std::optional<CodecChoice> chosen = chooseCodec(codecs, s.aviCompression);
            if (chosen) s.aviCompression = *chosen;
            return chosen;
        };
    }
    RunEnd end{*this};
    ExportReport r = exportAviMovie(in, s.aviCompression, choose);
    if (running_) s.pictureCounter = int(in.sets.size()) + 1;
    return r;
}

ExportReport ExportCommands::exportSubtitleTrack(SubtitleFormat format, bool indexedPng, ExportProgress* progress,
                                                 const std::atomic<bool>* cancel) {
    ProjectExportInput in = input(progress);
    RunEnd end{*this};
    ExportReport r = exportTrack(in, format, indexedPng, cancel);
    if (running_) c_.state().pictureCounter = r.pictures + 1;
    return r;
}

ExportReport ExportCommands::captureScreen() {
    AppState& s = c_.state();
    const int selected = s.view.selectedRow;
    const int rows = s.list.lineCount();
    // The set that holds the selected row; with no selection the set being
    // typed, which is the one the preview shows.
    int row = selected >= 0 && selected < rows ? selected : std::min(2 * s.currentSet, std::max(0, rows - 1));
    row = captureRow(row);

    ProjectExportInput in = input(nullptr);
    in.name = s.projectName;
    in.starting = [this] {
        running_ = true;
        beginRun();
    };
    // The selection stays; the fields show the captured set while it is drawn.
    in.drawing = [this, selected](int) {
        c_.selectListRow(selected);
        c_.loadSetIntoFields();
    };
    RunEnd end{*this, false};
    return exportCapture(in, row / 2, row);
}

// --- Video for editors (overlay movie, burn-in) ---
ExportReport ExportCommands::exportOverlayMovie(const std::string& codecName, ExportProgress* progress,
                                                const std::atomic<bool>* cancel) {
    ProjectExportInput in = input(progress);
    RunEnd end{*this};
    return exportOverlay(in, codecName, cancel);
}

ExportReport ExportCommands::burnIntoMovie(const std::string& movie, const std::string& output, int crf,
                                           const std::string& preset,
                                           const std::function<void(int64_t, int64_t, double)>& progress,
                                           const std::atomic<bool>* cancel) {
    ProjectExportInput in = input(nullptr);
    in.starting = [this] {
        running_ = true;
        c_.selectListRow(0);
        beginRun();
    };
    in.drawing = [this](int set) {
        c_.selectListRow(2 * set);
        c_.loadSetIntoFields();
    };
    RunEnd end{*this};
    return exportBurnIn(in, movie, output, crf, preset, progress, cancel);
}
