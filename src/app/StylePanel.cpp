// The strips box: its events, the style handlers, the colours and the
// background picture.
#include "app/StylePanel.h"

#include <algorithm>

#include "app/ControlIds.h"
#include "app/Controller.h"
#include "app/EditTools.h"
#include "app/Layout.h"
#include "app/TextStyle.h"
#include "app/Ui.h"
#include "base/Draw.h"
#include "base/Text.h"
#include "io/ImageCodecs.h"
#include "render/Background.h"

StylePanel::StylePanel(EditorContext& context)
    : EditorPart(context), renderer_(context.renderer) {}

void StylePanel::anchorControls() {
    windowExists_ = true;
    // Where every control of the two anchored groups stands at start-up.
    s_.columnOriginX = columnOriginFor(s_.windowWidth);
    s_.lowerBlockOriginY = lowerBlockOriginFor(s_.displayHeight());
    for (const ControlSpec& c : mainWindowControls()) {
        if (c.anchor == Anchor::RightColumn) rightColumnAnchors_.push_back({c.id, s_.columnOriginX + c.x, c.w});
        if (c.anchor == Anchor::LowerBlock) lowerBlockAnchors_.push_back({c.id, s_.lowerBlockOriginY + c.y, c.h});
    }
}

bool StylePanel::handle(const Event& e) {
    const bool changed = e.sub == SubKind::Changed;
    switch (e.id) {
        case ctl::BgImage: onBgImageToggle(); return true;
        case ctl::BlendSlider:
            s_.style.blend = e.value;
            refreshPreview();
            setControlText(ctl::BlendValue, std::to_string(s_.style.blend));
            markPresetModified();
            return true;
        case ctl::WordSpacingSlider:
            s_.style.wordSpacing = e.value - 6;
            refreshPreview();
            setControlText(ctl::WordSpacingValue, std::to_string(s_.style.wordSpacing));
            markPresetModified();
            return true;
        case ctl::StripsSpacingSlider:
            s_.style.stripsSpacing = s_.view.stripsSpacing.value;
            refreshPreview();
            setControlText(ctl::StripsSpacingValue, std::to_string(s_.style.stripsSpacing));
            markPresetModified();
            return true;
        case ctl::CropSlider:
            s_.style.cropStrips = e.value;
            refreshPreview();
            setControlText(ctl::CropValue, std::to_string(s_.style.cropStrips));
            markPresetModified();
            return true;
        case ctl::PresetList: onPresetList(e); return true;
        case ctl::FontSizeList:
            if (changed) onFontSizeList(e);
            return true;
        case ctl::SavePreset: savePreset(); return true;
        case ctl::StripsColor: onColour(ctl::StripsColor); return true;
        case ctl::BorderList:
            s_.style.borderStyle = std::max(0, e.value);
            refreshPreview();
            markPresetModified();
            return true;
        case ctl::ProfileList:
            if (changed) onProfileList(e);
            return true;
        case ctl::BgColor: onColour(ctl::BgColor); return true;
        case ctl::TextColor: if (textstyle::chooseTextColour(cx_)) markPresetModified(); return true;
        case ctl::FontButton: if (textstyle::chooseFont(cx_)) markPresetModified(); return true;
        case ctl::Crisp: if (textstyle::setCrisp(cx_, e.value != 0)) markPresetModified(); return true;
        case ctl::StripsYSlider: onStripsYSlider(); return true;
        case ctl::DrawNoStrips:
            markPresetModified();
            if (e.value) {
                s_.style.drawNoStrips = true;
                setControlValue(ctl::CutStripsToText, 0);
                setControlValue(ctl::StripsToAllText, 0);
                s_.style.stripsMode = FullWidth;
            } else {
                s_.style.drawNoStrips = false;
            }
            refreshPreview();
            return true;
        case ctl::CenterText:
            markPresetModified();
            s_.style.centerText = e.value != 0;
            refreshPreview();
            return true;
        case ctl::CutStripsToText:
        case ctl::StripsToAllText: onModeCheckBox(e.id, e.value != 0); return true;
        default: return false;
    }
}

void StylePanel::onModeCheckBox(int id, bool checked) {
    int other = id == ctl::CutStripsToText ? ctl::StripsToAllText : ctl::CutStripsToText;
    if (checked) {
        s_.style.stripsMode = id == ctl::CutStripsToText ? CutToText : AllText;
        s_.style.drawNoStrips = false;
        setControlValue(ctl::DrawNoStrips, 0);
        setControlValue(other, 0);
    } else {
        s_.style.stripsMode = FullWidth;
    }
    // The preview shows the selected set; render it when it has text.
    int row = s_.view.selectedRow;
    bool anyText = row < 0 || !s_.list.column(row, Column::Text).empty() || !s_.list.column(row + 1, Column::Text).empty();
    if (anyText) refreshPreview();
    markPresetModified();
}

void StylePanel::onPresetList(const Event& e) {
    resetPresetNames();
    if (e.sub != SubKind::Changed) return;
    int sel = e.value;
    if (sel < 0 || sel >= int(s_.presets.size())) return;
    s_.presetIndex = sel;
    applyPreset();
    reloadFontSheets();
    refreshPreview();
    ui_.setEnabled(ctl::SavePreset, false);
}

void StylePanel::onFontSizeList(const Event& e) {
    const std::string& item = e.text;
    int size = text::toInt(item.substr(0, 2));
    if (size <= 0) return;
    s_.style.fontSize = size;
    s_.fontSheetsDirty = 1;
    reloadFontSheets();
    refreshPreview();
    loadSetIntoFields_();
    markPresetModified();
}

void StylePanel::onProfileList(const Event& e) {
    int sel = e.value;
    if (sel < 0 || sel >= int(s_.profiles.size())) return;
    if (e.text.substr(0, 5) == "-----") {
        // A separator is no profile: the list goes back to the one in force.
        setControlValue(ctl::ProfileList, s_.profileIndex);
        return;
    }
    s_.profileIndex = sel;
    const int oldHeight = s_.projectHeight;
    const float oldFps = s_.fps;
    applyProfile();
    edittools::offerRateChange(cx_, oldFps, loadSetIntoFields);
    if (s_.projectHeight != oldHeight) offerToScaleY(oldHeight, s_.projectHeight);
}

// A Y made for one picture height sits elsewhere in another: offer once to
// move every set with the picture.
void StylePanel::offerToScaleY(int oldHeight, int newHeight) {
    if (oldHeight <= 0 || newHeight <= 0) return;
    bool anyY = false;
    for (int i = 0; i < s_.list.lineCount() && !anyY; ++i)
        anyY = !text::trimSpaces(s_.list.column(i, Column::Y)).empty();
    if (!anyY) return;
    if (!ui_.askYesNo("Question", "The picture is now " + std::to_string(newHeight) + " pixels high instead of " +
                                      std::to_string(oldHeight) +
                                      ".\nMove the subtitles with it (every Y position scaled to the new height)?"))
        return;
    const int maxY = s_.view.overrideY.max;
    for (int i = 0; i < s_.list.lineCount(); ++i) {
        std::string y = text::trimSpaces(s_.list.column(i, Column::Y));
        if (y.empty()) continue;
        long long scaled = (2LL * text::toInt(y) * newHeight + oldHeight) / (2LL * oldHeight);  // rounded
        s_.list.setLineColumn(i, Column::Y, std::to_string(std::clamp<long long>(scaled, 0, std::max(0, maxY))));
    }
    listChanged();
    loadSetIntoFields_();
    refreshPreview();
}

void StylePanel::onStripsYSlider() {
    int pos = s_.view.stripsY.value;
    s_.style.stripsYPos = pos;
    setControlText(ctl::StripsYValue, std::to_string(pos));
    refreshPreview();
    markPresetModified();
    // Every set that shares the Y in effect moves with the slider; sets with
    // a Y of their own stay.
    int shared = s_.style.stripsYPos;
    bool moved = false;
    for (int i = 0; i < s_.list.lineCount(); ++i) {
        if (text::toInt(s_.list.column(i, Column::Y)) == shared && shared != pos) {
            s_.list.setLineColumn(i, Column::Y, std::to_string(pos));
            moved = true;
        }
    }
    if (moved) {
        listChanged();
        refreshPreview();
    }
}

void StylePanel::markPresetModified() {
    ui_.setEnabled(ctl::SavePreset, true);
    int sel = s_.presetIndex;
    if (sel < 0 || sel >= int(s_.presets.size())) return;
    setControlValue(ctl::PresetList, sel);
    ui_.setItemText(ctl::PresetList, sel, s_.presets[size_t(sel)].name + "*");
}

void StylePanel::onColour(int id) {
    // The dialog opens on the colour as chosen, not as mixed with the
    // background: OK without a change keeps it. Black is a colour like any
    // other; only a cancelled dialog picks nothing.
    Rgb current = id == ctl::StripsColor ? s_.style.stripsColor : s_.style.bgColor;
    std::optional<Rgb> picked = ui_.chooseColour(current);
    if (!picked) return;
    if (id == ctl::StripsColor) {
        s_.style.stripsColor = s_.style.mixedColor = *picked;
        draw::fillOpaque(stripsSwatch, *picked);
        ui_.showImage(ctl::StripsSwatch, stripsSwatch);
        refreshPreview();
        markPresetModified();
    } else {
        s_.style.bgColor = *picked;
        draw::fillOpaque(bgSwatch, *picked);
        ui_.showImage(ctl::BgSwatch, bgSwatch);
        draw::fillOpaque(canvas, *picked);
        loadSetIntoFields_();
        refreshPreview();
        markPresetModified();
    }
}

void StylePanel::onBgImageToggle() {
    if (s_.view.bgImage) {
        ui_.messageBox("Note",
                       "Background image chosen will be scaled/cropped to fill entire area. Background will not be "
                       "part of export, is intended for visual preview only.");
        std::string path = ui_.openFileDialog("Choose image file", "", kBackgroundFilter);
        if (path.empty()) {
            setControlValue(ctl::BgImage, 0);
            return;
        }
        Image decoded;
        std::string error;
        if (!imageio::decodeImageFile(path, decoded, error)) {
            ui_.messageBox("Error#8", "Could not load image:\n" + path);
            setControlValue(ctl::BgImage, 0);
            return;
        }
        backgroundSource = std::move(decoded);
        background = prepareBackground(backgroundSource, s_.projectWidth, s_.projectHeight);
        backgroundPath = path;
        draw::drawAlpha(canvas, background, 0, 0);
        ui_.showImage(ctl::Canvas, canvas);
        refreshPreview();
        return;
    }
    if (background.empty()) return;
    if (ui_.askYesNo("Question", "Do you want to remove the background preview image?")) {
        background = backgroundSource = Image();
        backgroundPath.clear();
        refreshPreview();
    } else {
        setControlValue(ctl::BgImage, 1);
    }
}
