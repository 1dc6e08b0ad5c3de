// Captions burned into movies made by the ffmpeg tool, read back with
// libavformat / libavcodec: frame count and duration, the sound packets
// byte for byte, and the caption pixels exactly while a set is on.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>
#include <random>

#include "base/Image.h"
#include "export/BurnIn.h"
#include "movie_reader.h"
#include "project/SubtitleList.h"

namespace fs = std::filesystem;

namespace {

struct Packets {
    std::string error;
    std::vector<std::vector<uint8_t>> audio;  // packet bytes of the first sound stream
    AVCodecID audioCodec = AV_CODEC_ID_NONE;
    double videoSeconds = 0;
};

Packets readPackets(const std::string& path) {
    Packets p;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        p.error = "cannot open";
        return p;
    }
    avformat_find_stream_info(fmt, nullptr);
    const int a = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    const int v = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (a >= 0) p.audioCodec = fmt->streams[a]->codecpar->codec_id;
    AVPacket* pkt = av_packet_alloc();
    int64_t first = AV_NOPTS_VALUE, last = 0;
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == a) p.audio.emplace_back(pkt->data, pkt->data + pkt->size);
        if (pkt->stream_index == v && pkt->pts != AV_NOPTS_VALUE) {
            if (first == AV_NOPTS_VALUE || pkt->pts < first) first = pkt->pts;
            last = std::max(last, pkt->pts + pkt->duration);
        }
        av_packet_unref(pkt);
    }
    if (v >= 0 && first != AV_NOPTS_VALUE) p.videoSeconds = double(last - first) * av_q2d(fmt->streams[v]->time_base);
    av_packet_free(&pkt);
    avformat_close_input(&fmt);
    return p;
}

// Pixels that differ by more than 40 in some channel.
int changedPixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return -1;
    int n = 0;
    for (size_t i = 0; i + 2 < a.size(); i += 3)
        for (int c = 0; c < 3; ++c)
            if (std::abs(int(a[i + size_t(c)]) - int(b[i + size_t(c)])) > 40) {
                ++n;
                break;
            }
    return n;
}

class BurnIn : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "the ffmpeg tool is not installed";
        std::random_device rd;
        dir = fs::temp_directory_path() / ("kalvero-burn-" + std::to_string(rd()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // A flat-coloured movie with a sine tone.
    std::string makeMovie(const std::string& name, const std::string& size, const std::string& rate, double seconds,
                          const std::string& audioCodec) {
        const std::string path = (dir / name).string();
        const std::string d = std::to_string(seconds);
        const std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i color=c=0x305070:s=" + size + ":r=" + rate +
                                ":d=" + d + " -f lavfi -i sine=f=440:d=" + d + " -c:v libx264 -preset ultrafast " +
                                "-pix_fmt yuv420p -c:a " + audioCodec + " -metadata:s:a:0 language=fin '" + path + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return path;
    }

    // Two sets at 25 fps: 00:00:01:00-00:00:02:00 and 00:00:02:10-00:00:03:00.
    BurnJob job(const std::string& in, const std::string& out, float fps = 25.0f) {
        SubtitleList list;
        list.appendEmptySet();
        for (int row = 0; row < 4; ++row) {
            list.setLineColumn(row, Column::Text, "x");
            list.setLineColumn(row, Column::Timing, row < 2 ? "00:00:01:00>00:00:02:00" : "00:00:02:10>00:00:03:00");
        }
        BurnJob j;
        j.input = in;
        j.output = out;
        j.width = 720;
        j.height = 576;
        j.fps = fps;
        j.preset = "ultrafast";
        j.spans = buildSetSpans(list, fps);
        return j;
    }

    // Set k: a white box with a black border across the lower third.
    static bool caption(int set, Image& out) {
        for (int y = 400 + 20 * set; y < 470 + 20 * set; ++y)
            for (int x = 100; x < 620; ++x) {
                uint8_t* p = out.pixel(x, y);
                const bool edge = y < 404 + 20 * set || x < 104 || x >= 616;
                p[0] = p[1] = p[2] = edge ? 0 : 255;
                p[3] = 255;
            }
        return true;
    }

    // Which frames of the output show a caption, from the decoded pictures.
    void expectCaptionFrames(const std::string& in, const std::string& out, double movieRate) {
        DecodedMovie a = decodeMovie(in), b = decodeMovie(out);
        ASSERT_EQ(a.error, "");
        ASSERT_EQ(b.error, "");
        ASSERT_EQ(a.frames.size(), b.frames.size());
        for (size_t n = 0; n < a.frames.size(); ++n) {
            // the movie time of frame n, at the nearest 25 fps frame of the list
            const long projectFrame = std::lround(double(n) / movieRate * 25.0);
            const bool on = (projectFrame >= 25 && projectFrame < 50) || (projectFrame >= 60 && projectFrame < 75);
            const int changed = changedPixels(a.frames[n], b.frames[n]);
            if (on)
                EXPECT_GT(changed, a.frames[n].size() / 3 / 20) << "frame " << n;
            else
                EXPECT_LT(changed, 10) << "frame " << n;
        }
    }

    fs::path dir;
};

}  // namespace

TEST_F(BurnIn, PalMovieOfAnotherSizeKeepsFramesAndSoundAndShowsCaptionsFromOnToOff) {
    const std::string in = makeMovie("in25.mp4", "640x360", "25", 4.0, "aac");
    const std::string out = (dir / "out.mp4").string();
    std::vector<std::tuple<int64_t, int64_t, double>> reports;
    std::map<int, int> drawn;
    auto burner = createMovieBurner();
    MovieFacts facts = burner->probe(in);
    EXPECT_EQ(facts.width, 640);
    EXPECT_EQ(facts.soundStreams, 1);
    BurnResult r = burner->burn(
        job(in, out), [&](int set, Image& img) { ++drawn[set]; return caption(set, img); },
        [&](int64_t done, int64_t total, double left) { reports.emplace_back(done, total, left); });
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.frames, 100);
    EXPECT_TRUE(r.scaled);
    EXPECT_EQ(r.movieWidth, 640);
    EXPECT_EQ(r.soundStreamsCopied, 1);
    EXPECT_EQ(drawn, (std::map<int, int>{{0, 1}, {1, 1}}));  // each caption drawn once
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ(std::get<0>(reports.back()), 100);
    EXPECT_EQ(std::get<1>(reports.back()), 100);

    Packets a = readPackets(in), b = readPackets(out);
    EXPECT_EQ(b.audioCodec, AV_CODEC_ID_AAC);
    ASSERT_FALSE(a.audio.empty());
    EXPECT_TRUE(a.audio == b.audio) << a.audio.size() << " vs " << b.audio.size() << " sound packets";
    EXPECT_NEAR(b.videoSeconds, a.videoSeconds, 0.001);
    DecodedMovie m = decodeMovie(out);
    EXPECT_EQ(m.codec, AV_CODEC_ID_H264);
    EXPECT_EQ(m.width, 640);
    EXPECT_EQ(m.rFrameRate.num, 25);
    expectCaptionFrames(in, out, 25.0);

    // the scaled caption sits where the picture puts it: the box's middle
    // row (y 437 of 576) lands at 437 * 360 / 576 = 273, white
    const std::vector<uint8_t>& f = m.frames[30];
    const size_t at = (273 * 640 + 360) * 3;
    EXPECT_GT(f[at], 220);
    EXPECT_GT(f[at + 1], 220);
}

TEST_F(BurnIn, NtscMovieInMatroskaCountsCaptionTimeInTheMoviesClock) {
    // 29.97 fps movie, PCM sound in Matroska; the list counts at 25 fps
    const std::string in = makeMovie("in2997.mkv", "720x576", "30000/1001", 3.5, "pcm_s16le");
    const std::string out = (dir / "out.mkv").string();
    auto burner = createMovieBurner();
    BurnResult r = burner->burn(job(in, out), caption);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_FALSE(r.scaled);
    Packets a = readPackets(in), b = readPackets(out);
    EXPECT_EQ(b.audioCodec, AV_CODEC_ID_PCM_S16LE);
    EXPECT_TRUE(a.audio == b.audio);
    EXPECT_NEAR(b.videoSeconds, a.videoSeconds, 0.002);
    DecodedMovie m = decodeMovie(out);
    EXPECT_EQ(m.rFrameRate.num, 30000);
    EXPECT_EQ(m.rFrameRate.den, 1001);
    expectCaptionFrames(in, out, 30000.0 / 1001.0);

    // MP4 cannot hold this PCM: it becomes AAC of the same length
    const std::string mp4 = (dir / "out.mp4").string();
    r = burner->burn(job(in, mp4), caption);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.soundStreamsEncoded, 1);
    b = readPackets(mp4);
    EXPECT_EQ(b.audioCodec, AV_CODEC_ID_AAC);
    EXPECT_EQ(decodeMovie(mp4).frames.size(), m.frames.size());
}

TEST_F(BurnIn, CancelAndFailuresLeaveNoFile) {
    const std::string in = makeMovie("in.mp4", "320x240", "25", 3.0, "aac");
    const std::string out = (dir / "out.mp4").string();
    auto burner = createMovieBurner();
    std::atomic<bool> cancel{false};
    BurnResult r = burner->burn(job(in, out), [&](int set, Image& img) {
        cancel = true;  // the user cancels while the first caption is on
        return caption(set, img);
    }, {}, &cancel);
    EXPECT_TRUE(r.cancelled);
    EXPECT_FALSE(fs::exists(out));

    // a caption that cannot be drawn
    r = burner->burn(job(in, out), [](int, Image&) { return false; });
    EXPECT_NE(r.error.find("subtitle set 1"), std::string::npos) << r.error;
    // not a movie; a container that is not offered; the movie itself as output
    std::ofstream((dir / "text.mp4").string()) << "not a movie";
    r = burner->burn(job((dir / "text.mp4").string(), out), caption);
    EXPECT_NE(r.error.find("text.mp4"), std::string::npos) << r.error;
    r = burner->burn(job(in, (dir / "out.gif").string()), caption);
    EXPECT_NE(r.error.find(".mkv"), std::string::npos) << r.error;
    r = burner->burn(job(in, in), caption);
    EXPECT_FALSE(r.ok());
    BurnJob bad = job(in, out);
    bad.preset = "warp";
    EXPECT_FALSE(burner->burn(bad, caption).ok());

    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir)) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"in.mp4", "text.mp4"}));
}
