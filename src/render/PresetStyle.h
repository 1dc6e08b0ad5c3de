#pragma once
#include "render/StripsConfig.h"
#include "settings/Settings.h"

// The working style a preset gives under a profile: every style field from
// the preset (a preset with "draw no strips" is full width without strips;
// one with "strips to all text" is AllText with strips), the font size and
// strips Y position from the profile. Values outside their ranges are brought
// into them (blend 0-255, border style 0-3, unknown strips modes full width).
StripsConfig styleFromPreset(const Preset& preset, const Profile& profile);
