// The exports for video editors, run through kalvero-cli and read back by
// independent readers: the XML timeline by python3's XML parser, the movies
// by libavformat / libavcodec.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "TestSupport.h"
#include "base/Image.h"
#include "cli/CliFixture.h"
#include "base/Text.h"
#include "movie_reader.h"
#include "export/OverlayWriter.h"
#include "io/Files.h"

namespace fs = std::filesystem;

namespace {

struct TimedSet {
    std::string a, b, timing;  // timing "ON>OFF", may be empty
};

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string commandOutput(const std::string& cmd, int& status) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) {
        status = -1;
        return out;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    status = pclose(p);
    return out;
}

class VideoExportCli : public CliFolderTest {
protected:
    // A folder name with spaces, as users have them.
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kalvero video " + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + " " +
               std::to_string(std::random_device{}()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }

    // A project of the given profile of the shipped settings file.
    std::string project(const std::string& name, int profile, int w, int h, const std::vector<TimedSet>& sets) {
        std::string s = "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: " + std::to_string(w) +
                        "\r\n##-Resolution Height: " + std::to_string(h) + "\r\n##-Profile: " + std::to_string(profile) +
                        "\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
                        "##-Number of lines/pages: 2 / 1\r\n##-Word count: 2\r\n##-User Timed Session: 0\r\n##-;\r\n";
        for (size_t k = 0; k < sets.size(); ++k) {
            char id[8];
            std::snprintf(id, sizeof id, "%04zu", 2 * k);
            s += std::string("A") + id + "|" + sets[k].a + "|" + sets[k].timing + "||0\r\n";
            s += std::string("B") + id + "|" + sets[k].b + "|" + sets[k].timing + "||0\r\n";
        }
        const std::string path = (dir / (name + ".KVL8")).string();
        EXPECT_TRUE(files::writeFileAtomic(path, s));
        return path;
    }
};

std::vector<uint8_t> rgbaOf(const Image& img) {
    return std::vector<uint8_t>(img.data(), img.data() + img.stride() * size_t(img.height()));
}

bool transparent(const std::vector<uint8_t>& rgba) {
    for (size_t i = 3; i < rgba.size(); i += 4)
        if (rgba[i] != 0) return false;
    return true;
}

// Largest alpha difference, and the mean colour difference where the
// expected picture is mostly opaque (colour under alpha 0 means nothing).
struct Difference {
    int alpha = 0;
    double colour = 0;
};
Difference differenceOf(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want) {
    Difference d;
    if (got.size() != want.size()) return {255, 255};
    double sum = 0;
    size_t n = 0;
    for (size_t i = 0; i < got.size(); i += 4) {
        d.alpha = std::max(d.alpha, std::abs(int(got[i + 3]) - int(want[i + 3])));
        if (want[i + 3] < 128) continue;
        for (int c = 0; c < 3; ++c) sum += std::abs(int(got[i + size_t(c)]) - int(want[i + size_t(c)]));
        n += 3;
    }
    d.colour = n ? sum / double(n) : 0;
    return d;
}

// Set 2 starts while set 1 is on; set 3 has no timing; set 4 is reversed.
const std::vector<TimedSet> kOverlapping = {{"One", "", "00:00:01:00>00:00:02:00"},
                                            {"Two", "second line", "00:00:01:20>00:00:03:00"},
                                            {"Three", "", ""},
                                            {"Four", "", "00:00:05:00>00:00:04:00"},
                                            {"Five", "", "00:00:04:00>00:00:04:10"}};

}  // namespace

TEST_F(VideoExportCli, PngExportWritesAnEditorTimelineThatAParserReads) {
    if (std::system("python3 -c 'import xml.etree.ElementTree' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 not available";
    const std::string script = std::string(KALVERO_SOURCE_DIR) + "/tests/export/fcpxml_check.py";
    const bool hasXmllint = std::system("xmllint --version >/dev/null 2>&1") == 0;

    struct Case {
        int profile, w, h;
        std::string timebase, ntsc;
        std::vector<std::string> clips;  // name start end in out
        std::string duration;
        std::vector<std::string> csv;
    };
    // Set 2 starts while set 1 is still on: set 1 ends there. Set 3 has no
    // timing, set 4 is reversed: neither is placed. 29.97 counts frames of
    // the time codes at 29.97 (00:00:01:20 is 29.97 + 20 = frame 50).
    const std::vector<TimedSet> sets = {{"One", "", "00:00:01:00>00:00:02:00"},
                                        {"Two", "b", "00:00:01:20>00:00:03:00"},
                                        {"Three", "", ""},
                                        {"Four", "", "00:00:05:00>00:00:04:00"},
                                        {"Five", "", "00:00:04:00>00:00:04:10"}};
    const std::vector<Case> cases = {
        {2, 720, 480, "30", "TRUE",
         {"a&b <x>0001.png 30 50 0 20", "a&b <x>0002.png 50 90 0 40", "a&b <x>0005.png 120 130 0 10"}, "130",
         {"picture,on,off,start,end,frames", "a&b <x>0001.png,00:00:01:00,00:00:02:00,30,50,20",
          "a&b <x>0002.png,00:00:01:20,00:00:03:00,50,90,40", "a&b <x>0003.png,,,,,0",
          "a&b <x>0004.png,00:00:05:00,00:00:04:00,,,0", "a&b <x>0005.png,00:00:04:00,00:00:04:10,120,130,10"}},
        {1, 720, 576, "25", "FALSE",
         {"a&b <x>0001.png 25 45 0 20", "a&b <x>0002.png 45 75 0 30", "a&b <x>0005.png 100 110 0 10"}, "110", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("profile " + std::to_string(c.profile));
        const std::string path = project("a&b <x>", c.profile, c.w, c.h, sets);
        CliRun r = run({"export", "png", path});
        ASSERT_EQ(r.code, 0) << r.err;
        const fs::path folder = dir / "PNG_Output";
        EXPECT_EQ(testsupport::filesIn(folder),
                  (std::vector<std::string>{"a&b <x>.xml", "a&b <x>0001.png", "a&b <x>0002.png", "a&b <x>0003.png",
                                            "a&b <x>0004.png", "a&b <x>0005.png", "a&b <x>_timing.csv"}));

        int status = 0;
        const std::string xml = (folder / "a&b <x>.xml").string();
        std::string parsed = commandOutput("python3 '" + script + "' '" + xml + "'", status);
        ASSERT_EQ(status, 0) << parsed;
        std::vector<std::string> lines = text::splitLines(parsed);
        ASSERT_EQ(lines.size(), 2 + c.clips.size()) << parsed;
        EXPECT_EQ(lines[0], "sequence a&b <x> " + std::to_string(c.w) + " " + std::to_string(c.h) + " " + c.timebase +
                                " " + c.ntsc + " " + c.duration);
        EXPECT_EQ(lines[1], "track TRUE FALSE " + std::to_string(c.clips.size()));
        for (size_t i = 0; i < c.clips.size(); ++i) {
            const std::string& line = lines[i + 2];
            ASSERT_EQ(line.rfind("clip " + c.clips[i] + " file://localhost/", 0), 0u) << line;
            // the URL names the picture beside the XML, spaces and signs escaped
            const std::string url = line.substr(line.find("file://localhost"));
            EXPECT_NE(url.find("/kalvero%20video%20"), std::string::npos) << url;
            EXPECT_NE(url.find("/PNG_Output/a%26b%20%3Cx%3E000"), std::string::npos) << url;
            EXPECT_EQ(line.substr(line.size() - 6), " found") << line;
        }
        // xmllint agrees that it is well-formed (said skipped below when missing)
        if (hasXmllint) {
            EXPECT_EQ(std::system(("xmllint --noout '" + xml + "'").c_str()), 0);
        }

        if (!c.csv.empty()) {
            std::string expected;
            for (const std::string& l : c.csv) expected += l + "\r\n";
            EXPECT_EQ(readText(folder / "a&b <x>_timing.csv"), expected);
        }
        fs::remove_all(folder);
    }
    if (!hasXmllint) GTEST_SKIP() << "xmllint is not installed: the XML was read by python only";
}

// Project names with signs of XML and control characters give XML files
// that parsers read, the name shown with blanks for the controls.
TEST_F(VideoExportCli, XmlFilesKeepNamesWithControlCharactersAndXmlSigns) {
    if (std::system("python3 -c 'import xml.dom.minidom' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 not available";
    const std::vector<TimedSet> sets = {{"One", "", "00:00:01:00>00:00:02:00"}};
    struct Case {
        std::string name, shown;
    };
    const std::vector<Case> cases = {{"Tab\tbell\x07\x01 & <q> \"x\" 'y'", "Tab bell   & <q> \"x\" 'y'"},
                                     {"Caf\xC3\xA9 \x1F]]>", "Caf\xC3\xA9  ]]>"},
                                     {"Caf\xE9 1252", "Caf\xC3\xA9 1252"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        const std::string path = project(c.name, 1, 720, 576, sets);
        struct Format {
            std::string kind, folder, script, firstLine;
        };
        const std::vector<Format> formats = {
            {"png", "PNG_Output", "fcpxml_check.py", "sequence " + c.shown + " 720 576 25 FALSE 50"},
            {"bdn", "BDN_Output", "bdn_check.py", "format 576i 25 False"},
        };
        for (const Format& f : formats) {
            CliRun r = run({"export", f.kind, path});
            ASSERT_EQ(r.code, 0) << r.err;
            const std::string xml = (dir / f.folder / (c.name + ".xml")).string();
            // The name reaches the shell through the environment, unquoted.
            setenv("KALVERO_XML", xml.c_str(), 1);
            int status = 0;
            const std::string again = commandOutput("python3 '" + std::string(KALVERO_SOURCE_DIR) + "/tests/export/" +
                                                        f.script + "' \"$KALVERO_XML\"",
                                                    status);
            ASSERT_EQ(status, 0) << again;
            const std::vector<std::string> lines = text::splitLines(again);
            ASSERT_GE(lines.size(), 3u) << again;
            EXPECT_EQ(lines[0], f.firstLine);
            if (f.kind == "bdn") {
                EXPECT_EQ(lines[2], "title " + c.shown);
            } else {
                EXPECT_EQ(lines[2].substr(lines[2].size() - 6), " found") << lines[2];
            }
            if (std::system("xmllint --version >/dev/null 2>&1") == 0) {
                EXPECT_EQ(std::system("xmllint --noout \"$KALVERO_XML\""), 0);
            }
        }
    }
}

TEST_F(VideoExportCli, OverlayMoviesCarryThePngPicturesWithTheirAlphaAtTheirOwnOnFrames) {
    // NTSC 29.97: frames of the time codes at 29.97, the movie at 30000/1001
    const std::string path = project("demo", 2, 720, 480, kOverlapping);
    CliRun png = run({"export", "png", path});
    ASSERT_EQ(png.code, 0) << png.err;
    std::vector<std::vector<uint8_t>> pictures;
    for (int k = 1; k <= 5; ++k)
        pictures.push_back(rgbaOf(testsupport::decodeFile((dir / "PNG_Output" / ("demo000" + std::to_string(k) + ".png")).string())));

    // frame -> picture (0-based set) ; -1 transparent
    struct Check {
        int frame, set;
    };
    const std::vector<Check> checks = {{0, -1}, {29, -1}, {30, 0}, {49, 0},  {50, 1},   {89, 1},
                                       {90, -1}, {119, -1}, {120, 4}, {129, 4}};
    int tested = 0;
    for (const OverlayCodec& codec : overlayCodecs()) {
        if (!overlayCodecAvailable(codec.name)) continue;
        SCOPED_TRACE(codec.name);
        ++tested;
        CliRun r = run({"export", "overlay", path, "--codec", codec.name});
        ASSERT_EQ(r.code, 0) << r.err;
        const fs::path movie = dir / "OVERLAY_Output" / (std::string("demo_overlay") + codec.extension);
        EXPECT_EQ(r.out, "exported 130 frames into " + movie.string() + "\n");
        EXPECT_EQ(testsupport::filesIn(dir / "OVERLAY_Output"), std::vector<std::string>{movie.filename().string()});
        struct Remove {
            fs::path p;
            ~Remove() { fs::remove_all(p); }
        } removeAfter{dir / "OVERLAY_Output"};

        RgbaMovie m = readRgbaMovie(movie.string());
        ASSERT_EQ(m.error, "");
        EXPECT_EQ(m.width, 720);
        EXPECT_EQ(m.height, 480);
        ASSERT_EQ(m.frames.size(), 130u);
        if (std::string(codec.extension) == ".webm") {
            // WebM stores milliseconds; the rate comes out within a hair
            EXPECT_NEAR(av_q2d(m.avgFrameRate), 30000.0 / 1001.0, 0.05);
        } else {
            EXPECT_EQ(m.rFrameRate.num, 30000);
            EXPECT_EQ(m.rFrameRate.den, 1001);
        }
        for (const Check& c : checks) {
            const std::vector<uint8_t>& got = m.frames[size_t(c.frame)];
            if (c.set < 0) {
                EXPECT_TRUE(transparent(got)) << "frame " << c.frame;
            } else if (codec.lossless) {
                EXPECT_TRUE(got == pictures[size_t(c.set)]) << "frame " << c.frame;
            } else {
                Difference d = differenceOf(got, pictures[size_t(c.set)]);
                EXPECT_LE(d.alpha, 2) << "frame " << c.frame;
                EXPECT_LT(d.colour, 3.0) << "frame " << c.frame;
            }
        }
        if (codec.allIntra) {
            // one encoded picture per run, its packet written again
            EXPECT_EQ(m.packets[30], m.packets[49]);
            EXPECT_EQ(m.packets[0], m.packets[119]);
            EXPECT_NE(m.packets[30], m.packets[50]);
        }
    }
    EXPECT_GE(tested, 1);
}

TEST_F(VideoExportCli, OverlayUsageAndFailures) {
    const std::string path = project("demo", 1, 720, 576, kOverlapping);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"export", "overlay", path, "--codec", "h264"},
             {"export", "overlay", path, "--quality", "5"},
             {"export", "png", path, "--codec", "prores"}}) {
        CliRun r = run(args);
        EXPECT_EQ(r.code, 2) << args[3] << " " << r.err;
    }
    // a list without timings gives no movie, and says so
    const std::string untimed = project("untimed", 1, 720, 576, {{"a", "b", ""}});
    CliRun r = run({"export", "overlay", untimed});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("no timings"), std::string::npos) << r.err;
    // the output folder cannot be made: an error and no file
    ASSERT_TRUE(files::writeFileAtomic((dir / "OVERLAY_Output").string(), "x"));
    r = run({"export", "overlay", path, "--codec", "qtrle"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("OVERLAY_Output"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::is_directory(dir / "OVERLAY_Output"));
}

TEST_F(VideoExportCli, BurnCommand) {
    const std::string path = project("demo", 1, 720, 576, kOverlapping);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"burn", "movie.mp4", path},                                   // no -o
             {"burn", path, "-o", "x.mp4"},                                 // no movie
             {"burn", "movie.mp4", path, "-o", "x.mp4", "--crf", "52"},
             {"burn", "movie.mp4", path, "-o", "x.mp4", "--preset", "warp"}}) {
        CliRun r = run(args);
        EXPECT_EQ(r.code, 2) << r.err;
    }
    CliRun missing = run({"burn", (dir / "none.mp4").string(), path, "-o", (dir / "x.mp4").string()});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("none.mp4"), std::string::npos) << missing.err;

    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "the ffmpeg tool is not installed";
    const std::string movie = (dir / "film.mp4").string(), out = (dir / "burned.mp4").string();
    const std::string make = "ffmpeg -nostdin -v error -y -f lavfi -i color=c=0x305070:s=320x240:r=25:d=5 -f lavfi "
                             "-i sine=d=5 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac '" + movie + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    CliRun r = run({"burn", movie, path, "-o", out, "--crf", "23", "--preset", "veryfast"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "burned 125 frames into " + out + "\n");
    // the reversed set is named; the scaling is noted
    EXPECT_NE(r.err.find("end before they begin"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("scaled"), std::string::npos) << r.err;
    RgbaMovie m = readRgbaMovie(out);
    ASSERT_EQ(m.error, "");
    EXPECT_EQ(m.codec, AV_CODEC_ID_H264);
    EXPECT_EQ(m.frames.size(), 125u);
}
