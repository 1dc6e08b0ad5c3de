#pragma once
#include <gtest/gtest.h>

#include <filesystem>

#include "FakeUi.h"
#include "app/ControlIds.h"
#include "app/Controller.h"
#include "io/Files.h"
#include "TestSupport.h"

// A project of three timed sets (One, Two, Three), each with a line B.
inline constexpr const char* kThreeSetProject =
    "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
    "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
    "##-Number of lines/pages: 6 / 3\r\n##-Word count: 6\r\n##-User Timed Session: 0\r\n##-;\r\n"
    "A0000|One|00:00:01:00>00:00:02:00|25+25|430\r\nB0000|one b|00:00:01:00>00:00:02:00|25+25|430\r\n"
    "A0002|Two|00:00:03:00>00:00:04:00|25+25|430\r\nB0002|two b|00:00:03:00>00:00:04:00|25+25|430\r\n"
    "A0004|Three|00:00:05:00>00:00:06:00|25+25|430\r\nB0004|three b|00:00:05:00>00:00:06:00|25+25|430\r\n";

// Another copy of the program, started on the same program folder.
struct SecondProgram {
    AppState state;
    FakeUi ui;
    Controller controller{state, ui};
};

// A program folder of its own with a small settings file, a fake window and
// the controller started on them.
class ControllerTest : public ::testing::Test {
protected:
    static constexpr const char* kIni =
        "[Global]\r\nStartupProfile = 1\r\nPreset = 0\r\n"
        "[Profiles]\r\n"
        "Profile = ----- SD -----\r\n"
        "Profile = 720|576|PAL|430|32|25\r\n"
        "Profile = 704|576|PAL narrow|430|32|25\r\n"
        "Profile = 720|480|NTSC|356|28|29.97\r\n"
        "Profile = 720|480|NTSC 30|356|28|30\r\n"
        "Profile = 1920|1080|Full HD|810|56|25\r\n"
        "[Presets]\r\n"
        "Preset = Default|0,0,0|1|0|254|0|0,0,160|0|-1|46|1|1|20\r\n"
        "Preset = Grey|48,48,48|0|1|190|0|0,0,0|0|-1|46|0|0|0\r\n";

    void SetUp() override {
        dir = testsupport::freshTestDir("kalvero-ctl-");
        // The font sheets the build made.
        std::filesystem::create_directory_symlink(std::filesystem::path(KALVERO_BIN_DIR) / "includes", dir / "includes");
        ASSERT_TRUE(files::writeFileAtomic((dir / "Kalvero.ini").string(), iniText()));
        state.programDir = dir.string() + "/";
        // Journals of unsaved work stay in the test's folder.
        if (state.recoveryDir.empty()) state.recoveryDir = (dir / "recovery").string() + "/";
        ui.setDesktopSize(desktopWidth, desktopHeight);
        controller = std::make_unique<Controller>(state, ui);
        started = controller->prepare((dir / "kalvero").string(), dir.string());
        if (started) {
            ui.buildMainWindow();
            controller->windowBuilt();
        }
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    virtual std::string iniText() { return kIni; }
    // Starts `p` as a fresh start of the program would (false when it cannot).
    bool startAgain(SecondProgram& p) {
        p.state.programDir = state.programDir;
        p.ui.setDesktopSize(desktopWidth, desktopHeight);
        if (!p.controller.prepare((dir / "kalvero").string(), dir.string())) return false;
        p.ui.buildMainWindow();
        p.controller.windowBuilt();
        return true;
    }

    Controller& c() { return *controller; }
    // The user's actions: the fake control changes, then sends its event
    // with what it now holds, as the window does.
    void click(int id) { c().dispatch(ui.eventFor(id)); }
    void choose(int id, int item) {
        ui.setValue(id, item);
        c().dispatch(ui.eventFor(id, SubKind::Changed));
    }
    void slide(int id, int value) {
        ui.setValue(id, value);
        c().dispatch(ui.eventFor(id));
    }
    void type(int field, const std::string& text) {
        for (size_t i = 1; i <= text.size(); ++i) {
            ui.setText(field, text.substr(0, i));
            c().dispatch(ui.eventFor(field, SubKind::Changed));
        }
    }
    void pressReturn() { c().dispatch(Event::menu(ctl::ReturnKeyMenuId)); }
    void selectRow(int row) {
        ui.selectListRow(row);
        click(ctl::SubtitleListView);
    }
    std::string row(int i, Column col = Column::Text) { return state.list.column(i, col); }

    std::filesystem::path dir;
    AppState state;
    FakeUi ui;
    std::unique_ptr<Controller> controller;
    bool started = false;
    int desktopWidth = 2560, desktopHeight = 1600;
};
