#pragma once
// The subtitle track job most tests start from.
#include <string>

#include "export/SubtitleExport.h"

namespace testsupport {

// A 720 x 576 track at 25 fps of the project "film" in `projectDir`.
inline SubtitleExportJob filmTrackJob(SubtitleFormat format, const std::string& projectDir) {
    SubtitleExportJob job;
    job.format = format;
    job.projectDir = projectDir;
    job.name = "film";
    job.width = 720;
    job.height = 576;
    job.fps = 25.0f;
    return job;
}

}  // namespace testsupport
