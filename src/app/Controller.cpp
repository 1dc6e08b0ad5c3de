#include "app/Controller.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>

#include "app/ControlIds.h"
#include "app/DataDirs.h"
#include "app/Layout.h"
#include "app/Ui.h"
#include "io/Files.h"
#include "io/ImageCodecs.h"
#include "render/Background.h"
#include "base/Text.h"
#include "base/Draw.h"
#include "io/SettingsFile.h"

const char* aboutText() {
    return "Kalvero makes old-fashioned subtitles, the kind you saw on television and on rental videos in the "
           "1980s and 1990s: one or two lines of crisp bitmap text on solid bars.\n\n"
           "Its look imitates those days on purpose. The captions are drawn from pre-rendered font sheets, so no "
           "system font can be chosen and every caption looks the same on every machine.\n\n"
           "It is small and quick to use: type or import your lines, time them with the spin fields or live with "
           "the Space bar, pick a style and export.\n\n"
           "It is written as plain code over one program state, single-threaded and without surprises: what you "
           "see in the preview is exactly what every export writes.\n\n"
           "Kalvero is free of charge and free software (GNU GPL, version 3 or later).";
}

const char* const kBackgroundFilter =
    "All pictures|*.png;*.PNG;*.jpg;*.JPG;*.jpeg;*.JPEG;*.tif;*.TIF;*.tiff;*.TIFF;*.tga;*.TGA;*.bmp;*.BMP|"
    "PNG (*.png)|*.png|JPG (*.jpg)|*.jpg;*.jpeg|TIF (*.tif)|*.tif|TIFF (*.tiff)|*.tiff|TGA (*.tga)|*.tga|"
    "BMP (*.bmp)|*.bmp";

Controller::Controller(AppState& state, Ui& ui)
    : cx_(state, ui),
      style_(cx_),
      lines_(cx_, *this),
      project_(cx_, *this),
      s_(state),
      ui_(ui),
      canvas(cx_.canvas),
      stripsSwatch(cx_.stripsSwatch),
      bgSwatch(cx_.bgSwatch),
      composite(cx_.composite),
      background(cx_.background),
      backgroundSource(cx_.backgroundSource),
      backgroundPath(cx_.backgroundPath) {
    style_.loadSetIntoFields = [this] { loadSetIntoFields(); };
    // The controls start as the layout table builds them.
    for (const ControlSpec& c : mainWindowControls())
        if (RangedValue* r = cx_.ranged(c.id)) {
            r->setRange(c.min, c.max);
            r->set(c.value);
        }
}

// --- start-up -----------------------------------------------------------------

bool Controller::prepare(const std::string& executablePath, const std::string& workingDir) {
    s_.aboutText = aboutText();
    s_.fontSheetsDirty = 1;
    if (s_.programDir.empty()) {
        DataDirs dirs = findDataDirs(executablePath, workingDir, processEnvironment());
        s_.programDir = dirs.programDir;
        s_.userConfigDir = dirs.userConfigDir;
        s_.userDataDir = dirs.userDataDir;
        s_.programDirShipped = dirs.programDirShipped;
    }
    s_.style.wordSpacing = -3;

    auto usableSettings = [](const Settings& s) {
        bool anyProfile = std::any_of(s.profiles.begin(), s.profiles.end(),
                                      [](const Profile& p) { return p.usable(); });
        return anyProfile && !s.presets.empty();
    };
    Settings settings;
    std::string error;
    std::string path = settingsReadPath(s_.dataDirs(), s_.settingsFileName);
    std::string shipped = s_.programDir + s_.settingsFileName;
    if (path != shipped) {
        // A broken copy of the user's must not keep the program from starting.
        bool read = loadSettingsFile(path, settings, error);
        if (!read || !usableSettings(settings)) {
            ui_.messageBox("Warning!", "Your settings file " + path + " could not be used (" +
                                           (read ? "it lists no usable profile or no preset" : error) +
                                           "); the settings the program ships with are used instead.");
            path = shipped;
        }
    }
    if (path == shipped) {
        settings = Settings{};
        if (!loadSettingsFile(path, settings, error)) {
            ui_.messageBox("Severe error!",
                           "Could not find required " + s_.settingsFileName + " in program directory...exiting!");
            ui_.shutdown();
            return false;
        }
        if (!usableSettings(settings)) {
            ui_.messageBox("Severe error!", s_.settingsFileName + " lists no usable profile or no preset...exiting!");
            ui_.shutdown();
            return false;
        }
    }
    const std::string leftOut = settingsLeftOutNote(settings, s_.settingsFileName);
    if (!leftOut.empty()) ui_.messageBox("Information", leftOut);
    s_.profiles = std::move(settings.profiles);
    s_.presets = std::move(settings.presets);
    s_.reactionMs = settings.reactionMs;
    // A start-up index outside its list, or on a separator, falls back to the first usable entry.
    auto usable = [&](int i) { return i >= 0 && i < int(s_.profiles.size()) && s_.profiles[size_t(i)].usable(); };
    int profile = settings.startupProfile;
    if (!usable(profile))
        for (profile = 0; !usable(profile); ++profile) {
        }
    s_.profileIndex = s_.acceptedProfileIndex = profile;
    s_.presetIndex = std::clamp(settings.startupPreset, 0, int(s_.presets.size()) - 1);

    checkDesktopFit();
    setDefaultStyle();
    return true;
}

void Controller::setDefaultStyle() {
    s_.style.blend = 255;
    s_.style.stripsMode = CutToText;
    s_.style.bgColor = Rgb{0, 0, 0};
    s_.style.stripsColor = s_.style.mixedColor = Rgb{128, 128, 128};
}

void Controller::windowBuilt() {
    style_.anchorControls();
    relayoutWindow();
    fillProfileList();
    fillFontSizeList();
    fillPresetList();
    const std::vector<std::string>& borders = borderStyleNames();
    ui_.setItems(ctl::BorderList, {borders.begin(), borders.begin() + std::min<ptrdiff_t>(4, ptrdiff_t(borders.size()))});
    setControlValue(ctl::BorderList, 0);

    applyPreset();
    applyFrameRange();
    if (s_.style.stripsMode == CutToText) setControlValue(ctl::CutStripsToText, 1);

    s_.list.setRowShade(0, 230);
    s_.list.setRowShade(1, 230);
    listChanged();
    for (int id : {ctl::RemoveSingle, ctl::RemoveAll, ctl::InsertSingle, ctl::RecordTimings, ctl::OnHours,
                   ctl::OnMinutes, ctl::OnSeconds, ctl::OnFrames, ctl::OffHours, ctl::OffMinutes, ctl::OffSeconds,
                   ctl::OffFrames, ctl::OverrideYSlider})
        ui_.setEnabled(id, false);

    reloadFontSheets();
    refreshPreview();
    updateTitle();
    markListSaved();
}

void Controller::commandLineOpen(const std::vector<std::string>& args) {
    if (args.size() == 1 && !args[0].empty()) loadProject(args[0]);
}

// --- dispatch -----------------------------------------------------------------

void Controller::dispatch(const Event& e) {
    // Whatever an action needs beyond the memory there is costs that action,
    // not the program and the list it holds.
    try {
        dispatchEvent(e);
    } catch (const std::bad_alloc&) {
        ui_.messageBox("Error!", "Not enough memory to complete this action.");
    } catch (const std::exception& failure) {
        // A fault of the system library (a file-system check, a conversion)
        // ends this action with its reason; the list stays as it was.
        ui_.messageBox("Error!", std::string("This action could not be completed:\n") + failure.what());
    }
}

void Controller::dispatchEvent(const Event& e) {
    if (e.kind == EventKind::Menu) {
        if (e.menuId == ctl::ReturnKeyMenuId) onReturnKey();
        return;
    }
    if (e.kind == EventKind::Close) {
        onQuit();
        return;
    }
    cx_.absorb(e);
    if (style_.handle(e)) return;
    const bool changed = e.sub == SubKind::Changed;
    switch (e.id) {
        case ctl::OnHours: case ctl::OnMinutes: case ctl::OnSeconds: case ctl::OnFrames:
            applyOnSpins();
            return;
        case ctl::OffHours: case ctl::OffMinutes: case ctl::OffSeconds: case ctl::OffFrames:
            applyOffSpins();
            return;
        case ctl::ResetAllY:
            resetAllY();
            for (int id : {ctl::StripsYCaption, ctl::StripsYSlider, ctl::StripsYValue}) ui_.setEnabled(id, true);
            return;
        case ctl::CaptureScreen:
            if (captureScreen) captureScreen();
            return;
        case ctl::OverrideYSlider: setSetY(); return;
        case ctl::Quit: onQuit(); return;
        case ctl::LineA: onLineFieldEvent(1, changed); return;
        case ctl::LineB: onLineFieldEvent(2, changed); return;
        case ctl::ImportSrt: importSrt(); return;
        case ctl::SubtitleListView:
            // A selection that went away (the list's own deselection) is kept
            // as state only; a click or a key on a row edits that row.
            if (!changed) selectRow();
            return;
        case ctl::RemoveSingle: removeLine(); return;
        case ctl::RemoveAll: removeAllSets(); return;
        case ctl::InsertSingle: insertLine(); return;
        case ctl::GoToBottom: goToBottom(); return;
        case ctl::Open: openProject(); return;
        case ctl::Save:
            if (!s_.projectName.empty()) saveProject();
            return;
        case ctl::ExportFiles:
            if (openExportDialog) openExportDialog();
            return;
        case ctl::New: newProject(); return;
        case ctl::RecordTimings:
            if (openRecordTimings) openRecordTimings();
            return;
        case ctl::About: ui_.messageBox("About", s_.aboutText); return;
        default: return;
    }
}

void Controller::onQuit() {
    if (settleUnsavedWork()) ui_.shutdown();
}

