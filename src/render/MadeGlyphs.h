#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/Image.h"
#include "render/PlacedGlyph.h"

class FontFace;

// One border style of a glyph drawn from its coverage mask (w x h values
// 0..255), as the shipped sheets draw them: white text over a black or grey
// 1 px outline, or over a grey shadow 2 px right and down. Crisp glyphs get
// a solid outline, so every pixel is text, border or nothing.
Image borderedGlyph(const std::vector<uint8_t>& mask, int w, int h, int style, bool crisp);

// Caption glyphs made from a font: the glyphs a set of texts needs, keyed
// by the font's glyph ids, each drawn into a cell of the shipped sheets'
// height and turned into the four border styles of the shipped sheets when
// first drawn. Lines are shaped and ordered by the font face (joining,
// right-to-left runs, marks, kerning) and drawn from these pictures only.
class MadeGlyphs {
public:
    static constexpr int kStyles = 4;
    static constexpr int kPad = 1;  // left and right pad of every glyph, as in the shipped sheets

    MadeGlyphs(std::shared_ptr<FontFace> face, int cellHeight, int baseline, bool crisp);

    // Makes the glyphs of every text not made yet. Returns the characters
    // the font has no glyph for (each once, in order of first use).
    std::u32string addTexts(const std::vector<std::string>& texts);

    // A line shaped into glyphs; a glyph not made yet (a text that was not
    // given to addTexts) is made here.
    std::vector<PlacedGlyph> layout(std::string_view utf8) const;
    const Image* image(uint32_t key, int style) const;
    // Makes the pictures of every border style of every glyph now rather
    // than when first drawn.
    void makeAllStyles() const;
    int cellHeight() const { return cellHeight_; }
    int baseline() const { return baseline_; }
    bool crisp() const { return crisp_; }
    size_t glyphCount() const;
    const FontFace& face() const { return *face_; }

    // The glyphs of the font's italic face, which draw the italic text of
    // lines (nullptr: the font has none, italic text is slanted).
    void setItalicFace(std::shared_ptr<const MadeGlyphs> italic) { italic_ = std::move(italic); }
    const MadeGlyphs* italicFace() const { return italic_.get(); }

    // The glyph set as bytes of a cache file, and back. fromBytes is false,
    // with nothing taken, when the bytes are not a whole, unchanged cache
    // file made for `key`.
    std::string toBytes(const std::string& key) const;
    bool fromBytes(std::string_view bytes, const std::string& key);

private:
    struct Glyph {
        int originX = 0;  // x = 0 of the mask lies originX pixels left of the pen plus pad
        int width = 0;
        std::vector<uint8_t> mask;  // width x cellHeight coverage
        std::array<Image, kStyles> styles;
        std::array<bool, kStyles> made{};
    };
    Glyph& make(uint32_t glyph) const;  // with mutex_ held

    std::shared_ptr<FontFace> face_;
    std::shared_ptr<const MadeGlyphs> italic_;
    int cellHeight_ = 0, baseline_ = 0;
    bool crisp_ = false;
    mutable std::mutex mutex_;
    mutable std::unordered_map<uint32_t, Glyph> glyphs_;
};
