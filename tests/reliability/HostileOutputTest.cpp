// Outputs a hostile test damaged: paths that are no regular file, read-only
// files, temporary files left by killed runs, and export names that collide
// or break the Scala script.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <thread>
#include <sstream>

#include "TestSupport.h"
#include "reliability/CliRunFixture.h"
#include "reliability/ToolRun.h"
#include "cli/Cli.h"
#include "export/ExportNames.h"
#include "app/DataDirs.h"
#include "io/SettingsFile.h"
#include "settings/Settings.h"

namespace fs = std::filesystem;

namespace {
std::string readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
void writeText(const fs::path& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }
unsigned modeOf(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return unsigned(st.st_mode & 07777);
}
}  // namespace

class HostileOutput : public CliRunTest {
protected:
    std::string srt() {
        const fs::path p = dir / "in.srt";
        writeText(p, "1\n00:00:01,000 --> 00:00:02,000\nHello\n\n");
        return p.string();
    }
    // A project of one timed set in the test folder.
    std::string project(const std::string& name, const std::string& text, const std::string& timing =
                                                                                  "00:00:01:00>00:00:02:00") {
        const fs::path p = dir / (name + ".KVL8");
        writeText(p, "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
                     "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
                     "##-Number of lines/pages: 2 / 1\r\n##-Word count: 1\r\n##-User Timed Session: 0\r\n##-;\r\n"
                     "A0000||" + timing + "||430\r\nB0000|" + text + "|" + timing + "||430\r\n");
        return p.string();
    }
};

TEST_F(HostileOutput, OutputFoldersThatCannotBeCheckedEndTheExportWithAMessage) {
    ASSERT_TRUE(started);
    const std::string film = project("film", "Hello");
    const std::string loopMessage = "Too many levels of symbolic links";
    // Each export's folder as a link to itself.
    const struct {
        const char* kind;
        const char* folder;
    } exports[] = {{"png", "PNG_Output"},   {"iff", "IFF-SCALA_Output"}, {"bdn", "BDN_Output"},
                   {"sup", "SUP_Output"},   {"vobsub", "VobSub_Output"}, {"dvb", "DVB_Output"},
                   {"srt", "SRT_Output"},   {"vtt", "VTT_Output"},       {"avi", "AVI_Output"},
                   {"overlay", "OVERLAY_Output"}};
    for (const auto& e : exports) {
        SCOPED_TRACE(e.kind);
        fs::create_symlink(e.folder, dir / e.folder);
        Run r = cli({"export", e.kind, film});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find(loopMessage), std::string::npos) << r.err;
        EXPECT_TRUE(fs::is_symlink(dir / e.folder));
    }

    // The window's Save Preset into a settings folder that is a loop keeps
    // the program, the list and the presets.
    fs::create_directories(dir / "config");
    fs::create_symlink("kalvero", dir / "config" / "kalvero");
    state.userConfigDir = (dir / "config" / "kalvero").string() + "/";
    type(ctl::LineA, "unsaved");
    const size_t presets = state.presets.size();
    slide(ctl::BlendSlider, 100);
    ui.messages.clear();
    ui.inputAnswers = {std::string("Mine")};
    click(ctl::SavePreset);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Error!");
    EXPECT_NE(ui.messages[0].text.find(loopMessage), std::string::npos) << ui.messages[0].text;
    EXPECT_EQ(state.presets.size(), presets);
    EXPECT_EQ(row(0), "unsaved");
}

TEST_F(HostileOutput, OutputPathsThatAreNoRegularFileOrAreReadOnlyAreKept) {
    ASSERT_TRUE(started);
    const std::string in = srt();
    // A FIFO (as a device node would be) stays what it is.
    const fs::path fifo = dir / "fifo.KVL8";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Run r = cli({"import-srt", in, "-o", fifo.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "kalvero-cli: cannot write " + fifo.string() + ": is not a regular file; it is left as it is\n");
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(cli({"render", "--line-a", "a", "--line-b", "b", "--target", "alpha", "-o", fifo.string()}).code, 1);
    EXPECT_TRUE(fs::is_fifo(fifo));

    // A read-only file is kept unless --force, which keeps its mode.
    const fs::path locked = dir / "locked.KVL8";
    writeText(locked, "precious");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read);
    r = cli({"import-srt", in, "-o", locked.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "kalvero-cli: cannot write " + locked.string() + ": is read-only; it is left as it is\n");
    EXPECT_EQ(readBytes(locked), "precious");
    r = cli({"import-srt", in, "-o", locked.string(), "--force"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(readBytes(locked).find("|Hello|"), std::string::npos);
    EXPECT_EQ(modeOf(locked), 0440u);

    // A replaced file keeps its mode; a new one gets 0644.
    const fs::path privateFile = dir / "private.KVL8";
    writeText(privateFile, "old");
    fs::permissions(privateFile, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(cli({"import-srt", in, "-o", privateFile.string()}).code, 0);
    EXPECT_EQ(modeOf(privateFile), 0600u);
    EXPECT_EQ(cli({"import-srt", in, "-o", (dir / "new.KVL8").string()}).code, 0);
    EXPECT_EQ(modeOf(dir / "new.KVL8"), 0644u);

    // The window's writes follow the same rule.
    EXPECT_FALSE(files::writeFileAtomic(fifo.string(), "x"));
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(HostileOutput, TemporaryFilesOfKilledRunsAreRemovedByTheNextRun) {
    ASSERT_TRUE(started);
    const fs::path folder = dir / "PNG_Output";
    fs::create_directories(folder);
    // A process that is gone, and this one (alive).
    pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    const fs::path stale = folder / (".kalvero-tmp-" + std::to_string(child) + "-42-demo0001.png");
    const fs::path live = folder / (".kalvero-tmp-" + std::to_string(getpid()) + "-43-demo0002.png");
    const fs::path other = folder / ".kalvero-tmp-notanumber";
    for (const fs::path& p : {stale, live, other}) writeText(p, std::string(1000, 'x'));

    // The name a write goes through tells which process writes it.
    const std::string tmp = files::temporaryPathFor((folder / "demo0003.png").string());
    EXPECT_EQ(tmp.rfind((folder / (".kalvero-tmp-" + std::to_string(getpid()) + "-")).string(), 0), 0u) << tmp;
    EXPECT_EQ(tmp.substr(tmp.size() - 13), "-demo0003.png");

    ASSERT_TRUE(files::writeFileAtomic((folder / "demo0003.png").string(), "new"));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(other));
    // Nothing of the write itself is left behind.
    int temporaries = 0;
    for (const std::string& name : testsupport::filesIn(folder)) temporaries += name.rfind(".kalvero-tmp-", 0) == 0;
    EXPECT_EQ(temporaries, 2);
}

TEST(HostileNames, SixteenCharacterNamesAreCutBetweenCharactersAndCleaned) {
    using exportnames::name16;
    // At most 16 bytes, as the single-byte names always had, never half a
    // character.
    std::string e17;
    for (int i = 0; i < 17; ++i) e17 += "\xC3\xA9";
    EXPECT_EQ(name16(e17), e17.substr(0, 16));
    EXPECT_EQ(name16("abcdefghijklmno\xE2\x82\xAC!"), "abcdefghijklmno");
    // Not UTF-8: cut byte by byte as before.
    EXPECT_EQ(name16("caf\xE9 caf\xE9 caf\xE9 caf\xE9"), "caf\xE9 caf\xE9 caf\xE9 c");
    EXPECT_EQ(name16("x\"\nEXIT\n\""), "x__EXIT__");
    EXPECT_EQ(name16("tab\there\r"), "tab_here_");
}

TEST(HostileNames, ProjectsSharingSixteenCharactersGetTheirOwnNamesInAFolder) {
    const fs::path dir = testsupport::tempPath("kalvero-hostile-names");
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string folder = dir.string() + "/";
    using exportnames::uniqueName16;
    EXPECT_EQ(uniqueName16(folder, "LongProjectName_A"), "LongProjectName_");
    EXPECT_EQ(uniqueName16(folder, "LongProjectName_B"), "LongProjectNam_2");
    EXPECT_EQ(uniqueName16(folder, "LongProjectName_A"), "LongProjectName_");
    EXPECT_EQ(uniqueName16(folder, "LongProjectName_C"), "LongProjectNam_3");
    EXPECT_EQ(uniqueName16(folder, "LongProjectName_B"), "LongProjectNam_2");
    EXPECT_EQ(uniqueName16(folder, "short"), "short");

    // Runs at the same time choose apart.
    std::vector<std::string> got(8);
    std::vector<std::thread> runs;
    for (int i = 0; i < 8; ++i)
        runs.emplace_back([&, i] { got[size_t(i)] = uniqueName16(folder, "SameSixteenChars-" + std::to_string(i)); });
    for (std::thread& t : runs) t.join();
    std::sort(got.begin(), got.end());
    EXPECT_EQ(std::unique(got.begin(), got.end()), got.end());
    for (const std::string& n : got) EXPECT_LE(n.size(), 16u) << n;
    fs::remove_all(dir);
}

TEST_F(HostileOutput, IffExportsOfTwoProjectsInOneFolderKeepEachOthersFiles) {
    ASSERT_TRUE(started);
    auto project = [&](const std::string& name, const std::string& text) {
        const fs::path p = dir / (name + ".KVL8");
        writeText(p, "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
                     "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
                     "##-Number of lines/pages: 2 / 1\r\n##-Word count: 1\r\n##-User Timed Session: 0\r\n##-;\r\n"
                     "A0000||00:00:01:00>00:00:02:00||430\r\nB0000|" + text + "|00:00:01:00>00:00:02:00||430\r\n");
        return p.string();
    };
    const std::string first = project("Season one episode 1", "first");
    const std::string second = project("Season one episode 2", "second");
    ASSERT_EQ(cli({"export", "iff", first}).code, 0);
    const fs::path out = dir / "IFF-SCALA_Output";
    const std::string firstPicture = readBytes(out / "Season one episo0001.iff");
    ASSERT_FALSE(firstPicture.empty());
    Run r = cli({"export", "iff", second});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readBytes(out / "Season one episo0001.iff"), firstPicture);
    EXPECT_EQ(testsupport::filesIn(out),
              (std::vector<std::string>{".kalvero-names", "Season one epi_2.script", "Season one epi_20001.iff",
                                        "Season one epi_2_poster.iff", "Season one episo.script",
                                        "Season one episo0001.iff", "Season one episo_poster.iff"}));
    const std::string script = readBytes(out / "Season one epi_2.script");
    EXPECT_NE(script.find("PICTURE \"Season one epi_2_poster.iff\"\n"), std::string::npos);
    EXPECT_NE(script.find("PICTURE \"Season one epi_20001.iff\"\n"), std::string::npos);

    // A name made to add a command to the script adds nothing.
    const std::string hostile = project("x\"\nEXIT\n\"", "boom");
    ASSERT_EQ(cli({"export", "iff", hostile}).code, 0);
    const std::string evil = readBytes(out / "x__EXIT__.script");
    ASSERT_FALSE(evil.empty());
    size_t exits = 0;
    for (size_t at = evil.find("\nEXIT\n"); at != std::string::npos; at = evil.find("\nEXIT\n", at + 1)) ++exits;
    EXPECT_EQ(exits, 1u);
    EXPECT_NE(evil.find("PICTURE \"x__EXIT__0001.iff\"\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(out / "x__EXIT__0001.iff"));
}

TEST_F(HostileOutput, NamesFromTheNameListStayPlainFileNamesInTheFolder) {
    ASSERT_TRUE(started);
    const std::string film = project("film", "Hello");
    const fs::path out = dir / "IFF-SCALA_Output";
    fs::create_directories(out / "sub");
    // Lines of a damaged or planted list: none of their names is used.
    for (const std::string name : {"../../../ESCAPED", "../ESCAPED", "..", ".", "sub/ESCAPED", "a\\b", "\"q\"",
                                   "seventeen_bytes_x", ""}) {
        SCOPED_TRACE(name);
        writeText(out / ".kalvero-names", name + "\tfilm\n");
        Run r = cli({"export", "iff", film});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_TRUE(fs::exists(out / "film0001.iff"));
        EXPECT_TRUE(fs::exists(out / "film.script"));
        for (const fs::path& where : {dir.parent_path().parent_path(), dir.parent_path(), dir, out, out / "sub"})
            for (const char* escaped : {"ESCAPED0001.iff", "ESCAPED.script", "0001.iff", "b0001.iff"})
                EXPECT_FALSE(fs::exists(where / escaped)) << where / escaped;
        fs::remove(out / "film0001.iff");
    }

    // A list that is a folder, a link or too large is refused with its
    // reason, and nothing is written.
    fs::remove_all(out);
    fs::create_directories(out);
    writeText(dir / "elsewhere", "other\tfilm\n");
    const struct {
        const char* what;
        std::function<void()> make;
        const char* reason;
    } lists[] = {
        {"folder", [&] { fs::create_directory(out / ".kalvero-names"); }, "is a folder, not a file"},
        {"link", [&] { fs::create_symlink(dir / "elsewhere", out / ".kalvero-names"); }, "is a symbolic link"},
        {"large", [&] {
             writeText(out / ".kalvero-names", "");
             fs::resize_file(out / ".kalvero-names", (16u << 20) + 1);
         }, "is larger than 16 MiB"},
    };
    for (const auto& l : lists) {
        SCOPED_TRACE(l.what);
        l.make();
        Run r = cli({"export", "iff", film});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find(".kalvero-names cannot be used: it " + std::string(l.reason)), std::string::npos) << r.err;
        EXPECT_EQ(testsupport::filesIn(out), std::vector<std::string>{".kalvero-names"}) << r.err;
        fs::remove_all(out / ".kalvero-names");
    }
    EXPECT_EQ(readBytes(dir / "elsewhere"), "other\tfilm\n");
}

class HostileMovieOutput : public HostileOutput {
protected:
    void SetUp() override {
        HostileOutput::SetUp();
        if (!toolrun::haveFfmpeg()) GTEST_SKIP() << "the FFmpeg tools are not installed";
        movie = (dir / "movie.mp4").string();
        toolrun::Output made = toolrun::run("ffmpeg -v error -f lavfi -i testsrc=s=720x576:r=25:d=1 -c:v libx264 "
                                            "-pix_fmt yuv420p -y " + toolrun::quoted(movie));
        ASSERT_EQ(made.code, 0) << made.text;
    }
    // Every writer of a movie or a stream track: its arguments and the files
    // it makes, relative to the test folder.
    struct Writer {
        const char* name;
        std::vector<std::string> args;
        std::vector<std::string> outputs;
    };
    std::vector<Writer> writers(const std::string& film) {
        return {{"burn", {"burn", movie, film, "-o", (dir / "burn" / "burned.mp4").string()}, {"burn/burned.mp4"}},
                {"overlay", {"export", "overlay", film}, {"OVERLAY_Output/film_overlay.mov"}},
                {"vobsub", {"export", "vobsub", film},
                 {"VobSub_Output/film.sub", "VobSub_Output/film.idx", "VobSub_Output/film.mks"}},
                {"dvb", {"export", "dvb", film}, {"DVB_Output/film.ts"}},
                {"avi", {"export", "avi", film}, {"AVI_Output/film_subtitles.avi"}}};
    }
    std::string movie;
};

TEST_F(HostileMovieOutput, FinalNamesThatAreNoRegularFileOrAreReadOnlyAreKept) {
    ASSERT_TRUE(started);
    const std::string film = project("film", "Hello", "00:00:00:05>00:00:00:20");
    for (const Writer& w : writers(film)) {
        SCOPED_TRACE(w.name);
        const fs::path target = dir / w.outputs[0];
        fs::create_directories(target.parent_path());
        // A FIFO: never replaced, --force or not.
        ASSERT_EQ(::mkfifo(target.c_str(), 0600), 0);
        for (bool force : {false, true}) {
            std::vector<std::string> args = w.args;
            if (force) args.push_back("--force");
            Run r = cli(args);
            EXPECT_EQ(r.code, 1);
            EXPECT_NE(r.err.find("is not a regular file; it is left as it is"), std::string::npos) << r.err;
            EXPECT_TRUE(fs::is_fifo(target));
        }
        fs::remove(target);
        // A read-only file: kept, replaced with --force.
        writeText(target, "precious");
        fs::permissions(target, fs::perms::owner_read);
        Run r = cli(w.args);
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("is read-only; it is left as it is"), std::string::npos) << r.err;
        EXPECT_EQ(readBytes(target), "precious");
        std::vector<std::string> forced = w.args;
        forced.push_back("--force");
        r = cli(forced);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_NE(readBytes(target), "precious");
        toolrun::Output probe = toolrun::run("ffprobe -v error " + toolrun::quoted((dir / w.outputs.back()).string()));
        EXPECT_EQ(probe.code, 0) << probe.text;
        // No temporary file of any run is left in the folder.
        for (const std::string& name : testsupport::filesIn(target.parent_path()))
            EXPECT_EQ(name.find(".kalvero-tmp-"), std::string::npos) << name;
    }
}

TEST_F(HostileMovieOutput, TemporariesAreFreshNamesAndThoseOfKilledRunsGo) {
    ASSERT_TRUE(started);
    const std::string film = project("film", "Hello", "00:00:00:05>00:00:00:20");
    pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    writeText(dir / "victim", "victim");
    for (const Writer& w : writers(film)) {
        SCOPED_TRACE(w.name);
        const fs::path target = dir / w.outputs[0];
        const fs::path folder = target.parent_path();
        fs::create_directories(folder);
        // What a run killed with -9 leaves, and links planted under the
        // names temporaries once had.
        const fs::path stale = folder / (".kalvero-tmp-" + std::to_string(child) + "-7-" + target.filename().string());
        writeText(stale, "half a movie");
        std::vector<fs::path> planted;
        for (const std::string& out : w.outputs)
            for (const char* suffix : {".part", ".tmp1", ".tmp42"}) {
                planted.push_back(dir / (out + suffix));
                fs::create_symlink(dir / "victim", planted.back());
            }
        Run r = cli(w.args);
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_FALSE(fs::exists(stale));
        EXPECT_EQ(readBytes(dir / "victim"), "victim");
        for (const fs::path& p : planted) EXPECT_TRUE(fs::is_symlink(p)) << p;
        for (const std::string& out : w.outputs) EXPECT_TRUE(fs::is_regular_file(dir / out)) << out;
    }

    // Two runs of one project at once: both finish, and the files are whole.
    for (const char* kind : {"vobsub", "dvb"}) {
        SCOPED_TRACE(kind);
        const std::string one = toolrun::tool("kalvero-cli") + " --program-dir " + toolrun::quoted(dir.string()) +
                                " export " + kind + " " + toolrun::quoted(film) + " > /dev/null";
        for (int round = 0; round < 3; ++round) {
            toolrun::Output o = toolrun::run("(" + one + ") & p1=$!; (" + one + ") & p2=$!; " + one +
                                             "; e=$?; wait $p1 || e=1; wait $p2 || e=1; exit $e");
            EXPECT_EQ(o.code, 0) << o.text;
        }
        const fs::path track = dir / (kind[0] == 'v' ? "VobSub_Output/film.idx" : "DVB_Output/film.ts");
        toolrun::Output probe = toolrun::run("ffprobe -v error -show_entries packet=pts_time -of csv=p=0 " +
                                             toolrun::quoted(track.string()));
        EXPECT_EQ(probe.code, 0) << probe.text;
        EXPECT_FALSE(probe.text.empty());
        for (const std::string& name : testsupport::filesIn(track.parent_path()))
            EXPECT_EQ(name.find(".kalvero-tmp-"), std::string::npos) << name;
    }
}

TEST_F(HostileOutput, PresetsAreNeverSavedIntoTheShippedSettingsAndMergeWithOtherWindows) {
    ASSERT_TRUE(started);
    const fs::path ini = dir / "Kalvero.ini";
    const std::string shipped = readBytes(ini);
    // Neither HOME nor XDG_CONFIG_HOME: no folder of the user's.
    DataDirs none = findDataDirs((dir / "kalvero").string(), dir.string(), UserEnvironment{});
    ASSERT_EQ(none.programDir, dir.string() + "/");
    EXPECT_EQ(settingsWritePath(none, "Kalvero.ini"), "");
    state.programDirShipped = true;
    slide(ctl::BlendSlider, 100);
    ui.messages.clear();
    ui.inputAnswers = {std::string("Mine")};
    click(ctl::SavePreset);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, std::string("Could not save the preset:\n") + kNoUserSettingsFolder);
    EXPECT_EQ(readBytes(ini), shipped);

    // Another window saves a preset after this one started; both stay.
    fs::create_directories(dir / "config");
    state.userConfigDir = (dir / "config").string() + "/";
    const fs::path user = dir / "config" / "Kalvero.ini";
    std::string error;
    std::vector<Preset> theirs;
    Preset other = state.presets[0];
    other.name = "Other window";
    other.programDefault = 0;
    ASSERT_TRUE(saveUserPreset(state.dataDirs(), "Kalvero.ini", other, theirs, error)) << error;
    ui.inputAnswers = {std::string("Mine")};
    click(ctl::SavePreset);
    std::vector<std::string> names;
    for (const Preset& p : parseSettings(readBytes(user)).presets) names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Default", "Grey", "Other window", "Mine"}));
    ASSERT_EQ(state.presets.size(), 4u);
    EXPECT_EQ(state.presets[size_t(state.presetIndex)].name, "Mine");
    EXPECT_EQ(readBytes(ini), shipped);

    // Many saving at once: every preset arrives, and no temporary is left.
    std::vector<std::thread> savers;
    for (int i = 0; i < 8; ++i)
        savers.emplace_back([&, i] {
            Preset p = other;
            p.name = "Saver " + std::to_string(i);
            std::vector<Preset> after;
            std::string why;
            EXPECT_TRUE(saveUserPreset(state.dataDirs(), "Kalvero.ini", p, after, why)) << why;
        });
    for (std::thread& t : savers) t.join();
    EXPECT_EQ(parseSettings(readBytes(user)).presets.size(), 12u);
    EXPECT_EQ(testsupport::filesIn(dir / "config"), std::vector<std::string>{"Kalvero.ini"});
}

// A phone movie stored 1280 x 720 that players turn a quarter clockwise.
class PortraitBurn : public HostileMovieOutput {
protected:
    std::string iniText() override {
        std::string ini = kIni;
        ini.insert(ini.find("[Presets]"), "Profile = 720|1280|Portrait|1100|32|25\r\n");
        return ini;
    }
};

TEST_F(PortraitBurn, TurnedMoviesKeepTheirTurnAndShowTheCaptionsUpright) {
    ASSERT_TRUE(started);
    const std::string phone = (dir / "phone.mp4").string();
    const std::string stored = (dir / "stored.mp4").string();
    toolrun::Output made = toolrun::run("ffmpeg -v error -f lavfi -i color=c=gray:s=1280x720:r=25:d=1 -c:v libx264 "
                                        "-pix_fmt yuv420p -y " + toolrun::quoted(stored) + " && ffmpeg -v error -i " +
                                        toolrun::quoted(stored) + " -c copy -metadata:s:v:0 rotate=90 -y " +
                                        toolrun::quoted(phone));
    ASSERT_EQ(made.code, 0) << made.text;
    auto rotationOf = [](const std::string& movie) {
        return toolrun::run("ffprobe -v error -select_streams v -show_entries stream_side_data=rotation -of csv=p=0 " +
                            toolrun::quoted(movie)).text;
    };
    const std::string turned = rotationOf(phone);
    ASSERT_FALSE(turned.empty()) << "the test movie has no display matrix";
    const fs::path film = dir / "portrait.KVL8";
    writeText(film, "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 1280\r\n"
                    "##-Profile: 6\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
                    "##-Number of lines/pages: 2 / 1\r\n##-Word count: 1\r\n##-User Timed Session: 0\r\n##-;\r\n"
                    "A0000||00:00:00:05>00:00:00:20||1100\r\nB0000|WIDE CAPTION TEXT|00:00:00:05>00:00:00:20||1100\r\n");
    const std::string out = (dir / "burned.mp4").string();
    Run r = cli({"burn", phone, film.string(), "-o", out});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err.find("scaled"), std::string::npos) << r.err;  // the project has the viewer's size

    // The turn is kept...
    EXPECT_EQ(rotationOf(out), turned);
    // ...and FFmpeg, turning the picture as players do, shows the caption as
    // a wide band low in the upright 720 x 1280 picture.
    const fs::path raw = dir / "frame.gray";
    toolrun::Output frame = toolrun::run("ffmpeg -v error -ss 0.4 -i " + toolrun::quoted(out) +
                                         " -frames:v 1 -f rawvideo -pix_fmt gray -y " + toolrun::quoted(raw.string()));
    ASSERT_EQ(frame.code, 0) << frame.text;
    const std::string pixels = readBytes(raw);
    ASSERT_EQ(pixels.size(), size_t(720 * 1280));
    int x0 = 720, x1 = -1, y0 = 1280, y1 = -1;
    for (int y = 0; y < 1280; ++y)
        for (int x = 0; x < 720; ++x)
            if (std::abs(int(uint8_t(pixels[size_t(y) * 720 + size_t(x)])) - 128) > 40)
                x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    ASSERT_GE(x1, 0) << "no caption in the picture";
    EXPECT_GT(x1 - x0, 3 * (y1 - y0)) << x0 << "," << y0 << " .. " << x1 << "," << y1;
    EXPECT_GT(y0, 900);
}
