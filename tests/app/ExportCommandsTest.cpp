#include <algorithm>
#include <array>
#include <regex>

#include "TestSupport.h"
#include "app/ControllerFixture.h"
#include "app/ExportCommands.h"
#include "export/ExportDriver.h"
#include "export/ScalaScript.h"
#include "io/ImageCodecs.h"
#include "base/Text.h"
#include "render/Compositor.h"

namespace fs = std::filesystem;

namespace {

struct Set {
    std::string a, b;
    int y = 0;
};

// Remembers what the list and the fields looked like at every progress step.
struct RecordingProgress : ExportProgress {
    struct Step {
        int value, total, captureActive, selectedRow;
        std::string lineA;
        bool contextVisible;
    };
    AppState& state;
    FakeUi& ui;
    std::vector<std::pair<int, int>> starts;
    std::vector<Step> steps;
    size_t messagesAtStart = 0;

    RecordingProgress(AppState& s, FakeUi& u) : state(s), ui(u) {}
    void start(int first, int total) override {
        starts.emplace_back(first, total);
        messagesAtStart = ui.messages.size();
    }
    void update(int value, int total) override {
        steps.push_back({value, total, state.captureActive, ui.selectedListRow(), ui.text(ctl::LineA),
                         ui.control(ctl::Context28).visible});
    }
};

// A minimal IFF ILBM reader: the 16-colour palette and the planar body of
// the files this program writes, back into an RGB picture.
bool readIlbm(const std::string& bytes, Image& out) {
    auto be32 = [&](size_t at) {
        return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
               uint32_t(uint8_t(bytes[at + 2])) << 8 | uint32_t(uint8_t(bytes[at + 3]));
    };
    if (bytes.size() < 186 || bytes.compare(0, 4, "FORM") != 0 || bytes.compare(8, 4, "ILBM") != 0) return false;
    if (be32(4) != bytes.size() - 8) return false;
    const int w = int(be32(20) >> 16), h = int(be32(20) & 0xffff);
    if (bytes.compare(74, 4, "CMAP") != 0 || bytes.compare(178, 4, "BODY") != 0) return false;
    const size_t rowBytes = size_t((w + 15) / 16 * 2);
    if (be32(182) != rowBytes * 4 * size_t(h) || bytes.size() != 186 + be32(182)) return false;
    out = Image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int index = 0;
            for (int p = 0; p < 4; ++p) {
                uint8_t byte = uint8_t(bytes[186 + (size_t(y) * 4 + size_t(p)) * rowBytes + size_t(x / 8)]);
                index |= ((byte >> (7 - x % 8)) & 1) << p;
            }
            uint8_t* px = out.pixel(x, y);
            for (int c = 0; c < 3; ++c) px[c] = uint8_t(bytes[82 + size_t(index) * 3 + size_t(c)]);
            px[3] = 255;
        }
    return true;
}

class ExportCommandsTest : public ControllerTest {
protected:
    // The fixture's settings plus a profile whose width is no multiple of 8.
    std::string iniText() override {
        std::string ini = kIni;
        const std::string at = "[Presets]";
        ini.insert(ini.find(at), "Profile = 724|576|Odd width|430|32|25\r\n");
        return ini;
    }
    static constexpr int kOddProfile = 6;

    void TearDown() override {
        if (!savedCwd.empty()) fs::current_path(savedCwd);
        ControllerTest::TearDown();
    }

    static std::string projectText(const std::vector<Set>& sets, int profile, int preset) {
        std::string s = "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n"
                        "##-Resolution Height: 576\r\n##-Profile: " +
                        std::to_string(profile) + "\r\n##-Preset: " + std::to_string(preset) +
                        "\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n##-Number of lines/pages: 4 / 2\r\n"
                        "##-Word count: 3\r\n##-User Timed Session: 0\r\n##-;\r\n";
        for (size_t k = 0; k < sets.size(); ++k) {
            std::string timing = "00:00:" + text::padded(long(2 * k + 1), 2) + ":00>00:00:" +
                                 text::padded(long(2 * k + 2), 2) + ":12";
            std::string id = text::padded(long(2 * k), 4);
            s += "A" + id + "|" + sets[k].a + "|" + timing + "||" + std::to_string(sets[k].y) + "\r\n";
            s += "B" + id + "|" + sets[k].b + "|" + timing + "||" + std::to_string(sets[k].y) + "\r\n";
        }
        return s;
    }

    // Writes the project into its own folder and opens it as the command line does.
    std::string open(const std::string& fileName, const std::vector<Set>& sets, int profile = 1, int preset = 0) {
        fs::path folder = dir / "film_project";
        fs::create_directories(folder);
        std::string path = (folder / fileName).string();
        EXPECT_TRUE(files::writeFileAtomic(path, projectText(sets, profile, preset)));
        c().commandLineOpen({path});
        ui.messages.clear();
        return folder.string() + "/";
    }

    void enterTempWorkingFolder() {
        savedCwd = fs::current_path();
        fs::create_directories(dir / "cwd");
        fs::current_path(dir / "cwd");
    }



    // What the compositor draws for a set with the style in force.
    Image expected(const Set& set, RenderTarget target) {
        StripsConfig style = state.style;
        style.blend = ui.value(ctl::BlendSlider);
        style.stripsYPos = resolveStripsY(set.y, ui.value(ctl::StripsYSlider));
        Image img(state.projectWidth, state.projectHeight);
        renderSubtitleSet(target, style, c().renderer().fontSheet(), img, set.a, set.b);
        return img;
    }


    ExportCommands commands() { return ExportCommands(c(), ui); }

    fs::path savedCwd;
};

}  // namespace

TEST_F(ExportCommandsTest, OneSetGivesExactlyPictureOneAndTheSuccessReport) {
    std::string folder = open("demo.KVL8", {{"Hello", "there", 0}});
    ExportCommands x = commands();
    ExportReport r = x.exportPngSequence();
    ASSERT_TRUE(r.done()) << r.text;
    EXPECT_EQ(testsupport::filesIn(folder + "PNG_Output"),
              (std::vector<std::string>{"demo.xml", "demo0001.png", "demo_timing.csv"}));
    EXPECT_EQ(state.pictureCounter, 2);
    x.show(r);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Success!");
    EXPECT_EQ(ui.messages[0].text, "1 picture written.");
}

TEST_F(ExportCommandsTest, WalkSelectsEachSetWhileClicksAreIgnoredAndEndsOnTheFirstSet) {
    open("demo.KVL8", {{"one", "1", 0}, {"two", "2", 200}, {"three", "3", 0}});
    ui.selectListRow(4);
    RecordingProgress progress(state, ui);
    ExportReport r = commands().exportPngSequence(&progress);
    ASSERT_TRUE(r.done()) << r.text;
    EXPECT_EQ(progress.starts, (std::vector<std::pair<int, int>>{{0, 3}}));
    ASSERT_EQ(progress.steps.size(), 3u);
    const char* lines[] = {"one", "two", "three"};
    // Pictures are encoded and written while the walk renders the next sets,
    // so the report of picture k sees set k or a later one selected, never
    // an earlier one.
    int lastRow = 0;
    for (int k = 0; k < 3; ++k) {
        const RecordingProgress::Step& step = progress.steps[size_t(k)];
        EXPECT_EQ(step.value, k + 1);
        EXPECT_EQ(step.total, 3);
        EXPECT_EQ(step.captureActive, 1);
        EXPECT_EQ(step.selectedRow % 2, 0);
        EXPECT_GE(step.selectedRow, std::max(2 * k, lastRow));
        ASSERT_LE(step.selectedRow, 4);
        EXPECT_EQ(step.lineA, lines[step.selectedRow / 2]);
        lastRow = step.selectedRow;
    }
    EXPECT_EQ(state.captureActive, 0);
    EXPECT_EQ(ui.selectedListRow(), 0);
    EXPECT_EQ(ui.text(ctl::LineA), "one");
    EXPECT_EQ(ui.text(ctl::LineB), "1");
}

TEST_F(ExportCommandsTest, BaseNameLosesTheExactExtensionOnly) {
    std::string folder = open("demo.KVL8", {{"Hello", "", 0}});
    const std::pair<std::string, std::string> cases[] = {
        {"demo.KVL8", "demo0001.png"}, {"a.KVL8b.KVL8", "ab0001.png"}, {"demo.kvl8", "demo.kvl80001.png"}};
    for (const auto& [name, file] : cases) {
        state.projectName = name;
        ASSERT_TRUE(commands().exportPngSequence().done());
        EXPECT_TRUE(fs::exists(folder + "PNG_Output/" + file)) << name;
    }
    EXPECT_EQ(state.projectName, "demo.kvl8");  // the shortened name stays
}

TEST_F(ExportCommandsTest, NeverSavedProjectWritesIntoTheWorkingFolder) {
    enterTempWorkingFolder();
    state.list.setLineColumn(0, Column::Text, "Typed");
    ASSERT_EQ(state.projectDir, "");
    ASSERT_TRUE(commands().exportPngSequence().done());
    EXPECT_EQ(testsupport::filesIn(dir / "cwd" / "PNG_Output"),
              (std::vector<std::string>{"Untitled.xml", "Untitled0001.png", "Untitled_timing.csv"}));

    ui.selectListRow(-1);
    ExportCommands x = commands();
    ExportReport capture = x.captureScreen();
    ASSERT_TRUE(capture.done()) << capture.text;
    EXPECT_TRUE(fs::exists(dir / "cwd" / "Capture_Output" / "Untitled_0000.png"));
}

TEST_F(ExportCommandsTest, PicturesAreTheCompositorsTransparentRenderOfEachSet) {
    const std::vector<Set> sets = {{"Hello", "there", 0}, {"", "Only B", 150}, {"   ", "", 0}};
    std::string folder = open("demo.KVL8", sets);
    // The slider's blend reaches the pictures.
    slide(ctl::BlendSlider, 100);
    ExportReport report = commands().exportPngSequence();
    ASSERT_TRUE(report.done());
    // The blank third set gets no picture, and the report says so.
    EXPECT_EQ(report.pictures, 2);
    EXPECT_EQ(report.skipped, 1);
    EXPECT_EQ(report.text, "2 pictures written, 1 set left out: 3 (no text).");
    EXPECT_FALSE(fs::exists(folder + "PNG_Output/demo0003.png"));

    const int stripHeight = c().renderer().stripHeight();
    for (size_t k = 0; k + 1 < sets.size(); ++k) {
        Image got = testsupport::decodeFile(folder + "PNG_Output/demo" + text::padded(long(k + 1), 4) + ".png");
        Image want = expected(sets[k], RenderTarget::AlphaExport);
        EXPECT_TRUE(testsupport::samePixels(got, want)) << "set " << k + 1;
        // Nothing but the strips and the glyph cells above them is touched.
        int yA = resolveStripsY(sets[k].y, ui.value(ctl::StripsYSlider));
        int yB = yA + state.style.stripsSpacing;
        for (int y = 0; y < got.height(); ++y) {
            bool band = (!text::trimSpaces(sets[k].a).empty() && y >= yA - 2 && y < yA + stripHeight) ||
                        (!text::trimSpaces(sets[k].b).empty() && y >= yB - 2 && y < yB + stripHeight);
            if (band) continue;
            for (int x = 0; x < got.width(); ++x) ASSERT_EQ(got.pixel(x, y)[3], 0) << x << "," << y;
        }
    }
    // The strip of line A of set 1 carries the slider's blend.
    Image first = testsupport::decodeFile(folder + "PNG_Output/demo0001.png");
    RenderResult layout = layoutSubtitleSet(state.style, c().renderer().fontSheet(), 720, "Hello", "there");
    const draw::Rect strip = layout.lines[0].strip;
    EXPECT_EQ(first.pixel(strip.x, ui.value(ctl::StripsYSlider) + stripHeight - 1)[3], 100);
}

TEST_F(ExportCommandsTest, UnwritableFolderOrFileIsAnErrorNeverSuccess) {
    open("demo.KVL8", {{"one", "", 0}, {"two", "", 0}, {"three", "", 0}});
    // A file where the project folder should be: no output folder can be made.
    ASSERT_TRUE(files::writeFileAtomic((dir / "blocker").string(), "x"));
    state.projectDir = (dir / "blocker").string() + "/";
    ExportCommands x = commands();
    ExportReport r = x.exportPngSequence();
    EXPECT_EQ(r.outcome, ExportReport::Outcome::Failed);
    x.show(r);
    EXPECT_EQ(ui.countMessages("Success!"), 0);
    ASSERT_EQ(ui.countMessages("Error!"), 1);
    EXPECT_NE(ui.messages.back().text.find("blocker"), std::string::npos) << ui.messages.back().text;
    EXPECT_EQ(state.captureActive, 0);

    // A folder in the place of picture 2: the run stops there, takes away
    // the pictures it wrote (as a cancel does) and says so.
    state.projectDir = (dir / "film_project").string() + "/";
    fs::create_directories(dir / "film_project" / "PNG_Output" / "demo0002.png");
    r = x.exportPngSequence();
    EXPECT_EQ(r.outcome, ExportReport::Outcome::Failed);
    EXPECT_EQ(r.pictures, 0);
    EXPECT_EQ(r.title, "Error!");
    EXPECT_NE(r.text.find("demo0002.png"), std::string::npos) << r.text;
    // Picture 1 is always written before the run stops; picture 3 only when
    // its worker was quicker than the failure (a loaded machine): the
    // report counts what it took away, and nothing of the run is left.
    std::smatch removed;
    ASSERT_TRUE(std::regex_search(r.text, removed, std::regex("the ([0-9]+) files? it had written (was|were) removed")))
        << r.text;
    const int count = std::stoi(removed[1].str());
    EXPECT_TRUE(count == 1 || count == 2) << r.text;
    EXPECT_EQ(removed[2].str(), count == 1 ? "was" : "were") << r.text;
    EXPECT_FALSE(fs::exists(dir / "film_project" / "PNG_Output" / "demo0001.png"));
    EXPECT_FALSE(fs::exists(dir / "film_project" / "PNG_Output" / "demo0003.png"));
    EXPECT_EQ(state.pictureCounter, 1);

    state.projectDir = (dir / "blocker").string() + "/";
    ExportReport capture = x.captureScreen();
    EXPECT_EQ(capture.title, "Error!");
    EXPECT_NE(capture.text.find("blocker"), std::string::npos);
}

TEST_F(ExportCommandsTest, CaptureNamesFollowTheSetOfTheSelectedRow) {
    std::string folder = open("demo.KVL8", {{"one", "1", 0}, {"two", "2", 0}});
    ExportCommands x = commands();
    selectRow(0);
    ExportReport r = x.captureScreen();
    ASSERT_TRUE(r.done()) << r.text;
    const std::string first = folder + "Capture_Output/demo_0000.png";
    EXPECT_EQ(r.written, std::vector<std::string>{first});
    x.show(r);
    EXPECT_EQ(ui.messages.back().title, "Capture Screen");
    EXPECT_EQ(ui.messages.back().text, "Capture screenshot saved As:\n" + first);
    EXPECT_TRUE(testsupport::samePixels(testsupport::decodeFile(first), expected({"one", "1", 0}, RenderTarget::AlphaExport)));

    // Line B of the second set: the second set, named by its first row.
    selectRow(3);
    r = x.captureScreen();
    ASSERT_TRUE(r.done());
    EXPECT_EQ(files::filePart(r.written[0]), "demo_0002.png");
    EXPECT_TRUE(testsupport::samePixels(testsupport::decodeFile(r.written[0]), expected({"two", "2", 0}, RenderTarget::AlphaExport)));
    EXPECT_EQ(ui.selectedListRow(), 3);  // the selection stays
    EXPECT_EQ(state.captureActive, 0);

    // Any letter case of the extension goes; the project name itself stays.
    state.projectName = "Demo.Kvl8";
    selectRow(0);
    r = x.captureScreen();
    EXPECT_EQ(files::filePart(r.written[0]), "Demo_0000.png");
    EXPECT_EQ(state.projectName, "Demo.Kvl8");
}

TEST_F(ExportCommandsTest, IffRefusesAWidthThatIsNoMultipleOfEightWhilePngWorks) {
    std::string folder = open("odd.KVL8", {{"Hello", "", 0}}, kOddProfile);
    ASSERT_EQ(state.projectWidth, 724);
    state.projectName = "odd.KVL8";
    ExportReport r = commands().exportIffScala(0);
    EXPECT_TRUE(r.refused());
    EXPECT_EQ(r.title, "Error!");
    EXPECT_EQ(r.text, "Sorry, width or height is not dividable by 8, please choose a proper resolution!");
    EXPECT_FALSE(fs::exists(folder + "IFF-SCALA_Output"));
    EXPECT_EQ(state.projectName, "odd.KVL8");  // nothing started

    ExportReport png = commands().exportPngSequence();
    ASSERT_TRUE(png.done()) << png.text;
    EXPECT_EQ(testsupport::decodeFile(folder + "PNG_Output/odd0001.png").width(), 724);
}

TEST_F(ExportCommandsTest, IffRunWritesPicturesPosterAndScriptAndRestoresThePreview) {
    std::string folder = open("demo.KVL8", {{"Hello", "there", 0}, {"Second", "", 0}});
    // A background colour of the user's own: the IFF run ends on the preset's.
    state.style.bgColor = Rgb{10, 200, 30};
    state.style.stripsColor = Rgb{200, 40, 40};
    ASSERT_EQ(state.style.presetBgColor, (Rgb{0, 0, 160}));
    RecordingProgress progress(state, ui);
    ExportCommands x = commands();
    ExportReport r = x.exportIffScala(ScalaIc500, &progress);
    ASSERT_TRUE(r.done()) << r.text;
    EXPECT_EQ(r.pictures, 2);
    EXPECT_EQ(r.text, "2 pictures written.");
    EXPECT_EQ(testsupport::filesIn(folder + "IFF-SCALA_Output"),
              (std::vector<std::string>{".kalvero-names", "demo.script", "demo0001.iff", "demo0002.iff",
                                        "demo_poster.iff"}));
    EXPECT_EQ(progress.starts, (std::vector<std::pair<int, int>>{{1, 2}}));
    ASSERT_EQ(progress.steps.size(), 3u);  // the poster, then each set
    EXPECT_EQ(progress.steps[0].value, 1);
    EXPECT_EQ(progress.steps[2].value, 2);
    EXPECT_FALSE(progress.steps[1].contextVisible);
    EXPECT_EQ(progress.steps[1].captureActive, 1);
    EXPECT_TRUE(ui.control(ctl::Context28).visible);
    EXPECT_EQ(state.captureActive, 0);
    EXPECT_EQ(state.pictureCounter, 3);
    EXPECT_EQ(state.style.bgColor, state.style.presetBgColor);
    EXPECT_TRUE(ui.messages.empty());  // no notice for IC500

    std::string script;
    ASSERT_TRUE(files::readFile(folder + "IFF-SCALA_Output/demo.script", script));
    EXPECT_EQ(script.substr(0, 5), "V3.0\n");
    EXPECT_NE(script.find("PICTURE \"demo0002.iff\"\n"), std::string::npos);

    // The pictures are the opaque render: black behind, the strips unmixed.
    std::string bytes;
    ASSERT_TRUE(files::readFile(folder + "IFF-SCALA_Output/demo0001.iff", bytes));
    Image iff;
    ASSERT_TRUE(readIlbm(bytes, iff));
    ASSERT_EQ(iff.width(), 720);
    auto rgbAt = [&](int x, int y) { return Rgb{iff.pixel(x, y)[0], iff.pixel(x, y)[1], iff.pixel(x, y)[2]}; };
    EXPECT_EQ(rgbAt(0, 0), (Rgb{0, 0, 0}));
    RenderResult layout = layoutSubtitleSet(state.style, c().renderer().fontSheet(), 720, "Hello", "there");
    const Rgb strip = rgbAt(layout.lines[0].strip.x, ui.value(ctl::StripsYSlider) + 3);
    EXPECT_NEAR(strip.r, 200, 6);
    EXPECT_NEAR(strip.g, 40, 6);
    EXPECT_NEAR(strip.b, 40, 6);
}

TEST_F(ExportCommandsTest, ScalaVersionsDecideHeaderNoticeAndRefusal) {
    std::string folder = open("demo.KVL8", {{"Hello", "", 0}});
    RecordingProgress progress(state, ui);
    ExportReport r = commands().exportIffScala(ScalaMm200, &progress);
    ASSERT_TRUE(r.done()) << r.text;
    // The whole-second note comes before the run shows its progress.
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Info");
    EXPECT_EQ(ui.messages[0].text, kScalaInfoText);
    EXPECT_EQ(progress.messagesAtStart, 1u);
    std::string script;
    ASSERT_TRUE(files::readFile(folder + "IFF-SCALA_Output/demo.script", script));
    EXPECT_EQ(script.substr(0, 5), "V2.0\n");

    for (int target : {4, 5}) EXPECT_TRUE(commands().exportIffScala(target).refused()) << target;
}
