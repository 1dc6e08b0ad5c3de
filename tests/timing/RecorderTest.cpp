#include <gtest/gtest.h>

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

// A movie whose frame counter the test sets.
struct FakeMovie : MoviePlayer {
    int64_t frame = 0, length = 150, duration = 6000;
    bool isPlaying = false, isPaused = false, freed = false;
    int plays = 0, resumes = 0, stops = 0;

    std::string load(const std::string&) override { return {}; }
    bool loaded() const override { return !freed; }
    int width() const override { return 320; }
    int height() const override { return 240; }
    double frameRate() const override { return 25.0; }
    int64_t lengthInFrames() const override { return length; }
    int64_t durationMs() const override { return duration; }
    void setDisplaySize(int, int) override {}
    void play() override { isPlaying = true, isPaused = false, ++plays; }
    void pause() override { isPaused = isPlaying; }
    void resume() override { isPaused = false, ++resumes; }
    void stop() override { isPlaying = isPaused = false, frame = 0, ++stops; }
    bool playing() const override { return isPlaying; }
    bool paused() const override { return isPaused; }
    int64_t currentFrame() const override { return frame; }
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
        source = std::make_unique<MovieFrameSource>(movie);
        recorder = std::make_unique<EditorRecorder>(c(), ui, view, *source, [this] { return nowUs / 1000; });
        recorder->open();
    }

    void pass(bool down = false, bool pressed = false) { recorder->pass({down, pressed}); }
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
    for (int i = 0; i < 20; ++i) {
        nowUs += 50'000;
        pass(true, i % 3 == 0);  // key repeat reports more presses
    }
    EXPECT_EQ(timing(0), "");  // nothing until the release
    pass(false);
    EXPECT_EQ(timing(0), "00:00:02:00");  // the time of the release
    EXPECT_TRUE(recorder->nextStepIsOn() == false);

    // A press and release both between two passes.
    nowUs += 400'000;
    pass(false, true);
    EXPECT_EQ(timing(0), "00:00:02:00>00:00:02:10");
    EXPECT_EQ(recorder->currentSet(), 1);
}

TEST_F(RecorderTest, StopEndsTheOnlyRecordingOfTheWindow) {
    makeSets(3);
    externalRun();
    start();
    advance(1000);
    space();
    recorder->clickStartStop();
    pass();
    EXPECT_EQ(recorder->state(), RecorderState::Stopped);
    EXPECT_FALSE(view.startVisible);
    EXPECT_EQ(source->frame(), 0);
    EXPECT_FALSE(source->running());
    space();
    EXPECT_EQ(timing(0), "00:00:01:00");  // ON only, no OFF after STOP
    EXPECT_FALSE(recorder->ended());
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

}  // namespace
