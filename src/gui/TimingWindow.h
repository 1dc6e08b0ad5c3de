#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <wx/spinctrl.h>
#include <wx/tglbtn.h>
#include <wx/wx.h>

#include "render/Background.h"
#include "base/Image.h"
#include "app/EditorRecorder.h"

class Controller;
class FrameSource;
class ImagePanel;
class MoviePlayer;
class Ui;

// The timing window: the movie (or the background colour) scaled to two
// thirds of the project size with the set that is ON laid over it, and the
// recorder's controls below. It runs the recorder from a timer and closes
// itself when the run has ended.
class TimingWindow : public wxDialog, public TimingView {
public:
    // `movie` is null in External mode; `moviePath` names the movie file.
    TimingWindow(wxWindow* parent, Controller& controller, Ui& ui, FrameSource& source, MoviePlayer* movie,
                 std::string moviePath = {});
    ~TimingWindow() override;

    // Opens the window and runs the recorder until the run ends.
    void run();

    // TimingView
    void setSecondsLabel(const std::string& text) override;
    void setFramesLabel(const std::string& text) override;
    void setTotalLabel(const std::string& text) override;
    void setStartButton(const std::string& caption, bool pressed) override;
    void hideStartButton() override;
    void setNextSet(const std::string& lineA, const std::string& lineB) override;
    void showOverlay(std::vector<OverlayPiece> pieces, Rgb bgColor) override;
    void clearOverlay(Rgb bgColor) override;
    void nudge() override;

private:
    void buildControls();
    void buildOptions();
    void optionsChanged();
    void storeReactionMs();
    void snapToShots();
    void setStatus(const std::string& text, bool problem);
    bool editingField() const;
    void onTick(wxTimerEvent&);
    void runPass();
    void onCharHook(wxKeyEvent& e);
    void onKeyUp(wxKeyEvent& e);
    void bindKeyUp(wxWindow* w);
    SpaceInput readSpace();
    void compose();

    Controller& controller_;
    Ui& ui_;
    MoviePlayer* movie_;
    std::string moviePath_;
    std::unique_ptr<Recorder> recorder_;
    int wp_, hp_;

    ImagePanel* area_ = nullptr;
    wxToggleButton* start_ = nullptr;
    wxStaticText *seconds_ = nullptr, *frames_ = nullptr, *total_ = nullptr;
    wxTextCtrl *nextA_ = nullptr, *nextB_ = nullptr;
    wxSpinCtrl* reaction_ = nullptr;
    wxChoice* speed_ = nullptr;
    wxStaticText* status_ = nullptr;
    wxCheckBox *hold_ = nullptr, *atRelease_ = nullptr, *fromSelected_ = nullptr;
    int storedReactionMs_ = 0;

    Image picture_;  // what the area shows
    std::vector<OverlayPiece> overlay_;
    Rgb bgColor_{0, 0, 0};
    uint64_t shownSerial_ = 0;
    bool dirty_ = true;

    wxTimer tick_, nudgeBack_;
    wxPoint homePosition_;
    bool nudged_ = false;

    bool keyDown_ = false, keyPressed_ = false, pollingWorks_ = false;
    std::optional<int64_t> downAtUs_, upAtUs_;  // moments of the last key-down and key-up
};

// Fonts of the timing recorder's windows.
wxFont timingUiFont();       // Liberation Sans 8
wxFont timingInfoFont();     // Liberation Sans 9
wxFont timingBigBoldFont();  // Liberation Sans 15 bold
