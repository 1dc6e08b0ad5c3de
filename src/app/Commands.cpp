#include "app/Commands.h"

#include <algorithm>
#include <utility>

#include "app/ControlIds.h"
#include "app/Controller.h"
#include "app/EditTools.h"
#include "app/Event.h"
#include "app/ListOrder.h"

namespace {

// Editing the list is refused while a recording run or a capture holds it.
bool listFree(const Controller& c) { return !c.state().recordingActive && !c.state().captureActive; }
bool anySelected(const Controller& c) { return listFree(c) && !c.sets().selectedSets().empty(); }
bool aSetRowSelected(const Controller& c) {
    const int row = c.state().view.selectedRow;
    return listFree(c) && row >= 0 && row < c.state().list.lineCount();
}
bool hasSets(const Controller& c) { return listFree(c) && c.state().list.lineCount() > 2; }
bool hasProject(const Controller& c) { return !c.state().projectName.empty(); }

// The editing tools open their dialogs or act through their own module;
// each makes its own named undo step.
std::function<void(Controller&)> tool(int id) {
    return [id](Controller& c) { edittools::handle(c, Event::control(id)); };
}

std::vector<Command> makeTable() {
    using C = Controller;
    return {
        {"project/new", "New", "Starts a new, empty project.", "", {}, [](C& c) { c.newProject(); }},
        {"project/open", "Open...", "Opens a project file.", "", {}, [](C& c) { c.openProject(); }},
        {"project/recent", "Recent...", "Opens one of the ten projects opened or saved last.", "", {},
         [](C& c) { c.project().openRecent(); }},
        {"project/save", "Save", "Saves the project in its file, asking for a name the first time.", "",
         hasProject, [](C& c) { c.saveProject(); }},
        {"project/save-as", "Save As...", "Saves the project under a new name.", "", hasProject,
         [](C& c) { c.saveProjectAs(); }},
        {"project/import-srt", "Import SRT...", "Makes a new project of a SubRip file's cues.", "Import SRT",
         listFree, [](C& c) { c.importSrt(); }},
        {"project/import-stl", "Import STL...", "Makes a new project of an EBU subtitle list (.stl).", "Import STL",
         listFree, [](C& c) { c.project().importStl(); }},
        {"project/export", "Export...", "Opens the export dialog.", "", {},
         [](C& c) {
             if (c.openExportDialog) c.openExportDialog();
         }},
        {"edit/undo", "Undo", "Takes back the last change.", "", [](const C& c) { return c.canUndo(); },
         [](C& c) { c.undo(); }},
        {"edit/redo", "Redo", "Makes the change Undo took back again.", "", [](const C& c) { return c.canRedo(); },
         [](C& c) { c.redo(); }},
        {"edit/cut", "Cut", "Copies the selected sets as SubRip text and removes them.", "Cut", anySelected,
         [](C& c) { c.sets().cut(); }},
        {"edit/copy", "Copy", "Copies the selected sets as SubRip text.", "", anySelected,
         [](C& c) { c.sets().copy(); }},
        {"edit/paste", "Paste", "Inserts sets from SubRip text or plain text after the selected set.", "Paste",
         listFree, [](C& c) { c.sets().paste(); }},
        {"edit/select-all", "Select All", "Selects every set.", "", hasSets, [](C& c) { c.sets().selectAll(); }},
        {"edit/delete-sets", "Delete Sets", "Removes the selected sets with their texts, times and Y.",
         "Delete Sets", anySelected, [](C& c) { c.sets().removeSelected(); }},
        {"edit/move-up", "Move Up", "Moves the selected sets one place up in the list.", "Move Up",
         anySelected, [](C& c) { c.sets().move(-1); }},
        {"edit/move-down", "Move Down", "Moves the selected sets one place down in the list.", "Move Down",
         anySelected, [](C& c) { c.sets().move(1); }},
        {"edit/insert-set", "Insert Set", "Inserts an empty set before the selected one; every set keeps its times.",
         "Insert Set", aSetRowSelected, [](C& c) { c.lines().insertSet(); }},
        {"edit/insert-single", "Insert Single",
         "Inserts an empty line at the selected row; the later lines move one row down, the times stay.",
         "Insert Single", aSetRowSelected, [](C& c) { c.insertLine(); }},
        {"edit/remove-single", "Remove Single",
         "Removes the selected line; the later lines move one row up, the times stay.", "Remove Single",
         listFree, [](C& c) { c.removeLine(); }},
        {"edit/remove-all", "Remove All", "Removes every set.", "Remove All", listFree,
         [](C& c) { c.removeAllSets(); }},
        {"edit/reset-all-y", "Reset All Y", "Gives every set the strips Y of the slider.", "Reset All Y", listFree,
         [](C& c) { c.resetAllYAndEnable(); }},
        {"edit/forced", "Forced",
         "Marks the selected sets forced, shown even while subtitles are off (or unmarks them when all are).",
         "Forced", anySelected, [](C& c) { c.sets().toggleForced(); }},
        {"edit/sort-by-time", "Sort by Time",
         "Puts the timed sets in the order of their ON times; sets without times keep their places.", "Sort by Time",
         hasSets, [](C& c) { sortListByTime(c.context(), c.lines()); }},
        {"tools/shift", "Shift...", "Moves the selected sets, or all, by frames or to a typed time code.", "",
         listFree, tool(ctl::ShiftSets)},
        {"tools/change-rate", "Change Frame Rate...", "Moves every time to another frame rate, keeping time or frames.",
         "", listFree, tool(ctl::ChangeRate)},
        {"tools/split", "Split Set", "Makes line A and line B two sets, the time divided by their lengths.", "",
         anySelected, tool(ctl::SplitSet)},
        {"tools/merge", "Merge Sets", "Joins the selected set and the next into one.", "", anySelected,
         tool(ctl::MergeSets)},
        {"tools/find", "Find...", "Finds text in line A and line B.", "", listFree, tool(ctl::FindText)},
        {"tools/replace", "Replace...", "Replaces text in line A and line B, one at a time or all.", "", listFree,
         tool(ctl::ReplaceText)},
        {"tools/check", "Check...", "Lists overlaps, missing times, fast reading, wide lines and misspellings.", "",
         {}, tool(ctl::CheckProject)},
        {"project/import-text", "Import Text...", "Adds the blocks of a plain text file as sets without times.", "",
         listFree, tool(ctl::ImportText)},
        {"list/go-to-bottom", "Go to Bottom", "Shows the end of the list.", "", {}, [](C& c) { c.goToBottom(); }},
        {"timing/record", "Record Timings...", "Times the sets live against a movie with the Space bar.",
         "Record Timings", hasSets,
         [](C& c) {
             if (c.openRecordTimings) c.openRecordTimings();
         }},
        {"window/capture", "Capture Screen", "Captures the preview as pictures.", "", {},
         [](C& c) {
             if (c.captureScreen) c.captureScreen();
         }},
        {"window/about", "About", "Tells what this program is.", "", {}, [](C& c) { c.showAbout(); }},
        {"window/quit", "Quit", "Ends the program, asking about unsaved work.", "", {}, [](C& c) { c.onQuit(); }},
    };
}

}  // namespace

const std::vector<Command>& commandTable() {
    static const std::vector<Command> table = makeTable();
    return table;
}

const Command* findCommand(std::string_view name) {
    for (const Command& c : commandTable())
        if (c.name == name) return &c;
    return nullptr;
}

const Command* commandOfControl(int id) {
    static const std::pair<int, const char*> bindings[] = {
        {ctl::New, "project/new"},
        {ctl::Open, "project/open"},
        {ctl::Recent, "project/recent"},
        {ctl::Save, "project/save"},
        {ctl::SaveAs, "project/save-as"},
        {ctl::ImportSrt, "project/import-srt"},
        {ctl::ImportStl, "project/import-stl"},
        {ctl::ExportFiles, "project/export"},
        {ctl::Undo, "edit/undo"},
        {ctl::Redo, "edit/redo"},
        {ctl::InsertSet, "edit/insert-set"},
        {ctl::InsertSingle, "edit/insert-single"},
        {ctl::RemoveSingle, "edit/remove-single"},
        {ctl::RemoveAll, "edit/remove-all"},
        {ctl::ResetAllY, "edit/reset-all-y"},
        {ctl::GoToBottom, "list/go-to-bottom"},
        {ctl::ShiftSets, "tools/shift"},
        {ctl::ChangeRate, "tools/change-rate"},
        {ctl::SplitSet, "tools/split"},
        {ctl::MergeSets, "tools/merge"},
        {ctl::FindText, "tools/find"},
        {ctl::ReplaceText, "tools/replace"},
        {ctl::CheckProject, "tools/check"},
        {ctl::ImportText, "project/import-text"},
        {ctl::RecordTimings, "timing/record"},
        {ctl::CaptureScreen, "window/capture"},
        {ctl::About, "window/about"},
        {ctl::Quit, "window/quit"},
    };
    for (const auto& [control, name] : bindings)
        if (control == id) return findCommand(name);
    return nullptr;
}

const Command* commandOfKey(int menuId) {
    static const std::pair<int, const char*> bindings[] = {
        {ctl::SaveKeyMenuId, "project/save"},
        {ctl::SaveAsKeyMenuId, "project/save-as"},
        {ctl::OpenKeyMenuId, "project/open"},
        {ctl::NewKeyMenuId, "project/new"},
        {ctl::UndoKeyMenuId, "edit/undo"},
        {ctl::RedoKeyMenuId, "edit/redo"},
        {ctl::InsertSetKeyMenuId, "edit/insert-set"},
        {ctl::SortByTimeMenuId, "edit/sort-by-time"},
        {ctl::CutKeyMenuId, "edit/cut"},
        {ctl::CopyKeyMenuId, "edit/copy"},
        {ctl::PasteKeyMenuId, "edit/paste"},
        {ctl::SelectAllKeyMenuId, "edit/select-all"},
        {ctl::DeleteKeyMenuId, "edit/delete-sets"},
        {ctl::MoveUpKeyMenuId, "edit/move-up"},
        {ctl::MoveDownKeyMenuId, "edit/move-down"},
        {ctl::FindKeyMenuId, "tools/find"},
        {ctl::ReplaceKeyMenuId, "tools/replace"},
        {ctl::ShiftKeyMenuId, "tools/shift"},
        {ctl::ForcedKeyMenuId, "edit/forced"},
    };
    for (const auto& [key, name] : bindings)
        if (key == menuId) return findCommand(name);
    return nullptr;
}

const std::vector<std::string>& listMenu() {
    static const std::vector<std::string> menu = {
        "edit/undo",   "edit/redo",        "",
        "edit/cut",    "edit/copy",        "edit/paste",         "edit/delete-sets", "edit/select-all", "",
        "tools/split", "tools/merge", "tools/shift", "edit/sort-by-time", "",
        "edit/forced", "",
        "edit/move-up", "edit/move-down",  "",
        "edit/insert-set", "edit/insert-single", "edit/remove-single",
    };
    return menu;
}
