#include "gui/RecordTimingsDialog.h"

#include <memory>
#include <string>

#include <wx/filedlg.h>
#include <wx/utils.h>
#include <wx/wx.h>

#include "app/Controller.h"
#include "gui/TimingWindow.h"
#include "gui/WxText.h"
#include "media/MediaModule.h"
#include "timing/FrameSource.h"
#include "timing/MoviePlayer.h"
#include "app/EditorRecorder.h"

namespace {

class RecordTimingsDialog : public wxDialog {
public:
    RecordTimingsDialog(wxWindow* parent, Controller& controller, Ui& ui)
        : wxDialog(parent, wxID_ANY, timingtext::kDialogTitle, wxDefaultPosition, wxDefaultSize,
                   wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
          controller_(controller),
          ui_(ui) {
        SetClientSize(300, 220);
        wxFont font = timingUiFont();
        auto button = [&](const char* caption, int y) {
            auto* b = new wxButton(this, wxID_ANY, caption, wxPoint(5, y), wxSize(290, 20));
            b->SetFont(font);
            return b;
        };
        button(timingtext::kPlayInternally, 10)->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { playInternally(); });
        button(timingtext::kPlayExternally, 35)->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { playExternally(); });
        auto* info = new wxTextCtrl(this, wxID_ANY, toWx(timingtext::kDialogInfo), wxPoint(5, 60), wxSize(290, 130),
                                    wxTE_MULTILINE | wxTE_READONLY | wxTE_WORDWRAP);
        info->SetFont(timingInfoFont());
        info->SetForegroundColour(*wxWHITE);
        info->SetBackgroundColour(*wxBLACK);
        info->ShowPosition(0);  // from its first line
        button(timingtext::kCancelExit, 195)->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { cancel(); });
        Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { cancel(); });
        CentreOnParent();
    }

private:
    std::string chooseMovie(const char* title) {
        wxFileDialog d(this, title, "", "", "*", wxFD_OPEN | wxFD_FILE_MUST_EXIST);
        if (d.ShowModal() != wxID_OK) return {};
        return std::string(d.GetPath().utf8_str());
    }

    void playInternally() {
        std::string path = chooseMovie(timingtext::kLoadInternalTitle);
        if (path.empty()) return;
        std::unique_ptr<MoviePlayer> movie = createMoviePlayer();
        const std::string why = movie->load(path);
        if (!why.empty() || movie->lengthInFrames() <= 0) {
            movie.reset();
            // Without the movie module the reason is not the movie: it is told.
            std::string text = timingtext::kLoadErrorText;
            if (!mediaModuleLoaded()) text += "\n\n" + why;
            wxMessageDialog(this, toWx(text), toWx(timingtext::kLoadErrorTitle), wxOK | wxCENTRE).ShowModal();
            return;  // the dialog stays: the external player is still there
        }
        MovieFrameSource source(*movie);
        runTimingWindow(source, movie.get(), path);
    }

    void playExternally() {
        std::string path = chooseMovie(timingtext::kLoadExternalTitle);
        if (path.empty()) return;
        if (!wxLaunchDefaultApplication(wxString::FromUTF8(path))) {
            // Nothing here plays it; the user may still play it elsewhere against our clock.
            wxMessageDialog ask(this, wxString::FromUTF8(externalPlayerQuestionText(path)),
                                kExternalPlayerQuestionTitle, wxYES_NO | wxCENTRE);
            if (ask.ShowModal() != wxID_YES) return;
        }
        ExternalFrameSource source(controller_.state().fps);
        runTimingWindow(source, nullptr);
    }

    void runTimingWindow(FrameSource& source, MoviePlayer* movie, const std::string& path = {}) {
        {
            TimingWindow window(this, controller_, ui_, source, movie, path);
            window.run();
        }
        // The run has closed the dialog's work (User Timed Session, frame counts, toggle).
        EndModal(wxID_OK);
    }

    void cancel() {
        closeRecordTimings(controller_, ui_, std::nullopt, 0);
        EndModal(wxID_CANCEL);
    }

    Controller& controller_;
    Ui& ui_;
};

}  // namespace

void runRecordTimings(wxWindow* parent, Controller& controller, Ui& ui) {
    RecordTimingsDialog dialog(parent, controller, ui);
    dialog.ShowModal();
}
