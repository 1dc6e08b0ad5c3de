// New, Open, Save, SubRip import and the clearing of the editing surface.
#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "app/ControlIds.h"
#include "app/Layout.h"
#include "app/ProjectCommands.h"
#include "app/Controller.h"
#include "app/ProjectOpen.h"
#include "app/ProjectPaths.h"
#include "app/Ui.h"
#include "io/Files.h"
#include "base/Cp1252.h"
#include "project/ProjectFile.h"
#include "project/SrtImport.h"
#include "render/LayoutCheck.h"
#include "render/ProjectLook.h"
#include "base/Text.h"
#include "base/Draw.h"

ProjectCommands::ProjectCommands(EditorContext& context, Controller& controller)
    : EditorPart(context), c_(controller) {}

void ProjectCommands::clearProject(bool showEmptyCanvas) {
    s_.list.clearList();
    listChanged();
    selectListRow(-1);
    setControlText(ctl::LineA, "");
    setControlText(ctl::LineB, "");
    for (int id : ctl::ContextFields) setControlText(id, "");
    for (int id : {ctl::RemoveSingle, ctl::RemoveAll, ctl::RecordTimings, ctl::Save, ctl::SaveAs, ctl::ExportFiles,
                   ctl::CaptureScreen, ctl::OnHours, ctl::OnMinutes, ctl::OnSeconds, ctl::OnFrames, ctl::OffHours,
                   ctl::OffMinutes, ctl::OffSeconds, ctl::OffFrames, ctl::OverrideYSlider})
        ui_.setEnabled(id, false);
    for (int id : {ctl::StripsYCaption, ctl::StripsYSlider, ctl::StripsYValue}) ui_.setEnabled(id, true);
    s_.currentSet = 0;
    s_.shadePhase = 0;
    s_.activeLine = 1;
    s_.timedLength = 0;
    showLanguage("");
    applyFrameRange();
    background = backgroundSource = Image();
    backgroundPath.clear();
    setControlValue(ctl::BgImage, 0);
    if (showEmptyCanvas) {
        createImages();
        draw::fillOpaque(canvas, s_.style.bgColor);
        ui_.showImage(ctl::Canvas, canvas);
    }
    draw::fillOpaque(bgSwatch, s_.style.bgColor);
    draw::fillOpaque(stripsSwatch, s_.style.stripsColor);
    ui_.showImage(ctl::BgSwatch, bgSwatch);
    ui_.showImage(ctl::StripsSwatch, stripsSwatch);
    s_.windowWidth = windowWidthFor(s_.displayWidth());
    s_.windowHeight = windowHeightFor(s_.displayHeight());
}

namespace {
// A digest of what the list holds (texts, time codes and Y of every row),
// with its row count and length beside the hash.
ListDigest listDigest(const SubtitleList& list) {
    ListDigest d;
    d.rows = size_t(list.lineCount());
    std::hash<std::string_view> hash;
    for (int i = 0; i < list.lineCount(); ++i) {
        const SubtitleLine* r = list.row(i);
        for (const std::string* field : {&r->text, &r->timing.verbatim, &r->y}) {
            d.bytes += field->size() + 1;
            d.hash = (d.hash ^ hash(*field)) * 0x100000001b3ull + field->size();
        }
        for (const std::optional<TimeCode>& t : {r->timing.on, r->timing.off}) {
            const TimeCode c = t.value_or(TimeCode{-1, -1, -1, -1});
            for (int v : {c.hh, c.mm, c.ss, c.ff}) d.hash = (d.hash ^ uint64_t(uint32_t(v))) * 0x100000001b3ull;
        }
        d.hash = d.hash * 31 + (r->forced ? 1 : 0);
    }
    return d;
}
}  // namespace

bool ProjectCommands::hasUnsavedWork() const {
    // The same revision is the same rows; only a changed list is hashed.
    if (s_.list.revision() != s_.savedListRevision && listDigest(s_.list) != s_.savedList) return true;
    // The look is kept with the project: a changed look of a saved project
    // is unsaved work too (a blank new project has nothing to lose).
    return !s_.projectPath.empty() && (!sameLook(s_.style, s_.savedStyle) || s_.projectLanguage != s_.savedLanguage);
}

void ProjectCommands::markListSaved() {
    s_.savedList = listDigest(s_.list);
    s_.savedListRevision = s_.list.revision();
    s_.savedStyle = s_.style;
    s_.savedLanguage = s_.projectLanguage;
}

void ProjectCommands::markListUnsaved() {
    s_.savedList = ListDigest{};
    s_.savedListRevision = 0;
}

bool ProjectCommands::settleUnsavedWork() {
    if (!hasUnsavedWork()) return true;
    switch (ui_.askYesNoCancel("Question", "Save changes to " + projectFileName() + "?")) {
        case Ui::Answer::Yes: return saveProject();
        case Ui::Answer::No: return true;
        case Ui::Answer::Cancel: break;
    }
    return false;
}

void ProjectCommands::newProject() {
    if (!settleUnsavedWork()) return;
    std::optional<std::string> name =
        ui_.inputBox("Create new project", "Enter a filename (" + s_.projectExt + " will be added)", "Untitled");
    // A cancelled box or an empty name changes nothing, so Save keeps working.
    if (!name || text::trimSpaces(*name).empty()) return;
    // The name becomes a file name, and file names are UTF-8.
    s_.projectName = text::trimSpaces(*name);
    // A new project has no file yet: its first Save asks where it goes.
    s_.projectPath.clear();
    updateTitle();
    clearProject();
    c_.history().clear();
    s_.list.appendEmptySet();
    listChanged();
    markListSaved();
    // A new project starts typing its first set, whatever was being edited.
    s_.editState = NewSet;
    for (int id : {ctl::LineA, ctl::LineB}) {
        ui_.setBackground(id, Rgb{255, 255, 255});
        ui_.setEnabled(id, true);
    }
    refreshPreview();
    focusLineField(1);
}

namespace {
// Reads and checks a project file without touching the program's state.
bool readProject(const std::string& path, int fallbackY, ProjectHeader& header, SubtitleList& rows, Ui& ui) {
    switch (readProjectFile(path, fallbackY, header, rows).status) {
    case ProjectOpenStatus::Ok: return true;
    case ProjectOpenStatus::CannotRead:
        ui.messageBox("Error!", "Could not read/access:\n" + path);
        break;
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

bool ProjectCommands::loadProject(const std::string& path) {
    // The file is read and checked before the current project is cleared: a
    // damaged file must not cost the user the list they have.
    ProjectHeader header;
    SubtitleList rows;
    if (!readProject(path, s_.lastLoadedY, header, rows, ui_)) return false;
    // The project's own look, where it was saved with one.
    std::string lookError;
    std::optional<ProjectLook> look = readProjectLook(path, lookError);
    if (!lookError.empty())
        ui_.messageBox("Warning!", "The project opens with its preset's look: " + lookError);
    takeProject(path, header, std::move(rows), look);
    markListSaved();
    remember(path, true);
    return true;
}

void ProjectCommands::loadRecent() {
    const std::string file = recentProjectsPath(s_.userConfigDir);
    std::string text;
    if (!file.empty() && files::readFile(file, text, 1 << 20)) s_.recent = parseRecentProjects(text);
}

void ProjectCommands::remember(const std::string& path, bool project) {
    if (path.empty()) return;
    if (project) s_.recent.add(path);
    s_.recent.lastFolder = files::folderPart(path);
    saveRecent();
}

void ProjectCommands::saveRecent() {
    // Not being able to keep the list costs nothing but the list.
    const std::string file = recentProjectsPath(s_.userConfigDir);
    if (file.empty() || (!files::isDirectory(s_.userConfigDir) && !files::makeDirectories(s_.userConfigDir))) return;
    files::writeFileAtomic(file, formatRecentProjects(s_.recent));
}

std::string ProjectCommands::dialogFolder() const {
    if (!s_.recent.lastFolder.empty() && files::isDirectory(s_.recent.lastFolder)) return s_.recent.lastFolder;
    if (!s_.projectDir.empty()) return s_.projectDir;
    const char* home = std::getenv("HOME");
    return home && *home ? std::string(home) + "/" : s_.programDir;
}

void ProjectCommands::openRecent() {
    std::vector<Ui::MenuItem> items;
    for (const std::string& p : s_.recent.projects)
        items.push_back({files::filePart(p) + "  (" + files::folderPart(p) + ")", true});
    if (items.empty()) {
        ui_.messageBox("Info", "No project has been opened or saved yet.");
        return;
    }
    const int chosen = ui_.popupMenu(items);
    if (chosen < 0 || chosen >= int(s_.recent.projects.size())) return;
    const std::string path = s_.recent.projects[size_t(chosen)];
    if (!files::exists(path)) {
        ui_.messageBox("Error!", "The project is no longer there:\n" + path +
                                     "\nIt was taken off the recent projects.");
        s_.recent.remove(path);
        saveRecent();
        return;
    }
    if (!settleUnsavedWork()) return;
    loadProject(path);
}

bool ProjectCommands::recoverProject(const std::string& projectText, const std::string& path, const std::string& name,
                                     const std::optional<ProjectLook>& look) {
    ProjectHeader header;
    SubtitleList rows;
    if (parseProject(projectText, s_.lastLoadedY, header, rows) != ProjectLoadStatus::Ok) return false;
    takeProject(path, header, std::move(rows), look);
    if (path.empty()) {
        s_.projectName = name.empty() ? "Untitled" : name;
        updateTitle();
    }
    markListUnsaved();  // recovered work is unsaved until the user saves it
    return true;
}

void ProjectCommands::chooseLanguage(int index) {
    const std::vector<LanguageChoice>& choices = projectLanguageChoices();
    if (index >= 0 && index < int(choices.size())) s_.projectLanguage = choices[size_t(index)].code;
    else if (index >= int(choices.size()) && plausibleLanguageCode(shownExtraLanguage_)) s_.projectLanguage = shownExtraLanguage_;
}

void ProjectCommands::showLanguage(std::string code) {
    s_.projectLanguage = std::move(code);
    const std::vector<LanguageChoice>& choices = projectLanguageChoices();
    int index = -1;
    for (size_t i = 0; i < choices.size(); ++i)
        if (s_.projectLanguage == choices[i].code) index = int(i);
    // A code of a file the list lacks (fre, tlh) becomes an item after the list's own.
    const std::string extra = index < 0 ? s_.projectLanguage : std::string();
    if (extra != shownExtraLanguage_ || !languageListFilled_) {
        std::vector<std::string> items;
        for (const LanguageChoice& c : choices) items.emplace_back(c.label);
        if (!extra.empty()) items.push_back(extra);
        ui_.setItems(ctl::LanguageList, items);
        shownExtraLanguage_ = extra;
        languageListFilled_ = true;
    }
    setControlValue(ctl::LanguageList, index >= 0 ? index : int(choices.size()));
}

void ProjectCommands::takeProject(const std::string& path, const ProjectHeader& header, SubtitleList rows,
                                  const std::optional<ProjectLook>& look) {
    s_.projectPath = path;
    s_.projectDir = files::folderPart(path);
    clearProject(false);  // the preview is rendered below
    s_.list = std::move(rows);
    listChanged();
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
    applyProfile(false);  // applies the preset too
    recalculateOffOn(s_.list, s_.fps, ui_);
    listChanged();
    if (look && s_.profile()) c_.style().applyLook(styleOfLook(*look, *s_.profile()));
    showLanguage(look ? look->language : std::string());
    s_.style.stripsYPos = loadedY;
    setControlValue(ctl::StripsYSlider, loadedY);
    setControlValue(ctl::OverrideYSlider, loadedY);
    setControlText(ctl::StripsYValue, std::to_string(loadedY));
    setControlText(ctl::OverrideYValue, std::to_string(loadedY));

    // Show set 0 in the line fields, ready for typing.
    ui_.setFocus(ctl::SubtitleListView);
    selectListRow(0);
    ui_.drainPendingEvents();
    s_.activeLine = 1;
    loadSetIntoFields();
    c_.history().clear();
    tellMissingGlyphs();
}

void ProjectCommands::tellMissingGlyphs() {
    const std::string missing = describeMissingGlyphs(subtitleSets(s_.list), cx_.renderer.fontSheet());
    if (!missing.empty())
        ui_.messageBox("Warning!", "Some characters have no glyph; each is drawn as a box:\n" + missing);
}

void ProjectCommands::openProject() {
    if (!settleUnsavedWork()) return;
    std::string path = ui_.openFileDialog("Load " + s_.titlePrefix + "project", dialogFolder() + "*" + s_.projectExt,
                                          "Kalvero (*" + s_.projectExt + ")|*" + s_.projectExt);
    if (!path.empty()) loadProject(path);
}

bool ProjectCommands::saveProject() {
    // A project that has its file is written in place; a new one asks where.
    if (s_.projectPath.empty()) return saveProjectAs();
    return writeProject(s_.projectPath);
}

bool ProjectCommands::saveProjectAs() {
    std::string remembered = s_.projectName;
    if (s_.projectName.find(s_.projectExt) != std::string::npos)
        s_.projectName = text::removeAllIgnoreCase(s_.projectName, s_.projectExt);
    std::string chosen = ui_.saveFileDialog("Save Project as", dialogFolder() + s_.projectName + s_.projectExt,
                                            "Kalvero (*" + s_.projectExt + ")|*.*;");
    if (chosen.empty()) {
        s_.projectName = remembered;
        return false;
    }
    SavePaths paths = projectSavePaths(chosen, s_.projectExt);
    if (!files::isDirectory(paths.projectDir)) {
        files::Result made = files::makeDirectories(paths.projectDir);
        if (!made) {
            ui_.messageBox("Error!", "Could not create the project folder:\n" + paths.projectDir +
                                         "\n" + made.error);
            s_.projectName = remembered;
            return false;
        }
        ui_.messageBox("Information", "Project Directory automatically created:\n" + paths.projectDir);
    }
    if (!writeProject(paths.projectDir + paths.fileName)) {
        s_.projectName = remembered;
        return false;
    }
    return true;
}

bool ProjectCommands::writeProject(const std::string& path) {
    std::tm local = localTimeNow();
    ProjectHeader header{s_.projectWidth, s_.projectHeight, s_.profileIndex, s_.presetIndex, s_.timedLength};
    std::string content = formatProject(s_.list, header, local, s_.projectExt, s_.versionText);
    files::Result r = files::writeFileAtomic(path, content);
    if (!r) {
        ui_.messageBox("Error!", "Unable to create the file:\n" + path + "\n" + r.error);
        return false;
    }
    s_.projectPath = path;
    s_.projectDir = files::folderPart(path);
    s_.projectName = text::removeAllIgnoreCase(files::filePart(path), s_.projectExt);
    // The look goes beside the project file when it is not the preset's own.
    if (const Preset* preset = s_.preset(); preset && s_.profile()) {
        std::string lookError = writeProjectLook(path, s_.style, *preset, *s_.profile(), s_.projectLanguage);
        if (!lookError.empty())
            ui_.messageBox("Warning!", "The project was saved, but its look was not: " + lookError +
                                           "\nIt will open with the preset's look.");
    }
    markListSaved();
    updateTitle();
    remember(path, true);
    c_.journalTick();  // nothing unsaved: the journal goes
    return true;
}

void ProjectCommands::importSrt() {
    if (!settleUnsavedWork()) return;
    std::string path = text::trimSpaces(ui_.openFileDialog("Import .SRT (SubRip) subtitle file", dialogFolder(),
                                                           "SubRip Subtitle file (*.srt)|*.srt"));
    if (path.empty()) return;
    // Read first: a file that cannot be read leaves the current list alone.
    std::string bytes;
    if (!files::readFile(path, bytes, kMaxOpenBytes)) {
        ui_.messageBox("Error!", "Could not read/access:\n" + path);
        return;
    }
    remember(path, false);
    // Every cue takes the Y of the "Strips Y Pos" slider, whatever set was
    // selected before; the slider stays there when the preset is applied.
    const int y = s_.view.stripsY.value;
    clearProject();
    SrtImportResult result = importSrtText(bytes, s_.fps, y, s_.list);
    takeImport(path, y);
    std::string skipped = describeSkippedLines(result);
    if (!skipped.empty())
        ui_.messageBox("Import SRT", "Not everything in\n" + path + "\ncould be imported:\n" + skipped);
}

void ProjectCommands::takeImport(const std::string& path, int y) {
    if (s_.list.lineCount() == 0) s_.list.appendEmptySet();
    listChanged();
    selectListRow(0);
    applyPreset();
    s_.style.stripsYPos = y;
    setControlValue(ctl::StripsYSlider, y);
    setControlText(ctl::StripsYValue, std::to_string(y));
    loadSetIntoFields();
    refreshPreview();
    recalculateOffOn(s_.list, s_.fps, ui_);
    listChanged();
    // The imported list is a new project named after the SubRip file: the
    // project that was open before is never written over by the next Save.
    std::string stem = files::filePart(path);
    if (size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
    s_.projectName = stem.empty() ? "Untitled" : stem;
    s_.projectPath.clear();
    s_.projectDir = projectSavePaths(files::folderPart(path) + s_.projectName + s_.projectExt, s_.projectExt).projectDir;
    updateTitle();
    markListUnsaved();
    for (int id : {ctl::Save, ctl::SaveAs, ctl::ExportFiles, ctl::CaptureScreen}) ui_.setEnabled(id, true);
    tellMissingGlyphs();
}

void ProjectCommands::applyPreset() { c_.applyPreset(); }
void ProjectCommands::applyProfile(bool tellMissingTimes) { c_.applyProfile(tellMissingTimes); }
void ProjectCommands::applyFrameRange() { c_.applyFrameRange(); }
void ProjectCommands::loadSetIntoFields() { c_.loadSetIntoFields(); }
void ProjectCommands::focusLineField(int line) { c_.focusLineField(line); }
