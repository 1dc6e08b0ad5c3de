#include "app/ProjectPaths.h"

#include "io/Files.h"
#include "base/Text.h"

std::string collapseRepeatedFolders(const std::string& folder) {
    std::string out;
    size_t i = 0;
    while (i < folder.size() && (folder[i] == '/' || folder[i] == '\\')) out += folder[i++];
    std::string previous;
    bool first = true;
    std::string piece;
    auto flush = [&]() {
        if (!piece.empty() && (first || piece != previous)) {
            out += piece;
            out += files::separator();
            previous = piece;
            first = false;
        }
        piece.clear();
    };
    for (; i < folder.size(); ++i) {
        if (folder[i] == '/' || folder[i] == '\\') flush();
        else piece += folder[i];
    }
    flush();
    return out;
}

SavePaths projectSavePaths(const std::string& chosenPath, const std::string& ext) {
    SavePaths p;
    std::string folder = files::folderPart(chosenPath);
    std::string file = files::filePart(chosenPath);
    p.projectDir = text::removeAllIgnoreCase(folder + file + "_project" + files::separator(), ext);
    std::string name = file;
    for (int copies = 4; copies >= 2; --copies) {
        std::string repeated;
        for (int k = 0; k < copies; ++k) repeated += ext;
        name = text::replaceAll(name, repeated, ext);
    }
    p.projectName = name;
    p.projectDir = collapseRepeatedFolders(p.projectDir);
    p.fileName = files::filePart(name);
    if (!text::containsIgnoreCase(p.fileName, ext)) p.fileName += ext;
    return p;
}
