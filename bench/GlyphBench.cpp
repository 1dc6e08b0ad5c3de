// Glyphs made from installed fonts: making them for a whole project, cold
// and from the glyph cache, and a render drawn with them against one drawn
// with the shipped sheets (BM_RenderPreview1080).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "base/Utf8.h"
#include "render/Compositor.h"
#include "render/InstalledFont.h"
#include "render/MadeGlyphs.h"

namespace {

const std::string kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const std::string kVlGothic = "/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf";

// The two lines of 1,000 sets of ordinary Latin captions.
std::vector<std::string> latinProject() {
    static const char* const words[] = {"where", "were", "you", "on", "the", "night", "of", "fourteenth", "August",
                                        "Mr.", "Kowalski", "I", "told", "already", "nothing", "happened", "café",
                                        "naïve", "Zürich", "don't", "42", "—", "well,", "yes!"};
    std::vector<std::string> lines;
    unsigned seed = 7;
    for (int k = 0; k < 2000; ++k) {
        std::string line;
        for (int w = 0; w < 7; ++w) {
            seed = seed * 1103515245u + 12345u;
            line += (w ? " " : "") + std::string(words[(seed >> 16) % std::size(words)]);
        }
        lines.push_back(line);
    }
    return lines;
}

// 1,000 distinct CJK ideographs over 1,000 sets.
std::vector<std::string> cjkProject() {
    std::vector<std::string> lines;
    for (int k = 0; k < 1000; ++k) {
        std::string line;
        for (int c = 0; c < 8; ++c) utf8::append(line, char32_t(0x4E00 + (k * 8 + c) % 1000));
        lines.push_back(line);
    }
    return lines;
}

void make(benchmark::State& state, const std::string& font, const std::vector<std::string>& texts, bool cached,
          bool styles = true) {
    if (!std::filesystem::exists(font)) {
        state.SkipWithError("font not installed (scripts/packages.txt)");
        return;
    }
    const std::string cache = (std::filesystem::temp_directory_path() / "kalvero-glyph-bench").string();
    setenv("KALVERO_GLYPH_CACHE", cached ? cache.c_str() : "", 1);
    if (cached) {
        FontSheet warm;
        useFontFile(warm, font, false, 56, texts);
    }
    size_t glyphs = 0;
    for (auto _ : state) {
        FontSheet sheet;
        InstalledFontResult r = useFontFile(sheet, font, false, 56, texts);
        if (!r.ok || r.fromCache != cached) state.SkipWithError(r.ok ? "cache not as expected" : r.error.c_str());
        glyphs = r.glyphs;
        // The four border styles of every glyph, as a project's export draws them.
        if (styles && sheet.madeGlyphs()) sheet.madeGlyphs()->makeAllStyles();
        benchmark::DoNotOptimize(sheet.madeGlyphs().get());
    }
    state.counters["glyphs"] = double(glyphs);
    unsetenv("KALVERO_GLYPH_CACHE");
    std::filesystem::remove_all(cache);
}

void BM_GlyphsLatin1000Cold(benchmark::State& s) { make(s, kDejaVu, latinProject(), false); }
void BM_GlyphsLatin1000Cached(benchmark::State& s) { make(s, kDejaVu, latinProject(), true); }
void BM_GlyphsCjk1000Cold(benchmark::State& s) { make(s, kVlGothic, cjkProject(), false); }
// The window's share: the cache gives the coverage; the style drawn is made
// when a line first shows it.
void BM_GlyphsLatin1000CachedNoStyles(benchmark::State& s) { make(s, kDejaVu, latinProject(), true, false); }

// The set of BM_RenderPreview1080, drawn with glyphs made from a font.
void BM_RenderPreview1080MadeGlyphs(benchmark::State& state) {
    const std::string a = "Where were you on the night of the", b = "fourteenth of August, Mr. Kowalski?";
    setenv("KALVERO_GLYPH_CACHE", "", 1);
    FontSheet font;
    if (!useFontFile(font, kDejaVu, false, 56, {a, b}).ok) {
        state.SkipWithError("font not installed");
        return;
    }
    unsetenv("KALVERO_GLYPH_CACHE");
    StripsConfig s;
    s.stripsColor = Rgb{0, 0, 0};
    s.bgColor = s.presetBgColor = Rgb{0, 0, 160};
    s.borderStyle = 1;
    s.blend = 200;
    s.wordSpacing = -1;
    s.stripsSpacing = 80;
    s.stripsMode = CutToText;
    s.centerText = true;
    s.stripsYPos = 810;
    Image img(1920, 1080);
    for (auto _ : state) {
        renderSubtitleSet(RenderTarget::Preview, s, font, img, a, b);
        benchmark::DoNotOptimize(img.data());
    }
}

}  // namespace

BENCHMARK(BM_GlyphsLatin1000Cold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GlyphsLatin1000Cached)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GlyphsLatin1000CachedNoStyles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GlyphsCjk1000Cold)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RenderPreview1080MadeGlyphs)->Unit(benchmark::kMicrosecond);
