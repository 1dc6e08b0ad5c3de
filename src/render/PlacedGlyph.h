#pragma once
#include <cstdint>

// One glyph of a laid-out line, in drawing order from the left. `key` names
// the glyph for FontSheet::glyphImage: a Windows-1252 byte for the shipped
// sheets, a glyph of the font for glyphs made from a font. `ch` is the first
// character the glyph stands for; dx, dy move the picture off the pen (marks
// over their letters, positive dy is up).
struct PlacedGlyph {
    static constexpr uint32_t kNoGlyph = 0xFFFFFFFF;
    uint32_t key = kNoGlyph;
    int advance = 0;
    int dx = 0, dy = 0;
    char32_t ch = 0;
    bool spaced = true;    // takes the word spacing after it (not a mark within a character)
    bool missing = false;  // the font has no glyph for ch (made glyphs draw its missing-glyph box)
    bool slanted = false;  // italic text without an italic face: drawn sheared
};
