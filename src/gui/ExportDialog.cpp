#include "gui/ExportDialog.h"
#include <algorithm>

#include <atomic>
#include <cmath>

#include <wx/progdlg.h>

#include "app/ControlIds.h"
#include "app/Controller.h"
#include "app/Ui.h"
#include "app/ExportBatch.h"
#include "app/ListOrder.h"
#include "export/OverlayWriter.h"
#include "export/ScalaScript.h"
#include "gui/BurnDialog.h"
#include "gui/CompressionDialog.h"
#include "gui/Widgets.h"
#include "gui/WxText.h"
#include "media/MediaModule.h"

namespace {
constexpr int kBarWidth = 300, kBarHeight = 20;
// The subtitle-track block beside the picture exports.
constexpr int kTrackBlockWidth = 210;

void fillRect(Image& img, int x0, int x1, Rgb c) {
    for (int y = 0; y < img.height(); ++y) {
        uint8_t* p = img.pixel(x0, y);
        for (int x = x0; x < x1; ++x, p += 4) p[0] = c.r, p[1] = c.g, p[2] = c.b, p[3] = 255;
    }
}
}  // namespace

ExportDialog::ExportDialog(wxWindow* parent, Controller& controller, Ui& ui, const wxFont& uiFont,
                           const wxFont& infoFont)
    : wxDialog(parent, wxID_ANY, toWx(kExportDialogTitle), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      controller_(controller),
      ui_(ui),
      commands_(controller, ui),
      barImage_(kBarWidth, kBarHeight) {
    SetClientSize(400 + kTrackBlockWidth, 330);
    auto* panel = new wxPanel(this, wxID_ANY, wxPoint(0, 0), wxSize(400 + kTrackBlockWidth, 330));
    const int videoBlock = addVideoBlock(panel, 330);
    const int batchBlock = addBatchBlock(panel, 330 + videoBlock);
    SetClientSize(400 + kTrackBlockWidth, 330 + videoBlock + batchBlock);
    panel->SetSize(400 + kTrackBlockWidth, 330 + videoBlock + batchBlock);
    panel->SetFont(uiFont);

    const AppState& s = controller_.state();
    barColour_ = s.progressBarColor;
    barBack_ = s.progressBackColor;

    png_ = new wxButton(panel, wxID_ANY, "Export single subtitles (PNG)", wxPoint(5, 5), wxSize(390, 20));
    const std::string profileText = s.profile() ? profileDisplayText(*s.profile()) : std::string();
    avi_ = new wxButton(panel, wxID_ANY, toWx(aviButtonCaption(profileText, s.fps)), wxPoint(5, 30), wxSize(390, 45));
    iff_ = new wxButton(panel, wxID_ANY, "Export single subtitles (IFF + Commodore Amiga, Scala .script)",
                        wxPoint(5, 80), wxSize(390, 20));
    scala_ = new wxChoice(panel, wxID_ANY, wxPoint(5, 100), wxSize(390, 20));
    for (const char* entry : kScalaVersionEntries) scala_->Append(toWx(entry));
    scala_->SetSelection(0);

    auto* help = new wxTextCtrl(panel, wxID_ANY, toWx(kExportHelpText), wxPoint(5, 125), wxSize(390, 175),
                                wxTE_MULTILINE | wxTE_READONLY | wxTE_WORDWRAP | wxBORDER_SIMPLE);
    help->SetFont(infoFont);
    help->SetBackgroundColour(wxColour(0, 0, 0));
    help->SetForegroundColour(wxColour(255, 255, 255));
    help->ShowPosition(0);  // from its first line

    cancel_ = new wxButton(panel, wxID_ANY, "Cancel / Exit", wxPoint(5, 305), wxSize(390, 20));
    bar_ = new ImagePanel(panel, wxID_ANY, wxPoint(5, 305), wxSize(kBarWidth, kBarHeight));
    bar_->Hide();
    label_ = new wxStaticText(panel, wxID_ANY, "0/0", wxPoint(315, 309), wxSize(86, 20), wxST_NO_AUTORESIZE);
    label_->Hide();

    buildSubtitleTrackBlock(panel);

    png_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { onPng(); });
    avi_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { onAvi(); });
    iff_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { onIff(); });
    scala_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { onScalaVersion(); });
    cancel_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        if (!running_) EndModal(wxID_CANCEL);
    });
    // Neither the close box nor Escape ends the dialog; only its buttons do.
    Bind(wxEVT_CLOSE_WINDOW, [](wxCloseEvent& e) {
        if (e.CanVeto()) e.Veto();
    });
    SetEscapeId(wxID_NONE);

    commands_.notify = [this](const std::string& title, const std::string& text) {
        wxMessageDialog d(this, toWx(text), toWx(title), wxOK | wxCENTRE);
        d.ShowModal();
    };
    commands_.chooseCodec = [this](const std::vector<AviCodecInfo>& codecs, const CodecChoice& last) {
        return chooseAviCompression(this, codecs, last);
    };

    // The choices of the last time the dialog was open, until the program ends.
    scala_->SetSelection(std::clamp(remembered().scala, 0, int(scala_->GetCount()) - 1));
    onScalaVersion();
    if (trackFormat_ && remembered().trackFormat < int(trackFormat_->GetCount()))
        trackFormat_->SetSelection(remembered().trackFormat);
    if (trackIndexed_) trackIndexed_->SetValue(remembered().indexed);
    if (trackForced_) trackForced_->SetValue(remembered().forcedOnly);
    commands_.forcedOnly = remembered().forcedOnly;
    if (overlayCodec_ && remembered().overlayCodec < int(overlayCodec_->GetCount()))
        overlayCodec_->SetSelection(remembered().overlayCodec);
    for (int item : remembered().checked)
        if (item >= 0 && item < int(checked_->GetCount())) checked_->Check(unsigned(item));
    showOrderNote();
    setRunning(false);
    Bind(wxEVT_CHOICE, [this](wxCommandEvent& e) {
        e.Skip();
        rememberChoices();
    });
    Bind(wxEVT_CHECKBOX, [this](wxCommandEvent& e) {
        e.Skip();
        rememberChoices();
    });
    checked_->Bind(wxEVT_CHECKLISTBOX, [this](wxCommandEvent& e) {
        e.Skip();
        rememberChoices();
        setRunning(false);
    });

    CentreOnParent();
    const wxPoint at = GetPosition();
    Move(at.x, at.y - 150);
}

void ExportDialog::run() {
    ShowModal();
    if (wxWindow* main = GetParent()) {
        main->Enable();
        main->Raise();
        main->SetFocus();
    }
}

ExportDialog::Choices& ExportDialog::remembered() {
    static Choices choices;
    return choices;
}

void ExportDialog::rememberChoices() {
    Choices& c = remembered();
    c.scala = std::max(0, scala_->GetSelection());
    if (trackFormat_) c.trackFormat = std::max(0, trackFormat_->GetSelection());
    if (trackIndexed_) c.indexed = trackIndexed_->IsChecked();
    if (trackForced_) c.forcedOnly = commands_.forcedOnly = trackForced_->IsChecked();
    if (overlayCodec_) c.overlayCodec = std::max(0, overlayCodec_->GetSelection());
    if (checked_) {
        wxArrayInt items;
        checked_->GetCheckedItems(items);
        c.checked.assign(items.begin(), items.end());
    }
}

void ExportDialog::onScalaVersion() {
    iff_->Enable(scalaTargetSupported(scala_->GetSelection()));
}

void ExportDialog::setRunning(bool running) {
    running_ = running;
    for (wxWindow* w : {static_cast<wxWindow*>(png_), static_cast<wxWindow*>(avi_), static_cast<wxWindow*>(iff_),
                        static_cast<wxWindow*>(scala_)})
        w->Enable(!running);
    for (wxWindow* w : {static_cast<wxWindow*>(trackFormat_), static_cast<wxWindow*>(trackIndexed_),
                        static_cast<wxWindow*>(trackForced_), static_cast<wxWindow*>(trackExport_)})
        if (w) w->Enable(!running);
    if (start_) start_->Enable(!running);
    if (!running && trackIndexed_ && trackFormat_)
        trackIndexed_->Enable(subtitleFormats()[size_t(std::max(0, trackFormat_->GetSelection()))].format ==
                              SubtitleFormat::Bdn);
    enableVideoBlock(!running);
    if (checked_) {
        wxArrayInt items;
        checked_->GetCheckedItems(items);
        checked_->Enable(!running);
        exportAll_->Enable(!running && !items.empty());
        sortByTime_->Enable(!running && !inTimeOrder_);
    }
    if (!running) onScalaVersion();
}

void ExportDialog::finish(const ExportReport& report) {
    commands_.show(report);
    showOrderNote();
    // The dialog stays for the next export until "Cancel / Exit".
    bar_->Hide();
    label_->Hide();
    cancel_->Show();
    setRunning(false);
}

bool ExportDialog::takeProgrammeStart() {
    const std::string refused = commands_.takeProgrammeStart(fromWx(start_->GetValue()));
    if (refused.empty()) return true;
    commands_.notify("Error!", refused);
    start_->SetFocus();
    return false;
}

void ExportDialog::onPng() {
    if (running_ || !takeProgrammeStart()) return;
    setRunning(true);
    finish(commands_.exportPngSequence(this));
}

void ExportDialog::onIff() {
    if (running_ || !scalaTargetSupported(scala_->GetSelection())) return;
    setRunning(true);
    finish(commands_.exportIffScala(scala_->GetSelection(), this));
}

// The timed AVI export; a cancelled compression choice keeps the dialog open.
void ExportDialog::onAvi() {
    if (running_) return;
    setRunning(true);
    finish(commands_.exportTimedAvi(this));
}

void ExportDialog::buildSubtitleTrackBlock(wxWindow* panel) {
    const int x = 400, w = kTrackBlockWidth - 5;
    new wxStaticText(panel, wxID_ANY, "Subtitle track (with timing):", wxPoint(x, 7), wxSize(w, 18));
    trackFormat_ = new wxChoice(panel, wxID_ANY, wxPoint(x, 27), wxSize(w, 28));
    for (const SubtitleFormatInfo& f : subtitleFormats()) trackFormat_->Append(toWx(f.label));
    trackFormat_->SetSelection(0);
    trackIndexed_ = new wxCheckBox(panel, wxID_ANY, "8-bit palette PNG (BDN)", wxPoint(x, 60), wxSize(w, 20));
    trackExport_ = new wxButton(panel, wxID_ANY, "Export subtitle track", wxPoint(x, 85), wxSize(w, 25));
    new wxStaticText(panel, wxID_ANY, "Programme start:", wxPoint(x, 122), wxSize(105, 18));
    start_ = new wxTextCtrl(panel, wxID_ANY, toWx(formatTimeCode(controller_.state().programmeStart)),
                            wxPoint(x + 105, 117), wxSize(w - 105, 26));
    start_->SetName("ProgrammeStart");
    start_->SetToolTip("The time code of the programme's first frame (10:00:00:00 for most broadcast and disc "
                       "masters), added to every time code of the subtitle tracks and of the PNG sequence's "
                       "timeline and timing table");
    new wxStaticText(panel, wxID_ANY,
                     "Each timed set at its ON and OFF time codes, into a folder of its own beside the project. BDN "
                     "XML + PNG and SUP for Blu-ray authoring, VobSub for DVD, DVB for broadcast, SubRip and WebVTT "
                     "for text editors and players, EBU STL (teletext) and SCC closed captions for television.",
                     wxPoint(x, 172), wxSize(w, 128));
    trackForced_ = new wxCheckBox(panel, wxID_ANY, "Forced sets only", wxPoint(x, 148), wxSize(w, 20));
    trackForced_->SetToolTip("The track takes only the sets marked forced (Ctrl+Shift+F in the list): a "
                             "forced-only track for the foreign dialogue of a film. Not for EBU STL and SCC.");
    trackFormat_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { setRunning(false); });
    trackExport_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        if (trackCancel_) *trackCancel_ = true;
        else onSubtitleTrack();
    });
}

void ExportDialog::onSubtitleTrack() {
    if (running_) return;
    const int choice = trackFormat_->GetSelection();
    if (choice < 0 || choice >= int(subtitleFormats().size())) return;
    const SubtitleFormat format = subtitleFormats()[size_t(choice)].format;
    if (!takeProgrammeStart()) return;
    setRunning(true);
    // The export button stops the run while it lasts.
    std::atomic<bool> cancel{false};
    trackCancel_ = &cancel;
    trackExport_->SetLabel("Cancel");
    trackExport_->Enable();
    const ExportReport report = commands_.exportSubtitleTrack(format, trackIndexed_->IsChecked(), this, &cancel);
    trackCancel_ = nullptr;
    trackExport_->SetLabel("Export subtitle track");
    if (cancel && !report.done()) {
        commands_.show(report);
        bar_->Hide();
        label_->Hide();
        cancel_->Show();
        setRunning(false);
        return;
    }
    finish(report);
}

void ExportDialog::paintBar(int value, int total) {
    int filled = total > 0 ? int(std::lround(double(value) * kBarWidth / total)) : 0;
    filled = std::clamp(filled, 0, kBarWidth);
    fillRect(barImage_, 0, filled, barColour_);
    fillRect(barImage_, filled, kBarWidth, barBack_);
    bar_->setImage(barImage_, false);
    bar_->Refresh();
    bar_->Update();
}

void ExportDialog::start(int first, int total) {
    cancel_->Hide();
    bar_->Show();
    label_->Show();
    paintBar(0, total);
    label_->SetLabel(wxString::Format("%d/%d", first, total));
    label_->Update();
}

void ExportDialog::update(int value, int total) {
    paintBar(value, total);
    label_->SetLabel(wxString::Format("%d/%d", value, total));
    label_->Update();
}

// --- Video for editors ----------------------------------------------------

int ExportDialog::addVideoBlock(wxWindow* panel, int top) {
    overlay_ = new wxButton(panel, wxID_ANY, "Transparent overlay movie", wxPoint(5, top), wxSize(250, 20));
    overlay_->SetToolTip(
        "The timed movie with an alpha channel, transparent where no subtitle is, for a track above the film in "
        "a video editor. Each subtitle starts at its own ON frame; 29.97 and 23.976 stay exact.");
    overlayCodec_ = new wxChoice(panel, wxID_ANY, wxPoint(260, top), wxSize(135, 20));
    std::string noModule;
    for (const OverlayCodec& c : overlayCodecs()) {
        try {
            if (!overlayCodecAvailable(c.name)) continue;
        } catch (const MediaModuleUnavailable& e) {
            noModule = e.what();  // no movie module: no overlay codec, and the button says why
            break;
        }
        overlayCodec_->Append(toWx(c.displayName));
        overlayCodecNames_.push_back(c.name);
    }
    overlayCodec_->SetSelection(0);
    overlayCodec_->SetToolTip(
        "ProRes 4444 for most editors, QuickTime Animation where ProRes is missing, VP9 for web editors");
    if (!noModule.empty()) overlay_->SetToolTip(toWx(noModule));
    if (overlayCodecNames_.empty()) overlay_->Disable();
    burn_ = new wxButton(panel, wxID_ANY, "Burn into movie...", wxPoint(5, top + 25), wxSize(390, 20));
    burn_->SetToolTip("A copy of a movie with the subtitles in its picture (H.264, the sound copied)");
    overlay_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { onOverlay(); });
    burn_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { onBurn(); });
    return 50;
}

void ExportDialog::enableVideoBlock(bool enable) {
    if (overlay_) overlay_->Enable(enable && !overlayCodecNames_.empty());
    if (overlayCodec_) overlayCodec_->Enable(enable);
    if (burn_) burn_->Enable(enable);
}

void ExportDialog::onOverlay() {
    const int i = overlayCodec_->GetSelection();
    if (running_ || i < 0 || size_t(i) >= overlayCodecNames_.size()) return;
    setRunning(true);
    finish(commands_.exportOverlayMovie(overlayCodecNames_[size_t(i)], this));
}

void ExportDialog::onBurn() {
    if (running_) return;
    AppState& s = controller_.state();
    std::optional<BurnSettings> chosen = chooseBurn(this, s.projectWidth, s.projectHeight, s.burnSettings);
    if (!chosen) return;
    s.burnSettings = *chosen;
    setRunning(true);
    std::atomic<bool> cancel{false};
    wxProgressDialog progress("Burning captions", "Starting...", 100, this,
                              wxPD_APP_MODAL | wxPD_CAN_ABORT | wxPD_ELAPSED_TIME | wxPD_AUTO_HIDE);
    int range = 100;
    auto onProgress = [&](int64_t done, int64_t total, double left) {
        if (total > 0 && total != range && total < INT32_MAX) {
            range = int(total);
            progress.SetRange(range);
        }
        wxString text = wxString::Format("Frame %lld of %lld", (long long)done, (long long)total);
        if (left >= 0) {
            const long secs = long(left + 0.5);
            text += wxString::Format(", %ld:%02ld left", secs / 60, secs % 60);
        }
        if (!progress.Update(int(std::min<int64_t>(done, range)), text)) cancel = true;
    };
    ExportReport report = commands_.burnIntoMovie(chosen->movie, chosen->output, chosen->crf, chosen->preset,
                                                  onProgress, &cancel);
    progress.Hide();
    if (report.refused() || cancel) {
        commands_.show(report);
        setRunning(false);
        return;
    }
    finish(report);
}

// --- Several formats in one run, and the list order ---------------------------

namespace {
// The items of the check list after the picture and video exports: the subtitle tracks.
constexpr int kFirstTrackItem = 4;
}  // namespace

int ExportDialog::addBatchBlock(wxWindow* panel, int top) {
    new wxStaticText(panel, wxID_ANY, "Several formats in one run:", wxPoint(5, top + 2), wxSize(250, 18));
    checked_ = new wxCheckListBox(panel, wxID_ANY, wxPoint(5, top + 20), wxSize(250, 110));
    for (const char* name : {"PNG sequence", "Timed AVI movie", "IFF + Scala script", "Transparent overlay movie"})
        checked_->Append(name);
    for (const SubtitleFormatInfo& f : subtitleFormats()) checked_->Append(toWx(f.label));
    exportAll_ = new wxButton(panel, wxID_ANY, "Export all checked", wxPoint(260, top + 20), wxSize(135, 25));
    exportAll_->SetToolTip("Every checked format, one after the other, with the choices made above (Scala version, "
                           "overlay codec, palette PNG); one report at the end.");
    new wxStaticText(panel, wxID_ANY, "List order:", wxPoint(400, top + 2), wxSize(kTrackBlockWidth - 5, 18));
    orderNote_ = new wxStaticText(panel, wxID_ANY, "", wxPoint(400, top + 20), wxSize(kTrackBlockWidth - 5, 80));
    sortByTime_ = new wxButton(panel, wxID_ANY, "Sort by Time", wxPoint(400, top + 105), wxSize(kTrackBlockWidth - 5, 25));
    sortByTime_->SetToolTip("Puts the timed sets in the order of their ON times (Undo takes it back)");
    exportAll_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { onExportAll(); });
    // Space checks the selected format (the toolkit's list only selects it).
    checked_->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& e) {
        const int item = checked_->GetSelection();
        if (e.GetKeyCode() != WXK_SPACE || e.HasAnyModifiers() || item == wxNOT_FOUND) return e.Skip();
        checked_->Check(unsigned(item), !checked_->IsChecked(unsigned(item)));
        rememberChoices();
        setRunning(false);
    });
    sortByTime_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        if (running_) return;
        controller_.dispatch(Event::menu(ctl::SortByTimeMenuId));
        showOrderNote();
        setRunning(false);
    });
    return 135;
}

void ExportDialog::showOrderNote() {
    if (!orderNote_) return;
    const std::string note = listOrderedNote(controller_.state());
    inTimeOrder_ = note.empty();
    orderNote_->SetLabel(note.empty() ? wxString("Every set is in time order.") : toWx(note));
    orderNote_->Wrap(kTrackBlockWidth - 10);
    orderNote_->SetForegroundColour(note.empty() ? wxColour(0, 100, 0) : wxColour(170, 0, 0));
    if (sortByTime_) sortByTime_->Enable(!running_ && !note.empty());
}

void ExportDialog::onExportAll() {
    if (running_) return;
    wxArrayInt items;
    checked_->GetCheckedItems(items);
    std::vector<BatchExport> exports;
    for (int item : items) {
        const std::string name(checked_->GetString(unsigned(item)).utf8_str());
        switch (item) {
            case 0: exports.push_back({name, [this] { return commands_.exportPngSequence(this); }}); break;
            case 1: exports.push_back({name, [this] { return commands_.exportTimedAvi(this); }}); break;
            case 2:
                exports.push_back({name, [this] {
                                       if (!scalaTargetSupported(scala_->GetSelection()))
                                           return ExportReport::refusal("Error!", "The chosen Scala version cannot be written.");
                                       return commands_.exportIffScala(scala_->GetSelection(), this);
                                   }});
                break;
            case 3:
                exports.push_back({name, [this] {
                                       const int i = overlayCodec_->GetSelection();
                                       if (i < 0 || size_t(i) >= overlayCodecNames_.size())
                                           return ExportReport::refusal("Error!", "No overlay codec is available.");
                                       return commands_.exportOverlayMovie(overlayCodecNames_[size_t(i)], this);
                                   }});
                break;
            default: {
                const size_t track = size_t(item - kFirstTrackItem);
                if (track >= subtitleFormats().size()) break;
                const SubtitleFormat format = subtitleFormats()[track].format;
                exports.push_back({name, [this, format] {
                                       return commands_.exportSubtitleTrack(format, trackIndexed_->IsChecked(), this);
                                   }});
            }
        }
    }
    if (exports.empty()) return;
    setRunning(true);
    finish(runExportBatch(exports));
}
