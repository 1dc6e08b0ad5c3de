#include "app/SetEditor.h"

#include <algorithm>

#include "app/ControlIds.h"
#include "app/Controller.h"
#include "app/Ui.h"
#include "base/Cp1252.h"
#include "base/Text.h"
#include "export/SubtitleTrack.h"
#include "export/TextSubtitles.h"
#include "project/SrtImport.h"
#include "project/SubtitleSet.h"
#include "project/TextImport.h"

std::string clipboardTextOfSets(const SubtitleList& list, const std::vector<int>& sets, float fps) {
    SubtitleList chosen;
    chosen.clearList();
    for (int k : sets) {
        chosen.appendLine(list.line(2 * k));
        chosen.appendLine(list.line(2 * k + 1));
    }
    const TextSubtitles srt = writeTextSubtitles(collectTrackSets(chosen, fps), fps, TextSubtitleFormat::SubRip);
    if (srt.cues > 0) return srt.bytes;
    std::string text;
    for (int k : sets)
        for (int r : {2 * k, 2 * k + 1}) {
            const std::string line = text::trimSpaces(list.column(r, Column::Text));
            if (!line.empty()) text += line + "\r\n";
        }
    return text.empty() ? text : text + "\r\n";
}

std::vector<int> SetEditor::selectedSets() const {
    const std::vector<int>& marked = s_.view.markedSets;
    if (!marked.empty()) return marked;
    const int row = s_.view.selectedRow;
    if (row >= 0 && row < s_.list.lineCount()) return {row / 2};
    return {};
}

void SetEditor::mark(std::vector<int> sets, int currentRow) {
    std::sort(sets.begin(), sets.end());
    sets.erase(std::unique(sets.begin(), sets.end()), sets.end());
    s_.view.markedSets = std::move(sets);
    s_.view.selectedRow = currentRow >= 0 && currentRow < s_.list.lineCount() ? currentRow : -1;
    std::vector<int> rows;
    rows.reserve(s_.view.markedSets.size() * 2);
    for (int k : s_.view.markedSets) rows.push_back(2 * k), rows.push_back(2 * k + 1);
    ui_.markListRows(rows, s_.view.selectedRow);
}

void SetEditor::extendTo(int row) {
    if (row < 0 || row >= s_.list.lineCount()) return;
    if (s_.view.anchorSet < 0) s_.view.anchorSet = s_.view.selectedRow >= 0 ? s_.view.selectedRow / 2 : row / 2;
    const int from = std::min(s_.view.anchorSet, row / 2), to = std::max(s_.view.anchorSet, row / 2);
    std::vector<int> sets;
    for (int k = from; k <= to; ++k) sets.push_back(k);
    mark(std::move(sets), row);
    c_.loadSetIntoFields();
}

void SetEditor::toggle(int row) {
    if (row < 0 || row >= s_.list.lineCount()) return;
    std::vector<int> sets = selectedSets();
    auto at = std::find(sets.begin(), sets.end(), row / 2);
    if (at != sets.end() && sets.size() > 1)
        sets.erase(at);
    else if (at == sets.end())
        sets.push_back(row / 2);
    s_.view.anchorSet = row / 2;
    mark(std::move(sets), row);
    c_.loadSetIntoFields();
}

void SetEditor::selectAll() {
    std::vector<int> sets(size_t(s_.list.entryCount()));
    for (size_t k = 0; k < sets.size(); ++k) sets[k] = int(k);
    const int current = s_.view.selectedRow >= 0 ? s_.view.selectedRow : 0;
    s_.view.anchorSet = 0;
    mark(std::move(sets), current);
    c_.loadSetIntoFields();
}

void SetEditor::afterChange(int currentRow) {
    recalculateOffOn(s_.list, s_.fps);
    cx_.listChanged();
    currentRow = std::clamp(currentRow, 0, s_.list.lineCount() - 1);
    cx_.selectListRow(currentRow);
    ui_.showListRow(currentRow);
    c_.selectRow();
    refreshPreview();
}

void SetEditor::removeSelected() {
    const std::vector<int> sets = selectedSets();
    if (sets.empty()) return;
    s_.list.removeSets(sets);
    // The list always holds a set to type into.
    if (s_.list.lineCount() < 2) {
        s_.list.clearList();
        s_.list.appendEmptySet();
    }
    afterChange(2 * sets.front());
}

void SetEditor::copy() {
    const std::vector<int> sets = selectedSets();
    if (sets.empty()) return;
    copiedText_ = clipboardTextOfSets(s_.list, sets, s_.fps);
    copiedRows_.clear();
    for (int k : sets) {
        copiedRows_.push_back(s_.list.line(2 * k));
        copiedRows_.push_back(s_.list.line(2 * k + 1));
    }
    ui_.setClipboardText(copiedText_);
}

void SetEditor::cut() {
    copy();
    removeSelected();
}

void SetEditor::paste() {
    const std::optional<std::string> text = ui_.clipboardText();
    if (!text || text->empty()) return;
    std::vector<SubtitleLine> rows;
    if (*text == copiedText_ && !copiedRows_.empty()) {
        rows = copiedRows_;
    } else {
        SubtitleList parsed;
        parsed.clearList();
        if (importSrtText(*text, s_.fps, s_.view.stripsY.value, parsed).cues == 0) {
            const TextImportResult plain = importPlainText(*text, s_.view.stripsY.value);
            if (!plain.ok()) {
                ui_.messageBox("Info", "The clipboard holds no subtitle text to paste.");
                return;
            }
            parsed = listOfSets(plain.sets);
        }
        for (int r = 0; r < parsed.lineCount(); ++r) rows.push_back(parsed.line(r));
    }
    if (rows.empty()) return;
    // After the selected sets; with none, before the empty set at the end
    // that new text is typed into.
    const std::vector<int> sets = selectedSets();
    int at = s_.list.entryCount();
    if (!sets.empty())
        at = sets.back() + 1;
    else if (at > 0 && text::trimSpaces(s_.list.column(2 * at - 2, Column::Text)).empty() &&
             text::trimSpaces(s_.list.column(2 * at - 1, Column::Text)).empty())
        at -= 1;
    s_.list.insertSets(at, rows);
    const int count = int((rows.size() + 1) / 2);
    afterChange(2 * at);
    std::vector<int> pasted;
    for (int k = at; k < at + count; ++k) pasted.push_back(k);
    s_.view.anchorSet = at;
    mark(std::move(pasted), 2 * at);
}

void SetEditor::toggleForced() {
    const std::vector<int> sets = selectedSets();
    if (sets.empty()) return;
    const bool all = std::all_of(sets.begin(), sets.end(), [&](int k) { return s_.list.forced(k); });
    for (int k : sets) s_.list.setForced(k, !all);
    // The rows are drawn again; the selection stays.
    ui_.rowsChanged(2 * sets.front(), 2 * sets.back() + 1);
}

void SetEditor::move(int by) {
    std::vector<int> sets = selectedSets();
    if (sets.empty()) return;
    if ((by < 0 && sets.front() == 0) || (by > 0 && sets.back() >= s_.list.entryCount() - 1)) return;
    // One place at a time, the set nearest the end it moves towards first,
    // so sets that are next to each other move together.
    if (by > 0) std::reverse(sets.begin(), sets.end());
    for (int& k : sets) {
        s_.list.moveSets(k, 1, by);
        k += by;
    }
    const int current = s_.view.selectedRow >= 0 ? s_.view.selectedRow + 2 * by : 2 * sets.front();
    const bool many = s_.view.markedSets.size() > 1;
    afterChange(current);
    if (many) mark(std::move(sets), current);
}
