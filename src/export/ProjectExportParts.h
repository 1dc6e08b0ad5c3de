#pragma once
// What the project exports share (ProjectExport.cpp, ProjectPictureExport.cpp):
// reports, progress and drawing of a set.
#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "export/ExportDriver.h"
#include "export/ProjectExport.h"
#include "render/Compositor.h"

namespace projectexport {

ExportReport refusal(const std::string& text);
// The closing report of a PNG or IFF run.
ExportReport reportOf(const ExportResult& result, int total, const std::vector<LeftOutSet>& leftOut);
// Worker threads of a run: none, those asked for, or one per core (up to 8).
int encodeThreads(const ProjectExportInput& in);
void tell(const ProjectExportInput& in, NoticeLevel level, const std::string& title, const std::string& text);
void idle(const ProjectExportInput& in);
// One step of a run: the progress bar moves and the window gets its turn.
void stepProgress(const ProjectExportInput& in, int64_t value, int64_t of);
void start(const ProjectExportInput& in, int first, int total);
// The alpha render of set k into a canvas that is fully transparent already;
// `rows` gets the rows it drew into.
bool drawSetOnTransparent(const ProjectExportInput& in, int k, Image& out, RowRange& rows);
// Draws set k (or the empty picture) for `target` as the walk reaches it.
bool drawSet(const ProjectExportInput& in, int k, RenderTarget target, Image& out);
// A refusal when the font size has no glyphs or a large run is not confirmed.
std::optional<ExportReport> refusalBeforeRun(const ProjectExportInput& in, int pictures);
bool cancelRequested(const std::atomic<bool>* cancel);
bool blankSet(const SubtitleSet& s);
// Sets of the IFF export and the Scala script: whole sets (line A and B).
int wholeSets(const std::vector<SubtitleSet>& sets);
// The refusal of a run whose programme start would push a time code past
// the end of the day.
std::string startRefusal(const TimeCode& start, const std::string& error);

}  // namespace projectexport
