#pragma once
#include <wx/checklst.h>
#include <wx/choice.h>
#include <wx/wx.h>

#include <string>
#include <vector>

#include "app/ExportCommands.h"
#include "base/Image.h"

class Controller;
class ImagePanel;
class Ui;

// "Export/Render Subtitles": the PNG sequence, the timed AVI movie and the
// IFF pictures with a Scala script, started from one modal dialog over the
// main window. While an export runs, a progress bar and a "v/t" label take
// the place of the Cancel button. Only the buttons end the dialog.
class ExportDialog : public wxDialog, public ExportProgress {
public:
    ExportDialog(wxWindow* parent, Controller& controller, Ui& ui, const wxFont& uiFont, const wxFont& infoFont);

    // Shows the dialog modally; the main window is enabled and activated again afterwards.
    void run();

    // ExportProgress
    void start(int first, int total) override;
    void update(int value, int total) override;

private:
    void onPng();
    void onAvi();
    void onIff();
    void onScalaVersion();

    // Subtitle tracks (BDN, SUP, VobSub, DVB, SubRip, WebVTT): a block of
    // its own to the right of the picture exports.
    void buildSubtitleTrackBlock(wxWindow* panel);
    void onSubtitleTrack();
    // Shows the report; a refused export keeps the dialog open.
    void finish(const ExportReport& report);
    void setRunning(bool running);
    void paintBar(int value, int total);

    Controller& controller_;
    Ui& ui_;
    ExportCommands commands_;
    wxButton* png_ = nullptr;
    wxButton* avi_ = nullptr;
    wxButton* iff_ = nullptr;
    wxButton* cancel_ = nullptr;
    wxChoice* scala_ = nullptr;
    wxChoice* trackFormat_ = nullptr;
    wxCheckBox* trackIndexed_ = nullptr;
    wxCheckBox* trackForced_ = nullptr;  // "Forced sets only"
    wxButton* trackExport_ = nullptr;  // "Cancel" while a subtitle track is written
    // The programme start the timed exports (the tracks, the PNG sequence's
    // timeline) add; false, after telling why, when it is no time code.
    wxTextCtrl* start_ = nullptr;
    bool takeProgrammeStart();
    std::atomic<bool>* trackCancel_ = nullptr;  // set while a subtitle track is written
    ImagePanel* bar_ = nullptr;
    wxStaticText* label_ = nullptr;
    Image barImage_;
    Rgb barColour_, barBack_;
    bool running_ = false;

    // --- Video for editors: transparent overlay movie and burn-in, in a
    // block of their own below the dialog's original controls ---
    // Adds the block at `top` and returns the height it takes.
    int addVideoBlock(wxWindow* panel, int top);
    void enableVideoBlock(bool enable);
    void onOverlay();
    void onBurn();
    wxButton* overlay_ = nullptr;
    wxChoice* overlayCodec_ = nullptr;
    wxButton* burn_ = nullptr;
    std::vector<std::string> overlayCodecNames_;
    // --- end of video for editors ---
    // --- Several formats in one run, and the list order ---
    // Adds the check list with "Export all checked" and, beside it, what the
    // list-ordered exports would leave out with "Sort by Time"; returns the
    // height it takes.
    int addBatchBlock(wxWindow* panel, int top);
    void onExportAll();
    // Shows what AVI and Scala would leave out of the list as it is now.
    void showOrderNote();
    wxCheckListBox* checked_ = nullptr;
    wxButton* exportAll_ = nullptr;
    wxStaticText* orderNote_ = nullptr;
    wxButton* sortByTime_ = nullptr;
    bool inTimeOrder_ = true;
    // --- end of several formats ---
    // The choices the dialog opens with: those of its last time.
    struct Choices {
        int scala = 0, trackFormat = 0, overlayCodec = 0;
        bool indexed = false;
        bool forcedOnly = false;
        std::vector<int> checked;  // items of the check list
    };
    static Choices& remembered();
    void rememberChoices();
};
