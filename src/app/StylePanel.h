#pragma once
#include <functional>
#include <string>
#include <vector>

#include "app/EditorPart.h"

// The strips box and the window's size: presets, profiles, font sizes, the
// style sliders and check boxes, the colours and the background picture.
class StylePanel : private EditorPart {
public:
    explicit StylePanel(EditorContext& context);

    // Handles the events of the style controls; false for every other control.
    bool handle(const Event& e);
    // After the window adapter has built every control: takes the anchors of
    // the two groups that move with the window's size.
    void anchorControls();
    // The line editor's reload of the selected set, after a change that
    // moves or redraws it.
    std::function<void()> loadSetIntoFields;

    void markPresetModified();
    void applyPreset();
    // Takes a project's own look (from its look file) as the working style,
    // keeping the strips Y; the preset shows "*" where the look differs.
    void applyLook(const StripsConfig& look);
    // `tellMissingTimes`: whether a recalculation of the frame counts tells
    // the user about untimed sets (a load tells once itself).
    void applyProfile(bool tellMissingTimes = true);
    void applyFrameRange();
    void checkDesktopFit();
    void relayoutWindow();
    void savePreset();
    void fillProfileList();
    void fillFontSizeList();
    void fillPresetList();
    void resetPresetNames();
    void onBgImageToggle();
    void onColour(int id);

private:
    void showStyle();
    void selectFontSizeItem();
    void onStripsYSlider();
    void onModeCheckBox(int id, bool checked);
    void onPresetList(const Event& e);
    void onFontSizeList(const Event& e);
    void onProfileList(const Event& e);
    void offerToScaleY(int oldHeight, int newHeight);
    void loadSetIntoFields_() {
        if (loadSetIntoFields) loadSetIntoFields();
    }

    PreviewRenderer& renderer_;

    bool windowExists_ = false;
    bool firstLayout_ = true;
    struct LayoutAnchor {
        int id, start, extent;
    };
    std::vector<LayoutAnchor> rightColumnAnchors_, lowerBlockAnchors_;
};
