// The editing tools on a project of 40,000 rows (20,000 sets), each as its
// kalvero-cli command runs it over the sets (reading and writing the file
// aside, measured on their own by the project benchmark).
#include <benchmark/benchmark.h>

#include <iostream>

#include "app/Controller.h"
#include "app/EditTools.h"
#include "cli/HeadlessUi.h"
#include "project/Proofing.h"
#include "project/Retime.h"
#include "project/TextImport.h"
#include "render/FontSheet.h"
#include "render/LayoutCheck.h"

namespace {

constexpr int kSets = 20000;

const char* const kLinesA[] = {"Where were you on the night of the", "I told you, I was out with the others",
                               "Nobody saw you there, Mr. Kowalski", "Then nobody was looking hard enough"};
const char* const kLinesB[] = {"fourteenth of August, Mr. Kowalski?", "and we did not come back before two.",
                               "and the barman does not remember you.", "- ask the girl at the door."};

// Three seconds a set, shown for the last two.
const std::vector<SubtitleSet>& project() {
    static const std::vector<SubtitleSet> sets = [] {
        std::vector<SubtitleSet> s;
        for (int k = 0; k < kSets; ++k) {
            SubtitleSet set;
            set.lineA = kLinesA[k % 4];
            set.lineB = kLinesB[k % 4];
            set.on = timeCodeOfFrame(75LL * k + 25, 25);
            set.off = timeCodeOfFrame(75LL * k + 75, 25);
            set.y = 810;
            s.push_back(std::move(set));
        }
        return s;
    }();
    return sets;
}

std::string srtOf(int shiftMs) {
    std::string s;
    char line[96];
    for (int k = 0; k < kSets; ++k) {
        const long long on = 3000LL * k + 1000 + shiftMs, off = on + 2000;
        std::snprintf(line, sizeof line, "%d\n%02lld:%02lld:%02lld,%03lld --> %02lld:%02lld:%02lld,%03lld\n", k + 1,
                      on / 3600000, on / 60000 % 60, on / 1000 % 60, on % 1000, off / 3600000, off / 60000 % 60,
                      off / 1000 % 60, off % 1000);
        s += line;
        s += std::string(kLinesA[k % 4]) + "\n" + kLinesB[k % 4] + "\n\n";
    }
    return s;
}

void BM_ToolShift(benchmark::State& state) {
    for (auto _ : state) {
        SetsEdit e = shiftSets(project(), {0, kSets - 1}, -20, 25);
        benchmark::DoNotOptimize(e.sets.data());
    }
}

void BM_ToolConvertRate(benchmark::State& state) {
    for (auto _ : state) {
        SetsEdit e = changeFrameRate(project(), {25, 23.976f, KeepOnRateChange::Time, 1080, 576, 500});
        benchmark::DoNotOptimize(e.sets.data());
    }
}

void BM_ToolSplitMerge(benchmark::State& state) {
    for (auto _ : state) {
        SetsEdit e = mergeSets(splitSet(project(), kSets / 2, 25).sets, kSets / 2);
        benchmark::DoNotOptimize(e.sets.data());
    }
}

void BM_ToolImportText(benchmark::State& state) {
    std::string text;
    for (int k = 0; k < kSets; ++k) text += std::string(kLinesA[k % 4]) + "\r\n" + kLinesB[k % 4] + "\r\n\r\n";
    for (auto _ : state) {
        TextImportResult r = importPlainText(text, 810);
        benchmark::DoNotOptimize(r.sets.data());
    }
}

void BM_ToolMergeSrt(benchmark::State& state) {
    const std::string top = srtOf(0), bottom = srtOf(120);
    for (auto _ : state) {
        TwoLanguageResult r = mergeTwoLanguages(top, bottom, 25, 810);
        benchmark::DoNotOptimize(r.sets.data());
    }
}

void BM_ToolReplacePlain(benchmark::State& state) {
    for (auto _ : state) {
        ReplaceResult r = replaceAll(project(), {"mr. kowalski", false, true, false}, "Mr. Nowak");
        benchmark::DoNotOptimize(r.sets.data());
    }
}

void BM_ToolReplaceRegex(benchmark::State& state) {
    for (auto _ : state) {
        ReplaceResult r = replaceAll(project(), {"the\\s+(\\w+)", true, false, true}, "a $1");
        benchmark::DoNotOptimize(r.sets.data());
    }
}

void BM_ToolCheck(benchmark::State& state) {
    FontSheet font;
    HeadlessUi ui(std::cerr);
    int dirty = 0;
    loadFontSheets(font, std::string(KALVERO_BIN_DIR) + "/", 56, ui.notice(), dirty);
    StripsConfig style;
    style.wordSpacing = -1;
    for (auto _ : state) {
        std::vector<CheckFinding> f = checkTimings(project(), 25, {20, 17});
        std::vector<CheckFinding> l = checkLayout(project(), style, font, 1920, 90);
        benchmark::DoNotOptimize(f.data());
        benchmark::DoNotOptimize(l.data());
    }
}

// The window's versions: a controller over a window kept in memory with
// the 40,000 rows, each run the whole step (the list's sets read, the tool,
// the rows written back with their "OFF+ON" column, the undo step, the
// preview drawn anew).
struct Window {
    AppState state;
    HeadlessUi ui{std::cerr};
    Controller c{state, ui};
    Window() {
        state.programDir = std::string(KALVERO_BIN_DIR) + "/";
        c.prepare(state.programDir + "kalvero", state.programDir);
        ui.buildMainWindow();
        c.windowBuilt();
        state.list = listOfSets(project());
        recalculateOffOn(state.list, state.fps);
        c.listChanged();
        c.selectListRow(2 * (kSets / 2));
        c.selectRow();
    }
};
Window& window() {
    static Window w;
    return w;
}

void BM_WindowShift(benchmark::State& state) {
    Window& w = window();
    int k = 0;
    for (auto _ : state) benchmark::DoNotOptimize(edittools::shift(w.c, false, ++k % 2 ? "+5" : "-5").ok());
}

void BM_WindowChangeRate(benchmark::State& state) {
    Window& w = window();
    int k = 0;
    // PAL 25 and back (profiles 1 and 2 of the shipped settings: 25 and 29.97).
    for (auto _ : state)
        benchmark::DoNotOptimize(edittools::changeRate(w.c, ++k % 2 ? 2 : 1, KeepOnRateChange::Time, true).ok());
    edittools::changeRate(w.c, 1, KeepOnRateChange::Time, true);
}

void BM_WindowSplitMerge(benchmark::State& state) {
    Window& w = window();
    for (auto _ : state) {
        benchmark::DoNotOptimize(edittools::splitSelected(w.c).ok());
        benchmark::DoNotOptimize(edittools::mergeWithNext(w.c).ok());
    }
}

void BM_WindowReplaceAll(benchmark::State& state) {
    Window& w = window();
    int k = 0;
    for (auto _ : state) {
        const bool forth = ++k % 2;
        benchmark::DoNotOptimize(
            edittools::replaceAll(w.c, {forth ? "Kowalski" : "Nowak", false, true, true}, forth ? "Nowak" : "Kowalski").ok());
    }
}

void BM_WindowFindNext(benchmark::State& state) {
    Window& w = window();
    std::string error;
    // A search that finds nothing walks every set.
    for (auto _ : state) benchmark::DoNotOptimize(edittools::findNext(w.state, {"Zebra", false, false, true}, 0, 0, error));
}

void BM_WindowCheck(benchmark::State& state) {
    Window& w = window();
    std::string note;
    for (auto _ : state) benchmark::DoNotOptimize(edittools::checkProject(w.c, {}, note).size());
}

}  // namespace

BENCHMARK(BM_WindowShift)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowChangeRate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowSplitMerge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowReplaceAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowFindNext)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowCheck)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolShift)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolConvertRate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolSplitMerge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolImportText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolMergeSrt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolReplacePlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolReplaceRegex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolCheck)->Unit(benchmark::kMillisecond);
