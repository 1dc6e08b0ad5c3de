#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "render/Background.h"
#include "base/Rgb.h"

class FrameSource;
class SubtitleList;

// --- texts of the Record Timings dialog and the timing window -----------------

namespace timingtext {
extern const char* const kDialogTitle;        // "Record Timings"
extern const char* const kPlayInternally;     // button captions
extern const char* const kPlayExternally;
extern const char* const kCancelExit;
extern const char* const kDialogInfo;         // the help text
extern const char* const kLoadInternalTitle;  // "Load a movie - will scale to 50%"
extern const char* const kLoadExternalTitle;  // "Load a movie"
extern const char* const kLoadErrorTitle;     // "Error!"
extern const char* const kLoadErrorText;
extern const char* const kStart;              // "START!"
extern const char* const kStop;               // "STOP!"
extern const char* const kExit;               // "EXIT"
extern const char* const kHint;               // "Space = Next Subtitle ON/OFF"
extern const char* const kEndOfSubtitles;     // "< END OF SUBTITLES >"
}  // namespace timingtext

// Title of the timing window: the movie's size when it is played here, the
// project's otherwise.
std::string timingWindowTitle(bool internalMovie, int width, int height);

// The question asked when no program could be started to play the movie.
extern const char* const kExternalPlayerQuestionTitle;  // "Question"
std::string externalPlayerQuestionText(const std::string& path);

// --- time codes of the recorder -------------------------------------------------

// Two digits, zero-padded; a longer number keeps its first two digits.
std::string twoDigits(int64_t v);
// "HH:MM:SS:" and "FF" of frame f at `rate` frames per second.
std::string runningSecondsText(int64_t f, int rate);
std::string runningFramesText(int64_t f, int rate);
// "HH:MM:SS:FF".
std::string recorderTimeCode(int64_t f, int rate);
// The same as a time code, and back: whole seconds at the recorder's whole rate.
TimeCode recorderTime(int64_t f, int rate);
int64_t recorderFrame(const TimeCode& t, int rate);

// --- the window as the recorder sees it ----------------------------------------

class TimingView {
public:
    virtual ~TimingView() = default;
    virtual void setSecondsLabel(const std::string& text) = 0;  // "HH:MM:SS:"
    virtual void setFramesLabel(const std::string& text) = 0;   // "FF"
    virtual void setTotalLabel(const std::string& text) = 0;
    // The START/STOP toggle: its caption and whether it shows pressed.
    virtual void setStartButton(const std::string& caption, bool pressed) = 0;
    virtual void hideStartButton() = 0;
    virtual void setNextSet(const std::string& lineA, const std::string& lineB) = 0;
    // The set that went ON, over the picture; without a movie the area is
    // filled with `bgColor` first.
    virtual void showOverlay(std::vector<OverlayPiece> pieces, Rgb bgColor) = 0;
    // Takes the set away: without a movie the area becomes `bgColor`.
    virtual void clearOverlay(Rgb bgColor) = 0;
    // Feedback for an OFF: the window moves 1 pixel right for 100 ms and back.
    virtual void nudge() = 0;
};

// The Space key as seen by one loop pass.
struct SpaceInput {
    bool down = false;     // held now
    bool pressed = false;  // went down since the last pass (a short tap may be up again)
    // When the key last went down and up (steadyMicros()), where the window
    // knows it; the pass's own time otherwise.
    std::optional<int64_t> downAtUs, upAtUs;
};

// The moment (steadyMicros()) of a key event stamped `eventMs` by the window
// system, read at `nowUs`. The X server stamps events with the same
// monotonic clock in milliseconds, wrapped at 32 bits; a stamp that does
// not fit that (another clock, older than a second, from the future) is
// not trusted and the event counts as happening now.
int64_t keyEventInstantUs(uint32_t eventMs, int64_t nowUs);

// How Space steps are timed; the window's choices.
struct RecordOptions {
    int reactionMs = 0;             // every recorded time moves earlier by this
    bool timeAtRelease = false;     // tap mode: the time of the release, not of the press
    bool holdMode = false;          // press = ON, release = OFF
    bool fromSelectedSet = false;   // START records from the selected set on
};

constexpr int kMaxReactionMs = 1000;
int clampReactionMs(int ms);

// A movie time moved earlier by the reaction offset, never before 0.
int64_t reactionCorrected(int64_t positionUs, int reactionMs);

// Where a run begins: the selected set (line A or B row selected) with
// "Start at the selected set", the first set otherwise.
int runStartSet(bool fromSelectedSet, int selectedRow, int setCount);

// How far before a set's old ON the movie starts for a run from that set.
constexpr int64_t kLeadInUs = 3'000'000;

// The frame of the ON time of a timing ("HH:MM:SS:FF>..." or "HH:MM:SS:FF")
// at `rate`; nullopt when the timing has no ON time.
std::optional<int64_t> onFrameOfTiming(const std::string& timing, int rate);
std::optional<int64_t> onFrameOf(const RowTiming& timing, int rate);
// The frame of the OFF time, nullopt when the timing has none.
std::optional<int64_t> offFrameOf(const RowTiming& timing, int rate);

enum class RecorderState { Armed, Stopped, Recording };

// What the recorder needs from the program around it: the list it times and
// the main window beside the timing window. The editor provides it.
class RecorderHost {
public:
    virtual ~RecorderHost() = default;
    virtual SubtitleList& list() = 0;
    // The colour the timing window shows where no movie is.
    virtual Rgb bgColor() const = 0;
    virtual void setRecordingActive(bool active) = 0;
    // The list's timing column changed.
    virtual void listChanged() = 0;
    // Selects list row `row` in the main window.
    virtual void selectListRow(int row) = 0;
    // The row selected in the main window, -1 when none.
    virtual int selectedListRow() const = 0;
    // Selects `set` in the main window as a click would and returns its
    // picture as pieces to lay over the movie.
    virtual std::vector<OverlayPiece> showSet(int set) = 0;
    // The run is over; `elapsedMs` counts from START when a recording was
    // started, `rate` is the recorder's frame rate.
    virtual void runEnded(std::optional<int64_t> elapsedMs, int rate) = 0;
    // Tells the user something before a run goes on (a message box).
    virtual void warn(const std::string& text) { (void)text; }
};

// Before a run from set `start`: the sets above it timed after `fromFrame`
// (at `rate`), where the run takes its times from; whatever the run records
// comes before theirs. "" when there are none, else the warning.
std::string runOrderWarning(const SubtitleList& list, int start, int64_t fromFrame, int rate);

// The timing recorder: the runs of one timing window (STOP ends a run,
// START begins the next with the window's options). Each Space step (press
// and release) switches the next subtitle set ON or OFF at the current time
// code and writes it into the list.
//
// The window adapter calls open() once, then pass() periodically (every few
// milliseconds) until ended(). Button clicks are queued and handled at the
// end of the next pass.
class Recorder {
public:
    using Millis = std::function<int64_t()>;  // monotonic milliseconds

    Recorder(RecorderHost& host, TimingView& view, FrameSource& source, Millis now = {});
    virtual ~Recorder() = default;

    void open();
    void pass(const SpaceInput& space);
    void clickStartStop();
    void clickExit();

    void setOptions(const RecordOptions& options);
    const RecordOptions& options() const { return options_; }

    // While recording: P stops and continues the clock; while it stands,
    // frame steps and jumps back move the movie (not the external counter).
    void togglePause();
    bool paused() const;
    void stepFrames(int frames);
    void jumpBack(int64_t us);

    RecorderState state() const { return state_; }
    bool ended() const { return ended_; }
    int currentSet() const { return current_; }
    int64_t frame() const { return frame_; }
    std::string timeCode() const { return recorderTimeCode(frame_, rate_); }
    bool nextStepIsOn() const { return nextOn_; }

private:
    int setCount() const;
    // The first set from `set` on with any text; setCount() when none.
    int nextSetWithText(int set) const;
    void showNextSet(int set);
    void updateRunningTime();
    bool movieEnded();
    void onMovieEnd();
    void handleSpace(const SpaceInput& space);
    int64_t frameAt(std::optional<int64_t> atUs) const;
    void step(bool on, int64_t frame);
    void stepOn(int64_t frame);
    void stepOff(int64_t frame);
    void startRecording();
    void stopRecording();
    void endRun();
    void writeTiming(int set, const RowTiming& timing);

    RecorderHost& host_;
    TimingView& view_;
    FrameSource& source_;
    Millis now_;
    int rate_;

    RecorderState state_ = RecorderState::Stopped;
    bool ended_ = false;
    int current_ = 0;
    int64_t frame_ = 0;
    int64_t shownFrames_ = -1, shownSeconds_ = -1;  // what the running-time labels show
    std::optional<TimeCode> onTime_;
    bool nextOn_ = true;
    bool waitingRelease_ = false;
    bool stepIsOn_ = true;
    bool stepAtRelease_ = false;  // the pending step is timed at the release
    bool offAtRelease_ = false;   // hold mode: the release switches the set OFF
    bool wasDown_ = false;
    std::optional<int64_t> startMs_;
    bool startStopClicked_ = false, exitClicked_ = false;
    RecordOptions options_;
    int selectedRow_ = -1;  // the list selection when the window opened
};

int64_t steadyMillis();
