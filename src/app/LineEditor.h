#pragma once
#include <string>

#include "app/EditorContext.h"

class Controller;

// The line editor: typing, Return, selecting rows, the time spin fields, the
// per-set Y position and the list buttons.
class LineEditor {
public:
    LineEditor(EditorContext& context, Controller& controller);

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

private:
    void applySpins(bool on);

    // The shared context under the names the handlers use; the other parts
    // through the controller.
    EditorContext& cx_;
    Controller& c_;
    AppState& s_;
    Ui& ui_;
    Image& canvas;
    Image& stripsSwatch;
    Image& bgSwatch;
    Image& background;
    Image& backgroundSource;
    std::string& backgroundPath;
    static int setRowOf(int row) { return EditorContext::setRowOf(row); }
    void refreshPreview() { cx_.refreshPreview(); }
    void clearLineStrip() { cx_.clearLineStrip(); }
    void createImages() { cx_.createImages(); }
    void updateTitle() { cx_.updateTitle(); }
    std::string projectFileName() const { return cx_.projectFileName(); }
    void listChanged() { cx_.listChanged(); }
    void selectListRow(int row) { cx_.selectListRow(row); }
    void setControlValue(int id, int v) { cx_.setControlValue(id, v); }
    void setControlRange(int id, int lo, int hi) { cx_.setControlRange(id, lo, hi); }
    void setControlText(int id, const std::string& t) { cx_.setControlText(id, t); }
    void applyPreset();
    bool settleUnsavedWork();
};
