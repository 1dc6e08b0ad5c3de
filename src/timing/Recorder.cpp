#include "timing/Recorder.h"

#include "base/Text.h"

#include <algorithm>
#include <chrono>
#include <climits>

#include "project/SubtitleList.h"
#include "project/TimeCode.h"
#include "timing/FrameSource.h"
#include "timing/TimingLog.h"

namespace timingtext {
const char* const kDialogTitle = "Record Timings";
const char* const kPlayInternally = "Play Movie Internally";
const char* const kPlayExternally = "Play Movie Externally";
const char* const kCancelExit = "Cancel/Exit";
const char* const kDialogInfo =
    "Internally: Choose a suitable movie file to play by this software. Timing will be precise as movie playback is "
    "used as timer reference. Note: Typical movie formats that work are AVI, MPG, DivX, WMV. If you get a playback "
    "error, choose the external player instead. The movie is shown at 50% of its size.\n\n"
    "External: Play the movie with your favourite external player. You need to sync the start time later, as the "
    "playback of the movie is not synchronised with this software.";
const char* const kLoadInternalTitle = "Load a movie - will scale to 50%";
const char* const kLoadExternalTitle = "Load a movie";
const char* const kLoadErrorTitle = "Error!";
const char* const kLoadErrorText =
    "Could not load movie. Maybe format not supported, or movie is damaged/wrong file\n"
    "Try playing with external player instead!";
const char* const kStart = "START!";
const char* const kStop = "STOP!";
const char* const kExit = "EXIT";
const char* const kHint = "Space = Next Subtitle ON/OFF";
const char* const kEndOfSubtitles = "< END OF SUBTITLES >";
}  // namespace timingtext

std::string timingWindowTitle(bool internalMovie, int width, int height) {
    return std::string("Scaled to 50% preview of Project. ") + (internalMovie ? "Movie Width: " : "Project Width: ") +
           std::to_string(width) + " x " + std::to_string(height);
}

const char* const kExternalPlayerQuestionTitle = "Question";

std::string externalPlayerQuestionText(const std::string& path) {
    return "Could not start a program to play the movie:\n" + path +
           "\nNo program is set up to open this kind of file.\n\nPlay it in a player of your choice and record "
           "with the clock of this program anyway?";
}

// --- time codes -------------------------------------------------------------------

std::string twoDigits(int64_t v) {
    std::string s = std::to_string(v < 0 ? 0 : v);
    if (s.size() < 2) return "0" + s;
    return s.substr(0, 2);
}

namespace {
int safeRate(int rate) { return rate > 0 ? rate : 1; }
}  // namespace

std::string runningSecondsText(int64_t f, int rate) {
    int64_t secs = std::max<int64_t>(f, 0) / safeRate(rate);
    return twoDigits(secs / 3600) + ":" + twoDigits(secs / 60 % 60) + ":" + twoDigits(secs % 60) + ":";
}

std::string runningFramesText(int64_t f, int rate) {
    return twoDigits(std::max<int64_t>(f, 0) % safeRate(rate));
}

std::string recorderTimeCode(int64_t f, int rate) {
    return runningSecondsText(f, rate) + runningFramesText(f, rate);
}

TimeCode recorderTime(int64_t f, int rate) {
    const int64_t frame = std::max<int64_t>(f, 0), secs = frame / safeRate(rate);
    return TimeCode{int(secs / 3600), int(secs / 60 % 60), int(secs % 60), int(frame % safeRate(rate))};
}

int64_t keyEventInstantUs(uint32_t eventMs, int64_t nowUs) {
    const uint32_t nowMs = uint32_t(uint64_t(nowUs / 1000));
    const int32_t age = int32_t(nowMs - eventMs);  // wraps like the stamps
    // Milliseconds of a coarse clock may run up to a tick behind the exact one.
    if (age < -20 || age > 1000) return nowUs;
    int64_t at = (nowUs / 1000 - age) * 1000;
    return at < nowUs ? at : nowUs;
}

int clampReactionMs(int ms) { return std::clamp(ms, 0, kMaxReactionMs); }

int64_t reactionCorrected(int64_t positionUs, int reactionMs) {
    int64_t t = positionUs - int64_t(clampReactionMs(reactionMs)) * 1000;
    return t > 0 ? t : 0;
}

int runStartSet(bool fromSelectedSet, int selectedRow, int setCount) {
    if (!fromSelectedSet || selectedRow < 0 || setCount <= 0) return 0;
    return std::min(selectedRow / 2, setCount - 1);
}

int64_t recorderFrame(const TimeCode& t, int rate) {
    return (int64_t(t.hh) * 3600 + int64_t(t.mm) * 60 + t.ss) * safeRate(rate) + t.ff;
}

std::optional<int64_t> onFrameOfTiming(const std::string& timing, int rate) {
    std::string on = splitTiming(timing).first;
    // Exactly four fields of digits; anything else is no time.
    int fields[4] = {0, 0, 0, 0}, n = 0;
    size_t digits = 0;
    for (char ch : on) {
        if (ch >= '0' && ch <= '9') {
            if (++digits > 6) return std::nullopt;
            fields[n] = fields[n] * 10 + (ch - '0');
        } else if (ch == ':' && digits > 0 && n < 3) {
            ++n;
            digits = 0;
        } else if (ch != ' ') {
            return std::nullopt;
        }
    }
    if (n != 3 || digits == 0) return std::nullopt;
    return recorderFrame(TimeCode{fields[0], fields[1], fields[2], fields[3]}, rate);
}

std::optional<int64_t> onFrameOf(const RowTiming& timing, int rate) {
    if (!timing.verbatim.empty()) return onFrameOfTiming(timing.verbatim, rate);
    return timing.on ? std::optional<int64_t>(recorderFrame(*timing.on, rate)) : std::nullopt;
}

std::optional<int64_t> offFrameOf(const RowTiming& timing, int rate) {
    if (!timing.verbatim.empty()) return onFrameOfTiming(splitTiming(timing.verbatim).second, rate);
    return timing.off ? std::optional<int64_t>(recorderFrame(*timing.off, rate)) : std::nullopt;
}

int64_t steadyMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// --- the recorder -------------------------------------------------------------------

Recorder::Recorder(RecorderHost& host, TimingView& view, FrameSource& source, Millis now)
    : host_(host), view_(view), source_(source), now_(now ? std::move(now) : Millis(&steadyMillis)),
      rate_(safeRate(source.rate())) {}

int Recorder::setCount() const {
    // A lone line A at the end still counts as a set.
    return (host_.list().lineCount() + 1) / 2;
}

int Recorder::nextSetWithText(int set) const {
    // A run times only sets with text: the empty new set at the end of the
    // list, and empty sets between others, keep their times untouched.
    const SubtitleList& list = host_.list();
    const int count = setCount();
    for (set = std::max(set, 0); set < count; ++set)
        if (!text::trimSpaces(list.column(2 * set, Column::Text)).empty() ||
            !text::trimSpaces(list.column(2 * set + 1, Column::Text)).empty())
            return set;
    return count;
}

void Recorder::showNextSet(int set) {
    if (set >= setCount()) {
        view_.setNextSet(timingtext::kEndOfSubtitles, timingtext::kEndOfSubtitles);
        return;
    }
    const SubtitleList& list = host_.list();
    view_.setNextSet(list.column(2 * set, Column::Text), list.column(2 * set + 1, Column::Text));
}

void Recorder::open() {
    host_.setRecordingActive(true);
    current_ = 0;
    selectedRow_ = host_.selectedListRow();
    showNextSet(nextSetWithText(runStartSet(options_.fromSelectedSet, selectedRow_, setCount())));
    view_.setTotalLabel(recorderTimeCode(source_.totalFrames(), rate_));
    view_.setStartButton(timingtext::kStart, false);
    source_.open();
    if (source_.internal()) {
        state_ = RecorderState::Armed;
    } else {
        view_.clearOverlay(host_.bgColor());
        state_ = RecorderState::Stopped;
    }
}

void Recorder::setOptions(const RecordOptions& options) {
    options_ = options;
    options_.reactionMs = clampReactionMs(options.reactionMs);
    if (state_ != RecorderState::Recording && !ended_)
        showNextSet(nextSetWithText(runStartSet(options_.fromSelectedSet, selectedRow_, setCount())));
}

bool Recorder::paused() const { return state_ == RecorderState::Recording && source_.paused(); }

void Recorder::togglePause() {
    if (state_ != RecorderState::Recording) return;
    source_.setPaused(!source_.paused());
}

void Recorder::stepFrames(int frames) {
    if (!paused() || !source_.canMove()) return;
    source_.stepPictures(frames);
}

void Recorder::jumpBack(int64_t us) {
    if (!paused() || !source_.canMove()) return;
    source_.moveTo(std::max<int64_t>(source_.positionUs() - us, 0));
}

void Recorder::clickStartStop() { startStopClicked_ = true; }
void Recorder::clickExit() { exitClicked_ = true; }

void Recorder::pass(const SpaceInput& space) {
    if (ended_) return;
    if (state_ == RecorderState::Armed && source_.firstPictureShown()) state_ = RecorderState::Stopped;

    if (state_ == RecorderState::Recording) {
        if (movieEnded())
            onMovieEnd();
        else {
            frame_ = source_.frame();
            updateRunningTime();
        }
    }

    if (current_ >= setCount()) {
        showNextSet(current_);
        endRun();
        return;
    }

    handleSpace(space);
    if (current_ >= setCount()) {  // the last set went OFF
        showNextSet(current_);
        endRun();
        return;
    }

    if (startStopClicked_) {
        startStopClicked_ = false;
        if (state_ == RecorderState::Stopped)
            startRecording();
        else if (state_ == RecorderState::Recording)
            stopRecording();
        else
            view_.setStartButton(timingtext::kStart, false);  // still waiting for the first picture
    }
    if (exitClicked_) {
        exitClicked_ = false;
        endRun();
    }
}

void Recorder::updateRunningTime() {
    int64_t ff = frame_ % rate_, secs = frame_ / rate_;
    if (ff != shownFrames_) {
        shownFrames_ = ff;
        view_.setFramesLabel(runningFramesText(frame_, rate_));
    }
    // Whole seconds, not the seconds field: a jump of exactly a minute
    // still changes the label.
    if (secs != shownSeconds_) {
        shownSeconds_ = secs;
        view_.setSecondsLabel(runningSecondsText(frame_, rate_));
    }
}

bool Recorder::movieEnded() {
    if (!source_.internal() || source_.frame() != 0 || source_.paused()) return false;
    // A movie reads frame 0 for a moment after it was started; it has ended
    // when it has run for two seconds, or when it says it stopped.
    return frame_ >= 2 * int64_t(rate_) || !source_.running();
}

void Recorder::onMovieEnd() {
    state_ = RecorderState::Stopped;
    view_.setStartButton(timingtext::kStart, false);
    int64_t total = source_.totalFrames();
    view_.setSecondsLabel(runningSecondsText(total, rate_));
    view_.setFramesLabel(runningFramesText(total, rate_));
    frame_ = 0;
    shownFrames_ = shownSeconds_ = -1;
    waitingRelease_ = false;
}

void Recorder::handleSpace(const SpaceInput& space) {
    bool press = space.pressed || (space.down && !wasDown_);
    wasDown_ = space.down;
    if (state_ != RecorderState::Recording) {
        waitingRelease_ = false;
        return;
    }
    if (!waitingRelease_ && press) {
        // The press decides the step. Timed at the press unless the user
        // asked for the release; in hold mode the release switches OFF
        // what the press switched ON.
        waitingRelease_ = true;
        stepIsOn_ = nextOn_;
        stepAtRelease_ = options_.timeAtRelease && !options_.holdMode;
        offAtRelease_ = options_.holdMode && stepIsOn_;
        if (!stepAtRelease_) step(stepIsOn_, frameAt(space.downAtUs));
    }
    if (waitingRelease_ && !space.down) {
        waitingRelease_ = false;
        if (stepAtRelease_)
            step(stepIsOn_, frameAt(space.upAtUs));
        else if (offAtRelease_ && !nextOn_ && current_ < setCount())
            step(false, frameAt(space.upAtUs));
    }
}

int64_t Recorder::frameAt(std::optional<int64_t> atUs) const {
    // The reaction offset is for a moving picture; a picture that stands
    // still is timed as it is.
    int reaction = source_.paused() ? 0 : options_.reactionMs;
    return source_.frameOfPosition(reactionCorrected(source_.positionUs(atUs), reaction));
}

void Recorder::step(bool on, int64_t frame) {
    if (timingLogOn())
        timingLog(std::string("step ") + (on ? "on" : "off") + " set=" + std::to_string(current_) +
                  " frame=" + std::to_string(frame));
    nextOn_ = !on;
    if (on)
        stepOn(frame);
    else
        stepOff(frame);
}

void Recorder::writeTiming(int set, const RowTiming& timing) {
    host_.list().setSetTiming(set, timing);
    host_.listChanged();
}

void Recorder::stepOn(int64_t frame) {
    onTime_ = recorderTime(frame, rate_);
    RowTiming timing(onTime_, std::nullopt);
    timing.verbatim = recorderTimeCode(frame, rate_);  // "HH:MM:SS:FF" until the OFF step
    writeTiming(current_, timing);
    // Show the set in the main window, which renders it, and lay it over the picture.
    std::vector<OverlayPiece> pieces = host_.showSet(current_);
    view_.showOverlay(std::move(pieces), host_.bgColor());
    showNextSet(nextSetWithText(current_ + 1));
}

void Recorder::stepOff(int64_t frame) {
    writeTiming(current_, RowTiming(onTime_, recorderTime(frame, rate_)));
    view_.nudge();
    view_.clearOverlay(host_.bgColor());
    current_ = nextSetWithText(current_ + 1);
    if (2 * current_ < host_.list().lineCount()) host_.selectListRow(2 * current_);
}

void Recorder::startRecording() {
    // Every set keeps its timing until the run reaches it.
    view_.setStartButton(timingtext::kStop, true);
    state_ = RecorderState::Recording;
    current_ = nextSetWithText(runStartSet(options_.fromSelectedSet, selectedRow_, setCount()));
    int64_t fromUs = 0;
    if (options_.fromSelectedSet) {
        const SubtitleList& list = host_.list();
        std::optional<int64_t> from = onFrameOf(list.timing(2 * current_), rate_);
        // A set without an ON time starts where the last timed set before
        // it ends, so the run does not give it times earlier than that set's.
        for (int k = current_ - 1; !from && k >= 0; --k) {
            const RowTiming timing = list.timing(2 * k);
            from = offFrameOf(timing, rate_);
            if (!from) from = onFrameOf(timing, rate_);
        }
        if (from) {
            fromUs = std::max<int64_t>(source_.positionOfFrame(*from) - kLeadInUs, 0);
            const std::string warning = runOrderWarning(list, current_, *from, rate_);
            if (!warning.empty()) host_.warn(warning);
        }
    }
    host_.selectListRow(2 * current_);
    showNextSet(current_);
    nextOn_ = true;
    waitingRelease_ = false;
    onTime_.reset();
    frame_ = 0;
    shownFrames_ = shownSeconds_ = -1;
    // The timed session counts from the first START of the window.
    if (!startMs_) startMs_ = now_();
    source_.start(fromUs);
    if (fromUs > 0) {  // the running time shows where the run starts
        frame_ = source_.frame();
        updateRunningTime();
    }
}

void Recorder::stopRecording() {
    view_.setStartButton(timingtext::kStart, false);
    state_ = RecorderState::Stopped;
    source_.stop();
    frame_ = 0;
    waitingRelease_ = false;
    // The window stays for another run, with its options: from the set the
    // main window now selects (the one the run stopped at) when it starts
    // at the selected set, from the first set otherwise.
    selectedRow_ = host_.selectedListRow();
    view_.clearOverlay(host_.bgColor());
    showNextSet(nextSetWithText(runStartSet(options_.fromSelectedSet, selectedRow_, setCount())));
}

std::string runOrderWarning(const SubtitleList& list, int start, int64_t fromFrame, int rate) {
    std::string sets;
    int count = 0;
    for (int k = 0; k < start && 2 * k < list.lineCount(); ++k) {
        const std::optional<int64_t> on = onFrameOf(list.timing(2 * k), rate);
        if (!on || *on <= fromFrame) continue;
        if (++count <= 10) sets += (sets.empty() ? "" : ", ") + std::to_string(k + 1);
    }
    if (count == 0) return {};
    if (count > 10) sets += " and " + std::to_string(count - 10) + " more";
    return std::string(count == 1 ? "Set " : "Sets ") + sets + " above set " + std::to_string(start + 1) +
           (count == 1 ? " is" : " are") + " timed after " + recorderTimeCode(fromFrame, rate) +
           ", where this run takes its times from: the times it records will come before " +
           (count == 1 ? "its" : "theirs") + ", out of time order.\nSort by Time in the export dialog puts the "
           "sets in time order afterwards.";
}

void Recorder::endRun() {
    source_.finish();
    state_ = RecorderState::Stopped;
    ended_ = true;
    std::optional<int64_t> elapsed;
    if (startMs_) elapsed = now_() - *startMs_;
    host_.runEnded(elapsed, rate_);
}

