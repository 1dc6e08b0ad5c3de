// SubRip files: decoding (UTF-8, UTF-16, single-byte), cues and time lines.
#include "FuzzSupport.h"
#include "project/SrtImport.h"
#include "project/SubtitleList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (float fps : {25.0f, 29.97f}) {
        SubtitleList list;
        list.clearList();
        SrtImportResult r = importSrtText(fuzzBytes(data, size), fps, 430, list);
        FUZZ_CHECK(r.cues >= 0);
        FUZZ_CHECK(list.lineCount() == 2 * r.cues);
        for (int i = 0; i < list.lineCount(); ++i) {
            // Rows must survive the project file: no field separator, no line break.
            const SubtitleLine& row = *list.row(i);
            const std::string timing = row.timing.text();
            for (const std::string* s : {&row.text, &timing})
                FUZZ_CHECK(s->find_first_of("|\r\n") == std::string::npos);
            // Only readable time lines make cues: "HH:MM:SS:FF>HH:MM:SS:FF".
            FUZZ_CHECK(row.timing.complete() && row.timing.verbatim.empty());
            FUZZ_CHECK(timing.size() == 23 && timing[11] == '>');
            for (size_t c = 0; c < timing.size(); ++c)
                if (c % 3 == 2) FUZZ_CHECK(timing[c] == (c == 11 ? '>' : ':'));
                else FUZZ_CHECK(timing[c] >= '0' && timing[c] <= '9');
        }
        FUZZ_CHECK(r.unreadableTimeLines.count >= 0 && r.linesOutsideCues.count >= 0);
        FUZZ_CHECK(r.unreadableTimeLines.first.size() <= SrtImportResult::Lines::kListed);
        describeSkippedLines(r);
        recalculateOffOn(list, fps);
        for (int k = 0; k < list.entryCount(); ++k) list.entry(k);
    }
    return 0;
}
