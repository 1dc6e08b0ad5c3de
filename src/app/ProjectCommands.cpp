// New, Open, Save, SubRip import and the clearing of the editing surface.
#include <algorithm>
#include <ctime>

#include "app/ControlIds.h"
#include "app/Controller.h"
#include "app/ProjectOpen.h"
#include "app/ProjectPaths.h"
#include "app/Ui.h"
#include "platform/Files.h"
#include "project/ProjectFile.h"
#include "project/SrtImport.h"
#include "project/Text.h"
#include "render/Draw.h"


void Controller::clearProject() {
    s_.list.clearList();
    ui_.listChanged();
    ui_.selectListRow(-1);
    ui_.setText(ctl::LineA, "");
    ui_.setText(ctl::LineB, "");
    for (int id : ctl::ContextFields) ui_.setText(id, "");
    for (int id : {ctl::RemoveSingle, ctl::RemoveAll, ctl::RecordTimings, ctl::Save, ctl::ExportFiles,
                   ctl::CaptureScreen, ctl::OnHours, ctl::OnMinutes, ctl::OnSeconds, ctl::OnFrames, ctl::OffHours,
                   ctl::OffMinutes, ctl::OffSeconds, ctl::OffFrames, ctl::OverrideYSlider})
        ui_.setEnabled(id, false);
    for (int id : {ctl::StripsYCaption, ctl::StripsYSlider, ctl::StripsYValue}) ui_.setEnabled(id, true);
    s_.currentSet = 0;
    s_.shadePhase = 0;
    s_.activeLine = 1;
    s_.timedLength = 0;
    background = backgroundSource = Image();
    backgroundPath.clear();
    ui_.setValue(ctl::BgImage, 0);
    createImages();
    draw::fillOpaque(canvas, s_.style.bgColor);
    draw::fillOpaque(bgSwatch, s_.style.bgColor);
    draw::fillOpaque(stripsSwatch, s_.style.stripsColor);
    ui_.showImage(ctl::Canvas, canvas);
    ui_.showImage(ctl::BgSwatch, bgSwatch);
    ui_.showImage(ctl::StripsSwatch, stripsSwatch);
    s_.windowWidth = s_.projectWidth + 255;
    s_.windowHeight = s_.projectHeight + 210;
}

void Controller::newProject() {
    if (!ui_.askYesNo("Question", "Any unsaved project will be lost, create new?")) return;
    std::optional<std::string> name =
        ui_.inputBox("Create new project", "Enter a filename (" + s_.projectExt + " will be added)", "Untitled");
    // A cancelled box or an empty name changes nothing, so Save keeps working.
    if (!name || text::trimSpaces(*name).empty()) return;
    s_.projectName = text::trimSpaces(*name);
    updateTitle();
    clearProject();
    s_.list.appendEmptySet();
    ui_.listChanged();
    refreshPreview();
}

namespace {
// Reads and checks a project file without touching the program's state.
bool readProject(const std::string& path, int fallbackY, ProjectHeader& header, SubtitleList& rows, Ui& ui) {
    switch (readProjectFile(path, fallbackY, header, rows).status) {
    case ProjectOpenStatus::Ok: return true;
    case ProjectOpenStatus::CannotRead: ui.messageBox("Error!", "Could not read/access:\n" + path); break;
    case ProjectOpenStatus::NotAProject:
        ui.messageBox("Error!", "This is not a Kalvero project file, or its header is damaged:\n" + path);
        break;
    case ProjectOpenStatus::TooManyRows:
        ui.messageBox("Error!", "This project has more than " + std::to_string(kMaxProjectRows) +
                                    " rows and cannot be opened:\n" + path);
        break;
    }
    return false;
}
}  // namespace

bool Controller::loadProject(const std::string& path) {
    // The file is read and checked before the current project is cleared: a
    // damaged file must not cost the user the list they have.
    ProjectHeader header;
    SubtitleList rows;
    if (!readProject(path, s_.lastLoadedY, header, rows, ui_)) return false;
    s_.projectPath = path;
    s_.projectDir = files::folderPart(path);
    clearProject();
    s_.list = std::move(rows);
    ui_.listChanged();
    ui_.setEnabled(ctl::SubtitleListView, true);
    s_.projectName = text::removeAll(files::filePart(path), s_.projectExt);
    updateTitle();
    s_.timedLength = header.timedLength;
    int loadedY = text::toInt(s_.list.column(0, Column::Y));
    s_.lastLoadedY = loadedY;
    // Indexes that no longer fit the settings file keep what is in force.
    if (header.preset >= 0 && header.preset < int(s_.presets.size())) s_.presetIndex = header.preset;
    if (header.profile >= 0 && header.profile < int(s_.profiles.size()) &&
        !s_.profiles[size_t(header.profile)].isSeparator && s_.profiles[size_t(header.profile)].width > 0)
        s_.profileIndex = header.profile;
    applyPreset();
    applyProfile();
    recalculateOffOn(s_.list, s_.fps, ui_);
    ui_.listChanged();
    s_.style.stripsYPos = loadedY;
    ui_.setValue(ctl::StripsYSlider, loadedY);
    ui_.setValue(ctl::OverrideYSlider, loadedY);
    ui_.setText(ctl::StripsYValue, std::to_string(loadedY));
    ui_.setText(ctl::OverrideYValue, std::to_string(loadedY));

    // Show set 0 in the line fields, ready for typing.
    ui_.setFocus(ctl::SubtitleListView);
    ui_.selectListRow(0);
    ui_.drainPendingEvents();
    s_.activeLine = 1;
    loadSetIntoFields();
    return true;
}

void Controller::openProject() {
    std::string path = ui_.openFileDialog("Load " + s_.titlePrefix + "project", s_.programDir + "*" + s_.projectExt,
                                          "Kalvero (*" + s_.projectExt + ")|*" + s_.projectExt);
    if (!path.empty()) loadProject(path);
}

void Controller::saveProject() {
    std::string remembered = s_.projectName;
    if (s_.projectName.find(s_.projectExt) != std::string::npos)
        s_.projectName = text::removeAllIgnoreCase(s_.projectName, s_.projectExt);
    std::string chosen = ui_.saveFileDialog("Save Project as", s_.projectName + s_.projectExt,
                                            "Kalvero (*" + s_.projectExt + ")|*.*;");
    if (chosen.empty()) {
        s_.projectName = remembered;
        return;
    }
    SavePaths paths = projectSavePaths(chosen, s_.projectExt);
    s_.projectDir = paths.projectDir;
    s_.projectName = paths.projectName;
    if (!files::isDirectory(s_.projectDir)) {
        ui_.messageBox("Information", "Project Directory automatically created:\n" + s_.projectDir);
        files::makeDirectories(s_.projectDir);
    }
    std::tm local = localTimeNow();
    ProjectHeader header{s_.projectWidth, s_.projectHeight, ui_.value(ctl::ProfileList), ui_.value(ctl::PresetList),
                         s_.timedLength};
    std::string content = formatProject(s_.list, header, local, s_.projectExt, s_.versionText);
    files::Result r = files::writeFileAtomic(s_.projectDir + paths.fileName, content);
    if (!r) ui_.messageBox("Error!", "Unable to create the file:\n" + s_.projectName);
}

void Controller::importSrt() {
    if (!ui_.askYesNo("Qustion", "This will erase any unsaved project, continue?")) return;
    std::string path = text::trimSpaces(ui_.openFileDialog("Import .SRT (SubRip) subtitle file", s_.programDir,
                                                           "SubRip Subtitle file (*.srt)|*.srt"));
    if (path.empty()) return;
    // Read first: a file that cannot be read leaves the current list alone.
    std::string bytes;
    if (!files::readFile(path, bytes, kMaxOpenBytes)) {
        ui_.messageBox("Error!", "Could not read/access:\n" + path);
        return;
    }
    clearProject();
    SrtImportResult result = importSrtText(bytes, s_.fps, s_.style.stripsYPos, s_.list);
    if (s_.list.lineCount() == 0) s_.list.appendEmptySet();
    ui_.listChanged();
    ui_.selectListRow(0);
    applyPreset();
    loadSetIntoFields();
    refreshPreview();
    recalculateOffOn(s_.list, s_.fps, ui_);
    ui_.listChanged();
    std::string skipped = describeSkippedLines(result);
    if (!skipped.empty())
        ui_.messageBox("Import SRT", "Not everything in\n" + path + "\ncould be imported:\n" + skipped);
}
