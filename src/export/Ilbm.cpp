#include "export/Ilbm.h"
#include "base/BigEndian.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

#include <libimagequant.h>

const std::array<Rgb, 16> kIlbmFixedColours = {{
    {0xF0, 0x00, 0x00}, {0xE0, 0xC0, 0x80}, {0xC0, 0x60, 0x00}, {0xE0, 0xA0, 0x00},
    {0x20, 0x70, 0xF0}, {0x40, 0x90, 0xD0}, {0x50, 0xA0, 0xE0}, {0xA0, 0xD0, 0xF0},
    {0xB0, 0xD0, 0xF0}, {0xC0, 0xE0, 0xF0}, {0xF0, 0xF0, 0xF0}, {0x40, 0x00, 0x80},
    {0xA0, 0x00, 0xE0}, {0xE0, 0x00, 0xE0}, {0xE0, 0x00, 0x80}, {0xE0, 0xE0, 0xE0},
}};

namespace {

constexpr Rgb kFiller{255, 0, 0};

uint32_t rgbKey(const uint8_t* p) {
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[2]);
}

Rgb rgbOfKey(uint32_t k) {
    return Rgb{uint8_t(k >> 16), uint8_t(k >> 8), uint8_t(k)};
}

// Fills the palette with the given colours and fillers, sorts it and returns
// for each given colour the lowest sorted entry that holds it.
std::vector<uint8_t> buildSortedPalette(const std::vector<uint32_t>& colours, std::array<Rgb, 16>& palette) {
    std::array<uint32_t, 16> keys;
    keys.fill(uint32_t(kFiller.r) << 16 | uint32_t(kFiller.g) << 8 | kFiller.b);
    std::copy(colours.begin(), colours.end(), keys.begin());
    std::sort(keys.begin(), keys.end());  // red, then green, then blue
    for (size_t i = 0; i < 16; ++i) palette[i] = rgbOfKey(keys[i]);
    std::vector<uint8_t> entryOf(colours.size());
    for (size_t c = 0; c < colours.size(); ++c)
        entryOf[c] = uint8_t(std::lower_bound(keys.begin(), keys.end(), colours[c]) - keys.begin());
    return entryOf;
}

struct LiqAttrDeleter {
    void operator()(liq_attr* a) const { liq_attr_destroy(a); }
};
struct LiqImageDeleter {
    void operator()(liq_image* i) const { liq_image_destroy(i); }
};
struct LiqResultDeleter {
    void operator()(liq_result* r) const { liq_result_destroy(r); }
};

bool quantize(const Image& picture, IlbmPicture& out, std::string& error, const IlbmOptions& options) {
    const int w = picture.width(), h = picture.height();
    // The quantiser sees the picture as opaque.
    std::vector<uint8_t> opaque(picture.data(), picture.data() + picture.stride() * size_t(h));
    for (size_t i = 3; i < opaque.size(); i += 4) opaque[i] = 255;

    std::unique_ptr<liq_attr, LiqAttrDeleter> attr(liq_attr_create());
    if (!attr) {
        error = "The colour reduction could not start (out of memory).";
        return false;
    }
    liq_set_max_colors(attr.get(), 16);
    liq_set_speed(attr.get(), std::clamp(options.quantizerSpeed, 1, 10));
    std::unique_ptr<liq_image, LiqImageDeleter> image(liq_image_create_rgba(attr.get(), opaque.data(), w, h, 0));
    if (!image) {
        error = "The colour reduction could not take the picture.";
        return false;
    }
    liq_result* raw = nullptr;
    if (liq_image_quantize(image.get(), attr.get(), &raw) != LIQ_OK || !raw) {
        error = "The picture could not be reduced to 16 colours.";
        return false;
    }
    std::unique_ptr<liq_result, LiqResultDeleter> result(raw);
    liq_set_dithering_level(result.get(), 0.0f);
    std::vector<uint8_t> remapped(size_t(w) * size_t(h));
    if (liq_write_remapped_image(result.get(), image.get(), remapped.data(), remapped.size()) != LIQ_OK) {
        error = "The picture could not be reduced to 16 colours.";
        return false;
    }
    const liq_palette* pal = liq_get_palette(result.get());
    if (!pal || pal->count == 0 || pal->count > 16) {
        error = "The colour reduction gave an unusable palette.";
        return false;
    }

    // The quantiser's palette may hold the same colour twice or colours no
    // pixel uses; the file's palette holds each used colour once.
    std::array<bool, 256> used{};
    for (uint8_t v : remapped) used[v] = true;
    std::vector<uint32_t> colours;
    std::array<int, 256> colourOfEntry;
    colourOfEntry.fill(-1);
    for (unsigned e = 0; e < pal->count; ++e) {
        if (!used[e]) continue;
        uint32_t key = uint32_t(pal->entries[e].r) << 16 | uint32_t(pal->entries[e].g) << 8 | pal->entries[e].b;
        auto it = std::find(colours.begin(), colours.end(), key);
        colourOfEntry[e] = int(it - colours.begin());
        if (it == colours.end()) colours.push_back(key);
    }
    for (uint8_t v : remapped) {
        if (colourOfEntry[v] < 0) {
            error = "The colour reduction gave an index outside its palette.";
            return false;
        }
    }
    std::vector<uint8_t> entryOf = buildSortedPalette(colours, out.palette);
    std::array<uint8_t, 256> map{};
    for (unsigned e = 0; e < 256; ++e)
        if (colourOfEntry[e] >= 0) map[e] = entryOf[size_t(colourOfEntry[e])];
    out.width = w;
    out.height = h;
    out.indices.resize(remapped.size());
    for (size_t i = 0; i < remapped.size(); ++i) out.indices[i] = map[remapped[i]];
    return true;
}

using bigendian::be16;
using bigendian::be32;

void putRgb(std::string& s, const Rgb& c) {
    s.push_back(char(c.r));
    s.push_back(char(c.g));
    s.push_back(char(c.b));
}

}  // namespace

bool ilbmFromExactColours(const Image& picture, IlbmPicture& out) {
    if (picture.empty()) return false;
    const int w = picture.width(), h = picture.height();
    std::vector<uint32_t> colours;
    std::vector<uint8_t> firstPass(size_t(w) * size_t(h));  // index into colours
    uint32_t lastKey = 0xffffffff;
    uint8_t lastIndex = 0;
    size_t i = 0;
    for (int y = 0; y < h; ++y) {
        const uint8_t* p = picture.pixel(0, y);
        for (int x = 0; x < w; ++x, p += 4, ++i) {
            uint32_t key = rgbKey(p);
            if (key != lastKey) {
                auto it = std::find(colours.begin(), colours.end(), key);
                if (it == colours.end()) {
                    if (colours.size() == 16) return false;
                    colours.push_back(key);
                    it = colours.end() - 1;
                }
                lastKey = key;
                lastIndex = uint8_t(it - colours.begin());
            }
            firstPass[i] = lastIndex;
        }
    }
    std::vector<uint8_t> entryOf = buildSortedPalette(colours, out.palette);
    for (uint8_t& v : firstPass) v = entryOf[v];
    out.width = w;
    out.height = h;
    out.indices = std::move(firstPass);
    return true;
}

bool prepareIlbmPicture(const Image& picture, IlbmPicture& out, std::string& error, const IlbmOptions& options) {
    out = IlbmPicture{};
    if (picture.empty()) {
        error = "There is no picture to convert.";
        return false;
    }
    if (ilbmFromExactColours(picture, out)) return true;
    out = IlbmPicture{};
    return quantize(picture, out, error, options);
}

int ilbmRowBytes(int width) {
    return width <= 0 ? 0 : ((width + 15) / 16) * 2;
}

uint64_t ilbmBodySize(int width, int height) {
    if (width <= 0 || height <= 0) return 0;
    return uint64_t(ilbmRowBytes(width)) * 4 * uint64_t(height);
}

std::string encodeIlbm(const IlbmPicture& picture) {
    const int w = picture.width, h = picture.height;
    if (w <= 0 || h <= 0 || w > 0xffff || h > 0xffff) return {};
    if (picture.indices.size() != size_t(w) * size_t(h)) return {};
    const uint64_t body = ilbmBodySize(w, h);
    if (body + 178 > 0xffffffffull) return {};

    std::string out;
    out.reserve(size_t(186 + body));
    out += "FORM";
    be32(out, uint32_t(body + 178));
    out += "ILBM";
    out += "BMHD";
    be32(out, 20);
    be16(out, uint32_t(w));
    be16(out, uint32_t(h));
    be16(out, 0);  // x origin
    be16(out, 0);  // y origin
    out.push_back(4);  // planes
    out.push_back(0);  // masking: none
    out.push_back(0);  // compression: none
    out.push_back(0);  // pad
    be16(out, 0);     // transparent colour
    out.push_back(10);  // x aspect
    out.push_back(10);  // y aspect
    be16(out, uint32_t(w));  // page width
    be16(out, uint32_t(h));  // page height
    out += "CAMG";
    be32(out, 4);
    be32(out, 0x8004);  // high resolution + interlace
    out += "KVL8";
    be32(out, 14);
    static const unsigned char kvl8[14] = {0x00, 0x71, 0x00, 0x2A, 0x01, 0x80, 0x02, 0x40, 0, 0, 0, 0, 0, 0};
    out.append(reinterpret_cast<const char*>(kvl8), sizeof kvl8);
    out += "CMAP";
    be32(out, 96);
    for (const Rgb& c : picture.palette) putRgb(out, c);
    for (const Rgb& c : kIlbmFixedColours) putRgb(out, c);
    out += "BODY";
    be32(out, uint32_t(body));

    const size_t header = out.size();
    const int rowBytes = ilbmRowBytes(w);
    out.resize(header + size_t(body), '\0');
    char* dst = out.data() + header;
    const uint8_t* src = picture.indices.data();
    for (int y = 0; y < h; ++y, src += w) {
        char* planes[4] = {dst, dst + rowBytes, dst + 2 * rowBytes, dst + 3 * rowBytes};
        for (int x = 0; x < w; ++x) {
            const uint8_t v = src[x];
            const char bit = char(0x80 >> (x & 7));
            const int byte = x >> 3;
            if (v & 1) planes[0][byte] |= bit;
            if (v & 2) planes[1][byte] |= bit;
            if (v & 4) planes[2][byte] |= bit;
            if (v & 8) planes[3][byte] |= bit;
        }
        dst += 4 * rowBytes;
    }
    return out;
}

files::Result writeIlbm(const IlbmPicture& picture, const std::string& path, files::Sync sync) {
    std::string bytes = encodeIlbm(picture);
    if (bytes.empty()) return files::Result::failure("the picture cannot be stored as an IFF ILBM file");
    return files::writeFileAtomic(path, bytes, sync);
}
