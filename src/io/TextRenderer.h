#pragma once
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "base/Image.h"
#include "base/Rgb.h"

// A font as the screens ask for it: a face name, the em height in pixels
// and the weight. Face names of common system fonts map onto the Liberation
// families ("Arial", "Tahoma" and anything unknown -> Liberation Sans,
// "Times New Roman" -> Liberation Serif, "Courier New" -> Liberation Mono).
struct TextFont {
    std::string face = "Arial";
    int pixelHeight = 12;
    bool bold = false;
    bool antialias = true;
};

// Draws single-line Windows-1252 text into images with FreeType. Faces are
// loaded on first use and kept.
class TextRenderer {
public:
    // fontDir: folder of the Liberation font files; empty = the system
    // folder the build knows of.
    explicit TextRenderer(std::string fontDir = {});
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    // False with a message when FreeType could not start or a font file is
    // missing or unreadable.
    bool available(const TextFont& font, std::string& error);

    // Width in pixels of the text (sum of the glyph advances), 0 when the
    // font cannot be loaded.
    int measureText(std::string_view text, const TextFont& font);
    // The same without hinting, in fractions of a pixel: the advances of
    // the font's design at the size.
    double designWidth(std::string_view text, const TextFont& font);
    // Height of one line of the font (ascent + descent), 0 when unavailable.
    int lineHeight(const TextFont& font);

    // Draws the text with the top of its line box at y and its pen starting
    // at x, blending the glyph coverage over the image. With a background
    // colour the line box (text width x line height) is filled first, as an
    // opaque text background. Pixels outside the image are skipped.
    // Returns false when the font cannot be loaded.
    bool drawText(Image& image, int x, int y, std::string_view text, const TextFont& font, Rgb colour,
                  const Rgb* background = nullptr);

    // The font file a face maps onto.
    static std::string fontFileName(const std::string& face, bool bold);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
