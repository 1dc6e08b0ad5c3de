#pragma once
#include <string>

// Where Save puts a project chosen as `chosenPath`: a folder named after the
// project with "_project" appended, beside the chosen file.
struct SavePaths {
    std::string projectDir;   // with a trailing separator
    std::string projectName;  // the file name as chosen, repeated extensions collapsed
    std::string fileName;     // the name written inside projectDir, with the extension
};

SavePaths projectSavePaths(const std::string& chosenPath, const std::string& projectExt);

// Rebuilds a folder path, dropping every piece that repeats the one before
// it ("a/b_project/b_project/" -> "a/b_project/"). Leading separators (an
// absolute or network path) are kept.
std::string collapseRepeatedFolders(const std::string& folder);
