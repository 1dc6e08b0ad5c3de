#pragma once
#include <string>

#include "app/EditorContext.h"

// What every part of the editor works with: the shared context under the
// names its handlers use, and the context's operations.
class EditorPart {
protected:
    explicit EditorPart(EditorContext& context)
        : cx_(context),
          s_(context.s),
          ui_(context.ui),
          canvas(context.canvas),
          stripsSwatch(context.stripsSwatch),
          bgSwatch(context.bgSwatch),
          background(context.background),
          backgroundSource(context.backgroundSource),
          backgroundPath(context.backgroundPath) {}

    EditorContext& cx_;
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
    void reloadFontSheets() { cx_.reloadFontSheets(); }
    void createImages() { cx_.createImages(); }
    void updateTitle() { cx_.updateTitle(); }
    std::string projectFileName() const { return cx_.projectFileName(); }
    void listChanged() { cx_.listChanged(); }
    void selectListRow(int row) { cx_.selectListRow(row); }
    void setControlValue(int id, int v) { cx_.setControlValue(id, v); }
    void setControlRange(int id, int lo, int hi) { cx_.setControlRange(id, lo, hi); }
    void setControlText(int id, const std::string& t) { cx_.setControlText(id, t); }
};
