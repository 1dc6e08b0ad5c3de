#pragma once
#include <string>

// The program folder: the executable's folder, or the working folder when the
// executable runs from a "temp" folder (as when started from inside an
// archive). Always ends with a separator.
std::string findProgramDir(const std::string& executablePath, const std::string& workingDir);
