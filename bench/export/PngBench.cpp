#include <benchmark/benchmark.h>

#include "io/ImageCodecs.h"
#include "io/TextRenderer.h"

namespace {

// A 1080p export picture: transparent but for two strips of text.
const Image& captionPicture() {
    static Image im = [] {
        Image p(1920, 1080);
        TextRenderer text;
        const Rgb strip{40, 40, 160};
        const TextFont font{"Arial", 48, true, false};
        const char* lines[2] = {"Where were you on the night of the", "fourteenth of August, Mr. Kowalski?"};
        for (int i = 0; i < 2; ++i) {
            const int y = 880 + i * 66;
            for (int yy = y; yy < y + 64; ++yy)
                for (int x = 300; x < 1620; ++x) {
                    uint8_t* q = p.pixel(x, yy);
                    q[0] = strip.r, q[1] = strip.g, q[2] = strip.b, q[3] = 255;
                }
            text.drawText(p, 320, y + 4, lines[i], font, Rgb{255, 255, 80});
        }
        return p;
    }();
    return im;
}

void BM_PngZlib3Caption1080(benchmark::State& state) {
    std::string out, error;
    for (auto _ : state) benchmark::DoNotOptimize(imageio::encodePng32(captionPicture(), out, error, 3));
    state.counters["bytes"] = double(out.size());
}

void BM_PngFastCaption1080(benchmark::State& state) {
    std::string out, error;
    for (auto _ : state) benchmark::DoNotOptimize(imageio::encodePng32Fast(captionPicture(), out, error));
    state.counters["bytes"] = double(out.size());
}

}  // namespace

BENCHMARK(BM_PngZlib3Caption1080)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngFastCaption1080)->Unit(benchmark::kMillisecond);
