#include "gui/FontDialog.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/listbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "gui/WxText.h"

namespace {

const char* const kSheets = "(shipped font sheets)";

class FontDialog : public wxDialog {
public:
    FontDialog(wxWindow* parent, const std::vector<std::string>& families, const std::string& current)
        : wxDialog(parent, wxID_ANY, "Caption Font", wxDefaultPosition, wxDefaultSize,
                   wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
          families_(families) {
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(new wxStaticText(this, wxID_ANY, "Search the installed fonts:"), 0, wxALL, 6);
        search_ = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxTE_PROCESS_ENTER,
                                 wxDefaultValidator, "fontSearch");
        sizer->Add(search_, 0, wxEXPAND | wxLEFT | wxRIGHT, 6);
        list_ = new wxListBox(this, wxID_ANY, wxDefaultPosition, wxSize(320, 300), 0, nullptr, wxLB_SINGLE,
                              wxDefaultValidator, "fontList");
        sizer->Add(list_, 1, wxEXPAND | wxALL, 6);
        sizer->Add(CreateButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 6);
        SetSizerAndFit(sizer);
        fill("");
        const int at = current.empty() ? 0 : list_->FindString(toWx(current), true);
        if (at != wxNOT_FOUND) list_->SetSelection(at);
        search_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { fill(fromWx(search_->GetValue())); });
        search_->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) {
            if (list_->GetCount() > 0 && list_->GetSelection() == wxNOT_FOUND) list_->SetSelection(0);
            if (list_->GetSelection() != wxNOT_FOUND) EndModal(wxID_OK);
        });
        list_->Bind(wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent&) { EndModal(wxID_OK); });
        search_->SetFocus();
    }

    std::optional<std::string> chosen() const {
        const int at = list_->GetSelection();
        if (at == wxNOT_FOUND) return std::nullopt;
        const std::string s = fromWx(list_->GetString(unsigned(at)));
        return s == kSheets ? std::string() : s;
    }

private:
    // The families holding the search text (any letter case); the first is selected.
    void fill(const std::string& needle) {
        const wxString n = toWx(needle).Lower();
        list_->Freeze();
        list_->Clear();
        if (n.empty()) list_->Append(kSheets);
        for (const std::string& f : families_)
            if (n.empty() || toWx(f).Lower().Find(n) != wxNOT_FOUND) list_->Append(toWx(f));
        if (list_->GetCount() > 0) list_->SetSelection(0);
        list_->Thaw();
    }

    std::vector<std::string> families_;
    wxTextCtrl* search_ = nullptr;
    wxListBox* list_ = nullptr;
};

}  // namespace

std::optional<std::string> runFontDialog(wxWindow* parent, const std::vector<std::string>& families,
                                         const std::string& current) {
    FontDialog d(parent, families, current);
    if (d.ShowModal() != wxID_OK) return std::nullopt;
    return d.chosen();
}
