#pragma once
#include <vector>

#include "base/Draw.h"
#include "render/FontSheet.h"
#include "base/Image.h"

namespace testsheet {

inline void putValue(Image& img, int x, int y, int v) {
    uint8_t* p = img.pixel(x, y);
    p[0] = uint8_t(v & 255);
    p[1] = uint8_t((v >> 8) & 255);
    p[2] = uint8_t((v >> 16) & 255);
    p[3] = 255;
}

// A font sheet picture: glyph n (code 32 + n) is a solid block of
// widths[n] x cellHeight in `colour`, placed left to right in one row.
// The table is followed by a zero triple when the row has room.
inline Image makeSheet(const std::vector<int>& widths, int cellHeight, draw::Rgba colour = {255, 255, 255, 255},
                       int sheetWidth = 0) {
    int x = 1;
    for (int w : widths) x += w + 1;
    int sw = sheetWidth ? sheetWidth : std::max(x, int(widths.size()) * 3 + 3);
    Image sheet(sw, cellHeight + 3);
    x = 1;
    for (size_t n = 0; n < widths.size(); ++n) {
        draw::fillRaw(sheet, draw::Rect{x, 0, widths[n], cellHeight}, colour);
        putValue(sheet, int(n) * 3, sheet.height() - 1, x);
        putValue(sheet, int(n) * 3 + 1, sheet.height() - 1, 0);
        putValue(sheet, int(n) * 3 + 2, sheet.height() - 1, widths[n]);
        x += widths[n] + 1;
    }
    putValue(sheet, 0, sheet.height() - 2, cellHeight - 1);
    return sheet;
}

// A FontSheet whose four styles all hold the same blocks.
inline FontSheet makeFont(const std::vector<int>& widths, int cellHeight, draw::Rgba colour = {255, 255, 255, 255}) {
    FontSheet f;
    Image sheet = makeSheet(widths, cellHeight, colour);
    for (int s = 0; s < FontSheet::kStyles; ++s) f.loadStyle(s, sheet);
    f.stripHeight = f.cellHeight - 2;
    return f;
}

}  // namespace testsheet
