#include "app/ProgramDir.h"

#include "platform/Files.h"
#include "project/Text.h"

std::string findProgramDir(const std::string& executablePath, const std::string& workingDir) {
    std::string lowerPath = text::replaceAll(text::lower(executablePath), "\\", "/");
    if (lowerPath.find("/temp/") != std::string::npos) return files::withTrailingSeparator(workingDir);
    std::string folder = files::folderPart(executablePath);
    if (folder.empty()) return files::withTrailingSeparator(workingDir);
    return folder;
}
