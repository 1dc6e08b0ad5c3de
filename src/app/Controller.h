#pragma once
#include <functional>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/Event.h"
#include "app/MissingTiming.h"
#include "app/PreviewRenderer.h"
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

    // --- the window's controls ----------------------------------------------
    // Each keeps the editor's view of the control (AppState::view) and sets
    // the control: the program's state flows one way, to the window.
    void setControlValue(int id, int value);
    void setControlRange(int id, int min, int max);
    void setControlText(int id, const std::string& text);
    // -1 clears the selection, as does a row outside the list.
    void selectListRow(int row);
    // Rows added, removed or edited; a selection past the end is dropped.
    void listChanged();

    // --- shared operations --------------------------------------------------
    void refreshPreview();
    void markPresetModified();
    void applyPreset();
    // `tellMissingTimes`: whether a recalculation of the frame counts tells
    // the user about untimed sets (a load tells once itself).
    void applyProfile(bool tellMissingTimes = true);
    void applyFrameRange();
    void checkDesktopFit();
    void relayoutWindow();
    void savePreset();
    void reloadFontSheets();
    void fillProfileList();
    void fillFontSizeList();
    void fillPresetList();
    void resetPresetNames();

    // Line editor.
    void onLineFieldEvent(int line, bool changed);
    void onReturnKey();
    void focusLineField(int line);
    void commitLineA();
    void commitLineB();
    void selectRow();
    void loadSetIntoFields();
    void checkYConsistency();
    void applyOnSpins();
    void applyOffSpins();
    void setSetY();
    void resetAllY();
    void insertLine();
    void removeLine();
    void removeAllSets();
    void goToBottom();
    void clearLineStrip();

    // Project.
    void newProject();
    void openProject();
    // False when nothing was written (cancelled or failed).
    bool saveProject();
    bool hasUnsavedWork() const;
    void markListSaved();
    // Before a command that replaces the list: with unsaved work asks
    // "Save changes to NAME?"; Yes saves first. False when the command must
    // not go on (Cancel, or the save did not happen).
    bool settleUnsavedWork();
    void clearProject();
    // Reads a project file; only when it is sound does it replace the
    // current project (as Open and the command line do). False otherwise.
    bool loadProject(const std::string& path);
    void importSrt();
    void updateTitle();
    // The project's file name as the title shows it (UTF-8).
    std::string projectFileName() const;

    // Style controls.
    void onBgImageToggle();
    void onColour(int id);
    void onQuit();

    // Hooks for the commands that open windows of their own (export dialog,
    // Record Timings, capture). The window adapter sets them.
    std::function<void()> openExportDialog;
    std::function<void()> openRecordTimings;
    std::function<void()> captureScreen;

    // Pictures shown in the window.
    Image canvas;         // image 0: the preview at project size
    Image stripsSwatch;   // image 1: 80 x 20
    Image bgSwatch;       // image 2: 20 x 20
    Image composite;      // image 3: preview over the background picture
    Image background;     // the background picture, scaled; empty when none
    Image backgroundSource;  // the picture as decoded
    std::string backgroundPath;

    PreviewRenderer& renderer() { return renderer_; }
    AppState& state() { return s_; }

private:
    void dispatchEvent(const Event& e);
    // Takes what the event carries into the editor's view of its control.
    void absorb(const Event& e);
    RangedValue* ranged(int id);
    void createImages();
    void showCanvas();
    void setDefaultStyle();
    void onStripsYSlider();
    void onModeCheckBox(int id, bool checked);
    void onPresetList(const Event& e);
    void onFontSizeList(const Event& e);
    void onProfileList(const Event& e);
    void offerToScaleY(int oldHeight, int newHeight);
    void applySpins(bool on);
    int setRowOf(int row) const { return row - (row % 2); }

    AppState& s_;
    Ui& ui_;
    PreviewRenderer renderer_;
    bool windowExists_ = false;
    bool firstLayout_ = true;
    bool compositeShown_ = false;
    struct LayoutAnchor {
        int id, start, extent;
    };
    std::vector<LayoutAnchor> rightColumnAnchors_, lowerBlockAnchors_;
};

// The filter of the background picture's open dialog.
extern const char* const kBackgroundFilter;

// The text of the About box.
const char* aboutText();
