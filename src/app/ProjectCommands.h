#pragma once
#include <string>

#include "app/EditorContext.h"

class Controller;

// New, Open, Save, SubRip import, the unsaved-work question and the clearing
// of the editing surface.
class ProjectCommands {
public:
    ProjectCommands(EditorContext& context, Controller& controller);

    void newProject();
    void openProject();
    // False when nothing was written (cancelled or failed).
    bool saveProject();
    bool hasUnsavedWork() const;
    void markListSaved();
    // Before a command that replaces the list: with unsaved work asks
    // "Save changes to NAME?"; Yes saves first. False when the command must
    // not go on (Cancel, or the save did not happen).
    bool settleUnsavedWork();
    void clearProject();
    // Reads a project file; only when it is sound does it replace the
    // current project (as Open and the command line do). False otherwise.
    bool loadProject(const std::string& path);
    void importSrt();

private:

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
    void applyProfile(bool tellMissingTimes);
    void applyFrameRange();
    void loadSetIntoFields();
    void focusLineField(int line);
};
