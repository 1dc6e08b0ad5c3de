#pragma once
#include <vector>

#include "base/Image.h"

#include "project/Proofing.h"
#include "project/SubtitleSet.h"
#include "render/FontSheet.h"
#include "render/StripsConfig.h"

// The checks that need the font sheet, in set order: "width", a line drawn
// wider than the safe area (`safePercent` of the picture width, measured
// with the sheet's advance widths and the style's word spacing), and
// "glyph", characters the sheet has no glyph for (a set's once each).
std::vector<CheckFinding> checkLayout(const std::vector<SubtitleSet>& sets, const StripsConfig& style,
                                      const FontSheet& font, int pictureWidth, int safePercent);

// The characters each set uses that the glyphs lack, a set's once each, as
// ""Ж" (U+0416), ..." per set in set order; sets that lack none are left out.
std::vector<std::pair<int, std::string>> missingGlyphsBySet(const std::vector<SubtitleSet>& sets, const FontSheet& font);

// What missingGlyphsBySet finds, one line per set ("set 3: the font sheets
// have no glyph for ..."), at most `maxSets` of them and a count of the
// rest. Empty when nothing is missing.
std::string describeMissingGlyphs(const std::vector<SubtitleSet>& sets, const FontSheet& font, size_t maxSets = 10);

// The width in pixels a line is drawn with: from the left of its first
// glyph to the right of its last.
int drawnLineWidth(const std::string& line, const FontSheet& font, int wordSpacing);

// The safe areas over a picture: the action safe area (`actionPercent` of
// its width and height, centred) as a dashed green frame, the title safe
// area (`titlePercent`) as a dashed yellow one, each one pixel wide.
void drawSafeAreas(Image& picture, int actionPercent = 93, int titlePercent = 90);
