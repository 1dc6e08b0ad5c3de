// "Import STL...": an EBU subtitle list (teletext or open subtitles) as a new
// unsaved project, the way Import SRT makes one.
#include <algorithm>

#include "app/ControlIds.h"
#include "app/ProjectCommands.h"
#include "app/ProjectOpen.h"
#include "app/Ui.h"
#include "base/Text.h"
#include "io/Files.h"
#include "project/StlImport.h"
#include "project/SubtitleSet.h"

void ProjectCommands::importStl() {
    if (!settleUnsavedWork()) return;
    const std::string path = text::trimSpaces(
        ui_.openFileDialog("Import .STL (EBU) subtitle file", s_.programDir, "EBU subtitle list (*.stl)|*.stl;*.STL"));
    if (path.empty()) return;
    // Read and check first: a file that cannot be used leaves the list alone.
    std::string bytes;
    if (files::Result r = files::readFile(path, bytes, kMaxOpenBytes); !r) {
        ui_.messageBox("Error!", "Could not read/access:\n" + path + "\n" + r.error);
        return;
    }
    const int lineHeight = std::max(1, cx_.renderer.fontSheet().stripHeight);
    const StlImportResult result = ::importStl(bytes, s_.fps, s_.projectHeight, lineHeight);
    if (!result.ok) {
        ui_.messageBox("Error!", path + ":\n" + result.error + "\nNothing was imported.");
        return;
    }
    const int y = s_.view.stripsY.value;
    clearProject();
    s_.list = listOfSets(result.sets);
    takeImport(path, y);
    if (!result.notes.empty()) {
        std::string notes;
        for (size_t i = 0; i < result.notes.size() && i < 20; ++i) notes += "\n" + result.notes[i];
        if (result.notes.size() > 20) notes += "\n(" + std::to_string(result.notes.size() - 20) + " more)";
        ui_.messageBox("Import STL", "Not everything in\n" + path + "\ncould be carried over:" + notes);
    }
}
