#include "export/FrameWalk.h"

#include "io/Files.h"

std::string makeFolderOf(const std::string& path) {
    const std::string folder = files::folderPart(path);
    if (folder.empty() || files::isDirectory(folder)) return {};
    files::Result made = files::makeDirectories(folder);
    return made ? std::string() : "Could not create the folder \"" + folder + "\": " + made.error;
}
