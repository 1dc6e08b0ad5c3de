#pragma once
#include <string>

#include "app/EditorPart.h"

class Controller;

// The line editor: typing, Return, selecting rows, the time spin fields, the
// per-set Y position and the list buttons.
class LineEditor : private EditorPart {
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
    // Inserts a whole empty set before the selected one (every other set
    // keeps its text, times and Y) and starts editing it.
    void insertSet();
    void removeLine();
    void removeAllSets();
    void goToBottom();

private:
    void applySpins(bool on);

    // The other parts, through the controller.
    Controller& c_;
    void applyPreset();
    bool settleUnsavedWork();
};
