#include <benchmark/benchmark.h>

#include "export/Ilbm.h"
#include "io/TextRenderer.h"

namespace {

// A subtitle picture as the IFF export sees it: black, a coloured strip per
// line and anti-aliased text in the border colours (many more than 16 colours).
const Image& subtitlePicture() {
    static Image im = [] {
        Image p(720, 576);
        for (int y = 0; y < 576; ++y)
            for (int x = 0; x < 720; ++x) p.pixel(x, y)[3] = 255;
        TextRenderer text;
        const Rgb strip{40, 40, 160};
        const TextFont font{"Arial", 36, true, true};
        const char* lines[2] = {"Where were you last night?", "I told you - out, with the others."};
        for (int i = 0; i < 2; ++i) {
            const int y = 440 + i * 48;
            const int w = text.measureText(lines[i], font);
            const int x = 360 - w / 2;
            text.drawText(p, x + 2, y + 2, lines[i], font, Rgb{0, 0, 0}, &strip);
            text.drawText(p, x, y, lines[i], font, Rgb{255, 255, 80});
        }
        return p;
    }();
    return im;
}

// Worst case: every pixel a different colour.
const Image& gradientPicture() {
    static Image im = [] {
        Image p(720, 576);
        for (int y = 0; y < 576; ++y)
            for (int x = 0; x < 720; ++x) {
                uint8_t* q = p.pixel(x, y);
                q[0] = uint8_t(x * 255 / 719);
                q[1] = uint8_t(y * 255 / 575);
                q[2] = uint8_t((x + y) & 0xff);
                q[3] = 255;
            }
        return p;
    }();
    return im;
}

void prepare(benchmark::State& state, const Image& picture) {
    IlbmOptions options;
    options.quantizerSpeed = int(state.range(0));
    for (auto _ : state) {
        IlbmPicture out;
        std::string error;
        benchmark::DoNotOptimize(prepareIlbmPicture(picture, out, error, options));
    }
}

void BM_PrepareSubtitle(benchmark::State& state) { prepare(state, subtitlePicture()); }
void BM_PrepareGradient(benchmark::State& state) { prepare(state, gradientPicture()); }

void BM_PrepareFewColours(benchmark::State& state) {
    Image p(720, 576);
    for (int y = 400; y < 500; ++y)
        for (int x = 100; x < 620; ++x) p.pixel(x, y)[0] = 200;
    for (auto _ : state) {
        IlbmPicture out;
        std::string error;
        benchmark::DoNotOptimize(prepareIlbmPicture(p, out, error));
    }
}

void BM_EncodeIlbm720x576(benchmark::State& state) {
    IlbmPicture pic;
    std::string error;
    prepareIlbmPicture(subtitlePicture(), pic, error);
    for (auto _ : state) benchmark::DoNotOptimize(encodeIlbm(pic));
}

}  // namespace

BENCHMARK(BM_PrepareSubtitle)->DenseRange(1, 10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrepareGradient)->Arg(1)->Arg(6)->Arg(7)->Arg(8)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrepareFewColours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeIlbm720x576)->Unit(benchmark::kMillisecond);
