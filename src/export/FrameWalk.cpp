#include "export/FrameWalk.h"

#include "io/Files.h"

Result makeFolderOf(const std::string& path) {
    const std::string folder = files::folderPart(path);
    if (folder.empty() || files::isDirectory(folder)) return {};
    files::Result made = files::makeDirectories(folder);
    if (made) return {};
    return Result::failure("Could not create the folder \"" + folder + "\": " + made.error, folder);
}
