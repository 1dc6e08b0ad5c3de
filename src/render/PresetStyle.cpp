#include "render/PresetStyle.h"

#include <algorithm>

#include "settings/StyleParams.h"

StripsConfig styleFromPreset(const Preset& p, const Profile& r) {
    StripsConfig s;
    s.fontSize = r.fontSize;
    s.stripsColor = p.stripsColor;
    s.mixedColor = p.stripsColor;
    s.bgColor = p.bgColor;
    s.presetBgColor = p.bgColor;
    // A preset made in the program (not read from a file) is brought into
    // the ranges here as well.
    s.stripsMode = presetParam(&Preset::stripsMode).normalised(p.stripsMode);
    s.borderStyle = presetParam(&Preset::borderStyle).normalised(p.borderStyle);
    s.blend = presetParam(&Preset::blend).normalised(p.blend);
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
    return s;
}
