// The IFF/Scala export with worker threads: byte for byte the files of the
// run on one thread, rendered and reported in set order on the caller.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "export/ExportDriver.h"
#include "io/Files.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

class IffPipelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = testsupport::tempPath(std::string("kalvero_iffpipe_") + info->name());
        fs::remove_all(dir_);
        projectDir_ = dir_.string() + "/film_project/";
        fs::create_directories(projectDir_);
        folder_ = projectDir_ + "IFF-SCALA_Output/";
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Even sets: a few flat colours (kept exactly); odd sets: a gradient with
    // far more than 16 colours (through the quantiser).
    RenderSetFn renderer() {
        return [this](int k, Image& out) {
            EXPECT_EQ(std::this_thread::get_id(), caller_);
            rendered_.push_back(k);
            for (int y = 0; y < out.height(); ++y)
                for (int x = 0; x < out.width(); ++x) {
                    uint8_t* p = out.pixel(x, y);
                    if (k % 2 == 0) {
                        const int band = (y / 8 + k) % 5;
                        p[0] = uint8_t(band * 50), p[1] = uint8_t(k * 9), p[2] = uint8_t(x < 40 ? 200 : 20);
                    } else {
                        p[0] = uint8_t(x * 255 / out.width()), p[1] = uint8_t(y * 255 / out.height());
                        p[2] = uint8_t((x * y + k * 31) & 0xff);
                    }
                    p[3] = 255;
                }
            return true;
        };
    }

    IffScalaJob job(int sets, int threads) {
        IffScalaJob j;
        j.projectDir = projectDir_;
        j.name = "film";
        j.width = 96;
        j.height = 64;
        j.fps = 25;
        for (int k = 0; k < sets; ++k) j.sets.push_back({k * 50, 30});
        j.poster = Image(96, 64);
        j.render = renderer();
        j.progress = [this](int v, int t) {
            EXPECT_EQ(std::this_thread::get_id(), caller_);
            progress_.emplace_back(v, t);
        };
        j.encodeThreads = threads;
        return j;
    }

    std::vector<std::string> readAll(const std::vector<std::string>& paths) {
        std::vector<std::string> out;
        for (const std::string& p : paths) {
            std::string bytes;
            EXPECT_TRUE(files::readFile(p, bytes).ok) << p;
            out.push_back(bytes);
        }
        return out;
    }

    fs::path dir_;
    std::string projectDir_, folder_;
    std::thread::id caller_ = std::this_thread::get_id();
    std::vector<int> rendered_;
    std::vector<std::pair<int, int>> progress_;
};

}  // namespace

TEST_F(IffPipelineTest, WorkersWriteTheSameBytesAsOneThread) {
    const int sets = 17;
    ExportResult seq = exportIffScala(job(sets, 0));
    ASSERT_TRUE(seq.ok) << seq.error;
    const std::vector<std::string> sequential = readAll(seq.written);
    const auto seqProgress = progress_;
    fs::remove_all(folder_);
    rendered_.clear();
    progress_.clear();

    ExportResult par = exportIffScala(job(sets, 3));
    ASSERT_TRUE(par.ok) << par.error;
    EXPECT_EQ(par.pictures, sets);
    EXPECT_EQ(par.written, seq.written);  // poster, pictures in order, script
    EXPECT_EQ(readAll(par.written), sequential);
    std::vector<int> order(sets);
    for (int k = 0; k < sets; ++k) order[size_t(k)] = k;
    EXPECT_EQ(rendered_, order);
    EXPECT_EQ(progress_, seqProgress);
    // The pictures, the poster, the script and the record of the folder's names.
    EXPECT_EQ(files::listFiles(folder_).size(), size_t(sets) + 3);
}

TEST_F(IffPipelineTest, FailedPictureStopsTheRunAndNoScriptIsWritten) {
    fs::create_directories(folder_ + "film0004.iff/inside");  // a folder where picture 4 belongs
    ExportResult r = exportIffScala(job(30, 2));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.pictures, 3);
    EXPECT_NE(r.error.find("film0004.iff"), std::string::npos) << r.error;
    EXPECT_FALSE(files::exists(folder_ + "film.script"));
    EXPECT_LT(rendered_.size(), 30u);
    ASSERT_FALSE(progress_.empty());
    EXPECT_EQ(progress_.back(), std::make_pair(3, 30));
}
