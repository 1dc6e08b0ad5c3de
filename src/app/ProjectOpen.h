#pragma once
#include <cstdint>
#include <string>

#include "project/ProjectFile.h"

// Reading a project file from disk, shared by the window and the command
// line so that both apply the same limits.

// Project and SubRip files beyond this are refused unread: a SubRip file
// takes about twelve times its size in memory while it is converted.
constexpr uint64_t kMaxOpenBytes = uint64_t(256) << 20;

enum class ProjectOpenStatus { Ok, CannotRead, NotAProject, TooManyRows };

struct ProjectOpenResult {
    ProjectOpenStatus status = ProjectOpenStatus::Ok;
    std::string error;  // why the file could not be read (CannotRead)
    explicit operator bool() const { return status == ProjectOpenStatus::Ok; }
};

// Reads and checks a project file without touching the program's state:
// only regular files up to kMaxOpenBytes and kMaxProjectRows rows.
ProjectOpenResult readProjectFile(const std::string& path, int fallbackY, ProjectHeader& header, SubtitleList& rows);
