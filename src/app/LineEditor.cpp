// The line editor: typing, Return, selecting rows, the time spin fields, the
// per-set Y position and the list buttons.
#include <algorithm>

#include "app/ControlIds.h"
#include "app/LineEditor.h"
#include "app/Controller.h"
#include "app/Ui.h"
#include "base/Text.h"
#include "base/Utf8.h"

namespace {
const Rgb kWhite{255, 255, 255};
const Rgb kEditGreen{126, 255, 126};
const int kOnSpins[4] = {ctl::OnHours, ctl::OnMinutes, ctl::OnSeconds, ctl::OnFrames};
const int kOffSpins[4] = {ctl::OffHours, ctl::OffMinutes, ctl::OffSeconds, ctl::OffFrames};

void setSpinsEnabled(Ui& ui, bool on) {
    for (int id : kOnSpins) ui.setEnabled(id, on);
    for (int id : kOffSpins) ui.setEnabled(id, on);
}
}  // namespace

LineEditor::LineEditor(EditorContext& context, Controller& controller)
    : EditorPart(context), c_(controller) {}

void LineEditor::onLineFieldEvent(int line, bool changed) {
    s_.activeLine = line;
    bool firstSetHasText = !s_.list.column(0, Column::Text).empty() && !s_.list.column(1, Column::Text).empty();
    // A longer list can always be saved, whatever its first set holds.
    bool savable = firstSetHasText || s_.list.lineCount() > 2;
    for (int id : {ctl::Save, ctl::SaveAs, ctl::ExportFiles, ctl::CaptureScreen}) ui_.setEnabled(id, savable);
    if (!changed) return;
    int field = line == 1 ? ctl::LineA : ctl::LineB;
    int row = 2 * s_.currentSet + (line == 1 ? 0 : 1);
    std::string value = line == 1 ? s_.view.lineA : s_.view.lineB;
    if (value.empty()) {
        s_.list.setLineColumn(row, Column::Text, "");
        ui_.rowsChanged(row, row);
        clearLineStrip();
        return;
    }
    // "|" separates the columns of a project file; the broken bar looks the same.
    if (value.find('|') != std::string::npos) {
        value = text::replaceAll(value, "|", utf8::kBrokenBar);
        setControlText(field, value);
        ui_.setCaretToEnd(field);
    }
    s_.list.setLineColumn(row, Column::Text, value);
    // Every set has a Y: the first text typed into either line gives both
    // rows the Y in effect (a one-line set is typed into line B alone).
    {
        const int a = row - row % 2;
        std::string y = std::to_string(s_.style.stripsYPos);
        for (int r : {a, a + 1})
            if (r < s_.list.lineCount() && text::trimSpaces(s_.list.column(r, Column::Y)).empty())
                s_.list.setLineColumn(r, Column::Y, y);
    }
    ui_.rowsChanged(row - row % 2, row - row % 2 + 1);
    refreshPreview();
}

// The program moving the caret into a line field counts as that field's
// event, as the user's click would: Return then acts on the field that has
// the caret, even before a key was typed there.
void LineEditor::focusLineField(int line) {
    int field = line == 1 ? ctl::LineA : ctl::LineB;
    ui_.setFocus(field);
    ui_.setCaretToEnd(field);
    s_.activeLine = line;
}

void LineEditor::onReturnKey() {
    if (s_.activeLine != 1 && s_.activeLine != 2) return;
    bool lineA = s_.activeLine == 1;
    switch (s_.editState) {
        case NewSet:
            lineA ? commitLineA() : commitLineB();
            break;
        case EditSet:
        case EditLineB:
            if (lineA) {
                ui_.setEnabled(ctl::LineA, false);
                s_.editState = EditLineB;
                focusLineField(2);
            } else {
                ui_.setEnabled(ctl::LineB, false);
                s_.editState = EditLineB;
            }
            break;
        case EditLastSet:
            s_.editState = NewSet;
            ui_.setBackground(ctl::LineA, kWhite);
            ui_.setBackground(ctl::LineB, kWhite);
            lineA ? commitLineA() : commitLineB();
            break;
    }
}

namespace {
void fillUpperContextFromEnd(Ui& ui, const SubtitleList& list) {
    int n = list.lineCount();
    if (n >= 3) {
        ui.setText(ctl::Context28, list.column(n - 3, Column::Text));
        ui.setText(ctl::Context29, list.column(n - 4, Column::Text));
    }
    if (n >= 5) {
        ui.setText(ctl::Context30, list.column(n - 5, Column::Text));
        ui.setText(ctl::Context31, list.column(n - 6, Column::Text));
    }
}
}  // namespace

void LineEditor::commitLineA() {
    s_.activeLine = 0;
    s_.list.renumberIds();
    fillUpperContextFromEnd(ui_, s_.list);
    if (s_.shadePhase == 0) s_.lastShade = 230, s_.shadePhase = 1;
    else if (s_.shadePhase == 2) s_.lastShade = 210, s_.shadePhase = 3;
    s_.list.setRowShade(2 * s_.currentSet, s_.lastShade);
    listChanged();
    focusLineField(2);
}

void LineEditor::commitLineB() {
    s_.activeLine = 0;
    int committed = s_.currentSet;
    setControlText(ctl::LineA, "");
    setControlText(ctl::LineB, "");
    s_.list.appendEmptySet();
    s_.currentSet = s_.list.lineCount() / 2 - 1;
    s_.list.renumberIds();
    fillUpperContextFromEnd(ui_, s_.list);
    // The preview goes back to the bare background for the new set.
    refreshPreview();
    focusLineField(1);
    if (s_.shadePhase == 1) s_.lastShade = 230, s_.shadePhase = 2;
    else if (s_.shadePhase == 3) s_.lastShade = 210, s_.shadePhase = 0;
    s_.list.setRowShade(2 * committed + 1, s_.lastShade);
    listChanged();
    // The list follows the typing: the new set's rows stay in view.
    ui_.showListRow(s_.list.lineCount() - 1);
    ui_.setEnabled(ctl::RecordTimings, s_.list.lineCount() > 2);
}

void LineEditor::selectRow() {
    int row = s_.view.selectedRow;
    if (row >= 0 && !s_.recordingActive && !s_.captureActive) {
        s_.editState = EditSet;
        for (int id : {ctl::LineA, ctl::LineB}) {
            ui_.setBackground(id, kEditGreen);
            ui_.setEnabled(id, true);
        }
        loadSetIntoFields();
        if (row >= s_.list.lineCount() - 2) s_.editState = EditLastSet;
    } else {
        for (int id : {ctl::RemoveSingle, ctl::InsertSingle, ctl::InsertSet, ctl::OverrideYSlider}) ui_.setEnabled(id, false);
        setSpinsEnabled(ui_, false);
    }
    int y = row >= 0 ? text::toInt(s_.list.column(row, Column::Y)) : 0;
    setControlValue(ctl::OverrideYSlider, y);
    setControlText(ctl::OverrideYValue, std::to_string(y));
    bool same = y == s_.view.stripsY.value;
    for (int id : {ctl::StripsYCaption, ctl::StripsYSlider, ctl::StripsYValue}) ui_.setEnabled(id, same);
    ui_.drainPendingEvents();
}

void LineEditor::loadSetIntoFields() {
    int n = s_.list.lineCount();
    int s = s_.view.selectedRow;
    if (s >= n) s = -1;
    if (s >= 0 && n > 0) {
        ui_.setEnabled(ctl::RemoveSingle, true);
        ui_.setEnabled(ctl::RemoveAll, true);
        setSpinsEnabled(ui_, !text::trimSpaces(s_.list.column(s, Column::Text)).empty());
        ui_.setEnabled(ctl::InsertSingle, true);
        ui_.setEnabled(ctl::InsertSet, true);
        ui_.setEnabled(ctl::OverrideYSlider, true);
    } else {
        for (int id : {ctl::RemoveSingle, ctl::InsertSingle, ctl::InsertSet, ctl::OverrideYSlider}) ui_.setEnabled(id, false);
        setSpinsEnabled(ui_, false);
    }
    ui_.setEnabled(ctl::RecordTimings, n > 2);
    if (n == 2) {
        for (int id : {ctl::RemoveSingle, ctl::RemoveAll, ctl::RecordTimings}) ui_.setEnabled(id, false);
    }
    if (s < 0) return;

    int aRow = setRowOf(s);
    setControlText(ctl::LineA, s_.list.column(aRow, Column::Text));
    setControlText(ctl::LineB, s_.list.column(aRow + 1, Column::Text));
    s_.activeLine = s % 2 == 0 ? 1 : 2;
    s_.currentSet = aRow / 2;

    // Each context field is given its text once (an empty one where the
    // list ends), so a field that keeps its text is not touched.
    const int upper[4] = {ctl::Context28, ctl::Context29, ctl::Context30, ctl::Context31};
    for (int k = 0; k < 4; ++k) setControlText(upper[k], s_.list.column(aRow - 1 - k, Column::Text));
    const int lower[4] = {ctl::Context35, ctl::Context34, ctl::Context33, ctl::Context32};
    for (int k = 0; k < 4; ++k) setControlText(lower[k], s_.list.column(aRow + 2 + k, Column::Text));

    refreshPreview();

    const RowTiming timing = s_.list.timing(s);
    const TimeCode on = timing.on.value_or(TimeCode{}), off = timing.off.value_or(TimeCode{});
    const int onValues[4] = {on.hh, on.mm, on.ss, on.ff};
    const int offValues[4] = {off.hh, off.mm, off.ss, off.ff};
    for (int k = 0; k < 4; ++k) {
        setControlValue(kOnSpins[k], onValues[k]);
        setControlValue(kOffSpins[k], offValues[k]);
    }
    checkYConsistency();
}

void LineEditor::checkYConsistency() {
    int slider = s_.view.stripsY.value;
    for (int i = 0; i < s_.list.lineCount(); ++i)
        if (text::toInt(s_.list.row(i)->y) != slider) return;
    for (int id : {ctl::StripsYCaption, ctl::StripsYSlider, ctl::StripsYValue}) ui_.setEnabled(id, true);
}

namespace {
TimeCode spinTime(const RangedValue (&spins)[4]) {
    return TimeCode{spins[0].value, spins[1].value, spins[2].value, spins[3].value};
}
}  // namespace

// Writes the ON or OFF half of the selected set's timing from its four spin
// fields, keeping the other half, and recalculates the frame counts.
void LineEditor::applySpins(bool on) {
    int s = s_.view.selectedRow;
    if (s < 0 || s >= s_.list.lineCount()) return;
    RowTiming timing = s_.list.timing(s);
    timing.verbatim.clear();
    (on ? timing.on : timing.off) = spinTime(on ? s_.view.on : s_.view.off);
    const int a = setRowOf(s);
    s_.list.setSetTiming(a / 2, timing);
    // No box here: a set is timed one spin step at a time, and untimed sets
    // are the normal state of a list being timed. Only this set and the next
    // timed one change.
    int lastSet = a / 2;
    recalculateOffOnOfSet(s_.list, s_.fps, a / 2, &lastSet);
    ui_.rowsChanged(a, 2 * lastSet + 1);
}

void LineEditor::applyOnSpins() {
    applySpins(true);
}

void LineEditor::applyOffSpins() {
    applySpins(false);
}

void LineEditor::setSetY() {
    int v = s_.view.overrideY.value;
    s_.style.stripsYPos = v;
    setControlText(ctl::OverrideYValue, std::to_string(v));
    int s = s_.view.selectedRow;
    if (s >= 0 && s < s_.list.lineCount()) {
        int a = setRowOf(s);
        s_.list.setLineColumn(a, Column::Y, std::to_string(v));
        s_.list.setLineColumn(a + 1, Column::Y, std::to_string(v));
        ui_.rowsChanged(a, a + 1);
    }
    refreshPreview();
    checkYConsistency();
    bool same = s_.style.stripsYPos == s_.view.stripsY.value;
    for (int id : {ctl::StripsYCaption, ctl::StripsYSlider, ctl::StripsYValue}) ui_.setEnabled(id, same);
}

void LineEditor::resetAllY() {
    std::string y = std::to_string(s_.view.stripsY.value);
    for (int i = 0; i < s_.list.lineCount(); ++i) s_.list.setLineColumn(i, Column::Y, y);
    listChanged();
    checkYConsistency();
    loadSetIntoFields();
    refreshPreview();
}

void LineEditor::insertLine() {
    int s = s_.view.selectedRow;
    if (s < 0 || s >= s_.list.lineCount()) return;
    // A whole empty set keeps the list in pairs; the texts flow one line down
    // while every set keeps its time codes and Y.
    int formerLast = s_.list.lineCount() - 1;
    s_.list.appendEmptySet();
    for (int r = formerLast; r >= s; --r) s_.list.setLineColumn(r + 1, Column::Text, s_.list.column(r, Column::Text));
    s_.list.setLineColumn(s, Column::Text, "");
    s_.list.renumberIds();
    listChanged();
}

void LineEditor::insertSet() {
    int s = s_.view.selectedRow;
    if (s < 0 || s >= s_.list.lineCount() || s_.recordingActive || s_.captureActive) return;
    const int set = s / 2;
    s_.list.insertEmptySet(set, std::to_string(s_.view.stripsY.value));
    recalculateOffOn(s_.list, s_.fps);
    listChanged();
    selectListRow(2 * set);
    selectRow();
    focusLineField(1);
}

void LineEditor::removeLine() {
    int n = s_.list.lineCount();
    int s = s_.view.selectedRow;
    if (n < 3) {
        ui_.messageBox("Info", "Sorry can't delete this item!");
        return;
    }
    if (s < 0 || s >= n) return;
    // Only the text lines move up; every set keeps its time codes, frame
    // counts and Y.
    for (int r = s; r + 1 < n; ++r) s_.list.setLineColumn(r, Column::Text, s_.list.column(r + 1, Column::Text));
    s_.list.setLineColumn(n - 1, Column::Text, "");
    for (int id : ctl::ContextFields) setControlText(id, "");
    setControlText(ctl::LineA, "");
    setControlText(ctl::LineB, "");
    for (int id : {ctl::RemoveSingle, ctl::RemoveAll, ctl::InsertSingle, ctl::InsertSet, ctl::OverrideYSlider}) ui_.setEnabled(id, false);
    setSpinsEnabled(ui_, false);
    n = s_.list.lineCount();
    if (n > 2 && n % 2 == 0 && s_.list.column(n - 1, Column::Text).empty() && s_.list.column(n - 2, Column::Text).empty()) {
        s_.list.removeLastLine();
        s_.list.removeLastLine();
    }
    s_.list.renumberIds();
    ui_.setEnabled(ctl::RecordTimings, s_.list.lineCount() > 2);
    listChanged();
    ui_.setFocus(ctl::SubtitleListView);
    selectListRow(std::min(s, s_.list.lineCount() - 1));
    loadSetIntoFields();
    applyPreset();
    refreshPreview();
}

void LineEditor::removeAllSets() {
    if (s_.list.lineCount() < 3) {
        ui_.messageBox("Info", "Sorry can't delete this item!");
        return;
    }
    if (!settleUnsavedWork()) return;
    s_.list.clearList();
    s_.list.appendEmptySet();
    listChanged();
    selectListRow(-1);
    for (int id : ctl::ContextFields) setControlText(id, "");
    setControlText(ctl::LineA, "");
    setControlText(ctl::LineB, "");
    s_.currentSet = 0;
    refreshPreview();
    for (int id : {ctl::RemoveSingle, ctl::InsertSingle, ctl::InsertSet, ctl::RecordTimings, ctl::OverrideYSlider})
        ui_.setEnabled(id, false);
    setSpinsEnabled(ui_, false);
}

void LineEditor::goToBottom() {
    if (s_.list.lineCount() == 0) s_.list.appendEmptySet();
    selectListRow(s_.list.lineCount() - 1);
    s_.editState = NewSet;
    for (int id : {ctl::LineA, ctl::LineB}) {
        ui_.setBackground(id, kWhite);
        ui_.setEnabled(id, true);
    }
    loadSetIntoFields();
    s_.currentSet = (s_.list.lineCount() - 1) / 2;
    focusLineField(2);
    ui_.drainPendingEvents();
}

void LineEditor::applyPreset() { c_.applyPreset(); }
bool LineEditor::settleUnsavedWork() { return c_.settleUnsavedWork(); }
