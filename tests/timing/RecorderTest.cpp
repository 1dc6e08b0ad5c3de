#include <gtest/gtest.h>

#include <optional>

#include "app/ControllerFixture.h"
#include "base/Image.h"
#include "timing/FrameSource.h"
#include "timing/MoviePlayer.h"
#include "app/EditorRecorder.h"

namespace {

// Records what the recorder shows in the timing window.
struct FakeView : TimingView {
    std::string seconds = "00:00:00:", frames = "00", total = "00:00:00:00";
    std::string startCaption = "START!";
    bool startPressed = false, startVisible = true;
    std::string nextA, nextB;
    int overlaysShown = 0, overlaysCleared = 0, nudges = 0, secondsUpdates = 0;
    size_t lastPieces = 0;
    bool overlayOn = false;

    void setSecondsLabel(const std::string& t) override { seconds = t, ++secondsUpdates; }
    void setFramesLabel(const std::string& t) override { frames = t; }
    void setTotalLabel(const std::string& t) override { total = t; }
    void setStartButton(const std::string& caption, bool pressed) override {
        startCaption = caption;
        startPressed = pressed;
    }
    void hideStartButton() override { startVisible = false; }
    void setNextSet(const std::string& a, const std::string& b) override { nextA = a, nextB = b; }
    void showOverlay(std::vector<OverlayPiece> pieces, Rgb) override {
        ++overlaysShown;
        lastPieces = pieces.size();
        overlayOn = true;
    }
    void clearOverlay(Rgb) override {
        ++overlaysCleared;
        overlayOn = false;
    }
    void nudge() override { ++nudges; }
};

// A movie whose frame counter the test sets, or whose clock runs on the
// test's fake time (`now` set) from `clockPos` at `clockAt`.
struct FakeMovie : MoviePlayer {
    int64_t frame = 0, length = 150, duration = 6000;
    double fps = 25.0;
    bool isPlaying = false, isPaused = false, freed = false;
    int plays = 0, resumes = 0, stops = 0;
    const int64_t* now = nullptr;  // fake monotonic microseconds
    double clockPos = 0.0, rate = 1.0;
    int64_t clockAt = 0;
    std::optional<double> playedFrom;

    double nowSeconds() const { return double(*now) / 1e6; }
    void holdClock() {
        if (now) clockPos = positionAt(nowSeconds()), clockAt = *now;
    }

    std::string load(const std::string&) override { return {}; }
    bool loaded() const override { return !freed; }
    int width() const override { return 320; }
    int height() const override { return 240; }
    double frameRate() const override { return fps; }
    int64_t lengthInFrames() const override { return length; }
    int64_t durationMs() const override { return duration; }
    void setDisplaySize(int, int) override {}
    void play() override {
        isPlaying = true, isPaused = false, ++plays;
        clockPos = 0.0, clockAt = now ? *now : 0;
    }
    void playFrom(double seconds, bool paused) override {
        isPlaying = true, isPaused = paused, playedFrom = seconds;
        clockPos = seconds, clockAt = now ? *now : 0;
    }
    void pause() override {
        holdClock();
        isPaused = isPlaying;
    }
    void resume() override {
        holdClock();
        isPaused = false, ++resumes;
    }
    void stop() override { isPlaying = isPaused = false, frame = 0, ++stops; }
    bool playing() const override { return isPlaying; }
    bool paused() const override { return isPaused; }
    int64_t currentFrame() const override {
        if (!now) return frame;
        return isPlaying ? movieFrameAt(positionAt(nowSeconds()), fps, length) : 0;
    }
    double positionAt(double s) const override {
        if (!isPlaying) return 0.0;
        if (!now) return double(frame) / fps;
        return isPaused ? clockPos : clockPos + (s - double(clockAt) / 1e6) * rate;
    }
    void setSpeed(double v) override {
        holdClock();
        rate = v;
    }
    double speed() const override { return rate; }
    std::shared_ptr<const Image> currentPicture(uint64_t*) const override { return nullptr; }
    bool hasSound() const override { return false; }
    std::string soundStatus() const override { return "the movie has no sound"; }
    void free() override { stop(), freed = true; }
    // The movie ran to its end and stopped by itself.
    void runOut() { isPlaying = isPaused = false, frame = 0; }
};

class RecorderTest : public ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        ASSERT_TRUE(started);
        ASSERT_FLOAT_EQ(state.fps, 25.0f);
    }

    // A list of `n` sets "Line k A" / "Line k B", with old timings when asked.
    void makeSets(int n, bool timed = false) {
        state.list.clearList();
        for (int k = 0; k < n; ++k) {
            std::string timing = timed ? "00:00:0" + std::to_string(k) + ":00>00:00:0" + std::to_string(k) + ":10" : "";
            state.list.appendLine({rowId(2 * k), "Line " + std::to_string(k) + " A", timing, timed ? "0+10" : "", "430"});
            state.list.appendLine({rowId(2 * k + 1), "Line " + std::to_string(k) + " B", timing, timed ? "0+10" : "", "430"});
        }
        ui.listChanged();
        ui.setValue(ctl::RecordTimings, 1);  // the toggle that opened the dialog
    }

    void externalRun() {
        source = std::make_unique<ExternalFrameSource>(state.fps, [this] { return nowUs; });
        recorder = std::make_unique<EditorRecorder>(c(), ui, view, *source, [this] { return nowUs / 1000; });
        recorder->open();
    }
    void internalRun() {
        source = std::make_unique<MovieFrameSource>(movie, [this] { return nowUs; });
        recorder = std::make_unique<EditorRecorder>(c(), ui, view, *source, [this] { return nowUs / 1000; });
        recorder->open();
    }

    void pass(bool down = false, bool pressed = false) { recorder->pass({down, pressed, std::nullopt, std::nullopt}); }
    void advance(int64_t ms) {
        nowUs += ms * 1000;
        pass();
    }
    void start() {
        recorder->clickStartStop();
        pass();
    }
    // One press and release of Space at the current time.
    void space() {
        pass(true, true);
        pass(false);
    }
    std::string timing(int set) { return state.list.column(2 * set, Column::Timing); }

    FakeView view;
    FakeMovie movie;
    int64_t nowUs = 5'000'000'000;
    std::unique_ptr<FrameSource> source;
    std::unique_ptr<Recorder> recorder;
};

TEST_F(RecorderTest, ThreeSetsSwitchedOnAndOffEndTheRunAndReturnToEditing) {
    makeSets(3);
    externalRun();
    EXPECT_EQ(state.recordingActive, 1);
    EXPECT_EQ(view.nextA, "Line 0 A");
    EXPECT_EQ(view.nextB, "Line 0 B");
    EXPECT_EQ(view.total, "10:00:00:00");
    EXPECT_EQ(view.overlaysCleared, 1);  // no movie: the area shows the background colour
    EXPECT_EQ(recorder->state(), RecorderState::Stopped);

    start();
    EXPECT_EQ(recorder->state(), RecorderState::Recording);
    EXPECT_EQ(view.startCaption, "STOP!");
    EXPECT_TRUE(view.startPressed);

    const int64_t times[6] = {1000, 2000, 2520, 3040, 4000, 5400};  // ms after START
    int64_t at = 0;
    for (int i = 0; i < 6; ++i) {
        advance(times[i] - at);
        at = times[i];
        space();
        if (i == 0) {
            EXPECT_TRUE(view.overlayOn);
            EXPECT_EQ(view.lastPieces, 2u);  // both lines have text
            EXPECT_EQ(ui.selectedListRow(), 0);
            EXPECT_EQ(ui.text(ctl::LineA), "Line 0 A");  // the set is shown in the main window
            EXPECT_EQ(view.nextA, "Line 1 A");
            EXPECT_EQ(timing(0), "00:00:01:00");
        }
        if (i == 1) {
            EXPECT_FALSE(view.overlayOn);
            EXPECT_EQ(view.nudges, 1);
            EXPECT_EQ(ui.selectedListRow(), 2);
        }
        if (i == 4) {
            EXPECT_EQ(view.nextA, "< END OF SUBTITLES >");
        }
    }
    EXPECT_TRUE(recorder->ended());
    EXPECT_EQ(view.nextB, "< END OF SUBTITLES >");
    EXPECT_EQ(timing(0), "00:00:01:00>00:00:02:00");
    EXPECT_EQ(state.list.column(1, Column::Timing), timing(0));
    EXPECT_EQ(timing(1), "00:00:02:13>00:00:03:01");
    EXPECT_EQ(timing(2), "00:00:04:00>00:00:05:10");
    EXPECT_EQ(state.list.column(0, Column::OffOn), "25+25");
    EXPECT_EQ(state.list.column(2, Column::OffOn), "13+13");
    EXPECT_EQ(state.list.column(5, Column::OffOn), "24+35");
    EXPECT_EQ(view.nudges, 3);

    // Back to editing the first set; nothing is missing, so no warning.
    EXPECT_EQ(state.recordingActive, 0);
    EXPECT_EQ(ui.selectedListRow(), 0);
    EXPECT_EQ(state.editState, EditSet);
    EXPECT_EQ(ui.control(ctl::LineA).background, (Rgb{126, 255, 126}));
    EXPECT_TRUE(ui.enabled(ctl::LineB));
    EXPECT_EQ(ui.value(ctl::RecordTimings), 0);
    EXPECT_EQ(ui.countMessages("Warning!"), 0);
    EXPECT_EQ(state.timedLength, 6 * 25);  // 5.4 s rounded up

    // Further presses do nothing.
    space();
    EXPECT_EQ(timing(0), "00:00:01:00>00:00:02:00");
}

TEST_F(RecorderTest, SetsTheRunDidNotReachKeepTheirTimes) {
    makeSets(4, true);
    externalRun();
    start();
    for (int k = 0; k < 4; ++k) EXPECT_EQ(timing(k), "00:00:0" + std::to_string(k) + ":00>00:00:0" + std::to_string(k) + ":10") << k;
    advance(1000);
    space();
    advance(1000);
    space();
    recorder->clickExit();
    advance(300);
    EXPECT_TRUE(recorder->ended());
    EXPECT_EQ(timing(0), "00:00:01:00>00:00:02:00");  // reached: the new times
    EXPECT_EQ(timing(1), "00:00:01:00>00:00:01:10");  // not reached: the old ones
    EXPECT_EQ(timing(3), "00:00:03:00>00:00:03:10");
    EXPECT_EQ(state.list.column(7, Column::Timing), "00:00:03:00>00:00:03:10");
    // The frame counts follow the new times of set 0 (it now overlaps set 1).
    EXPECT_EQ(state.list.column(0, Column::OffOn), "25+25");
    EXPECT_EQ(state.list.column(2, Column::OffOn), "-25+10");
    EXPECT_EQ(state.list.column(7, Column::OffOn), "15+10");
    EXPECT_EQ(ui.countMessages("Warning!"), 0);  // every set still has times
    EXPECT_EQ(state.timedLength, 3 * 25);
    EXPECT_EQ(state.style.bgColor, state.style.presetBgColor);
}

TEST_F(RecorderTest, ARunOverAnUntimedListLeavesTheUnreachedSetsUntimed) {
    makeSets(3);
    externalRun();
    start();
    advance(1000);
    space();
    advance(1000);
    space();
    recorder->clickExit();
    advance(300);
    EXPECT_EQ(timing(0), "00:00:01:00>00:00:02:00");
    EXPECT_EQ(timing(1), "");
    EXPECT_EQ(timing(2), "");
    EXPECT_EQ(ui.countMessages("Warning!"), 1);  // once, when the run ends
}

TEST_F(RecorderTest, ARunStepsOverEmptySetsAndEndsAtTheLastSetWithText) {
    makeSets(3);
    // An empty set between sets 0 and 1 (text deleted, old times kept) and
    // the empty new set at the end, as the line editor leaves it.
    state.list.insertEmptySet(1, "430");
    state.list.setLineColumn(2, Column::Timing, "00:00:09:00>00:00:09:10");
    state.list.setLineColumn(3, Column::Timing, "00:00:09:00>00:00:09:10");
    state.list.appendEmptySet();
    externalRun();
    start();
    for (int i = 0; i < 6; ++i) {
        advance(500);
        space();
        if (i == 1) EXPECT_EQ(view.nextA, "Line 1 A");  // the empty set is not offered
    }
    EXPECT_TRUE(recorder->ended());  // the third set's OFF ends the run
    EXPECT_EQ(timing(0), "00:00:00:12>00:00:01:00");
    EXPECT_EQ(timing(1), "00:00:09:00>00:00:09:10");  // kept
    EXPECT_EQ(timing(2), "00:00:01:12>00:00:02:00");
    EXPECT_EQ(timing(3), "00:00:02:12>00:00:03:00");
    EXPECT_EQ(timing(4), "");  // the new set stays untimed
}

TEST_F(RecorderTest, MovieStandsOnItsFirstPictureAndStopsItselfAtItsEnd) {
    makeSets(3);
    internalRun();
    EXPECT_EQ(recorder->state(), RecorderState::Armed);
    EXPECT_TRUE(movie.isPlaying);
    EXPECT_EQ(view.total, "00:00:06:00");  // 150 frames over 6 s
    EXPECT_EQ(view.overlaysCleared, 0);     // the movie covers the area
    start();                                 // too early: ignored
    EXPECT_EQ(recorder->state(), RecorderState::Armed);
    EXPECT_FALSE(view.startPressed);

    movie.frame = 1;
    pass();
    EXPECT_EQ(recorder->state(), RecorderState::Stopped);
    EXPECT_TRUE(movie.isPaused);

    start();
    EXPECT_EQ(movie.resumes, 1);
    EXPECT_FALSE(movie.isPaused);
    // A movie reading 0 just after START has not ended.
    movie.frame = 0;
    pass();
    EXPECT_EQ(recorder->state(), RecorderState::Recording);

    movie.frame = 25;
    space();  // set 0 ON
    movie.frame = 40;
    space();  // OFF
    movie.frame = 49;
    pass();
    movie.runOut();
    pass();
    EXPECT_EQ(recorder->state(), RecorderState::Stopped);
    EXPECT_EQ(view.startCaption, "START!");
    EXPECT_FALSE(view.startPressed);
    EXPECT_TRUE(view.startVisible);
    EXPECT_EQ(view.seconds, "00:00:06:");
    EXPECT_EQ(view.frames, "00");
    EXPECT_EQ(recorder->frame(), 0);
    EXPECT_EQ(timing(0), "00:00:01:00>00:00:01:15");
    EXPECT_EQ(timing(1), "");
    EXPECT_EQ(timing(2), "");

    space();  // not recording: no effect
    EXPECT_EQ(timing(1), "");
    recorder->clickExit();
    pass();
    EXPECT_TRUE(recorder->ended());
    EXPECT_TRUE(movie.freed);
}

TEST_F(RecorderTest, MovieReadingZeroBeforeTwoSecondsKeepsRecording) {
    makeSets(2);
    internalRun();
    movie.frame = 2;
    pass();
    start();
    movie.frame = 49;  // 1.96 s
    pass();
    movie.frame = 0;
    pass();
    EXPECT_EQ(recorder->state(), RecorderState::Recording);
    movie.frame = 50;
    pass();
    movie.frame = 0;
    pass();
    EXPECT_EQ(recorder->state(), RecorderState::Stopped);
}

TEST_F(RecorderTest, RunningTimeLabelsFollowTheFrameCounter) {
    makeSets(2);
    movie.length = 2500;
    movie.duration = 100000;
    internalRun();
    movie.frame = 3;
    pass();
    start();
    movie.frame = 1;
    pass();
    EXPECT_EQ(view.frames, "01");
    EXPECT_EQ(view.seconds, "00:00:00:");
    int updates = view.secondsUpdates;
    movie.frame = 24;
    pass();
    EXPECT_EQ(view.secondsUpdates, updates);  // only the frames changed
    // A jump of exactly one minute still changes the seconds label.
    movie.frame = 1500;
    pass();
    EXPECT_EQ(view.seconds, "00:01:00:");
    EXPECT_EQ(view.frames, "00");
    EXPECT_EQ(recorder->timeCode(), "00:01:00:00");
}

TEST_F(RecorderTest, HeldSpaceMakesOneStepAndATapBetweenPassesCounts) {
    makeSets(3);
    externalRun();
    // Held through START: not a step.
    pass(true, true);
    recorder->clickStartStop();
    pass(true, false);
    ASSERT_EQ(recorder->state(), RecorderState::Recording);
    for (int i = 0; i < 5; ++i) pass(true, false);
    pass(false);
    EXPECT_EQ(timing(0), "");

    advance(1000);
    pass(true, true);
    EXPECT_EQ(timing(0), "00:00:01:00");  // the time of the press
    for (int i = 0; i < 20; ++i) {
        nowUs += 50'000;
        pass(true, i % 3 == 0);  // key repeat reports more presses
    }
    pass(false);
    EXPECT_EQ(timing(0), "00:00:01:00");  // one step however long it was held
    EXPECT_TRUE(recorder->nextStepIsOn() == false);

    // A press and release both between two passes.
    nowUs += 400'000;
    pass(false, true);
    EXPECT_EQ(timing(0), "00:00:01:00>00:00:02:10");
    EXPECT_EQ(recorder->currentSet(), 1);

    // Timed at the release when asked: nothing until then.
    RecordOptions o;
    o.timeAtRelease = true;
    recorder->setOptions(o);
    pass(true, true);
    for (int i = 0; i < 20; ++i) {
        nowUs += 50'000;
        pass(true, i % 3 == 0);
    }
    EXPECT_EQ(timing(1), "");
    pass(false);
    EXPECT_EQ(timing(1), "00:00:03:10");
}

TEST_F(RecorderTest, StopEndsARunAndStartBeginsAnotherWithTheSameOptions) {
    makeSets(3);
    externalRun();
    RecordOptions o;
    o.holdMode = true;
    recorder->setOptions(o);
    start();
    advance(1000);
    pass(true, true);  // held: ON
    recorder->clickStartStop();
    pass(true);
    EXPECT_EQ(recorder->state(), RecorderState::Stopped);
    EXPECT_TRUE(view.startVisible);
    EXPECT_EQ(view.startCaption, "START!");
    EXPECT_EQ(source->frame(), 0);
    EXPECT_FALSE(source->running());
    pass(false);
    space();
    EXPECT_EQ(timing(0), "00:00:01:00");  // ON only, no OFF after STOP
    EXPECT_FALSE(recorder->ended());
    EXPECT_EQ(view.nextA, "Line 0 A");    // the next run starts at the first set again

    // A second run in the same window, still in hold mode: down = ON, up = OFF.
    start();
    EXPECT_EQ(recorder->state(), RecorderState::Recording);
    EXPECT_TRUE(recorder->options().holdMode);
    for (int k = 0; k < 3; ++k) {
        advance(500);
        pass(true, true);
        advance(400);
        pass(false);
    }
    EXPECT_TRUE(recorder->ended());
    EXPECT_EQ(timing(0), "00:00:00:12>00:00:00:22");
    EXPECT_EQ(timing(2), "00:00:02:07>00:00:02:17");
    // The session counts from the first START.
    EXPECT_GE(state.timedLength, 4 * 25);
}

// A run from a set with sets above it timed later is told before it starts;
// times that went back in the list are told when the run ends.
TEST_F(RecorderTest, TimesOutOfOrderAreWarnedBeforeAndAfterTheRun) {
    makeSets(4, true);
    state.list.setLineColumn(2, Column::Timing, "00:00:10:00>00:00:11:00");  // set 1 after set 2
    state.list.setLineColumn(3, Column::Timing, "00:00:10:00>00:00:11:00");
    selectRow(4);
    externalRun();
    RecordOptions o;
    o.fromSelectedSet = true;
    recorder->setOptions(o);
    ui.messages.clear();
    start();
    ASSERT_EQ(ui.countMessages("Warning!"), 1);
    EXPECT_EQ(ui.messages[0].text.rfind("Set 2 above set 3 is timed after 00:00:02:00", 0), 0u) << ui.messages[0].text;
    advance(1500);
    space();
    advance(500);
    space();
    EXPECT_EQ(timing(2), "00:00:01:12>00:00:02:00");
    recorder->clickExit();
    pass();
    ASSERT_TRUE(recorder->ended());
    ASSERT_EQ(ui.countMessages("Warning!"), 2);
    // The fewest sets left out that let the rest run in time order.
    EXPECT_NE(ui.messages.back().text.find("1 set left out: 2 (starts before a set above it)"), std::string::npos)
        << ui.messages.back().text;

    // An ordered list warns neither time.
    EXPECT_EQ(runOrderWarning(state.list, 1, 25 * 10, 25), "");
    EXPECT_NE(runOrderWarning(state.list, 2, 25 * 9, 25), "");
}

TEST_F(RecorderTest, ExternalClockAt25ReadsFourSecondsAfterFourSeconds) {
    makeSets(2);
    externalRun();
    start();
    for (int i = 0; i < 400; ++i) advance(10);
    EXPECT_EQ(recorder->timeCode(), "00:00:04:00");
    EXPECT_EQ(view.seconds, "00:00:04:");
    EXPECT_EQ(view.frames, "00");
    advance(39);
    EXPECT_EQ(view.frames, "00");
    advance(1);
    EXPECT_EQ(view.frames, "01");
}

TEST_F(RecorderTest, CancelWithoutRecordingKeepsTheTimedSession) {
    makeSets(2, true);
    state.timedLength = 77;
    closeRecordTimings(c(), ui, std::nullopt, 25);
    EXPECT_EQ(state.timedLength, 77);
    EXPECT_EQ(ui.value(ctl::RecordTimings), 0);
    EXPECT_EQ(state.list.column(2, Column::OffOn), "15+10");
}

TEST(RecorderText, TimeCodesAndTitles) {
    EXPECT_EQ(twoDigits(0), "00");
    EXPECT_EQ(twoDigits(7), "07");
    EXPECT_EQ(twoDigits(123), "12");
    EXPECT_EQ(recorderTimeCode(0, 25), "00:00:00:00");
    EXPECT_EQ(recorderTimeCode(90061 * 30 + 29, 30), "25:01:01:29");
    EXPECT_EQ(recorderTimeCode(int64_t(36000) * 30, 30), "10:00:00:00");
    EXPECT_EQ(runningSecondsText(1500, 25), "00:01:00:");
    EXPECT_EQ(runningFramesText(1, 25), "01");
    EXPECT_EQ(timingWindowTitle(true, 320, 240), "Scaled to 50% preview of Project. Movie Width: 320 x 240");
    EXPECT_EQ(timingWindowTitle(false, 720, 576), "Scaled to 50% preview of Project. Project Width: 720 x 576");
}

TEST(FrameSources, RatesOfMovieAndCounter) {
    FakeMovie m;
    m.length = 2997;
    m.duration = 100100;  // 29.97 fps: truncated to 29
    EXPECT_EQ(MovieFrameSource(m).rate(), 29);
    m.duration = 0;  // unknown: the stream's rate
    EXPECT_EQ(MovieFrameSource(m).rate(), 25);
    EXPECT_EQ(ExternalFrameSource(29.97f).rate(), 30);
    EXPECT_EQ(ExternalFrameSource(23.976f).totalFrames(), 36000 * 24);
}

// --- key-down time, reaction offset, hold mode, partial runs, pause ------------

struct ClockCase {
    const char* name;
    bool internal;
    double fps;              // movie
    int64_t length, durationMs;
    float projectFps;        // external counter
    const char* at10500;     // time code of movie time 10.5 s
    const char* at10200;     // and of 10.2 s
};

class RecorderClockTest : public RecorderTest, public ::testing::WithParamInterface<ClockCase> {
protected:
    void run() {
        const ClockCase& k = GetParam();
        if (k.internal) {
            movie.fps = k.fps;
            movie.length = k.length;
            movie.duration = k.durationMs;
            movie.now = &nowUs;
            internalRun();
            advance(100);  // the first picture: the movie stands on it
            ASSERT_EQ(recorder->state(), RecorderState::Stopped);
        } else {
            state.fps = k.projectFps;
            externalRun();
        }
        start();
        ASSERT_EQ(recorder->state(), RecorderState::Recording);
    }
    // A tap whose key went down when the movie was at `movieUs`; the passes
    // see the press and the release only 150 ms later.
    void tapAt(int64_t movieUs) {
        int64_t down = nowUs + (movieUs - source->positionUs());
        ASSERT_GE(down, nowUs);
        nowUs = down + 150'000;
        recorder->pass({false, true, down, down + 120'000});
    }
};

TEST_P(RecorderClockTest, KeyDownIsTimedAtItsOwnMomentMinusTheReactionOffset) {
    makeSets(3);
    run();
    tapAt(10'500'000);  // ON, no offset
    EXPECT_EQ(timing(0), GetParam().at10500);
    RecordOptions o;
    o.reactionMs = 300;
    recorder->setOptions(o);
    tapAt(10'800'000);  // OFF 300 ms after the ON: the same time code
    EXPECT_EQ(timing(0), std::string(GetParam().at10500) + ">" + GetParam().at10500);
    advance(3000);
    // Set 1: ON at 10.5 s of movie time less 300 ms. The movie has run on
    // since; the key-down's own moment counts.
    int64_t downMovie = source->positionUs();
    tapAt(downMovie);
    int64_t back = downMovie - 300'000;
    EXPECT_EQ(timing(1), recorderTimeCode(source->frameOfPosition(back), source->rate()));
    EXPECT_NE(timing(1), recorderTimeCode(source->frameOfPosition(downMovie), source->rate()));
}

TEST_P(RecorderClockTest, OffsetMovesTenPointFiveSecondsToTenPointTwo) {
    makeSets(2);
    run();
    RecordOptions o;
    o.reactionMs = 300;
    recorder->setOptions(o);
    tapAt(10'500'000);
    EXPECT_EQ(timing(0), GetParam().at10200);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, RecorderClockTest,
    ::testing::Values(ClockCase{"Movie25", true, 25.0, 2500, 100000, 25.0f, "00:00:10:12", "00:00:10:05"},
                      // 29.97 and 23.976 movies count at the truncated clock rates 29 and 23
                      ClockCase{"Movie2997", true, 29.97, 2997, 100000, 25.0f, "00:00:10:14", "00:00:10:05"},
                      ClockCase{"Movie23976", true, 23.976, 2398, 100017, 25.0f, "00:00:10:11", "00:00:10:04"},
                      ClockCase{"Counter2997", false, 0, 0, 0, 29.97f, "00:00:10:15", "00:00:10:06"},
                      ClockCase{"Counter23976", false, 0, 0, 0, 23.976f, "00:00:10:12", "00:00:10:04"}),
    [](const ::testing::TestParamInfo<ClockCase>& i) { return std::string(i.param.name); });

TEST_F(RecorderTest, TimeAtReleaseHoldModeAndNeverBeforeZero) {
    makeSets(4);
    externalRun();
    start();
    const int64_t t0 = nowUs;  // the counter's 0
    auto at = [&](int64_t ms) { return t0 + ms * 1000; };

    // An offset larger than the time so far stops at 00:00:00:00.
    RecordOptions o;
    o.reactionMs = 5000;  // read as 1000
    recorder->setOptions(o);
    EXPECT_EQ(recorder->options().reactionMs, 1000);
    nowUs = at(600);
    recorder->pass({false, true, at(500), at(550)});
    EXPECT_EQ(timing(0), "00:00:00:00");

    // "Time at release": the key-up's moment, not the press's.
    o = RecordOptions{};
    o.timeAtRelease = true;
    recorder->setOptions(o);
    nowUs = at(1100);
    recorder->pass({true, true, at(1000), std::nullopt});
    EXPECT_EQ(timing(0), "00:00:00:00");  // nothing until the release
    nowUs = at(1500);
    recorder->pass({false, false, std::nullopt, at(1400)});
    EXPECT_EQ(timing(0), "00:00:00:00>00:00:01:10");

    // Hold mode: ON at the press, OFF at the release, the next press is the next set.
    o = RecordOptions{};
    o.holdMode = true;
    recorder->setOptions(o);
    nowUs = at(2050);
    recorder->pass({true, true, at(2000), std::nullopt});
    EXPECT_EQ(timing(1), "00:00:02:00");
    EXPECT_TRUE(view.overlayOn);
    for (int i = 0; i < 10; ++i) {
        nowUs += 80'000;
        recorder->pass({true, i % 4 == 0, std::nullopt, std::nullopt});  // key repeat
    }
    EXPECT_EQ(timing(1), "00:00:02:00");
    nowUs = at(3100);
    recorder->pass({false, false, std::nullopt, at(3000)});
    EXPECT_EQ(timing(1), "00:00:02:00>00:00:03:00");
    EXPECT_FALSE(view.overlayOn);
    // A short hold between two passes is still ON and OFF.
    nowUs = at(4300);
    recorder->pass({false, true, at(4000), at(4200)});
    EXPECT_EQ(timing(2), "00:00:04:00>00:00:04:05");
    EXPECT_EQ(recorder->currentSet(), 3);
    // Without the key's own moments the pass's time counts.
    nowUs = at(5000);
    recorder->pass({true, true, std::nullopt, std::nullopt});
    nowUs = at(5400);
    recorder->pass({false, false, std::nullopt, std::nullopt});
    EXPECT_TRUE(recorder->ended());
    EXPECT_EQ(timing(3), "00:00:05:00>00:00:05:10");
}

TEST_F(RecorderTest, PartialRunStartsAtTheSelectedSetAndKeepsEveryOtherTiming) {
    makeSets(6, true);
    state.list.setLineColumn(6, Column::Timing, "00:00:09:00>00:00:09:20");
    state.list.setLineColumn(7, Column::Timing, "00:00:09:00>00:00:09:20");
    selectRow(7);  // line B of set 3
    movie.now = &nowUs;
    movie.length = 2500;
    movie.duration = 100000;
    source = std::make_unique<MovieFrameSource>(movie, [this] { return nowUs; });
    recorder = std::make_unique<EditorRecorder>(c(), ui, view, *source, [this] { return nowUs / 1000; });
    RecordOptions o;
    o.fromSelectedSet = true;
    recorder->setOptions(o);
    recorder->open();
    EXPECT_EQ(view.nextA, "Line 3 A");
    advance(100);
    start();
    // The movie starts 3 s before the set's old ON.
    ASSERT_TRUE(movie.playedFrom.has_value());
    EXPECT_DOUBLE_EQ(*movie.playedFrom, 6.0);
    EXPECT_EQ(ui.selectedListRow(), 6);
    advance(2000);
    space();  // ON at 8 s
    advance(1000);
    space();  // OFF at 9 s
    EXPECT_EQ(timing(3), "00:00:08:00>00:00:09:00");
    EXPECT_EQ(recorder->currentSet(), 4);
    recorder->clickExit();
    pass();
    ASSERT_TRUE(recorder->ended());
    for (int k : {0, 1, 2, 4, 5})
        EXPECT_EQ(timing(k), "00:00:0" + std::to_string(k) + ":00>00:00:0" + std::to_string(k) + ":10") << k;
    EXPECT_EQ(state.list.column(7, Column::OffOn), "140+25");  // 8 s after set 2's old OFF
}

TEST_F(RecorderTest, PartialRunWithTheExternalClockCountsFromThreeSecondsBeforeTheOldOn) {
    makeSets(3, true);
    state.list.setLineColumn(4, Column::Timing, "00:01:00:05>00:01:02:00");
    selectRow(4);
    externalRun();
    RecordOptions o;
    o.fromSelectedSet = true;
    recorder->setOptions(o);
    start();
    EXPECT_EQ(recorder->timeCode(), "00:00:57:05");
    EXPECT_EQ(view.seconds, "00:00:57:");
    advance(3000);
    space();
    EXPECT_EQ(timing(2), "00:01:00:05");
    EXPECT_EQ(timing(0), "00:00:00:00>00:00:00:10");
}

TEST_F(RecorderTest, PartialRunFromAnUntimedSetStartsThreeSecondsBeforeTheLastTimedSetEnds) {
    makeSets(3, true);
    state.list.setLineColumn(2, Column::Timing, "00:01:00:05>00:01:02:00");
    state.list.setLineColumn(4, Column::Timing, "");  // set 2 has no times yet
    selectRow(4);
    externalRun();
    RecordOptions o;
    o.fromSelectedSet = true;
    recorder->setOptions(o);
    start();
    EXPECT_EQ(recorder->timeCode(), "00:00:59:00");  // set 1's OFF less three seconds
    advance(3500);
    space();
    EXPECT_EQ(timing(2), "00:01:02:12");  // after set 1, not before it
}

TEST_F(RecorderTest, PartialRunWithoutAnOldTimeStartsTheMovieAtTheBeginning) {
    makeSets(3);
    selectRow(2);
    movie.now = &nowUs;
    internalRun();
    RecordOptions o;
    o.fromSelectedSet = true;
    recorder->setOptions(o);
    EXPECT_EQ(view.nextA, "Line 1 A");
    advance(100);
    start();
    EXPECT_FALSE(movie.playedFrom.has_value());
    EXPECT_EQ(movie.resumes, 1);
    advance(1000);
    space();
    EXPECT_EQ(timing(0), "");
    EXPECT_EQ(timing(1), "00:00:01:02");  // 0.1 s of first picture + 1 s
}

TEST_F(RecorderTest, AtHalfSpeedTheTimesAreMovieTime) {
    makeSets(2);
    movie.now = &nowUs;
    movie.length = 2500;
    movie.duration = 100000;
    internalRun();
    advance(100);
    start();
    movie.setSpeed(0.5);
    advance(3800);  // 1.9 s of movie after 0.1 s at full speed
    space();
    EXPECT_EQ(timing(0), "00:00:02:00");
    RecordOptions o;
    o.reactionMs = 200;  // moves movie time
    recorder->setOptions(o);
    advance(2000);
    space();
    EXPECT_EQ(timing(0), "00:00:02:00>00:00:02:20");
    EXPECT_EQ(view.seconds, "00:00:03:");
}

TEST_F(RecorderTest, PauseStepsAndJumpsBackMoveTheMovieAndSpaceTakesTheStandingPicture) {
    makeSets(2);
    movie.now = &nowUs;
    movie.length = 2500;
    movie.duration = 100000;
    internalRun();
    advance(100);
    start();
    RecordOptions o;
    o.reactionMs = 200;
    recorder->setOptions(o);
    recorder->stepFrames(1);  // not paused: nothing
    EXPECT_FALSE(movie.playedFrom.has_value());
    advance(4900);  // movie at 5.0 s
    recorder->togglePause();
    EXPECT_TRUE(recorder->paused());
    advance(3000);  // stands
    EXPECT_EQ(recorder->timeCode(), "00:00:05:00");
    recorder->stepFrames(1);
    EXPECT_DOUBLE_EQ(*movie.playedFrom, 5.04);
    EXPECT_TRUE(movie.isPaused);
    recorder->stepFrames(-3);
    EXPECT_NEAR(*movie.playedFrom, 4.92, 1e-9);
    recorder->jumpBack(2'000'000);
    EXPECT_NEAR(*movie.playedFrom, 2.92, 1e-9);
    pass();
    EXPECT_EQ(recorder->timeCode(), "00:00:02:23");
    // Paused: no reaction offset, the picture that stands is the time.
    space();
    EXPECT_EQ(timing(0), "00:00:02:23");
    recorder->togglePause();
    EXPECT_FALSE(recorder->paused());
    advance(1000);
    space();
    EXPECT_EQ(timing(0), "00:00:02:23>00:00:03:18");  // 3.92 - 0.2 s
    // Going back to 0 while paused is no end of the movie.
    recorder->togglePause();
    recorder->jumpBack(10'000'000);
    advance(10);
    EXPECT_EQ(recorder->state(), RecorderState::Recording);
}

TEST(RecorderRules, StartSetOldOnTimeAndOffsetClamp) {
    EXPECT_EQ(runStartSet(false, 7, 5), 0);
    EXPECT_EQ(runStartSet(true, 7, 5), 3);
    EXPECT_EQ(runStartSet(true, 6, 5), 3);
    EXPECT_EQ(runStartSet(true, 40, 5), 4);  // a row beyond the list: the last set
    EXPECT_EQ(runStartSet(true, -1, 5), 0);
    EXPECT_EQ(runStartSet(true, 3, 0), 0);

    EXPECT_EQ(onFrameOfTiming("00:00:09:05>00:00:10:00", 25), std::optional<int64_t>(230));
    EXPECT_EQ(onFrameOfTiming("01:00:00:00", 30), std::optional<int64_t>(108000));
    EXPECT_EQ(onFrameOfTiming(" 00:00:01:02 ", 25), std::optional<int64_t>(27));
    for (const char* bad : {"", ">00:00:01:00", "00:00:01", "aa:00:01:00", "00:00:01:00:00", "00::01:00", "-1:00:00:00"})
        EXPECT_EQ(onFrameOfTiming(bad, 25), std::nullopt) << bad;

    EXPECT_EQ(reactionCorrected(1'000'000, 300), 700'000);
    EXPECT_EQ(reactionCorrected(100'000, 300), 0);
    EXPECT_EQ(reactionCorrected(5'000'000, 4000), 4'000'000);  // at most 1000 ms
    EXPECT_EQ(reactionCorrected(5'000'000, -50), 5'000'000);
}

TEST(RecorderRules, KeyEventStampsOnTheMonotonicClock) {
    const int64_t now = 5'000'123'456;  // 5000.123456 s
    const uint32_t nowMs = 5'000'123;
    EXPECT_EQ(keyEventInstantUs(nowMs - 150, now), 4'999'973'000);
    EXPECT_EQ(keyEventInstantUs(nowMs, now), 5'000'123'000);
    EXPECT_EQ(keyEventInstantUs(nowMs + 5, now), now);       // a coarse clock a tick ahead: now
    EXPECT_EQ(keyEventInstantUs(nowMs - 5000, now), now);    // too old to be this press
    EXPECT_EQ(keyEventInstantUs(123, now), now);             // another clock
    // Across the 32-bit wrap of the stamps.
    const int64_t wrapNow = (int64_t(1) << 32) * 1000 + 40'000;  // 40 ms after a wrap
    EXPECT_EQ(keyEventInstantUs(uint32_t(-60), wrapNow), wrapNow - 100'000);
}

TEST(FrameSources, PositionsAndFramesAtFractionalRates) {
    FakeMovie m;
    m.fps = 29.97;
    m.length = 2997;
    m.duration = 100000;
    MovieFrameSource s(m, [] { return int64_t(0); });
    ASSERT_EQ(s.rate(), 29);
    EXPECT_EQ(s.frameOfPosition(60'000'000), 60 * 29);   // the seconds stay the movie's
    EXPECT_EQ(s.frameOfPosition(500'000'000), 2899);  // no further than the last picture, at 99.97 s
    for (int64_t f : {1, 28, 29, 1234, 2800}) EXPECT_EQ(s.frameOfPosition(s.positionOfFrame(f)), f) << f;
    ExternalFrameSource e(23.976f, [] { return int64_t(0); });
    for (int64_t f : {1, 23, 24, 86399}) EXPECT_EQ(e.frameOfPosition(e.positionOfFrame(f)), f) << f;
    EXPECT_EQ(movieFrameAt(-1.0, 25.0, 100), 0);
    EXPECT_EQ(movieFrameAt(1.0, 25.0, 100), 25);
    EXPECT_EQ(movieFrameAt(100.0, 25.0, 100), 99);
}

}  // namespace
