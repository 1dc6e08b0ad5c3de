#include "gui/TimingWindow.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "app/Controller.h"
#include "app/DataDirs.h"
#include "app/Ui.h"
#include "gui/Widgets.h"
#include "timing/TimingLog.h"
#include "gui/WxText.h"
#include "base/Draw.h"
#include "timing/FrameSource.h"
#include "timing/MoviePlayer.h"
#include "app/ShotSnapping.h"
#include "timing/ShotSnap.h"

wxFont timingUiFont() { return wxFont(wxFontInfo(8).FaceName("Liberation Sans")); }
wxFont timingInfoFont() { return wxFont(wxFontInfo(9).FaceName("Liberation Sans")); }
wxFont timingBigBoldFont() { return wxFont(wxFontInfo(15).FaceName("Liberation Sans").Bold()); }

namespace {
constexpr int kOptionsHeight = 46;  // the timing options, between the picture and the controls
constexpr int kControlsHeight = 90 + kOptionsHeight;
constexpr int kTickMs = 10;
constexpr double kSpeeds[] = {0.5, 0.75, 1.0, 1.5, 2.0};
std::string speedText(double v) {
    char b[16];
    std::snprintf(b, sizeof b, "%g\u00d7", v);
    return b;
}
constexpr int kNudgeMs = 100;
}  // namespace

TimingWindow::TimingWindow(wxWindow* parent, Controller& controller, Ui& ui, FrameSource& source,
                           MoviePlayer* movie, std::string moviePath)
    : wxDialog(parent, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      controller_(controller),
      ui_(ui),
      movie_(movie),
      moviePath_(std::move(moviePath)),
      tick_(this),
      nudgeBack_(this) {
    const AppState& s = controller.state();
    Size area = timingPreviewSize(s.projectWidth, s.projectHeight);
    wp_ = std::max(1, area.w);
    hp_ = std::max(1, area.h);
    SetTitle(toWx(movie ? timingWindowTitle(true, movie->width(), movie->height())
                        : timingWindowTitle(false, s.projectWidth, s.projectHeight)));
    SetClientSize(wp_, hp_ + kControlsHeight);
    SetBackgroundColour(wxColour(240, 240, 240));
    picture_ = Image(wp_, hp_);
    bgColor_ = s.style.bgColor;
    draw::fillOpaque(picture_, bgColor_);
    if (movie_) movie_->setDisplaySize(wp_, hp_);
    buildControls();

    Bind(wxEVT_CHAR_HOOK, &TimingWindow::onCharHook, this);
    bindKeyUp(this);
    Bind(wxEVT_TIMER, &TimingWindow::onTick, this, tick_.GetId());
    Bind(
        wxEVT_TIMER,
        [this](wxTimerEvent&) {
            if (nudged_) Move(homePosition_);
            nudged_ = false;
        },
        nudgeBack_.GetId());
    // Closing the window is EXIT.
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& e) {
        if (recorder_ && !recorder_->ended() && e.CanVeto()) {
            e.Veto();
            recorder_->clickExit();
            return;
        }
        e.Skip();
    });

    recorder_ = std::make_unique<EditorRecorder>(controller, ui, *this, source);
    optionsChanged();
}

TimingWindow::~TimingWindow() {
    tick_.Stop();
    nudgeBack_.Stop();
}

void TimingWindow::buildOptions() {
    wxFont ui = timingUiFont();
    const int y1 = hp_ + 4, y2 = hp_ + 25;
    auto* l = new wxStaticText(this, wxID_ANY, "Reaction offset (ms):", wxPoint(5, y1 + 3), wxSize(120, 16),
                               wxST_NO_AUTORESIZE);
    l->SetFont(ui);
    storedReactionMs_ = clampReactionMs(controller_.state().reactionMs);
    reaction_ = new wxSpinCtrl(this, wxID_ANY, wxString::Format("%d", storedReactionMs_), wxPoint(125, y1),
                               wxSize(110, -1), wxSP_ARROW_KEYS, 0, kMaxReactionMs, storedReactionMs_);
    reaction_->SetFont(ui);
    reaction_->SetToolTip("Every recorded time is moved earlier by this many milliseconds");
    reaction_->Bind(wxEVT_SPINCTRL, [this](wxSpinEvent&) { optionsChanged(); });
    reaction_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { optionsChanged(); });
    auto* sl = new wxStaticText(this, wxID_ANY, "Speed:", wxPoint(245, y1 + 3), wxSize(40, 16), wxST_NO_AUTORESIZE);
    sl->SetFont(ui);
    speed_ = new wxChoice(this, wxID_ANY, wxPoint(285, y1), wxSize(80, -1));
    speed_->SetFont(ui);
    for (double v : kSpeeds) speed_->Append(wxString::FromUTF8(speedText(v)));
    speed_->SetSelection(2);
    speed_->SetToolTip("Playback speed of the movie; the times are always movie time");
    speed_->Enable(movie_ != nullptr);
    speed_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
        int i = speed_->GetSelection();
        if (movie_ && i >= 0 && i < int(std::size(kSpeeds))) movie_->setSpeed(kSpeeds[i]);
    });
    auto* snap = new wxButton(this, wxID_ANY, "Snap to Shots", wxPoint(wp_ - 110, y1), wxSize(105, 22));
    snap->SetFont(ui);
    snap->SetToolTip("Move every ON and OFF within 6 frames of a shot change onto it (OFFs 2 frames before it)");
    snap->Enable(movie_ != nullptr && !moviePath_.empty());
    snap->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { snapToShots(); });
    auto check = [&](const char* caption, int x, int w, const char* tip) {
        auto* c = new wxCheckBox(this, wxID_ANY, caption, wxPoint(x, y2), wxSize(w, 18));
        c->SetFont(ui);
        c->SetToolTip(tip);
        c->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { optionsChanged(); });
        return c;
    };
    hold_ = check("Hold mode", 5, 90, "Space down = the set goes ON, Space up = OFF");
    atRelease_ = check("Time at release", 100, 120, "Take the time when Space is released instead of pressed");
    fromSelected_ = check("Start at the selected set", 225, 200,
                          "Record from the selected set on; every other set keeps its times");
}

void TimingWindow::optionsChanged() {
    if (!recorder_) return;
    RecordOptions o;
    o.reactionMs = reaction_->GetValue();
    o.holdMode = hold_->GetValue();
    o.timeAtRelease = atRelease_->GetValue();
    o.fromSelectedSet = fromSelected_->GetValue();
    atRelease_->Enable(!o.holdMode);
    recorder_->setOptions(o);
    controller_.state().reactionMs = recorder_->options().reactionMs;
}

void TimingWindow::storeReactionMs() {
    const AppState& s = controller_.state();
    if (s.reactionMs == storedReactionMs_ || s.programDir.empty()) return;
    std::string error;
    if (saveUserReactionMs(s.dataDirs(), s.settingsFileName, s.reactionMs, error))
        storedReactionMs_ = s.reactionMs;
    else
        ui_.messageBox("Warning!", "The reaction offset could not be stored in " + s.settingsFileName + ":\n" + error);
}

void TimingWindow::snapToShots() {
    if (!recorder_ || recorder_->state() == RecorderState::Recording) {
        wxBell();
        return;
    }
    SnapOutcome outcome;
    {
        wxBusyCursor busy;
        outcome = snapListToMovieShots(controller_, moviePath_, &detectShotChanges);
    }
    setStatus(outcome.text, outcome.problem);
}

void TimingWindow::setStatus(const std::string& text, bool problem) {
    status_->SetForegroundColour(problem ? wxColour(160, 0, 0) : wxColour(0, 0, 0));
    status_->SetLabel(toWx(text));
    status_->SetToolTip(toWx(text));
}

bool TimingWindow::editingField() const {
    // Keys typed into the offset field are the field's.
    for (wxWindow* w = wxWindow::FindFocus(); w; w = w->GetParent())
        if (w == reaction_) return true;
    return false;
}

void TimingWindow::buildControls() {
    const int ww = wp_, wh = hp_ + kControlsHeight;
    const int startX = ww - 105;
    wxFont big = timingBigBoldFont(), ui = timingUiFont();
    auto label = [&](const wxString& text, int x, int y, int w, int h, const wxFont& font) {
        auto* l = new wxStaticText(this, wxID_ANY, text, wxPoint(x, y), wxSize(w, h), wxST_NO_AUTORESIZE);
        l->SetFont(font);
        return l;
    };

    area_ = new ImagePanel(this, wxID_ANY, wxPoint(0, 0), wxSize(wp_, hp_));
    area_->SetToolTip("While recording: P pauses and goes on; while paused, Left and Right step one picture and "
                      "Backspace goes back 2 seconds");

    start_ = new wxToggleButton(this, wxID_ANY, timingtext::kStart, wxPoint(startX, wh - 45), wxSize(100, 40));
    start_->SetFont(big);
    start_->Bind(wxEVT_TOGGLEBUTTON, [this](wxCommandEvent&) {
        if (recorder_) recorder_->clickStartStop();
    });
    seconds_ = label("00:00:00:", startX - 120, wh - 45, 88, 20, big);
    frames_ = label("00", startX - 33, wh - 45, 25, 20, big);
    total_ = label("00:00:00:00", startX - 120, wh - 25, 120, 20, big);
    label(timingtext::kHint, 5, wh - 15, 190, 20, ui);

    auto* exit = new wxButton(this, wxID_ANY, timingtext::kExit, wxPoint(ww - 85, wh - 85), wxSize(80, 20));
    exit->SetFont(ui);
    exit->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        if (recorder_) recorder_->clickExit();
    });

    label("NextA:", 5, wh - 83, 35, 20, ui);
    nextA_ = new wxTextCtrl(this, wxID_ANY, "", wxPoint(40, wh - 85), wxSize(250, 20), wxTE_READONLY);
    label("NextB:", 5, wh - 63, 35, 20, ui);
    nextB_ = new wxTextCtrl(this, wxID_ANY, "", wxPoint(40, wh - 65), wxSize(250, 20), wxTE_READONLY);
    for (wxTextCtrl* t : {nextA_, nextB_}) {
        t->SetFont(ui);
        t->SetBackgroundColour(*wxWHITE);
    }

    // A line for what the window has to say: no sound, the result of Snap to Shots.
    status_ = label("", 5, wh - 42, std::max(60, startX - 120 - 10), 16, ui);
    // Playing without sound is fine, but say so.
    if (movie_ && !movie_->hasSound()) {
        std::string why = movie_->soundStatus();
        setStatus("No sound: " + (why.empty() ? std::string("the sound cannot be played") : why), true);
    }
    // Last, so that the window's first focus is not the offset field.
    buildOptions();
}

void TimingWindow::bindKeyUp(wxWindow* w) {
    w->Bind(wxEVT_KEY_UP, &TimingWindow::onKeyUp, this);
    for (wxWindow* child : w->GetChildren()) bindKeyUp(child);
}

void TimingWindow::onCharHook(wxKeyEvent& e) {
    // Space is the window's own key: it never reaches a focused button.
    if (e.GetKeyCode() == WXK_SPACE) {
        if (!keyDown_) {  // key repeat sends more presses while held
            keyPressed_ = true;
            downAtUs_ = keyEventInstantUs(uint32_t(e.GetTimestamp()), steadyMicros());
            if (timingLogOn())
                timingLog("key down stamp_ms=" + std::to_string(uint32_t(e.GetTimestamp())) +
                          " at_us=" + std::to_string(*downAtUs_));
        }
        keyDown_ = true;
        // Timed now, not at the next tick.
        runPass();
        return;
    }
    if (recorder_ && !editingField() && !e.HasModifiers()) {
        switch (e.GetKeyCode()) {
            case 'P':
            case 'p':
                recorder_->togglePause();
                return;
            case WXK_LEFT:
                recorder_->stepFrames(-1);
                return;
            case WXK_RIGHT:
                recorder_->stepFrames(1);
                return;
            case WXK_BACK:
                recorder_->jumpBack(2'000'000);
                return;
            default:
                break;
        }
    }
    e.Skip();
}

void TimingWindow::onKeyUp(wxKeyEvent& e) {
    if (e.GetKeyCode() == WXK_SPACE) {
        if (keyDown_) {
            upAtUs_ = keyEventInstantUs(uint32_t(e.GetTimestamp()), steadyMicros());
            if (timingLogOn())
                timingLog("key up stamp_ms=" + std::to_string(uint32_t(e.GetTimestamp())) +
                          " at_us=" + std::to_string(*upAtUs_));
        }
        keyDown_ = false;
        runPass();
    }
    e.Skip();
}

SpaceInput TimingWindow::readSpace() {
    bool polled = wxGetKeyState(WXK_SPACE);
    if (polled) pollingWorks_ = true;
    // Where the key state can be read it is the truth (a release may have
    // gone to another window); elsewhere the key events are.
    if (pollingWorks_ && !polled && keyDown_) {
        keyDown_ = false;
        upAtUs_ = steadyMicros();
        if (timingLogOn()) timingLog("key up polled at_us=" + std::to_string(*upAtUs_));
    }
    SpaceInput in;
    // Only the key events press it: a press seen by polling before its
    // event would lose the event's moment.
    in.down = keyDown_;
    in.pressed = keyPressed_;
    in.downAtUs = downAtUs_;
    in.upAtUs = upAtUs_;
    keyPressed_ = false;
    return in;
}

void TimingWindow::run() {
    CentreOnScreen();
    homePosition_ = GetPosition();
    recorder_->open();
    tick_.Start(kTickMs);
    SetFocus();
    ShowModal();
    tick_.Stop();
    storeReactionMs();
}

void TimingWindow::onTick(wxTimerEvent&) { runPass(); }

void TimingWindow::runPass() {
    if (!recorder_ || recorder_->ended()) return;
    recorder_->pass(readSpace());
    if (recorder_->ended()) {
        tick_.Stop();
        if (nudged_) Move(homePosition_);
        EndModal(wxID_OK);
        return;
    }
    if (movie_ && movie_->loaded()) {
        uint64_t serial = 0;
        std::shared_ptr<const Image> pic = movie_->currentPicture(&serial);
        if (pic && serial != shownSerial_) {
            shownSerial_ = serial;
            // The picture comes at the area's size; copy what overlaps.
            int w = std::min(pic->width(), wp_), h = std::min(pic->height(), hp_);
            for (int y = 0; y < h; ++y) std::memcpy(picture_.pixel(0, y), pic->pixel(0, y), size_t(w) * 4);
            dirty_ = true;
        }
    }
    if (dirty_) compose();
}

void TimingWindow::compose() {
    dirty_ = false;
    Image shown = picture_;
    drawSetOverlay(shown, overlay_, bgColor_, movie_ != nullptr);
    area_->setImage(shown, false);
}

// --- TimingView ---------------------------------------------------------------

void TimingWindow::setSecondsLabel(const std::string& text) { seconds_->SetLabel(toWx(text)); }
void TimingWindow::setFramesLabel(const std::string& text) { frames_->SetLabel(toWx(text)); }
void TimingWindow::setTotalLabel(const std::string& text) { total_->SetLabel(toWx(text)); }

void TimingWindow::setStartButton(const std::string& caption, bool pressed) {
    start_->SetLabel(toWx(caption));
    start_->SetValue(pressed);
}

void TimingWindow::hideStartButton() { start_->Hide(); }

void TimingWindow::setNextSet(const std::string& lineA, const std::string& lineB) {
    nextA_->ChangeValue(toWx(lineA));
    nextB_->ChangeValue(toWx(lineB));
}

void TimingWindow::showOverlay(std::vector<OverlayPiece> pieces, Rgb bgColor) {
    overlay_ = std::move(pieces);
    bgColor_ = bgColor;
    if (!movie_) draw::fillOpaque(picture_, bgColor_);
    compose();
}

void TimingWindow::clearOverlay(Rgb bgColor) {
    overlay_.clear();
    bgColor_ = bgColor;
    if (!movie_) draw::fillOpaque(picture_, bgColor_);
    compose();
}

void TimingWindow::nudge() {
    if (!nudged_) homePosition_ = GetPosition();
    nudged_ = true;
    Move(homePosition_ + wxPoint(1, 0));
    nudgeBack_.StartOnce(kNudgeMs);
}
