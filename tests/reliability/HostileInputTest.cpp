// Inputs and faults a hostile test found: FIFOs and devices given as input
// files, projects built to exhaust memory, and what the program does about
// them in the window and on the command line.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "reliability/CliRunFixture.h"
#include "reliability/ToolRun.h"
#include "app/ExportCommands.h"
#include "app/ProjectOpen.h"
#include "TestSupport.h"
#include "FakeUi.h"
#include "cli/Cli.h"
#include "render/FontSheet.h"
#include "io/ImageCodecs.h"
#include "io/SettingsFile.h"
#include "settings/Settings.h"
#include "project/SrtImport.h"
#include "timing/ShotSnap.h"
#include "base/Text.h"

namespace fs = std::filesystem;

namespace {
std::string projectHeader() {
    return "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
           "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
           "##-Number of lines/pages: 2 / 1\r\n##-Word count: 1\r\n##-User Timed Session: 0\r\n##-;\r\n";
}

void writeText(const fs::path& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }
}  // namespace

class HostileInput : public CliRunTest {};

TEST_F(HostileInput, FifosAndDevicesAreRefusedWithoutWaiting) {
    ASSERT_TRUE(started);
    const fs::path fifo = dir / "pipe.KVL8";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path zero = dir / "zero.KVL8";
    fs::create_symlink("/dev/zero", zero);

    std::string bytes;
    for (const fs::path& p : {fifo, zero, fs::path("/dev/null")}) {
        SCOPED_TRACE(p.string());
        files::Result r = files::readFile(p.string(), bytes);
        EXPECT_FALSE(r);
        EXPECT_EQ(r.error, "is not a regular file");
    }
    // Every kind of input file goes through the same reader.
    Image image;
    std::string error;
    EXPECT_FALSE(imageio::decodeImageFile(fifo.string(), image, error));
    EXPECT_EQ(error, "is not a regular file");
    Settings settings;
    EXPECT_FALSE(loadSettingsFile(fifo.string(), settings).ok);

    EXPECT_EQ(cli({"info", fifo.string()}).err, "kalvero-cli: cannot read " + fifo.string() + ": is not a regular file\n");
    EXPECT_EQ(cli({"info", zero.string()}).err, "kalvero-cli: cannot read " + zero.string() + ": is not a regular file\n");
    Run r = cli({"import-srt", fifo.string(), "-o", (dir / "x.KVL8").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(fs::exists(dir / "x.KVL8"));

    ui.fileAnswers = {fifo.string()};
    click(ctl::Open);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Could not read/access:\n" + fifo.string());
    ui.yesNoAnswers = {true};
    ui.fileAnswers = {zero.string()};
    click(ctl::ImportSrt);
    EXPECT_EQ(ui.messages.back().text, "Could not read/access:\n" + zero.string());
}

TEST_F(HostileInput, ProjectsAreCheckedTheSameWayInTheWindowAndOnTheCommandLine) {
    ASSERT_TRUE(started);
    // Above the open limit but far below what the command line used to accept.
    const fs::path big = dir / "big.KVL8";
    { std::ofstream(big, std::ios::binary) << projectHeader(); }
    fs::resize_file(big, kMaxOpenBytes + 1);
    EXPECT_EQ(cli({"info", big.string()}).err, "kalvero-cli: cannot read " + big.string() + ": the file is too large\n");

    // Nothing but line breaks after the header: refused before any row is stored.
    const fs::path feeds = dir / "feeds.KVL8";
    writeText(feeds, projectHeader() + std::string(kMaxProjectRows + 100, '\n'));
    Run r = cli({"info", feeds.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "kalvero-cli: " + feeds.string() + " has more than 2000000 rows\n");
    ui.fileAnswers = {feeds.string()};
    click(ctl::Open);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "This project has more than 2000000 rows and cannot be opened:\n" + feeds.string());
    EXPECT_EQ(state.list.lineCount(), 2);  // the open list is kept

    // One row more than the limit is refused by the shared reader too.
    ProjectHeader header;
    SubtitleList rows;
    writeText(feeds, projectHeader() + std::string(kMaxProjectRows + 1, '\n'));
    EXPECT_EQ(readProjectFile(feeds.string(), 430, header, rows).status, ProjectOpenStatus::TooManyRows);
    EXPECT_EQ(rows.lineCount(), 0);
}

namespace {
std::string le16(unsigned v) { return {char(v & 255), char(v >> 8 & 255)}; }
std::string le32(unsigned v) { return le16(v & 0xFFFF) + le16(v >> 16); }

std::string readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The JPEG file with the size in its frame header replaced.
std::string jpegClaiming(std::string jpeg, unsigned w, unsigned h) {
    for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
        unsigned char m = static_cast<unsigned char>(jpeg[i + 1]);
        if (jpeg[i] == char(0xFF) && (m == 0xC0 || m == 0xC1 || m == 0xC2)) {
            jpeg[i + 5] = char(h >> 8), jpeg[i + 6] = char(h & 255);
            jpeg[i + 7] = char(w >> 8), jpeg[i + 8] = char(w & 255);
            return jpeg;
        }
    }
    ADD_FAILURE() << "no frame header";
    return jpeg;
}

// A little-endian TIFF of one deflate strip claiming w x h grey pixels.
std::string tiffClaiming(unsigned w, unsigned h) {
    struct Tag { unsigned id, type, value; };
    const std::vector<Tag> tags = {{256, 4, w}, {257, 4, h}, {258, 3, 8}, {259, 3, 8}, {262, 3, 1},
                                   {273, 4, 8 + 2 + 9 * 12 + 4}, {277, 3, 1}, {278, 4, h}, {279, 4, 11}};
    std::string t = "II" + le16(42) + le32(8) + le16(unsigned(tags.size()));
    for (const Tag& g : tags) t += le16(g.id) + le16(g.type) + le32(1) + (g.type == 3 ? le16(g.value) + le16(0) : le32(g.value));
    // Sixteen zero bytes, deflated.
    return t + le32(0) + std::string("\x78\xda\x63\x60\x40\x05\x00\x00\x10\x00\x01", 11);
}

// An RLE grey TGA of w x h pixels: runs of 128 black pixels.
std::string tgaRleClaiming(unsigned w, unsigned h) {
    std::string t = std::string(2, '\0') + '\x0b' + std::string(9, '\0') + le16(w) + le16(h) + '\x08' + '\x20';
    size_t packets = (size_t(w) * h + 127) / 128;
    t.reserve(t.size() + packets * 2);
    for (size_t i = 0; i < packets; ++i) t += "\xff", t += '\0';
    return t;
}
}  // namespace

TEST(HostilePictures, SmallFilesClaimingHugePicturesAreRefusedBeforeDecoding) {
    const std::string jpeg = readBytes(fs::path(KALVERO_TEST_DATA) / "bad" / "picture" / "jpg_many_scans.jpg");
    ASSERT_FALSE(jpeg.empty());
    const std::vector<std::pair<std::string, std::string>> cases = {
        {jpegClaiming(jpeg, 16384, 16384),
         "the JPEG picture is 16384 x 16384 pixels, more than the 67108864 pixels this program reads"},
        {tiffClaiming(9000, 9000),
         "the TIFF picture is 9000 x 9000 pixels, more than the 67108864 pixels this program reads"},
        {tgaRleClaiming(8200, 8200),
         "the TGA picture is 8200 x 8200 pixels, more than the 67108864 pixels this program reads"},
    };
    for (const auto& [bytes, message] : cases) {
        Image image;
        std::string error;
        EXPECT_FALSE(imageio::decodeImage(bytes, image, error, "x.tga"));
        EXPECT_EQ(error, message);
    }
    // Within the budget the same kinds of file still decode.
    Image image;
    std::string error;
    EXPECT_TRUE(imageio::decodeImage(tgaRleClaiming(300, 200), image, error, "x.tga")) << error;
    EXPECT_EQ(image.width(), 300);
    EXPECT_TRUE(imageio::decodeImage(tiffClaiming(4, 4), image, error)) << error;
}

namespace {
void putValue(Image& img, int x, int y, int v) {
    uint8_t* p = img.pixel(x, y);
    p[0] = uint8_t(v & 255), p[1] = uint8_t(v >> 8 & 255), p[2] = uint8_t(v >> 16 & 255), p[3] = 255;
}

// A sheet whose table gives every character the rectangle (left, 0, width)
// in a cell of `cell` rows.
Image sheetWithTable(int w, int h, int cell, int glyphs, int width) {
    Image img(w, h);
    putValue(img, 0, h - 2, cell - 1);
    for (int n = 0; n < glyphs && 3 * n + 2 < w; ++n) {
        putValue(img, 3 * n, h - 1, 0);
        putValue(img, 3 * n + 1, h - 1, 0);
        putValue(img, 3 * n + 2, h - 1, width);
    }
    return img;
}
}  // namespace

TEST(HostileFontSheets, TablesThatWouldMultiplyTheSheetAreRefused) {
    FontSheet font;
    // A usable sheet first: its glyphs must survive the refused ones.
    ASSERT_TRUE(font.loadStyle(0, sheetWithTable(400, 40, 20, 10, 12)));
    EXPECT_EQ(font.glyphCount(0), 10);
    // Every character the whole sheet: 224 copies of it.
    EXPECT_FALSE(font.loadStyle(0, sheetWithTable(1024, 1024, 1022, 224, 1024)));
    // A glyph more than four cells wide.
    EXPECT_FALSE(font.loadStyle(0, sheetWithTable(400, 40, 10, 1, 41)));
    EXPECT_EQ(font.glyphCount(0), 10);
    EXPECT_EQ(font.cellHeight, 20);
    // Exactly four cells wide is a glyph.
    EXPECT_TRUE(font.loadStyle(1, sheetWithTable(400, 40, 10, 1, 40)));

    // Through the loader: one message per refused sheet.
    const fs::path dir = testsupport::tempPath("kalvero-hostile-sheets");
    fs::remove_all(dir);
    fs::create_directories(dir / "includes");
    std::string error;
    for (int style = 0; style < FontSheet::kStyles; ++style)
        ASSERT_TRUE(imageio::writePng32((dir / fontSheetRelativePath(16, style)).string(),
                                        sheetWithTable(1024, 1024, 1022, 224, 1024), error));
    FakeUi ui;
    int dirty = 0;
    loadFontSheets(font, dir.string() + "/", 16, ui.notice(), dirty);
    ASSERT_EQ(ui.messages.size(), 4u);
    EXPECT_EQ(ui.messages[0].title, "Error#10");
    EXPECT_EQ(ui.messages[0].text, "The glyph table of includes/FontBitmap_16_0000.png is damaged");
    EXPECT_EQ(font.glyphCount(0), 10);
    fs::remove_all(dir);
}

namespace {
// A settings file with `profiles` profiles (the second one 0 pixels wide and
// the start-up profile) and `presets` presets.
std::string longSettings(int profiles, int presets) {
    std::string ini = "[Global]\r\nStartupProfile = 1\r\nPreset = 0\r\n[Profiles]\r\n";
    for (int i = 0; i < profiles; ++i)
        ini += i == 1 ? "Profile = 0|576|No width|430|32|25\r\n"
                      : "Profile = 720|576|PAL " + std::to_string(i) + "|430|32|25\r\n";
    ini += "[Presets]\r\n";
    for (int i = 0; i < presets; ++i) ini += "Preset = P" + std::to_string(i) + "|0,0,0|1|0|254|0|0,0,160|0|-1|46|0|0|20\r\n";
    return ini;
}
}  // namespace

class LongSettings : public HostileInput {
protected:
    std::string iniText() override { return longSettings(1500, 1200); }
};

TEST_F(LongSettings, ListsStopAtTheirLimitAndTheFileKeepsTheRest) {
    ASSERT_TRUE(started);
    // One note at start-up; the lists hold the first 1000 entries.
    ASSERT_EQ(ui.countMessages("Information"), 1);
    EXPECT_EQ(ui.messages[0].text,
              "Kalvero.ini lists 1500 profiles; only the first 1000 are used.\n"
              "Kalvero.ini lists 1200 presets; only the first 1000 are used.");
    EXPECT_EQ(ui.itemCount(ctl::ProfileList), 1000);
    EXPECT_EQ(ui.itemCount(ctl::PresetList), 1000);
    // The start-up profile has no width: the first usable one is taken.
    EXPECT_EQ(state.profileIndex, 0);
    EXPECT_EQ(state.projectWidth, 720);

    // A full list takes no new preset, but a preset can still be replaced,
    // and the presets the program never loaded stay in the file.
    ui.inputAnswers = {std::string("Brand new"), std::string("P3")};
    ui.yesNoAnswers = {true};
    click(ctl::SavePreset);
    EXPECT_EQ(ui.messages[1].title, "Denied!");
    EXPECT_EQ(ui.messages[1].text, "Sorry, the preset list is full (1000 presets); replace one of them instead.");
    Settings back;
    ASSERT_TRUE(loadSettingsFile((dir / "Kalvero.ini").string(), back).ok);
    EXPECT_EQ(back.presets.size() + size_t(back.presetsLeftOut), 1200u);
    std::string file = readBytes(dir / "Kalvero.ini");
    EXPECT_NE(file.find("Preset = P1199|"), std::string::npos);
    EXPECT_EQ(file.find("Brand new"), std::string::npos);

    // The command line: the same note, and the unusable profile refused.
    writeText(dir / "in.srt", "1\n00:00:01,000 --> 00:00:02,000\nHi\n\n");
    Run r = cli({"import-srt", (dir / "in.srt").string(), "-o", (dir / "out.KVL8").string(), "--profile", "1"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("kalvero-cli: note: " + (dir / "Kalvero.ini").string() +
                         " lists 1500 profiles; only the first 1000 are used.\n"),
              std::string::npos);
    EXPECT_NE(r.err.find("kalvero-cli: profile 1 of the settings file has no usable size (0 x 576). The profiles are: "),
              std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "out.KVL8"));
    r = cli({"import-srt", (dir / "in.srt").string(), "-o", (dir / "out.KVL8").string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(cli({"info", (dir / "out.KVL8").string()}).code, 0);
}

namespace {
std::string projectWithRows(const std::vector<std::string>& texts, int profile = 1) {
    std::string s = "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
                    "##-Profile: " + std::to_string(profile) +
                    "\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
                    "##-Number of lines/pages: 0 / 0\r\n##-Word count: 0\r\n##-User Timed Session: 0\r\n##-;\r\n";
    for (size_t i = 0; i < texts.size(); ++i)
        s += rowId(int(i)) + "|" + texts[i] + "|00:00:01:00>00:00:02:00||430\r\n";
    return s;
}
}  // namespace

TEST_F(HostileInput, PictureExportsSkipBlankSetsAndAskBeforeHugeRuns) {
    ASSERT_TRUE(started);
    // 200,002 empty rows and one set with text: one picture, the rest counted.
    std::vector<std::string> rows(200002);
    rows[4] = "Only text";
    const fs::path empty = dir / "empty.KVL8";
    writeText(empty, projectWithRows(rows));
    Run r = cli({"export", "png", empty.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    // The one picture, and the timeline files that place only it.
    EXPECT_EQ(testsupport::filesIn(dir / "PNG_Output"),
              (std::vector<std::string>{"empty.xml", "empty0003.png", "empty_timing.csv"}));
    std::string csv;
    ASSERT_TRUE(files::readFile((dir / "PNG_Output" / "empty_timing.csv").string(), csv));
    EXPECT_EQ(csv.substr(csv.find('\n') + 1).rfind("empty0003.png,", 0), 0u) << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 2) << csv;
    EXPECT_EQ(r.out, "exported 1 picture into " + (dir / "PNG_Output").string() + "/\n");

    // More than 100,000 pictures: the window asks, the command line wants --force.
    std::vector<std::string> many(200004, "x");
    const fs::path big = dir / "many.KVL8";
    writeText(big, projectWithRows(many));
    r = cli({"export", "png", big.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("kalvero-cli: Nothing was exported: the export would write 100002 pictures, more than "
                         "100000. Add --force to write them.\n"),
              std::string::npos)
        << r.err;
    // The IFF run shows sets in list order and would leave out sets that all
    // start together: untimed sets, each a picture, make it a large run.
    std::string untimed = projectWithRows(many);
    for (size_t at = 0; (at = untimed.find("|00:00:01:00>00:00:02:00|", at)) != std::string::npos;)
        untimed.replace(at, 25, "||");
    const fs::path bigUntimed = dir / "many_untimed.KVL8";
    writeText(bigUntimed, untimed);
    r = cli({"export", "iff", bigUntimed.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("the export would write 100002 pictures"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "IFF-SCALA_Output"));
    EXPECT_EQ(testsupport::filesIn(dir / "PNG_Output").size(), 3u);

    ASSERT_TRUE(c().loadProject(big.string()));
    ui.messages.clear();
    ui.yesNoAnswers = {false};
    ExportCommands commands(c(), ui);
    ExportReport report = commands.exportPngSequence();
    EXPECT_TRUE(report.refused());
    ASSERT_GE(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Question");
    EXPECT_EQ(ui.messages[0].text, "This export will write 100002 pictures (more than 100000). Continue?");
    EXPECT_EQ(testsupport::filesIn(dir / "PNG_Output").size(), 3u);
}

class NoFontSheets : public HostileInput {
protected:
    std::string iniText() override {
        return "[Global]\r\nStartupProfile = 0\r\nPreset = 0\r\n[Profiles]\r\n"
               "Profile = 720|576|PAL|430|32|25\r\nProfile = 720|576|No sheets|430|99|25\r\n"
               "[Presets]\r\nPreset = Default|0,0,0|1|0|254|0|0,0,160|0|-1|46|1|1|20\r\n";
    }
};

TEST_F(NoFontSheets, ExportsAndRendersWithoutGlyphsFail) {
    ASSERT_TRUE(started);
    const fs::path project = dir / "nofont.KVL8";
    writeText(project, projectWithRows({"Hello", "there"}, 1));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"export", "png", project.string()}, {"export", "iff", project.string()},
          {"export", "avi", project.string()}, {"capture", project.string()}}) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        Run r = cli(args);
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("Could not find includes/FontBitmap_99_0000.png Nothing was exported: the pictures "
                             "would have no text.\n"),
                  std::string::npos)
            << r.err;
    }
    for (const char* folder : {"PNG_Output", "IFF-SCALA_Output", "AVI_Output", "Capture_Output"})
        EXPECT_FALSE(fs::exists(dir / folder)) << folder;
    Run r = cli({"render", project.string(), "--set", "1", "--target", "alpha", "-o", (dir / "x.png").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(fs::exists(dir / "x.png"));
}

TEST_F(HostileInput, CommandLineMessagesStayOneReadableLine) {
    ASSERT_TRUE(started);
    // A UTF-8 name and a name with a line break, in a failing export.
    for (const std::string name : {"caf\xC3\xA9", "two\nlines"}) {
        SCOPED_TRACE(name);
        const fs::path folder = dir / name;
        fs::create_directories(folder);
        writeText(folder / "p.KVL8", projectWithRows({"a", "b"}));
        writeText(folder / "PNG_Output", "a file where the folder goes");
        Run r = cli({"export", "png", (folder / "p.KVL8").string()});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        if (name[0] == 'c') {
            EXPECT_NE(r.err.find("caf\xC3\xA9"), std::string::npos) << r.err;
            EXPECT_EQ(r.err.find("caf\xC3\x83"), std::string::npos) << r.err;
        }
    }
    const std::string out = (dir / "x.png").string();
    Run r = cli({"render", "--profile", "1", "--preset", "0", "--line-a", "a", "--line-b", "b", "--word-spacing",
                 "-999999999", "--target", "alpha", "-o", out});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.find("takes a whole number"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--word-spacing must be between"), std::string::npos) << r.err;

    const fs::path oneRow = dir / "one.KVL8";
    writeText(oneRow, projectWithRows({"alone"}));
    r = cli({"render", oneRow.string(), "--set", "1", "--target", "alpha", "-o", out});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "kalvero-cli: " + oneRow.string() + " has 1 row; a set needs two rows (line A and line B)\n");
}

namespace {
// A project of timed sets: {line A, line B, "ON>OFF"} each.
struct TimedSet {
    std::string a, b, timing;
};
std::string timedProject(const std::vector<TimedSet>& sets) {
    std::string s = "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
                    "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
                    "##-Number of lines/pages: 0 / 0\r\n##-Word count: 0\r\n##-User Timed Session: 0\r\n##-;\r\n";
    for (size_t k = 0; k < sets.size(); ++k) {
        s += rowId(int(2 * k)) + "|" + sets[k].a + "|" + sets[k].timing + "||430\r\n";
        s += rowId(int(2 * k + 1)) + "|" + sets[k].b + "|" + sets[k].timing + "||430\r\n";
    }
    return s;
}
}  // namespace

TEST_F(HostileInput, MoviesAndFontsThatAreNoRegularFilesAreRefusedWithoutWaiting) {
    ASSERT_TRUE(started);
    const fs::path film = dir / "film.KVL8";
    writeText(film, timedProject({{"", "Hello", "00:00:01:00>00:00:02:00"}}));
    const fs::path fifo = dir / "movie.mp4";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string out = (dir / "out.mp4").string();
    // Each reader of a movie or a font, given a FIFO (which no writer will
    // ever open) or a folder.
    const struct {
        std::vector<std::string> args;
        const char* expected;
    } runs[] = {
        {{"burn", fifo.string(), film.string(), "-o", out}, "is not a regular file"},
        {{"burn", dir.string(), film.string(), "-o", out}, "is a folder, not a file"},
        {{"snap", fifo.string(), film.string(), "-o", (dir / "snapped.KVL8").string()}, "is not a regular file"},
    };
    for (const auto& c : runs) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        Run r = cli(c.args);
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(out));
    EXPECT_TRUE(fs::is_fifo(fifo));

    const std::string sheets = (dir / "sheets").string();
    for (const fs::path& font : {fifo, dir}) {
        SCOPED_TRACE(font.string());
        toolrun::Output o = toolrun::run("timeout 20 " + toolrun::tool("kalvero-fontsheet") + " --font " +
                                         toolrun::quoted(font.string()) + " --size 20 --out " + toolrun::quoted(sheets));
        EXPECT_EQ(o.code, 1) << o.text;
        EXPECT_NE(o.text.find("cannot read the font"), std::string::npos) << o.text;
    }
    // A folder that cannot be checked (a link to itself) is told, not thrown.
    fs::create_symlink("loop", dir / "loop");
    toolrun::Output o = toolrun::run(toolrun::tool("kalvero-fontsheet") + " --font /dev/null --size 20 --out " +
                                     toolrun::quoted((dir / "loop").string()));
    EXPECT_EQ(o.code, 1) << o.text;
    EXPECT_NE(o.text.find("Too many levels of symbolic links"), std::string::npos) << o.text;
}

TEST_F(HostileInput, SupAndDvbTracksRefuseTimesTheirStampsCannotHold) {
    ASSERT_TRUE(started);
    // SUP stamps wrap after 13:15:21, transport stream stamps after 26:30:43.
    const struct {
        const char* kind;
        const char* folder;
        const char* timing;
        bool refused;
        const char* limit;
    } cases[] = {
        {"sup", "SUP_Output", "13:14:58:00>13:14:59:24", false, ""},
        {"sup", "SUP_Output", "14:00:00:00>14:00:02:00", true, "13:15:00:00"},
        {"sup", "SUP_Output", "13:14:59:00>13:15:01:00", true, "13:15:00:00"},
        {"dvb", "DVB_Output", "14:00:00:00>14:00:02:00", false, ""},
        {"dvb", "DVB_Output", "27:00:00:00>27:00:02:00", true, "26:30:00:00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + c.timing);
        fs::remove_all(dir / c.folder);
        const fs::path film = dir / "late.KVL8";
        writeText(film, timedProject({{"", "early", "00:00:01:00>00:00:02:00"}, {"", "late", c.timing}}));
        Run r = cli({"export", c.kind, film.string()});
        if (!c.refused) {
            ASSERT_EQ(r.code, 0) << r.err;
            if (!toolrun::haveFfmpeg()) continue;
            // The last subtitle starts where the project says, read by FFmpeg.
            const fs::path track = dir / c.folder / (std::string("late.") + (c.kind[0] == 's' ? "sup" : "ts"));
            toolrun::Output o = toolrun::run("ffprobe -v error -select_streams s -show_entries packet=pts_time -of csv=p=0 " +
                                             toolrun::quoted(track.string()));
            ASSERT_EQ(o.code, 0) << o.text;
            double last = 0;
            for (const std::string& line : text::splitLines(o.text))
                if (!line.empty()) last = std::max(last, std::atof(line.c_str()));
            EXPECT_GT(last, std::atoi(c.timing) * 3600.0) << o.text;
            continue;
        }
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("Set 2 ("), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.limit), std::string::npos) << r.err;
        EXPECT_TRUE(testsupport::filesIn(dir / c.folder).empty());
    }
}

TEST_F(HostileInput, SubRipTextThatReadsAsATimeLineStaysText) {
    ASSERT_TRUE(started);
    const std::vector<TimedSet> sets = {
        {"00:00:09,000 --> 00:00:10,000", "plain", "00:00:01:00>00:00:02:00"},
        {"a --> b", "1:2:3,4 -> 5:6:7,8", "00:00:03:00>00:00:04:00"},
        {"2", "00:00:05,000 - > 00:00:06,000", "00:00:05:00>00:00:06:00"},
        {"arrow->", "no arrow > here -", "00:00:07:00>00:00:08:00"},
    };
    const fs::path film = dir / "arrows.KVL8";
    writeText(film, timedProject(sets));
    ASSERT_EQ(cli({"export", "srt", film.string()}).code, 0);
    const fs::path srt = dir / "SRT_Output" / "arrows.srt";

    // Our import gives every line back as it was, in as many cues.
    SubtitleList back;
    back.clearList();
    const SrtImportResult imported = importSrtText(readBytes(srt), 25.0f, 430, back);
    ASSERT_EQ(imported.cues, int(sets.size()));
    for (size_t k = 0; k < sets.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(back.column(int(2 * k), Column::Text), sets[k].a);
        EXPECT_EQ(back.column(int(2 * k + 1), Column::Text), sets[k].b);
    }

    // FFmpeg's SubRip reader sees the same cues at the same times.
    if (!toolrun::haveFfmpeg()) GTEST_SKIP() << "the FFmpeg tools are not installed";
    toolrun::Output o =
        toolrun::run("ffprobe -v error -show_entries packet=pts_time -of csv=p=0 " + toolrun::quoted(srt.string()));
    ASSERT_EQ(o.code, 0) << o.text;
    EXPECT_EQ(o.text, "1.000000\n3.000000\n5.000000\n7.000000\n");
    o = toolrun::run("ffmpeg -v error -i " + toolrun::quoted(srt.string()) + " -c:s copy -f srt -");
    ASSERT_EQ(o.code, 0) << o.text;
    for (const char* line : {"a --\xC2\xA0> b", "00:00:09,000 --\xC2\xA0> 00:00:10,000"})
        EXPECT_NE(o.text.find(line), std::string::npos) << o.text;
}

TEST_F(HostileInput, ShotListsBelongToOneMovieAndCoverArtIsNoMovie) {
    ASSERT_TRUE(started);
    // Two movies of one size and one modification time, different content.
    const fs::path first = dir / "first.avi", second = dir / "second.avi";
    writeText(first, std::string(3u << 20, 'a'));
    std::string other(3u << 20, 'a');
    other[(3u << 20) - 10] = 'b';  // only in the last megabyte
    writeText(second, other);
    fs::last_write_time(second, fs::last_write_time(first));
    int detections = 0;
    auto detector = [&](double cut) {
        return [&detections, cut](const std::string&, std::vector<double>& changes) {
            ++detections;
            changes = {cut};
            return std::string();
        };
    };
    EXPECT_EQ(loadOrDetectShots(first.string(), detector(1.5)).changeSeconds, std::vector<double>{1.5});
    fs::copy_file(shotCachePath(first.string()), shotCachePath(second.string()));
    const ShotList s = loadOrDetectShots(second.string(), detector(2.5));
    EXPECT_FALSE(s.fromCache);
    EXPECT_EQ(s.changeSeconds, std::vector<double>{2.5});
    EXPECT_TRUE(loadOrDetectShots(first.string(), detector(9)).fromCache);
    EXPECT_EQ(detections, 2);

    if (!toolrun::haveFfmpeg()) GTEST_SKIP() << "the FFmpeg tools are not installed";
    const fs::path cover = dir / "song.mp4";
    toolrun::Output made = toolrun::run(
        "ffmpeg -v error -f lavfi -i sine=d=2 -f lavfi -i color=red:s=64x64:d=1 -map 0:a -map 1:v -frames:v 1 "
        "-c:a aac -c:v mjpeg -disposition:v attached_pic -y " + toolrun::quoted(cover.string()));
    ASSERT_EQ(made.code, 0) << made.text;
    const fs::path film = dir / "film.KVL8";
    writeText(film, timedProject({{"", "Hello", "00:00:01:00>00:00:02:00"}}));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"snap", cover.string(), film.string(), "-o", (dir / "s.KVL8").string()},
          std::vector<std::string>{"burn", cover.string(), film.string(), "-o", (dir / "b.mp4").string()}}) {
        SCOPED_TRACE(args[0]);
        Run r = cli(args);
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("no video"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir / "s.KVL8"));
}

TEST_F(HostileInput, FfmpegSpeaksOnlyWhenAskedAndOptionsEndAtTwoDashes) {
    ASSERT_TRUE(started);
    if (!toolrun::haveFfmpeg()) GTEST_SKIP() << "the FFmpeg tools are not installed";
    const fs::path film = dir / "film.KVL8";
    writeText(film, timedProject({{"", "Hello", "00:00:00:05>00:00:00:20"}}));
    // A movie cut off before its index, and a good one named like an option.
    toolrun::Output made = toolrun::run("cd " + toolrun::quoted(dir.string()) +
                                        " && ffmpeg -v error -f lavfi -i testsrc=s=720x576:r=25:d=1 -c:v libx264 "
                                        "-pix_fmt yuv420p -y ./-x.mp4 && head -c 3000 ./-x.mp4 > cut.mp4");
    ASSERT_EQ(made.code, 0) << made.text;
    const std::string cli = "cd " + toolrun::quoted(dir.string()) + " && " + toolrun::tool("kalvero-cli") +
                            " --program-dir " + toolrun::quoted(KALVERO_BIN_DIR);
    const struct {
        std::string args;
        int code;
        bool ffmpegLines;
    } runs[] = {
        {" burn cut.mp4 film.KVL8 -o a.mp4", 1, false},
        {" --verbose burn cut.mp4 film.KVL8 -o a.mp4", 1, true},
        {" burn -o b.mp4 -- -x.mp4 film.KVL8", 0, false},
        {" export avi film.KVL8 --codec libx264", 0, false},
    };
    for (const auto& c : runs) {
        SCOPED_TRACE(c.args);
        toolrun::Output o = toolrun::run(cli + c.args);
        EXPECT_EQ(o.code, c.code) << o.text;
        // FFmpeg's own lines start with "[name @ 0x...]" or name the codec.
        const bool ffmpeg = o.text.find(" @ 0x") != std::string::npos || o.text.find("libx264") != std::string::npos ||
                            o.text.find("moov atom") != std::string::npos;
        EXPECT_EQ(ffmpeg, c.ffmpegLines) << o.text;
        if (c.code == 1) {
            EXPECT_NE(o.text.find("kalvero-cli: "), std::string::npos) << o.text;
        }
    }
    EXPECT_TRUE(fs::exists(dir / "b.mp4"));
}

TEST_F(HostileInput, AnUnusableSettingsFileOfTheUserIsToldWithItsReason) {
    ASSERT_TRUE(started);
    const fs::path film = dir / "film.KVL8";
    writeText(film, timedProject({{"", "Hello", "00:00:01:00>00:00:02:00"}}));
    const fs::path config = dir / "home" / ".config" / "kalvero";
    fs::create_directories(config);
    const struct {
        const char* what;
        std::function<void()> make;
        const char* reason;
    } broken[] = {
        {"loop", [&] { fs::create_symlink("Kalvero.ini", config / "Kalvero.ini"); }, "Too many levels of symbolic links"},
        {"folder", [&] { fs::create_directory(config / "Kalvero.ini"); }, "is a folder, not a file"},
        {"fifo", [&] { ::mkfifo((config / "Kalvero.ini").c_str(), 0600); }, "is not a regular file"},
        {"empty", [&] { writeText(config / "Kalvero.ini", ""); }, "it lists no usable profile or no preset"},
    };
    for (const auto& f : broken) {
        SCOPED_TRACE(f.what);
        f.make();
        toolrun::Output o = toolrun::run("env -u XDG_CONFIG_HOME HOME=" + toolrun::quoted((dir / "home").string()) +
                                         " " + toolrun::tool("kalvero-cli") + " info " + toolrun::quoted(film.string()));
        EXPECT_EQ(o.code, 0) << o.text;
        EXPECT_NE(o.text.find("warning: your settings file " + (config / "Kalvero.ini").string() + " could not be used (" +
                              f.reason + "); the settings the program ships with are used instead"),
                  std::string::npos)
            << o.text;
        EXPECT_NE(o.text.find("sets: 1"), std::string::npos) << o.text;
        fs::remove_all(config / "Kalvero.ini");
    }
}
