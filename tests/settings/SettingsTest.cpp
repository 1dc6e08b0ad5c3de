#include <gtest/gtest.h>

#include <filesystem>

#include "io/Files.h"
#include "io/SettingsFile.h"
#include "settings/Settings.h"
#include "settings/StyleParams.h"
#include "TestSupport.h"

namespace {
const char* kIni =
    "[Global]\r\n"
    "StartupProfile = 2\r\n"
    "preset=1\r\n"
    "[Profiles]\r\n"
    "Profile = ----- SD -----\r\n"
    "Profile = 720 | 576 | PAL 25 |430| 32 | 25\r\n"
    "Profile = 720|480|NTSC|356|28|29.97\r\n"
    "[Presets]\r\n"
    "Preset = Black Bars|0,0,0|1|0|254|0|0,0,160|0|-1|46|1|1|20\r\n"
    "Preset =  Mine |10,20,30|2|3|100|1|1,2,3|1|-6|50|0|0|7\r\n";
}

TEST(Settings, ParsesSectionsProfilesAndPresets) {
    Settings s = parseSettings(kIni);
    EXPECT_EQ(s.startupProfile, 2);
    EXPECT_EQ(s.startupPreset, 1);
    ASSERT_EQ(s.profiles.size(), 3u);
    EXPECT_TRUE(s.profiles[0].isSeparator);
    EXPECT_EQ(s.profiles[0].name, "----- SD -----");
    EXPECT_EQ(profileDisplayText(s.profiles[0]), "----- SD -----");
    EXPECT_EQ(s.profiles[1].width, 720);
    EXPECT_EQ(s.profiles[1].name, "PAL 25");
    EXPECT_EQ(profileDisplayText(s.profiles[1]), "720 x 576 - PAL 25");
    EXPECT_FLOAT_EQ(s.profiles[2].fps, 29.97f);
    ASSERT_EQ(s.presets.size(), 2u);
    const Preset& p = s.presets[1];
    EXPECT_EQ(p.name, "Mine ");  // preset fields are not trimmed beyond the value
    EXPECT_EQ(p.stripsColor, (Rgb{10, 20, 30}));
    EXPECT_EQ(p.bgColor, (Rgb{1, 2, 3}));
    EXPECT_EQ(p.stripsMode, 2);
    EXPECT_EQ(p.borderStyle, 3);
    EXPECT_EQ(p.blend, 100);
    EXPECT_EQ(p.drawNoStrips, 1);
    EXPECT_EQ(p.stripsToAllText, 1);
    EXPECT_EQ(p.wordSpacing, -6);
    EXPECT_EQ(p.stripsSpacing, 50);
    EXPECT_EQ(p.programDefault, 0);
    EXPECT_EQ(p.cropStrips, 7);
    EXPECT_EQ(presetLine(parsePresetLine(presetLine(p))), presetLine(p));
    EXPECT_EQ(presetLine(s.presets[0]), "Black Bars|0,0,0|1|0|254|0|0,0,160|0|-1|46|1|1|20");
}

TEST(Settings, MissingFieldsReadAsZero) {
    Preset p = parsePresetLine("Short|1,2");
    EXPECT_EQ(p.name, "Short");
    EXPECT_EQ(p.stripsColor, (Rgb{1, 2, 0}));
    EXPECT_EQ(p.cropStrips, 0);
    Settings s = parseSettings("garbage\n[Profiles]\nno equals sign\n");
    EXPECT_TRUE(s.profiles.empty());
    EXPECT_EQ(s.startupProfile, 0);
}

TEST(Settings, RewriteKeepsHeadAndLeavesNoTail) {
    Settings s = parseSettings(kIni);
    std::vector<Preset> presets = s.presets;
    presets[0].name = "B";  // a shorter line than before
    presets.pop_back();
    Preset broken;
    broken.name = "has|pipes|";
    presets.push_back(broken);  // still 12 separators or more: written
    auto out = rewritePresets(kIni, presets);
    ASSERT_TRUE(out.has_value());
    std::string head(kIni, std::string(kIni).find("Preset = Black"));
    EXPECT_EQ(out->substr(0, head.size()), head);
    EXPECT_EQ(out->substr(head.size()),
              "Preset = B|0,0,0|1|0|254|0|0,0,160|0|-1|46|1|1|20\r\n"
              "Preset = has|pipes||0,0,0|0|0|0|0|0,0,0|0|0|0|0|0|0\r\n");
    EXPECT_FALSE(rewritePresets("[Global]\r\nPreset=0\r\n", presets).has_value());
    // "[Presets]" as the last line without an ending.
    auto bare = rewritePresets("[Presets]", {s.presets[0]});
    ASSERT_TRUE(bare.has_value());
    EXPECT_EQ(*bare, "[Presets]\r\nPreset = " + presetLine(s.presets[0]) + "\r\n");
}

TEST(Settings, SaveToFileReplacesOnlyThePresets) {
    auto dir = testsupport::tempPath("kalvero-settings-test");
    std::filesystem::create_directories(dir);
    std::string path = (dir / "Kalvero.ini").string();
    ASSERT_TRUE(files::writeFileAtomic(path, kIni));
    Settings s = parseSettings(kIni);
    std::string error;
    ASSERT_EQ(savePresetsToFile(path, {s.presets[1]}).error, "");
    Settings back;
    ASSERT_TRUE(loadSettingsFile(path, back).ok);
    ASSERT_EQ(back.presets.size(), 1u);
    EXPECT_EQ(back.presets[0], s.presets[1]);
    EXPECT_EQ(back.profiles.size(), 3u);

    // A failing write leaves the previous file byte for byte.
    std::string before;
    ASSERT_TRUE(files::readFile(path, before));
    files::setWriteFailureHookForTests([](uint64_t) { return false; });
    EXPECT_FALSE(savePresetsToFile(path, s.presets).ok);
    files::setWriteFailureHookForTests(nullptr);
    std::string after;
    ASSERT_TRUE(files::readFile(path, after));
    EXPECT_EQ(after, before);
    size_t entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir)) ++entries;
    EXPECT_EQ(entries, 1u);  // no temporary file left behind
    std::filesystem::remove_all(dir);
}

TEST(Settings, ShippedFileIsUsable) {
    Settings s;
    std::string error;
    ASSERT_EQ(loadSettingsFile(std::string(KALVERO_BIN_DIR) + "/Kalvero.ini", s).error, "");
    ASSERT_GT(int(s.profiles.size()), s.startupProfile);
    const Profile& start = s.profiles[size_t(s.startupProfile)];
    EXPECT_FALSE(start.isSeparator);
    EXPECT_EQ(start.width, 720);
    EXPECT_EQ(start.height, 576);
    EXPECT_FLOAT_EQ(start.fps, 25.0f);
    EXPECT_GE(s.presets.size(), 4u);
    EXPECT_LT(s.startupPreset, int(s.presets.size()));
    int defaults = 0;
    for (const Preset& p : s.presets) defaults += p.programDefault;
    EXPECT_GE(defaults, 1);
}

TEST(Settings, ReactionOffsetReadsZeroWhenMissingAndStaysInRange) {
    EXPECT_EQ(parseSettings(kIni).reactionMs, 0);
    EXPECT_EQ(parseSettings("[Global]\nreactionMS = 250\n").reactionMs, 250);
    EXPECT_EQ(parseSettings("[Global]\nReactionMs = 5000\n").reactionMs, 1000);
    EXPECT_EQ(parseSettings("[Global]\nReactionMs = -40\n").reactionMs, 0);
    EXPECT_EQ(parseSettings("[Global]\nReactionMs = soon\n").reactionMs, 0);
    EXPECT_EQ(parseSettings("[Presets]\nReactionMs = 300\n").reactionMs, 0);  // only in [Global]
}

TEST(Settings, GlobalKeyIsAddedOrReplacedWithoutTouchingTheRest) {
    // Added after the last key line of [Global]: everything else byte for byte.
    std::string added = withGlobalKey(kIni, "ReactionMs", "300");
    std::string expected = kIni;
    expected.insert(expected.find("[Profiles]"), "ReactionMs = 300\r\n");
    EXPECT_EQ(added, expected);
    Settings s = parseSettings(added);
    EXPECT_EQ(s.reactionMs, 300);
    EXPECT_EQ(s.startupProfile, 2);
    EXPECT_EQ(s.presets.size(), 2u);
    // Replaced in place, whatever the case of the key and the blanks around it.
    std::string replaced = withGlobalKey("[global]\n  reactionms=10\nPreset = 1\n[Presets]\nPreset = a|1\n", "ReactionMs", "0");
    EXPECT_EQ(replaced, "[global]\nReactionMs = 0\nPreset = 1\n[Presets]\nPreset = a|1\n");
    // No [Global]: one at the top, in the file's own line endings; the
    // [Presets] section stays the last one.
    EXPECT_EQ(withGlobalKey("[Presets]\nPreset = a\n", "ReactionMs", "5"),
              "[Global]\nReactionMs = 5\n[Presets]\nPreset = a\n");
    // A [Global] header that is the last line without an ending.
    EXPECT_EQ(withGlobalKey("[Global]", "ReactionMs", "7"), "[Global]\r\nReactionMs = 7\r\n");
    // The same key in another section is not touched.
    EXPECT_EQ(withGlobalKey("[Global]\r\nPreset = 1\r\n[Profiles]\r\nReactionMs = 9\r\n", "ReactionMs", "7"),
              "[Global]\r\nPreset = 1\r\nReactionMs = 7\r\n[Profiles]\r\nReactionMs = 9\r\n");
}

TEST(Settings, ReactionOffsetIsSavedIntoTheFile) {
    auto dir = testsupport::tempPath("kalvero-reaction-test");
    std::filesystem::create_directories(dir);
    std::string path = (dir / "Kalvero.ini").string();
    ASSERT_TRUE(files::writeFileAtomic(path, kIni));
    ASSERT_EQ(saveReactionMsToFile(path, 200).error, "");
    ASSERT_EQ(saveReactionMsToFile(path, 1500).error, "");  // stored as 1000
    Settings back;
    ASSERT_TRUE(loadSettingsFile(path, back).ok);
    EXPECT_EQ(back.reactionMs, 1000);
    std::string content;
    ASSERT_TRUE(files::readFile(path, content));
    EXPECT_EQ(content, withGlobalKey(kIni, "ReactionMs", "1000"));
    // Presets are still written after it.
    ASSERT_TRUE(savePresetsToFile(path, back.presets).ok);
    ASSERT_TRUE(loadSettingsFile(path, back).ok);
    EXPECT_EQ(back.reactionMs, 1000);
    const Result missing = saveReactionMsToFile((dir / "missing.ini").string(), 10);
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.error.empty());
    std::filesystem::remove_all(dir);
}

// Each preset number read from a file lands in the range its parameter
// declares; the same bounds refuse a kalvero-cli render option.
TEST(Settings, PresetNumbersAreReadIntoTheirDeclaredRanges) {
    struct Case {
        const char* line;
        int Preset::*field;
        int expected;
    };
    const Case cases[] = {
        {"P|0,0,0|1|0|300|0|0,0,0|0|0|0|0|0|0", &Preset::blend, 255},
        {"P|0,0,0|1|0|-4|0|0,0,0|0|0|0|0|0|0", &Preset::blend, 0},
        {"P|0,0,0|1|9|254|0|0,0,0|0|0|0|0|0|0", &Preset::borderStyle, 3},
        {"P|0,0,0|7|0|254|0|0,0,0|0|0|0|0|0|0", &Preset::stripsMode, 0},  // unknown mode: full width
        {"P|0,0,0|2|0|254|0|0,0,0|0|0|0|0|0|0", &Preset::stripsMode, 2},
        {"P|0,0,0|1|0|254|0|0,0,0|0|-20|0|0|0|0", &Preset::wordSpacing, -6},
        {"P|0,0,0|1|0|254|0|0,0,0|0|9|0|0|0|0", &Preset::wordSpacing, 6},
        {"P|0,0,0|1|0|254|0|0,0,0|0|0|-5|0|0|0", &Preset::stripsSpacing, 0},
        {"P|0,0,0|1|0|254|0|0,0,0|0|0|0|0|0|150", &Preset::cropStrips, 100},
        {"P|0,0,0|1|0|254|0|0,0,0|0|0|0|0|0|", &Preset::cropStrips, 0},  // missing field
    };
    for (const Case& c : cases) {
        const Preset p = parsePresetLine(c.line);
        EXPECT_EQ(p.*c.field, c.expected) << c.line;
        EXPECT_EQ(parsePresetLine(presetLine(p)), p) << c.line;  // what is written reads back the same
        const PresetParam& param = presetParam(c.field);
        EXPECT_GE(p.*c.field, param.min) << param.name;
        EXPECT_LE(p.*c.field, param.max) << param.name;
    }
}

TEST(Settings, FailuresNameTheSettingsFile) {
    const auto dir = testsupport::tempPath("kalvero-settings-result");
    std::filesystem::create_directories(dir);
    const std::string missing = (dir / "missing.ini").string();
    Settings s;
    const Result r = loadSettingsFile(missing, s);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.file, missing);
    EXPECT_EQ(r.message(), missing + ": " + r.error);
    const std::string noPresets = (dir / "Kalvero.ini").string();
    ASSERT_TRUE(files::writeFileAtomic(noPresets, "[Global]\r\n"));
    const Result save = savePresetsToFile(noPresets, {});
    EXPECT_EQ(save.error, "the file has no [Presets] section");
    EXPECT_EQ(save.file, noPresets);
    std::filesystem::remove_all(dir);
}
