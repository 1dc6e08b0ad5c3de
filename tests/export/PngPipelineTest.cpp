// The PNG sequence with worker threads: the same files, in the same order,
// with the walk (render, progress) on the calling thread, as without them.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "export/ExportDriver.h"
#include "export/ExportNames.h"
#include "io/Files.h"
#include "io/ImageCodecs.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

class PngPipelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = testsupport::tempPath(std::string("kalvero_pipeline_") + info->name());
        fs::remove_all(dir_);
        projectDir_ = dir_.string() + "/demo_project/";
        fs::create_directories(projectDir_);
        folder_ = projectDir_ + "PNG_Output/";
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Set k: a strip of its own colour and height over transparency; checks
    // that it runs on the calling thread and gets a transparent canvas.
    RenderSetFn renderer() {
        return [this](int k, Image& out) {
            EXPECT_EQ(std::this_thread::get_id(), caller_);
            rendered_.push_back(k);
            for (size_t i = 0; i < out.stride() * size_t(out.height()); ++i)
                if (out.data()[i] != 0) {
                    dirtyCanvas_ = true;
                    break;
                }
            for (int y = 2; y < 2 + (k % 7) + 1; ++y)
                for (int x = 1; x < out.width() - 1; ++x) {
                    uint8_t* p = out.pixel(x, y);
                    p[0] = uint8_t(30 * k), p[1] = uint8_t(255 - k), p[2] = 7, p[3] = uint8_t(100 + k);
                }
            return true;
        };
    }

    PngEncoderFn pngEncoder() {
        return [this](const Image& im, const std::string& path, std::string& error) {
            {
                std::lock_guard<std::mutex> lock(m_);
                encoderThreads_.insert(std::this_thread::get_id());
            }
            return imageio::writePng32(path, im, error, 3);
        };
    }

    PngSequenceJob job(int sets, int threads) {
        PngSequenceJob j{projectDir_, "demo", 40, 12, sets, renderer(), pngEncoder(),
                         [this](int v, int t) {
                             EXPECT_EQ(std::this_thread::get_id(), caller_);
                             progress_.emplace_back(v, t);
                         }};
        j.encodeThreads = threads;
        return j;
    }

    std::string path(int k) const { return exportnames::pngPicturePath(folder_, "demo", k); }

    fs::path dir_;
    std::string projectDir_, folder_;
    std::thread::id caller_ = std::this_thread::get_id();
    std::vector<int> rendered_;
    std::vector<std::pair<int, int>> progress_;
    bool dirtyCanvas_ = false;
    std::mutex m_;
    std::set<std::thread::id> encoderThreads_;
};

}  // namespace

TEST_F(PngPipelineTest, WorkersWriteWhatTheSequentialRunWrites) {
    const int sets = 23;
    ExportResult seq = exportPngSequence(job(sets, 0));
    ASSERT_TRUE(seq.ok) << seq.error;
    std::vector<std::string> sequential;
    for (int k = 1; k <= sets; ++k) {
        std::string bytes;
        ASSERT_TRUE(files::readFile(path(k), bytes).ok);
        sequential.push_back(bytes);
    }
    fs::remove_all(folder_);
    rendered_.clear();
    progress_.clear();
    encoderThreads_.clear();

    ExportResult par = exportPngSequence(job(sets, 3));
    ASSERT_TRUE(par.ok) << par.error;
    EXPECT_EQ(par.pictures, sets);
    EXPECT_EQ(par.written, seq.written);
    EXPECT_FALSE(dirtyCanvas_) << "a reused canvas was not cleared";
    std::vector<int> order(sets);
    for (int k = 0; k < sets; ++k) order[size_t(k)] = k;
    EXPECT_EQ(rendered_, order);
    ASSERT_EQ(progress_.size(), size_t(sets));
    for (int k = 0; k < sets; ++k) EXPECT_EQ(progress_[size_t(k)], std::make_pair(k + 1, sets));
    EXPECT_EQ(encoderThreads_.count(caller_), 0u) << "encoding ran on the calling thread";

    for (int k = 1; k <= sets; ++k) {
        std::string bytes;
        ASSERT_TRUE(files::readFile(path(k), bytes).ok);
        EXPECT_EQ(bytes, sequential[size_t(k - 1)]) << "picture " << k;
        Image decoded;
        std::string error;
        ASSERT_TRUE(imageio::decodePng(bytes, decoded, error)) << error;
        Image expected(40, 12);
        renderer()(k - 1, expected);
        EXPECT_EQ(std::memcmp(decoded.data(), expected.data(), expected.stride() * 12), 0) << "picture " << k;
    }
}

TEST_F(PngPipelineTest, FailedWriteStopsTheRunAtThatPicture) {
    PngSequenceJob j = job(40, 2);
    std::atomic<int> calls{0};
    j.encode = [&](const Image& im, const std::string& p, std::string& error) {
        ++calls;
        if (p == path(6)) {
            error = "No space left on device";
            return false;
        }
        return imageio::writePng32(p, im, error, 3);
    };
    ExportResult r = exportPngSequence(j);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.pictures, 5);
    EXPECT_NE(r.error.find("demo0006.png"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("No space left"), std::string::npos) << r.error;
    // Only pictures already under way are finished after the failure.
    EXPECT_LE(rendered_.size(), size_t(6 + 2 + 2));
    EXPECT_LT(calls.load(), 40);
    ASSERT_FALSE(progress_.empty());
    EXPECT_EQ(progress_.back(), std::make_pair(5, 40));
    for (int k = 1; k <= 5; ++k) EXPECT_TRUE(files::exists(path(k))) << k;
    EXPECT_FALSE(files::exists(path(6)));
    ASSERT_GE(r.written.size(), 5u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(r.written[i], path(int(i) + 1));
}

TEST_F(PngPipelineTest, FailedRenderStopsAfterThePicturesBeforeIt) {
    PngSequenceJob j = job(12, 2);
    RenderSetFn draw = renderer();
    j.render = [&](int k, Image& out) { return k != 4 && draw(k, out); };
    ExportResult r = exportPngSequence(j);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.pictures, 4);
    EXPECT_NE(r.error.find("Subtitle set 5"), std::string::npos) << r.error;
    EXPECT_EQ(r.written.size(), 4u);
    EXPECT_EQ(rendered_, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_FALSE(files::exists(path(5)));
}

TEST_F(PngPipelineTest, OneSetOrOneThreadWorks) {
    ExportResult one = exportPngSequence(job(1, 4));
    ASSERT_TRUE(one.ok) << one.error;
    EXPECT_EQ(one.written, (std::vector<std::string>{path(1)}));
    ExportResult single = exportPngSequence(job(5, 1));
    ASSERT_TRUE(single.ok) << single.error;
    EXPECT_EQ(single.pictures, 5);
    EXPECT_EQ(exportPngSequence(job(0, 2)).pictures, 0);
}

TEST(PngPool, CanvasesInFlightStayWithinTheMemoryBudget) {
    // Full HD: one canvas per worker plus two.
    EXPECT_EQ(pngPool(1920, 1080, 8, 1000).canvases, 10);
    EXPECT_EQ(pngPool(1920, 1080, 8, 1000).workers, 8);
    // 8192 x 8192 (256 MiB a canvas): three canvases, three workers.
    EXPECT_EQ(pngPool(8192, 8192, 8, 1000).canvases, 3);
    EXPECT_EQ(pngPool(8192, 8192, 8, 1000).workers, 3);
    // 16384 x 16384 (1 GiB a canvas): one, rendering and encoding take turns.
    EXPECT_EQ(pngPool(16384, 16384, 8, 1000).canvases, 1);
    EXPECT_EQ(pngPool(16384, 16384, 8, 1000).workers, 1);
    for (int side : {640, 2048, 8192, 16384}) {
        PngPool p = pngPool(side, side, 8, 1000);
        EXPECT_TRUE(p.canvases == 1 || uint64_t(p.canvases) * uint64_t(side) * uint64_t(side) * 4 <= kPngPoolBudget)
            << side;
    }
}

TEST_F(PngPipelineTest, ABudgetForOneCanvasStillWritesEveryPictureInOrder) {
    PngSequenceJob j = job(9, 4);
    j.poolBudget = 40 * 12 * 4;  // exactly one canvas
    j.skip = [](int k) { return k == 3; };
    ExportResult r = exportPngSequence(j);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.pictures, 8);
    EXPECT_EQ(r.skipped, 1);
    EXPECT_EQ(rendered_, (std::vector<int>{0, 1, 2, 4, 5, 6, 7, 8}));
    EXPECT_FALSE(files::exists(path(4)));
    for (int k : {1, 2, 3, 5, 9}) {
        Image decoded;
        std::string bytes, error;
        ASSERT_TRUE(files::readFile(path(k), bytes).ok) << k;
        ASSERT_TRUE(imageio::decodePng(bytes, decoded, error)) << error;
        Image expected(40, 12);
        renderer()(k - 1, expected);
        EXPECT_EQ(std::memcmp(decoded.data(), expected.data(), expected.stride() * 12), 0) << "picture " << k;
    }
    EXPECT_EQ(progress_.back(), std::make_pair(8, 8));
}
