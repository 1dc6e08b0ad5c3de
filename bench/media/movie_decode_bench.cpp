// Movie playback at 1080p25 for the timing recorder: how fast the decoder
// and scaler run flat out, and how many pictures the player shows when it
// plays the same clip in real time (scaled to 1280 x 720, as a 1920 x 1080
// project's timing window does).
//
// The clip (8 s of H.264 with AAC sound) is made by the ffmpeg tool first.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "base/Image.h"
#include "timing/MoviePlayer.h"

namespace {

const std::string& clipPath() {
    static std::string path = [] {
        std::string p = (std::filesystem::temp_directory_path() / "kalvero-bench-1080p25.mp4").string();
        if (!std::filesystem::exists(p)) {
            std::string cmd = "ffmpeg -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=8 "
                              "-f lavfi -i sine=frequency=440:duration=8 -c:v libx264 -preset veryfast "
                              "-pix_fmt yuv420p -c:a aac " + p;
            if (std::system(cmd.c_str()) != 0) return std::string();
        }
        return p;
    }();
    return path;
}

void BM_Decode1080pFlatOut(benchmark::State& state) {
    if (clipPath().empty()) {
        state.SkipWithError("the ffmpeg tool could not make the clip");
        return;
    }
    int64_t frames = 0;
    double seconds = 0;
    for (auto _ : state) {
        AVFormatContext* fmt = nullptr;
        avformat_open_input(&fmt, clipPath().c_str(), nullptr, nullptr);
        avformat_find_stream_info(fmt, nullptr);
        int si = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        const AVCodec* dec = avcodec_find_decoder(fmt->streams[si]->codecpar->codec_id);
        AVCodecContext* ctx = avcodec_alloc_context3(dec);
        avcodec_parameters_to_context(ctx, fmt->streams[si]->codecpar);
        ctx->thread_count = 0;  // as the player does
        ctx->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        avcodec_open2(ctx, dec, nullptr);
        AVPacket* pkt = av_packet_alloc();
        AVFrame* frame = av_frame_alloc();
        SwsContext* sws = nullptr;
        Image out(1280, 720);
        auto start = std::chrono::steady_clock::now();
        auto take = [&] {
            while (avcodec_receive_frame(ctx, frame) == 0) {
                sws = sws_getCachedContext(sws, frame->width, frame->height, AVPixelFormat(frame->format), 1280, 720,
                                           AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
                uint8_t* dst[4] = {out.data(), nullptr, nullptr, nullptr};
                int stride[4] = {int(out.stride()), 0, 0, 0};
                sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, stride);
                ++frames;
            }
        };
        while (av_read_frame(fmt, pkt) >= 0) {
            if (pkt->stream_index == si) {
                avcodec_send_packet(ctx, pkt);
                take();
            }
            av_packet_unref(pkt);
        }
        avcodec_send_packet(ctx, nullptr);
        take();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        sws_freeContext(sws);
        av_frame_free(&frame);
        av_packet_free(&pkt);
        avcodec_free_context(&ctx);
        avformat_close_input(&fmt);
    }
    state.counters["decode_fps"] = double(frames) / seconds;
}

void BM_Play1080pRealTime(benchmark::State& state) {
    if (clipPath().empty()) {
        state.SkipWithError("the ffmpeg tool could not make the clip");
        return;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    for (auto _ : state) {
        auto player = createMoviePlayer();
        std::string error = player->load(clipPath());
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
            return;
        }
        player->setDisplaySize(1280, 720);
        auto start = std::chrono::steady_clock::now();
        player->play();
        uint64_t serial = 0;
        while (player->playing()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            player->currentPicture(&serial);
        }
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        player->currentPicture(&serial);
        state.counters["frames"] = double(player->lengthInFrames());
        state.counters["shown"] = double(serial);
        state.counters["shown_pct"] = 100.0 * double(serial) / double(player->lengthInFrames());
        state.counters["wall_s"] = seconds;
        state.counters["sound"] = player->hasSound() ? 1 : 0;
    }
}

}  // namespace

BENCHMARK(BM_Decode1080pFlatOut)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Play1080pRealTime)->Iterations(1)->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
