#include "render/PresetStyle.h"

#include <algorithm>

StripsConfig styleFromPreset(const Preset& p, const Profile& r) {
    StripsConfig s;
    s.fontSize = r.fontSize;
    s.stripsColor = p.stripsColor;
    s.mixedColor = p.stripsColor;
    s.bgColor = p.bgColor;
    s.presetBgColor = p.bgColor;
    s.stripsMode = (p.stripsMode >= FullWidth && p.stripsMode <= AllText) ? p.stripsMode : int(FullWidth);
    s.borderStyle = std::clamp(p.borderStyle, 0, 3);
    s.blend = std::clamp(p.blend, 0, 255);
    s.cropStrips = p.cropStrips;
    s.stripsSpacing = p.stripsSpacing;
    s.centerText = p.centerText != 0;
    s.drawNoStrips = p.drawNoStrips == 1;
    if (s.drawNoStrips) s.stripsMode = FullWidth;
    if (p.stripsToAllText == 1) {
        s.stripsMode = AllText;
        s.drawNoStrips = false;
    }
    s.wordSpacing = p.wordSpacing;
    s.stripsYPos = r.stripsYPos;
    s.textColor = p.textColor;
    s.fontFamily = p.fontFamily;
    s.crisp = p.crisp == 1;
    return s;
}
