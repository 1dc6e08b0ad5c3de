// The command line's own descriptions: --help, the man page and the shell
// completion name the same commands and options, and profiles and presets
// are chosen by number or by name.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "cli/Cli.h"
#include "cli/CliSupport.h"
#include "io/Files.h"
#include "CliFixture.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string readSource(const std::string& relative) {
    std::string s;
    EXPECT_TRUE(files::readFile(std::string(KALVERO_SOURCE_DIR) + "/" + relative, s)) << relative;
    return s;
}

// The man page as plain text: font changes gone, "\-" a hyphen.
std::string manText() {
    std::string s = readSource("data/man/kalvero-cli.1");
    s = std::regex_replace(s, std::regex(R"(\\f[BIRP])"), "");
    return std::regex_replace(s, std::regex(R"(\\-)"), "-");
}

std::string helpText() {
    std::ostringstream out, err;
    EXPECT_EQ(runCli({"--help"}, out, err), 0);
    return out.str();
}

std::string joined(const std::set<std::string>& s) {
    std::string t;
    for (const std::string& x : s) t += x + " ";
    return t;
}

}  // namespace

TEST(CliHelpTest, HelpManPageAndCompletionNameTheSameCommandsAndOptions) {
    const std::string help = helpText(), man = manText(), completion = readSource("data/completion/kalvero-cli");
    EXPECT_EQ(joined(optionsIn(help)), joined(optionsIn(man)));

    for (const auto& [name, command] : cli::commands()) {
        EXPECT_TRUE(std::regex_search(help, std::regex("\n  " + name + "( |\n)"))) << name << " missing in --help";
        EXPECT_TRUE(std::regex_search(man, std::regex("\\.TP\n\\.BI? \"?" + name + "[ \"\n]"))) << name
                                                                                                 << " missing in the man page";
        EXPECT_TRUE(std::regex_search(completion, std::regex("compgen -W '[^']*\\b" + name + "\\b")))
            << name << " missing in the completion";
    }
    // Every word the help or the man page names as a command is one.
    const std::regex helpCommand("\n  ([a-z][a-z-]*)");
    for (auto it = std::sregex_iterator(help.begin(), help.end(), helpCommand); it != std::sregex_iterator(); ++it)
        EXPECT_EQ(cli::commands().count((*it)[1].str()), 1u) << (*it)[1].str();

    for (const char* format : {"png", "iff", "avi", "overlay", "bdn", "sup", "vobsub", "dvb", "srt", "vtt", "scc", "stl"}) {
        const std::regex line(std::string("export [^\n]*\\b") + format + "\\b");
        EXPECT_TRUE(std::regex_search(help, line)) << format;
        EXPECT_TRUE(std::regex_search(man, line)) << format;
        EXPECT_NE(completion.find(std::string(" ") + format), std::string::npos) << format;
    }
    for (const std::string& option : optionsIn(help)) {
        if (option != "-h" && option != "--help" && option != "--version" && option != "--program-dir") {
            EXPECT_NE(completion.find(option), std::string::npos) << option << " missing in the completion";
        }
    }
    EXPECT_NE(help.find("130"), std::string::npos);
    EXPECT_NE(man.substr(man.find(".SH EXIT STATUS")).find("130"), std::string::npos);
}

namespace {

class CliChoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testsupport::tempPath("kalvero-cli-choice-" + std::string(
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        ASSERT_TRUE(files::writeFileAtomic(path("in.srt"), "1\n00:00:01,000 --> 00:00:02,000\nHi\n\n"));
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string path(const std::string& name) { return (dir / name).string(); }
    cli::Exit run(std::vector<std::string> args, std::string& out, std::string& err,
                  const std::string& programDir = KALVERO_BIN_DIR) {
        args.insert(args.begin(), {"--program-dir", programDir});
        std::ostringstream o, e;
        const int code = runCli(args, o, e);
        out = o.str();
        err = e.str();
        return cli::Exit(code);
    }
    fs::path dir;
};

}  // namespace

TEST_F(CliChoiceTest, ProfilesAndPresetsAreListedWithTheirValues) {
    std::string out, err;
    ASSERT_EQ(run({"profiles"}, out, err), cli::Ok) << err;
    EXPECT_NE(out.find("0  ----- Standard definition -----  (separator line, cannot be chosen)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("1  PAL 25 fps: 720 x 576, 25 fps, strips Y 430, font size 32  (start-up profile)\n"),
              std::string::npos) << out;
    EXPECT_NE(out.find("2  NTSC 29.97 fps: 720 x 480, 29.97 fps, strips Y 356, font size 28\n"), std::string::npos);
    EXPECT_NE(out.find("4  ----- High definition -----  (separator line"), std::string::npos);

    ASSERT_EQ(run({"presets"}, out, err), cli::Ok) << err;
    EXPECT_NE(out.find("0  Rental Video Black Bars: strips 0,0,0, cut to text, border 0, blend 254, background 0,0,160, "
                       "word spacing -1, strips spacing 46, centred, crop 20  (start-up preset)\n"),
              std::string::npos) << out;
    EXPECT_EQ(run({"presets", "extra"}, out, err), cli::Usage);
}

TEST_F(CliChoiceTest, ProfileAndPresetByNumberOrName) {
    // A settings file where two presets differ only in case.
    const std::string own = path("own") + "/";
    fs::create_directories(own);
    ASSERT_TRUE(files::writeFileAtomic(own + "Kalvero.ini",
                                       "[Global]\nStartupProfile = 1\nPreset = 0\n[Profiles]\nProfile = --- SD ---\n"
                                       "Profile = 720|576|PAL|430|32|25\nProfile = 720|480|pal|356|28|29.97\n"
                                       "[Presets]\nPreset = Grey|48,48,48|0|1|190|0|0,0,0|0|-1|46|1|1|0\n"
                                       "Preset = Blue|0,0,136|1|1|230|0|0,0,0|0|-1|46|1|1|10\n"));
    struct Case {
        std::vector<std::string> options;
        std::string programDir;
        cli::Exit code;
        std::string expect;  // in the project file, or in the error
    };
    const std::string shipped = KALVERO_BIN_DIR;
    const std::vector<Case> cases = {
        {{"--profile", "2", "--preset", "3"}, shipped, cli::Ok, "##-Profile: 2\r\n##-Preset: 3\r\n"},
        {{"--profile", "NTSC 29.97 fps", "--preset", "Amiga Genlock Blue"}, shipped, cli::Ok,
         "##-Profile: 2\r\n##-Preset: 3\r\n"},
        {{"--profile", "full hd 1080 25 FPS"}, shipped, cli::Ok, "##-Profile: 7\r\n"},
        {{"--profile", "4"}, shipped, cli::Usage,
         "profile 4 is not a profile of the settings file. The profiles are: 1 PAL 25 fps, 2 NTSC 29.97 fps, "
         "3 Amiga Hires Lace Overscan 25 fps, 5 HD 720p 25 fps,"},
        {{"--profile", "----- High definition -----"}, shipped, cli::Usage, "The profiles are: 1 PAL 25 fps,"},
        {{"--profile", "HD"}, shipped, cli::Usage, "--profile HD is not a profile of the settings file."},
        {{"--preset", "99"}, shipped, cli::Usage, "The presets are: 0 Rental Video Black Bars, 1 Broadcast Grey Band,"},
        {{"--profile", "PAL"}, own, cli::Ok, "##-Profile: 1\r\n"},
        {{"--profile", "pal"}, own, cli::Ok, "##-Profile: 2\r\n"},
        {{"--profile", "Pal"}, own, cli::Usage,
         "--profile Pal names more than one profile; give its number. The profiles are: 1 PAL, 2 pal"},
        {{"--preset", "blue"}, own, cli::Ok, "##-Preset: 1\r\n"},
        {{"--preset", "Green"}, own, cli::Usage, "The presets are: 0 Grey, 1 Blue"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options[0] + " " + c.options[1]);
        fs::remove(path("o.KVL8"));
        std::vector<std::string> args = {"import-srt", path("in.srt"), "-o", path("o.KVL8")};
        args.insert(args.end(), c.options.begin(), c.options.end());
        std::string out, err;
        ASSERT_EQ(run(args, out, err, c.programDir), c.code) << err;
        if (c.code == cli::Ok) {
            std::string written;
            ASSERT_TRUE(files::readFile(path("o.KVL8"), written));
            EXPECT_NE(written.find(c.expect), std::string::npos) << written.substr(0, 200);
            EXPECT_EQ(out, "imported 1 cue into " + path("o.KVL8") + "\n");
        } else {
            EXPECT_NE(err.find(c.expect), std::string::npos) << err;
            EXPECT_FALSE(fs::exists(path("o.KVL8")));
        }
    }
}

TEST_F(CliChoiceTest, RenderCentreSwitchesAndAMissingFontSize) {
    std::string out, err;
    auto render = [&](std::vector<std::string> extra, const std::string& name) {
        std::vector<std::string> args = {"render", "--line-a", "Left or centre", "--line-b", "x", "--preset", "0",
                                         "--target", "alpha", "-o", path(name)};
        args.insert(args.end(), extra.begin(), extra.end());
        return run(args, out, err);
    };
    ASSERT_EQ(render({"--center"}, "c.png"), cli::Ok) << err;
    ASSERT_EQ(render({"--no-center"}, "n.png"), cli::Ok) << err;
    ASSERT_EQ(render({}, "d.png"), cli::Ok) << err;  // preset 0 centres
    std::string centred, left, preset;
    ASSERT_TRUE(files::readFile(path("c.png"), centred));
    ASSERT_TRUE(files::readFile(path("n.png"), left));
    ASSERT_TRUE(files::readFile(path("d.png"), preset));
    EXPECT_NE(centred, left);
    EXPECT_EQ(centred, preset);
    EXPECT_EQ(render({"--center", "--no-center"}, "b.png"), cli::Usage);
    EXPECT_NE(err.find("exclude each other"), std::string::npos);

    // A size without a sheet: one line naming the sizes there are.
    EXPECT_EQ(render({"--font-size", "97"}, "f.png"), cli::BadInput);
    EXPECT_EQ(err.find("Error#"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("for the font size 97; the font sizes there are: "), std::string::npos) << err;
    EXPECT_NE(err.find(", 32,"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(path("f.png")));
}
