#include "gui/MainFrame.h"

#include <wx/clipbrd.h>
#include <wx/menu.h>
#include <wx/display.h>
#include <wx/evtloop.h>
#include <wx/slider.h>
#include <wx/spinctrl.h>
#include <wx/tglbtn.h>

#include "app/ControlIds.h"
#include "io/Files.h"
#include "gui/EditToolDialogs.h"
#include "gui/SubtitleListView.h"
#include "gui/Widgets.h"
#include "gui/WxText.h"
#include "base/Text.h"

namespace {
struct Suppress {
    int& n;
    explicit Suppress(int& c) : n(c) { ++n; }
    ~Suppress() { --n; }
};

// The main window's keys: Ctrl+S, Ctrl+Shift+S, Ctrl+O, Ctrl+N, Ctrl+Z,
// Ctrl+Y, Ctrl+Shift+Z and Ctrl+Insert; 0 for any other key.
int shortcutMenuId(const wxKeyEvent& e) {
    const int mods = e.GetModifiers();
    if (mods != wxMOD_CONTROL && mods != (wxMOD_CONTROL | wxMOD_SHIFT)) return 0;
    const bool shift = (mods & wxMOD_SHIFT) != 0;
    switch (e.GetKeyCode()) {
        case 'S': return shift ? ctl::SaveAsKeyMenuId : ctl::SaveKeyMenuId;
        case 'O': return shift ? 0 : ctl::OpenKeyMenuId;
        case 'N': return shift ? 0 : ctl::NewKeyMenuId;
        case 'Z': return shift ? ctl::RedoKeyMenuId : ctl::UndoKeyMenuId;
        case 'Y': return shift ? 0 : ctl::RedoKeyMenuId;
        case 'F': return shift ? ctl::ForcedKeyMenuId : ctl::FindKeyMenuId;
        case 'H': return shift ? 0 : ctl::ReplaceKeyMenuId;
        case 'T': return shift ? ctl::ShiftKeyMenuId : 0;
        case WXK_INSERT:
        case WXK_NUMPAD_INSERT: return shift ? 0 : ctl::InsertSetKeyMenuId;
        default: return 0;
    }
}
}  // namespace

MainFrame::MainFrame(AppState& state)
    : wxFrame(nullptr, wxID_ANY, "Kalvero", wxDefaultPosition, wxDefaultSize,
              wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX),
      state_(state),
      controller_(state, *this) {
    panel_ = new wxPanel(this, wxID_ANY);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { send(Event::close()); });
    // Return anywhere in the window is the window's Return command.
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
        // Return in a time field being typed into ends that typing.
        auto* spin = dynamic_cast<CompactSpin*>(FindFocus());
        if ((e.GetKeyCode() == WXK_RETURN || e.GetKeyCode() == WXK_NUMPAD_ENTER) && !(spin && spin->editing())) {
            send(Event::menu(ctl::ReturnKeyMenuId));
            return;
        }
        if (int menu = shortcutMenuId(e)) {
            send(Event::menu(menu));
            return;
        }
        // Ctrl+I in a line field: its selection italic (or upright again).
        if (e.GetModifiers() == wxMOD_CONTROL && e.GetKeyCode() == 'I')
            for (int field : {ctl::LineA, ctl::LineB})
                if (auto* tc = dynamic_cast<wxTextCtrl*>(control(field)); tc && FindFocus() == tc) {
                    long from = 0, to = 0;
                    tc->GetSelection(&from, &to);
                    send(Event::italics(field, fromWx(tc->GetValue()), int(from), int(to)));
                    return;
                }
        e.Skip();
    });
}

wxFont MainFrame::uiFont(UiFontId id) const {
    // Liberation Sans (Arial's metrics) stands in for both Tahoma and Arial.
    switch (id) {
        case UiFontId::Bold: return wxFont(wxFontInfo(8).FaceName("Liberation Sans").Bold());
        // Help texts: a size that reads without effort.
        case UiFontId::Info: return wxFont(wxFontInfo(9).FaceName("Liberation Sans"));
        case UiFontId::BigBold: return wxFont(wxFontInfo(15).FaceName("Liberation Sans").Bold());
        case UiFontId::Small: return wxFont(wxFontInfo(7).FaceName("Liberation Sans"));
        case UiFontId::Medium: return wxFont(wxFontInfo(10).FaceName("Liberation Sans"));
        case UiFontId::TimeCaption: return wxFont(wxFontInfo(10).FaceName("Liberation Sans").Bold());
        case UiFontId::System: return wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
        case UiFontId::Default: break;
    }
    return wxFont(wxFontInfo(8).FaceName("Liberation Sans"));
}

// One control of the layout table, bound to send its events.
wxWindow* MainFrame::makeControl(const ControlSpec& c) {
    wxPoint pos(c.x, c.y);
    wxSize size(c.w, c.h);
    wxWindow* w = nullptr;
    const int id = c.id + 1000;  // keep clear of wx's own ids
    switch (c.kind) {
        case ControlKind::Button: {
            auto* b = new wxButton(panel_, id, toWx(c.caption), pos, size);
            b->Bind(wxEVT_BUTTON, [this, cid = c.id](wxCommandEvent&) { send(Event::control(cid)); });
            w = b;
            break;
        }
        case ControlKind::Toggle: {
            auto* b = new wxToggleButton(panel_, id, toWx(c.caption), pos, size);
            b->Bind(wxEVT_TOGGLEBUTTON, [this, cid = c.id](wxCommandEvent&) { send(eventFor(cid)); });
            w = b;
            break;
        }
        case ControlKind::CheckBox: {
            auto* b = new wxCheckBox(panel_, id, toWx(c.caption), pos, size);
            b->Bind(wxEVT_CHECKBOX, [this, cid = c.id](wxCommandEvent&) { send(eventFor(cid)); });
            w = b;
            break;
        }
        case ControlKind::Label:
            w = new wxStaticText(panel_, id, toWx(c.caption), pos, size, wxST_NO_AUTORESIZE);
            break;
        case ControlKind::Frame:
            w = new wxStaticBox(panel_, id, toWx(c.caption), pos, size);
            break;
        case ControlKind::LineField: {
            auto* t = new wxTextCtrl(panel_, id, "", pos, size, wxTE_PROCESS_ENTER);
            t->Bind(wxEVT_TEXT, [this, cid = c.id](wxCommandEvent&) { send(eventFor(cid, SubKind::Changed)); });
            t->Bind(wxEVT_SET_FOCUS, [this, cid = c.id](wxFocusEvent& e) {
                send(eventFor(cid));
                e.Skip();
            });
            t->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { send(Event::menu(ctl::ReturnKeyMenuId)); });
            w = t;
            break;
        }
        case ControlKind::ContextField:
            w = new wxTextCtrl(panel_, id, "", pos, size, wxTE_READONLY);
            break;
        case ControlKind::Choice: {
            auto* cb = new wxComboBox(panel_, id, "", pos, size, 0, nullptr, wxCB_READONLY);
            cb->Bind(wxEVT_COMBOBOX, [this, cid = c.id](wxCommandEvent&) { send(eventFor(cid, SubKind::Changed)); });
            cb->Bind(wxEVT_COMBOBOX_DROPDOWN, [this, cid = c.id](wxCommandEvent&) { send(eventFor(cid)); });
            w = cb;
            break;
        }
        case ControlKind::Slider: {
            auto* sl = new wxSlider(panel_, id, std::clamp(c.value, c.min, c.max), c.min, c.max, pos, size);
            sl->Bind(wxEVT_SLIDER, [this, cid = c.id](wxCommandEvent&) { send(eventFor(cid)); });
            w = sl;
            break;
        }
        case ControlKind::Spin: {
            auto* sp = new CompactSpin(panel_, id, pos, size, c.min, c.max);
            sp->SetValue(c.value);
            sp->Bind(wxEVT_SPINCTRL, [this, cid = c.id](wxCommandEvent&) { send(eventFor(cid)); });
            sp->Bind(wxEVT_TEXT, [this, cid = c.id, sp](wxCommandEvent& e) {
                send(Event::changed(cid, sp->GetValue(), fromWx(e.GetString())));
            });
            w = sp;
            break;
        }
        case ControlKind::Image:
            w = new ImagePanel(panel_, id, pos, size);
            break;
        case ControlKind::List: {
            list_ = new SubtitleListView(panel_, id, pos, size, state_.list);
            list_->onRowPicked = [this](long row) { send(Event::control(ctl::SubtitleListView, int(row))); };
            // A selection the list drops by itself is news for the program too.
            list_->onSelectionDropped = [this] { send(Event::changed(ctl::SubtitleListView, -1)); };
            list_->onRowsPicked = [this](long row, int flags) { send(Event::listPick(int(row), flags)); };
            list_->onKeyCommand = [this](int menuId) { send(Event::menu(menuId)); };
            list_->onContextMenu = [this](long row) { send(Event::menu(ctl::ListMenuMenuId, int(row))); };
            w = list_;
            break;
        }
    }
    return w;
}

void MainFrame::buildControls() {
    Suppress s(suppress_);
    for (const ControlSpec& c : mainWindowControls()) {
        wxWindow* w = makeControl(c);
        w->SetFont(uiFont(c.font));
        // A check box smaller than its box and caption need makes GTK complain
        // and clips the caption: give it at least what it needs.
        if (c.kind == ControlKind::CheckBox) {
            wxSize best = w->GetBestSize();
            w->SetSize(std::max(c.w, best.x), std::max(c.h, best.y));
        }
        if (!c.tooltip.empty()) w->SetToolTip(toWx(c.tooltip));
        if (!c.enabled) w->Enable(false);
        controls_[c.id] = w;
    }
    journalTimer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { send(Event::menu(ctl::JournalTickMenuId)); });
    journalTimer_.Start(2000);
    Bind(wxEVT_ACTIVATE, [this](wxActivateEvent& e) {
        e.Skip();
        if (!e.GetActive() || activated_) return;
        activated_ = true;
        if (pendingFocus_ < 0) return;
        // Directly, not queued: a queued call would wait while a modal
        // dialog of the toolkit runs.
        const int id = pendingFocus_;
        pendingFocus_ = -1;
        setFocus(id);
    });
}

wxWindow* MainFrame::control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

Event MainFrame::eventFor(int id, SubKind sub) {
    Event e = Event::control(id);
    e.sub = sub;
    wxWindow* w = control(id);
    if (id == ctl::SubtitleListView) e.value = selectedListRow();
    else if (auto* tc = dynamic_cast<wxTextCtrl*>(w)) e.text = fromWx(tc->GetValue());
    else if (auto* co = dynamic_cast<wxComboBox*>(w)) {
        e.value = co->GetSelection();
        if (e.value >= 0) e.text = fromWx(co->GetString(unsigned(e.value)));
    } else
        e.value = value(id);
    return e;
}

void MainFrame::send(const Event& e) {
    if (suppress_ > 0 || shuttingDown_) return;
    controller_.dispatch(e);
}

wxWindow* MainFrame::dialogParent() {
    return IsShown() ? static_cast<wxWindow*>(this) : nullptr;
}

// --- controls -------------------------------------------------------------------

void MainFrame::setText(int id, const std::string& t) {
    Suppress s(suppress_);
    wxWindow* w = control(id);
    if (auto* tc = dynamic_cast<wxTextCtrl*>(w)) {
        if (tc->GetValue() != toWx(t)) tc->ChangeValue(toWx(t));
    } else if (w) {
        w->SetLabel(toWx(t));
    }
}

void MainFrame::setValue(int id, int v) {
    Suppress s(suppress_);
    wxWindow* w = control(id);
    if (auto* sl = dynamic_cast<wxSlider*>(w)) {
        if (const int clamped = std::clamp(v, sl->GetMin(), sl->GetMax()); clamped != sl->GetValue())
            sl->SetValue(clamped);
    } else if (auto* sp = dynamic_cast<CompactSpin*>(w)) sp->SetValue(v);
    else if (auto* cb = dynamic_cast<wxCheckBox*>(w)) cb->SetValue(v != 0);
    else if (auto* tb = dynamic_cast<wxToggleButton*>(w)) tb->SetValue(v != 0);
    else if (auto* co = dynamic_cast<wxComboBox*>(w)) co->SetSelection(v >= 0 && v < int(co->GetCount()) ? v : wxNOT_FOUND);
}

int MainFrame::value(int id) {
    wxWindow* w = control(id);
    if (auto* sl = dynamic_cast<wxSlider*>(w)) return sl->GetValue();
    if (auto* sp = dynamic_cast<CompactSpin*>(w)) return sp->GetValue();
    if (auto* cb = dynamic_cast<wxCheckBox*>(w)) return cb->GetValue() ? 1 : 0;
    if (auto* tb = dynamic_cast<wxToggleButton*>(w)) return tb->GetValue() ? 1 : 0;
    if (auto* co = dynamic_cast<wxComboBox*>(w)) return co->GetSelection();
    return 0;
}

void MainFrame::setRange(int id, int min, int max) {
    Suppress s(suppress_);
    wxWindow* w = control(id);
    // Unchanged ranges are left alone: GTK lays a slider out again on every range.
    if (auto* sl = dynamic_cast<wxSlider*>(w)) {
        if (sl->GetMin() != min || sl->GetMax() != std::max(min, max)) sl->SetRange(min, std::max(min, max));
    } else if (auto* sp = dynamic_cast<CompactSpin*>(w)) sp->SetRange(min, max);
}

void MainFrame::setEnabled(int id, bool on) {
    if (wxWindow* w = control(id)) w->Enable(on);
}

void MainFrame::setVisible(int id, bool on) {
    if (wxWindow* w = control(id)) w->Show(on);
}

void MainFrame::setBackground(int id, Rgb c) {
    if (wxWindow* w = control(id); w && w->GetBackgroundColour() != wxColour(c.r, c.g, c.b)) {
        w->SetBackgroundColour(wxColour(c.r, c.g, c.b));
        w->Refresh();
    }
}

void MainFrame::setFocus(int id) {
    // Before the window was first activated, the focus waits for it: taking
    // it now would take the keyboard from whatever window has it.
    if (!activated_) {
        pendingFocus_ = id;
        return;
    }
    Suppress s(suppress_);
    if (wxWindow* w = control(id)) w->SetFocus();
}

void MainFrame::setCaretToEnd(int id) {
    if (auto* tc = dynamic_cast<wxTextCtrl*>(control(id))) tc->SetInsertionPointEnd();
}

void MainFrame::clearItems(int id) {
    Suppress s(suppress_);
    if (auto* co = dynamic_cast<wxComboBox*>(control(id))) co->Clear();
}

void MainFrame::appendItem(int id, const std::string& t) {
    Suppress s(suppress_);
    if (auto* co = dynamic_cast<wxComboBox*>(control(id))) co->Append(toWx(t));
}

void MainFrame::setItems(int id, const std::vector<std::string>& items) {
    Suppress s(suppress_);
    auto* co = dynamic_cast<wxComboBox*>(control(id));
    if (!co) return;
    wxArrayString all;
    all.reserve(items.size());
    for (const std::string& t : items) all.Add(toWx(t));
    co->Freeze();
    co->Set(all);
    co->Thaw();
}

void MainFrame::setItemText(int id, int index, const std::string& t) {
    Suppress s(suppress_);
    auto* co = dynamic_cast<wxComboBox*>(control(id));
    if (!co || index < 0 || index >= int(co->GetCount())) return;
    if (co->GetString(unsigned(index)) == toWx(t)) return;
    int sel = co->GetSelection();
    co->SetString(unsigned(index), toWx(t));
    if (sel == index) co->SetSelection(sel);
}

void MainFrame::listChanged() {
    if (list_) list_->modelChanged();
}

void MainFrame::markListSets(const std::vector<ListMark>& marks) {
    std::map<int, SubtitleListView::Mark> byList;
    for (const ListMark& m : marks) byList[m.set] = {m.level, m.reasons};
    if (list_) list_->setMarks(std::move(byList));
}

void MainFrame::rowsChanged(int first, int last) {
    if (list_) list_->rowsChanged(first, last);
}

void MainFrame::selectListRow(int row) {
    if (!list_) return;
    Suppress s(suppress_);
    list_->select(row);
    list_->EnsureVisible(row);
}

void MainFrame::markListRows(const std::vector<int>& rows, int current) {
    if (!list_) return;
    Suppress s(suppress_);
    list_->mark(rows, current);
}

int MainFrame::popupMenu(const std::vector<MenuItem>& items) {
    wxMenu menu;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].title.empty()) {
            menu.AppendSeparator();
            continue;
        }
        wxMenuItem* item = menu.Append(wxID_HIGHEST + 1 + int(i), toWx(items[i].title));
        item->Enable(items[i].enabled);
    }
    wxWindow* over = list_ ? static_cast<wxWindow*>(list_) : static_cast<wxWindow*>(this);
    const int chosen = over->GetPopupMenuSelectionFromUser(menu);
    if (chosen == wxID_NONE) return -1;
    const int index = chosen - wxID_HIGHEST - 1;
    return index >= 0 && index < int(items.size()) ? index : -1;
}

void MainFrame::setClipboardText(const std::string& text) {
    wxClipboardLocker lock;
    if (!lock) return;
    wxTheClipboard->SetData(new wxTextDataObject(wxString::FromUTF8(text.data(), text.size())));
}

std::optional<std::string> MainFrame::clipboardText() {
    wxClipboardLocker lock;
    if (!lock || !wxTheClipboard->IsSupported(wxDF_UNICODETEXT)) return std::nullopt;
    wxTextDataObject data;
    if (!wxTheClipboard->GetData(data)) return std::nullopt;
    // The text is kept while its UTF-8 form is read: that form may point into it.
    const wxString text = data.GetText();
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

void MainFrame::showListRow(int row) {
    if (list_ && row >= 0) list_->EnsureVisible(row);
}

int MainFrame::selectedListRow() {
    return list_ ? int(list_->selection()) : -1;
}

void MainFrame::showImage(int id, const Image& given) {
    auto* p = dynamic_cast<ImagePanel*>(control(id));
    if (!p) return;
    const Image& image = id == ctl::Canvas && state_.view.safeAreas ? withSafeAreas(given, safeAreaCanvas_) : given;
    if (id == ctl::Canvas && canvasNum_ != canvasDen_ && !image.empty()) {
        scaleForDisplay(image, image.width() * canvasNum_ / canvasDen_, image.height() * canvasNum_ / canvasDen_,
                        scaledCanvas_);
        p->setImage(scaledCanvas_, true);
        return;
    }
    p->setImage(image, id == ctl::Canvas);
}

void MainFrame::setCanvasScale(int num, int den) {
    canvasNum_ = num > 0 && den > 0 ? num : 1;
    canvasDen_ = num > 0 && den > 0 ? den : 1;
}

// --- window -----------------------------------------------------------------------

void MainFrame::setTitle(const std::string& title) {
    SetTitle(wxString::FromUTF8(title));
}

std::pair<int, int> MainFrame::desktopSize() {
    wxRect r = wxDisplay(0u).GetGeometry();
    return {r.width, r.height};
}

void MainFrame::setWindowSize(int w, int h) {
    SetClientSize(w, h);
    panel_->SetSize(0, 0, w, h);
}

void MainFrame::moveWindow(int x, int y) {
    Move(x, y);
}

void MainFrame::moveControl(int id, int x, int y) {
    if (wxWindow* w = control(id)) w->Move(x, y);
}

std::pair<int, int> MainFrame::controlPosition(int id) {
    wxWindow* w = control(id);
    if (!w) return {0, 0};
    wxPoint p = w->GetPosition();
    return {p.x, p.y};
}

void MainFrame::shutdown() {
    if (shuttingDown_) return;
    shuttingDown_ = true;
    journalTimer_.Stop();
    Destroy();
    wxTheApp->ExitMainLoop();
}

void MainFrame::processPendingEvents() {
    if (wxTheApp) wxTheApp->Yield(true);
}

void MainFrame::drainPendingEvents() {
    Suppress s(suppress_);
    // Paints stay queued: the window is painted once, when the handler is done.
    if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) loop->YieldFor(wxEVT_CATEGORY_ALL & ~wxEVT_CATEGORY_UI);
    else if (wxTheApp) wxTheApp->Yield(true);
}
