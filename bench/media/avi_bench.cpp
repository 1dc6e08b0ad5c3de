// Timed AVI export of a 10-minute 1080p25 timeline of 100 subtitle sets
// (each: 2 s blank, 4 s on; 15000 frames), written by this program and, for
// comparison, the same frames encoded one by one by the ffmpeg command-line
// tool fed through a pipe. Both throw the movie away (/dev/null, or the
// discarding writer) so that the disk is not measured.
//
// The two do different work: this program encodes each picture once and
// repeats its packet for the rest of its run, ffmpeg encodes every frame.
// The counters say how many encodes each side made and the time per encoded
// picture; "work_avoided" is the whole-run ratio, which is fewer encodes,
// not a faster encoder.
//
// KALVERO_BENCH_MINUTES shortens or lengthens the timeline (default 10).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "export/AviExport.h"
#include "export/AviWriter.h"
#include "base/Image.h"

#include "../CountingAviWriter.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kSets = 100;

int benchMinutes() {
    const char* v = std::getenv("KALVERO_BENCH_MINUTES");
    int m = v ? std::atoi(v) : 10;
    return m > 0 ? m : 10;
}

FrameTimeline benchTimeline() {
    // 6 s per set: 2 s blank, 4 s on
    const int64_t perSet = int64_t(benchMinutes()) * 60 * 25 / kSets;
    FrameTimeline t;
    for (int k = 0; k < kSets; ++k) {
        t.append(kBlankPicture, perSet / 3);
        t.append(k, perSet - perSet / 3);
    }
    return t;
}

// A caption-like picture: background colour, a strip, blocky "letters".
void drawPicture(int set, Image& out) {
    out = Image(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = out.pixel(x, y);
            p[0] = 0;
            p[1] = 0;
            p[2] = 255;
            p[3] = 255;
        }
    if (set == kBlankPicture) return;
    for (int y = 900; y < 1010; ++y)
        for (int x = 200; x < 1720; ++x) {
            uint8_t* p = out.pixel(x, y);
            p[0] = 20;
            p[1] = 20;
            p[2] = 20;
            bool glyph = ((x / 6 + set) % 7 < 4) && ((y / 5 + x / 31) % 5 != 0) && (x % 40 < 30) && y > 920 && y < 990;
            if (glyph) p[0] = p[1] = p[2] = 240;
        }
}

void bgr24(const Image& img, std::vector<uint8_t>& out) {
    out.resize(size_t(img.width()) * size_t(img.height()) * 3);
    uint8_t* d = out.data();
    const uint8_t* s = img.data();
    for (size_t i = 0, n = size_t(img.width()) * size_t(img.height()); i < n; ++i, s += 4, d += 3) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
    }
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct KalveroRun {
    double seconds = -1, encodeSeconds = 0;
    int64_t encodes = 0;
    uint64_t bytes = 0;
};

KalveroRun runKalvero(const std::string& codec, const FrameTimeline& timeline) {
    KalveroRun run;
    auto writer = std::make_unique<CountingAviWriter>(createDiscardingAviWriter());
    TimedMovieJob job;
    job.path = "bench.avi";
    job.width = kWidth;
    job.height = kHeight;
    job.fps = 25.0f;
    job.codec.codec = codec;
    job.checkFreeSpace = false;
    auto start = std::chrono::steady_clock::now();
    TimedMovieResult r = writeTimedMovie(*writer, job, timeline, [](int set, Image& out) {
        drawPicture(set, out);
        return true;
    });
    const double s = secondsSince(start);
    if (!r.ok()) {
        std::fprintf(stderr, "export failed: %s\n", r.error.c_str());
        return run;
    }
    run.seconds = s;
    run.bytes = writer->bytesWritten();
    run.encodes = writer->encodes;
    run.encodeSeconds = writer->encodeSeconds;
    return run;
}

double runFfmpegCli(const std::string& codec, const FrameTimeline& timeline) {
    std::string cmd = "ffmpeg -v error -f rawvideo -pix_fmt bgr24 -s " + std::to_string(kWidth) + "x" +
                      std::to_string(kHeight) + " -r 25 -i - -c:v " + codec + " -g 1 -f avi -y /dev/null";
    auto start = std::chrono::steady_clock::now();
    std::FILE* pipe = ::popen(cmd.c_str(), "w");
    if (!pipe) return -1;
    Image picture;
    std::vector<uint8_t> blank, frame;
    drawPicture(kBlankPicture, picture);
    bgr24(picture, blank);
    bool ok = true;
    for (const TimelineRun& run : timeline.runs) {
        const std::vector<uint8_t>* bytes = &blank;
        if (run.picture != kBlankPicture) {
            drawPicture(run.picture, picture);
            bgr24(picture, frame);
            bytes = &frame;
        }
        for (int64_t i = 0; ok && i < run.frames; ++i)
            ok = std::fwrite(bytes->data(), 1, bytes->size(), pipe) == bytes->size();
    }
    int status = ::pclose(pipe);
    double s = secondsSince(start);
    return ok && status == 0 ? s : -1;
}

void BM_TimedAvi(benchmark::State& state, const std::string& codec) {
    const FrameTimeline timeline = benchTimeline();
    for (auto _ : state) {
        const KalveroRun ours = runKalvero(codec, timeline);
        const double cli = runFfmpegCli(codec, timeline);
        if (ours.seconds < 0 || cli < 0 || ours.encodes <= 0) {
            state.SkipWithError("a run failed (is ffmpeg installed?)");
            return;
        }
        state.SetIterationTime(ours.seconds);
        state.counters["frames"] = double(timeline.total);
        state.counters["kalvero_s"] = ours.seconds;
        state.counters["kalvero_encodes"] = double(ours.encodes);
        state.counters["kalvero_ms_per_encode"] = ours.encodeSeconds * 1000 / double(ours.encodes);
        state.counters["ffmpeg_cli_s"] = cli;
        state.counters["ffmpeg_encodes"] = double(timeline.total);
        // with the feeder drawing and piping every frame
        state.counters["ffmpeg_ms_per_encode"] = cli * 1000 / double(timeline.total);
        state.counters["work_avoided"] = cli / ours.seconds;
        state.counters["movie_MB"] = double(ours.bytes) / 1e6;
    }
}

}  // namespace

BENCHMARK_CAPTURE(BM_TimedAvi, uncompressed, std::string("rawvideo"))
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_TimedAvi, utvideo, std::string("utvideo"))
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
