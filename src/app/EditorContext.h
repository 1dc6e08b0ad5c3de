#pragma once
#include <string>

#include "app/AppState.h"
#include "app/Event.h"
#include "app/PreviewRenderer.h"
#include "base/Image.h"

class Ui;

// What the parts of the main window's logic share: the program state, the
// window port, the preview renderer and the pictures the window shows, and
// the operations every part uses (pushing state to the controls, rendering
// the preview).
class EditorContext {
public:
    EditorContext(AppState& state, Ui& window) : s(state), ui(window) {}

    AppState& s;
    Ui& ui;
    PreviewRenderer renderer;

    // Pictures shown in the window.
    Image canvas;         // the preview at project size
    Image stripsSwatch;   // 80 x 20
    Image bgSwatch;       // 20 x 20
    Image composite;      // preview over the background picture
    Image background;     // the background picture, scaled; empty when none
    Image backgroundSource;  // the picture as decoded
    std::string backgroundPath;
    bool compositeShown = false;

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
    // Takes what an event carries into the editor's view of its control.
    void absorb(const Event& e);
    // The view of a slider or spin field; nullptr for other controls.
    RangedValue* ranged(int id);

    // --- preview ------------------------------------------------------------
    void createImages();
    void showCanvas();
    void refreshPreview();
    void clearLineStrip();
    void reloadFontSheets();

    void updateTitle();
    // The project's file name as the title shows it (UTF-8).
    std::string projectFileName() const;

    static int setRowOf(int row) { return row - (row % 2); }
};
