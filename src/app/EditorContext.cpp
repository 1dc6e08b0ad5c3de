#include "app/EditorContext.h"

#include <algorithm>
#include <cstring>

#include "app/ControlIds.h"
#include "app/DataDirs.h"
#include "app/Layout.h"
#include "app/Ui.h"
#include "base/Draw.h"
#include "base/Text.h"
#include "io/Files.h"
#include "render/Background.h"

RangedValue* EditorContext::ranged(int id) {
    EditorView& v = s.view;
    switch (id) {
        case ctl::OnHours: return &v.on[0];
        case ctl::OnMinutes: return &v.on[1];
        case ctl::OnSeconds: return &v.on[2];
        case ctl::OnFrames: return &v.on[3];
        case ctl::OffHours: return &v.off[0];
        case ctl::OffMinutes: return &v.off[1];
        case ctl::OffSeconds: return &v.off[2];
        case ctl::OffFrames: return &v.off[3];
        case ctl::StripsYSlider: return &v.stripsY;
        case ctl::OverrideYSlider: return &v.overrideY;
        case ctl::StripsSpacingSlider: return &v.stripsSpacing;
        default: return nullptr;
    }
}

void EditorContext::setControlValue(int id, int value) {
    if (RangedValue* r = ranged(id)) r->set(value);
    if (id == ctl::BgImage) s.view.bgImage = value != 0;
    ui.setValue(id, value);
}

void EditorContext::setControlRange(int id, int min, int max) {
    if (RangedValue* r = ranged(id)) r->setRange(min, max);
    ui.setRange(id, min, max);
}

void EditorContext::setControlText(int id, const std::string& text) {
    if (id == ctl::LineA) s.view.lineA = text;
    if (id == ctl::LineB) s.view.lineB = text;
    ui.setText(id, text);
}

void EditorContext::selectListRow(int row) {
    s.view.selectedRow = row >= 0 && row < s.list.lineCount() ? row : -1;
    s.view.markedSets.clear();
    s.view.anchorSet = s.view.selectedRow >= 0 ? s.view.selectedRow / 2 : -1;
    ui.selectListRow(row);
}

void EditorContext::listChanged() {
    if (s.view.selectedRow >= s.list.lineCount()) s.view.selectedRow = -1;
    // Marks name sets by place: after a change they would name others.
    s.view.markedSets.clear();
    ui.listChanged();
}

void EditorContext::absorb(const Event& e) {
    if (e.kind != EventKind::Control) return;
    EditorView& v = s.view;
    if (RangedValue* r = ranged(e.id)) r->set(e.value);
    switch (e.id) {
        case ctl::LineA: v.lineA = e.text; break;
        case ctl::LineB: v.lineB = e.text; break;
        case ctl::SubtitleListView:
            // A plain pick selects one row; Shift and Ctrl picks are the
            // set editor's to work out.
            if (e.flags != 0) break;
            v.selectedRow = e.value >= 0 && e.value < s.list.lineCount() ? e.value : -1;
            v.markedSets.clear();
            v.anchorSet = v.selectedRow >= 0 ? v.selectedRow / 2 : -1;
            break;
        case ctl::BgImage: v.bgImage = e.value != 0; break;
        default: break;
    }
}

void EditorContext::createImages() {
    // Images that already have the size are cleared rather than allocated
    // again: a full-HD canvas is 8 MB, and every profile change and project
    // open comes here.
    auto fresh = [](Image& img, int w, int h) {
        if (!img.empty() && img.width() == w && img.height() == h)
            std::memset(img.data(), 0, img.stride() * size_t(h));
        else
            img = Image(w, h);
    };
    // The canvas is rendered or filled whole by whoever comes here next: one
    // that has the size keeps what it holds instead of being cleared.
    if (canvas.empty() || canvas.width() != s.projectWidth || canvas.height() != s.projectHeight)
        canvas = Image(s.projectWidth, s.projectHeight);
    // The renderer makes the composite when there is a background picture.
    if (backgroundSource.empty()) composite = Image();
    fresh(stripsSwatch, 80, 20);
    fresh(bgSwatch, 20, 20);
    // A background picture follows the project size.
    if (!backgroundSource.empty() &&
        (background.width() != s.projectWidth || background.height() != s.projectHeight || background.empty()))
        background = prepareBackground(backgroundSource, s.projectWidth, s.projectHeight);
}

void EditorContext::showCanvas() {
    ui.showImage(ctl::Canvas, compositeShown && !background.empty() ? composite : canvas);
}

void EditorContext::refreshPreview() {
    s.style.mixedColor = mixStripColor(s.style.stripsColor, s.style.bgColor, s.style.blend);
    // The set whose Y applies: the selected one, or the one being typed.
    int row = s.view.selectedRow;
    if ((row < 0 || s.editState == NewSet) && s.list.lineCount() > 0)
        row = std::min(2 * s.currentSet, s.list.lineCount() - 1);
    if (row >= 0 && row < s.list.lineCount()) {
        int y = text::toInt(s.list.column(setRowOf(row), Column::Y));
        s.style.stripsYPos = y == 0 ? s.view.stripsY.value : y;
    }
    const RenderResult& r = renderer.renderPreview(s.style, s.view.lineA, s.view.lineB, canvas,
                                                    composite, background.empty() ? nullptr : &background);
    compositeShown = r.compositeMade;
    draw::fillOpaque(stripsSwatch, s.style.mixedColor);
    ui.showImage(ctl::StripsSwatch, stripsSwatch);
    showCanvas();

    bool crop = !s.style.centerText;
    for (int id : {ctl::CropCaption, ctl::CropSlider, ctl::CropValue}) ui.setEnabled(id, crop);
    if (s.list.lineCount() > 2 || !s.list.column(0, Column::Text).empty() || !s.list.column(1, Column::Text).empty())
        for (int id : {ctl::Save, ctl::SaveAs, ctl::ExportFiles, ctl::CaptureScreen}) ui.setEnabled(id, true);
}

void EditorContext::clearLineStrip() {
    bool a = s.view.lineA.empty(), b = s.view.lineB.empty();
    renderer.clearLineStrips(s.style, a, b, canvas, background.empty() ? nullptr : &background);
    ui.showImage(ctl::Canvas, canvas);
}

void EditorContext::reloadFontSheets() {
    if (renderer.loadFontSheets(fontSheetFolders(s.dataDirs()), s.style.fontSize, s.fontSheetsDirty, ui)) {
        int sp = s.style.stripsSpacing;
        auto [lo, hi] = stripsSpacingRange(sp);
        setControlRange(ctl::StripsSpacingSlider, lo, hi);
        setControlValue(ctl::StripsSpacingSlider, sp);
        setControlText(ctl::StripsSpacingValue, std::to_string(sp));
    }
}

std::string EditorContext::projectFileName() const {
    return text::removeAllIgnoreCase(files::filePart(s.projectName), s.projectExt) + s.projectExt;
}

void EditorContext::updateTitle() {
    ui.setTitle(s.titlePrefix + s.versionText + " - " + projectFileName());
}
