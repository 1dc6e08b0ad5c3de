// The timed movie of the export dialog, from the subtitle list to the
// frames of the written file, read back with libavformat / libavcodec.
#include <algorithm>
#include <optional>

#include "TestSupport.h"
#include "app/ControllerFixture.h"
#include "app/ExportCommands.h"
#include "export/AviWriter.h"
#include "movie_reader.h"
#include "base/Text.h"
#include "render/Compositor.h"

namespace fs = std::filesystem;

namespace {

struct TimedSet {
    std::string a, b, on, off;  // on / off as HH:MM:SS:FF
    int y = 0;
};

struct RecordingProgress : ExportProgress {
    const AppState* state = nullptr;
    std::vector<std::pair<int, int>> starts, updates;
    bool clicksIgnoredThroughout = true;
    void start(int first, int total) override { starts.emplace_back(first, total); }
    void update(int value, int total) override {
        updates.emplace_back(value, total);
        if (state && state->captureActive != 1) clicksIgnoredThroughout = false;
    }
};

class AviExportCommandTest : public ControllerTest {
protected:
    // The fixture's profiles plus two small ones that keep the movies short.
    std::string iniText() override {
        std::string ini = kIni;
        ini.insert(ini.find("[Presets]"),
                   "Profile = 200|150|Small PAL|60|32|25\r\nProfile = 200|150|Small NTSC|60|32|29.97\r\n");
        return ini;
    }
    static constexpr int kPal = 1, kSmallPal = 6, kSmallNtsc = 7;

    void TearDown() override {
        setAviWriteFailureHookForTests({});
        ControllerTest::TearDown();
    }

    // Writes the project into its own folder and opens it as the command line does.
    std::string open(const std::vector<TimedSet>& sets, int profile) {
        const Profile& p = state.profiles[size_t(profile)];
        std::string s = "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: " + std::to_string(p.width) +
                        "\r\n##-Resolution Height: " + std::to_string(p.height) +
                        "\r\n##-Profile: " + std::to_string(profile) +
                        "\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
                        "##-Number of lines/pages: 2 / 1\r\n##-Word count: 2\r\n##-User Timed Session: 0\r\n##-;\r\n";
        for (size_t k = 0; k < sets.size(); ++k) {
            const std::string id = text::padded(long(2 * k), 4), timing = sets[k].on + ">" + sets[k].off;
            s += "A" + id + "|" + sets[k].a + "|" + timing + "||" + std::to_string(sets[k].y) + "\r\n";
            s += "B" + id + "|" + sets[k].b + "|" + timing + "||" + std::to_string(sets[k].y) + "\r\n";
        }
        folder = dir / "film_project";
        fs::create_directories(folder);
        const std::string path = (folder / "demo.KVL8").string();
        EXPECT_TRUE(files::writeFileAtomic(path, s));
        c().commandLineOpen({path});
        EXPECT_EQ(state.projectWidth, p.width);
        ui.messages.clear();
        return path;
    }

    std::string moviePath() const { return (folder / "AVI_Output" / "demo_subtitles.avi").string(); }

    // Exports with the given answer of the compression chooser.
    ExportReport exportMovie(std::optional<CodecChoice> answer = CodecChoice{}, ExportProgress* progress = nullptr) {
        ExportCommands x(c(), ui);
        x.chooseCodec = [this, answer](const std::vector<AviCodecInfo>& codecs, const CodecChoice& last) {
            offered = codecs;
            preselected = last;
            ++asked;
            return answer;
        };
        ExportReport r = x.exportTimedAvi(progress);
        x.show(r);
        return r;
    }

    // What every set frame must show: the compositor's render over the
    // background colour, with the slider's blend.
    Image expected(const TimedSet& set) {
        StripsConfig style = state.style;
        style.blend = ui.value(ctl::BlendSlider);
        style.stripsYPos = resolveStripsY(set.y, ui.value(ctl::StripsYSlider));
        Image img(state.projectWidth, state.projectHeight);
        renderSubtitleSet(RenderTarget::ColorExport, style, c().renderer().fontSheet(), img, set.a, set.b);
        return img;
    }
    Image blank() {
        Image img(state.projectWidth, state.projectHeight);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                uint8_t* p = img.pixel(x, y);
                p[0] = state.style.bgColor.r, p[1] = state.style.bgColor.g, p[2] = state.style.bgColor.b, p[3] = 255;
            }
        return img;
    }

    static std::vector<uint8_t> rgbOf(const Image& img) {
        std::vector<uint8_t> rgb;
        rgb.reserve(size_t(img.width()) * size_t(img.height()) * 3);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) rgb.insert(rgb.end(), img.pixel(x, y), img.pixel(x, y) + 3);
        return rgb;
    }

    // Frames [from, to) of the movie all equal `want`.
    static void expectFrames(const DecodedMovie& m, int from, int to, const Image& want, const char* what) {
        const std::vector<uint8_t> rgb = rgbOf(want);
        ASSERT_LE(size_t(to), m.frames.size());
        for (int i = from; i < to; ++i) ASSERT_TRUE(m.frames[size_t(i)] == rgb) << what << ": frame " << i;
    }


    fs::path folder;
    std::vector<AviCodecInfo> offered;
    CodecChoice preselected;
    int asked = 0;
};

}  // namespace

TEST_F(AviExportCommandTest, OneSetFromTwoToFiveSecondsGives125FramesBlankThenTheSet) {
    const TimedSet set{"Hello", "there", "00:00:02:00", "00:00:05:00", 0};
    open({set}, kPal);
    ASSERT_EQ(row(0, Column::OffOn), "50+75");
    state.style.bgColor = Rgb{20, 90, 160};
    state.style.stripsColor = Rgb{250, 200, 40};
    slide(ctl::BlendSlider, 180);  // the slider's blend reaches the frames
    ui.selectListRow(1);

    RecordingProgress progress;
    progress.state = &state;
    ExportReport r = exportMovie(CodecChoice{}, &progress);
    ASSERT_TRUE(r.done()) << r.text;
    EXPECT_EQ(r.pictures, 125);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Success!");
    EXPECT_EQ(ui.messages[0].text, "125 frames written.");
    EXPECT_EQ(r.written, std::vector<std::string>{moviePath()});

    DecodedMovie m = decodeMovie(moviePath());
    ASSERT_EQ(m.error, "");
    EXPECT_EQ(m.codec, AV_CODEC_ID_RAWVIDEO);
    EXPECT_EQ(m.width, 720);
    EXPECT_EQ(m.height, 576);
    EXPECT_EQ(m.rFrameRate.num, 25);
    EXPECT_EQ(m.rFrameRate.den, 1);
    ASSERT_EQ(m.frames.size(), 125u);
    expectFrames(m, 0, 50, blank(), "blank");
    const Image want = expected(set);
    expectFrames(m, 50, 125, want, "set");
    // The strip is the strips colour mixed over the background colour.
    const RenderResult layout = layoutSubtitleSet(state.style, c().renderer().fontSheet(), 720, "Hello", "there");
    const draw::Rect rect = layout.lines[0].strip;
    const uint8_t* strip = &m.frames[60][(size_t(ui.value(ctl::StripsYSlider) + 1) * 720 + size_t(rect.x)) * 3];
    const Rgb mixed = mixStripColor(Rgb{250, 200, 40}, Rgb{20, 90, 160}, 180);
    EXPECT_EQ((Rgb{strip[0], strip[1], strip[2]}), mixed);

    // Progress from 0 to the end; the walk ends on the first set.
    EXPECT_EQ(progress.starts, (std::vector<std::pair<int, int>>{{0, 125}}));
    ASSERT_FALSE(progress.updates.empty());
    EXPECT_EQ(progress.updates.back(), (std::pair<int, int>{125, 125}));
    EXPECT_TRUE(progress.clicksIgnoredThroughout);
    EXPECT_EQ(state.captureActive, 0);
    EXPECT_EQ(ui.selectedListRow(), 0);
    EXPECT_EQ(ui.text(ctl::LineA), "Hello");
    EXPECT_EQ(ui.text(ctl::LineB), "there");
    EXPECT_EQ(state.projectName, "demo");

    // Only the movie: no work folder, no temporary file.
    EXPECT_EQ(testsupport::filesIn(folder / "AVI_Output"), std::vector<std::string>{"demo_subtitles.avi"});
    EXPECT_FALSE(fs::exists(folder / "Temp_Output"));
}

TEST_F(AviExportCommandTest, SetsFollowTheirTimingsWithAndWithoutGaps) {
    // Set 2 follows set 1 directly; set 3 is never on; set 4 comes after a gap.
    const std::vector<TimedSet> sets = {{"First", "", "00:00:01:00", "00:00:02:00", 0},
                                        {"Second", "b", "00:00:02:00", "00:00:03:00", 70},
                                        {"Never", "", "00:00:03:10", "00:00:03:10", 0},
                                        {"", "Fourth", "00:00:04:00", "00:00:04:05", 0}};
    open(sets, kSmallPal);
    ASSERT_EQ(row(2, Column::OffOn), "0+25");
    ASSERT_EQ(row(4, Column::OffOn), "10+0");
    ExportReport r = exportMovie();
    ASSERT_TRUE(r.done()) << r.text;
    EXPECT_EQ(ui.messages.back().text, "105 frames written.");

    DecodedMovie m = decodeMovie(moviePath());
    ASSERT_EQ(m.error, "");
    ASSERT_EQ(m.frames.size(), 105u);
    expectFrames(m, 0, 25, blank(), "before set 1");
    expectFrames(m, 25, 50, expected(sets[0]), "set 1");
    expectFrames(m, 50, 75, expected(sets[1]), "set 2");
    expectFrames(m, 75, 100, blank(), "set 3 and the gap");
    expectFrames(m, 100, 105, expected(sets[3]), "set 4");
    EXPECT_NE(rgbOf(expected(sets[0])), rgbOf(expected(sets[1])));
}

TEST_F(AviExportCommandTest, OverlappingAndReversedSetsDoNotShiftTheLaterOnes) {
    // Set 2 begins 2 frames before set 1 ends; set 3 ends before it begins;
    // set 4 must still start at its own 4 s.
    const std::vector<TimedSet> sets = {{"First", "", "00:00:01:00", "00:00:02:02", 0},
                                        {"Second", "b", "00:00:02:00", "00:00:03:00", 0},
                                        {"Back", "", "00:00:03:20", "00:00:03:10", 0},
                                        {"", "Fourth", "00:00:04:00", "00:00:04:05", 0}};
    open(sets, kSmallPal);
    ExportReport r = exportMovie();
    ASSERT_TRUE(r.done()) << r.text;
    ASSERT_GE(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].title, "Warning!");
    EXPECT_EQ(ui.messages[0].text,
              "1 set left out: 3 (OFF before ON).\n"
              "Please check their time codes.");

    DecodedMovie m = decodeMovie(moviePath());
    ASSERT_EQ(m.error, "");
    ASSERT_EQ(m.frames.size(), 105u);
    expectFrames(m, 0, 25, blank(), "before set 1");
    expectFrames(m, 25, 50, expected(sets[0]), "set 1, cut short by set 2");
    expectFrames(m, 50, 75, expected(sets[1]), "set 2 at its own ON");
    expectFrames(m, 75, 100, blank(), "the left-out set 3 and the gap");
    expectFrames(m, 100, 105, expected(sets[3]), "set 4 at its own ON");
}

TEST_F(AviExportCommandTest, FractionalRateIsRoundedUpWithTheFrameCountsOfTheProject) {
    open({{"Hi", "", "00:00:01:00", "00:00:02:00", 0}}, kSmallNtsc);
    ASSERT_FLOAT_EQ(state.fps, 29.97f);
    const SubtitleEntry e = state.list.entry(0);
    ExportReport r = exportMovie();
    ASSERT_TRUE(r.done()) << r.text;
    DecodedMovie m = decodeMovie(moviePath());
    ASSERT_EQ(m.error, "");
    EXPECT_EQ(m.rFrameRate.num, 30);
    EXPECT_EQ(m.rFrameRate.den, 1);
    EXPECT_EQ(int64_t(m.frames.size()), e.offFrames + e.onFrames);
    EXPECT_EQ(r.pictures, e.offFrames + e.onFrames);
}

TEST_F(AviExportCommandTest, BackgroundPictureOfThePreviewNeverReachesTheMovie) {
    const TimedSet set{"Over", "picture", "00:00:00:05", "00:00:00:10", 0};
    open({set}, kSmallPal);
    Image red(state.projectWidth, state.projectHeight);
    for (int y = 0; y < red.height(); ++y)
        for (int x = 0; x < red.width(); ++x) {
            uint8_t* p = red.pixel(x, y);
            p[0] = 255, p[1] = 0, p[2] = 0, p[3] = 255;
        }
    c().backgroundSource = red;
    c().background = red;
    c().refreshPreview();
    ASSERT_EQ(c().canvas.pixel(0, 0)[0], 255);  // the preview shows it

    ExportReport r = exportMovie();
    ASSERT_TRUE(r.done()) << r.text;
    DecodedMovie m = decodeMovie(moviePath());
    ASSERT_EQ(m.frames.size(), 10u);
    expectFrames(m, 0, 5, blank(), "blank");
    expectFrames(m, 5, 10, expected(set), "set");
    EXPECT_FALSE(c().background.empty());  // still loaded for the preview
}

TEST_F(AviExportCommandTest, CompressionIsAskedFirstAndRememberedForTheNextMovie) {
    open({{"Hello", "", "00:00:00:02", "00:00:00:06", 0}}, kSmallPal);
    state.projectName = "demo.KVL8";
    // Cancelled: nothing starts, nothing is said, nothing is written.
    ExportReport r = exportMovie(std::nullopt);
    EXPECT_TRUE(r.refused());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(fs::exists(folder / "AVI_Output"));
    EXPECT_EQ(state.projectName, "demo.KVL8");
    EXPECT_EQ(state.captureActive, 0);
    ASSERT_EQ(asked, 1);
    ASSERT_FALSE(offered.empty());
    EXPECT_EQ(offered[0].codec, "rawvideo");  // uncompressed first
    EXPECT_EQ(preselected.codec, "rawvideo");

    // A lossy choice is used and offered again next time.
    const bool hasMjpeg =
        std::any_of(offered.begin(), offered.end(), [](const AviCodecInfo& i) { return i.codec == "mjpeg"; });
    CodecChoice pick;
    pick.codec = hasMjpeg ? "mjpeg" : "ffv1";
    pick.quality = 40;
    r = exportMovie(pick);
    ASSERT_TRUE(r.done()) << r.text;
    DecodedMovie m = decodeMovie(moviePath());
    EXPECT_EQ(m.codec, hasMjpeg ? AV_CODEC_ID_MJPEG : AV_CODEC_ID_FFV1);
    EXPECT_EQ(m.frames.size(), 6u);

    r = exportMovie(std::nullopt);
    EXPECT_EQ(preselected.codec, pick.codec);
    EXPECT_EQ(preselected.quality, 40);
    EXPECT_TRUE(fs::exists(moviePath()));  // a cancel leaves the earlier movie alone

    // Without a chooser (the command line) the remembered choice is taken.
    ExportCommands x(c(), ui);
    ASSERT_TRUE(x.exportTimedAvi().done());
    EXPECT_EQ(decodeMovie(moviePath()).codec, m.codec);
}

TEST_F(AviExportCommandTest, WriteFailureIsAnErrorAndLeavesNoPartialMovie) {
    open({{"Hello", "", "00:00:01:00", "00:00:03:00", 0}}, kSmallPal);
    setAviWriteFailureHookForTests([](uint64_t written) { return written < 200000; });
    ExportReport r = exportMovie();
    EXPECT_EQ(r.outcome, ExportReport::Outcome::Failed);
    EXPECT_EQ(ui.countMessages("Success!"), 0);
    ASSERT_EQ(ui.countMessages("Error!"), 1);
    EXPECT_NE(ui.messages.back().text.find(moviePath()), std::string::npos) << ui.messages.back().text;
    EXPECT_EQ(testsupport::filesIn(folder / "AVI_Output"), std::vector<std::string>{});
    EXPECT_EQ(state.captureActive, 0);
    EXPECT_EQ(ui.selectedListRow(), 0);

    // An earlier movie of the same name survives a failed run.
    setAviWriteFailureHookForTests({});
    ASSERT_TRUE(exportMovie().done());
    const auto size = fs::file_size(moviePath());
    setAviWriteFailureHookForTests([](uint64_t written) { return written < 1000; });
    EXPECT_FALSE(exportMovie().done());
    EXPECT_EQ(testsupport::filesIn(folder / "AVI_Output"), std::vector<std::string>{"demo_subtitles.avi"});
    EXPECT_EQ(fs::file_size(moviePath()), size);
}

TEST_F(AviExportCommandTest, UnwritableFolderAndMissingTimingsAreErrorsBeforeAnyFile) {
    open({{"Hello", "", "00:00:01:00", "00:00:02:00", 0}}, kSmallPal);
    // A file where the movie folder should be.
    ASSERT_TRUE(files::writeFileAtomic((folder / "AVI_Output").string(), "x"));
    ExportReport r = exportMovie();
    EXPECT_EQ(r.outcome, ExportReport::Outcome::Failed);
    EXPECT_EQ(r.title, "Error!");
    EXPECT_NE(r.text.find("demo_subtitles.avi"), std::string::npos) << r.text;
    fs::remove(folder / "AVI_Output");

    // A list without timings has no frames: refused before the chooser.
    for (int i = 0; i < 2; ++i) state.list.setLineColumn(i, Column::OffOn, "");
    asked = 0;
    r = exportMovie();
    EXPECT_TRUE(r.refused());
    EXPECT_EQ(r.title, "Error!");
    EXPECT_EQ(r.text, kAviNoTimingsText);
    EXPECT_EQ(asked, 0);
    EXPECT_FALSE(fs::exists(folder / "AVI_Output"));
}
