#include <wx/wx.h>

#include "app/AppState.h"

// Start-up of the windowed program.
class KalveroApp : public wxApp {
public:
    bool OnInit() override {
        AppState state;
        auto* frame = new wxFrame(nullptr, wxID_ANY,
                                  wxString::FromUTF8(state.titlePrefix + state.versionText + " - " + state.projectName +
                                                     state.projectExt));
        frame->Show();
        return true;
    }
};

wxIMPLEMENT_APP(KalveroApp);
