#include "app/EditorRecorder.h"

#include <algorithm>
#include <climits>

#include "app/ControlIds.h"
#include "app/Controller.h"
#include "app/Ui.h"

SubtitleList& EditorRecorderHost::list() { return c_.state().list; }

Rgb EditorRecorderHost::bgColor() const { return c_.state().style.bgColor; }

void EditorRecorderHost::setRecordingActive(bool active) { c_.state().recordingActive = active ? 1 : 0; }

void EditorRecorderHost::listChanged() { c_.listChanged(); }

void EditorRecorderHost::selectListRow(int row) { c_.selectListRow(row); }

int EditorRecorderHost::selectedListRow() const { return c_.state().view.selectedRow; }

std::vector<OverlayPiece> EditorRecorderHost::showSet(int set) {
    c_.selectListRow(2 * set);
    c_.loadSetIntoFields();
    return makeSetOverlay(c_.canvas, c_.renderer().lastRender(), c_.state().style);
}

void EditorRecorderHost::runEnded(std::optional<int64_t> elapsedMs, int rate) {
    AppState& s = c_.state();
    s.recordingActive = 0;
    // Back to editing, on the first set.
    c_.selectListRow(0);
    c_.selectRow();
    s.style.bgColor = s.style.presetBgColor;
    c_.refreshPreview();
    closeRecordTimings(c_, ui_, elapsedMs, rate);
}

void closeRecordTimings(Controller& controller, Ui& ui, std::optional<int64_t> elapsedMs, int rate) {
    AppState& s = controller.state();
    s.recordingActive = 0;
    if (elapsedMs) {
        int64_t ms = std::max<int64_t>(*elapsedMs, 0);
        int64_t frames = (ms + 999) / 1000 * std::max(rate, 1);
        s.timedLength = int(std::min<int64_t>(frames, INT_MAX));
    }
    recalculateOffOn(s.list, s.fps, ui);
    controller.listChanged();
    ui.setValue(ctl::RecordTimings, 0);
}
