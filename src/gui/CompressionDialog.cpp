#include "gui/CompressionDialog.h"

#include <algorithm>

#include <wx/choice.h>
#include <wx/slider.h>
#include <wx/spinctrl.h>
#include <wx/wx.h>

#include "gui/WxText.h"

namespace {

constexpr int kMinDataRate = 100, kMaxDataRate = 200000, kDefaultDataRate = 8000;  // kbit/s

class CompressionDialog : public wxDialog {
public:
    CompressionDialog(wxWindow* parent, const std::vector<AviCodecInfo>& codecs, const CodecChoice& last)
        : wxDialog(parent, wxID_ANY, "Video Compression", wxDefaultPosition, wxDefaultSize,
                   wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
          codecs_(codecs) {
        auto* panel = new wxPanel(this);
        auto* column = new wxBoxSizer(wxVERTICAL);

        column->Add(new wxStaticText(panel, wxID_ANY, "Compressor:"), 0, wxLEFT | wxRIGHT | wxTOP, 10);
        codec_ = new wxChoice(panel, wxID_ANY, wxDefaultPosition, wxSize(320, -1));
        for (const AviCodecInfo& c : codecs_) codec_->Append(toWx(c.displayName));
        column->Add(codec_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);
        about_ = new wxStaticText(panel, wxID_ANY, " ", wxDefaultPosition, wxSize(320, -1), wxST_NO_AUTORESIZE);
        column->Add(about_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);

        keyFrames_ = new wxCheckBox(panel, wxID_ANY, "Key frame every frame");
        column->Add(keyFrames_, 0, wxLEFT | wxRIGHT | wxTOP, 10);

        auto* qualityRow = new wxBoxSizer(wxHORIZONTAL);
        qualityLabel_ = new wxStaticText(panel, wxID_ANY, "Compression quality:");
        qualityRow->Add(qualityLabel_, 0, wxALIGN_CENTER_VERTICAL);
        quality_ = new wxSlider(panel, wxID_ANY, std::clamp(last.quality, 1, 100), 1, 100, wxDefaultPosition,
                                wxSize(160, -1));
        qualityRow->Add(quality_, 1, wxALIGN_CENTER_VERTICAL | wxLEFT, 6);
        qualityValue_ = new wxStaticText(panel, wxID_ANY, "100", wxDefaultPosition, wxSize(30, -1),
                                         wxST_NO_AUTORESIZE | wxALIGN_RIGHT);
        qualityRow->Add(qualityValue_, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 4);
        column->Add(qualityRow, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);

        auto* rateRow = new wxBoxSizer(wxHORIZONTAL);
        useRate_ = new wxCheckBox(panel, wxID_ANY, "Data rate:");
        rateRow->Add(useRate_, 0, wxALIGN_CENTER_VERTICAL);
        rate_ = new wxSpinCtrl(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(110, -1), wxSP_ARROW_KEYS,
                               kMinDataRate, kMaxDataRate,
                               last.dataRateKbps > 0 ? std::clamp(last.dataRateKbps, kMinDataRate, kMaxDataRate)
                                                     : kDefaultDataRate);
        rateRow->Add(rate_, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 6);
        rateUnit_ = new wxStaticText(panel, wxID_ANY, "kbit/s");
        rateRow->Add(rateUnit_, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 4);
        column->Add(rateRow, 0, wxLEFT | wxRIGHT | wxTOP, 10);

        auto* buttons = new wxStdDialogButtonSizer();
        buttons->AddButton(new wxButton(panel, wxID_OK));
        buttons->AddButton(new wxButton(panel, wxID_CANCEL));
        buttons->Realize();
        column->Add(buttons, 0, wxALIGN_RIGHT | wxALL, 10);

        panel->SetSizer(column);
        auto* outer = new wxBoxSizer(wxVERTICAL);
        outer->Add(panel, 1, wxEXPAND);
        SetSizerAndFit(outer);

        int selected = 0;
        for (size_t i = 0; i < codecs_.size(); ++i)
            if (codecs_[i].codec == last.codec) selected = int(i);
        codec_->SetSelection(codecs_.empty() ? wxNOT_FOUND : selected);
        useRate_->SetValue(last.dataRateKbps > 0);
        keyFramesWanted_ = last.keyFrameEveryFrame;

        codec_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { update(); });
        useRate_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { update(); });
        keyFrames_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { keyFramesWanted_ = keyFrames_->GetValue(); });
        quality_->Bind(wxEVT_SLIDER, [this](wxCommandEvent&) { update(); });
        update();
        CentreOnParent();
    }

    CodecChoice choice() const {
        CodecChoice c;
        const AviCodecInfo* info = current();
        if (info) c.codec = info->codec;
        c.quality = quality_->GetValue();
        c.dataRateKbps = info && info->hasQuality && useRate_->GetValue() ? rate_->GetValue() : 0;
        c.keyFrameEveryFrame = !info || info->lossless || keyFramesWanted_;
        return c;
    }

private:
    const AviCodecInfo* current() const {
        const int i = codec_->GetSelection();
        return i >= 0 && i < int(codecs_.size()) ? &codecs_[size_t(i)] : nullptr;
    }

    // Only the settings the chosen codec has are enabled.
    void update() {
        const AviCodecInfo* info = current();
        const bool lossless = !info || info->lossless;
        const bool quality = info && info->hasQuality;
        if (!info)
            about_->SetLabel("");
        else if (info->codec == "rawvideo")
            about_->SetLabel("Every pixel as it is; the largest files.");
        else if (lossless)
            about_->SetLabel("Lossless: every pixel is kept, in a smaller file.");
        else
            about_->SetLabel("Lossy: smaller files; fine detail may blur.");

        keyFrames_->Enable(!lossless);
        keyFrames_->SetValue(lossless || keyFramesWanted_);

        const bool byRate = quality && useRate_->GetValue();
        useRate_->Enable(quality);
        rate_->Enable(byRate);
        rateUnit_->Enable(byRate);
        quality_->Enable(quality && !byRate);
        qualityLabel_->Enable(quality && !byRate);
        qualityValue_->Enable(quality && !byRate);
        qualityValue_->SetLabel(wxString::Format("%d", quality_->GetValue()));
    }

    std::vector<AviCodecInfo> codecs_;
    wxChoice* codec_ = nullptr;
    wxStaticText* about_ = nullptr;
    wxCheckBox* keyFrames_ = nullptr;
    wxStaticText* qualityLabel_ = nullptr;
    wxSlider* quality_ = nullptr;
    wxStaticText* qualityValue_ = nullptr;
    wxCheckBox* useRate_ = nullptr;
    wxSpinCtrl* rate_ = nullptr;
    wxStaticText* rateUnit_ = nullptr;
    bool keyFramesWanted_ = true;  // the user's setting, kept while a lossless codec is shown
};

}  // namespace

std::optional<CodecChoice> chooseAviCompression(wxWindow* parent, const std::vector<AviCodecInfo>& codecs,
                                                const CodecChoice& last) {
    if (codecs.empty()) return std::nullopt;
    CompressionDialog dialog(parent, codecs, last);
    if (dialog.ShowModal() != wxID_OK) return std::nullopt;
    return dialog.choice();
}
