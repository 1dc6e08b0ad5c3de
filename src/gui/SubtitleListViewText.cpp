// The list's text: each character drawn once by the toolkit and kept as
// coverage, then laid out and blended into the rows.
#include "gui/SubtitleListView.h"

#include <algorithm>
#include <wx/dcmemory.h>

#include "gui/WxText.h"
#include "io/FontFace.h"

void SubtitleListView::blend(unsigned char* p, const wxColour& c, int coverage) {
    p[0] = static_cast<unsigned char>(p[0] + (c.Red() - p[0]) * coverage / 255);
    p[1] = static_cast<unsigned char>(p[1] + (c.Green() - p[1]) * coverage / 255);
    p[2] = static_cast<unsigned char>(p[2] + (c.Blue() - p[2]) * coverage / 255);
}

// A character's picture: drawn once by the toolkit, black on white, and kept
// as coverage. Its advance is measured over a run of it, in 1/64 pixel, so
// the pen adds up as a laid-out line would.
const SubtitleListView::Glyph& SubtitleListView::glyph(char32_t c) {
    Glyph& g = glyphs_[c];
    if (g.made) return g;
    g.made = true;
    if (c < 32 || c == 127) return g;
    const wxString s = wxString::FromUTF8(utf8::encode(c));
    if (s.empty()) return g;
    constexpr int kRun = 16;
    int runWidth = 0;
    wxString run;
    for (int k = 0; k < kRun; ++k) run += s;
    GetTextExtent(run, &runWidth, nullptr);
    g.advance = runWidth * 64 / kRun;
    const int pad = charHeight_ / 2 + 2;
    const int boxW = runWidth / kRun + 2 * pad, boxH = charHeight_;
    wxBitmap bmp(boxW, boxH, 24);
    {
        wxMemoryDC dc(bmp);
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        dc.SetFont(GetFont());
        dc.SetTextForeground(*wxBLACK);
        dc.DrawText(s, pad, 0);
    }
    const wxImage img = bmp.ConvertToImage();
    const unsigned char* d = img.GetData();
    int x0 = boxW, x1 = -1, y0 = boxH, y1 = -1;
    for (int y = 0; y < boxH; ++y)
        for (int x = 0; x < boxW; ++x) {
            const unsigned char* p = d + (size_t(y) * size_t(boxW) + size_t(x)) * 3;
            if (p[0] < 255 || p[1] < 255 || p[2] < 255) {
                x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
        }
    if (x1 < 0) return g;  // a space
    g.left = x0 - pad;
    g.top = y0;
    g.width = x1 - x0 + 1;
    g.height = y1 - y0 + 1;
    g.coverage.resize(size_t(g.width) * size_t(g.height));
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) {
            const unsigned char* p = d + (size_t(y0 + y) * size_t(boxW) + size_t(x0 + x)) * 3;
            g.coverage[size_t(y) * size_t(g.width) + size_t(x)] =
                static_cast<uint8_t>(255 - (p[0] + p[1] + p[2]) / 3);
        }
    return g;
}

int SubtitleListView::textWidth64(std::string_view text) {
    int w = 0;
    for (size_t i = 0; i < text.size();) w += glyph(utf8::next(text, i)).advance;
    return w;
}

// Text that does not fit maxWidth ends in "..." within it. Right-to-left
// text is drawn in display order, Arabic letters joined.
void SubtitleListView::drawText(wxImage& img, int x, int y, int maxWidth, int clipRight, std::string_view utf8Text,
                                const wxColour& colour) {
    if (maxWidth <= 0 || utf8Text.empty()) return;
    const std::u32string text = visualLine(utf8Text);
    size_t shown = text.size();
    bool ellipsis = false;
    int total = 0;
    for (char32_t c : text) total += glyph(c).advance;
    if (total > maxWidth * 64) {
        ellipsis = true;
        int w = 0;
        shown = 0;
        while (shown < text.size()) {
            const int a = glyph(text[shown]).advance;
            if (w + a + ellipsis64_ > maxWidth * 64) break;
            w += a;
            ++shown;
        }
    }
    const int width = img.GetWidth(), height = img.GetHeight();
    unsigned char* data = img.GetData();
    int pen = x * 64;
    auto put = [&](char32_t c) {
        const Glyph& g = glyph(c);
        const int gx = (pen + 32) / 64 + g.left, gy = y + g.top;
        pen += g.advance;
        for (int row = 0; row < g.height; ++row) {
            const int py = gy + row;
            if (py < 0 || py >= height) continue;
            const uint8_t* cov = g.coverage.data() + size_t(row) * size_t(g.width);
            for (int col = 0; col < g.width; ++col) {
                const int px = gx + col;
                if (cov[col] == 0 || px < 0 || px >= clipRight || px >= width) continue;
                blend(data + (size_t(py) * size_t(width) + size_t(px)) * 3, colour, cov[col]);
            }
        }
    };
    for (size_t i = 0; i < shown; ++i) put(text[i]);
    if (ellipsis)
        for (char c : std::string_view("...")) put(char32_t(c));
}
