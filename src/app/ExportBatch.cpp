#include "app/ExportBatch.h"

ExportReport runExportBatch(const std::vector<BatchExport>& exports) {
    ExportReport all;
    int done = 0, refused = 0;
    for (const BatchExport& e : exports) {
        const ExportReport r = e.run();
        std::string line = e.name + ": ";
        if (r.done()) ++done;
        else if (r.refused()) ++refused, line += "not started. ";
        else line += "failed. ";
        line += r.text.empty() ? r.title : r.text;
        all.text += (all.text.empty() ? "" : "\n\n") + line;
        all.pictures += r.pictures;
        all.total += r.total;
        all.skipped += r.skipped;
        all.written.insert(all.written.end(), r.written.begin(), r.written.end());
    }
    const int n = int(exports.size());
    if (n == 0) return ExportReport::refusal("Export all checked", "No export is checked.");
    all.outcome = done == n ? ExportReport::Outcome::Done
                  : refused == n ? ExportReport::Outcome::Refused
                                 : ExportReport::Outcome::Failed;
    all.title = done == n ? "Success!" : done + refused == n && done > 0 ? "Warning!" : "Error!";
    all.text = std::to_string(done) + " of " + std::to_string(n) + (n == 1 ? " export" : " exports") + " done.\n\n" +
               all.text;
    return all;
}
