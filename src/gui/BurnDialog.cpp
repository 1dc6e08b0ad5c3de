#include "gui/BurnDialog.h"

#include <cstdio>

#include <wx/choice.h>
#include <wx/filedlg.h>
#include <wx/spinctrl.h>
#include <wx/wx.h>

#include "export/BurnIn.h"
#include "gui/WxText.h"
#include "io/Files.h"

namespace {

// File names are the file system's bytes (UTF-8), not list text.
wxString pathToWx(const std::string& p) { return wxString::FromUTF8(p); }
std::string pathFromWx(const wxString& s) { return std::string(s.utf8_str()); }

class BurnDialog : public wxDialog {
public:
    BurnDialog(wxWindow* parent, int projectWidth, int projectHeight, const BurnSettings& last)
        : wxDialog(parent, wxID_ANY, "Burn into movie", wxDefaultPosition, wxDefaultSize,
                   wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
          width_(projectWidth),
          height_(projectHeight) {
        auto* panel = new wxPanel(this);
        auto* grid = new wxFlexGridSizer(3, 6, 6);
        grid->AddGrowableCol(1);
        grid->Add(new wxStaticText(panel, wxID_ANY, "Movie:"), 0, wxALIGN_CENTER_VERTICAL);
        movie_ = new wxTextCtrl(panel, wxID_ANY, pathToWx(last.movie), wxDefaultPosition, wxSize(320, -1));
        grid->Add(movie_, 1, wxEXPAND);
        auto* browseMovie = new wxButton(panel, wxID_ANY, "Browse...");
        grid->Add(browseMovie);
        grid->Add(new wxStaticText(panel, wxID_ANY, "New movie:"), 0, wxALIGN_CENTER_VERTICAL);
        output_ = new wxTextCtrl(panel, wxID_ANY, pathToWx(last.output));
        grid->Add(output_, 1, wxEXPAND);
        auto* browseOutput = new wxButton(panel, wxID_ANY, "Save As...");
        grid->Add(browseOutput);
        grid->Add(new wxStaticText(panel, wxID_ANY, "Quality (CRF):"), 0, wxALIGN_CENTER_VERTICAL);
        crf_ = new wxSpinCtrl(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxSP_ARROW_KEYS, 0, 51,
                              last.crf);
        crf_->SetToolTip("0 is lossless, 18 keeps the source's look, higher numbers give smaller files");
        grid->Add(crf_);
        grid->AddSpacer(0);
        grid->Add(new wxStaticText(panel, wxID_ANY, "Preset:"), 0, wxALIGN_CENTER_VERTICAL);
        preset_ = new wxChoice(panel, wxID_ANY);
        for (const char* const* p = burnPresets(); *p; ++p) {
            preset_->Append(*p);
            if (last.preset == *p) preset_->SetSelection(preset_->GetCount() - 1);
        }
        if (preset_->GetSelection() == wxNOT_FOUND) preset_->SetStringSelection("medium");
        preset_->SetToolTip("Slower presets give smaller files at the same quality");
        grid->Add(preset_);
        grid->AddSpacer(0);

        facts_ = new wxStaticText(panel, wxID_ANY, "", wxDefaultPosition, wxSize(460, 48), wxST_NO_AUTORESIZE);
        auto* buttons = new wxBoxSizer(wxHORIZONTAL);
        burn_ = new wxButton(panel, wxID_OK, "Burn");
        buttons->Add(burn_, 0, wxRIGHT, 6);
        buttons->Add(new wxButton(panel, wxID_CANCEL, "Cancel"));
        auto* column = new wxBoxSizer(wxVERTICAL);
        column->Add(grid, 0, wxEXPAND | wxALL, 8);
        column->Add(facts_, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
        column->Add(buttons, 0, wxALIGN_RIGHT | wxALL, 8);
        panel->SetSizer(column);
        auto* outer = new wxBoxSizer(wxVERTICAL);
        outer->Add(panel, 1, wxEXPAND);
        SetSizerAndFit(outer);

        browseMovie->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
            wxFileDialog d(this, "Choose the movie", "", "",
                           "Movies (*.mp4;*.mov;*.mkv;*.avi;*.m4v;*.webm;*.mpg;*.ts)|*.mp4;*.mov;*.mkv;*.avi;*.m4v;*.webm;*.mpg;*.ts|All files (*)|*",
                           wxFD_OPEN | wxFD_FILE_MUST_EXIST);
            if (d.ShowModal() == wxID_OK) movie_->SetValue(d.GetPath());
        });
        browseOutput->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
            wxFileDialog d(this, "Save the new movie as", "", "", "MP4 (*.mp4)|*.mp4|Matroska (*.mkv)|*.mkv",
                           wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
            if (d.ShowModal() == wxID_OK) output_->SetValue(d.GetPath());
        });
        movie_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { refresh(); });
        output_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { refresh(); });
        refresh();
        CentreOnParent();
    }

    BurnSettings choice() const {
        BurnSettings c;
        c.movie = pathFromWx(movie_->GetValue());
        c.output = pathFromWx(output_->GetValue());
        c.crf = crf_->GetValue();
        c.preset = fromWx(preset_->GetStringSelection());
        return c;
    }

private:
    // The movie's size, and whether the captions will be scaled to it.
    void refresh() {
        const std::string movie = pathFromWx(movie_->GetValue());
        std::string text;
        bool ok = false;
        if (movie.empty()) {
            text = "Choose the movie to burn the captions into.";
        } else if (!files::exists(movie)) {
            text = "There is no file \"" + movie + "\".";
        } else {
            if (movie != probed_) {
                probed_ = movie;
                facts_cache_ = createMovieBurner()->probe(movie);
            }
            const MovieFacts& f = facts_cache_;
            if (!f.error.empty()) {
                text = f.error;
            } else {
                char line[160];
                std::snprintf(line, sizeof line, "The movie is %d x %d at %.3f fps, %.1f s, %d sound stream%s.", f.width,
                              f.height, f.fps, f.seconds, f.soundStreams, f.soundStreams == 1 ? "" : "s");
                text = line;
                if (f.width != width_ || f.height != height_)
                    text += "\nThe project is " + std::to_string(width_) + " x " + std::to_string(height_) +
                            ": the captions will be scaled with the picture to the movie's size.";
                ok = true;
            }
        }
        const std::string out = pathFromWx(output_->GetValue());
        if (ok && out.empty()) ok = false;
        facts_->SetLabel(wxString::FromUTF8(text));
        burn_->Enable(ok);
    }

    int width_, height_;
    wxTextCtrl* movie_ = nullptr;
    wxTextCtrl* output_ = nullptr;
    wxSpinCtrl* crf_ = nullptr;
    wxChoice* preset_ = nullptr;
    wxStaticText* facts_ = nullptr;
    wxButton* burn_ = nullptr;
    std::string probed_;
    MovieFacts facts_cache_;
};

}  // namespace

std::optional<BurnSettings> chooseBurn(wxWindow* parent, int projectWidth, int projectHeight, const BurnSettings& last) {
    BurnDialog d(parent, projectWidth, projectHeight, last);
    if (d.ShowModal() != wxID_OK) return std::nullopt;
    return d.choice();
}
