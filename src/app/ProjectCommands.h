#pragma once
#include <optional>
#include <string>

#include "project/ProjectFile.h"
#include "render/ProjectLook.h"

#include "app/EditorPart.h"

class Controller;

// New, Open, Save, SubRip import, the unsaved-work question and the clearing
// of the editing surface.
class ProjectCommands : private EditorPart {
public:
    ProjectCommands(EditorContext& context, Controller& controller);

    void newProject();
    void openProject();
    // Writes the project in place once it has a file; a new project asks
    // for its name (Save As). False when nothing was written (cancelled or failed).
    bool saveProject();
    bool saveProjectAs();
    bool hasUnsavedWork() const;
    void markListSaved();
    // The project holds work that was never saved (an import, say).
    void markListUnsaved();
    // Before a command that replaces the list: with unsaved work asks
    // "Save changes to NAME?"; Yes saves first. False when the command must
    // not go on (Cancel, or the save did not happen).
    bool settleUnsavedWork();
    // `showEmptyCanvas` false: the caller renders the preview next (Open),
    // so the cleared canvas is neither made nor shown.
    void clearProject(bool showEmptyCanvas = true);
    // Reads a project file; only when it is sound does it replace the
    // current project (as Open and the command line do). False otherwise.
    bool loadProject(const std::string& path);
    // Takes a project kept by the journal of unsaved work (its file's text,
    // the file it belongs to or "" and its name, its look) as unsaved work.
    // False when the text is no project.
    bool recoverProject(const std::string& projectText, const std::string& path, const std::string& name,
                        const std::optional<ProjectLook>& look);
    void importSrt();
    // "Import STL...": an EBU subtitle list as a new unsaved project, as
    // Import SRT does (app/StlImportCommand.cpp).
    void importStl();
    // The project's language: item `index` of the language list chosen, or a
    // code ("": not told) made the language and shown in the list (a code
    // the list lacks is added to it).
    void chooseLanguage(int index);
    void showLanguage(std::string code);
    // Offers the recent projects in a menu and opens the one chosen.
    void openRecent();
    // Reads the recent projects and the last folder from the user's settings.
    void loadRecent();
    // The folder the file dialogs start in: the one last used, the
    // project's own, or the user's home.
    std::string dialogFolder() const;

private:
    // A project or file the user opened or saved: it goes first in the
    // recent projects, its folder becomes the dialogs' folder.
    void remember(const std::string& path, bool project);
    void saveRecent();
    // Makes rows read from a project (file or journal) the program's project.
    void takeProject(const std::string& path, const ProjectHeader& header, SubtitleList rows,
                     const std::optional<ProjectLook>& look);
    // Writes the project file (and its look) at `path`; it becomes the
    // project's file. False (the user told) when it could not be written.
    bool writeProject(const std::string& path);
    // After an import filled the list: the new unsaved project named after
    // the file at `path`, every set at the slider's Y `y` where it has none.
    void takeImport(const std::string& path, int y);
    // Names, per set, the characters the caption glyphs lack (drawn as boxes).
    void tellMissingGlyphs();

    // A language of the project that the language list lacks, shown as its last item.
    std::string shownExtraLanguage_;
    bool languageListFilled_ = false;

    // The other parts, through the controller.
    Controller& c_;
    void applyPreset();
    void applyProfile(bool tellMissingTimes);
    void applyFrameRange();
    void loadSetIntoFields();
    void focusLineField(int line);
};
