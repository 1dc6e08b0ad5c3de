#include "base/Cp1252.h"

#include "base/Utf8.h"

#include <cstdint>

namespace cp1252 {
namespace {
// Code points of 0x80..0x9F; 0 marks the five bytes without a character.
constexpr uint16_t kHigh[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

int codePointToByte(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return int(cp);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == cp || (kHigh[i] == 0 && cp == uint32_t(0x80 + i))) return 0x80 + i;
    return -1;
}

void appendUtf8(std::string& out, uint32_t cp) { utf8::append(out, char32_t(cp)); }

// Decodes one UTF-8 sequence at s[i]; returns its length, 0 when invalid.
size_t decodeOne(std::string_view s, size_t i, uint32_t& cp) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len;
    uint32_t min;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        len = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, cp = c & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        unsigned char d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}
}  // namespace

std::string fromUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        uint32_t cp = 0;
        size_t len = decodeOne(utf8, i, cp);
        if (len == 0) {
            out += utf8[i];
            ++i;
            continue;
        }
        int b = codePointToByte(cp);
        out += b < 0 ? '?' : char(b);
        i += len;
    }
    return out;
}

std::string toUtf8(std::string_view single) {
    std::string out;
    out.reserve(single.size() + single.size() / 8);
    for (char ch : single) {
        unsigned char c = static_cast<unsigned char>(ch);
        uint32_t cp = c;
        if (c >= 0x80 && c < 0xA0) cp = kHigh[c - 0x80] ? kHigh[c - 0x80] : c;
        appendUtf8(out, cp);
    }
    return out;
}

std::string fromUtf16(std::string_view bytes, bool bigEndian) {
    auto unit = [&](size_t i) -> uint32_t {
        unsigned char a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (uint32_t(a) << 8 | b) : (uint32_t(b) << 8 | a);
    };
    std::string utf8;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            uint32_t lo = unit(i + 2);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                appendUtf8(utf8, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(utf8, u >= 0xD800 && u <= 0xDFFF ? uint32_t('?') : u);
    }
    return fromUtf8(utf8);
}

std::string fromUtf32(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size() / 4);
    for (size_t i = 0; i + 3 < bytes.size(); i += 4) {
        uint32_t u = 0;
        for (size_t k = 0; k < 4; ++k) {
            uint32_t b = static_cast<unsigned char>(bytes[i + (bigEndian ? k : 3 - k)]);
            u = u << 8 | b;
        }
        int b = u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF) ? -1 : codePointToByte(u);
        out += b < 0 ? '?' : char(b);
    }
    return out;
}

bool looksLikeUtf8(std::string_view bytes) {
    bool multi = false;
    size_t i = 0;
    while (i < bytes.size()) {
        uint32_t cp;
        size_t len = decodeOne(bytes, i, cp);
        if (len == 0) return false;
        if (len > 1) multi = true;
        i += len;
    }
    return multi;
}

int byteOf(char32_t cp) { return codePointToByte(uint32_t(cp)); }

bool fits(std::string_view utf8) {
    size_t i = 0;
    while (i < utf8.size()) {
        uint32_t cp = 0;
        const size_t len = decodeOne(utf8, i, cp);
        if (len == 0 || codePointToByte(cp) < 0) return false;
        i += len;
    }
    return true;
}

}  // namespace cp1252
