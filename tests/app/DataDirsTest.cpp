#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "FakeUi.h"
#include "app/ControlIds.h"
#include "app/Controller.h"
#include "app/DataDirs.h"
#include "app/StartupOptions.h"
#include "io/Files.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

const char* const kShipped =
    "[Global]\r\nStartupProfile = 1\r\nPreset = 0\r\n"
    "[Profiles]\r\n"
    "Profile = ----- SD -----\r\n"
    "Profile = 720|576|PAL|430|32|25\r\n"
    "[Presets]\r\n"
    "Preset = Default|0,0,0|1|0|254|0|0,0,160|0|-1|46|1|1|20\r\n";

// A temporary tree laid out like an installed program and a home folder.
class DataDirsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = testsupport::tempPath("kalvero-dirs-" +
                                      std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
        fs::create_directories(root / "usr/bin");
        fs::create_directories(root / "usr/share/kalvero");
        fs::create_directories(root / "home");
        write(root / "usr/share/kalvero/Kalvero.ini", kShipped);
        env.home = (root / "home").string();
    }
    void TearDown() override { fs::remove_all(root); }
    static void write(const fs::path& p, const std::string& s) {
        fs::create_directories(p.parent_path());
        ASSERT_TRUE(files::writeFileAtomic(p.string(), s));
    }
    static std::string read(const fs::path& p) {
        std::string s;
        EXPECT_TRUE(files::readFile(p.string(), s));
        return s;
    }
    std::string exe() const { return (root / "usr/bin/kalvero").string(); }
    std::string share() const { return (root / "usr/share/kalvero").string() + "/"; }

    fs::path root;
    UserEnvironment env;
};

TEST_F(DataDirsTest, ShippedDataBesideTheProgramOrInShareRelativeToIt) {
    // Installed: ../share/kalvero, written without "..".
    DataDirs d = findDataDirs(exe(), "/", env);
    EXPECT_EQ(d.programDir, share());

    // The whole tree moved elsewhere still finds its data.
    fs::rename(root / "usr", root / "opt");
    d = findDataDirs((root / "opt/bin/kalvero").string(), "/", env);
    EXPECT_EQ(d.programDir, (root / "opt/share/kalvero").string() + "/");

    // A settings file beside the program (a build tree) comes first.
    write(root / "opt/bin/Kalvero.ini", kShipped);
    d = findDataDirs((root / "opt/bin/kalvero").string(), "/", env);
    EXPECT_EQ(d.programDir, (root / "opt/bin").string() + "/");

    // Neither: the folder beside the program, so the error names it.
    d = findDataDirs((root / "home/kalvero").string(), "/", env);
    EXPECT_EQ(d.programDir, (root / "home").string() + "/");

    // An explicit folder keeps everything there.
    d = fixedDataDirs("/some/where");
    EXPECT_EQ(d.programDir, "/some/where/");
    EXPECT_TRUE(d.userConfigDir.empty());
    EXPECT_TRUE(d.userDataDir.empty());
    EXPECT_EQ(settingsWritePath(d, "Kalvero.ini"), "/some/where/Kalvero.ini");
    EXPECT_EQ(fontSheetFolders(d), std::vector<std::string>{"/some/where/"});
}

TEST_F(DataDirsTest, UserFoldersFollowTheXdgVariables) {
    DataDirs d = findDataDirs(exe(), "/", env);
    EXPECT_EQ(d.userConfigDir, env.home + "/.config/kalvero/");
    EXPECT_EQ(d.userDataDir, env.home + "/.local/share/kalvero/");
    EXPECT_EQ(fontSheetFolders(d), (std::vector<std::string>{d.userDataDir, share()}));

    env.xdgConfigHome = "/cfg";
    env.xdgDataHome = "/data/";
    d = findDataDirs(exe(), "/", env);
    EXPECT_EQ(d.userConfigDir, "/cfg/kalvero/");
    EXPECT_EQ(d.userDataDir, "/data/kalvero/");

    // Relative values are ignored; without a home there is no user folder.
    env.xdgConfigHome = "cfg";
    env.xdgDataHome = "";
    d = findDataDirs(exe(), "/", env);
    EXPECT_EQ(d.userConfigDir, env.home + "/.config/kalvero/");
    env = UserEnvironment{};
    d = findDataDirs(exe(), "/", env);
    EXPECT_TRUE(d.userConfigDir.empty());
    EXPECT_TRUE(d.userDataDir.empty());
    // The shipped file is never the one written.
    EXPECT_EQ(settingsWritePath(d, "Kalvero.ini"), "");
    std::string error;
    EXPECT_FALSE(saveUserPresets(d, "Kalvero.ini", {}, error));
    EXPECT_EQ(error, kNoUserSettingsFolder);
    EXPECT_EQ(settingsWritePath(fixedDataDirs("/data"), "Kalvero.ini"), "/data/Kalvero.ini");
}

TEST_F(DataDirsTest, PresetsGoToTheUsersCopyAndNeverToTheShippedFile) {
    DataDirs d = findDataDirs(exe(), "/", env);
    fs::path user = root / "home/.config/kalvero/Kalvero.ini";
    EXPECT_EQ(settingsReadPath(d, "Kalvero.ini"), share() + "Kalvero.ini");

    Settings s = parseSettings(kShipped);
    Preset mine = s.presets[0];
    mine.name = "Mine";
    mine.programDefault = 0;
    s.presets.push_back(mine);
    std::string error;
    ASSERT_TRUE(saveUserPresets(d, "Kalvero.ini", s.presets, error)) << error;
    EXPECT_EQ(read(root / "usr/share/kalvero/Kalvero.ini"), kShipped);
    EXPECT_EQ(settingsReadPath(d, "Kalvero.ini"), user.string());
    Settings onDisk = parseSettings(read(user));
    ASSERT_EQ(onDisk.presets.size(), 2u);
    EXPECT_EQ(onDisk.presets[1].name, "Mine");
    EXPECT_EQ(onDisk.profiles.size(), 2u);

    // Later saves start from the user's copy and keep what the user changed there.
    std::string edited = read(user);
    edited.replace(edited.find("PAL"), 3, "My PAL");
    write(user, edited);
    s.presets.pop_back();
    ASSERT_TRUE(saveUserPresets(d, "Kalvero.ini", s.presets, error)) << error;
    onDisk = parseSettings(read(user));
    EXPECT_EQ(onDisk.presets.size(), 1u);
    EXPECT_EQ(onDisk.profiles[1].name, "My PAL");
    EXPECT_EQ(read(root / "usr/share/kalvero/Kalvero.ini"), kShipped);
    for (const auto& e : fs::directory_iterator(user.parent_path()))
        EXPECT_EQ(e.path().filename(), "Kalvero.ini") << "left behind: " << e.path();

    // A config folder that cannot be made: an error, and nothing written.
    fs::remove_all(root / "home/.config");
    write(root / "home/.config", "a file where the folder should be");
    EXPECT_FALSE(saveUserPresets(d, "Kalvero.ini", s.presets, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(read(root / "usr/share/kalvero/Kalvero.ini"), kShipped);
}

TEST(StartupOptionsTest, OptionsBeforeTheProjectFile) {
    StartupOptions o = parseStartupOptions({});
    EXPECT_FALSE(o.help || o.version);
    EXPECT_TRUE(o.rest.empty());

    o = parseStartupOptions({"--program-dir", "/data", "my.KVL8"});
    EXPECT_EQ(o.programDir, "/data");
    EXPECT_EQ(o.rest, std::vector<std::string>{"my.KVL8"});

    o = parseStartupOptions({"--version"});
    EXPECT_TRUE(o.version);
    o = parseStartupOptions({"-h"});
    EXPECT_TRUE(o.help);

    // "--" ends the options; toolkit options and files are left alone.
    o = parseStartupOptions({"--", "--help"});
    EXPECT_FALSE(o.help);
    EXPECT_EQ(o.rest, std::vector<std::string>{"--help"});
    o = parseStartupOptions({"--display", ":3", "a.KVL8"});
    EXPECT_EQ(o.rest, (std::vector<std::string>{"--display", ":3", "a.KVL8"}));
    o = parseStartupOptions({"a.KVL8", "--version"});
    EXPECT_FALSE(o.version);

    EXPECT_FALSE(parseStartupOptions({"--program-dir"}).error.empty());
    EXPECT_FALSE(parseStartupOptions({"--program-dir", ""}).error.empty());
}

// The windowed program's start in an installed tree: the user's settings
// and font sheets are used, the shipped ones are left alone.
class InstalledStartTest : public DataDirsTest {
protected:
    void SetUp() override {
        DataDirsTest::SetUp();
        fs::create_directory_symlink(fs::path(KALVERO_BIN_DIR) / "includes", root / "usr/share/kalvero/includes");
        setenv("XDG_CONFIG_HOME", (root / "home/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (root / "home/data").c_str(), 1);
        ui.setDesktopSize(2560, 1600);
    }
    void TearDown() override {
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("XDG_DATA_HOME");
        DataDirsTest::TearDown();
    }
    bool start() {
        controller = std::make_unique<Controller>(state, ui);
        if (!controller->prepare(exe(), "/")) return false;
        ui.buildMainWindow();
        controller->windowBuilt();
        return true;
    }
    std::vector<std::string> fontSizes() {
        std::vector<std::string> items;
        for (int i = 0; i < ui.itemCount(ctl::FontSizeList); ++i) items.push_back(ui.itemText(ctl::FontSizeList, i));
        return items;
    }
    AppState state;
    FakeUi ui;
    std::unique_ptr<Controller> controller;
};

TEST_F(InstalledStartTest, SavePresetWritesTheUsersCopyAndUsesTheUsersSheets) {
    // Extra sheets of a size the program does not ship.
    fs::create_directories(root / "home/data/kalvero/includes");
    for (const char* suffix : {"_0000.png", "_0500.png", "_1000.png", "_1500.png"})
        fs::copy_file(fs::path(KALVERO_BIN_DIR) / "includes" / (std::string("FontBitmap_32") + suffix),
                      root / "home/data/kalvero/includes" / (std::string("FontBitmap_33") + suffix));
    ASSERT_TRUE(start());
    EXPECT_EQ(state.programDir, share());
    std::vector<std::string> sizes = fontSizes();
    auto has = [&](const std::string& size) {
        return std::any_of(sizes.begin(), sizes.end(), [&](const std::string& s) { return s.rfind(size, 0) == 0; });
    };
    EXPECT_TRUE(has("32"));
    EXPECT_TRUE(has("33"));

    // Sheets that only the user has load without a complaint.
    state.style.fontSize = 33;
    state.fontSheetsDirty = 1;
    controller->reloadFontSheets();
    EXPECT_EQ(ui.countMessages("Error#10"), 0);

    ui.inputAnswers = {std::string("Mine")};
    controller->dispatch(ui.eventFor(ctl::SavePreset));
    EXPECT_EQ(ui.countMessages("Error!"), 0);
    EXPECT_EQ(read(root / "usr/share/kalvero/Kalvero.ini"), kShipped);
    Settings user = parseSettings(read(root / "home/config/kalvero/Kalvero.ini"));
    ASSERT_EQ(user.presets.size(), 2u);
    EXPECT_EQ(user.presets[1].name, "Mine");

    // The next start reads the user's copy.
    state = AppState{};
    ASSERT_TRUE(start());
    ASSERT_EQ(state.presets.size(), 2u);
    EXPECT_EQ(state.presets[1].name, "Mine");
}

TEST_F(InstalledStartTest, ABrokenUserCopyFallsBackToTheShippedSettings) {
    write(root / "home/config/kalvero/Kalvero.ini", "[Global]\r\nnothing here\r\n");
    ASSERT_TRUE(start());
    EXPECT_EQ(ui.countMessages("Warning!"), 1);
    EXPECT_EQ(ui.countMessages("Severe error!"), 0);
    ASSERT_EQ(state.presets.size(), 1u);
    EXPECT_EQ(state.presets[0].name, "Default");
}

}  // namespace
