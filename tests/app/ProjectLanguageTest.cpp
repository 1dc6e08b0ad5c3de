// The project's language: chosen in the window as one undo step, kept in the
// look file beside the project (which stays byte for byte as before), opened
// again by a fresh program and by kalvero-cli, and carried by the window's
// track exports, read back by FFmpeg's demuxers and python's XML parser.
#include "app/ControllerFixture.h"
#include "reliability/ToolRun.h"

#include <cstdio>
#include <sstream>

#include "app/ExportCommands.h"
#include "app/Layout.h"
#include "app/Recovery.h"
#include "cli/Cli.h"
#include "render/ProjectLook.h"

namespace {
const char* kProject =
    "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
    "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
    "##-Number of lines/pages: 4 / 2\r\n##-Word count: 4\r\n##-User Timed Session: 0\r\n##-;\r\n"
    "A0000|One|00:00:01:00>00:00:02:00|25+25|430\r\nB0000|one b|00:00:01:00>00:00:02:00|25+25|430\r\n"
    "A0002|Two|00:00:03:00>00:00:04:00|25+25|430\r\nB0002|two b|00:00:03:00>00:00:04:00|25+25|430\r\n";


int languageItem(const std::string& code) {
    const std::vector<LanguageChoice>& choices = projectLanguageChoices();
    for (size_t i = 0; i < choices.size(); ++i)
        if (code == choices[i].code) return int(i);
    return -1;
}

std::string withoutDate(std::string s) { return s.erase(s.find("##-Date"), s.find("##-Number") - s.find("##-Date")); }
}  // namespace

class ProjectLanguageTest : public ControllerTest {
protected:
    std::string project, lookFile;
    void SetUp() override {
        ControllerTest::SetUp();
        project = (dir / "P_project" / "P.KVL8").string();
        lookFile = (dir / "P_project" / "P.look").string();
        std::filesystem::create_directories(dir / "P_project");
        ASSERT_TRUE(files::writeFileAtomic(project, kProject));
        ui.fileAnswers = {project};
        click(ctl::Open);
        ui.messages.clear();
    }
    std::string read(const std::string& path) {
        std::string b;
        files::readFile(path, b);
        return b;
    }
};

TEST_F(ProjectLanguageTest, ChosenAsOneStepKeptBesideTheProjectAndOpenedAgain) {
    ASSERT_TRUE(started);
    EXPECT_EQ(ui.value(ctl::LanguageList), 0);  // not told
    click(ctl::Save);
    EXPECT_FALSE(files::exists(lookFile));
    const std::string plain = read(project);

    const int fr = languageItem("fr");
    ASSERT_GT(fr, 0);
    EXPECT_EQ(ui.itemText(ctl::LanguageList, fr), "fr French");
    c().history().clear();
    choose(ctl::LanguageList, fr);
    EXPECT_EQ(state.projectLanguage, "fr");
    EXPECT_EQ(ui.text(ctl::Undo), "Undo Language");
    EXPECT_TRUE(c().hasUnsavedWork());
    click(ctl::Undo);
    EXPECT_EQ(state.projectLanguage, "");
    EXPECT_EQ(ui.value(ctl::LanguageList), 0);
    EXPECT_FALSE(c().hasUnsavedWork());
    click(ctl::Redo);
    EXPECT_EQ(ui.value(ctl::LanguageList), fr);

    click(ctl::Save);
    EXPECT_FALSE(c().hasUnsavedWork());
    EXPECT_EQ(withoutDate(read(project)), withoutDate(plain));  // older readers see the same project file
    const std::optional<ProjectLook> look = parseLook(read(lookFile));
    ASSERT_TRUE(look);
    EXPECT_EQ(look->language, "fr");
    EXPECT_NE(read(lookFile).find("[Project]\r\nLanguage = fr\r\n"), std::string::npos);

    // A fresh program opens it with its language and the preset's own look.
    SecondProgram second;
    ASSERT_TRUE(startAgain(second));
    ASSERT_TRUE(second.controller.loadProject(project));
    EXPECT_EQ(second.state.projectLanguage, "fr");
    EXPECT_EQ(second.ui.value(ctl::LanguageList), fr);
    EXPECT_EQ(second.ui.itemText(ctl::PresetList, 0), "Default");
    EXPECT_FALSE(second.controller.hasUnsavedWork());

    // "Not told" again: the look file goes, as nothing is left to keep in it.
    choose(ctl::LanguageList, 0);
    click(ctl::Save);
    EXPECT_FALSE(files::exists(lookFile));
}

TEST_F(ProjectLanguageTest, ACodeTheListLacksIsShownAndNewProjectsHaveNone) {
    ASSERT_TRUE(started);
    ASSERT_TRUE(files::writeFileAtomic(lookFile, "[Look]\r\nPreset = " + presetLine(state.presets[0]) +
                                                     "\r\nFontSize = 0\r\n[Project]\r\nLanguage = tlh\r\n"));
    ASSERT_TRUE(c().loadProject(project));
    EXPECT_EQ(state.projectLanguage, "tlh");
    const int last = ui.itemCount(ctl::LanguageList) - 1;
    EXPECT_EQ(ui.itemText(ctl::LanguageList, last), "tlh");
    EXPECT_EQ(ui.value(ctl::LanguageList), last);
    click(ctl::Save);
    EXPECT_EQ(parseLook(read(lookFile))->language, "tlh");

    ui.inputAnswers = {"Fresh"};
    click(ctl::New);
    EXPECT_EQ(state.projectLanguage, "");
    EXPECT_EQ(ui.value(ctl::LanguageList), 0);
}

TEST_F(ProjectLanguageTest, TheWindowsTracksCarryTheLanguage) {
    if (std::system("ffprobe -version >/dev/null 2>&1") != 0 || std::system("python3 -c '' 2>/dev/null") != 0)
        GTEST_SKIP() << "skipped: no ffprobe or python3";
    ASSERT_TRUE(started);
    choose(ctl::LanguageList, languageItem("de"));
    ExportCommands commands(c(), ui);
    for (SubtitleFormat f : {SubtitleFormat::VobSub, SubtitleFormat::Bdn, SubtitleFormat::Dvb, SubtitleFormat::Stl})
        ASSERT_TRUE(commands.exportSubtitleTrack(f).done());
    const std::string out = (dir / "P_project").string() + "/";
    auto probe = [&](const std::string& file) {
        return toolrun::stdoutOf("ffprobe -v error -show_entries stream_tags=language -of csv=p=0 '" + out + file + "' 2>&1");
    };
    EXPECT_EQ(probe("VobSub_Output/P.idx"), "de\n");
    EXPECT_EQ(probe("VobSub_Output/P.mks"), "ger\n");
    EXPECT_EQ(probe("DVB_Output/P.ts"), "ger\n");
    EXPECT_EQ(toolrun::stdoutOf("python3 -c \"import sys, xml.etree.ElementTree as E; "
                       "print(E.parse(sys.argv[1]).getroot().find('Description/Language').get('Code'))\" '" +
                       out + "BDN_Output/P.xml'"),
              "ger\n");
    // EBU STL: the GSI block's language code (bytes 14 and 15, hexadecimal), 08 for German.
    EXPECT_EQ(toolrun::stdoutOf("python3 -c \"import sys; print(open(sys.argv[1], 'rb').read()[14:16].decode())\" '" + out +
                       "STL_Output/P.stl'"),
              "08\n");

    // kalvero-cli takes the saved project's language, and --lang overrides it.
    click(ctl::Save);
    for (const std::vector<std::string>& extra : {std::vector<std::string>{}, {"--lang", "it"}}) {
        std::vector<std::string> args = {"--program-dir", dir.string(), "export", "dvb", project};
        args.insert(args.end(), extra.begin(), extra.end());
        std::ostringstream o, e;
        ASSERT_EQ(runCli(args, o, e), 0) << e.str();
        EXPECT_EQ(probe("DVB_Output/P.ts"), extra.empty() ? "ger\n" : "ita\n");
    }
}

TEST(ProjectLookLanguage, ReadWrittenAndLeftOutWhenItCannotBeACode) {
    struct Case {
        const char* text;
        const char* language;  // nullptr: no look
    };
    const Case cases[] = {
        {"[Look]\nPreset = X|1,1,1|0|1|9|0|0,0,0|0|0|0|0|1|0\nFontSize = 30\n", ""},  // older files
        {"[Look]\nPreset = X|1,1,1|0|1|9|0|0,0,0|0|0|0|0|1|0\n[Project]\nLanguage = fr\n", "fr"},
        {"[Project]\nLanguage = PT\n[Look]\nPreset = X|1,1,1|0|1|9|0|0,0,0|0|0|0|0|1|0\n", "pt"},
        {"[Look]\nPreset = X|1,1,1|0|1|9|0|0,0,0|0|0|0|0|1|0\n[Project]\nLanguage = french\n", ""},
        {"[Look]\nPreset = X|1,1,1|0|1|9|0|0,0,0|0|0|0|0|1|0\n[Other]\nLanguage = fr\n", ""},
        {"[Project]\nLanguage = fr\n", nullptr},  // older readers refuse it too: no look is written without [Look]
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<ProjectLook> look = parseLook(c.text);
        ASSERT_EQ(look.has_value(), c.language != nullptr);
        if (!look) continue;
        EXPECT_EQ(look->language, c.language);
        EXPECT_EQ(parseLook(formatLook(*look)), look);
    }
}

TEST(ProjectLanguageJournal, TheJournalOfUnsavedWorkKeepsTheLanguage) {
    RecoveryJournal j;
    j.projectText = kProject;
    j.look = ProjectLook{};
    j.look->preset = parsePresetLine("Default|0,0,0|1|0|254|0|0,0,160|0|-1|46|1|1|20");
    j.look->language = "fr";
    const std::optional<RecoveryJournal> back = parseJournal(formatJournal(j));
    ASSERT_TRUE(back && back->look);
    EXPECT_EQ(back->look->language, "fr");
    j.look->language.clear();
    EXPECT_EQ(formatJournal(j).find("Language"), std::string::npos);
}
