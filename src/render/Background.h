#pragma once
#include <vector>

#include "render/Compositor.h"
#include "base/Image.h"
#include "render/StripsConfig.h"

struct Size {
    int w = 0, h = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// The size a background picture of iw x ih is scaled to for a W x H preview.
// It fills a box of W x H (H x W when the picture and the project differ in
// orientation): stretched when the aspect ratios agree to one decimal,
// otherwise fitted to the box height, or to its width when that is too wide.
Size backgroundTargetSize(int iw, int ih, int W, int H);

// The decoded picture scaled by that rule and cut to the preview (what lies
// beyond W or H is dropped); drawn at (0, 0) behind every preview render.
Image prepareBackground(const Image& decoded, int W, int H);

// The timing window shows the project at 1 / kTimingScale.
constexpr double kTimingScale = 1.5;
int timingScaled(int v);               // v / 1.5 rounded to the nearest integer
Size timingPreviewSize(int W, int H);  // the window's preview area

// One strip of the set that is ON, scaled down for the timing window.
struct OverlayPiece {
    Image image;
    int x = 0, y = 0;       // in the preview area
    bool keyed = false;     // drawn with its alpha (black made transparent)
};

// Cuts the strip rectangles of a rendered set out of the preview image and
// scales them for the timing window. Lines that are empty get no piece (a
// line of spaces does). With drawNoStrips, black pixels become transparent.
std::vector<OverlayPiece> makeSetOverlay(const Image& preview, const RenderResult& rendered,
                                         const StripsConfig& style);

// Draws the pieces into the timing window's preview area; without a movie
// the area is filled with bgColor first.
void drawSetOverlay(Image& area, const std::vector<OverlayPiece>& pieces, Rgb bgColor, bool moviePlaying);
