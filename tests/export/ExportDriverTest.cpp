#include <gtest/gtest.h>

#include <filesystem>

#include "export/ExportDriver.h"
#include "export/ExportNames.h"
#include "io/Files.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

class ExportDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = testsupport::tempPath(std::string("kalvero_export_") + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        projectDir_ = dir_.string() + "/demo_project/";
        fs::create_directories(projectDir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Stands in for the PNG codec: writes a small marker file.
    PngEncoderFn encoder() {
        return [this](const Image& im, const std::string& path, std::string& error) {
            encoded_.push_back(path);
            files::Result r = files::writeFileAtomic(path, "png " + std::to_string(im.width()) + "x" +
                                                               std::to_string(im.height()));
            error = r.error;
            return r.ok;
        };
    }

    // Paints set k as a flat colour of its own; records the canvas it got.
    RenderSetFn renderer() {
        return [this](int k, Image& out) {
            rendered_.push_back(k);
            bool transparent = true;
            for (size_t i = 0; i < out.stride() * size_t(out.height()); ++i) transparent = transparent && out.data()[i] == 0;
            freshCanvases_ = freshCanvases_ && transparent;
            for (int y = 0; y < out.height(); ++y)
                for (int x = 0; x < out.width(); ++x) {
                    uint8_t* p = out.pixel(x, y);
                    p[0] = uint8_t(40 * (k + 1));
                    p[3] = 255;
                }
            return true;
        };
    }

    fs::path dir_;
    std::string projectDir_;
    std::vector<std::string> encoded_;
    std::vector<int> rendered_;
    bool freshCanvases_ = true;
};

}  // namespace

TEST(ExportSets, CountsOfTheWalks) {
    EXPECT_EQ(pngSetCount(0), 0);
    EXPECT_EQ(pngSetCount(2), 1);
    EXPECT_EQ(pngSetCount(5), 3);
    EXPECT_EQ(iffSetCount(5), 2);
    EXPECT_EQ(iffSetCount(4), 2);
    EXPECT_TRUE(iffSizeAllowed(720, 576));
    EXPECT_FALSE(iffSizeAllowed(724, 576));
    EXPECT_FALSE(iffSizeAllowed(720, 574));
    EXPECT_EQ(captureRow(-1), 0);
    EXPECT_EQ(captureRow(0), 0);
    EXPECT_EQ(captureRow(3), 2);
    EXPECT_EQ(captureRow(4), 4);
}

TEST_F(ExportDriverTest, PngSequenceWritesOnePicturePerSet) {
    std::vector<std::pair<int, int>> progress;
    PngSequenceJob job{projectDir_, "demo", 64, 32, 3, renderer(), encoder(),
                       [&](int v, int t) { progress.emplace_back(v, t); }};
    ExportResult r = exportPngSequence(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.pictures, 3);
    EXPECT_EQ(exportnames::exportedMessage(r.pictures), "3 frames were exported!");
    EXPECT_EQ(rendered_, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(freshCanvases_);
    const std::string folder = projectDir_ + "PNG_Output/";
    EXPECT_EQ(r.folder, folder);
    EXPECT_EQ(encoded_, (std::vector<std::string>{folder + "demo0001.png", folder + "demo0002.png",
                                                  folder + "demo0003.png"}));
    EXPECT_EQ(r.written, encoded_);
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
    std::string content;
    ASSERT_TRUE(files::readFile(folder + "demo0002.png", content).ok);
    EXPECT_EQ(content, "png 64x32");

    // A second run with a shorter list leaves no picture of the first run
    // behind; files of other names stay.
    for (const char* other : {"demo20001.png", "demo0003.png.bak", "notes.txt", "Demo0004.png", "demo_0001.png"})
        ASSERT_TRUE(files::writeFileAtomic(folder + other, "x"));
    job.setCount = 1;
    ASSERT_TRUE(exportPngSequence(job).ok);
    EXPECT_TRUE(files::exists(folder + "demo0001.png"));
    EXPECT_FALSE(files::exists(folder + "demo0002.png"));
    EXPECT_FALSE(files::exists(folder + "demo0003.png"));
    for (const char* other : {"demo20001.png", "demo0003.png.bak", "notes.txt", "Demo0004.png", "demo_0001.png"})
        EXPECT_TRUE(files::exists(folder + other)) << other;
}

TEST(ExportNames, EarlierPicturesAreTheNameAndFourDigits) {
    EXPECT_TRUE(isEarlierPicture("demo0001.png", "demo", ".png"));
    EXPECT_TRUE(isEarlierPicture("demo9999.png", "demo", ".png"));
    EXPECT_FALSE(isEarlierPicture("demo10000.png", "demo", ".png"));  // could be "demo1" picture 0000
    EXPECT_FALSE(isEarlierPicture("demo000a.png", "demo", ".png"));
    EXPECT_FALSE(isEarlierPicture("demo0001.iff", "demo", ".png"));
    EXPECT_FALSE(isEarlierPicture("xdemo0001.png", "demo", ".png"));
    EXPECT_FALSE(isEarlierPicture("demo_poster.iff", "demo", ".iff"));
}

TEST_F(ExportDriverTest, EmptyProjectFolderMeansTheWorkingFolder) {
    const fs::path before = fs::current_path();
    fs::current_path(dir_);
    ExportResult r = exportPngSequence(PngSequenceJob{"", "Untitled", 8, 8, 1, renderer(), encoder(), {}});
    fs::current_path(before);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(fs::exists(dir_ / "PNG_Output" / "Untitled0001.png"));
}

TEST_F(ExportDriverTest, FolderThatCannotBeCreatedIsAnError) {
    const std::string blocker = dir_.string() + "/blocker";
    ASSERT_TRUE(files::writeFileAtomic(blocker, "a file, not a folder").ok);
    ExportResult r = exportPngSequence(PngSequenceJob{blocker + "/", "demo", 8, 8, 2, renderer(), encoder(), {}});
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find(blocker), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("PNG_Output"), std::string::npos) << r.error;
    EXPECT_TRUE(rendered_.empty());

    IffScalaJob iff;
    iff.projectDir = blocker + "/";
    iff.name = "demo";
    iff.width = iff.height = 8;
    iff.fps = 25;
    iff.sets = {{0, 1}};
    iff.poster = Image(8, 8);
    iff.render = renderer();
    r = exportIffScala(iff);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("IFF-SCALA_Output"), std::string::npos) << r.error;
}

TEST_F(ExportDriverTest, FailedWriteStopsAndNamesTheFile) {
    int calls = 0;
    PngEncoderFn failing = [&](const Image&, const std::string&, std::string& error) {
        error = "No space left on device";
        return ++calls < 2;
    };
    ExportResult r = exportPngSequence(PngSequenceJob{projectDir_, "demo", 8, 8, 4, renderer(), failing, {}});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.pictures, 1);
    EXPECT_NE(r.error.find("demo0002.png"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("No space left"), std::string::npos) << r.error;
    EXPECT_EQ(rendered_.size(), 2u);
}

TEST_F(ExportDriverTest, FailedRenderIsAnError) {
    ExportResult r = exportPngSequence(
        PngSequenceJob{projectDir_, "demo", 8, 8, 2, [](int k, Image&) { return k == 0; }, encoder(), {}});
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("2"), std::string::npos);
    EXPECT_FALSE(exportPngSequence(PngSequenceJob{projectDir_, "demo", 0, 8, 1, renderer(), encoder(), {}}).ok);
}

TEST_F(ExportDriverTest, IffScalaWritesPosterPicturesAndScript) {
    std::vector<std::pair<int, int>> progress;
    int notices = 0;
    IffScalaJob job;
    job.projectDir = projectDir_;
    job.name = "abcdefghijklmnopqrst";
    job.width = 24;
    job.height = 16;
    job.fps = 25;
    job.scalaTarget = 0;
    job.sets = {{0, 87}, {13, 50}};
    job.poster = Image(24, 16);
    job.render = renderer();
    job.progress = [&](int v, int t) { progress.emplace_back(v, t); };
    job.notice = [&](const std::string&, const std::string&) { ++notices; };
    ExportResult r = exportIffScala(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.pictures, 2);
    EXPECT_EQ(notices, 0);
    const std::string folder = projectDir_ + "IFF-SCALA_Output/";
    EXPECT_EQ(r.written, (std::vector<std::string>{folder + "abcdefghijklmnop_poster.iff",
                                                   folder + "abcdefghijklmnop0001.iff",
                                                   folder + "abcdefghijklmnop0002.iff",
                                                   folder + "abcdefghijklmnop.script"}));
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 2}, {1, 2}, {2, 2}}));
    std::string script, iff;
    ASSERT_TRUE(files::readFile(folder + "abcdefghijklmnop.script", script).ok);
    EXPECT_EQ(script, buildScalaScript(job.sets, 25, 24, 16, job.name, 0).text);
    ASSERT_TRUE(files::readFile(folder + "abcdefghijklmnop0002.iff", iff).ok);
    ASSERT_EQ(iff.size(), 186u + ilbmBodySize(24, 16));
    EXPECT_EQ(iff.substr(82, 3), std::string("\x50\x00\x00", 3));  // set 2 is red 80
    // Only the IFF files, the script and the record of the folder's names: no
    // work files left behind.
    EXPECT_EQ(files::listFiles(folder).size(), 5u);
    EXPECT_TRUE(files::exists(folder + ".kalvero-names"));

    // A run with one set removes the second picture of the run before.
    job.sets = {{0, 87}};
    ASSERT_TRUE(exportIffScala(job).ok);
    EXPECT_FALSE(files::exists(folder + "abcdefghijklmnop0002.iff"));
    EXPECT_EQ(files::listFiles(folder).size(), 4u);
}

TEST_F(ExportDriverTest, WholeSecondVersionNotifiesBeforeWriting) {
    bool folderExistedAtNotice = true;
    IffScalaJob job;
    job.projectDir = projectDir_;
    job.name = "demo";
    job.width = job.height = 8;
    job.fps = 25;
    job.scalaTarget = ScalaMm200;
    job.sets = {{0, 25}};
    job.poster = Image(8, 8);
    job.render = renderer();
    std::string title;
    job.notice = [&](const std::string& t, const std::string&) {
        title = t;
        folderExistedAtNotice = files::exists(projectDir_ + "IFF-SCALA_Output");
    };
    ExportResult r = exportIffScala(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(title, "Info");
    EXPECT_FALSE(folderExistedAtNotice);
}

TEST_F(ExportDriverTest, IffScalaRefusals) {
    IffScalaJob job;
    job.projectDir = projectDir_;
    job.name = "demo";
    job.width = 724;
    job.height = 576;
    job.fps = 25;
    job.sets = {{0, 25}};
    job.poster = Image(724, 576);
    job.render = renderer();
    ExportResult r = exportIffScala(job);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Sorry, width or height is not dividable by 8, please choose a proper resolution!");

    job.width = 720;
    r = exportIffScala(job);  // poster of the wrong size
    EXPECT_FALSE(r.ok);
    job.poster = Image(720, 576);
    job.scalaTarget = 4;
    EXPECT_FALSE(exportIffScala(job).ok);
    job.scalaTarget = 0;
    job.fps = 0;
    EXPECT_FALSE(exportIffScala(job).ok);
    EXPECT_TRUE(rendered_.empty());
    EXPECT_FALSE(files::exists(projectDir_ + "IFF-SCALA_Output"));
}

TEST_F(ExportDriverTest, ScriptThatCannotBeWrittenIsAnError) {
    const std::string folder = projectDir_ + "IFF-SCALA_Output/";
    fs::create_directories(folder + "demo.script/inside");  // a folder where the script belongs
    IffScalaJob job;
    job.projectDir = projectDir_;
    job.name = "demo";
    job.width = job.height = 8;
    job.fps = 25;
    job.sets = {{0, 25}};
    job.poster = Image(8, 8);
    job.render = renderer();
    ExportResult r = exportIffScala(job);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("demo.script"), std::string::npos) << r.error;
}

TEST_F(ExportDriverTest, CaptureUsesTheSetOfTheSelectedRow) {
    const std::string nested = dir_.string() + "/new/deeper/";
    CaptureJob job{nested, "/somewhere/Demo.Kvl8", 16, 8, 3, renderer(), encoder()};
    ExportResult r = captureSet(job);
    ASSERT_TRUE(r.ok) << r.error;
    const std::string path = nested + "Capture_Output/Demo_0002.png";
    EXPECT_EQ(r.written, std::vector<std::string>{path});
    EXPECT_EQ(rendered_, std::vector<int>{1});
    EXPECT_TRUE(files::exists(path));
    EXPECT_EQ(captureMessage(path), "Capture screenshot saved As:\n" + path);

    job.projectName = "demo.KVL8";
    job.row = -1;
    r = captureSet(job);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.written, std::vector<std::string>{nested + "Capture_Output/demo_0000.png"});
}
