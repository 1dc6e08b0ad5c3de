#pragma once
// Every field of a preset declared once: its name, place in the preset line,
// kind, range, the value of a new style, the kalvero-cli option that
// overrides it and its help text. The settings reader, the project look,
// the renderer's preset style and kalvero-cli read their ranges here.
#include <string>
#include <vector>

#include "settings/Settings.h"

enum class ParamKind {
    Number,  // a whole number in min..max; read values outside are brought into it
    Choice,  // one of min..max; a read value outside is min
    Flag,    // 0 or 1 (kept as written: the renderer reads what it reads)
    Colour,  // red, green, blue, each 0..255
};

struct PresetParam {
    const char* name;  // as the settings file's preset comment names it
    int column;        // field of the preset line (1 is the preset's name)
    ParamKind kind;
    int min = 0, max = 0;
    int initial = 0;                // the value of a new style (the window at start-up)
    int Preset::*number = nullptr;  // Number, Choice, Flag
    Rgb Preset::*colour = nullptr;  // Colour
    const char* option = "";        // kalvero-cli render's option ("" when none)
    const char* help = "";

    // `v` as a read value of this field is taken.
    int normalised(int v) const;
};

// In the order of the preset line's fields.
const std::vector<PresetParam>& presetParams();
// The parameter of a number field of Preset.
const PresetParam& presetParam(int Preset::*field);
// A kalvero-cli option's parameter; nullptr when no parameter has it.
const PresetParam* presetParamOfOption(const std::string& option);

// The font size of a profile, a project look and kalvero-cli render's
// --font-size: pixels, 1..99 (0 in a file: the profile's own).
constexpr int kMinFontSize = 1, kMaxFontSize = 99;
