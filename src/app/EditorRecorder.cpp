#include "app/EditorRecorder.h"

#include <algorithm>
#include <climits>

#include "app/ControlIds.h"
#include "app/Controller.h"
#include "app/Ui.h"
#include "export/SetSchedule.h"
#include "project/SubtitleSet.h"
#include "render/Compositor.h"

SubtitleList& EditorRecorderHost::list() { return c_.state().list; }

Rgb EditorRecorderHost::bgColor() const { return c_.state().style.bgColor; }

void EditorRecorderHost::setRecordingActive(bool active) { c_.state().recordingActive = active ? 1 : 0; }

void EditorRecorderHost::listChanged() {
    c_.listChanged();
    // Every recorded time goes into the journal at once: a crash in the
    // middle of a run loses none of them.
    c_.journalTick();
}

void EditorRecorderHost::selectListRow(int row) { c_.selectListRow(row); }

int EditorRecorderHost::selectedListRow() const { return c_.state().view.selectedRow; }

std::vector<OverlayPiece> EditorRecorderHost::showSet(int set) {
    // The window follows the run: the set is selected and shown in the editor.
    c_.selectListRow(2 * set);
    c_.loadSetIntoFields();
    // The overlay is drawn from the set itself, as the preview draws it: at
    // its own Y or the slider's, over the background picture when one is loaded.
    StripsConfig style = c_.state().style;
    style.stripsYPos = c_.state().view.stripsY.value;
    const std::vector<SubtitleSet> one{subtitleSetOf(c_.state().list, set)};
    Image picture(c_.canvas.width(), c_.canvas.height());
    const RenderResult drawn = renderSet(one, 0, style, RenderTarget::Preview, c_.renderer().fontSheet(), picture,
                                         c_.background.empty() ? nullptr : &c_.background);
    return makeSetOverlay(picture, drawn, style);
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

void EditorRecorderHost::warn(const std::string& text) { ui_.messageBox("Warning!", text); }

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
    // Times a run recorded before those of a set above them.
    if (elapsedMs) {
        std::vector<LeftOutSet> back;
        for (const LeftOutSet& set : listOrderedLeftOut(subtitleSets(s.list)))
            if (set.reason == kStartsBeforeASetAbove) back.push_back(set);
        if (!back.empty())
            ui.messageBox("Warning!", "After this run some times go back in the list. AVI movie and IFF + Scala: " +
                                          leftOutSummary(back) +
                                          ".\nSort by Time in the export dialog puts the sets in time order.");
    }
}
