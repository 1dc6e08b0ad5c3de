#include "app/Controller.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

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

Controller::Controller(AppState& state, Ui& ui) : s_(state), ui_(ui) {
    // The controls start as the layout table builds them.
    for (const ControlSpec& c : mainWindowControls())
        if (RangedValue* r = ranged(c.id)) {
            r->setRange(c.min, c.max);
            r->set(c.value);
        }
}

// --- the window's controls ------------------------------------------------------

RangedValue* Controller::ranged(int id) {
    EditorView& v = s_.view;
    switch (id) {
        case ctl::OnHours: return &v.on[0];
        case ctl::OnMinutes: return &v.on[1];
        case ctl::OnSeconds: return &v.on[2];
        case ctl::OnFrames: return &v.on[3];
        case ctl::OffHours: return &v.off[0];
        case ctl::OffMinutes: return &v.off[1];
        case ctl::OffSeconds: return &v.off[2];
        case ctl::OffFrames: return &v.off[3];
        case ctl::StripsYSlider: return &v.stripsY;
        case ctl::OverrideYSlider: return &v.overrideY;
        case ctl::StripsSpacingSlider: return &v.stripsSpacing;
        default: return nullptr;
    }
}

void Controller::setControlValue(int id, int value) {
    if (RangedValue* r = ranged(id)) r->set(value);
    if (id == ctl::BgImage) s_.view.bgImage = value != 0;
    ui_.setValue(id, value);
}

void Controller::setControlRange(int id, int min, int max) {
    if (RangedValue* r = ranged(id)) r->setRange(min, max);
    ui_.setRange(id, min, max);
}

void Controller::setControlText(int id, const std::string& text) {
    if (id == ctl::LineA) s_.view.lineA = text;
    if (id == ctl::LineB) s_.view.lineB = text;
    ui_.setText(id, text);
}

void Controller::selectListRow(int row) {
    s_.view.selectedRow = row >= 0 && row < s_.list.lineCount() ? row : -1;
    ui_.selectListRow(row);
}

void Controller::listChanged() {
    if (s_.view.selectedRow >= s_.list.lineCount()) s_.view.selectedRow = -1;
    ui_.listChanged();
}

void Controller::absorb(const Event& e) {
    if (e.kind != EventKind::Control) return;
    EditorView& v = s_.view;
    if (RangedValue* r = ranged(e.id)) r->set(e.value);
    switch (e.id) {
        case ctl::LineA: v.lineA = e.text; break;
        case ctl::LineB: v.lineB = e.text; break;
        case ctl::SubtitleListView:
            v.selectedRow = e.value >= 0 && e.value < s_.list.lineCount() ? e.value : -1;
            break;
        case ctl::BgImage: v.bgImage = e.value != 0; break;
        default: break;
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
    windowExists_ = true;
    // Anchors: where every control of the two anchored groups stands at start-up.
    s_.columnOriginX = columnOriginFor(s_.windowWidth);
    s_.lowerBlockOriginY = lowerBlockOriginFor(s_.displayHeight());
    for (const ControlSpec& c : mainWindowControls()) {
        if (c.anchor == Anchor::RightColumn) rightColumnAnchors_.push_back({c.id, s_.columnOriginX + c.x, c.w});
        if (c.anchor == Anchor::LowerBlock) lowerBlockAnchors_.push_back({c.id, s_.lowerBlockOriginY + c.y, c.h});
    }
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

void Controller::createImages() {
    // Images that already have the size are cleared rather than allocated
    // again: a full-HD canvas is 8 MB, and every profile change and project
    // open comes here.
    auto fresh = [](Image& img, int w, int h) {
        if (!img.empty() && img.width() == w && img.height() == h)
            std::memset(img.data(), 0, img.stride() * size_t(h));
        else
            img = Image(w, h);
    };
    fresh(canvas, s_.projectWidth, s_.projectHeight);
    // The renderer makes the composite when there is a background picture.
    if (backgroundSource.empty()) composite = Image();
    fresh(stripsSwatch, 80, 20);
    fresh(bgSwatch, 20, 20);
    // A background picture follows the project size.
    if (!backgroundSource.empty() &&
        (background.width() != s_.projectWidth || background.height() != s_.projectHeight || background.empty()))
        background = prepareBackground(backgroundSource, s_.projectWidth, s_.projectHeight);
}

void Controller::showCanvas() {
    ui_.showImage(ctl::Canvas, compositeShown_ && !background.empty() ? composite : canvas);
}

// --- dispatch -----------------------------------------------------------------

void Controller::dispatch(const Event& e) {
    // Whatever an action needs beyond the memory there is costs that action,
    // not the program and the list it holds.
    try {
        dispatchEvent(e);
    } catch (const std::bad_alloc&) {
        ui_.messageBox("Error!", "Not enough memory to complete this action.");
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
    absorb(e);
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
        case ctl::BgImage: onBgImageToggle(); return;
        case ctl::BlendSlider:
            s_.style.blend = e.value;
            refreshPreview();
            setControlText(ctl::BlendValue, std::to_string(s_.style.blend));
            markPresetModified();
            return;
        case ctl::WordSpacingSlider:
            s_.style.wordSpacing = e.value - 6;
            refreshPreview();
            setControlText(ctl::WordSpacingValue, std::to_string(s_.style.wordSpacing));
            markPresetModified();
            return;
        case ctl::StripsSpacingSlider:
            s_.style.stripsSpacing = s_.view.stripsSpacing.value;
            refreshPreview();
            setControlText(ctl::StripsSpacingValue, std::to_string(s_.style.stripsSpacing));
            markPresetModified();
            return;
        case ctl::CropSlider:
            s_.style.cropStrips = e.value;
            refreshPreview();
            setControlText(ctl::CropValue, std::to_string(s_.style.cropStrips));
            markPresetModified();
            return;
        case ctl::PresetList: onPresetList(e); return;
        case ctl::FontSizeList:
            if (changed) onFontSizeList(e);
            return;
        case ctl::SavePreset: savePreset(); return;
        case ctl::StripsColor: onColour(ctl::StripsColor); return;
        case ctl::BorderList:
            s_.style.borderStyle = std::max(0, e.value);
            refreshPreview();
            markPresetModified();
            return;
        case ctl::ProfileList:
            if (changed) onProfileList(e);
            return;
        case ctl::RecordTimings:
            if (openRecordTimings) openRecordTimings();
            return;
        case ctl::BgColor: onColour(ctl::BgColor); return;
        case ctl::StripsYSlider: onStripsYSlider(); return;
        case ctl::About: ui_.messageBox("About", s_.aboutText); return;
        case ctl::DrawNoStrips:
            markPresetModified();
            if (e.value) {
                s_.style.drawNoStrips = true;
                setControlValue(ctl::CutStripsToText, 0);
                setControlValue(ctl::StripsToAllText, 0);
                s_.style.stripsMode = FullWidth;
            } else {
                s_.style.drawNoStrips = false;
            }
            refreshPreview();
            return;
        case ctl::CenterText:
            markPresetModified();
            s_.style.centerText = e.value != 0;
            refreshPreview();
            return;
        case ctl::CutStripsToText:
        case ctl::StripsToAllText: onModeCheckBox(e.id, e.value != 0); return;
        default: return;
    }
}

void Controller::onModeCheckBox(int id, bool checked) {
    int other = id == ctl::CutStripsToText ? ctl::StripsToAllText : ctl::CutStripsToText;
    if (checked) {
        s_.style.stripsMode = id == ctl::CutStripsToText ? CutToText : AllText;
        s_.style.drawNoStrips = false;
        setControlValue(ctl::DrawNoStrips, 0);
        setControlValue(other, 0);
    } else {
        s_.style.stripsMode = FullWidth;
    }
    // The preview shows the selected set; render it when it has text.
    int row = s_.view.selectedRow;
    bool anyText = row < 0 || !s_.list.column(row, Column::Text).empty() || !s_.list.column(row + 1, Column::Text).empty();
    if (anyText) refreshPreview();
    markPresetModified();
}

void Controller::onPresetList(const Event& e) {
    resetPresetNames();
    if (e.sub != SubKind::Changed) return;
    int sel = e.value;
    if (sel < 0 || sel >= int(s_.presets.size())) return;
    s_.presetIndex = sel;
    applyPreset();
    reloadFontSheets();
    refreshPreview();
    ui_.setEnabled(ctl::SavePreset, false);
}

void Controller::onFontSizeList(const Event& e) {
    const std::string& item = e.text;
    int size = text::toInt(item.substr(0, 2));
    if (size <= 0) return;
    s_.style.fontSize = size;
    s_.fontSheetsDirty = 1;
    reloadFontSheets();
    refreshPreview();
    loadSetIntoFields();
    markPresetModified();
}

void Controller::onProfileList(const Event& e) {
    int sel = e.value;
    if (sel < 0 || sel >= int(s_.profiles.size())) return;
    if (e.text.substr(0, 5) == "-----") {
        // A separator is no profile: the list goes back to the one in force.
        setControlValue(ctl::ProfileList, s_.profileIndex);
        return;
    }
    s_.profileIndex = sel;
    const int oldHeight = s_.projectHeight;
    applyProfile();
    if (s_.projectHeight != oldHeight) offerToScaleY(oldHeight, s_.projectHeight);
}

// A Y made for one picture height sits elsewhere in another: offer once to
// move every set with the picture.
void Controller::offerToScaleY(int oldHeight, int newHeight) {
    if (oldHeight <= 0 || newHeight <= 0) return;
    bool anyY = false;
    for (int i = 0; i < s_.list.lineCount() && !anyY; ++i)
        anyY = !text::trimSpaces(s_.list.column(i, Column::Y)).empty();
    if (!anyY) return;
    if (!ui_.askYesNo("Question", "The picture is now " + std::to_string(newHeight) + " pixels high instead of " +
                                      std::to_string(oldHeight) +
                                      ".\nMove the subtitles with it (every Y position scaled to the new height)?"))
        return;
    const int maxY = s_.view.overrideY.max;
    for (int i = 0; i < s_.list.lineCount(); ++i) {
        std::string y = text::trimSpaces(s_.list.column(i, Column::Y));
        if (y.empty()) continue;
        long long scaled = (2LL * text::toInt(y) * newHeight + oldHeight) / (2LL * oldHeight);  // rounded
        s_.list.setLineColumn(i, Column::Y, std::to_string(std::clamp<long long>(scaled, 0, std::max(0, maxY))));
    }
    listChanged();
    loadSetIntoFields();
    refreshPreview();
}

void Controller::onStripsYSlider() {
    int pos = s_.view.stripsY.value;
    s_.style.stripsYPos = pos;
    setControlText(ctl::StripsYValue, std::to_string(pos));
    refreshPreview();
    markPresetModified();
    // Every set that shares the Y in effect moves with the slider; sets with
    // a Y of their own stay.
    int shared = s_.style.stripsYPos;
    bool moved = false;
    for (int i = 0; i < s_.list.lineCount(); ++i) {
        if (text::toInt(s_.list.column(i, Column::Y)) == shared && shared != pos) {
            s_.list.setLineColumn(i, Column::Y, std::to_string(pos));
            moved = true;
        }
    }
    if (moved) {
        listChanged();
        refreshPreview();
    }
}

void Controller::markPresetModified() {
    ui_.setEnabled(ctl::SavePreset, true);
    int sel = s_.presetIndex;
    if (sel < 0 || sel >= int(s_.presets.size())) return;
    setControlValue(ctl::PresetList, sel);
    ui_.setItemText(ctl::PresetList, sel, s_.presets[size_t(sel)].name + "*");
}

void Controller::onQuit() {
    if (settleUnsavedWork()) ui_.shutdown();
}

void Controller::onColour(int id) {
    // The dialog opens on the colour as chosen, not as mixed with the
    // background: OK without a change keeps it. Black is a colour like any
    // other; only a cancelled dialog picks nothing.
    Rgb current = id == ctl::StripsColor ? s_.style.stripsColor : s_.style.bgColor;
    std::optional<Rgb> picked = ui_.chooseColour(current);
    if (!picked) return;
    if (id == ctl::StripsColor) {
        s_.style.stripsColor = s_.style.mixedColor = *picked;
        draw::fillOpaque(stripsSwatch, *picked);
        ui_.showImage(ctl::StripsSwatch, stripsSwatch);
        refreshPreview();
        markPresetModified();
    } else {
        s_.style.bgColor = *picked;
        draw::fillOpaque(bgSwatch, *picked);
        ui_.showImage(ctl::BgSwatch, bgSwatch);
        draw::fillOpaque(canvas, *picked);
        loadSetIntoFields();
        refreshPreview();
        markPresetModified();
    }
}

// --- preview ------------------------------------------------------------------

void Controller::refreshPreview() {
    s_.style.mixedColor = mixStripColor(s_.style.stripsColor, s_.style.bgColor, s_.style.blend);
    // The set whose Y applies: the selected one, or the one being typed.
    int row = s_.view.selectedRow;
    if ((row < 0 || s_.editState == NewSet) && s_.list.lineCount() > 0)
        row = std::min(2 * s_.currentSet, s_.list.lineCount() - 1);
    if (row >= 0 && row < s_.list.lineCount()) {
        int y = text::toInt(s_.list.column(setRowOf(row), Column::Y));
        s_.style.stripsYPos = y == 0 ? s_.view.stripsY.value : y;
    }
    const RenderResult& r = renderer_.renderPreview(s_.style, s_.view.lineA, s_.view.lineB, canvas,
                                                    composite, background.empty() ? nullptr : &background);
    compositeShown_ = r.compositeMade;
    draw::fillOpaque(stripsSwatch, s_.style.mixedColor);
    ui_.showImage(ctl::StripsSwatch, stripsSwatch);
    showCanvas();

    bool crop = !s_.style.centerText;
    for (int id : {ctl::CropCaption, ctl::CropSlider, ctl::CropValue}) ui_.setEnabled(id, crop);
    if (s_.list.lineCount() > 2 || !s_.list.column(0, Column::Text).empty() || !s_.list.column(1, Column::Text).empty())
        for (int id : {ctl::Save, ctl::ExportFiles, ctl::CaptureScreen}) ui_.setEnabled(id, true);
}

void Controller::clearLineStrip() {
    bool a = s_.view.lineA.empty(), b = s_.view.lineB.empty();
    renderer_.clearLineStrips(s_.style, a, b, canvas, background.empty() ? nullptr : &background);
    ui_.showImage(ctl::Canvas, canvas);
}

void Controller::reloadFontSheets() {
    if (renderer_.loadFontSheets(fontSheetFolders(s_.dataDirs()), s_.style.fontSize, s_.fontSheetsDirty, ui_)) {
        int sp = s_.style.stripsSpacing;
        auto [lo, hi] = stripsSpacingRange(sp);
        setControlRange(ctl::StripsSpacingSlider, lo, hi);
        setControlValue(ctl::StripsSpacingSlider, sp);
        setControlText(ctl::StripsSpacingValue, std::to_string(sp));
    }
}

void Controller::onBgImageToggle() {
    if (s_.view.bgImage) {
        ui_.messageBox("Note",
                       "Background image chosen will be scaled/cropped to fill entire area. Background will not be "
                       "part of export, is intended for visual preview only.");
        std::string path = ui_.openFileDialog("Choose image file", "", kBackgroundFilter);
        if (path.empty()) {
            setControlValue(ctl::BgImage, 0);
            return;
        }
        Image decoded;
        std::string error;
        if (!imageio::decodeImageFile(path, decoded, error)) {
            ui_.messageBox("Error#8", "Could not load image:\n" + path);
            setControlValue(ctl::BgImage, 0);
            return;
        }
        backgroundSource = std::move(decoded);
        background = prepareBackground(backgroundSource, s_.projectWidth, s_.projectHeight);
        backgroundPath = path;
        draw::drawAlpha(canvas, background, 0, 0);
        ui_.showImage(ctl::Canvas, canvas);
        refreshPreview();
        return;
    }
    if (background.empty()) return;
    if (ui_.askYesNo("Question", "Do you want to remove the background preview image?")) {
        background = backgroundSource = Image();
        backgroundPath.clear();
        refreshPreview();
    } else {
        setControlValue(ctl::BgImage, 1);
    }
}
