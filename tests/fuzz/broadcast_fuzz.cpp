// EBU subtitle lists and caption files: the GSI and TTI blocks, ISO 6937
// text, caption codes, time codes. The same bytes go to both readers.
#include "FuzzSupport.h"
#include "project/SccImport.h"
#include "project/StlImport.h"
#include "project/SubtitleList.h"
#include "project/SubtitleSet.h"

namespace {

// What a set must hold to go into a project file.
void checkSets(const std::vector<SubtitleSet>& sets, int height) {
    for (const SubtitleSet& s : sets) {
        for (const std::string* line : {&s.lineA, &s.lineB})
            FUZZ_CHECK(line->find_first_of("|\r\n") == std::string::npos);
        FUZZ_CHECK(s.on.has_value() && s.off.has_value());
        for (const TimeCode& t : {*s.on, *s.off})
            FUZZ_CHECK(t.hh >= 0 && t.mm >= 0 && t.mm < 60 && t.ss >= 0 && t.ss < 60 && t.ff >= 0 && t.ff < 30);
        FUZZ_CHECK(s.y.has_value() && *s.y >= 0 && *s.y <= height);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (float fps : {25.0f, 29.97f}) {
        const StlImportResult stl = importStl(fuzzBytes(data, size), fps, 576, 34);
        FUZZ_CHECK(stl.ok == stl.error.empty());
        FUZZ_CHECK(stl.ok || stl.sets.empty());
        checkSets(stl.sets, 576);
        const SccImportResult scc = importScc(fuzzBytes(data, size), fps, 480, 30);
        FUZZ_CHECK(scc.ok == scc.error.empty());
        FUZZ_CHECK(scc.ok || scc.sets.empty());
        checkSets(scc.sets, 480);
        listOfSets(stl.sets);
        listOfSets(scc.sets);
    }
    return 0;
}
