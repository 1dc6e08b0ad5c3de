#include "render/InstalledFont.h"

#include <algorithm>
#include <cmath>

#include <cstdio>
#include <cstdlib>
#include <set>

#include "base/Utf8.h"
#include "io/FontFace.h"
#include "io/Files.h"
#include "render/MadeGlyphs.h"

namespace {

// Where the baseline lies in the cell: the strip is the cell without its
// top two rows, and the span from cap height to descender sits in it a
// little below the middle, as in the shipped sheets.
int baselineOf(const FontFace& face, int size, int cellHeight) {
    int top = 0, bottom = 0, capTop = 0, desc = 0;
    if (face.inkExtent(U'H', top, bottom)) capTop = top;
    else capTop = int(std::lround(size * 0.72));
    for (char32_t ch : {U'g', U'p', U'y', U'q'})
        if (face.inkExtent(ch, top, bottom)) desc = std::max(desc, -bottom);
    if (desc == 0) desc = int(std::lround(size * 0.21));
    const int strip = cellHeight - 2;
    const int pad = (strip - (capTop + desc) + 1) / 2;
    return 2 + pad + capTop;
}

uint64_t fnv1a(std::string_view s) {
    uint64_t h = 1469598103934665603ull;
    for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h;
}

// The italic face of an installed family, when it has one of its own.
std::shared_ptr<FontFace> italicFaceOf(const std::string& family, const std::string& file, int index, int fontSize) {
    std::string italicFile, error;
    int italicIndex = 0;
    if (family.empty() || !fontlist::findFamily(family + ":italic", italicFile, italicIndex, error)) return nullptr;
    if (italicFile == file && italicIndex == index) return nullptr;
    std::shared_ptr<FontFace> face = FontFace::open(italicFile, italicIndex, fontSize, error);
    return face && face->italic() ? face : nullptr;
}

InstalledFontResult make(FontSheet& font, const std::string& file, int index, bool crisp, int fontSize,
                         const std::vector<std::string>& texts, const std::string& family = {}) {
    InstalledFontResult r;
    std::shared_ptr<FontFace> face = FontFace::open(file, index, fontSize, r.error);
    if (!face) return r;
    const int cell = defaultCellHeight(fontSize);
    const int baseline = baselineOf(*face, fontSize, cell);
    auto made = std::make_shared<MadeGlyphs>(face, cell, baseline, crisp);

    // The characters the texts use, each once, in order: the glyph set of the
    // cache key, and the ones the font lacks.
    std::set<char32_t> chars;
    for (const std::string& t : texts)
        for (size_t i = 0; i < t.size();) chars.insert(utf8::next(t, i));
    std::string key = face->identity() + "|cell " + std::to_string(cell) + "|baseline " + std::to_string(baseline) +
                      (crisp ? "|crisp|" : "|smooth|");
    for (char32_t c : chars) {
        utf8::append(key, c);
        if (c != U' ' && face->glyphOf(c) == 0) r.missing += c;
    }

    // Without texts (the window, which makes glyphs as lines need them)
    // there is nothing worth keeping.
    const std::string folder = texts.empty() ? std::string() : glyphCacheFolder();
    char name[40];
    std::snprintf(name, sizeof name, "glyphs-%016llx.bin", (unsigned long long)fnv1a(key));
    const std::string path = folder.empty() ? std::string() : folder + name;
    std::string bytes;
    // A cache file is taken only when it is whole and made for this very key;
    // anything else is made again and the file replaced.
    if (!path.empty() && files::readFile(path, bytes, uint64_t(512) << 20) && made->fromBytes(bytes, key)) {
        r.fromCache = true;
    } else {
        made->addTexts(texts);
        if (!path.empty()) {
            const bool written = files::makeDirectories(folder) && files::writeFileAtomic(path, made->toBytes(key));
            if (!written) r.cacheNote = "the glyph cache " + folder + " cannot be written; the glyphs are made anew each time";
        }
    }
    if (std::shared_ptr<FontFace> italic = italicFaceOf(family, file, index, fontSize))
        made->setItalicFace(std::make_shared<MadeGlyphs>(italic, cell, baseline, crisp));
    r.glyphs = made->glyphCount();
    r.cacheFile = path;
    font.useMadeGlyphs(made);
    r.ok = true;
    return r;
}

}  // namespace

std::string glyphCacheFolder() {
    if (const char* own = std::getenv("KALVERO_GLYPH_CACHE")) return *own ? files::withTrailingSeparator(own) : "";
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/')
        return files::withTrailingSeparator(std::string(xdg) + "/kalvero");
    if (const char* home = std::getenv("HOME"); home && *home)
        return files::withTrailingSeparator(std::string(home) + "/.cache/kalvero");
    return {};
}

InstalledFontResult useInstalledFont(FontSheet& font, const FontChoice& choice, int fontSize,
                                     const std::vector<std::string>& texts) {
    std::string file;
    int index = 0;
    InstalledFontResult r;
    if (!fontlist::findFamily(choice.family, file, index, r.error)) return r;
    return make(font, file, index, choice.crisp, fontSize, texts, choice.family);
}

InstalledFontResult useFontFile(FontSheet& font, const std::string& file, bool crisp, int fontSize,
                                const std::vector<std::string>& texts) {
    return make(font, file, 0, crisp, fontSize, texts);
}

InstalledFontResult syncFontChoice(FontSheet& font, const StripsConfig& style, const std::vector<std::string>& texts) {
    InstalledFontResult r;
    if (style.fontFamily.empty() && !style.crisp) {
        if (font.madeGlyphs()) font.useMadeGlyphs(nullptr);
        r.ok = true;
        return r;
    }
    const std::string wanted = style.fontFamily + "|" + std::to_string(style.fontSize) + (style.crisp ? "|crisp" : "");
    if (font.madeGlyphs() && font.madeFor == wanted) {
        r.ok = true;
        return r;
    }
    r = style.fontFamily.empty() ? useFontFile(font, kShippedSheetFont, true, style.fontSize, texts)
        : style.fontFamily.find('/') != std::string::npos
            ? useFontFile(font, style.fontFamily, style.crisp, style.fontSize, texts)
            : useInstalledFont(font, FontChoice{style.fontFamily, style.crisp}, style.fontSize, texts);
    if (r.ok) font.madeFor = wanted;
    else if (font.madeGlyphs()) font.useMadeGlyphs(nullptr);
    return r;
}

std::string describeMissing(const std::u32string& missing) {
    if (missing.empty()) return {};
    std::string out = "the font has no glyph for ";
    for (size_t i = 0; i < missing.size(); ++i) out += (i ? ", " : "") + utf8::describe(missing[i]);
    return out;
}
