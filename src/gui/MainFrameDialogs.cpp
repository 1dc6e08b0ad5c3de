// The main window's dialogs: messages, questions, files, colours, fonts and
// typed answers, each centred on the window.
#include "gui/MainFrame.h"

#include <wx/colordlg.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/textdlg.h>

#include "base/Text.h"
#include "io/Files.h"
#include "gui/FontDialog.h"
#include "gui/WxText.h"

namespace {

// "Label|pattern|Label|pattern" with the trailing ';' some patterns carry removed.
wxString wildcard(const std::string& filter) {
    std::vector<std::string> parts = text::split(filter, '|');
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string p = parts[i];
        if (i % 2 == 1)
            while (!p.empty() && p.back() == ';') p.pop_back();
        if (i) out += '|';
        out += p;
    }
    return toWx(out);
}

}  // namespace

// --- dialogs -------------------------------------------------------------------------

void MainFrame::messageBox(const std::string& title, const std::string& t) {
    wxMessageDialog d(dialogParent(), messageToWx(t), toWx(title), wxOK | wxCENTRE);
    d.ShowModal();
}

bool MainFrame::askYesNo(const std::string& title, const std::string& t) {
    wxMessageDialog d(dialogParent(), messageToWx(t), toWx(title), wxYES_NO | wxCENTRE);
    // A question asked while the window changes its size (a profile change)
    // is placed over the window as it is now, not as it was.
    if (IsShown()) Update();
    d.CentreOnParent();
    return d.ShowModal() == wxID_YES;
}

Ui::Answer MainFrame::askYesNoCancel(const std::string& title, const std::string& t) {
    wxMessageDialog d(dialogParent(), toWx(t), toWx(title), wxYES_NO | wxCANCEL | wxCENTRE);
    switch (d.ShowModal()) {
        case wxID_YES: return Answer::Yes;
        case wxID_NO: return Answer::No;
        default: return Answer::Cancel;
    }
}

std::string MainFrame::openFileDialog(const std::string& title, const std::string& defaultPath,
                                      const std::string& filter) {
    std::string dir = files::folderPart(defaultPath);
    std::string file = files::filePart(defaultPath);
    if (file.find('*') != std::string::npos) file.clear();
    wxFileDialog d(dialogParent(), toWx(title), wxString::FromUTF8(dir), wxString::FromUTF8(file), filter.empty() ? wxString("*") : wildcard(filter),
                   wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (d.ShowModal() != wxID_OK) return {};
    return std::string(d.GetPath().utf8_str());
}

std::string MainFrame::saveFileDialog(const std::string& title, const std::string& defaultFile,
                                      const std::string& filter) {
    const std::string folder = files::folderPart(defaultFile);
    wxFileDialog d(dialogParent(), toWx(title), wxString::FromUTF8(folder.empty() ? state_.projectDir : folder),
                   wxString::FromUTF8(files::filePart(defaultFile)),
                   wildcard(filter), wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (d.ShowModal() != wxID_OK) return {};
    return std::string(d.GetPath().utf8_str());
}

std::optional<Rgb> MainFrame::chooseColour(Rgb initial) {
    wxColourData data;
    data.SetColour(wxColour(initial.r, initial.g, initial.b));
    wxColourDialog d(dialogParent(), &data);
    if (d.ShowModal() != wxID_OK) return std::nullopt;
    wxColour c = d.GetColourData().GetColour();
    return Rgb{c.Red(), c.Green(), c.Blue()};
}

std::optional<std::string> MainFrame::chooseFont(const std::vector<std::string>& families,
                                                const std::string& current) {
    return runFontDialog(dialogParent(), families, current);
}

std::optional<std::string> MainFrame::inputBox(const std::string& title, const std::string& prompt,
                                               const std::string& defaultText) {
    wxTextEntryDialog d(dialogParent(), toWx(prompt), toWx(title), toWx(defaultText));
    // The compact theme lets entries shrink to nothing: the box gets room for
    // a long name and the full height of its letters.
    for (wxWindow* child : d.GetChildren())
        if (auto* field = dynamic_cast<wxTextCtrl*>(child)) {
            field->SetMinSize(wxSize(FromDIP(360), field->GetCharHeight() + FromDIP(12)));
            d.GetSizer()->SetSizeHints(&d);
            d.Layout();
        }
    d.CentreOnParent();
    if (d.ShowModal() != wxID_OK) return std::nullopt;
    return fromWx(d.GetValue());
}
