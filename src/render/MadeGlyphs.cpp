#include "render/MadeGlyphs.h"

#include <algorithm>
#include <cstring>

#include "io/FontFace.h"

namespace {

constexpr uint8_t kTextGrey = 255;
constexpr uint8_t kOutlineGrey = 128;
constexpr uint8_t kShadowGrey = 96;

uint64_t fnv1a(std::string_view s) {
    uint64_t h = 1469598103934665603ull;
    for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h;
}

void putU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += char((v >> (8 * i)) & 0xFF);
}
bool getU32(std::string_view s, size_t& at, uint32_t& v) {
    if (s.size() - at < 4 || at > s.size()) return false;
    v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(static_cast<unsigned char>(s[at + size_t(i)])) << (8 * i);
    at += 4;
    return true;
}

constexpr std::string_view kMagic = "KALVERO GLYPHS 1\n";

}  // namespace

Image borderedGlyph(const std::vector<uint8_t>& mask, int w, int h, int style, bool crisp) {
    Image img(w, h);
    if (img.empty()) return img;
    // The mask with two empty pixels around it: neighbours need no checks.
    const int pw = w + 4;
    std::vector<uint8_t> padded(size_t(pw) * size_t(h + 4), 0);
    for (int y = 0; y < h; ++y)
        std::copy(mask.begin() + long(y) * w, mask.begin() + long(y + 1) * w, padded.begin() + long(y + 2) * pw + 2);
    auto at = [&](int x, int y) { return int(padded[size_t(y + 2) * size_t(pw) + size_t(x + 2)]); };
    const int grey = style == 1 ? 0 : style == 2 ? kOutlineGrey : kShadowGrey;
    // Diagonal neighbours count 0.85 for rounder corners, except in crisp glyphs.
    const int diagonal = crisp ? 255 : 217;
    for (int y = 0; y < h; ++y) {
        uint8_t* p = img.pixel(0, y);
        for (int x = 0; x < w; ++x, p += 4) {
            const int text = at(x, y);
            int border = 0;
            if (style == 1 || style == 2) {
                border = std::max({at(x - 1, y), at(x + 1, y), at(x, y - 1), at(x, y + 1)});
                const int d = std::max({at(x - 1, y - 1), at(x + 1, y - 1), at(x - 1, y + 1), at(x + 1, y + 1)});
                border = std::max({border, d * diagonal / 255, text});
            } else if (style == 3) {
                border = at(x - 2, y - 2);
            }
            if (text == 0 && border == 0) continue;
            // Text over border, source-over, kept straight.
            const float fa = text / 255.0f, fb = border / 255.0f;
            const float outA = fa + fb * (1.0f - fa);
            const float c = (kTextGrey * fa + grey * fb * (1.0f - fa)) / outA;
            p[0] = p[1] = p[2] = uint8_t(std::clamp(c + 0.5f, 0.0f, 255.0f));
            p[3] = uint8_t(std::clamp(outA * 255.0f + 0.5f, 0.0f, 255.0f));
        }
    }
    return img;
}

MadeGlyphs::MadeGlyphs(std::shared_ptr<FontFace> face, int cellHeight, int baseline, bool crisp)
    : face_(std::move(face)), cellHeight_(cellHeight), baseline_(baseline), crisp_(crisp) {}

MadeGlyphs::Glyph& MadeGlyphs::make(uint32_t id) const {
    auto found = glyphs_.find(id);
    if (found != glyphs_.end()) return found->second;
    const FontFace::Coverage c = face_->render(id, crisp_);
    Glyph g;
    // Room for the pad, the ink (which may start left of the pen, as marks
    // do) and 3 px of border and shadow on the right.
    g.originX = std::max(0, -c.left) + kPad;
    g.width = std::max(1, g.originX + c.left + c.width + 3);
    g.mask.assign(size_t(g.width) * size_t(cellHeight_), 0);
    for (int row = 0; row < c.height; ++row) {
        const int y = baseline_ - c.top + row;
        if (y < 0 || y >= cellHeight_) continue;  // ink beyond the cell is cut, as in the shipped sheets
        std::memcpy(&g.mask[size_t(y) * size_t(g.width) + size_t(g.originX + c.left)], &c.a[size_t(row) * size_t(c.width)],
                    size_t(c.width));
    }
    return glyphs_.emplace(id, std::move(g)).first->second;
}

std::u32string MadeGlyphs::addTexts(const std::vector<std::string>& texts) {
    std::u32string missing;
    for (const std::string& t : texts) {
        if (t.empty()) continue;
        const std::vector<FontFace::Shaped> shaped = face_->shapeLine(t);
        std::lock_guard<std::mutex> lock(mutex_);
        for (const FontFace::Shaped& s : shaped) {
            if (s.glyph == 0 && s.ch != U' ' && missing.find(s.ch) == std::u32string::npos) missing += s.ch;
            make(s.glyph);
        }
    }
    return missing;
}

size_t MadeGlyphs::glyphCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return glyphs_.size();
}

std::vector<PlacedGlyph> MadeGlyphs::layout(std::string_view text) const {
    std::vector<PlacedGlyph> out;
    if (text.empty()) return out;
    const std::vector<FontFace::Shaped> shaped = face_->shapeLine(text);
    out.reserve(shaped.size());
    std::lock_guard<std::mutex> lock(mutex_);
    for (const FontFace::Shaped& s : shaped) {
        PlacedGlyph p;
        p.key = s.glyph;
        p.ch = s.ch;
        p.missing = s.glyph == 0 && s.ch != U' ';
        // The pads of a cluster come after its last glyph, as the shipped
        // sheets' advances hold them; the word spacing too.
        p.spaced = s.lastOfCluster;
        p.advance = s.advance + (s.lastOfCluster ? 2 * kPad : 0);
        p.dx = s.dx + kPad - make(s.glyph).originX;
        p.dy = s.dy;
        out.push_back(p);
    }
    return out;
}

const Image* MadeGlyphs::image(uint32_t key, int style) const {
    if (style < 0 || style >= kStyles || key == PlacedGlyph::kNoGlyph) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    Glyph& g = make(key);
    const size_t s = size_t(style);
    if (!g.made[s]) {
        g.styles[s] = borderedGlyph(g.mask, g.width, cellHeight_, style, crisp_);
        g.made[s] = true;
    }
    return &g.styles[s];
}

void MadeGlyphs::makeAllStyles() const {
    std::vector<uint32_t> ids;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& [id, g] : glyphs_) ids.push_back(id);
    }
    for (uint32_t id : ids)
        for (int style = 0; style < kStyles; ++style) image(id, style);
}

std::string MadeGlyphs::toBytes(const std::string& key) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint32_t> ids;
    for (const auto& [id, g] : glyphs_) ids.push_back(id);
    std::sort(ids.begin(), ids.end());
    std::string out(kMagic);
    putU32(out, uint32_t(key.size()));
    out += key;
    putU32(out, uint32_t(cellHeight_));
    putU32(out, uint32_t(ids.size()));
    for (uint32_t id : ids) {
        const Glyph& g = glyphs_.at(id);
        putU32(out, id);
        putU32(out, uint32_t(g.originX));
        putU32(out, uint32_t(g.width));
        out.append(reinterpret_cast<const char*>(g.mask.data()), g.mask.size());
    }
    const uint64_t sum = fnv1a(out);
    putU32(out, uint32_t(sum));
    putU32(out, uint32_t(sum >> 32));
    return out;
}

bool MadeGlyphs::fromBytes(std::string_view bytes, const std::string& key) {
    if (bytes.size() < kMagic.size() + 8 || bytes.substr(0, kMagic.size()) != kMagic) return false;
    const std::string_view body = bytes.substr(0, bytes.size() - 8);
    size_t tail = body.size();
    uint32_t lo = 0, hi = 0;
    if (!getU32(bytes, tail, lo) || !getU32(bytes, tail, hi)) return false;
    if ((uint64_t(hi) << 32 | lo) != fnv1a(body)) return false;
    size_t at = kMagic.size();
    uint32_t keySize = 0, cell = 0, count = 0;
    if (!getU32(body, at, keySize) || keySize > body.size() - at || body.substr(at, keySize) != key) return false;
    at += keySize;
    if (!getU32(body, at, cell) || int(cell) != cellHeight_ || !getU32(body, at, count)) return false;
    std::unordered_map<uint32_t, Glyph> read;
    for (uint32_t n = 0; n < count; ++n) {
        uint32_t id = 0, originX = 0, width = 0;
        if (!getU32(body, at, id) || !getU32(body, at, originX) || !getU32(body, at, width)) return false;
        if (width == 0 || width > 4096 || originX > width) return false;
        const size_t size = size_t(width) * size_t(cellHeight_);
        if (size > body.size() - at) return false;
        Glyph g;
        g.originX = int(originX);
        g.width = int(width);
        g.mask.assign(body.begin() + long(at), body.begin() + long(at + size));
        at += size;
        read.emplace(id, std::move(g));
    }
    if (at != body.size()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    glyphs_ = std::move(read);
    return true;
}
