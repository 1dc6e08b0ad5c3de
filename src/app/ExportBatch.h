#pragma once
#include <functional>
#include <string>
#include <vector>

#include "export/ExportReport.h"

// One export of an "Export all checked" run, named as the dialog names it.
struct BatchExport {
    std::string name;
    std::function<ExportReport()> run;
};

// Runs the exports one after the other, each whatever became of the one
// before, and sums them up in one report: a paragraph per export naming it
// and what it wrote, left out or why it did not start or failed. Done when
// every export was; Refused when none started; else Failed.
ExportReport runExportBatch(const std::vector<BatchExport>& exports);
