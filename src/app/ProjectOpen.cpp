#include "app/ProjectOpen.h"

#include <new>

#include "io/Files.h"

ProjectOpenResult readProjectFile(const std::string& path, int fallbackY, ProjectHeader& header, SubtitleList& rows) {
    ProjectOpenResult result;
    std::string content;
    files::Result r = files::readFile(path, content, kMaxOpenBytes);
    if (!r) {
        result.status = ProjectOpenStatus::CannotRead;
        result.error = r.error;
        return result;
    }
    try {
        switch (parseProject(content, fallbackY, header, rows)) {
        case ProjectLoadStatus::Ok: break;
        case ProjectLoadStatus::BadHeader: result.status = ProjectOpenStatus::NotAProject; break;
        case ProjectLoadStatus::TooManyRows: result.status = ProjectOpenStatus::TooManyRows; break;
        }
    } catch (const std::bad_alloc&) {
        rows.clearList();
        result.status = ProjectOpenStatus::CannotRead;
        result.error = "not enough memory";
    }
    return result;
}
