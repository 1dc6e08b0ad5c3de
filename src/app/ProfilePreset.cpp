// Profiles, presets, the window's size and the lists of the strips box.
#include <algorithm>
#include <cmath>

#include "app/TextStyle.h"
#include "app/ControlIds.h"
#include "app/StylePanel.h"
#include "app/Layout.h"
#include "app/Ui.h"
#include "io/Files.h"
#include "base/Text.h"
#include "render/PresetStyle.h"
#include "render/ProjectLook.h"
#include "base/Draw.h"
#include "io/SettingsFile.h"
#include "app/MissingTiming.h"

namespace {
// The largest display scale of the preview (1/1, 3/4, 2/3, 1/2) at which the
// window of a profile fits the desktop; {0, 0} when none does.
std::pair<int, int> fittingScale(const Profile& p, int desktopW, int desktopH) {
    static const int kScales[4][2] = {{1, 1}, {3, 4}, {2, 3}, {1, 2}};
    for (const auto& sc : kScales)
        if (windowWidthFor(p.width * sc[0] / sc[1]) <= desktopW && windowHeightFor(p.height * sc[0] / sc[1]) <= desktopH)
            return {sc[0], sc[1]};
    return {0, 0};
}
}  // namespace

void StylePanel::checkDesktopFit() {
    auto [desktopW, desktopH] = ui_.desktopSize();
    auto fits = [&](int index) -> const Profile& { return s_.profiles[size_t(index)]; };
    const Profile& wanted = fits(s_.profileIndex);
    int needW = windowWidthFor(wanted.width), needH = windowHeightFor(wanted.height);
    // A window larger than the desktop shows the preview scaled down instead
    // of asking; only a window that does not fit even at 1/2 asks.
    if (fittingScale(wanted, desktopW, desktopH).first > 0) needW = needH = 0;
    bool askedWidth = false;
    if (needW > desktopW) {
        askedWidth = true;
        if (!ui_.askYesNo("Warning!", "Requested Width of " + std::to_string(needW) +
                                          "px is larger than your DesktopWidth of " + std::to_string(desktopW) +
                                          "px\nDo you want to proceed?")) {
            s_.profileIndex = s_.acceptedProfileIndex;
            if (windowExists_) {
                setControlValue(ctl::ProfileList, s_.profileIndex);
            } else {
                ui_.messageBox("Information", "Please check " + s_.settingsFileName +
                                                  " and the 'StartupProfile = ' item. It defaults to a larger screen "
                                                  "than you have, will default to 1 so program starts.");
                s_.profileIndex = 1;
            }
        }
    }
    if (needH > desktopH && !askedWidth) {
        if (!ui_.askYesNo("Warning!", "Requested Height of " + std::to_string(needH) +
                                          "px is larger than your DesktopHeight of " + std::to_string(desktopH) +
                                          "px\nDo you want to proceed?")) {
            s_.profileIndex = s_.acceptedProfileIndex;
            if (windowExists_) setControlValue(ctl::ProfileList, s_.profileIndex);
        }
    }
    // Index 1 may not exist or be a separator in a hand-made settings file.
    if (s_.profileIndex < 0 || s_.profileIndex >= int(s_.profiles.size()) ||
        s_.profiles[size_t(s_.profileIndex)].isSeparator || s_.profiles[size_t(s_.profileIndex)].width <= 0 ||
        s_.profiles[size_t(s_.profileIndex)].height <= 0)
        s_.profileIndex = s_.acceptedProfileIndex;
    const Profile& p = s_.profiles[size_t(s_.profileIndex)];
    s_.projectWidth = p.width;
    s_.projectHeight = p.height;
    const Preset* look = s_.preset();
    s_.style.fontSize = look && look->fontSize > 0 ? look->fontSize : p.fontSize;
    s_.fps = p.fps;
    auto [scaleNum, scaleDen] = fittingScale(p, desktopW, desktopH);
    if (scaleNum == 0) scaleNum = 1, scaleDen = 2;  // kept on Yes although it does not fit
    s_.previewScaleNum = scaleNum;
    s_.previewScaleDen = scaleDen;
    ui_.setCanvasScale(scaleNum, scaleDen);
    createImages();
    s_.windowWidth = windowWidthFor(s_.displayWidth());
    s_.windowHeight = windowHeightFor(s_.displayHeight());
}

// The canvas is not drawn here: every caller renders the preview next.
void StylePanel::relayoutWindow() {
    draw::fillOpaque(bgSwatch, s_.style.bgColor);
    draw::fillOpaque(stripsSwatch, s_.style.mixedColor);
    s_.style.stripsYPos = s_.projectHeight - renderer_.stripHeight();
    auto [desktopW, desktopH] = ui_.desktopSize();
    ui_.setWindowSize(s_.windowWidth, s_.windowHeight);
    ui_.moveWindow(desktopW / 2 - s_.windowWidth / 2, desktopH / 2 - s_.windowHeight / 2);
    if (firstLayout_) {
        firstLayout_ = false;
        updateTitle();
    }
    int dx = columnOriginFor(s_.windowWidth) - s_.columnOriginX;
    for (const LayoutAnchor& a : rightColumnAnchors_) ui_.moveControl(a.id, a.start + dx, findControl(a.id)->y);
    int dy = lowerBlockOriginFor(s_.displayHeight()) - s_.lowerBlockOriginY;
    for (const LayoutAnchor& a : lowerBlockAnchors_) ui_.moveControl(a.id, findControl(a.id)->x, a.start + dy);
    ui_.showImage(ctl::BgSwatch, bgSwatch);
    ui_.showImage(ctl::StripsSwatch, stripsSwatch);
}



void StylePanel::fillProfileList() {
    std::vector<std::string> items;
    items.reserve(s_.profiles.size());
    for (const Profile& p : s_.profiles) items.push_back(profileDisplayText(p));
    ui_.setItems(ctl::ProfileList, items);
    setControlValue(ctl::ProfileList, s_.profileIndex);
}

void StylePanel::fillFontSizeList() {
    ui_.clearItems(ctl::FontSizeList);
    // Sorted by size, so the list reads in order and the four sheets of a size
    // stand together whatever order the file system lists the folder in.
    // The user's own sheets are listed with the shipped ones.
    std::vector<std::string> names;
    for (const std::string& folder : fontSheetFolders(s_.dataDirs()))
        for (const std::string& n : files::listFiles(folder + "includes"))
            if (std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
    auto sizeOf = [](const std::string& n) { return text::toInt(text::field(text::field(n, '_', 2), '.', 1)); };
    std::stable_sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        return sizeOf(a) != sizeOf(b) ? sizeOf(a) < sizeOf(b) : a < b;
    });
    s_.view.fontSizes = fontSizeItems(names);
    for (const std::string& item : s_.view.fontSizes) ui_.appendItem(ctl::FontSizeList, item);
    int select = -1;
    for (int i = 0; i < int(s_.view.fontSizes.size()) && select < 0; ++i)
        if (text::toInt(text::field(s_.view.fontSizes[size_t(i)], ' ', 1)) == s_.style.fontSize) select = i;
    setControlValue(ctl::FontSizeList, select);
}

void StylePanel::fillPresetList() {
    std::vector<std::string> items;
    items.reserve(s_.presets.size());
    for (const Preset& p : s_.presets) items.push_back(p.name);
    ui_.setItems(ctl::PresetList, items);
}

void StylePanel::resetPresetNames() {
    for (int i = 0; i < int(s_.presets.size()); ++i) ui_.setItemText(ctl::PresetList, i, s_.presets[size_t(i)].name);
}

void StylePanel::applyPreset() {
    const Preset* preset = s_.preset();
    const Profile* profile = s_.profile();
    if (!preset || !profile) return;
    StripsConfig& st = s_.style;
    const int oldFontSize = st.fontSize;
    st = styleFromPreset(*preset, *profile);
    st.cropStrips = std::clamp(st.cropStrips, 0, 100);
    st.wordSpacing = std::clamp(st.wordSpacing, -6, 6);
    showStyle();
    // A look with a font of its own (Teletext, Closed captions) brings its sheets.
    if (st.fontSize != oldFontSize && windowExists_) {
        s_.fontSheetsDirty = 1;
        reloadFontSheets();
        selectFontSizeItem();
    }
    ui_.setEnabled(ctl::SavePreset, false);
}

void StylePanel::applyLook(const StripsConfig& look) {
    const int oldFontSize = s_.style.fontSize;
    const int y = s_.style.stripsYPos;
    s_.style = look;
    s_.style.stripsYPos = y;
    showStyle();
    if (s_.style.fontSize != oldFontSize) {
        s_.fontSheetsDirty = 1;
        reloadFontSheets();
    }
    selectFontSizeItem();
    if (const Preset* preset = s_.preset(); preset && s_.profile() && !isPresetLook(s_.style, *preset, *s_.profile()))
        markPresetModified();
    else
        resetPresetNames();
}

void StylePanel::selectFontSizeItem() {
    int select = -1;
    for (int i = 0; i < int(s_.view.fontSizes.size()) && select < 0; ++i)
        if (text::toInt(text::field(s_.view.fontSizes[size_t(i)], ' ', 1)) == s_.style.fontSize) select = i;
    if (select >= 0) setControlValue(ctl::FontSizeList, select);
}

// Pushes the working style to the strips box's controls.
void StylePanel::showStyle() {
    StripsConfig& st = s_.style;
    setControlValue(ctl::PresetList, s_.presetIndex);
    setControlValue(ctl::ProfileList, s_.profileIndex);
    draw::fillOpaque(stripsSwatch, st.stripsColor);
    ui_.showImage(ctl::StripsSwatch, stripsSwatch);
    draw::fillOpaque(bgSwatch, st.bgColor);
    ui_.showImage(ctl::BgSwatch, bgSwatch);
    textstyle::show(cx_);
    // The canvas is not shown here: every caller renders the preview next.
    setControlValue(ctl::BorderList, st.borderStyle);
    setControlValue(ctl::BlendSlider, st.blend);
    setControlText(ctl::BlendValue, std::to_string(st.blend));
    setControlValue(ctl::CropSlider, st.cropStrips);
    setControlText(ctl::CropValue, std::to_string(st.cropStrips));
    // A preset made for another font size may lie outside the slider's range:
    // give the slider the range it would have after a font change, so it can
    // show the value and moving it does not jump.
    const int spLo = s_.view.stripsSpacing.min, spHi = s_.view.stripsSpacing.max;
    if (st.stripsSpacing < spLo || st.stripsSpacing > spHi) {
        auto [lo, hi] = stripsSpacingRange(st.stripsSpacing);
        setControlRange(ctl::StripsSpacingSlider, lo, hi);
    }
    setControlValue(ctl::StripsSpacingSlider, st.stripsSpacing);
    setControlText(ctl::StripsSpacingValue, std::to_string(st.stripsSpacing));
    setControlValue(ctl::CenterText, st.centerText ? 1 : 0);
    setControlValue(ctl::DrawNoStrips, st.drawNoStrips ? 1 : 0);
    setControlValue(ctl::StripsToAllText, st.stripsMode == AllText ? 1 : 0);
    setControlValue(ctl::CutStripsToText, st.stripsMode == CutToText && !st.drawNoStrips ? 1 : 0);
    setControlValue(ctl::WordSpacingSlider, st.wordSpacing + 6);
    setControlText(ctl::WordSpacingValue, std::to_string(st.wordSpacing));
    for (int id : {ctl::StripsYSlider, ctl::OverrideYSlider}) {
        setControlRange(id, 0, std::max(0, s_.projectHeight - 2 * renderer_.stripHeight()));
        setControlValue(id, st.stripsYPos);
    }
    setControlText(ctl::StripsYValue, std::to_string(st.stripsYPos));
    setControlText(ctl::OverrideYValue, std::to_string(st.stripsYPos));
}

void StylePanel::applyProfile(bool tellMissingTimes) {
    int oldRounded = roundedFps(s_.fps);
    const int sel = s_.presetIndex;
    if (sel >= 0 && sel < int(s_.presets.size())) {
        s_.style.centerText = s_.presets[size_t(sel)].centerText != 0;
        setControlValue(ctl::CenterText, s_.style.centerText ? 1 : 0);
    }
    checkDesktopFit();
    relayoutWindow();
    applyPreset();
    std::string size = std::to_string(s_.style.fontSize);
    for (int i = 0; i < int(s_.view.fontSizes.size()); ++i)
        if (s_.view.fontSizes[size_t(i)].substr(0, 2) == size.substr(0, 2)) {
            setControlValue(ctl::FontSizeList, i);
            break;
        }
    int newRounded = roundedFps(s_.fps);
    if (oldRounded != newRounded) {
        ui_.messageBox("Warning!", "Current FPS (frames pr second) was set to: " + std::to_string(oldRounded) +
                                       "\nNew requested FPS (frames pr second) has: " + std::to_string(newRounded) +
                                       "\nTimed HH:MM:SS:FF subtitle data will not match, however Frames ON+OFF "
                                       "will be recalculated now. Please consider to re-time everything if needed!");
        if (tellMissingTimes) recalculateOffOn(s_.list, s_.fps, ui_);
        else recalculateOffOn(s_.list, s_.fps);
        listChanged();
    }
    reloadFontSheets();
    refreshPreview();
    s_.acceptedProfileIndex = s_.profileIndex;
    resetPresetNames();
    setControlValue(ctl::PresetList, s_.presetIndex);
    int maxY = std::max(0, s_.projectHeight - 2 * renderer_.stripHeight());
    for (int id : {ctl::StripsYSlider, ctl::OverrideYSlider}) setControlRange(id, 0, maxY);
    setControlText(ctl::StripsYValue, std::to_string(s_.style.stripsYPos));
    setControlText(ctl::OverrideYValue, std::to_string(s_.style.stripsYPos));
    applyFrameRange();
}

// The frame spin fields count 0 .. rounded rate - 1 of the profile in force.
void StylePanel::applyFrameRange() {
    int maxFrame = std::max(0, roundedFps(s_.fps) - 1);
    for (int id : {ctl::OnFrames, ctl::OffFrames}) {
        setControlRange(id, 0, maxFrame);
        // The range keeps the value inside it.
    }
}

void StylePanel::savePreset() {
    const Preset* current = s_.preset();
    std::string suggestion = (current ? text::removeAll(current->name, "*") : std::string()) + " copy";
    for (;;) {
        std::optional<std::string> answer = ui_.inputBox("Save preset", "Name your preset:", suggestion);
        if (!answer) return;
        std::string name = text::trimSpaces(*answer);
        if (name.empty()) return;
        if (name.find('|') != std::string::npos) {
            ui_.messageBox("Denied!", "Sorry, a preset name cannot hold the character |");
            continue;
        }
        auto found = std::find_if(s_.presets.begin(), s_.presets.end(), [&](const Preset& p) { return p.name == name; });
        if (found != s_.presets.end() && found->programDefault == 1) {
            ui_.messageBox("Denied!", "Sorry, overwrite program default preset is not allowed!");
            continue;
        }
        if (found != s_.presets.end() && !ui_.askYesNo("Warning!", "User Preset already exists, replace?")) continue;

        Preset p;
        p.name = name;
        p.stripsColor = s_.style.stripsColor;
        p.stripsMode = s_.style.stripsMode;
        p.borderStyle = s_.style.borderStyle;
        p.blend = s_.style.blend;
        p.drawNoStrips = s_.style.drawNoStrips ? 1 : 0;
        p.bgColor = s_.style.bgColor;
        // The check boxes show the mode: "Strips to All Text" is ticked alone.
        p.stripsToAllText = !s_.style.drawNoStrips && s_.style.stripsMode == AllText ? 1 : 0;
        p.wordSpacing = s_.style.wordSpacing;
        p.stripsSpacing = s_.style.stripsSpacing;
        p.centerText = s_.style.centerText ? 1 : 0;
        p.programDefault = 0;
        p.cropStrips = s_.style.cropStrips;
        if (const Profile* profile = s_.profile(); profile && s_.style.fontSize != profile->fontSize)
            p.fontSize = s_.style.fontSize;
        p.textColor = s_.style.textColor;
        p.fontFamily = s_.style.fontFamily;
        p.crisp = s_.style.crisp ? 1 : 0;

        bool isNew = found == s_.presets.end();
        if (isNew && s_.presets.size() >= kMaxPresets) {
            ui_.messageBox("Denied!", "Sorry, the preset list is full (" + std::to_string(kMaxPresets) +
                                          " presets); replace one of them instead.");
            continue;
        }

        std::string error;
        // Into the user's copy, merged with what other windows saved there
        // meanwhile; the shipped file stays as it is.
        std::string path = settingsWritePath(s_.dataDirs(), s_.settingsFileName);
        std::vector<Preset> updated;
        if (!saveUserPreset(s_.dataDirs(), s_.settingsFileName, p, updated, error)) {
            ui_.messageBox("Error!", "Could not save the preset" + (path.empty() ? "" : " into " + path) + ":\n" +
                                         error);
            return;
        }
        const size_t before = s_.presets.size();
        s_.presets = std::move(updated);
        const auto saved = std::find_if(s_.presets.begin(), s_.presets.end(), [&](const Preset& x) { return x.name == name; });
        const int index = int(saved - s_.presets.begin());
        s_.presetIndex = index;
        if (isNew && s_.presets.size() == before + 1 && index == int(before)) ui_.appendItem(ctl::PresetList, name);
        else fillPresetList();
        setControlValue(ctl::PresetList, index);
        ui_.setEnabled(ctl::SavePreset, false);
        resetPresetNames();
        return;
    }
}
