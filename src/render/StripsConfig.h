#pragma once
#include <string>

#include "base/Rgb.h"

enum StripsMode : int { FullWidth = 0, CutToText = 1, AllText = 2 };

// The working strips style: what a preset stores, plus the font size and the
// strips Y position that come from the profile.
struct StripsConfig {
    Rgb stripsColor{128, 128, 128};
    Rgb mixedColor{128, 128, 128};  // strips colour mixed over bgColor at blend (opaque targets)
    Rgb bgColor{0, 0, 0};
    Rgb presetBgColor{0, 0, 0};     // the applied preset's background colour
    int borderStyle = 0;            // 0 None, 1 Black 1 px, 2 Gray 1 px, 3 Gray Right/Shadow 2 px
    int blend = 255;
    int wordSpacing = -3;
    int stripsSpacing = 0;
    int cropStrips = 0;
    int stripsMode = CutToText;
    bool drawNoStrips = false;
    bool centerText = false;
    int fontSize = 0;
    int stripsYPos = 0;
    Rgb textColor{255, 255, 255};  // the colour of the glyphs' text pixels (borders keep theirs)
    std::string fontFamily;        // empty: the shipped font sheets; else an installed family
    bool crisp = false;            // glyphs of fontFamily without anti-aliasing
};
