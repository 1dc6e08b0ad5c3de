#include "app/ListOrder.h"

#include "app/AppState.h"
#include "app/EditorContext.h"
#include "app/LineEditor.h"
#include "app/Ui.h"
#include "export/SetSchedule.h"
#include "project/SortByTime.h"
#include "project/SubtitleSet.h"

std::string listOrderedNote(const AppState& s) {
    const std::string summary = leftOutSummary(listOrderedLeftOut(subtitleSets(s.list)));
    if (summary.empty()) return {};
    return "AVI movie and IFF + Scala (sets in list order): " + summary + ".";
}

void sortListByTime(EditorContext& cx, LineEditor& lines) {
    if (sortSetsByTime(cx.s.list, cx.s.fps) == 0) return;
    cx.listChanged();
    // The fields show what the selected row holds now.
    if (cx.s.view.selectedRow >= 0) lines.loadSetIntoFields();
    cx.refreshPreview();
}
