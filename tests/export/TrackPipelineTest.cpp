#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

#include "FakeUi.h"
#include "TestSupport.h"
#include "export/OrderedPipeline.h"
#include "export/SubtitleExport.h"
#include "export/SubtitleTrack.h"
#include "project/SubtitleList.h"
#include "render/Compositor.h"
#include "render/FontSheet.h"

namespace fs = std::filesystem;

namespace {

constexpr float kFps = 25.0f;

TrackSet timedSet(int set, long long on, long long off) {
    TrackSet s;
    s.set = set;
    s.on = timeCodeOfFrame(on, kFps);
    s.off = timeCodeOfFrame(off, kFps);
    s.onFrame = frameOf(s.on, kFps);
    s.offFrame = frameOf(s.off, kFps);
    return s;
}

// Two bands of a few colours each whose size and place depend on the set;
// every seventh set draws nothing.
bool twoLines(int set, Image& out) {
    if (set % 7 == 3) return true;
    auto band = [&](int x0, int y0, int w, int h, int shade) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) {
                uint8_t* p = out.pixel(x, y);
                const bool edge = y == y0 || y == y0 + h - 1 || x == x0;
                p[0] = uint8_t(edge ? 0 : 200 + shade), p[1] = uint8_t((x / 9) * 17), p[2] = uint8_t(set);
                p[3] = uint8_t(edge ? 255 : 160);
            }
    };
    band(20 + set % 30, 420 + set % 11, 200 + 13 * (set % 17), 30, set % 40);
    if (set % 5 != 0) band(40, 480, 150 + set * 3 % 400, 28, 10);
    return true;
}

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class TrackPipelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testsupport::freshTestDir("kalvero-trackpipe-");
    }
    void TearDown() override { fs::remove_all(dir); }

    SubtitleExportJob job(SubtitleFormat format, const std::string& sub, int threads) {
        SubtitleExportJob j;
        j.format = format;
        j.projectDir = (dir / sub).string();
        j.name = "film";
        j.width = 720;
        j.height = 576;
        j.fps = kFps;
        // Back to back, with one set listed out of time order.
        for (int k = 0; k < 40; ++k) j.sets.sets.push_back(timedSet(k, 50 + 30LL * k, 80 + 30LL * k));
        j.sets.sets.push_back(timedSet(40, 10, 40));
        j.render = twoLines;
        j.workerThreads = threads;
        return j;
    }

    // Every file of a folder with its bytes.
    std::map<std::string, std::string> folder(const fs::path& f) {
        std::map<std::string, std::string> out;
        for (const std::string& name : testsupport::filesIn(f)) out[name] = bytesOf(f / name);
        return out;
    }

    fs::path dir;
};

}  // namespace

// Worker threads change when the work is done, never the files.
TEST_F(TrackPipelineTest, WorkerThreadsWriteTheSameFilesAsOneThread) {
    for (SubtitleFormat format : {SubtitleFormat::Sup, SubtitleFormat::Bdn, SubtitleFormat::Dvb, SubtitleFormat::VobSub}) {
        for (bool indexed : {false, true}) {
            if (format != SubtitleFormat::Bdn && indexed) continue;
            const std::string tag = subtitleFormatInfo(format).cliName + std::string(indexed ? "8" : "");
            std::map<std::string, std::string> serial;
            SubtitleExportResult first;
            // 4: three threads with a render that clears the canvas itself,
            // which then gets canvases that still hold an earlier set.
            for (int threads : {0, 2, 3, 4}) {
                SubtitleExportJob j = job(format, tag + std::to_string(threads), threads == 4 ? 3 : threads);
                j.indexedPng = indexed;
                j.makeStreamWriter = createSubtitleStreamWriter;
                if (threads == 4) {
                    j.renderClears = true;
                    j.render = [](int set, Image& out) {
                        std::fill(out.data(), out.data() + out.stride() * size_t(out.height()), uint8_t(0));
                        return twoLines(set, out);
                    };
                }
                std::vector<int> progress;
                j.progress = [&](int v, int total) {
                    EXPECT_EQ(total, 41);
                    progress.push_back(v);
                };
                const SubtitleExportResult r = exportSubtitleTrack(j);
                ASSERT_TRUE(r.ok) << tag << threads << ": " << r.error;
                ASSERT_EQ(progress.size(), 41u);
                for (size_t i = 0; i < progress.size(); ++i) EXPECT_EQ(progress[i], int(i + 1));
                const auto files = folder(r.folder);
                if (threads == 0) {
                    serial = files;
                    first = r;
                    EXPECT_EQ(r.blank, 6) << tag;  // sets 3, 10, 17, 24, 31, 38
                    continue;
                }
                EXPECT_EQ(r.subtitles, first.subtitles) << tag;
                EXPECT_EQ(r.blank, first.blank) << tag;
                EXPECT_EQ(r.written.size(), first.written.size()) << tag;
                ASSERT_EQ(files.size(), serial.size()) << tag << threads;
                for (const auto& [name, bytes] : serial) {
                    ASSERT_TRUE(files.count(name)) << tag << threads << ": " << name;
                    // A Matroska file carries random identifiers of its own.
                    if (name.size() > 4 && name.substr(name.size() - 4) == ".mks")
                        EXPECT_EQ(files.at(name).size(), bytes.size()) << tag << threads;
                    else
                        EXPECT_TRUE(files.at(name) == bytes) << tag << threads << ": " << name << " differs";
                }
            }
            if (format == SubtitleFormat::Bdn && !indexed) {
                // libpng reads back a picture a worker wrote: the crop of the render.
                Image full(720, 576);
                twoLines(12, full);
                const Image crop = testsupport::decodeFile((dir / (tag + "3") / "BDN_Output" / "film0013.png").string());
                EXPECT_TRUE(testsupport::samePixels(crop, cropPicture(full, visibleBox(full))));
            }
        }
    }
}

// The program's render tells the rows it drew into, and only those are
// searched for the visible pixels: the files are byte for byte those of the
// search over the whole picture, in every border style and strips mode, with
// sets at their own Y (also where the picture's edges cut them), blank sets
// and one-line sets.
TEST_F(TrackPipelineTest, SearchingOnlyTheDrawnRowsWritesTheSameFiles) {
    static const FontSheet font = [] {
        FontSheet f;
        FakeUi ui;
        int dirty = 0;
        loadFontSheets(f, std::string(KALVERO_TEST_DATA) + "/fonts/", 16, ui.notice(), dirty);
        return f;
    }();
    ASSERT_NE(font.glyph('A', 3), nullptr);
    SubtitleList list;
    list.clearList();
    const char* ys[] = {"", "1", "570", "575", "200", "3", "540", "0"};
    for (int k = 0; k < 41; ++k) {
        const std::string id = std::to_string(10000 + 2 * k).substr(1);
        const std::string a = k % 9 == 4 ? "" : "Set " + std::to_string(k) + " \xc9gjpq at 9 o'clock?";
        const std::string b = k % 7 == 3 ? (k % 2 ? "" : "   ") : "second line " + std::string(size_t(k % 13), 'W');
        list.appendLine({"A" + id, a, "", "", ys[k % 8]});
        list.appendLine({"B" + id, b, "", "", ys[k % 8]});
    }
    const std::vector<SubtitleSet> sets = subtitleSets(list);
    ASSERT_EQ(sets.size(), 41u);

    for (int border = 0; border < 4; ++border) {
        StripsConfig style;
        style.stripsColor = Rgb{20, 20, 140};
        style.borderStyle = border;
        style.blend = border == 1 ? 0 : 200 + border;
        style.stripsMode = border % 3;
        style.drawNoStrips = border == 3;
        style.centerText = border != 2;
        style.cropStrips = 12;
        style.wordSpacing = -1;
        style.stripsSpacing = 24;
        style.stripsYPos = 500;
        for (SubtitleFormat format : {SubtitleFormat::Sup, SubtitleFormat::Bdn, SubtitleFormat::Dvb, SubtitleFormat::VobSub}) {
            const std::string tag = std::string(subtitleFormatInfo(format).cliName) + std::to_string(border);
            SubtitleExportJob whole = job(format, tag + "whole", 0);
            whole.makeStreamWriter = createSubtitleStreamWriter;
            whole.render = [&](int set, Image& out) {
                renderSet(sets, set, style, RenderTarget::AlphaExport, font, out);
                return true;
            };
            SubtitleExportJob rows = job(format, tag + "rows", 3);
            rows.makeStreamWriter = createSubtitleStreamWriter;
            rows.renderClears = true;
            rows.render = nullptr;
            int narrow = 0;
            rows.renderRows = [&](int set, Image& out, RowRange& drawn) {
                const RenderResult r = renderSet(sets, set, style, RenderTarget::AlphaExport, font, out);
                drawn = RowRange{r.drawnTop, r.drawnEnd};
                narrow += r.drawnEnd - r.drawnTop < out.height() / 2;
                return true;
            };
            const SubtitleExportResult a = exportSubtitleTrack(whole), b = exportSubtitleTrack(rows);
            ASSERT_TRUE(a.ok) << tag << ": " << a.error;
            ASSERT_TRUE(b.ok) << tag << ": " << b.error;
            EXPECT_GT(a.subtitles, 30) << tag;
            EXPECT_EQ(b.subtitles, a.subtitles) << tag;
            EXPECT_EQ(b.blank, a.blank) << tag;
            EXPECT_GT(narrow, 30) << tag;
            const auto expected = folder(a.folder), got = folder(b.folder);
            ASSERT_EQ(got.size(), expected.size()) << tag;
            for (const auto& [name, bytes] : expected) {
                ASSERT_TRUE(got.count(name)) << tag << ": " << name;
                // A Matroska file carries random identifiers of its own.
                if (name.size() > 4 && name.substr(name.size() - 4) == ".mks")
                    EXPECT_EQ(got.at(name).size(), bytes.size()) << tag;
                else
                    EXPECT_TRUE(got.at(name) == bytes) << tag << ": " << name << " differs";
            }
        }
    }
}

// A set that cannot be drawn in the middle stops the run: SUP leaves no
// track, BDN the same pictures as a one-thread run and no description.
TEST_F(TrackPipelineTest, AFailureInTheMiddleStopsTheRunAsOneThreadDoes) {
    for (SubtitleFormat format : {SubtitleFormat::Sup, SubtitleFormat::Bdn}) {
        std::map<std::string, std::string> serial;
        for (int threads : {0, 3}) {
            SubtitleExportJob j = job(format, std::string(subtitleFormatInfo(format).cliName) + std::to_string(threads),
                                      threads);
            j.render = [](int set, Image& out) { return set != 20 && twoLines(set, out); };
            int lastProgress = 0;
            j.progress = [&](int v, int) { lastProgress = v; };
            const SubtitleExportResult r = exportSubtitleTrack(j);
            EXPECT_FALSE(r.ok);
            EXPECT_FALSE(r.cancelled);
            EXPECT_EQ(r.error, "Subtitle set 21 could not be rendered.");
            // Set 40 comes first on screen, so set 20 is the 22nd.
            EXPECT_EQ(lastProgress, 21);
            const auto files = folder(r.folder);
            if (format == SubtitleFormat::Sup) {
                EXPECT_TRUE(files.empty());
                continue;
            }
            EXPECT_EQ(files.count("film.xml"), 0u);
            EXPECT_EQ(files.count("film0021.png"), 0u);
            if (threads == 0) serial = files;
            else EXPECT_TRUE(files == serial) << files.size() << " files against " << serial.size();
            for (const std::string& path : r.written) EXPECT_TRUE(fs::exists(path)) << path;
        }
    }
}

TEST_F(TrackPipelineTest, ACancelledRunLeavesNoFile) {
    for (SubtitleFormat format : {SubtitleFormat::Sup, SubtitleFormat::Bdn}) {
        for (int threads : {0, 3}) {
            SubtitleExportJob j = job(format, std::string(subtitleFormatInfo(format).cliName) + std::to_string(threads),
                                      threads);
            std::atomic<bool> cancel{false};
            j.cancel = &cancel;
            j.progress = [&](int v, int) {
                if (v == 10) cancel = true;
            };
            const SubtitleExportResult r = exportSubtitleTrack(j);
            EXPECT_FALSE(r.ok);
            EXPECT_TRUE(r.cancelled);
            EXPECT_TRUE(r.written.empty());
            EXPECT_TRUE(testsupport::filesIn(r.folder).empty()) << subtitleFormatInfo(format).cliName << threads;
        }
    }
}

// The pipeline itself: canvases come back transparent (also when only the
// rows an item says it drew are cleared), the items are finished in order,
// and the first failure wins over later ones.
TEST(OrderedPipeline, FinishesInOrderAndStopsAtTheFirstFailure) {
    for (bool byRows : {false, true})
    for (int threads : {0, 1, 3}) {
        for (int failing : {-1, 0, 7, 29}) {
            // Item i draws rows y0(i) .. y0(i) + 3, or the whole canvas.
            auto y0 = [&](int i) { return byRows ? i % 12 : 0; };
            OrderedPipelineJob p;
            p.count = 30;
            p.width = 64;
            p.height = 16;
            p.threads = threads;
            p.poolBudget = 64 * 16 * 4 * 3;  // three canvases
            std::vector<int> drawn, finished;
            std::mutex m;
            std::vector<int> worked;
            p.draw = [&](int i, Image& canvas, std::string&) {
                for (size_t b = 3; b < canvas.stride() * size_t(canvas.height()); b += 4)
                    if (canvas.data()[b] != 0) {
                        ADD_FAILURE() << "item " << i << " got a canvas that was not cleared";
                        break;
                    }
                uint8_t* from = canvas.pixel(0, y0(i));
                std::fill(from, byRows ? from + canvas.stride() * 4 : canvas.data() + canvas.stride() * 16, uint8_t(i + 1));
                drawn.push_back(i);
                return true;
            };
            if (byRows) p.drawnRows = [&](int i) { return RowRange{y0(i), y0(i) + 4}; };
            p.work = [&](int i, const Image& canvas, std::string& error) {
                {
                    std::lock_guard<std::mutex> lock(m);
                    worked.push_back(i);
                }
                if (canvas.pixel(0, y0(i))[0] != uint8_t(i + 1)) error = "wrong canvas";
                else if (failing >= 0 && (i == failing || i == failing + 1)) error = "item " + std::to_string(i) + " failed";
                return error.empty();
            };
            p.finish = [&](int i, const Image& canvas, std::string& error) {
                if (canvas.pixel(1, y0(i))[1] != uint8_t(i + 1)) error = "wrong canvas at the end";
                finished.push_back(i);
                return error.empty();
            };
            const OrderedPipelineResult r = runOrderedPipeline(p);
            const std::string what = std::to_string(threads) + " threads, failing " + std::to_string(failing) +
                                     (byRows ? ", cleared by rows" : "");
            std::vector<int> expected;
            for (int i = 0; i < (failing < 0 ? 30 : failing); ++i) expected.push_back(i);
            EXPECT_EQ(finished, expected) << what;
            EXPECT_EQ(r.finished, int(expected.size())) << what;
            EXPECT_EQ(r.ok, failing < 0) << what;
            EXPECT_FALSE(r.stopped);
            if (failing >= 0) {
                EXPECT_EQ(r.failedAt, failing) << what;
                EXPECT_EQ(r.error, "item " + std::to_string(failing) + " failed") << what;
                // At most the canvases of the pool are drawn past the failure.
                EXPECT_LE(int(drawn.size()), failing + 3) << what;
            }
            for (size_t i = 0; i < drawn.size(); ++i) EXPECT_EQ(drawn[i], int(i));
            EXPECT_EQ(worked.size(), drawn.size()) << what;
        }
    }
}

TEST(OrderedPipeline, StopEndsTheRunBeforeTheNextItem) {
    for (int threads : {0, 2}) {
        OrderedPipelineJob p;
        p.count = 50;
        p.width = 8;
        p.height = 8;
        p.threads = threads;
        int drawn = 0, finished = 0;
        p.draw = [&](int, Image&, std::string&) { return ++drawn, true; };
        p.finish = [&](int, const Image&, std::string&) { return ++finished, true; };
        p.stop = [&] { return drawn == 12; };
        const OrderedPipelineResult r = runOrderedPipeline(p);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.stopped);
        EXPECT_EQ(drawn, 12);
        EXPECT_LE(finished, 12);
        EXPECT_EQ(r.finished, finished);
    }
}

// The row scan skips transparent runs in blocks: pictures of many widths
// with a few visible pixels anywhere (block edges, first and last column)
// give the box a pixel-by-pixel search finds.
TEST(VisiblePixels, BoxMatchesAPixelByPixelSearch) {
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 8) & 0xffff; };
    for (int width : {1, 7, 8, 63, 64, 65, 127, 128, 129, 200, 1920}) {
        for (int round = 0; round < 20; ++round) {
            Image img(width, 6);
            const int dots = int(next() % 4);
            for (int d = 0; d < dots; ++d) {
                int x = int(next() % unsigned(width));
                if (d == 0 && round % 3 == 0) x = width - 1;
                if (d == 0 && round % 3 == 1) x = std::min(width - 1, 64);
                uint8_t* p = img.pixel(x, int(next() % 6));
                p[3] = uint8_t(1 + next() % 255);
            }
            // Colour without opacity counts as transparent.
            img.pixel(int(next() % unsigned(width)), 0)[1] = 77;
            int minX = width, maxX = -1, minY = -1, maxY = -1;
            for (int y = 0; y < 6; ++y)
                for (int x = 0; x < width; ++x)
                    if (img.pixel(x, y)[3] != 0) {
                        if (minY < 0) minY = y;
                        maxY = y;
                        minX = std::min(minX, x);
                        maxX = std::max(maxX, x);
                    }
            const PixelBox b = visibleBox(img);
            if (minY < 0) {
                EXPECT_TRUE(b.empty()) << width << "/" << round;
                continue;
            }
            EXPECT_EQ(b.x, minX) << width << "/" << round;
            EXPECT_EQ(b.y, minY) << width << "/" << round;
            EXPECT_EQ(b.w, maxX - minX + 1) << width << "/" << round;
            EXPECT_EQ(b.h, maxY - minY + 1) << width << "/" << round;
        }
    }
}
