#include "io/FontFace.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <fontconfig/fontconfig.h>
#include <fribidi.h>
#include <hb-ft.h>
#include <hb.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>

#include "base/Text.h"
#include "base/Utf8.h"
#include "io/Files.h"

namespace fontlist {

namespace {
std::mutex& fcMutex() {
    static std::mutex m;
    return m;
}
FcConfig* config() {
    static FcConfig* c = FcInitLoadConfigAndFonts();
    return c;
}
}  // namespace

std::vector<std::string> families() {
    std::lock_guard<std::mutex> lock(fcMutex());
    std::set<std::string> names;
    FcConfig* c = config();
    if (!c) return {};
    FcPattern* pat = FcPatternCreate();
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, nullptr);
    if (FcFontSet* fs = FcFontList(c, pat, os)) {
        for (int i = 0; i < fs->nfont; ++i) {
            FcChar8* name = nullptr;
            // A font may name its family in several languages: the first is the family.
            if (FcPatternGetString(fs->fonts[i], FC_FAMILY, 0, &name) == FcResultMatch && name)
                names.insert(reinterpret_cast<const char*>(name));
        }
        FcFontSetDestroy(fs);
    }
    FcObjectSetDestroy(os);
    FcPatternDestroy(pat);
    return {names.begin(), names.end()};
}

bool findFamily(const std::string& name, std::string& file, int& faceIndex, std::string& error) {
    std::lock_guard<std::mutex> lock(fcMutex());
    const std::string family = text::trimSpaces(name.substr(0, name.find(':')));
    if (family.empty()) {
        error = "no font family given";
        return false;
    }
    FcConfig* c = config();
    FcPattern* pat = c ? FcNameParse(reinterpret_cast<const FcChar8*>(name.c_str())) : nullptr;
    if (!pat) {
        error = c ? "\"" + name + "\" is not a font name" : "fontconfig could not start";
        return false;
    }
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(c, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(c, pat, &result);
    FcPatternDestroy(pat);
    bool found = false;
    if (match) {
        // fontconfig always offers some font; only one of the family asked for will do.
        FcChar8* f = nullptr;
        for (int k = 0; FcPatternGetString(match, FC_FAMILY, k, &f) == FcResultMatch; ++k)
            if (text::lower(reinterpret_cast<const char*>(f)) == text::lower(family)) found = true;
        FcChar8* path = nullptr;
        int index = 0;
        if (found && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path) {
            file = reinterpret_cast<const char*>(path);
            FcPatternGetInteger(match, FC_INDEX, 0, &index);
            faceIndex = index;
        } else {
            found = false;
        }
        FcPatternDestroy(match);
    }
    if (!found) error = "no installed font has the family \"" + family + "\" (kalvero-cli fonts lists them)";
    return found;
}

}  // namespace fontlist

struct FontFace::Impl {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    hb_font_t* font = nullptr;
    hb_buffer_t* buffer = nullptr;  // reused by every shaping, under the mutex
    std::string bytes;  // the font file, which FreeType reads from
    std::string file;
    int index = 0, size = 0;
    std::string identity;
    mutable std::mutex mutex;  // FreeType faces are not shared between threads

    ~Impl() {
        if (buffer) hb_buffer_destroy(buffer);
        if (font) hb_font_destroy(font);
        if (face) FT_Done_Face(face);
        if (lib) FT_Done_FreeType(lib);
    }
};

FontFace::FontFace() : impl_(std::make_unique<Impl>()) {}
FontFace::~FontFace() = default;

std::shared_ptr<FontFace> FontFace::open(const std::string& file, int faceIndex, int pixelSize, std::string& error) {
    std::shared_ptr<FontFace> f(new FontFace());
    Impl& m = *f->impl_;
    if (pixelSize < 4 || pixelSize > 400) {
        error = "a font size of " + std::to_string(pixelSize) + " px cannot be drawn";
        return nullptr;
    }
    if (FT_Init_FreeType(&m.lib)) {
        error = "FreeType could not start";
        return nullptr;
    }
    // Read as every other input: only a regular file, never waiting on a FIFO.
    if (files::Result r = files::readFile(file, m.bytes, uint64_t(256) << 20); !r) {
        error = "cannot read the font " + file + ": " + r.error;
        return nullptr;
    }
    if (FT_New_Memory_Face(m.lib, reinterpret_cast<const FT_Byte*>(m.bytes.data()), FT_Long(m.bytes.size()),
                           FT_Long(faceIndex), &m.face) ||
        !FT_IS_SCALABLE(m.face)) {
        error = "FreeType cannot read the font " + file;
        return nullptr;
    }
    if (FT_Set_Pixel_Sizes(m.face, 0, FT_UInt(pixelSize))) {
        error = "the font " + file + " cannot be drawn at " + std::to_string(pixelSize) + " px";
        return nullptr;
    }
    m.font = hb_ft_font_create_referenced(m.face);
    hb_ft_font_set_load_flags(m.font, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL);
    m.file = file;
    m.index = faceIndex;
    m.size = pixelSize;
    std::error_code ec;
    const auto stamp = std::filesystem::last_write_time(file, ec);
    m.identity = file + "|" + std::to_string(m.bytes.size()) + "|" +
                 std::to_string(ec ? 0 : (long long)stamp.time_since_epoch().count()) + "|" +
                 std::to_string(faceIndex) + "|" + std::to_string(pixelSize);
    return f;
}

const std::string& FontFace::file() const { return impl_->file; }
int FontFace::faceIndex() const { return impl_->index; }
bool FontFace::italic() const {
    if (impl_->face->style_flags & FT_STYLE_FLAG_ITALIC) return true;
    const std::string style = impl_->face->style_name ? text::lower(impl_->face->style_name) : std::string();
    return style.find("italic") != std::string::npos || style.find("oblique") != std::string::npos;
}

int FontFace::pixelSize() const { return impl_->size; }
std::string FontFace::identity() const { return impl_->identity; }
std::string FontFace::familyName() const { return impl_->face->family_name ? impl_->face->family_name : ""; }

uint32_t FontFace::glyphOf(char32_t ch) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return FT_Get_Char_Index(impl_->face, FT_ULong(ch));
}

bool FontFace::inkExtent(char32_t ch, int& top, int& bottom) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    FT_Face f = impl_->face;
    const FT_UInt g = FT_Get_Char_Index(f, FT_ULong(ch));
    if (g == 0 || FT_Load_Glyph(f, g, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL)) return false;
    top = f->glyph->bitmap_top;
    bottom = f->glyph->bitmap_top - int(f->glyph->bitmap.rows);
    return f->glyph->bitmap.rows > 0;
}

FontFace::Coverage FontFace::render(uint32_t glyph, bool crisp) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    Coverage c;
    FT_Face f = impl_->face;
    const FT_Int32 flags = crisp ? FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME
                                 : FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL;
    if (FT_Load_Glyph(f, glyph, flags)) return c;
    const FT_Bitmap& b = f->glyph->bitmap;
    c.left = f->glyph->bitmap_left;
    c.top = f->glyph->bitmap_top;
    c.width = int(b.width);
    c.height = int(b.rows);
    c.a.assign(size_t(c.width) * size_t(c.height), 0);
    for (int y = 0; y < c.height; ++y) {
        const unsigned char* row = b.buffer + long(y) * b.pitch;
        for (int x = 0; x < c.width; ++x) {
            uint8_t v = 0;
            if (b.pixel_mode == FT_PIXEL_MODE_MONO) v = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
            else if (b.pixel_mode == FT_PIXEL_MODE_GRAY) v = row[x];
            if (crisp) v = v >= 128 ? 255 : 0;
            c.a[size_t(y) * size_t(c.width) + size_t(x)] = v;
        }
    }
    return c;
}

namespace {

// Runs of one embedding level, in logical order.
struct Run {
    size_t begin, end;
    int level;
};

}  // namespace

std::vector<FontFace::Shaped> FontFace::shapeLine(std::string_view text) const {
    std::vector<Shaped> out;
    const std::u32string chars = utf8::decode(text);
    if (chars.empty()) return out;

    // Embedding levels with the direction taken from the first strong character.
    // Text without right-to-left characters (none below U+0590) is one
    // left-to-right run; anything else gets its levels from FriBidi.
    std::vector<FriBidiLevel> levels(chars.size(), 0);
    if (std::any_of(chars.begin(), chars.end(), [](char32_t c) { return c >= 0x0590; })) {
        std::vector<FriBidiCharType> types(chars.size());
        std::vector<FriBidiBracketType> brackets(chars.size());
        std::vector<FriBidiChar> fchars(chars.begin(), chars.end());
        fribidi_get_bidi_types(fchars.data(), FriBidiStrIndex(fchars.size()), types.data());
        fribidi_get_bracket_types(fchars.data(), FriBidiStrIndex(fchars.size()), types.data(), brackets.data());
        FriBidiParType dir = FRIBIDI_PAR_ON;
        if (!fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), FriBidiStrIndex(fchars.size()), &dir,
                                                 levels.data()))
            std::fill(levels.begin(), levels.end(), FriBidiLevel(0));
    }

    std::vector<Run> runs;
    for (size_t i = 0; i < chars.size(); ++i) {
        if (runs.empty() || runs.back().level != levels[i]) runs.push_back({i, i + 1, levels[i]});
        else runs.back().end = i + 1;
    }
    // Visual order of the runs: from the highest level down to the lowest
    // odd one, reverse every stretch of runs at that level or above.
    int highest = 0, lowestOdd = 255;
    for (const Run& r : runs) {
        highest = std::max(highest, r.level);
        if (r.level % 2) lowestOdd = std::min(lowestOdd, r.level);
    }
    std::vector<size_t> order(runs.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    for (int level = highest; level >= lowestOdd && level > 0; --level)
        for (size_t i = 0; i < order.size();) {
            if (runs[order[i]].level < level) {
                ++i;
                continue;
            }
            size_t j = i;
            while (j < order.size() && runs[order[j]].level >= level) ++j;
            std::reverse(order.begin() + long(i), order.begin() + long(j));
            i = j;
        }

    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (!impl_->buffer) impl_->buffer = hb_buffer_create();
    hb_buffer_t* buf = impl_->buffer;
    for (size_t r : order) {
        const Run& run = runs[r];
        hb_buffer_clear_contents(buf);
        std::vector<uint32_t> units(chars.begin() + long(run.begin), chars.begin() + long(run.end));
        hb_buffer_add_utf32(buf, units.data(), int(units.size()), 0, int(units.size()));
        hb_buffer_set_direction(buf, run.level % 2 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
        hb_buffer_guess_segment_properties(buf);
        hb_shape(impl_->font, buf, nullptr, 0);
        unsigned n = 0;
        const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buf, &n);
        const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buf, &n);
        // Pixel positions from the running 26.6 pen, so rounding does not add up.
        long pen = 0;
        int drawn = 0;
        for (unsigned k = 0; k < n; ++k) {
            Shaped s;
            s.glyph = info[k].codepoint;
            s.ch = info[k].cluster < units.size() ? units[info[k].cluster] : 0;
            s.lastOfCluster = k + 1 == n || info[k + 1].cluster != info[k].cluster;
            s.dx = int((pen + pos[k].x_offset + 32) >> 6) - drawn;
            s.dy = int((pos[k].y_offset + 32) >> 6);
            pen += pos[k].x_advance;
            const int next = int((pen + 32) >> 6);
            s.advance = next - drawn;
            drawn = next;
            out.push_back(s);
        }
    }
    return out;
}

std::u32string visualLine(std::string_view text) {
    std::u32string chars = utf8::decode(text);
    bool plain = true;
    for (char32_t c : chars) plain = plain && c < 0x0590;  // nothing right-to-left or joining below Hebrew
    if (plain || chars.empty()) return chars;
    std::vector<FriBidiChar> in(chars.begin(), chars.end()), out(chars.size());
    FriBidiParType dir = FRIBIDI_PAR_ON;
    if (!fribidi_log2vis(in.data(), FriBidiStrIndex(in.size()), &dir, out.data(), nullptr, nullptr, nullptr))
        return chars;
    return std::u32string(out.begin(), out.end());
}
