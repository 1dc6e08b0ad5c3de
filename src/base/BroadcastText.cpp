#include "base/BroadcastText.h"

#include "base/Cp1252.h"
#include "base/Utf8.h"

namespace broadcasttext {
namespace {

constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

constexpr uint16_t kCp850High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC,
    0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00F8,
    0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE,
    0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C,
    0x00E3, 0x00C3, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB,
    0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, 0x00D3, 0x00DF,
    0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8, 0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2,
    0x25A0, 0x00A0,
};

// The spacing characters of the Latin table (0xA0..0xFF without the
// diacritics 0xC1..0xCF) and their code points.
struct Direct {
    unsigned char byte;
    uint16_t cp;
};
constexpr Direct kDirect[] = {
    {0xA1, 0x00A1}, {0xA2, 0x00A2}, {0xA3, 0x00A3}, {0xA5, 0x00A5}, {0xA7, 0x00A7}, {0xA8, 0x00A4},
    {0xA9, 0x2018}, {0xAA, 0x201C}, {0xAB, 0x00AB}, {0xAC, 0x2190}, {0xAD, 0x2191}, {0xAE, 0x2192},
    {0xAF, 0x2193}, {0xB0, 0x00B0}, {0xB1, 0x00B1}, {0xB2, 0x00B2}, {0xB3, 0x00B3}, {0xB4, 0x00D7},
    {0xB5, 0x00B5}, {0xB6, 0x00B6}, {0xB7, 0x00B7}, {0xB8, 0x00F7}, {0xB9, 0x2019}, {0xBA, 0x201D},
    {0xBB, 0x00BB}, {0xBC, 0x00BC}, {0xBD, 0x00BD}, {0xBE, 0x00BE}, {0xBF, 0x00BF}, {0xD0, 0x2014},
    {0xD1, 0x00B9}, {0xD2, 0x00AE}, {0xD3, 0x00A9}, {0xD4, 0x2122}, {0xD5, 0x266A}, {0xD6, 0x00AC},
    {0xD7, 0x00A6}, {0xDC, 0x215B}, {0xDD, 0x215C}, {0xDE, 0x215D}, {0xDF, 0x215E}, {0xE0, 0x2126},
    {0xE1, 0x00C6}, {0xE2, 0x0110}, {0xE3, 0x00AA}, {0xE4, 0x0126}, {0xE6, 0x0132}, {0xE7, 0x013F},
    {0xE8, 0x0141}, {0xE9, 0x00D8}, {0xEA, 0x0152}, {0xEB, 0x00BA}, {0xEC, 0x00DE}, {0xED, 0x0166},
    {0xEE, 0x014A}, {0xEF, 0x0149}, {0xF0, 0x0138}, {0xF1, 0x00E6}, {0xF2, 0x0111}, {0xF3, 0x00F0},
    {0xF4, 0x0127}, {0xF5, 0x0131}, {0xF6, 0x0133}, {0xF7, 0x0140}, {0xF8, 0x0142}, {0xF9, 0x00F8},
    {0xFA, 0x0153}, {0xFB, 0x00DF}, {0xFC, 0x00FE}, {0xFD, 0x0167}, {0xFE, 0x014B}, {0xFF, 0x00AD},
};

// Accented letters: diacritic byte and the letter it stands over.
struct Accented {
    uint16_t cp;
    unsigned char diacritic;
    char letter;
};
constexpr Accented kAccented[] = {
    {0x00C0, 0xC1, 'A'}, {0x00C8, 0xC1, 'E'}, {0x00CC, 0xC1, 'I'}, {0x00D2, 0xC1, 'O'}, {0x00D9, 0xC1, 'U'},
    {0x00E0, 0xC1, 'a'}, {0x00E8, 0xC1, 'e'}, {0x00EC, 0xC1, 'i'}, {0x00F2, 0xC1, 'o'}, {0x00F9, 0xC1, 'u'},
    {0x00C1, 0xC2, 'A'}, {0x00C9, 0xC2, 'E'}, {0x00CD, 0xC2, 'I'}, {0x00D3, 0xC2, 'O'}, {0x00DA, 0xC2, 'U'},
    {0x00DD, 0xC2, 'Y'}, {0x00E1, 0xC2, 'a'}, {0x00E9, 0xC2, 'e'}, {0x00ED, 0xC2, 'i'}, {0x00F3, 0xC2, 'o'},
    {0x00FA, 0xC2, 'u'}, {0x00FD, 0xC2, 'y'}, {0x00C2, 0xC3, 'A'}, {0x00CA, 0xC3, 'E'}, {0x00CE, 0xC3, 'I'},
    {0x00D4, 0xC3, 'O'}, {0x00DB, 0xC3, 'U'}, {0x00E2, 0xC3, 'a'}, {0x00EA, 0xC3, 'e'}, {0x00EE, 0xC3, 'i'},
    {0x00F4, 0xC3, 'o'}, {0x00FB, 0xC3, 'u'}, {0x00C3, 0xC4, 'A'}, {0x00D1, 0xC4, 'N'}, {0x00D5, 0xC4, 'O'},
    {0x00E3, 0xC4, 'a'}, {0x00F1, 0xC4, 'n'}, {0x00F5, 0xC4, 'o'}, {0x00C4, 0xC8, 'A'}, {0x00CB, 0xC8, 'E'},
    {0x00CF, 0xC8, 'I'}, {0x00D6, 0xC8, 'O'}, {0x00DC, 0xC8, 'U'}, {0x0178, 0xC8, 'Y'}, {0x00E4, 0xC8, 'a'},
    {0x00EB, 0xC8, 'e'}, {0x00EF, 0xC8, 'i'}, {0x00F6, 0xC8, 'o'}, {0x00FC, 0xC8, 'u'}, {0x00FF, 0xC8, 'y'},
    {0x00C5, 0xCA, 'A'}, {0x00E5, 0xCA, 'a'}, {0x00C7, 0xCB, 'C'}, {0x00E7, 0xCB, 'c'}, {0x0160, 0xCF, 'S'},
    {0x0161, 0xCF, 's'}, {0x017D, 0xCF, 'Z'}, {0x017E, 0xCF, 'z'},
};

// Windows-1252's spacing accents: the diacritic over a space.
constexpr Direct kSpacingAccents[] = {
    {0xC2, 0x00B4}, {0xC3, 0x02C6}, {0xC4, 0x02DC}, {0xC5, 0x00AF}, {0xC8, 0x00A8}, {0xCB, 0x00B8},
};

// Near forms of what one side lacks.
struct Near {
    uint32_t cp;
    const char* text;  // plain ASCII, or a single Windows-1252 byte
};
constexpr Near kNearIn6937[] = {
    {0x20AC, "EUR"}, {0x201A, ","}, {0x0192, "f"}, {0x201E, "\""}, {0x2026, "..."}, {0x2020, "+"},
    {0x2021, "+"},   {0x2030, "%"}, {0x2039, "<"}, {0x203A, ">"},  {0x2022, "\xB7"}, {0x2013, "-"},
};
constexpr Near kNearIn1252[] = {
    {0x2190, "<"},   {0x2191, "^"},   {0x2192, ">"},   {0x2193, "v"},  {0x266A, "#"},  {0x215B, "1/8"},
    {0x215C, "3/8"}, {0x215D, "5/8"}, {0x215E, "7/8"}, {0x2126, "O"},  {0x0110, "\xD0"}, {0x0126, "H"},
    {0x0132, "IJ"},  {0x013F, "L"},   {0x0141, "L"},   {0x0166, "T"},  {0x014A, "N"},  {0x0149, "'n"},
    {0x0138, "k"},   {0x0111, "d"},   {0x0127, "h"},   {0x0131, "i"},  {0x0133, "ij"}, {0x0140, "l"},
    {0x0142, "l"},   {0x0167, "t"},   {0x014B, "n"},
};

int cp1252ByteOf(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return int(cp);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] != 0 && kCp1252High[i] == cp) return 0x80 + i;
    return -1;
}

}  // namespace

void Losses::add(std::string_view original) {
    ++replaced;
    if (examples.size() < 40 && examples.find(original) == std::string::npos)
        examples += (examples.empty() ? "" : " ") + std::string(original);
}

uint32_t cp1252CodePoint(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return kCp1252High[byte - 0x80];
    return byte;
}

std::string iso6937FromCp1252(std::string_view text, Losses* losses) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char ch : text) {
        const unsigned char b = static_cast<unsigned char>(ch);
        if (b < 0x20 || b == 0x7F || b == 0xA0) {
            out += ' ';
            continue;
        }
        if (b < 0x80) {
            out += char(b);
            continue;
        }
        const uint32_t cp = cp1252CodePoint(b);
        bool done = false;
        for (const Direct& d : kDirect)
            if (d.cp == cp || (cp == 0x00D0 && d.cp == 0x0110)) {
                out += char(d.byte);
                done = true;
                break;
            }
        for (size_t k = 0; !done && k < std::size(kAccented); ++k)
            if (kAccented[k].cp == cp) {
                out += char(kAccented[k].diacritic);
                out += kAccented[k].letter;
                done = true;
            }
        for (size_t k = 0; !done && k < std::size(kSpacingAccents); ++k)
            if (kSpacingAccents[k].cp == cp) {
                out += char(kSpacingAccents[k].byte);
                out += ' ';
                done = true;
            }
        if (done) continue;
        const char* near = "?";
        for (const Near& n : kNearIn6937)
            if (n.cp == cp) near = n.text;
        if (std::string_view(near) == "\xB7") out += char(0xB7);
        else out += near;
        if (losses) losses->add(cp1252::toUtf8(std::string(1, ch)));
    }
    return out;
}

std::string cp1252FromIso6937At(std::string_view s, size_t i, size_t& used, Losses* losses) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    used = 1;
    if (b >= 0x20 && b < 0x7F) return std::string(1, char(b));
    if (b == 0xA0) return " ";
    if (b == 0xA4) return "$";  // older editions of the table
    if (b == 0xA6) return "#";
    auto lost = [&](std::string_view original, std::string replacement) {
        if (losses) losses->add(original);
        return replacement;
    };
    if (b >= 0xC1 && b <= 0xCF) {
        if (i + 1 >= s.size()) return lost("?", "");
        const char letter = s[i + 1];
        used = 2;
        if (letter == ' ')
            for (const Direct& d : kSpacingAccents)
                if (d.byte == b) return std::string(1, char(cp1252ByteOf(d.cp)));
        for (const Accented& a : kAccented)
            if (a.diacritic == b && a.letter == letter) return std::string(1, char(cp1252ByteOf(a.cp)));
        // A letter with an accent Windows-1252 has not: the letter alone.
        const unsigned char l = static_cast<unsigned char>(letter);
        if (l >= 0x20 && l < 0x7F) return lost(std::string(1, letter), std::string(1, letter));
        used = 1;
        return lost("?", "");
    }
    for (const Direct& d : kDirect)
        if (d.byte == b) {
            const int c = cp1252ByteOf(d.cp);
            if (c >= 0) return std::string(1, char(c));
            for (const Near& n : kNearIn1252)
                if (n.cp == d.cp) return lost(n.text, n.text);
        }
    return lost("?", "?");
}

std::string cp1252FromUtf8(std::string_view text, Losses* losses) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t at = i;
        const char32_t cp = utf8::next(text, i);
        const int b = cp1252::byteOf(cp);
        if (b >= 0) {
            out += char(b);
            continue;
        }
        out += '?';
        if (losses) losses->add(text.substr(at, i - at));
    }
    return out;
}

std::string cp850FromText(std::string_view text) {
    const std::string single = cp1252::fromUtf8(utf8::fromLegacy(text));
    std::string out;
    for (char ch : single) {
        const unsigned char b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            out += b < 0x20 ? ' ' : ch;
            continue;
        }
        const uint32_t cp = cp1252CodePoint(b);
        char found = '?';
        for (int k = 0; k < 128; ++k)
            if (kCp850High[k] == cp) found = char(0x80 + k);
        out += found;
    }
    return out;
}

}  // namespace broadcasttext
