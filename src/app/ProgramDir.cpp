#include "app/ProgramDir.h"

#include "io/Files.h"
#include "base/Text.h"

std::string findProgramDir(const std::string& executablePath, const std::string& workingDir) {
    std::string lowerPath = text::replaceAll(text::lower(executablePath), "\\", "/");
    if (lowerPath.find("/temp/") != std::string::npos) return files::withTrailingSeparator(workingDir);
    std::string folder = files::folderPart(executablePath);
    if (folder.empty()) return files::withTrailingSeparator(workingDir);
    return folder;
}
