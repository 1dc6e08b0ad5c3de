#pragma once
#include <string>

#include "export/ExportReport.h"
#include "export/ProjectExport.h"
#include "export/Stl.h"

// The broadcast subtitle files of a project: an EBU subtitle list
// ("STL_Output/NAME.stl") and a closed-caption file ("SCC_Output/NAME.scc").
// Each is written in one step (nothing is left on failure); the report's
// text holds the count and, one a line, what could not be written exactly.

struct StlExportOptions {
    StlMode mode = StlMode::Teletext;
    TimeCode start;          // programme start, added to every time code
    int languageCode = 0;    // EBU language code; 0: from the input's language
};

ExportReport exportStl(const ProjectExportInput& in, const StlExportOptions& options);
ExportReport exportScc(const ProjectExportInput& in);
