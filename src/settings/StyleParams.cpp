#include "settings/StyleParams.h"

#include <algorithm>

int PresetParam::normalised(int v) const {
    switch (kind) {
        case ParamKind::Number: return std::clamp(v, min, max);
        case ParamKind::Choice: return v >= min && v <= max ? v : min;
        case ParamKind::Flag:
        case ParamKind::Colour: break;
    }
    return v;
}

const std::vector<PresetParam>& presetParams() {
    using K = ParamKind;
    static const std::vector<PresetParam> table = {
        {"strips R,G,B", 2, K::Colour, 0, 255, 0, nullptr, &Preset::stripsColor, "", "colour of the strips"},
        {"mode", 3, K::Choice, 0, 2, 1, &Preset::stripsMode, nullptr, "--mode",
         "strip shape: 0 full width, 1 cut to text, 2 all text"},
        {"border", 4, K::Number, 0, 3, 0, &Preset::borderStyle, nullptr, "--border",
         "border of the letters: 0 none, 1 black 1 px, 2 grey 1 px, 3 grey right/shadow 2 px"},
        {"blend", 5, K::Number, 0, 255, 255, &Preset::blend, nullptr, "--blend",
         "opacity of the strips, 0 invisible to 255 opaque"},
        {"draw no strips", 6, K::Flag, 0, 1, 0, &Preset::drawNoStrips, nullptr, "", "text without strips"},
        {"background R,G,B", 7, K::Colour, 0, 255, 0, nullptr, &Preset::bgColor, "",
         "background colour of the preview and of the opaque pictures"},
        {"strips to all text", 8, K::Flag, 0, 1, 0, &Preset::stripsToAllText, nullptr, "",
         "the strips cover both lines' text"},
        {"word spacing", 9, K::Number, -6, 6, -3, &Preset::wordSpacing, nullptr, "--word-spacing",
         "extra pixels after every character"},
        {"strips spacing", 10, K::Number, 0, 1000, 0, &Preset::stripsSpacing, nullptr, "--strips-spacing",
         "pixels from the line A strip to the line B strip"},
        {"center text", 11, K::Flag, 0, 1, 0, &Preset::centerText, nullptr, "", "text centred on the picture"},
        {"program default", 12, K::Flag, 0, 1, 0, &Preset::programDefault, nullptr, "",
         "a preset of the program, never overwritten"},
        {"crop strips", 13, K::Number, 0, 100, 0, &Preset::cropStrips, nullptr, "--crop",
         "pixels taken off the strips' ends"},
    };
    return table;
}

const PresetParam& presetParam(int Preset::*field) {
    for (const PresetParam& p : presetParams())
        if (p.number == field) return p;
    return presetParams().front();  // not reached: every number field is in the table
}

const PresetParam* presetParamOfOption(const std::string& option) {
    for (const PresetParam& p : presetParams())
        if (!option.empty() && option == p.option) return &p;
    return nullptr;
}
