#include "app/Controller.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>

#include "app/ControlIds.h"
#include "app/Commands.h"
#include "app/EditTools.h"
#include "app/DataDirs.h"
#include "app/Layout.h"
#include "app/Ui.h"
#include "io/Files.h"
#include "io/ImageCodecs.h"
#include "render/Background.h"
#include "base/Text.h"
#include "base/Draw.h"
#include "io/SettingsFile.h"
#include "render/ProjectLook.h"
#include "app/Recovery.h"
#include "app/TimeEntry.h"
#include "app/ListOrder.h"
#include "app/ProjectOpen.h"
#include "base/Cp1252.h"
#include "base/Italics.h"
#include "base/Utf8.h"

const char* aboutText() {
    return "Kalvero makes old-fashioned subtitles, the kind you saw on television and on rental videos in the "
           "1980s and 1990s: one or two lines of crisp bitmap text on solid bars.\n\n"
           "Its look imitates those days on purpose. The captions are drawn from pre-rendered font sheets, so no "
           "system font can be chosen and every caption looks the same on every machine.\n\n"
           "It is small and quick to use: type or import your lines, time them with the spin fields or live with "
           "the Space bar, pick a style and export.\n\n"
           "It is written as plain code over one program state, without surprises: what you see in the preview is "
           "exactly what every export writes.\n\n"
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
      sets_(cx_, *this),
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
    if (s_.recoveryDir.empty()) s_.recoveryDir = recoveryFolder(processEnvironment());
    project_.loadRecent();
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
        const Result loaded = loadSettingsFile(path, settings);
        const bool read = loaded.ok;
        error = loaded.error;
        if (!read || !usableSettings(settings)) {
            ui_.messageBox("Warning!", "Your settings file " + path + " could not be used (" +
                                           (read ? "it lists no usable profile or no preset" : error) +
                                           "); the settings the program ships with are used instead.");
            path = shipped;
        }
    }
    if (path == shipped) {
        settings = Settings{};
        if (!loadSettingsFile(path, settings)) {
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
    project_.showLanguage(s_.projectLanguage);

    applyPreset();
    applyFrameRange();
    if (s_.style.stripsMode == CutToText) setControlValue(ctl::CutStripsToText, 1);

    s_.list.setRowShade(0, 230);
    s_.list.setRowShade(1, 230);
    listChanged();
    for (int id : {ctl::RemoveSingle, ctl::RemoveAll, ctl::InsertSingle, ctl::InsertSet, ctl::RecordTimings, ctl::OnHours,
                   ctl::OnMinutes, ctl::OnSeconds, ctl::OnFrames, ctl::OffHours, ctl::OffMinutes, ctl::OffSeconds,
                   ctl::OffFrames, ctl::OverrideYSlider})
        ui_.setEnabled(id, false);

    reloadFontSheets();
    refreshPreview();
    updateTitle();
    markListSaved();
    showUndoState();
}

void Controller::commandLineOpen(const std::vector<std::string>& args) {
    if (offerRecovery()) return;
    if (args.size() == 1 && !args[0].empty() && loadProject(args[0])) return;
    // Typing starts in line A: the first key typed goes into the first set.
    focusLineField(1);
}

// --- dispatch -----------------------------------------------------------------

void Controller::guarded(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::bad_alloc&) {
        ui_.messageBox("Error!", "Not enough memory to complete this action.");
    } catch (const std::exception& failure) {
        // A fault of the system library (a file-system check, a conversion)
        // ends this action with its reason; the list stays as it was.
        ui_.messageBox("Error!", std::string("This action could not be completed:\n") + failure.what());
    }
}

void Controller::execute(const Command& command) {
    if (command.applies && !command.applies(*this)) return;
    std::optional<EditorSnapshot> before;
    if (!command.change.empty()) before = snapshot();
    history_.breakChain();
    guarded([&] { command.run(*this); });
    if (before && changedSince(*before)) history_.push(command.change, std::move(*before), "");
    showUndoState();
}

bool Controller::execute(const std::string& name) {
    const Command* command = findCommand(name);
    if (!command) return false;
    execute(*command);
    return true;
}

void Controller::openListMenu(int row) {
    // A right click outside the selection picks the row under the pointer first.
    if (row >= 0 && row < s_.list.lineCount()) {
        const std::vector<int> sets = sets_.selectedSets();
        if (std::find(sets.begin(), sets.end(), row / 2) == sets.end()) {
            selectListRow(row);
            selectRow();
        }
    }
    std::vector<Ui::MenuItem> items;
    std::vector<const Command*> commands;
    for (const std::string& name : listMenu()) {
        const Command* command = name.empty() ? nullptr : findCommand(name);
        commands.push_back(command);
        if (!command) {
            items.push_back({});
            continue;
        }
        std::string title = command->title;
        if (name == "edit/undo" && canUndo()) title = "Undo " + history_.undoName();
        if (name == "edit/redo" && canRedo()) title = "Redo " + history_.redoName();
        items.push_back({title, !command->applies || command->applies(*this)});
    }
    const int chosen = ui_.popupMenu(items);
    if (chosen >= 0 && chosen < int(commands.size()) && commands[size_t(chosen)])
        execute(*commands[size_t(chosen)]);
}

void Controller::resetAllYAndEnable() {
    resetAllY();
    for (int id : {ctl::StripsYCaption, ctl::StripsYSlider, ctl::StripsYValue}) ui_.setEnabled(id, true);
}

void Controller::showAbout() { ui_.messageBox("About", s_.aboutText); }

void Controller::dispatch(const Event& e) {
    // Buttons and keys stand for commands.
    const Command* command = e.kind == EventKind::Menu      ? commandOfKey(e.menuId)
                             : e.kind == EventKind::Control ? commandOfControl(e.id)
                                                            : nullptr;
    if (command) {
        execute(*command);
        return;
    }
    // A change is kept as one undo step: the state before it, taken only
    // when the event starts a step of its own (keys typed into one field
    // and spin steps of one set make one step together).
    auto [name, key] = changeOf(e);
    std::optional<EditorSnapshot> before;
    if (!name.empty() && !history_.continues(key)) before = snapshot();
    else if (name.empty() && e.kind == EventKind::Control && e.id == ctl::SubtitleListView) history_.breakChain();
    // Whatever an action needs beyond the memory there is costs that action,
    // not the program and the list it holds.
    guarded([&] { dispatchEvent(e); });
    if (before && changedSince(*before)) history_.push(std::move(name), std::move(*before), std::move(key));
    showUndoState();
}

void Controller::changeAsOneStep(const std::string& name, const std::function<void()>& change) {
    EditorSnapshot before = snapshot();
    history_.breakChain();
    change();
    if (changedSince(before)) history_.push(name, std::move(before));
    showUndoState();
}

std::pair<std::string, std::string> Controller::changeOf(const Event& e) const {
    const std::string set = std::to_string(s_.currentSet);
    if (e.kind == EventKind::Menu) {
        if (e.menuId == ctl::ReturnKeyMenuId) return {"Typing", "type:" + set + ":" + std::to_string(s_.activeLine)};
        if (e.menuId == ctl::ItalicsKeyMenuId) return {"Italics", ""};  // a step of its own, never joined by typing
        return {};
    }
    if (e.kind != EventKind::Control) return {};
    const std::string row = std::to_string(s_.view.selectedRow);
    switch (e.id) {
        case ctl::LineA: return {e.sub == SubKind::Changed ? "Typing" : "", "type:" + set + ":1"};
        case ctl::LineB: return {e.sub == SubKind::Changed ? "Typing" : "", "type:" + set + ":2"};
        case ctl::OnHours: case ctl::OnMinutes: case ctl::OnSeconds: case ctl::OnFrames:
        case ctl::OffHours: case ctl::OffMinutes: case ctl::OffSeconds: case ctl::OffFrames:
            return {"Time Change", "time:" + row};
        case ctl::OverrideYSlider: return {"Set Y", "sety:" + row};
        case ctl::StripsYSlider: return {"Strips Y", "stripsy"};
        case ctl::BlendSlider: return {"Blend", "blend"};
        case ctl::WordSpacingSlider: return {"Word Spacing", "wordspacing"};
        case ctl::StripsSpacingSlider: return {"Strips Spacing", "stripsspacing"};
        case ctl::CropSlider: return {"Crop Strips", "crop"};
        case ctl::PresetList: return {"Preset", ""};
        case ctl::FontSizeList: return {"Font Size", ""};
        case ctl::ProfileList: return {"Profile", ""};
        case ctl::BorderList: return {"Border Style", ""};
        case ctl::StripsColor: return {"Strips Color", ""};
        case ctl::BgColor: return {"BG Color", ""};
        case ctl::TextColor: return {"Text Color", ""};
        case ctl::FontButton: return {"Font", ""};
        case ctl::Crisp: return {"Crisp", ""};
        case ctl::DrawNoStrips: case ctl::CutStripsToText: case ctl::StripsToAllText: return {"Strips Mode", ""};
        case ctl::CenterText: return {"Center Text", ""};
        case ctl::LanguageList: return {e.sub == SubKind::Changed ? "Language" : "", ""};
        default: return {};
    }
}

EditorSnapshot Controller::snapshot() const {
    EditorSnapshot snap;
    snap.list = s_.list;
    snap.style = s_.style;
    snap.presetIndex = s_.presetIndex;
    snap.profileIndex = s_.profileIndex;
    snap.selectedRow = s_.view.selectedRow;
    snap.language = s_.projectLanguage;
    snap.projectName = s_.projectName;
    snap.projectDir = s_.projectDir;
    snap.projectPath = s_.projectPath;
    return snap;
}

bool Controller::changedSince(const EditorSnapshot& b) const {
    return s_.list.revision() != b.list.revision() || !sameLook(s_.style, b.style) ||
           s_.style.stripsYPos != b.style.stripsYPos || s_.presetIndex != b.presetIndex ||
           s_.profileIndex != b.profileIndex || s_.projectPath != b.projectPath || s_.projectName != b.projectName ||
           s_.projectLanguage != b.language;
}

void Controller::undo() {
    if (std::optional<EditorSnapshot> back = history_.undo(snapshot())) restore(std::move(*back));
    showUndoState();
}

void Controller::redo() {
    if (std::optional<EditorSnapshot> again = history_.redo(snapshot())) restore(std::move(*again));
    showUndoState();
}

void Controller::restore(EditorSnapshot st) {
    const bool otherProject = st.projectPath != s_.projectPath || st.projectName != s_.projectName;
    s_.projectName = std::move(st.projectName);
    s_.projectDir = std::move(st.projectDir);
    s_.projectPath = std::move(st.projectPath);
    if (otherProject) updateTitle();
    if (st.profileIndex != s_.profileIndex) {
        s_.profileIndex = st.profileIndex;
        // The list comes back with the times of that rate: no warning that they no longer match.
        if (const Profile* p = s_.profile()) s_.fps = p->fps;
        applyProfile(false);
    }
    s_.presetIndex = st.presetIndex;
    project_.showLanguage(std::move(st.language));
    style_.applyLook(st.style);
    s_.style.stripsYPos = st.style.stripsYPos;
    setControlValue(ctl::StripsYSlider, st.style.stripsYPos);
    setControlText(ctl::StripsYValue, std::to_string(st.style.stripsYPos));

    s_.list = std::move(st.list);
    listChanged();
    const int rows = s_.list.lineCount();
    if (st.selectedRow >= 0 && st.selectedRow < rows) {
        selectListRow(st.selectedRow);
        loadSetIntoFields();
    } else {
        // Typing new sets: the fields show the set being typed.
        selectListRow(-1);
        s_.currentSet = std::clamp(s_.currentSet, 0, std::max(0, rows / 2 - 1));
        setControlText(ctl::LineA, s_.list.column(2 * s_.currentSet, Column::Text));
        setControlText(ctl::LineB, s_.list.column(2 * s_.currentSet + 1, Column::Text));
        ui_.setEnabled(ctl::RecordTimings, rows > 2);
    }
    refreshPreview();
}

void Controller::showUndoState() {
    const bool canUndo = history_.canUndo(), canRedo = history_.canRedo();
    const std::string undoText = canUndo ? "Undo " + history_.undoName() : "Undo";
    const std::string redoText = canRedo ? "Redo " + history_.redoName() : "Redo";
    if (undoText != shownUndo_ || canUndo != shownCanUndo_) {
        ui_.setText(ctl::Undo, undoText);
        ui_.setEnabled(ctl::Undo, canUndo);
        shownUndo_ = undoText;
        shownCanUndo_ = canUndo;
    }
    if (redoText != shownRedo_ || canRedo != shownCanRedo_) {
        ui_.setText(ctl::Redo, redoText);
        ui_.setEnabled(ctl::Redo, canRedo);
        shownRedo_ = redoText;
        shownCanRedo_ = canRedo;
    }
}

namespace {

// The byte offset of character n of a UTF-8 text (its end when shorter).
size_t byteOfCharacter(const std::string& text, int n) {
    size_t i = 0;
    for (int k = 0; k < n && i < text.size(); ++k) utf8::next(text, i);
    return i;
}

}  // namespace

void Controller::toggleItalics(const Event& e) {
    const int line = e.id == ctl::LineA ? 1 : e.id == ctl::LineB ? 2 : 0;
    if (line == 0) return;
    const std::string toggled =
        italics::toggle(e.text, byteOfCharacter(e.text, e.value), byteOfCharacter(e.text, e.selectionEnd));
    if (toggled == e.text) return;
    cx_.absorb(Event::changed(e.id, 0, toggled));
    setControlText(e.id, toggled);
    onLineFieldEvent(line, true);
}

void Controller::dispatchEvent(const Event& e) {
    if (e.kind == EventKind::Menu) {
        switch (e.menuId) {
            case ctl::ReturnKeyMenuId: onReturnKey(); return;
            case ctl::ItalicsKeyMenuId: toggleItalics(e); return;
            case ctl::JournalTickMenuId: journalTick(); return;
            case ctl::OpenHandedMenuId: if (settleUnsavedWork()) loadProject(e.text); return;
            case ctl::ListMenuMenuId: openListMenu(e.value); return;
            case ctl::FindKeyMenuId: dispatchEvent(Event::control(ctl::FindText)); return;
            case ctl::ReplaceKeyMenuId: dispatchEvent(Event::control(ctl::ReplaceText)); return;
            case ctl::ShiftKeyMenuId: dispatchEvent(Event::control(ctl::ShiftSets)); return;
            default: return;
        }
    }
    if (e.kind == EventKind::Close) {
        onQuit();
        return;
    }
    cx_.absorb(e);
    if (style_.handle(e)) return;
    if (edittools::handle(*this, e)) return;
    const bool changed = e.sub == SubKind::Changed;
    if (changed && !e.text.empty() && applyTypedTimeEvent(cx_, lines_, e)) return;
    switch (e.id) {
        case ctl::OnHours: case ctl::OnMinutes: case ctl::OnSeconds: case ctl::OnFrames:
            applyOnSpins();
            return;
        case ctl::OffHours: case ctl::OffMinutes: case ctl::OffSeconds: case ctl::OffFrames:
            applyOffSpins();
            return;
        case ctl::OverrideYSlider: setSetY(); return;
        case ctl::LanguageList:
            if (changed) project_.chooseLanguage(e.value);
            return;
        case ctl::LineA: onLineFieldEvent(1, changed); return;
        case ctl::LineB: onLineFieldEvent(2, changed); return;
        case ctl::SubtitleListView:
            // A selection that went away (the list's own deselection) is kept
            // as state only; a click or a key on a row edits that row.
            if (changed) return;
            if (e.flags & Event::kExtend)
                sets_.extendTo(e.value);
            else if (e.flags & Event::kToggle)
                sets_.toggle(e.value);
            else
                selectRow();
            return;
        default: return;
    }
}

void Controller::onQuit() {
    if (!settleUnsavedWork()) return;
    // A clean end: the work is saved or the user let it go.
    removeJournal();
    ui_.shutdown();
}
