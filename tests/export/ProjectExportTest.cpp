// The plain exports of a project: no editor, no window, only the input.
#include "export/ProjectExport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "TestSupport.h"
#include "export/AviTimeline.h"
#include "io/Files.h"
#include "project/SubtitleList.h"
#include "render/Compositor.h"
#include "render/SheetBuilder.h"

namespace fs = std::filesystem;
using testsupport::decodeFile;
using testsupport::filesIn;
using testsupport::samePixels;

namespace {

class ProjectExportTest : public ::testing::Test {
protected:
    fs::path dir;
    FontSheet font;
    ProjectExportInput in;
    std::vector<std::string> calls;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = testsupport::tempPath(std::string("kalvero_projectexport_") + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        font = testsheet::makeFont(std::vector<int>(95, 10), 12);
        font.loadedSize = 16;
        SubtitleList list;
        list.clearList();
        list.appendLine({"A0000", "one", "00:00:01:00>00:00:02:00", "25+25", ""});
        list.appendLine({"B0000", "1", "00:00:01:00>00:00:02:00", "25+25", ""});
        list.appendLine({"A0002", "  ", "00:00:03:00>00:00:04:00", "25+25", ""});
        list.appendLine({"B0002", "", "00:00:03:00>00:00:04:00", "25+25", ""});
        list.appendLine({"A0004", "three", "00:00:05:00>00:00:06:00", "25+25", "30"});
        list.appendLine({"B0004", "3", "00:00:05:00>00:00:06:00", "25+25", "30"});
        in.sets = subtitleSets(list);
        in.style.fontSize = 16;
        in.style.stripsColor = Rgb{200, 40, 10};
        in.style.blend = 255;
        in.style.stripsYPos = 100;
        in.font = &font;
        in.width = 320;
        in.height = 160;
        in.fps = 25;
        in.projectDir = dir.string() + "/";
        in.name = "demo";
        in.workerThreads = -1;
        in.starting = [this] { calls.push_back("start"); };
        in.drawing = [this](int k) { calls.push_back("draw " + std::to_string(k)); };
    }
    void TearDown() override { fs::remove_all(dir); }
};

}  // namespace

TEST_F(ProjectExportTest, PngPicturesAreTheRenderOfEachSetFromTheSetsAlone) {
    const ExportReport r = exportPngPictures(in);
    ASSERT_TRUE(r.done()) << r.text;
    EXPECT_EQ(r.pictures, 2);
    EXPECT_EQ(r.skipped, 1);
    EXPECT_EQ(calls, (std::vector<std::string>{"start", "draw 0", "draw 2"}));
    EXPECT_EQ(filesIn(dir / "PNG_Output"),
              (std::vector<std::string>{"demo.xml", "demo0001.png", "demo0003.png", "demo_timing.csv"}));
    for (int k : {0, 2}) {
        Image expected(in.width, in.height);
        renderSet(in.sets, k, in.style, RenderTarget::AlphaExport, font, expected);
        const std::string path = (dir / "PNG_Output" / ("demo000" + std::to_string(k + 1) + ".png")).string();
        EXPECT_TRUE(samePixels(decodeFile(path), expected)) << path;
    }
    // Set 3 sits at its own Y.
    const Image third = decodeFile((dir / "PNG_Output" / "demo0003.png").string());
    EXPECT_EQ(draw::readPixel(third, 5, 32).a, 255);
    EXPECT_EQ(draw::readPixel(third, 5, 102).a, 0);
}

TEST_F(ProjectExportTest, RefusalsStartNothingAndWriteNothing) {
    font.loadedSize = 12;  // no sheets of the style's size
    ExportReport r = exportPngPictures(in);
    EXPECT_TRUE(r.refused());
    EXPECT_EQ(r.title, "Error#10");
    in.font = nullptr;
    EXPECT_TRUE(exportCapture(in, 0, 0).refused());
    in.font = &font;
    font.loadedSize = 16;
    in.fps = 0;
    EXPECT_TRUE(exportIffPictures(in, 0).refused());
    EXPECT_TRUE(exportAviMovie(in, CodecChoice{}).refused());
    in.fps = 25;
    // No media writers handed down: refused, never a crash.
    EXPECT_TRUE(exportAviMovie(in, CodecChoice{}).refused());
    EXPECT_TRUE(exportBurnIn(in, "in.mp4", (dir / "out.mp4").string(), 18, "medium", {}).refused());
    in.media.avi = [] { return std::unique_ptr<AviWriter>(); };
    EXPECT_TRUE(exportAviMovie(in, CodecChoice{}).refused());
    // A cancelled codec choice: nothing, and no message either.
    r = exportAviMovie(in, CodecChoice{}, [] { return std::optional<CodecChoice>(); });
    EXPECT_TRUE(r.refused());
    EXPECT_EQ(r.title, "");
    // No overlay writer in this build of the input.
    EXPECT_TRUE(exportOverlay(in, "prores").refused());
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(filesIn(dir).empty());
}

TEST_F(ProjectExportTest, CaptureDrawsTheGivenSetUnderItsRowsName) {
    in.name = "demo.KVL8";
    const ExportReport r = exportCapture(in, 2, 4);
    ASSERT_TRUE(r.done()) << r.text;
    ASSERT_EQ(r.written.size(), 1u);
    Image expected(in.width, in.height);
    renderSet(in.sets, 2, in.style, RenderTarget::AlphaExport, font, expected);
    EXPECT_TRUE(samePixels(decodeFile(r.written[0]), expected));
    EXPECT_NE(r.written[0].find("0004"), std::string::npos) << r.written[0];
    EXPECT_EQ(calls, (std::vector<std::string>{"start", "draw 2"}));
}

// An IFF run that is cancelled or fails gives back the name it recorded in
// the folder's record: a record it started goes, one that was there keeps its
// bytes, the lines of other projects and of this project's earlier run too.
TEST_F(ProjectExportTest, StoppedIffRunsLeaveTheNameRecordAsTheyFoundIt) {
    const fs::path out = dir / "IFF-SCALA_Output";
    const fs::path record = out / ".kalvero-names";
    auto recordBytes = [&] {
        std::string s;
        files::readFile(record.string(), s);
        return s;
    };
    std::atomic<bool> cancel{false};
    in.drawing = [&](int) { cancel = true; };  // stops before the second picture
    const std::string cancelled = "The export was cancelled; the pictures it had written were removed.";
    for (int threads : {-1, 2}) {
        SCOPED_TRACE(threads);
        in.workerThreads = threads;
        fs::remove_all(out);
        cancel = false;
        ExportReport r = exportIffPictures(in, 0, &cancel);
        EXPECT_EQ(r.text, cancelled);
        EXPECT_EQ(filesIn(out), std::vector<std::string>{});
        // A full disk at the poster, and at the second picture.
        for (int okWrites : {0, 2}) {
            std::atomic<int> writes{0};
            files::setWriteFailureHookForTests([&](uint64_t) { return ++writes <= okWrites; });
            r = exportIffPictures(in, 0);
            files::setWriteFailureHookForTests(nullptr);
            EXPECT_FALSE(r.done());
            EXPECT_NE(r.text.find(std::strerror(ENOSPC)), std::string::npos) << r.text;
            EXPECT_FALSE(fs::exists(record));
        }

        // Another project holds "demo" in the record.
        fs::remove_all(out);
        fs::create_directories(out);
        const std::string other = "demo\tdemo of another film\r\n";
        ASSERT_TRUE(files::writeFileAtomic(record.string(), other));
        cancel = false;
        EXPECT_EQ(exportIffPictures(in, 0, &cancel).text, cancelled);
        EXPECT_EQ(filesIn(out), std::vector<std::string>{".kalvero-names"});
        EXPECT_EQ(recordBytes(), other);
        // A whole run records its own name; a later stopped run keeps it.
        in.drawing = nullptr;
        ASSERT_TRUE(exportIffPictures(in, 0).done());
        const std::string recorded = other + "demo_2\tdemo\n";
        EXPECT_EQ(recordBytes(), recorded);
        in.drawing = [&](int) { cancel = true; };
        EXPECT_EQ(exportIffPictures(in, 0, &cancel).text, cancelled);
        EXPECT_EQ(recordBytes(), recorded);
        files::setWriteFailureHookForTests([](uint64_t) { return false; });
        EXPECT_FALSE(exportIffPictures(in, 0).done());
        files::setWriteFailureHookForTests(nullptr);
        EXPECT_EQ(recordBytes(), recorded);
        EXPECT_TRUE(fs::exists(out / "demo_2.script"));
    }
}

// The IFF run writes a picture for each set its script shows and nothing for
// the sets it leaves out (an earlier run's picture of such a set goes too),
// and its report counts both, naming the sets left out and why.
TEST_F(ProjectExportTest, IffReportCountsThePicturesWrittenAndNamesTheSetsLeftOut) {
    SubtitleList list;
    list.clearList();
    auto add = [&](const std::string& a, const std::string& timing) {
        list.appendLine({"", a, timing, "", ""});
        list.appendLine({"", a.empty() ? "" : "b", timing, "", ""});
    };
    add("one", "00:00:01:00>00:00:02:00");
    add("two", "00:00:03:00>00:00:04:00");
    add("three", "00:00:06:00>00:00:05:00");  // OFF before ON
    add("four", "00:00:00:10>00:00:00:20");   // before every set above it
    add("five", "00:00:08:00>00:00:09:00");
    add("", "");                              // the empty new set at the end
    list.renumberIds();
    recalculateOffOn(list, 25.0f);
    in.sets = subtitleSets(list);
    const fs::path out = dir / "IFF-SCALA_Output";
    for (int threads : {-1, 2}) {
        SCOPED_TRACE(threads);
        in.workerThreads = threads;
        fs::remove_all(out);
        fs::create_directories(out);
        ASSERT_TRUE(files::writeFileAtomic((out / "demo0003.iff").string(), "an earlier run's picture"));
        const ExportReport r = exportIffPictures(in, 0);
        ASSERT_TRUE(r.done()) << r.text;
        EXPECT_EQ(r.pictures, 3);
        EXPECT_EQ(r.text, "3 pictures written, 3 sets left out: 3 (OFF before ON); 4 (starts before a set above it); "
                          "6 (no text).");
        EXPECT_EQ(r.leftOut, "3 sets left out: 3 (OFF before ON); 4 (starts before a set above it); 6 (no text)");
        EXPECT_EQ(filesIn(out), (std::vector<std::string>{".kalvero-names", "demo.script", "demo0001.iff",
                                                          "demo0002.iff", "demo0005.iff", "demo_poster.iff"}));
        std::string script;
        ASSERT_TRUE(files::readFile((out / "demo.script").string(), script));
        for (const char* named : {"demo0001.iff", "demo0002.iff", "demo0005.iff"})
            EXPECT_NE(script.find(named), std::string::npos) << named;
        for (const char* left : {"demo0003.iff", "demo0004.iff", "demo0006.iff"})
            EXPECT_EQ(script.find(left), std::string::npos) << left;
    }
}

// The pictures of a run are flushed to the disk once, at its end: when that
// flush fails the run is a failure, never reported as done, and takes its
// pictures away as after a full disk.
TEST_F(ProjectExportTest, AFailedFlushAtTheEndFailsTheRun) {
    const std::string ioError = std::strerror(EIO);
    auto dvdSize = [&] {  // a size the BDN description knows
        ProjectExportInput pal = in;
        pal.width = 720;
        pal.height = 576;
        return pal;
    };
    struct Case {
        const char* name;
        std::function<ExportReport()> run;
        const char* folder;
    };
    const std::vector<Case> cases = {
        {"png", [&] { return exportPngPictures(in); }, "PNG_Output"},
        {"iff", [&] { return exportIffPictures(in, 0); }, "IFF-SCALA_Output"},
        {"bdn", [&] { return exportTrack(dvdSize(), SubtitleFormat::Bdn, false); }, "BDN_Output"},
        {"bdn indexed", [&] { return exportTrack(dvdSize(), SubtitleFormat::Bdn, true); }, "BDN_Output"},
        {"capture", [&] { return exportCapture(in, 0, 0); }, "Capture_Output"},
    };
    for (int threads : {-1, 2}) {
        in.workerThreads = threads;
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", threads " + std::to_string(threads));
            fs::remove_all(dir / c.folder);
            files::setSyncFailureForTests(ioError);
            const ExportReport failed = c.run();
            files::setSyncFailureForTests("");
            EXPECT_FALSE(failed.done());
            EXPECT_NE(failed.text.find(ioError), std::string::npos) << failed.text;
            for (const std::string& f : filesIn(dir / c.folder))
                EXPECT_EQ(f.find(".png"), std::string::npos) << f;
            // The same run with the flush working is done.
            EXPECT_TRUE(c.run().done());
        }
    }
}

// The SUP stream goes to a temporary file as it grows: a full disk fails the
// run and leaves the track of the run before as it was, and no temporary.
TEST_F(ProjectExportTest, AFullDiskDuringASupTrackKeepsTheEarlierTrack) {
    ASSERT_TRUE(exportTrack(in, SubtitleFormat::Sup, false).done());
    const fs::path sup = dir / "SUP_Output" / "demo.sup";
    std::string before;
    ASSERT_TRUE(files::readFile(sup.string(), before));
    in.sets[0].lineA = "changed";
    files::setWriteFailureHookForTests([](uint64_t) { return false; });
    const ExportReport r = exportTrack(in, SubtitleFormat::Sup, false);
    files::setWriteFailureHookForTests(nullptr);
    EXPECT_FALSE(r.done());
    EXPECT_NE(r.text.find(std::strerror(ENOSPC)), std::string::npos) << r.text;
    std::string now;
    ASSERT_TRUE(files::readFile(sup.string(), now));
    EXPECT_EQ(now, before);
    EXPECT_EQ(filesIn(dir / "SUP_Output"), std::vector<std::string>{"demo.sup"});
    // Without the full disk the new track takes the name.
    ASSERT_TRUE(exportTrack(in, SubtitleFormat::Sup, false).done());
    ASSERT_TRUE(files::readFile(sup.string(), now));
    EXPECT_NE(now, before);
}
