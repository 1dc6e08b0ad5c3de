#pragma once
#include <array>
#include <string_view>

#include <vector>

#include "base/Draw.h"
#include "base/Image.h"
#include "project/SubtitleSet.h"
#include "render/FontSheet.h"
#include "render/StripsConfig.h"

// The images a subtitle set is drawn for.
enum class RenderTarget {
    Preview,       // the main window's preview (background colour or picture behind)
    AlphaExport,   // transparent picture: PNG sequence, capture
    ColorExport,   // opaque over the background colour: timed movie
    OpaqueExport,  // opaque over black, strips unmixed: IFF pictures
};

// Where one line went.
struct LineLayout {
    bool empty = true;      // no characters at all
    bool blank = true;      // empty after trimming spaces: no strip, no text
    int textWidth = 0;      // sum of (advance + wordSpacing)
    int x0 = 0;             // line origin; the first glyph is at x0 + margin
    int top = 0;            // strip top
    draw::Rect strip;       // the strip's rectangle for the strips mode (full width with no strips)
    bool stripDrawn = false;
};

struct RenderResult {
    std::array<LineLayout, 2> lines;  // line A, line B
    int margin = 0;
    int stripHeight = 0;
    bool compositeMade = false;  // Preview with a background picture: `composite` holds what is shown
    // Rows drawnTop .. drawnEnd - 1 of the image hold every strip and glyph
    // the render drew; the rows outside them hold the background alone (all
    // transparent for AlphaExport). Equal when nothing was drawn.
    int drawnTop = 0, drawnEnd = 0;
};

// The strips Y position of a render: the set's own y, or the slider's when
// the set has none (0).
inline int resolveStripsY(int setY, int sliderPos) { return setY != 0 ? setY : sliderPos; }

// The strips colour mixed over the background colour at `blend`, channel by
// channel: c * a / 255 + b * (255 - a) / 255, each product divided alone.
Rgb mixStripColor(Rgb strips, Rgb background, int blend);

// Measures one line as it will be drawn.
int measureLine(std::string_view text, const FontSheet& font, int wordSpacing);

// Lays out both lines without drawing (geometry only; no state changes).
RenderResult layoutSubtitleSet(const StripsConfig& style, const FontSheet& font, int width, std::string_view lineA,
                               std::string_view lineB);

// The colours a render for `target` draws with: with drawNoStrips the
// background is the preset's (black for OpaqueExport, which always draws
// over black), and mixedColor is the strips colour mixed over that
// background at blend. The style itself is never changed by a render; the
// editor takes these colours over for its preview (swatch, saved preset).
StripsConfig renderColours(RenderTarget target, const StripsConfig& style);

// Draws one subtitle set into `image` (the project size; the caller keeps
// it) with the colours of renderColours(target, style). Line A's strip top is
// style.stripsYPos; line B's is that plus stripsSpacing.
//
// Preview with `background` (already prepared for the project size): the
// image gets the picture, opaque strips and text; `composite` (when given)
// gets what the preview shows: the picture, strips at blend opacity, text.
RenderResult renderSubtitleSet(RenderTarget target, const StripsConfig& style, const FontSheet& font, Image& image,
                               std::string_view lineA, std::string_view lineB, const Image* background = nullptr,
                               Image* composite = nullptr);

// Set k of a project as every picture of it is drawn: its two lines at its
// own strips Y, or at style.stripsYPos when it has none. A k outside `sets`
// draws the empty picture (no lines) at style.stripsYPos.
RenderResult renderSet(const std::vector<SubtitleSet>& sets, int k, const StripsConfig& style, RenderTarget target,
                       const FontSheet& font, Image& image, const Image* background = nullptr,
                       Image* composite = nullptr);

// renderSet for AlphaExport into an image that is fully transparent already
// (an export that clears the rows of the set before): the same picture,
// without clearing the whole image first.
RenderResult renderSetOnTransparent(const std::vector<SubtitleSet>& sets, int k, const StripsConfig& style,
                                    const FontSheet& font, Image& image);

// After a line field was emptied: fills that line's full-width band with
// bgColor, or redraws the whole background picture when one is loaded.
void clearLineStrip(Image& preview, const StripsConfig& style, int stripHeight, bool lineAEmpty, bool lineBEmpty,
                    const Image* background = nullptr);
