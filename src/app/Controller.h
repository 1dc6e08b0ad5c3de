#pragma once
#include <functional>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/Event.h"
#include "app/MissingTiming.h"
#include "app/EditorContext.h"
#include "app/PreviewRenderer.h"
#include "app/LineEditor.h"
#include "app/ProjectCommands.h"
#include "app/StylePanel.h"
#include "app/UndoHistory.h"
#include "app/SetEditor.h"
#include "base/Image.h"

class Ui;

// The main window's logic: start-up, the dispatch of every event, and the
// handlers. It talks to the window only through the Ui port.
class Controller {
public:
    Controller(AppState& state, Ui& ui);

    // --- start-up, in order -------------------------------------------------
    // Constants, program folder, settings, desktop fit and images. False when
    // the program must end (the user has been told why).
    bool prepare(const std::string& executablePath, const std::string& workingDir);
    // After the window adapter has built every control: fills the lists,
    // applies the start-up preset, loads the font sheets, renders.
    void windowBuilt();
    // Opens the project named by a single non-empty argument.
    void commandLineOpen(const std::vector<std::string>& args);

    // --- events -------------------------------------------------------------
    void dispatch(const Event& e);
    // Runs a command when it applies now, keeping what it changed as one
    // undo step named after it (app/Commands.h).
    void execute(const struct Command& command);
    // Runs the command of that name; false when there is none.
    bool execute(const std::string& name);

    // --- the window's controls (see EditorContext) --------------------------
    void setControlValue(int id, int value) { cx_.setControlValue(id, value); }
    void setControlRange(int id, int min, int max) { cx_.setControlRange(id, min, max); }
    void setControlText(int id, const std::string& text) { cx_.setControlText(id, text); }
    void selectListRow(int row) { cx_.selectListRow(row); }
    void listChanged() { cx_.listChanged(); }

    // --- shared operations --------------------------------------------------
    void refreshPreview() { cx_.refreshPreview(); }
    void reloadFontSheets() { cx_.reloadFontSheets(); }
    void clearLineStrip() { cx_.clearLineStrip(); }
    void updateTitle() { cx_.updateTitle(); }
    // The project's file name as the title shows it (UTF-8).
    std::string projectFileName() const { return cx_.projectFileName(); }

    // The strips box and the window's size.
    StylePanel& style() { return style_; }
    void markPresetModified() { style_.markPresetModified(); }
    void applyPreset() { style_.applyPreset(); }
    void applyProfile(bool tellMissingTimes = true) { style_.applyProfile(tellMissingTimes); }
    void applyFrameRange() { style_.applyFrameRange(); }
    void checkDesktopFit() { style_.checkDesktopFit(); }
    void relayoutWindow() { style_.relayoutWindow(); }
    void savePreset() { style_.savePreset(); }
    void fillProfileList() { style_.fillProfileList(); }
    void fillFontSizeList() { style_.fillFontSizeList(); }
    void fillPresetList() { style_.fillPresetList(); }
    void resetPresetNames() { style_.resetPresetNames(); }
    void onBgImageToggle() { style_.onBgImageToggle(); }
    void onColour(int id) { style_.onColour(id); }

    // Line editor.
    LineEditor& lines() { return lines_; }
    void onLineFieldEvent(int line, bool changed) { lines_.onLineFieldEvent(line, changed); }
    void onReturnKey() { lines_.onReturnKey(); }
    // Ctrl+I in a line field: its selection (or whole text) italic or upright again.
    void toggleItalics(const Event& e);
    void focusLineField(int line) { lines_.focusLineField(line); }
    void commitLineA() { lines_.commitLineA(); }
    void commitLineB() { lines_.commitLineB(); }
    void selectRow() { lines_.selectRow(); }
    void loadSetIntoFields() { lines_.loadSetIntoFields(); }
    void checkYConsistency() { lines_.checkYConsistency(); }
    void applyOnSpins() { lines_.applyOnSpins(); }
    void applyOffSpins() { lines_.applyOffSpins(); }
    void setSetY() { lines_.setSetY(); }
    void resetAllY() { lines_.resetAllY(); }
    void insertLine() { lines_.insertLine(); }
    void removeLine() { lines_.removeLine(); }
    void removeAllSets() { lines_.removeAllSets(); }
    void goToBottom() { lines_.goToBottom(); }
    void resetAllYAndEnable();
    void showAbout();

    // Several sets at once: selection, clipboard, moves (see SetEditor).
    SetEditor& sets() { return sets_; }
    const SetEditor& sets() const { return sets_; }

    // Project (see ProjectCommands).
    ProjectCommands& project() { return project_; }
    void newProject() { project_.newProject(); }
    void openProject() { project_.openProject(); }
    bool saveProject() { return project_.saveProject(); }
    bool saveProjectAs() { return project_.saveProjectAs(); }
    bool hasUnsavedWork() const { return project_.hasUnsavedWork(); }
    void markListSaved() { project_.markListSaved(); }
    bool settleUnsavedWork() { return project_.settleUnsavedWork(); }
    void clearProject(bool showEmptyCanvas = true) { project_.clearProject(showEmptyCanvas); }
    bool loadProject(const std::string& path) { return project_.loadProject(path); }
    void importSrt() { project_.importSrt(); }

    void onQuit();

    // --- the journal of unsaved work ---------------------------------------------
    // Writes the journal when the unsaved work changed since it was last
    // written, removes it when nothing is unsaved.
    void journalTick();
    // At start-up: offers the work a copy of the program that ended without
    // saving left in its journal. True when work was recovered.
    bool offerRecovery();

    // --- undo and redo --------------------------------------------------------
    // The state Undo would go back to, as it is now.
    EditorSnapshot snapshot() const;
    void undo();
    void redo();
    bool canUndo() const { return history_.canUndo(); }
    bool canRedo() const { return history_.canRedo(); }
    UndoHistory& history() { return history_; }
    // Runs a change made outside the dispatch (the editing tools' dialogs)
    // as one undo step named `name`.
    void changeAsOneStep(const std::string& name, const std::function<void()>& change);
    // Shows the names of the next Undo and Redo on their buttons.
    void showUndoState();

    // Hooks for the commands that open windows of their own (export dialog,
    // Record Timings, capture). The window adapter sets them.
    std::function<void()> openExportDialog;
    std::function<void()> openRecordTimings;
    std::function<void()> captureScreen;
    // Opens the dialog of an editing tool (ctl::isEditTool); app/EditTools.h.
    std::function<void(int id)> openEditTool;

    PreviewRenderer& renderer() { return cx_.renderer; }
    AppState& state() { return s_; }
    const AppState& state() const { return s_; }
    EditorContext& context() { return cx_; }

private:
    void dispatchEvent(const Event& e);
    // Runs an action; what it throws ends it with a message, never the program.
    void guarded(const std::function<void()>& action);
    void restore(EditorSnapshot state);
    // The name and merge key of the change an event may make; an empty name
    // when the event changes neither the list nor the look.
    std::pair<std::string, std::string> changeOf(const Event& e) const;
    // Whether anything Undo could give back differs from `before`.
    bool changedSince(const EditorSnapshot& before) const;
    void removeJournal();
    std::string journalPath_;
    bool journalWritten_ = false;
    uint64_t journalRevision_ = 0;
    StripsConfig journalStyle_;
    std::string journalProject_;
    UndoHistory history_;
    std::string shownUndo_ = "Undo", shownRedo_ = "Redo";
    bool shownCanUndo_ = false, shownCanRedo_ = false;
    void setDefaultStyle();
    void createImages() { cx_.createImages(); }

    EditorContext cx_;
    StylePanel style_;
    LineEditor lines_;
    ProjectCommands project_;
    SetEditor sets_;
    void openListMenu(int row);
    AppState& s_;
    Ui& ui_;

public:
    // Pictures shown in the window (kept in the context).
    Image& canvas;         // image 0: the preview at project size
    Image& stripsSwatch;   // image 1: 80 x 20
    Image& bgSwatch;       // image 2: 20 x 20
    Image& composite;      // image 3: preview over the background picture
    Image& background;     // the background picture, scaled; empty when none
    Image& backgroundSource;  // the picture as decoded
    std::string& backgroundPath;
};

// The filter of the background picture's open dialog.
extern const char* const kBackgroundFilter;

// The text of the About box.
const char* aboutText();
