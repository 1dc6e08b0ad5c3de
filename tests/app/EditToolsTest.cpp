// The editing tools of the main window over the editor: each change one undo
// step that Undo takes back whole, refusals that change nothing, the offer
// to retime when the profile changes the rate, the check's marks and the
// safe-area frames.
#include "app/ControllerFixture.h"

#include "app/EditTools.h"
#include "io/Spelling.h"
#include "render/LayoutCheck.h"

namespace {
const char* const kThreeSets = kThreeSetProject;
}  // namespace

class EditToolsTest : public ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        const std::string project = (dir / "P_project" / "P.KVL8").string();
        std::filesystem::create_directories(dir / "P_project");
        ASSERT_TRUE(files::writeFileAtomic(project, kThreeSets));
        ui.fileAnswers = {project};
        click(ctl::Open);
        ui.messages.clear();
    }
    std::vector<SubtitleLine> rows() const {
        std::vector<SubtitleLine> r;
        for (int i = 0; i < state.list.lineCount(); ++i) r.push_back(*state.list.row(i));
        return r;
    }
    std::string timings() const {
        std::string t;
        for (int i = 0; i < state.list.lineCount(); i += 2) t += state.list.column(i, Column::Timing) + " ";
        return t;
    }
    std::string texts() const {
        std::string t;
        for (int i = 0; i < state.list.lineCount(); ++i) t += state.list.column(i, Column::Text) + "|";
        return t;
    }
};

// Each tool changes the list as worked out by hand, as one step named for
// the Undo button; Undo gives every row back and Redo the change again.
TEST_F(EditToolsTest, EachToolIsOneUndoStep) {
    ASSERT_TRUE(started);
    const std::string text = (dir / "more.txt").string();
    ASSERT_TRUE(files::writeFileAtomic(text, "\xEF\xBB\xBFHello\r\nthere\r\n\r\nAlone\r\n"));
    struct Case {
        const char* name;
        int selectRow;  // -1: none
        std::function<edittools::ToolResult()> run;
        std::string undoName, timings, texts;
    };
    FindOptions plainB;
    plainB.find = "b";
    plainB.wholeWord = true;
    const std::vector<Case> cases = {
        {"shift all by frames", -1, [&] { return edittools::shift(c(), false, "+25"); }, "Shift",
         "00:00:02:00>00:00:03:00 00:00:04:00>00:00:05:00 00:00:06:00>00:00:07:00 ", ""},
        {"shift the selected set to a typed time code", 2, [&] { return edittools::shift(c(), true, "00:01:00:00"); },
         "Shift", "00:00:01:00>00:00:02:00 00:01:00:00>00:01:01:00 00:00:05:00>00:00:06:00 ", ""},
        {"split at the proportion of the characters", 0, [&] { return edittools::splitSelected(c()); }, "Split Set",
         "00:00:01:00>00:00:01:09 00:00:01:09>00:00:02:00 00:00:03:00>00:00:04:00 00:00:05:00>00:00:06:00 ",
         "|One||one b|Two|two b|Three|three b|"},
        {"merge with the next set", 2, [&] { return edittools::mergeWithNext(c()); }, "Merge Sets",
         "00:00:01:00>00:00:02:00 00:00:03:00>00:00:06:00 ", "One|one b|Two two b|Three three b|"},
        {"replace all, whole words", -1, [&] { return edittools::replaceAll(c(), plainB, "B"); }, "Replace All", "",
         "One|one B|Two|two B|Three|three B|"},
        {"import text after the sets", -1, [&] { return edittools::importText(c(), text); }, "Import Text",
         "00:00:01:00>00:00:02:00 00:00:03:00>00:00:04:00 00:00:05:00>00:00:06:00   ",
         "One|one b|Two|two b|Three|three b|Hello|there||Alone|"},
        {"change the rate keeping the frames", -1,
         [&] { return edittools::changeRate(c(), 4, KeepOnRateChange::Frames, true); }, "Change Frame Rate",
         "00:00:00:25>00:00:01:20 00:00:02:15>00:00:03:10 00:00:04:05>00:00:05:00 ", ""},
    };
    const std::vector<SubtitleLine> before = rows();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        selectRow(k.selectRow);
        const size_t steps = c().history().steps();
        const edittools::ToolResult r = k.run();
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(c().history().steps(), steps + 1);
        EXPECT_EQ(c().history().undoName(), k.undoName);
        if (!k.timings.empty()) EXPECT_EQ(timings(), k.timings);
        if (!k.texts.empty()) EXPECT_EQ(texts(), k.texts);
        if (k.undoName == "Import Text") EXPECT_EQ(state.view.selectedRow, 6);  // the first new set
        const std::vector<SubtitleLine> after = rows();
        c().undo();
        EXPECT_EQ(rows(), before);
        EXPECT_EQ(state.profileIndex, 1);
        c().redo();
        EXPECT_EQ(rows(), after);
        c().undo();
    }
    // Undo and Redo of a change of rate bring the times of that rate back: no warning about them.
    EXPECT_EQ(ui.countMessages("Warning!"), 0);
}

// A refused tool says why, naming the set, and leaves the list and the
// history as they were.
TEST_F(EditToolsTest, RefusalsNameTheReasonAndChangeNothing) {
    ASSERT_TRUE(started);
    FindOptions badRegex;
    badRegex.find = "(";
    badRegex.regex = true;
    struct Case {
        const char* name;
        int selectRow;
        std::function<edittools::ToolResult()> run;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"shift before midnight", -1, [&] { return edittools::shift(c(), false, "-30"); },
         "Nothing was shifted: set 1: its ON 00:00:01:00 would go before 00:00:00:00 (to -00:00:00:05)."},
        {"no time code", -1, [&] { return edittools::shift(c(), false, "10:00"); },
         "Nothing was shifted: \"10:00\" is not a time code (HH:MM:SS:FF)."},
        {"neither frames nor a time code", -1, [&] { return edittools::shift(c(), false, "soon"); },
         "Nothing was shifted: \"soon\" is neither a number of frames nor a time code (HH:MM:SS:FF)."},
        {"shift of the selection without one", -1, [&] { return edittools::shift(c(), true, "5"); },
         "No set is selected: choose a set in the list, or shift all sets."},
        {"merge of the last set", 4, [&] { return edittools::mergeWithNext(c()); }, "Nothing was merged: "},
        {"a regular expression that does not compile", -1, [&] { return edittools::replaceAll(c(), badRegex, "x"); },
         "Nothing was replaced: "},
        {"a file that is not there", -1, [&] { return edittools::importText(c(), (dir / "kalvero").string() + "-none"); },
         "Could not read "},
        {"a profile that does not exist", -1,
         [&] { return edittools::changeRate(c(), 99, KeepOnRateChange::Time, true); }, "There is no profile 99."},
    };
    const std::vector<SubtitleLine> before = rows();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        selectRow(k.selectRow);
        const size_t steps = c().history().steps();
        const edittools::ToolResult r = k.run();
        EXPECT_EQ(r.error.substr(0, k.error.size()), k.error);
        EXPECT_EQ(rows(), before);
        EXPECT_EQ(c().history().steps(), steps);
    }
}

// Find goes on after the match shown and comes round to the first set;
// Replace takes that one match only.
TEST_F(EditToolsTest, FindComesRoundAndReplaceTakesOneMatch) {
    ASSERT_TRUE(started);
    FindOptions o;
    o.find = "T";
    std::string error;
    std::optional<TextMatch> m = edittools::findNext(state, o, 1, 0, error);
    ASSERT_TRUE(m);
    EXPECT_EQ(*m, (TextMatch{1, 0, 1}));
    m = edittools::findNext(state, o, 2, 1, error);
    ASSERT_TRUE(m);
    EXPECT_EQ(*m, (TextMatch{1, 0, 1}));  // round past the end
    edittools::showMatch(c(), *m);
    EXPECT_EQ(state.view.selectedRow, 2);
    EXPECT_EQ(ui.text(ctl::LineA), "Two");
    ASSERT_TRUE(edittools::replaceOne(c(), o, "Z", *m).ok());
    EXPECT_EQ(texts(), "One|one b|Zwo|two b|Three|three b|");
    EXPECT_EQ(c().history().undoName(), "Replace");
    o.find = "";
    EXPECT_FALSE(edittools::findNext(state, o, 0, 0, error));
    EXPECT_FALSE(error.empty());
}

// A new rate from the profile list: Yes keeps each time, No each frame,
// Cancel leaves the time codes; all in the profile's one undo step.
TEST_F(EditToolsTest, ProfileChangeOffersToKeepTimeOrFrames) {
    ASSERT_TRUE(started);
    struct Case {
        Ui::Answer answer;
        std::string timings;
    };
    const std::vector<Case> cases = {
        {Ui::Answer::Yes, "00:00:01:00>00:00:02:00 00:00:03:00>00:00:04:00 00:00:05:00>00:00:06:00 "},
        {Ui::Answer::No, "00:00:00:25>00:00:01:20 00:00:02:15>00:00:03:10 00:00:04:05>00:00:05:00 "},
        {Ui::Answer::Cancel, "00:00:01:00>00:00:02:00 00:00:03:00>00:00:04:00 00:00:05:00>00:00:06:00 "},
    };
    const std::vector<SubtitleLine> before = rows();
    for (const Case& k : cases) {
        ui.yesNoCancelAnswers = {k.answer};
        ui.yesNoAnswers = {false};
        choose(ctl::ProfileList, 4);  // 25 -> 30
        EXPECT_EQ(ui.countMessages("Change of frame rate"), 1);
        EXPECT_EQ(timings(), k.timings);
        EXPECT_EQ(row(0, Column::OffOn), k.answer == Ui::Answer::No ? "25+25" : "30+30");
        c().undo();
        EXPECT_EQ(rows(), before);
        EXPECT_EQ(state.profileIndex, 1);
        ui.messages.clear();
    }
}

// The check's findings become one mark per set: the worst level, every reason.
TEST(EditToolMarks, WorstFindingPerSetWithEveryReason) {
    const std::vector<CheckFinding> findings = {
        {0, "spelling", "teh"}, {0, "speed", "20 characters a second"}, {2, "spelling", "wrold"}, {3, "overlap", "x"},
        {3, "short", "y"}};
    const std::vector<ListMark> marks = edittools::setMarks(findings);
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_EQ(marks[0].set, 0);
    EXPECT_EQ(marks[0].level, 1);
    EXPECT_EQ(marks[0].reasons, "spelling: teh\nspeed: 20 characters a second");
    EXPECT_EQ(marks[1].level, 0);
    EXPECT_EQ(marks[2].level, 2);
}

// Action safe (93%) and title safe (90%) frames: dashed, inside the picture.
TEST(SafeAreas, FramesAtTheirMargins) {
    Image p(200, 100);
    drawSafeAreas(p);
    auto colour = [&](int x, int y) {
        const uint8_t* q = p.pixel(x, y);
        return std::vector<int>{q[0], q[1], q[2], q[3]};
    };
    // 7% of 200 is 14: 7 on each side; of 100, 3.5 rounded to 4.
    EXPECT_EQ(colour(7, 4), (std::vector<int>{0, 230, 0, 255}));
    EXPECT_EQ(colour(192, 95), (std::vector<int>{0, 230, 0, 255}));
    EXPECT_EQ(colour(10, 5), (std::vector<int>{255, 220, 0, 255}));
    EXPECT_EQ(colour(7 + 4, 4)[3], 0);  // the gap of the dashes
    EXPECT_EQ(colour(100, 50)[3], 0);   // the middle stays clear
}

// The line fields spell in the language chosen (kept in the settings
// folder); "Add to my words" keeps a word in the data folder for good.
TEST_F(EditToolsTest, LineFieldSpellingFollowsTheLanguageAndTheUsersWords) {
    ASSERT_TRUE(started);
    if (spellingLanguages().empty()) GTEST_SKIP() << "no Hunspell dictionary installed";
    state.userDataDir = (dir / "data" / "kalvero").string() + "/";
    ASSERT_TRUE(edittools::keepSpellingLanguage(state, ""));
    EXPECT_TRUE(edittools::misspeltInField(state, "teh Kowalski").empty());  // no language: nothing marked
    ASSERT_TRUE(edittools::keepSpellingLanguage(state, "en_US"));
    EXPECT_EQ(edittools::spellingLanguage(state), "en_US");
    EXPECT_EQ(edittools::misspeltInField(state, "teh Kowalski"),
              (std::vector<std::pair<size_t, size_t>>{{0, 3}, {4, 12}}));
    const std::vector<std::string> s = edittools::spellingSuggestions(state, "teh");
    EXPECT_NE(std::find(s.begin(), s.end(), "the"), s.end());
    ASSERT_TRUE(edittools::addToMyWords(state, "Kowalski"));
    EXPECT_EQ(edittools::misspeltInField(state, "teh Kowalski"), (std::vector<std::pair<size_t, size_t>>{{0, 3}}));
    std::string words;
    ASSERT_TRUE(files::readFile((dir / "data" / "kalvero" / "words.txt").string(), words));
    EXPECT_EQ(words, "Kowalski\n");
    edittools::keepSpellingLanguage(state, "");
}
