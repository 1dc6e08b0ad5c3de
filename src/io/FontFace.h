#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The installed fonts (fontconfig) and one font face at a pixel size
// (FreeType, HarfBuzz shaping, FriBidi ordering). Everything of those
// libraries stays behind this header.
namespace fontlist {

// The families of the installed scalable fonts, sorted, each once.
std::vector<std::string> families();

// The font file of a family. `name` is a family ("DejaVu Sans"), optionally
// with fontconfig's style words ("DejaVu Sans:bold"). False, with `error`
// saying so, when no installed font has that family.
bool findFamily(const std::string& name, std::string& file, int& faceIndex, std::string& error);

}  // namespace fontlist

class FontFace {
public:
    // Opens face `faceIndex` of a font file at `pixelSize` (the em height).
    // Nullptr with `error` when the file cannot be read or is no font.
    static std::shared_ptr<FontFace> open(const std::string& file, int faceIndex, int pixelSize, std::string& error);
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    // One glyph of a shaped line, in visual order from the left. Advances
    // and offsets are whole pixels; dy is up.
    struct Shaped {
        uint32_t glyph = 0;  // 0: the font's missing-glyph box
        int advance = 0;
        int dx = 0, dy = 0;
        char32_t ch = 0;       // the first character of the glyph's cluster
        bool lastOfCluster = true;
    };
    // Shapes a UTF-8 line: FriBidi finds the runs and their direction, each
    // run is shaped by HarfBuzz (joining, marks, kerning, ligatures) and the
    // runs are put in visual order. Safe to call from several threads.
    std::vector<Shaped> shapeLine(std::string_view utf8) const;

    // The coverage of one glyph: `width` x `height` values 0..255, the
    // bitmap's left edge relative to the pen and its top above the
    // baseline. Crisp glyphs are drawn without anti-aliasing (0 or 255).
    struct Coverage {
        int left = 0, top = 0, width = 0, height = 0;
        std::vector<uint8_t> a;
    };
    Coverage render(uint32_t glyph, bool crisp) const;

    // The glyph of a character (0 when the font has none).
    uint32_t glyphOf(char32_t ch) const;
    // Ink rows of a character's glyph: top above the baseline and bottom
    // (negative below it). False when it has no ink.
    bool inkExtent(char32_t ch, int& top, int& bottom) const;

    const std::string& file() const;
    int faceIndex() const;
    int pixelSize() const;
    // True when the face is an italic or oblique one.
    bool italic() const;
    std::string familyName() const;
    // What makes the glyphs of this face: file, its size and change time,
    // face index and pixel size (part of a cache key).
    std::string identity() const;

private:
    FontFace();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A UTF-8 line in display order for places that draw one character after
// another (the subtitle list): right-to-left runs reversed and mirrored,
// Arabic letters as their joined presentation forms (FriBidi).
std::u32string visualLine(std::string_view utf8);
