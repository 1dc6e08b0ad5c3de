#pragma once
#include <ctime>
#include <string>
#include <string_view>

#include "project/SubtitleList.h"

// The project values stored in a project file's header.
struct ProjectHeader {
    int width = 0, height = 0;
    int profile = 0, preset = 0;
    int timedLength = 0;
    // The file was in the UTF-8 form (its first line says so); set by
    // parseProject, not used by formatProject, which picks the form itself.
    bool utf8 = false;
};

enum class ProjectLoadStatus {
    Ok,
    BadHeader,    // first line, resolution or line 10 not as expected: no rows loaded
    TooManyRows,  // more than kMaxProjectRows rows: nothing loaded
};

// The most rows a project file may hold (a million sets).
constexpr size_t kMaxProjectRows = 2000000;

// Reads a project file's content. Rows go to `rows` (cleared first), shaded
// per set; a row whose Y is empty takes `fallbackY`. On BadHeader `rows` is
// left empty and `header` holds what was read before the fault.
ProjectLoadStatus parseProject(std::string_view content, int fallbackY, ProjectHeader& header, SubtitleList& rows);

// The first header line's start ("##-KVL8 Project") for an extension ".KVL8".
std::string projectMagic(std::string_view projectExt);
// The start of the UTF-8 form ("##-KVL8 Project (UTF-8)"). Readers that
// know only the single-byte form do not take it for a project file.
std::string projectMagicUtf8(std::string_view projectExt);

// True when every line text fits Windows-1252, so the file keeps the
// single-byte form older readers know.
bool projectFitsSingleByte(const SubtitleList& rows);

// The sixth field of a row that marks a forced set ("A0002|...|430|forced");
// readers that know five fields ignore it.
constexpr std::string_view kForcedField = "forced";

// The whole file: ten header lines and one line per row, each ending CR LF.
// The program's text is UTF-8; when all of it fits Windows-1252 the file is
// single-byte Windows-1252 under the usual first line, otherwise UTF-8 under
// projectMagicUtf8. The rows' text is UTF-8 after parseProject either way.
std::string formatProject(const SubtitleList& rows, const ProjectHeader& header, const std::tm& written,
                          std::string_view projectExt, std::string_view versionText);

// The local time now, for the date line.
std::tm localTimeNow();

// "DD Mon YYYY @ hh:mm:ss"
std::string formatProjectDate(const std::tm& t);
