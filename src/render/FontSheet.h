#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Image.h"
#include "base/Notice.h"
#include "render/PlacedGlyph.h"

class MadeGlyphs;


// The glyphs of one font size in the four border styles, cut out of the
// font sheet pictures in includes/.
//
// Sheet picture: the bottom row holds the glyph table as pixel triples
// (left, top, width), each pixel read as red + 256 green + 65536 blue; triple
// n is character code 32 + n; the table ends at the first all-zero triple or
// when fewer than three pixels remain. Pixel (0, height - 2) holds the glyph
// cell height minus 1.
class FontSheet {
public:
    static constexpr int kStyles = 4;
    static constexpr int kFirstCode = 32;

    struct Entry {
        int32_t left = 0, top = 0, width = 0;
        friend bool operator==(const Entry&, const Entry&) = default;
    };

    // What one sheet picture holds.
    struct Table {
        std::vector<Entry> entries;
        int cellHeight = 0;
    };

    // Reads the table and the height pixel. False when the picture is too
    // small to hold them (fewer than two rows).
    static bool readTable(const Image& sheet, Table& out);

    // Replaces the glyphs of `style` with those cut out of `sheet`, and takes
    // its cell height. Entries whose rectangle does not lie inside the sheet
    // (or have no width) get no glyph. False, with nothing changed, when the
    // picture cannot hold a table, when a glyph is more than four cells wide,
    // or when the glyphs together would cover the sheet more than twice.
    bool loadStyle(int style, const Image& sheet);
    // The same for a shared decoded picture; when the style's glyphs were
    // last cut out of this very picture, only its cell height is taken again.
    bool loadStyle(int style, const std::shared_ptr<const Image>& sheet);

    // The glyph of a character code in a border style, or nullptr.
    const Image* glyph(uint8_t code, int style) const {
        if (style < 0 || style >= kStyles || code < kFirstCode) return nullptr;
        const auto& g = glyphs_[size_t(style)];
        size_t n = size_t(code - kFirstCode);
        return n < g.size() && !g[n].empty() ? &g[n] : nullptr;
    }
    // The advance width: the width of the style-0 glyph, 0 when it has none.
    int advance(uint8_t code) const { return advance_[code]; }

    using Placed = PlacedGlyph;
    static constexpr uint32_t kNoGlyph = PlacedGlyph::kNoGlyph;
    // The key of the missing-glyph box of the shipped sheets.
    static constexpr uint32_t kBoxKey = 256;
    // A UTF-8 line as glyphs. With the shipped sheets every character is one
    // glyph; a character Windows-1252 lacks, or the sheet lacks, is the
    // missing-glyph box (a hollow rectangle as wide as a typical glyph, in
    // the border styles of the sheets; none while no plain sheet is
    // loaded). With made glyphs the font shapes and orders the line.
    std::vector<Placed> layoutText(std::string_view utf8) const;
    const Image* glyphImage(uint32_t key, int style) const;
    // Keys of glyphs of the made glyphs' italic face carry this bit.
    static constexpr uint32_t kItalicFaceBit = 0x40000000;
    // The row of the cell the baseline lies on: slanted glyphs lean about it.
    int baselineRow() const;
    // How far slanted text leans: pixels right per pixel up (about 12 degrees).
    static constexpr double kSlant = 0.2126;

    // Glyphs made from a font for the text a project uses; while set they
    // replace the shipped glyphs (the cell height becomes theirs).
    void useMadeGlyphs(std::shared_ptr<const MadeGlyphs> made);
    const std::shared_ptr<const MadeGlyphs>& madeGlyphs() const { return made_; }
    // What the made glyphs were made for (font, size, crisp), told by their maker.
    std::string madeFor;

    const std::vector<Entry>& entries(int style) const { return entries_[size_t(style)]; }
    int glyphCount(int style) const;  // entries that have a glyph image

    int cellHeight = 0;   // from the last sheet that loaded
    int stripHeight = 0;  // cellHeight - 2, set by loadFontSheets
    // The font size whose plain sheet (style 0) the last loadFontSheets
    // loaded; 0 when it could not. Glyphs kept from an earlier size do not
    // count: pictures drawn with them would not have the size asked for.
    int loadedSize = 0;

    // True when the plain glyphs of `size` are loaded.
    bool hasGlyphsFor(int size) const { return loadedSize == size && size > 0 && glyphCount(0) > 0; }

private:
    std::shared_ptr<const MadeGlyphs> made_;
    int shippedCellHeight_ = 0;  // the shipped sheets' cell height while made glyphs are used
    std::array<std::vector<Entry>, kStyles> entries_;
    std::array<std::vector<Image>, kStyles> glyphs_;  // index: code - 32
    std::array<int, 256> advance_{};
    std::array<Image, kStyles> box_;  // the missing-glyph box in each style
    void makeBoxes();
    int baseline_ = 0;  // of the shipped sheets: below the ink of "H"
    std::vector<Placed> layoutRun(std::string_view utf8, bool italic) const;
    // The shared picture each style's glyphs were cut from (empty after a
    // load from a plain picture), and its cell height.
    std::array<std::shared_ptr<const Image>, kStyles> source_;
    std::array<int, kStyles> sourceCellHeight_{};
    // The glyphs a style had before its last cut from another shared
    // picture: going back to that picture (a profile changed back and forth)
    // takes them again instead of cutting them anew.
    struct Cut {
        std::shared_ptr<const Image> source;
        std::vector<Entry> entries;
        std::vector<Image> glyphs;
        int cellHeight = 0;
    };
    std::array<Cut, kStyles> previous_;
    void takeAdvances();
};

// "_0000.png", "_0500.png", "_1000.png", "_1500.png".
const char* fontSheetSuffix(int style);
// "includes/FontBitmap_" + size + suffix.
std::string fontSheetRelativePath(int size, int style);
// "16, 20, 24": the font sizes with a sheet in the includes/ of `folders`.
std::string availableFontSizes(const std::vector<std::string>& folders);

// Loads the four sheets of a size from programDir + "includes/" in style
// order. A sheet that cannot be read is told through `notice` ("Error#10") and its style keeps the
// glyphs it had. Afterwards stripHeight = cellHeight - 2 (when no sheet has
// ever loaded, the cell height the shipped sheets use for that size).
//
// Returns true when the strips spacing slider must be re-ranged: the fourth
// sheet loaded while `fontSheetsDirty` was set (which is then cleared).
bool loadFontSheets(FontSheet& sheet, const std::string& programDir, int size, const Notice& notice,
                    int& fontSheetsDirty);
// The same over several data folders: each sheet is taken from the first
// folder whose includes/ holds it.
bool loadFontSheets(FontSheet& sheet, const std::vector<std::string>& folders, int size, const Notice& notice,
                    int& fontSheetsDirty);

// The cell height the bundled sheets use for a font size.
int defaultCellHeight(int size);

// The slider range for the strips spacing after a font change: s / 1.42 to
// s * 1.42, each rounded to the nearest integer.
std::pair<int, int> stripsSpacingRange(int stripsSpacing);

// The items of the font size list from the file names of includes/, in the
// order given: for each "*.png" name, the text between the first and second
// "_" up to the first "." followed by " px", unless the last item already is
// that text.
std::vector<std::string> fontSizeItems(const std::vector<std::string>& fileNames);
// Font size of a list item: the integer value of its first two characters.
int fontSizeOfItem(const std::string& item);
