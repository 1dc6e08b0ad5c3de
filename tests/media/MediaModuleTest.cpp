// The built kalvero-cli and its movie module, run as separate processes: the
// commands that need no movie start without FFmpeg, those that do open the
// module from lib/kalvero beside bin/, and a module that is missing, damaged
// or foreign ends the command with a sentence naming its file, not a crash.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "reliability/ToolRun.h"

namespace fs = std::filesystem;

namespace {

const fs::path kBin = KALVERO_BIN_DIR;
const fs::path kModule = kBin.parent_path() / "lib" / "kalvero" / "libkalvero-media.so";

// One project of three timed sets, imported by the built program.
class MediaModuleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new fs::path(testsupport::tempPath("kalvero-media-module"));
        fs::remove_all(*dir);
        fs::create_directories(*dir / "film_project");
        std::ofstream(*dir / "in.srt") << "1\n00:00:01,000 --> 00:00:02,000\nOne\n\n"
                                          "2\n00:00:03,000 --> 00:00:04,000\nTwo\n\n"
                                          "3\n00:00:05,000 --> 00:00:06,000\nThree\n\n";
        project = new std::string((*dir / "film_project" / "film.KVL8").string());
        toolrun::Output o =
            toolrun::run(toolrun::tool("kalvero-cli") + " import-srt " + toolrun::quoted((*dir / "in.srt").string()) + " -o " +
                         toolrun::quoted(*project));
        ASSERT_EQ(o.code, 0) << o.text;
    }
    static void TearDownTestSuite() {
        fs::remove_all(*dir);
        delete dir;
        delete project;
    }

    // A program folder of its own: bin/kalvero-cli (a link to the built one,
    // or a copy) and whatever lib/kalvero/ the case lays beside it. Data
    // comes from the build's bin/ through --program-dir.
    static fs::path layout(const std::string& name) {
        const fs::path root = *dir / name;
        fs::remove_all(root);
        fs::create_directories(root / "bin");
        fs::create_directories(root / "lib" / "kalvero");
        std::error_code ec;
        fs::create_hard_link(kBin / "kalvero-cli", root / "bin" / "kalvero-cli", ec);
        if (ec) fs::copy_file(kBin / "kalvero-cli", root / "bin" / "kalvero-cli");
        return root;
    }

    static inline fs::path* dir = nullptr;
    static inline std::string* project = nullptr;
};

// The shared libraries the dynamic loader opened for one run, from its own
// report (LD_DEBUG=files), as one text.
std::string librariesOpened(const std::string& command) {
    return toolrun::run("LD_DEBUG=files " + command + " 2>&1 >/dev/null | grep -o 'file=[^ ]*' | sort -u").text;
}

}  // namespace

TEST_F(MediaModuleTest, commandsWithoutMoviesStartWithoutFfmpegAndMovieCommandsOpenTheModule) {
    ASSERT_TRUE(fs::exists(kModule)) << kModule;
    struct Case {
        std::string args;
        bool media;
    };
    const std::string p = toolrun::quoted(*project);
    const Case cases[] = {
        {"--version", false},
        {"--help", false},
        {"info " + p, false},
        {"export srt " + p, false},
        {"export dvb " + p, true},
        {"export avi " + p + " --codec rawvideo", true},
    };
    for (const Case& c : cases) {
        const std::string libs = librariesOpened(toolrun::tool("kalvero-cli") + " " + c.args);
        ASSERT_NE(libs.find("libstdc++"), std::string::npos) << c.args << ": no loader report:\n" << libs;
        for (const char* lib : {"libavcodec", "libavformat", "libSDL2", "libkalvero-media"})
            EXPECT_EQ(libs.find(lib) != std::string::npos, c.media) << c.args << " and " << lib << ":\n" << libs;
    }
    // The window links no FFmpeg of its own either.
    if (fs::exists(kBin / "kalvero")) {
        const std::string needed = toolrun::run("ldd " + toolrun::tool("kalvero")).text;
        EXPECT_EQ(needed.find("libavcodec"), std::string::npos) << needed;
        EXPECT_NE(needed.find("libwx"), std::string::npos) << needed;
    }
}

TEST_F(MediaModuleTest, tracksWrittenThroughTheModuleAreReadByFfmpeg) {
    if (!toolrun::haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const fs::path project_dir = fs::path(*project).parent_path();
    struct Case {
        std::string args, file, probe;
    };
    const Case cases[] = {
        {"export dvb", "DVB_Output/film.ts", "dvb_subtitle"},
        {"export vobsub", "VobSub_Output/film.idx", "dvd_subtitle"},
        {"export avi --codec rawvideo", "AVI_Output/film_subtitles.avi", "rawvideo"},
    };
    for (const Case& c : cases) {
        toolrun::Output o =
            toolrun::run("cd " + toolrun::quoted(dir->string()) + " && " + toolrun::tool("kalvero-cli") + " " + c.args + " " +
                         toolrun::quoted(*project));
        ASSERT_EQ(o.code, 0) << c.args << ": " << o.text;
        const fs::path file = project_dir / c.file;
        toolrun::Output probe = toolrun::run("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " +
                                             toolrun::quoted(file.string()));
        EXPECT_EQ(probe.code, 0) << c.args << ": " << probe.text;
        EXPECT_NE(probe.text.find(c.probe), std::string::npos) << c.args << ": " << probe.text;
    }
}

TEST_F(MediaModuleTest, aModuleThatCannotBeUsedIsNamedAndNothingCrashes) {
    struct Case {
        std::string name;
        std::string module;  // "": none; "garbage": not a library; otherwise a library to copy in
        std::string why;
    };
    const Case cases[] = {
        {"missing", "", "the file is not there"},
        {"garbage", "garbage", "cannot be used"},
        {"foreign", "/lib/x86_64-linux-gnu/libz.so.1", "is not Kalvero's movie module"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path root = layout(c.name);
        const fs::path module = root / "lib" / "kalvero" / "libkalvero-media.so";
        if (c.module == "garbage") std::ofstream(module) << "not a library\n";
        else if (!c.module.empty()) {
            if (!fs::exists(c.module)) continue;
            fs::copy_file(c.module, module);
        }
        const std::string cli = toolrun::quoted((root / "bin" / "kalvero-cli").string()) + " --program-dir " +
                                toolrun::quoted(kBin.string() + "/");
        // Without a movie nothing changes.
        toolrun::Output info = toolrun::run(cli + " info " + toolrun::quoted(*project));
        EXPECT_EQ(info.code, 0) << info.text;
        // Each way into the module ends in one sentence naming it, exit 1.
        const std::string p = toolrun::quoted(*project);
        for (const std::string args : {"export dvb " + p, "export avi " + p, "export overlay " + p,
                                       "burn " + toolrun::quoted((*dir / "in.srt").string()) + " " + p + " -o " +
                                           toolrun::quoted((root / "out.mp4").string()),
                                       "snap " + toolrun::quoted((*dir / "in.srt").string()) + " " + p + " -o " +
                                           toolrun::quoted((root / "out.KVL8").string())}) {
            toolrun::Output o = toolrun::run(cli + " " + args);
            EXPECT_EQ(o.code, 1) << args << ": " << o.text;
            EXPECT_NE(o.text.find(module.lexically_normal().string()), std::string::npos) << args << ": " << o.text;
            EXPECT_NE(o.text.find(c.why), std::string::npos) << args << ": " << o.text;
        }
    }
}

// A program started through a link finds the module beside the real file.
TEST_F(MediaModuleTest, aLinkedProgramFindsItsModule) {
    const fs::path root = *dir / "linked";
    fs::remove_all(root);
    fs::create_directories(root);
    fs::create_symlink(fs::absolute(kBin / "kalvero-cli"), root / "kalvero-cli");
    toolrun::Output o = toolrun::run(toolrun::quoted((root / "kalvero-cli").string()) + " export dvb " + toolrun::quoted(*project));
    EXPECT_EQ(o.code, 0) << o.text;
}
