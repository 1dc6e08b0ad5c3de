// One render of a full-HD subtitle set, as on every keystroke in the line
// fields. Needs the bundled sheets: build the default target first.
#include <benchmark/benchmark.h>

#include <iostream>

#include "cli/HeadlessUi.h"
#include "render/Background.h"
#include "render/Compositor.h"
#include "render/FontSheet.h"

namespace {

const FontSheet& font56() {
    static FontSheet f = [] {
        FontSheet s;
        HeadlessUi ui(std::cerr);
        int dirty = 0;
        loadFontSheets(s, std::string(KALVERO_BIN_DIR) + "/", 56, ui.notice(), dirty);
        return s;
    }();
    return f;
}

StripsConfig hdStyle(int mode) {
    StripsConfig s;
    s.stripsColor = Rgb{0, 0, 0};
    s.bgColor = s.presetBgColor = Rgb{0, 0, 160};
    s.borderStyle = 1;
    s.blend = 200;
    s.wordSpacing = -1;
    s.stripsSpacing = 80;
    s.stripsMode = mode;
    s.centerText = true;
    s.stripsYPos = 810;
    return s;
}

void render(benchmark::State& state, RenderTarget target, int mode) {
    const FontSheet& font = font56();
    if (!font.glyph('A', 1)) {
        state.SkipWithError("font sheets of size 56 missing in bin/includes");
        return;
    }
    StripsConfig style = hdStyle(mode);
    Image img(1920, 1080);
    for (auto _ : state) {
        renderSubtitleSet(target, style, font, img, "Where were you on the night of the",
                          "fourteenth of August, Mr. Kowalski?");
        benchmark::DoNotOptimize(img.data());
    }
}

void BM_RenderPreview1080(benchmark::State& s) { render(s, RenderTarget::Preview, CutToText); }
void BM_RenderAlpha1080(benchmark::State& s) { render(s, RenderTarget::AlphaExport, FullWidth); }
void BM_RenderColor1080(benchmark::State& s) { render(s, RenderTarget::ColorExport, CutToText); }
void BM_RenderOpaque1080(benchmark::State& s) { render(s, RenderTarget::OpaqueExport, AllText); }
void BM_RenderPreviewWithPicture1080(benchmark::State& state) {
    const FontSheet& font = font56();
    StripsConfig style = hdStyle(CutToText);
    Image picture(1920, 1080), img(1920, 1080), composite;
    for (auto _ : state) {
        renderSubtitleSet(RenderTarget::Preview, style, font, img, "Where were you on the night of the",
                          "fourteenth of August, Mr. Kowalski?", &picture, &composite);
        benchmark::DoNotOptimize(composite.data());
    }
}

BENCHMARK(BM_RenderPreview1080)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderAlpha1080)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderColor1080)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderOpaque1080)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderPreviewWithPicture1080)->Unit(benchmark::kMicrosecond);

}  // namespace
