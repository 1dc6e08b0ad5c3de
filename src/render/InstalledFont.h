#pragma once
#include <string>
#include <vector>

#include "render/FontSheet.h"
#include "render/StripsConfig.h"

// The font the shipped sheets are drawn from.
inline constexpr const char* kShippedSheetFont = "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf";

// Caption glyphs from an installed font instead of the shipped sheets.
struct FontChoice {
    std::string family;  // empty: the shipped sheets; may carry fontconfig style words ("DejaVu Sans:bold")
    bool crisp = false;  // no anti-aliasing: every pixel is text, border or nothing
};

struct InstalledFontResult {
    bool ok = false;
    std::string error;      // why the font cannot be used (the shipped sheets stay)
    std::u32string missing; // characters the font has no glyph for (drawn as its missing-glyph box)
    size_t glyphs = 0;      // glyphs made
    bool fromCache = false; // the glyphs came from the glyph cache
    std::string cacheFile;  // the cache file of this font, size and glyph set (empty: no cache folder)
    std::string cacheNote;  // why the glyphs could not be kept for the next run; empty when they were
};

// The folder of the glyph cache: $KALVERO_GLYPH_CACHE (empty: no cache),
// else $XDG_CACHE_HOME/kalvero/, else ~/.cache/kalvero/.
std::string glyphCacheFolder();

// Makes the glyphs of `texts` from the font family at the font size (the
// cell height of the shipped sheets of that size) in the four border styles
// and lets `font` draw with them. On failure `font` keeps what it had. The
// glyphs are kept in the glyph cache, keyed by font file (with its size and
// time), face, pixel size, crisp or smooth and the characters used, and
// taken from there on the next run; a cache file that is damaged or made
// for another key is made again.
InstalledFontResult useInstalledFont(FontSheet& font, const FontChoice& choice, int fontSize,
                                     const std::vector<std::string>& texts);

// The same from a font file (face 0), for fonts that are not installed.
InstalledFontResult useFontFile(FontSheet& font, const std::string& file, bool crisp, int fontSize,
                                const std::vector<std::string>& texts);

// Brings `font` in line with the style's font choice: the shipped sheets
// when it names no family and is not crisp, else glyphs made from the
// family (the shipped sheets' font for crisp alone) for `texts`; further
// glyphs are made as lines need them. Nothing is made again while the
// family, size and crispness stay. On failure the shipped sheets are used
// and the result says why.
InstalledFontResult syncFontChoice(FontSheet& font, const StripsConfig& style, const std::vector<std::string>& texts);

// "the font has no glyph for "Ł" (U+0141), ..." for a message; empty when none.
std::string describeMissing(const std::u32string& missing);
