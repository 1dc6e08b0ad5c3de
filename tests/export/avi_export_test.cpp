#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <filesystem>
#include <fstream>
#include <random>

#include "export/AviExport.h"
#include "export/AviWriter.h"
#include "movie_reader.h"
#include "project/SubtitleList.h"
#include "base/Image.h"

namespace fs = std::filesystem;

namespace {

// A picture whose rows and columns all differ, so flips and shifts show.
Image testPicture(int w, int h, int seed) {
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = img.pixel(x, y);
            p[0] = uint8_t(x * 7 + seed * 40);
            p[1] = uint8_t(y * 11 + seed * 13);
            p[2] = uint8_t(seed * 50 + (x ^ y));
            p[3] = 255;
        }
    return img;
}

std::vector<uint8_t> rgbOf(const Image& img) {
    std::vector<uint8_t> rgb;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) rgb.insert(rgb.end(), img.pixel(x, y), img.pixel(x, y) + 3);
    return rgb;
}

double meanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

FrameTimeline timelineOf(std::initializer_list<std::pair<int, int>> offOn) {
    FrameTimeline t;
    int k = 0;
    for (auto [off, on] : offOn) {
        t.append(kBlankPicture, off);
        t.append(k++, on);
    }
    return t;
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class AviExport : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        dir = fs::temp_directory_path() / ("kalvero-avi-" + std::to_string(rd()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        setAviWriteFailureHookForTests({});
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // Pictures: seed 0 for the blank frame, set k gets seed k + 1.
    AviPictureSource source(int w, int h) {
        return [w, h, this](int set, Image& out) {
            ++rendered[set];
            out = testPicture(w, h, set + 1);
            return true;
        };
    }

    std::vector<std::string> filesInDir() const {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            if (e.is_regular_file()) names.push_back(e.path().filename().string());
        return names;
    }

    TimedMovieJob job(const std::string& codec, int w = 64, int h = 48, float fps = 25.0f) {
        TimedMovieJob j;
        j.path = (dir / "AVI_Output" / "demo_subtitles.avi").string();
        j.width = w;
        j.height = h;
        j.fps = fps;
        j.codec.codec = codec;
        return j;
    }

    fs::path dir;
    std::map<int, int> rendered;
};

TEST_F(AviExport, OneSetMovieHasBlankFramesThenTheSet) {
    SubtitleList list;
    list.setLineColumn(0, Column::OffOn, "50+75");
    list.setLineColumn(1, Column::OffOn, "50+75");
    FrameTimeline timeline = buildFrameTimeline(list);

    std::vector<std::pair<int64_t, int64_t>> reports;
    auto writer = createAviWriter();
    TimedMovieJob j = job("rawvideo");
    TimedMovieResult r = writeTimedMovie(*writer, j, timeline, source(64, 48),
                                         [&](int64_t done, int64_t total) { reports.push_back({done, total}); });
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.frames, 125);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front(), std::make_pair(int64_t(0), int64_t(125)));
    EXPECT_EQ(reports.back(), std::make_pair(int64_t(125), int64_t(125)));
    // each picture is drawn once
    EXPECT_EQ(rendered[kBlankPicture], 1);
    EXPECT_EQ(rendered[0], 1);
    EXPECT_EQ(filesInDir(), std::vector<std::string>{"demo_subtitles.avi"});

    DecodedMovie m = decodeMovie(j.path);
    ASSERT_EQ(m.error, "");
    EXPECT_EQ(m.codec, AV_CODEC_ID_RAWVIDEO);
    EXPECT_EQ(m.rFrameRate.num, 25);
    EXPECT_EQ(m.rFrameRate.den, 1);
    EXPECT_EQ(m.packetCount, 125);
    EXPECT_EQ(m.keyPackets, 125);
    ASSERT_EQ(m.frames.size(), 125u);
    const std::vector<uint8_t> blank = rgbOf(testPicture(64, 48, 0)), set = rgbOf(testPicture(64, 48, 1));
    for (int i = 0; i < 50; ++i) EXPECT_EQ(m.frames[size_t(i)], blank) << "frame " << i;
    for (int i = 50; i < 125; ++i) EXPECT_EQ(m.frames[size_t(i)], set) << "frame " << i;
}

TEST_F(AviExport, SetsWithoutGapAndSetsNeverOn) {
    // set 0: 2 blank + 3 on; set 1 follows at once for 2; set 2 is never on;
    // set 3 after 1 blank (the 2 of set 2 and its own 1 join) for 1
    FrameTimeline t = timelineOf({{2, 3}, {0, 2}, {2, 0}, {1, 1}});
    auto writer = createAviWriter();
    TimedMovieJob j = job("rawvideo", 16, 8);
    TimedMovieResult r = writeTimedMovie(*writer, j, t, source(16, 8));
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(rendered.count(2), 0u);  // a set never on is not drawn

    DecodedMovie m = decodeMovie(j.path);
    ASSERT_EQ(m.frames.size(), 11u);
    const int expected[] = {0, 0, 1, 1, 1, 2, 2, 0, 0, 0, 4};  // seeds
    for (size_t i = 0; i < 11; ++i) EXPECT_EQ(m.frames[i], rgbOf(testPicture(16, 8, expected[i]))) << "frame " << i;
}

TEST_F(AviExport, UncompressedFramesAreBottomUpBitmapsWithPaddedRows) {
    // 33 pixels: 99 bytes of colour, padded to 100
    auto writer = createAviWriter();
    TimedMovieJob j = job("rawvideo", 33, 5);
    ASSERT_TRUE(writeTimedMovie(*writer, j, timelineOf({{0, 2}}), source(33, 5)).ok());

    std::string bytes = readBytes(j.path);
    size_t strf = bytes.find("strf");
    ASSERT_NE(strf, std::string::npos);
    int32_t biHeight;
    std::memcpy(&biHeight, bytes.data() + strf + 8 + 8, 4);
    EXPECT_EQ(biHeight, 5) << "a positive height marks a bottom-up bitmap";
    size_t chunk = bytes.find("00dc", bytes.find("movi"));
    ASSERT_NE(chunk, std::string::npos);
    uint32_t size;
    std::memcpy(&size, bytes.data() + chunk + 4, 4);
    ASSERT_EQ(size, 100u * 5u);
    // the first stored row is the bottom row of the picture, blue first
    Image picture = testPicture(33, 5, 1);
    const uint8_t* bottom = picture.pixel(0, 4);
    const auto* stored = reinterpret_cast<const uint8_t*>(bytes.data() + chunk + 8);
    EXPECT_EQ(stored[0], bottom[2]);
    EXPECT_EQ(stored[1], bottom[1]);
    EXPECT_EQ(stored[2], bottom[0]);
    EXPECT_EQ(stored[99], 0);

    // and a reader shows the picture the right way up
    DecodedMovie m = decodeMovie(j.path);
    ASSERT_EQ(m.frames.size(), 2u);
    EXPECT_EQ(m.frames[0], rgbOf(picture));
}

TEST_F(AviExport, FrameRateIsTheProjectRateRoundedUp) {
    auto writer = createAviWriter();
    TimedMovieJob j = job("rawvideo", 16, 8, 29.97f);
    ASSERT_TRUE(writeTimedMovie(*writer, j, timelineOf({{1, 1}}), source(16, 8)).ok());
    DecodedMovie m = decodeMovie(j.path);
    EXPECT_EQ(m.rFrameRate.num, 30);
    EXPECT_EQ(m.rFrameRate.den, 1);
    EXPECT_EQ(m.avgFrameRate.num, 30);
    EXPECT_EQ(m.avgFrameRate.den, 1);
}

TEST_F(AviExport, EveryAvailableCodecWritesKeyFramesOnly) {
    std::vector<AviCodecInfo> codecs = availableAviCodecs();
    ASSERT_FALSE(codecs.empty());
    EXPECT_EQ(codecs.front().codec, "rawvideo");
    const FrameTimeline t = timelineOf({{3, 4}, {0, 2}});
    for (const AviCodecInfo& c : codecs)
    for (auto [w, h] : {std::pair{64, 48}, std::pair{33, 17}}) {
        SCOPED_TRACE(c.codec + " " + std::to_string(w) + "x" + std::to_string(h));
        rendered.clear();
        auto writer = createAviWriter();
        TimedMovieJob j = job(c.codec, w, h);
        j.path = (dir / (c.codec + std::to_string(w) + ".avi")).string();
        TimedMovieResult r = writeTimedMovie(*writer, j, t, source(w, h));
        ASSERT_TRUE(r.ok()) << r.error;
        DecodedMovie m = decodeMovie(j.path);
        ASSERT_EQ(m.error, "");
        EXPECT_EQ(m.rFrameRate.num, 25);
        EXPECT_EQ(m.rFrameRate.den, 1);
        EXPECT_EQ(m.packetCount, 9);
        EXPECT_EQ(m.keyPackets, 9);
        ASSERT_EQ(m.frames.size(), 9u);
        const int seeds[] = {0, 0, 0, 1, 1, 1, 1, 2, 2};
        for (size_t i = 0; i < 9; ++i) {
            std::vector<uint8_t> want = rgbOf(testPicture(w, h, seeds[i]));
            if (c.lossless)
                EXPECT_EQ(m.frames[i], want) << "frame " << i;
            else
                EXPECT_LT(meanDifference(m.frames[i], want), 24.0) << "frame " << i;
        }
    }
}

TEST_F(AviExport, InterFrameCodingEncodesRepeatsAgain) {
    std::vector<AviCodecInfo> codecs = availableAviCodecs();
    if (std::none_of(codecs.begin(), codecs.end(), [](auto& c) { return c.codec == "mpeg4"; }))
        GTEST_SKIP() << "no mpeg4 encoder";
    auto writer = createAviWriter();
    TimedMovieJob j = job("mpeg4", 64, 48);
    j.codec.keyFrameEveryFrame = false;
    ASSERT_TRUE(writeTimedMovie(*writer, j, timelineOf({{5, 5}}), source(64, 48)).ok());
    DecodedMovie m = decodeMovie(j.path);
    ASSERT_EQ(m.frames.size(), 10u);
    EXPECT_LT(m.keyPackets, 10);
    EXPECT_LT(meanDifference(m.frames[9], rgbOf(testPicture(64, 48, 1))), 24.0);
}

TEST_F(AviExport, CancelLeavesNoFile) {
    std::atomic<bool> cancel{false};
    AviPictureSource pictures = [&](int set, Image& out) {
        if (set == 1) cancel = true;
        out = testPicture(16, 8, set + 1);
        return true;
    };
    auto writer = createAviWriter();
    TimedMovieResult r = writeTimedMovie(*writer, job("rawvideo", 16, 8), timelineOf({{2, 2}, {1, 20}}), pictures, {},
                                         &cancel);
    EXPECT_TRUE(r.cancelled);
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(filesInDir().empty());
}

TEST_F(AviExport, FullDiskGivesAnErrorAndKeepsTheOldMovie) {
    TimedMovieJob j = job("rawvideo", 64, 48);
    fs::create_directories(fs::path(j.path).parent_path());
    std::ofstream(j.path) << "old movie";
    setAviWriteFailureHookForTests([](uint64_t written) { return written < 40000; });
    auto writer = createAviWriter();
    TimedMovieResult r = writeTimedMovie(*writer, j, timelineOf({{10, 30}}), source(64, 48));
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(r.cancelled);
    EXPECT_NE(r.error.find(j.path), std::string::npos) << r.error;
    EXPECT_NE(r.error.find(std::strerror(ENOSPC)), std::string::npos) << r.error;
    EXPECT_EQ(filesInDir(), std::vector<std::string>{"demo_subtitles.avi"});
    EXPECT_EQ(readBytes(j.path), "old movie");
}

TEST_F(AviExport, FailuresBeforeWritingNameTheFile) {
    auto writer = createAviWriter();
    // the movie folder cannot be made below a file
    std::ofstream((dir / "plain").string()) << "x";
    TimedMovieJob j = job("rawvideo", 16, 8);
    j.path = (dir / "plain" / "AVI_Output" / "m.avi").string();
    TimedMovieResult r = writeTimedMovie(*writer, j, timelineOf({{1, 1}}), source(16, 8));
    EXPECT_NE(r.error.find("Could not create the folder"), std::string::npos) << r.error;

    j = job("no-such-codec", 16, 8);
    r = writeTimedMovie(*writer, j, timelineOf({{1, 1}}), source(16, 8));
    EXPECT_NE(r.error.find(j.path), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("no-such-codec"), std::string::npos) << r.error;

    j = job("rawvideo", 16, 8, 0.0f);
    r = writeTimedMovie(*writer, j, timelineOf({{1, 1}}), source(16, 8));
    EXPECT_NE(r.error.find("frame rate"), std::string::npos) << r.error;

    // a picture that cannot be drawn
    j = job("rawvideo", 16, 8);
    r = writeTimedMovie(*writer, j, timelineOf({{1, 1}, {1, 1}}),
                        [](int set, Image& out) {
                            out = testPicture(16, 8, 0);
                            return set != 1;
                        });
    EXPECT_NE(r.error.find("subtitle set 2 could not be drawn"), std::string::npos) << r.error;

    // a picture of the wrong size
    r = writeTimedMovie(*writer, j, timelineOf({{1, 1}}), source(17, 8));
    EXPECT_FALSE(r.ok());

    EXPECT_EQ(filesInDir(), std::vector<std::string>{"plain"});
}

TEST_F(AviExport, RefusesMoviesThatCannotFit) {
    auto writer = createAviWriter();
    TimedMovieJob j = job("rawvideo", 1920, 1080);
    // 20 hours of uncompressed HD is far more than any test disk holds
    FrameTimeline t = timelineOf({{10, 20 * 3600 * 25}});
    TimedMovieResult r = writeTimedMovie(*writer, j, t, source(1920, 1080));
    EXPECT_NE(r.error.find("Not enough free disk space"), std::string::npos) << r.error;
    EXPECT_TRUE(rendered.empty());

    // broken timings asking for more than a day of movie
    j.codec.codec = "utvideo";
    t = timelineOf({{10, 25 * 3600 * 25}});
    r = writeTimedMovie(*writer, j, t, source(1920, 1080));
    EXPECT_NE(r.error.find("more than 24 hours"), std::string::npos) << r.error;
    EXPECT_TRUE(filesInDir().empty());
}

TEST_F(AviExport, EmptyTimelineWritesAnEmptyMovie) {
    auto writer = createAviWriter();
    TimedMovieJob j = job("rawvideo", 16, 8);
    TimedMovieResult r = writeTimedMovie(*writer, j, FrameTimeline{}, source(16, 8));
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.frames, 0);
    EXPECT_TRUE(fs::exists(j.path));
}

TEST(AviWriter, ErrorsStickAndMisuseIsRefused) {
    auto writer = createDiscardingAviWriter();
    AviWriter::PictureId id = 0;
    EXPECT_NE(writer->writeFrame(testPicture(8, 8, 0), id), "");
    EXPECT_EQ(id, AviWriter::kNoPicture);

    ASSERT_EQ(writer->open("x.avi", 8, 8, 25, CodecChoice{}), "");
    ASSERT_EQ(writer->writeFrame(testPicture(8, 8, 0), id), "");
    EXPECT_EQ(writer->repeatPicture(id), "");
    std::string error = writer->writeFrame(testPicture(9, 8, 0), id);
    EXPECT_NE(error.find("does not fit"), std::string::npos) << error;
    EXPECT_EQ(writer->repeatPicture(0), error);
    EXPECT_EQ(writer->finish(), error);

    EXPECT_NE(writer->open("x.avi", 0, 8, 25, CodecChoice{}), "");
    EXPECT_NE(writer->open("x.avi", 8, 8, 0, CodecChoice{}), "");
    ASSERT_EQ(writer->open("x.avi", 8, 8, 25, CodecChoice{}), "");
    EXPECT_NE(writer->repeatPicture(5), "");
}

TEST(AviWriter, RepeatedPicturesCostNoEncoding) {
    auto writer = createDiscardingAviWriter();
    ASSERT_EQ(writer->open("x.avi", 64, 48, 25, CodecChoice{"rawvideo"}), "");
    AviWriter::PictureId id;
    ASSERT_EQ(writer->writeFrame(testPicture(64, 48, 0), id), "");
    uint64_t after1 = writer->bytesWritten();
    for (int i = 0; i < 9; ++i) ASSERT_EQ(writer->repeatPicture(id), "");
    EXPECT_EQ(writer->framesWritten(), 10);
    ASSERT_EQ(writer->finish(), "");
    EXPECT_GE(writer->bytesWritten(), after1 + 9u * 64u * 48u * 3u);
}

}  // namespace
