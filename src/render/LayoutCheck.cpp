#include "render/LayoutCheck.h"

#include <algorithm>
#include <cstdio>

#include "base/Utf8.h"
#include "base/Rgb.h"

#include "render/Compositor.h"

int drawnLineWidth(const std::string& line, const FontSheet& font, int wordSpacing) {
    if (line.empty()) return 0;
    // The spacing follows every glyph, the last one's is not drawn.
    return measureLine(line, font, wordSpacing) - wordSpacing;
}

std::vector<CheckFinding> checkLayout(const std::vector<SubtitleSet>& sets, const StripsConfig& style,
                                      const FontSheet& font, int pictureWidth, int safePercent) {
    std::vector<CheckFinding> out;
    const int safe = int((long long)pictureWidth * safePercent / 100);
    for (size_t k = 0; k < sets.size(); ++k) {
        const SubtitleSet& s = sets[k];
        for (int line = 0; line < 2; ++line) {
            const std::string& text = line == 0 ? s.lineA : s.lineB;
            const int w = drawnLineWidth(text, font, style.wordSpacing);
            if (w > safe)
                out.push_back({int(k), "width",
                               std::string("line ") + (line == 0 ? "A" : "B") + " is " + std::to_string(w) +
                                   " px wide, more than the " + std::to_string(safePercent) + "% safe area (" +
                                   std::to_string(safe) + " px)"});
        }
    }
    // The glyph findings go after the width findings of their set.
    for (const auto& [k, missing] : missingGlyphsBySet(sets, font)) {
        auto at = std::find_if(out.begin(), out.end(), [k = k](const CheckFinding& f) { return f.set > k; });
        out.insert(at, {k, "glyph", std::string(font.madeGlyphs() ? "the font has no glyph for " : "the font sheet has no ") + missing});
    }
    return out;
}

std::vector<std::pair<int, std::string>> missingGlyphsBySet(const std::vector<SubtitleSet>& sets, const FontSheet& font) {
    std::vector<std::pair<int, std::string>> out;
    for (size_t k = 0; k < sets.size(); ++k) {
        std::string missing;
        std::u32string seen;
        for (const std::string* text : {&sets[k].lineA, &sets[k].lineB})
            for (const FontSheet::Placed& p : font.layoutText(*text)) {
                if (!p.missing || seen.find(p.ch) != std::u32string::npos) continue;
                seen += p.ch;
                missing += (missing.empty() ? "" : ", ") + utf8::describe(p.ch);
            }
        if (!missing.empty()) out.emplace_back(int(k), std::move(missing));
    }
    return out;
}

std::string describeMissingGlyphs(const std::vector<SubtitleSet>& sets, const FontSheet& font, size_t maxSets) {
    const std::vector<std::pair<int, std::string>> found = missingGlyphsBySet(sets, font);
    const char* lack = font.madeGlyphs() ? ": the font has no glyph for " : ": the font sheets have no glyph for ";
    std::string out;
    for (size_t i = 0; i < found.size() && i < maxSets; ++i)
        out += (i ? "\n" : "") + std::string("set ") + std::to_string(found[i].first + 1) + lack + found[i].second;
    if (found.size() > maxSets) out += "\nand " + std::to_string(found.size() - maxSets) + " more sets";
    return out;
}

namespace {

void dashedFrame(Image& picture, int percent, Rgb colour) {
    const int w = picture.width(), h = picture.height();
    const int mx = (w * (100 - percent) + 100) / 200, my = (h * (100 - percent) + 100) / 200;
    const int x0 = mx, x1 = w - 1 - mx, y0 = my, y1 = h - 1 - my;
    if (x1 <= x0 || y1 <= y0) return;
    auto put = [&](int x, int y, int step) {
        if ((step / 4) % 2 != 0 || !picture.contains(x, y)) return;
        uint8_t* p = picture.pixel(x, y);
        p[0] = colour.r, p[1] = colour.g, p[2] = colour.b, p[3] = 255;
    };
    for (int x = x0; x <= x1; ++x) put(x, y0, x - x0), put(x, y1, x - x0);
    for (int y = y0; y <= y1; ++y) put(x0, y, y - y0), put(x1, y, y - y0);
}

}  // namespace

void drawSafeAreas(Image& picture, int actionPercent, int titlePercent) {
    dashedFrame(picture, actionPercent, Rgb{0, 230, 0});
    dashedFrame(picture, titlePercent, Rgb{255, 220, 0});
}
