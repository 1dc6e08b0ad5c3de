#include "render/FontSheet.h"

#include <algorithm>
#include <cctype>
#include <set>

#include <cmath>
#include <new>

#include "base/Cp1252.h"
#include "base/Italics.h"
#include "base/Utf8.h"
#include "io/Files.h"
#include "render/MadeGlyphs.h"
#include "render/FontSheetCache.h"
#include "base/Text.h"
#include "base/Draw.h"

namespace {

int32_t tableValue(const Image& img, int x, int y) {
    const uint8_t* p = img.pixel(x, y);
    return int32_t(p[0]) | int32_t(p[1]) << 8 | int32_t(p[2]) << 16;
}

bool fitsSheet(const FontSheet::Entry& e, int cellHeight, const Image& sheet) {
    return e.width > 0 && e.left >= 0 && e.top >= 0 && e.width <= sheet.width() - e.left &&
           cellHeight <= sheet.height() - e.top && Image::validSize(e.width, cellHeight);
}

}  // namespace

bool FontSheet::readTable(const Image& sheet, Table& out) {
    out = Table{};
    if (sheet.empty() || sheet.height() < 2) return false;
    const int row = sheet.height() - 1;
    for (int x = 0; sheet.width() - x >= 3; x += 3) {
        Entry e{tableValue(sheet, x, row), tableValue(sheet, x + 1, row), tableValue(sheet, x + 2, row)};
        if (e.left == 0 && e.top == 0 && e.width == 0) break;
        out.entries.push_back(e);
    }
    out.cellHeight = tableValue(sheet, 0, sheet.height() - 2) + 1;
    return true;
}

bool FontSheet::loadStyle(int style, const Image& sheet) {
    if (style < 0 || style >= kStyles) return false;
    Table table;
    if (!readTable(sheet, table)) return false;

    // The glyphs are copies cut out of the sheet. Packed glyphs cover the
    // sheet at most once; a table that reuses the same large rectangle for
    // every character would need many times the sheet's memory, and a glyph
    // far wider than its cell is no character: such a sheet is refused.
    const size_t usable = std::min<size_t>(table.entries.size(), 256 - kFirstCode);
    const uint64_t budget = 2 * uint64_t(sheet.width()) * uint64_t(sheet.height());
    uint64_t area = 0;
    for (size_t n = 0; n < usable; ++n) {
        const Entry& e = table.entries[n];
        if (!fitsSheet(e, table.cellHeight, sheet)) continue;
        if (int64_t(e.width) > 4 * int64_t(table.cellHeight)) return false;
        area += uint64_t(e.width) * uint64_t(table.cellHeight);
        if (area > budget) return false;
    }

    const size_t k = size_t(style);
    if (source_[k])
        previous_[k] = Cut{std::move(source_[k]), std::move(entries_[k]), std::move(glyphs_[k]), sourceCellHeight_[k]};
    source_[k].reset();
    auto& entries = entries_[k];
    auto& glyphs = glyphs_[k];
    entries = std::move(table.entries);
    glyphs.clear();
    cellHeight = table.cellHeight;

    // Only codes 32..255 can ever be drawn; later entries are kept in the
    // list but get no image.
    glyphs.resize(usable);
    for (size_t n = 0; n < usable; ++n) {
        const Entry& e = entries[n];
        // A rectangle that leaves the sheet is damaged data: no glyph.
        if (!fitsSheet(e, cellHeight, sheet)) continue;
        glyphs[n] = draw::copyRect(sheet, draw::Rect{e.left, e.top, e.width, cellHeight});
    }
    if (style == 0) takeAdvances();
    return true;
}

void FontSheet::takeAdvances() {
    advance_.fill(0);
    const auto& glyphs = glyphs_[0];
    for (size_t n = 0; n < glyphs.size(); ++n)
        if (!glyphs[n].empty()) advance_[kFirstCode + n] = glyphs[n].width();
    makeBoxes();
}

void FontSheet::makeBoxes() {
    for (Image& b : box_) b = Image();
    // As wide as a typical glyph: the median advance of the letters and digits.
    std::vector<int> widths;
    for (int c = '0'; c <= 'z'; ++c)
        if (std::isalnum(c) && advance_[size_t(c)] > 0) widths.push_back(advance_[size_t(c)]);
    const Image* h = glyph('H', 0);
    if (widths.empty() || !h) return;
    std::nth_element(widths.begin(), widths.begin() + long(widths.size() / 2), widths.end());
    const int w = std::max(6, widths[widths.size() / 2]), cell = h->height();
    // From the top of a capital to the baseline: the ink rows of "H".
    int top = -1, bottom = -1;
    for (int y = 0; y < cell; ++y)
        for (int x = 0; x < h->width(); ++x)
            if (h->pixel(x, y)[3] >= 128) {
                if (top < 0) top = y;
                bottom = y;
                break;
            }
    if (top < 0 || bottom - top < 4) top = cell / 4, bottom = cell * 3 / 4;
    baseline_ = bottom + 1;
    // A hollow rectangle inside the glyph's pads, with room for the border
    // and the shadow; its lines as thick as a thin stroke of the size.
    const int thick = std::max(1, cell / 24);
    const int x0 = 2, x1 = w - 4;
    std::vector<uint8_t> mask(size_t(w) * size_t(cell), 0);
    for (int y = top; y <= bottom; ++y)
        for (int x = x0; x <= x1; ++x)
            if (y < top + thick || y > bottom - thick || x < x0 + thick || x > x1 - thick)
                mask[size_t(y) * size_t(w) + size_t(x)] = 255;
    for (int style = 0; style < kStyles; ++style) box_[size_t(style)] = borderedGlyph(mask, w, cell, style, true);
}

int FontSheet::glyphCount(int style) const {
    int n = 0;
    for (const Image& g : glyphs_[size_t(style)]) n += !g.empty();
    return n;
}

const char* fontSheetSuffix(int style) {
    static const char* const suffixes[FontSheet::kStyles] = {"_0000.png", "_0500.png", "_1000.png", "_1500.png"};
    return style >= 0 && style < FontSheet::kStyles ? suffixes[style] : "";
}

std::string fontSheetRelativePath(int size, int style) {
    return "includes/FontBitmap_" + std::to_string(size) + fontSheetSuffix(style);
}

bool FontSheet::loadStyle(int style, const std::shared_ptr<const Image>& sheet) {
    if (style < 0 || style >= kStyles || !sheet) return false;
    const size_t k = size_t(style);
    if (source_[k] == sheet) {
        cellHeight = sourceCellHeight_[k];
        return true;
    }
    if (Cut& p = previous_[k]; p.source == sheet) {
        std::swap(source_[k], p.source);
        std::swap(entries_[k], p.entries);
        std::swap(glyphs_[k], p.glyphs);
        std::swap(sourceCellHeight_[k], p.cellHeight);
        cellHeight = sourceCellHeight_[k];
        if (style == 0) takeAdvances();
        return true;
    }
    if (!loadStyle(style, *sheet)) return false;
    source_[k] = sheet;
    sourceCellHeight_[k] = cellHeight;
    return true;
}

int defaultCellHeight(int size) {
    return int(std::lround(size * 1.375));
}

bool loadFontSheets(FontSheet& sheet, const std::string& programDir, int size, const Notice& notice,
                    int& fontSheetsDirty) {
    return loadFontSheets(sheet, std::vector<std::string>{programDir}, size, notice, fontSheetsDirty);
}

std::string availableFontSizes(const std::vector<std::string>& folders) {
    std::set<int> sizes;
    for (const std::string& folder : folders)
        for (const std::string& name : files::listFiles(folder + "includes"))
            if (name.rfind("FontBitmap_", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".png")
                if (const int size = text::toInt(text::field(name, '_', 2)); size > 0) sizes.insert(size);
    std::string list;
    for (int size : sizes) list += (list.empty() ? "" : ", ") + std::to_string(size);
    return list;
}

bool loadFontSheets(FontSheet& sheet, const std::vector<std::string>& folders, int size, const Notice& notice,
                    int& fontSheetsDirty) {
    bool rerange = false;
    sheet.loadedSize = 0;
    sheet.useMadeGlyphs(nullptr);  // glyphs made from a font are made again for the new size
    // A size with no sheet in any folder is told once, with the sizes there are.
    bool anySheet = false;
    for (int style = 0; style < FontSheet::kStyles && !anySheet; ++style) {
        const std::string relative = fontSheetRelativePath(size, style);
        anySheet = folders.empty() && files::exists(relative);
        for (const std::string& folder : folders) anySheet = anySheet || files::exists(folder + relative);
    }
    if (!anySheet) {
        const std::string sizes = availableFontSizes(folders);
        if (notice)
            notice(NoticeLevel::Error, "Error!", "There is no font sheet for the font size " + std::to_string(size) + " (" +
                                 fontSheetRelativePath(size, 0) + ").\n" +
                                 (sizes.empty() ? "No font sheet was found at all." : "The font sizes there are: " + sizes + "."));
    }
    for (int style = 0; style < FontSheet::kStyles; ++style) {
        std::string relative = fontSheetRelativePath(size, style);
        std::string path = folders.empty() ? relative : folders.back() + relative;
        for (const std::string& folder : folders)
            if (files::exists(folder + relative)) {
                path = folder + relative;
                break;
            }
        std::string error;
        try {
            std::shared_ptr<const Image> img = fontsheetcache::decodeSheet(path, error);
            if (!img) {
                if (notice && anySheet) notice(NoticeLevel::Warning, "Error#10", "Could not find " + relative);
                continue;
            }
            if (!sheet.loadStyle(style, img)) {
                if (notice) notice(NoticeLevel::Warning, "Error#10", "The glyph table of " + relative + " is damaged");
                continue;
            }
        } catch (const std::bad_alloc&) {
            if (notice) notice(NoticeLevel::Warning, "Error#10", "Not enough memory to load " + relative);
            continue;
        }
        if (style == 0) sheet.loadedSize = size;
        if (style == FontSheet::kStyles - 1 && fontSheetsDirty) {
            rerange = true;
            fontSheetsDirty = 0;
        }
    }
    // Before any sheet has loaded there are no glyphs; strips still get the
    // height the bundled sheets would give them.
    int cell = sheet.cellHeight > 0 ? sheet.cellHeight : defaultCellHeight(size);
    sheet.stripHeight = std::max(0, cell - 2);
    return rerange;
}

std::pair<int, int> stripsSpacingRange(int s) {
    return {int(std::lround(s / 1.42)), int(std::lround(s * 1.42))};
}

std::vector<std::string> fontSizeItems(const std::vector<std::string>& fileNames) {
    std::vector<std::string> items;
    for (const std::string& name : fileNames) {
        if (name.size() < 4 || text::lower(name.substr(name.size() - 4)) != ".png") continue;
        std::string t = text::field(text::field(name, '_', 2), '.', 1);
        // A picture in includes/ that is not a font sheet has no size.
        if (t.empty() || t.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string item = t + " px";
        if (items.empty() || items.back() != item) items.push_back(item);
    }
    return items;
}

int fontSizeOfItem(const std::string& item) {
    return text::toInt(item.substr(0, 2));
}

int FontSheet::baselineRow() const {
    if (made_) return made_->baseline();
    return baseline_ > 0 ? baseline_ : cellHeight * 3 / 4;
}

std::vector<FontSheet::Placed> FontSheet::layoutText(std::string_view text) const {
    if (!italics::hasTags(text)) return layoutRun(text, false);
    std::vector<Placed> out;
    for (const italics::Run& r : italics::runs(text)) {
        std::vector<Placed> part = layoutRun(r.text, r.italic);
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

std::vector<FontSheet::Placed> FontSheet::layoutRun(std::string_view text, bool italic) const {
    if (made_) {
        if (italic && made_->italicFace()) {
            std::vector<Placed> out = made_->italicFace()->layout(text);
            for (Placed& p : out)
                if (p.key != kNoGlyph) p.key |= kItalicFaceBit;
            return out;
        }
        std::vector<Placed> out = made_->layout(text);
        if (italic && !out.empty()) {
            for (Placed& p : out) p.slanted = true;
            // The top of the last letter leans over what follows.
            out.back().advance += int((baselineRow() - cellHeight / 4) * kSlant + 0.5);
        }
        return out;
    }
    std::vector<Placed> out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        Placed p;
        p.ch = utf8::next(text, i);
        const int b = cp1252::byteOf(p.ch);
        if (b >= kFirstCode) {
            p.key = uint32_t(b);
            p.advance = advance_[size_t(b)];
        }
        p.missing = p.ch != ' ' && (b < 0 || !glyph(uint8_t(b), 0));
        if (p.missing && !box_[0].empty()) {
            p.key = kBoxKey;
            p.advance = box_[0].width();
        }
        p.slanted = italic;
        out.push_back(p);
    }
    if (italic && !out.empty()) out.back().advance += int((baselineRow() - cellHeight / 4) * kSlant + 0.5);
    return out;
}

const Image* FontSheet::glyphImage(uint32_t key, int style) const {
    if (made_) {
        if (key != kNoGlyph && (key & kItalicFaceBit) && made_->italicFace())
            return made_->italicFace()->image(key & ~kItalicFaceBit, style);
        return made_->image(key, style);
    }
    if (key == kBoxKey) return style >= 0 && style < kStyles && !box_[size_t(style)].empty() ? &box_[size_t(style)] : nullptr;
    return key < 256 ? glyph(uint8_t(key), style) : nullptr;
}

void FontSheet::useMadeGlyphs(std::shared_ptr<const MadeGlyphs> made) {
    if (!made_) shippedCellHeight_ = cellHeight;
    made_ = std::move(made);
    if (!made_) madeFor.clear();
    cellHeight = made_ ? made_->cellHeight() : shippedCellHeight_;
    if (cellHeight > 2) stripHeight = cellHeight - 2;
}
