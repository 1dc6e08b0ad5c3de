#include "gui/EditToolDialogs.h"

#include <optional>

#include <wx/listctrl.h>
#include <wx/spinctrl.h>

#include "app/ControlIds.h"
#include "app/Controller.h"
#include "app/EditTools.h"
#include "gui/WxText.h"
#include "io/Spelling.h"
#include "render/LayoutCheck.h"

namespace {

void warn(wxWindow* parent, const std::string& text, const char* title = "Warning!") {
    wxMessageDialog d(parent, messageToWx(text), title, wxOK | wxCENTRE);
    d.ShowModal();
}

// --- Shift -----------------------------------------------------------------------

class ShiftDialog : public wxDialog {
public:
    ShiftDialog(wxWindow* parent, Controller& c) : wxDialog(parent, wxID_ANY, "Shift Times"), c_(c) {
        auto* box = new wxBoxSizer(wxVERTICAL);
        const std::optional<SetRange> selected = edittools::selectedSets(c.state());
        selected_ = new wxRadioButton(this, wxID_ANY,
                                      selected ? "The selected set (set " + std::to_string(selected->first + 1) + ")"
                                               : std::string("The selected set (none is selected)"),
                                      wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
        all_ = new wxRadioButton(this, wxID_ANY, "All sets");
        selected_->Enable(selected.has_value());
        (selected ? selected_ : all_)->SetValue(true);
        box->Add(selected_, 0, wxALL, 6);
        box->Add(all_, 0, wxLEFT | wxRIGHT | wxBOTTOM, 6);
        box->Add(new wxStaticText(this, wxID_ANY,
                                  "Frames to move them by (-12, +250), or the time code the first of them\n"
                                  "starts at (HH:MM:SS:FF); every other set keeps its distance:"),
                 0, wxLEFT | wxRIGHT, 6);
        amount_ = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxSize(200, -1), wxTE_PROCESS_ENTER);
        amount_->SetName("ShiftAmount");
        box->Add(amount_, 0, wxALL | wxEXPAND, 6);
        box->Add(CreateButtonSizer(wxOK | wxCANCEL), 0, wxALL | wxEXPAND, 6);
        SetSizerAndFit(box);
        amount_->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { apply(); });
        Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { apply(); }, wxID_OK);
        // The keys go to the amount once the dialog is shown.
        CallAfter([this] { amount_->SetFocus(); });
        CentreOnParent();
    }

private:
    void apply() {
        const edittools::ToolResult r = edittools::shift(c_, selected_->GetValue(), fromWx(amount_->GetValue()));
        if (!r.ok()) {
            warn(this, r.error);
            amount_->SetFocus();
            return;
        }
        EndModal(wxID_OK);
    }
    Controller& c_;
    wxRadioButton *selected_, *all_;
    wxTextCtrl* amount_;
};

// --- Change Frame Rate -----------------------------------------------------------------

class RateDialog : public wxDialog {
public:
    RateDialog(wxWindow* parent, Controller& c) : wxDialog(parent, wxID_ANY, "Change Frame Rate"), c_(c) {
        auto* box = new wxBoxSizer(wxVERTICAL);
        box->Add(new wxStaticText(this, wxID_ANY, "The profile of the new frame rate:"), 0, wxALL, 6);
        profile_ = new wxChoice(this, wxID_ANY);
        const AppState& s = c.state();
        for (size_t i = 0; i < s.profiles.size(); ++i) {
            if (!s.profiles[i].usable()) continue;
            profile_->Append(toWx(profileDisplayText(s.profiles[i])));
            indices_.push_back(int(i));
            if (int(i) == s.profileIndex) profile_->SetSelection(int(indices_.size()) - 1);
        }
        box->Add(profile_, 0, wxLEFT | wxRIGHT | wxEXPAND, 6);
        time_ = new wxRadioButton(this, wxID_ANY, "Keep the time: each time code moves to the nearest frame",
                                  wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
        frames_ = new wxRadioButton(this, wxID_ANY, "Keep the frames: a film at 23.976 shown at 25 runs faster");
        time_->SetValue(true);
        scaleY_ = new wxCheckBox(this, wxID_ANY, "Move the subtitles with the picture when its height changes");
        scaleY_->SetValue(true);
        for (wxWindow* w : {static_cast<wxWindow*>(time_), static_cast<wxWindow*>(frames_), static_cast<wxWindow*>(scaleY_)})
            box->Add(w, 0, wxLEFT | wxRIGHT | wxTOP, 6);
        box->Add(CreateButtonSizer(wxOK | wxCANCEL), 0, wxALL | wxEXPAND, 6);
        SetSizerAndFit(box);
        Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { apply(); }, wxID_OK);
        CentreOnParent();
    }

private:
    void apply() {
        const int i = profile_->GetSelection();
        if (i < 0 || size_t(i) >= indices_.size()) return;
        const edittools::ToolResult r =
            edittools::changeRate(c_, indices_[size_t(i)], time_->GetValue() ? KeepOnRateChange::Time : KeepOnRateChange::Frames,
                                  scaleY_->GetValue());
        if (!r.ok()) {
            warn(this, r.error);
            return;
        }
        EndModal(wxID_OK);
    }
    Controller& c_;
    wxChoice* profile_;
    std::vector<int> indices_;
    wxRadioButton *time_, *frames_;
    wxCheckBox* scaleY_;
};

// --- Find and Replace ----------------------------------------------------------------------

class FindDialog : public wxDialog {
public:
    FindDialog(wxWindow* parent, Controller& c) : wxDialog(parent, wxID_ANY, "Find and Replace"), c_(c) {
        auto* grid = new wxFlexGridSizer(2, 6, 6);
        grid->AddGrowableCol(1);
        find_ = new wxTextCtrl(this, wxID_ANY, toWx(last().find), wxDefaultPosition, wxSize(260, -1), wxTE_PROCESS_ENTER);
        find_->SetName("FindText");
        with_ = new wxTextCtrl(this, wxID_ANY, toWx(last().with), wxDefaultPosition, wxSize(260, -1));
        with_->SetName("ReplaceWith");
        grid->Add(new wxStaticText(this, wxID_ANY, "Find:"), 0, wxALIGN_CENTER_VERTICAL);
        grid->Add(find_, 1, wxEXPAND);
        grid->Add(new wxStaticText(this, wxID_ANY, "Replace with:"), 0, wxALIGN_CENTER_VERTICAL);
        grid->Add(with_, 1, wxEXPAND);
        regex_ = new wxCheckBox(this, wxID_ANY, "Regular expression (Alt+R)");
        word_ = new wxCheckBox(this, wxID_ANY, "Whole word (Alt+W)");
        case_ = new wxCheckBox(this, wxID_ANY, "Match case (Alt+C)");
        regex_->SetValue(last().regex);
        word_->SetValue(last().wholeWord);
        case_->SetValue(last().matchCase);
        auto* checks = new wxBoxSizer(wxHORIZONTAL);
        for (wxCheckBox* b : {regex_, word_, case_}) checks->Add(b, 0, wxRIGHT, 10);
        auto* buttons = new wxBoxSizer(wxHORIZONTAL);
        auto button = [&](const char* caption, void (FindDialog::*action)()) {
            auto* b = new wxButton(this, wxID_ANY, caption);
            b->Bind(wxEVT_BUTTON, [this, action](wxCommandEvent&) { (this->*action)(); });
            buttons->Add(b, 0, wxRIGHT, 6);
        };
        button("Find Next (Alt+F)", &FindDialog::findNext);
        button("Replace (Alt+E)", &FindDialog::replace);
        button("Replace All (Alt+A)", &FindDialog::replaceAll);
        buttons->Add(new wxButton(this, wxID_CANCEL, "Close"));
        status_ = new wxStaticText(this, wxID_ANY, "", wxDefaultPosition, wxSize(360, -1), wxST_NO_AUTORESIZE);
        auto* box = new wxBoxSizer(wxVERTICAL);
        box->Add(grid, 0, wxALL | wxEXPAND, 6);
        box->Add(checks, 0, wxLEFT | wxRIGHT, 6);
        box->Add(buttons, 0, wxALL, 6);
        box->Add(status_, 0, wxLEFT | wxRIGHT | wxBOTTOM | wxEXPAND, 6);
        SetSizerAndFit(box);
        find_->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { findNext(); });
        // The dialog's keys, whichever control has the keyboard.
        Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
            if (e.GetModifiers() != wxMOD_ALT) return e.Skip();
            auto toggle = [](wxCheckBox* b) { b->SetValue(!b->GetValue()); };
            switch (e.GetKeyCode()) {
                case 'F': findNext(); return;
                case 'E': replace(); return;
                case 'A': replaceAll(); return;
                case 'R': toggle(regex_); return;
                case 'W': toggle(word_); return;
                case 'C': toggle(case_); return;
                default: e.Skip();
            }
        });
        CallAfter([this] {
            find_->SetFocus();
            find_->SelectAll();
        });
        CentreOnParent();
    }
    ~FindDialog() override {
        Remembered& r = last();
        r.find = fromWx(find_->GetValue());
        r.with = fromWx(with_->GetValue());
        r.regex = regex_->GetValue();
        r.wholeWord = word_->GetValue();
        r.matchCase = case_->GetValue();
    }

private:
    // What the dialog holds, for its next time.
    struct Remembered {
        std::string find, with;
        bool regex = false, wholeWord = false, matchCase = true;
    };
    static Remembered& last() {
        static Remembered r;
        return r;
    }
    FindOptions options() const {
        FindOptions o;
        o.find = fromWx(find_->GetValue());
        o.regex = regex_->GetValue();
        o.wholeWord = word_->GetValue();
        o.matchCase = case_->GetValue();
        return o;
    }
    void say(const std::string& text) { status_->SetLabel(toWx(text)); }
    // From after the match shown, or from the selected set.
    void findFrom(int set, size_t byte) {
        std::string error;
        match_ = edittools::findNext(c_.state(), options(), set, byte, error);
        if (!error.empty()) return say(error);
        if (!match_) return say("Not found.");
        edittools::showMatch(c_, *match_);
        say("Found in set " + std::to_string(match_->set + 1) + ".");
    }
    void findNext() {
        if (match_) findFrom(match_->set, match_->end > match_->begin ? match_->end : match_->end + 1);
        else {
            const int row = c_.state().view.selectedRow;
            findFrom(row >= 0 ? row / 2 : 0, 0);
        }
    }
    void replace() {
        if (!match_) return findNext();
        const FindOptions o = options();
        TextSearch search(o);
        const std::string joined = joinedText(subtitleSetOf(c_.state().list, match_->set));
        const size_t length = search.error().empty() ? search.replacement(joined, *match_, fromWx(with_->GetValue())).size() : 0;
        const edittools::ToolResult r = edittools::replaceOne(c_, o, fromWx(with_->GetValue()), *match_);
        if (!r.ok()) {
            match_.reset();
            return say(r.error);
        }
        findFrom(match_->set, match_->begin + std::max<size_t>(length, 1));
    }
    void replaceAll() {
        const edittools::ToolResult r = edittools::replaceAll(c_, options(), fromWx(with_->GetValue()));
        match_.reset();
        say(r.ok() ? r.message : r.error);
    }

    Controller& c_;
    wxTextCtrl *find_, *with_;
    wxCheckBox *regex_, *word_, *case_;
    wxStaticText* status_;
    std::optional<TextMatch> match_;
};

// --- Check ----------------------------------------------------------------------------------------

class CheckDialog : public wxDialog {
public:
    CheckDialog(wxWindow* parent, Controller& c)
        : wxDialog(parent, wxID_ANY, "Check", wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
          c_(c) {
        auto* options = new wxBoxSizer(wxHORIZONTAL);
        auto spin = [&](const char* label, int lo, int hi, int value) {
            options->Add(new wxStaticText(this, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
            auto* s = new wxSpinCtrl(this, wxID_ANY, "", wxDefaultPosition, wxSize(90, -1), wxSP_ARROW_KEYS, lo, hi, value);
            options->Add(s, 0, wxRIGHT, 10);
            return s;
        };
        cps_ = spin("Characters a second at most:", 1, 1000, 17);
        frames_ = spin("Frames at least:", 0, 100000, 20);
        safe_ = spin("Safe area %:", 10, 100, 90);
        language_ = new wxChoice(this, wxID_ANY);
        language_->Append("No spelling");
        const std::string kept = edittools::spellingLanguage(c.state());
        language_->SetSelection(0);
        for (const std::string& l : spellingLanguages()) {
            language_->Append(toWx(l));
            if (l == kept) language_->SetSelection(int(language_->GetCount()) - 1);
        }
        options->Add(language_, 0, wxRIGHT, 10);
        auto* again = new wxButton(this, wxID_ANY, "Check");
        options->Add(again);
        list_ = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, wxSize(760, 320), wxLC_REPORT | wxLC_SINGLE_SEL);
        list_->AppendColumn("Set", wxLIST_FORMAT_RIGHT, 60);
        list_->AppendColumn("Kind", wxLIST_FORMAT_LEFT, 90);
        list_->AppendColumn("Detail", wxLIST_FORMAT_LEFT, 590);
        note_ = new wxStaticText(this, wxID_ANY, "");
        auto* box = new wxBoxSizer(wxVERTICAL);
        box->Add(options, 0, wxALL, 6);
        box->Add(list_, 1, wxLEFT | wxRIGHT | wxEXPAND, 6);
        box->Add(note_, 0, wxALL | wxEXPAND, 6);
        box->Add(CreateButtonSizer(wxCLOSE), 0, wxALL | wxEXPAND, 6);
        SetSizerAndFit(box);
        SetEscapeId(wxID_CLOSE);
        again->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { run(); });
        language_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
            edittools::keepSpellingLanguage(c_.state(), language());
            run();
        });
        list_->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent& e) {
            const long i = e.GetIndex();
            if (i >= 0 && size_t(i) < findings_.size()) edittools::showMatch(c_, TextMatch{findings_[size_t(i)].set, 0, 0});
        });
        Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_CLOSE); }, wxID_CLOSE);
        CentreOnParent();
        run();
    }

private:
    std::string language() const {
        const int i = language_->GetSelection();
        return i > 0 ? fromWx(language_->GetString(unsigned(i))) : std::string();
    }
    void run() {
        edittools::CheckSettings settings;
        settings.timing.maxCps = cps_->GetValue();
        settings.timing.minFrames = frames_->GetValue();
        settings.safePercent = safe_->GetValue();
        settings.language = language();
        std::string note;
        findings_ = edittools::checkProject(c_, settings, note);
        list_->DeleteAllItems();
        for (size_t i = 0; i < findings_.size(); ++i) {
            const CheckFinding& f = findings_[i];
            const long row = list_->InsertItem(long(i), std::to_string(f.set + 1));
            list_->SetItem(row, 1, toWx(f.kind));
            list_->SetItem(row, 2, toWx(f.detail));
        }
        const std::string count = findings_.empty() ? "Nothing found." : std::to_string(findings_.size()) + " findings; a double click goes to the set.";
        note_->SetLabel(toWx(note.empty() ? count : count + " " + note));
    }
    Controller& c_;
    wxSpinCtrl *cps_, *frames_, *safe_;
    wxChoice* language_;
    wxListCtrl* list_;
    wxStaticText* note_;
    std::vector<CheckFinding> findings_;
};

// The Tools button's menu: the tool chosen goes through the dispatch.
void toolsMenu(wxWindow* parent, Controller& c) {
    wxMenu menu;
    const std::pair<int, const char*> items[] = {
        {ctl::ShiftSets, "Shift Times...\tCtrl+Shift+T"}, {ctl::ChangeRate, "Change Frame Rate..."},
        {ctl::SplitSet, "Split Set"},                     {ctl::MergeSets, "Merge With Next Set"},
        {ctl::ImportText, "Import Text..."},              {ctl::FindText, "Find...\tCtrl+F"},
        {ctl::ReplaceText, "Replace...\tCtrl+H"},         {ctl::CheckProject, "Check..."},
    };
    for (const auto& [id, caption] : items) menu.Append(wxID_HIGHEST + id, caption);
    wxPoint at = wxGetMousePosition();
    if (wxWindow* button = parent->FindWindow(ctl::ToolsMenu + 1000)) {
        at = button->GetScreenPosition() + wxPoint(0, button->GetSize().y);
    }
    const int chosen = parent->GetPopupMenuSelectionFromUser(menu, parent->ScreenToClient(at));
    if (chosen != wxID_NONE) c.dispatch(Event::control(chosen - wxID_HIGHEST));
}

}  // namespace

void openEditTool(wxWindow* parent, Controller& c, int id) {
    switch (id) {
        case ctl::ToolsMenu: toolsMenu(parent, c); return;
        case ctl::ShiftSets: {
            ShiftDialog d(parent, c);
            d.ShowModal();
            return;
        }
        case ctl::ChangeRate: {
            RateDialog d(parent, c);
            d.ShowModal();
            return;
        }
        case ctl::FindText:
        case ctl::ReplaceText: {
            FindDialog d(parent, c);
            d.ShowModal();
            return;
        }
        case ctl::CheckProject: {
            CheckDialog d(parent, c);
            d.ShowModal();
            return;
        }
        default: return;
    }
}

const Image& withSafeAreas(const Image& image, Image& copy) {
    copy = image;
    drawSafeAreas(copy);
    return copy;
}
