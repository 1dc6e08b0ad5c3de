#include "base/Utf8.h"

#include <cstdio>

#include "base/Cp1252.h"

namespace utf8 {

size_t validLength(std::string_view s, size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len;
    char32_t cp, min;
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) len = 2, cp = c & 0x1F, min = 0x80;
    else if ((c & 0xF0) == 0xE0) len = 3, cp = c & 0x0F, min = 0x800;
    else if ((c & 0xF8) == 0xF0) len = 4, cp = c & 0x07, min = 0x10000;
    else return 0;
    if (i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        const unsigned char d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

char32_t next(std::string_view s, size_t& i) {
    const size_t len = validLength(s, i);
    if (len == 0) {
        ++i;
        return kReplacement;
    }
    const unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += len;
    return cp;
}

void append(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

std::string encode(char32_t cp) {
    std::string s;
    append(s, cp);
    return s;
}

std::u32string decode(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) out += next(s, i);
    return out;
}

std::string encode(std::u32string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char32_t c : s) append(out, c);
    return out;
}

bool isValid(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const size_t len = validLength(s, i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

size_t length(std::string_view s) {
    size_t n = 0;
    for (size_t i = 0; i < s.size(); ++n) next(s, i);
    return n;
}

std::string sanitize(std::string_view s, size_t* replaced) {
    if (replaced) *replaced = 0;
    if (isValid(s)) return std::string(s);
    std::string out;
    out.reserve(s.size() + 8);
    for (size_t i = 0; i < s.size();) {
        const size_t len = validLength(s, i);
        if (len == 0) {
            append(out, kReplacement);
            if (replaced) ++*replaced;
            ++i;
        } else {
            out.append(s.substr(i, len));
            i += len;
        }
    }
    return out;
}

std::string fromLegacy(std::string_view s) {
    return isValid(s) ? std::string(s) : cp1252::toUtf8(s);
}

namespace {
std::string fromUtf16(std::string_view bytes, bool bigEndian) {
    auto unit = [&](size_t i) -> char32_t {
        const unsigned char a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (char32_t(a) << 8 | b) : (char32_t(b) << 8 | a);
    };
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t lo = unit(i + 2);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                append(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                i += 2;
                continue;
            }
        }
        append(out, u);  // an unpaired surrogate becomes U+FFFD
    }
    return out;
}

std::string fromUtf32(std::string_view bytes, bool bigEndian) {
    std::string out;
    for (size_t i = 0; i + 3 < bytes.size(); i += 4) {
        char32_t u = 0;
        for (size_t k = 0; k < 4; ++k) u = u << 8 | static_cast<unsigned char>(bytes[i + (bigEndian ? k : 3 - k)]);
        append(out, u);
    }
    return out;
}
}  // namespace

Decoded decodeTextFile(std::string_view bytes) {
    Decoded d;
    if (bytes.substr(0, 4) == std::string_view("\xFF\xFE\0\0", 4)) {
        d.text = fromUtf32(bytes.substr(4), false), d.converted = true;
    } else if (bytes.substr(0, 4) == std::string_view("\0\0\xFE\xFF", 4)) {
        d.text = fromUtf32(bytes.substr(4), true), d.converted = true;
    } else if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") {
        d.text = fromUtf16(bytes.substr(2), false), d.converted = true;
    } else if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFE\xFF") {
        d.text = fromUtf16(bytes.substr(2), true), d.converted = true;
    } else {
        std::string_view body = bytes;
        if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3), d.converted = true;
        bool multi = false, bad = false;
        for (size_t i = 0; i < body.size();) {
            const size_t len = validLength(body, i);
            if (len == 0) bad = true;
            if (len > 1) multi = true;
            i += len ? len : 1;
        }
        if (!bad) {
            d.text = std::string(body);
        } else if (!multi && !d.converted) {
            d.text = cp1252::toUtf8(body), d.converted = true, d.legacy = true;
        } else {
            int line = 1;
            for (size_t i = 0; i < body.size();) {
                const char c = body[i];
                const size_t len = validLength(body, i);
                if (len == 0) {
                    append(d.text, kReplacement);
                    if (d.badLines.empty() || d.badLines.back() != line) d.badLines.push_back(line);
                    ++i;
                    continue;
                }
                if (c == '\n' || (c == '\r' && !(i + 1 < body.size() && body[i + 1] == '\n'))) ++line;
                d.text.append(body.substr(i, len));
                i += len;
            }
        }
    }
    return d;
}

namespace {
char32_t lowerOf(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c % 2 ? c + 1 : c;
    if (c == 0x178) return 0xFF;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}
}  // namespace

std::string foldCase(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const size_t at = i;
        const size_t len = validLength(s, i);
        const char32_t c = next(s, i);
        const char32_t l = len ? lowerOf(c) : c;
        if (len && l != c && encode(l).size() == len) append(out, l);
        else out.append(s.substr(at, i - at));
    }
    return out;
}

std::string describe(char32_t cp) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", unsigned(cp));
    if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0)) return "control character (" + std::string(buf) + ")";
    return "\"" + encode(cp) + "\" (" + std::string(buf) + ")";
}

}  // namespace utf8
