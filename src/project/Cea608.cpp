#include "project/Cea608.h"

#include <algorithm>
#include <cmath>

namespace cea608 {
namespace {

// Basic bytes that differ from ASCII, as Windows-1252 (0 where there is
// none: the solid block).
struct Remap {
    uint8_t byte;
    unsigned char cp1252;
};
constexpr Remap kBasic[] = {{0x2A, 0xE1}, {0x5C, 0xE9}, {0x5E, 0xED}, {0x5F, 0xF3}, {0x60, 0xFA},
                            {0x7B, 0xE7}, {0x7C, 0xF7}, {0x7D, 0xD1}, {0x7E, 0xF1}, {0x7F, 0}};

// Special characters (0x11 0x30..0x3F); 0 for the music note and the
// transparent space.
constexpr unsigned char kSpecial[16] = {0xAE, 0xB0, 0xBD, 0xBF, 0x99, 0xA2, 0xA3, 0,
                                        0xE0, 0,    0xE8, 0xE2, 0xEA, 0xEE, 0xF4, 0xFB};

// Extended characters (0x12 / 0x13, 0x20..0x3F); 0 for those Windows-1252
// lacks (service mark, box corners).
constexpr unsigned char kExtended[2][32] = {
    {0xC1, 0xC9, 0xD3, 0xDA, 0xDC, 0xFC, 0x91, 0xA1, '*',  '\'', 0x97, 0xA9, 0,    0x95, 0x93, 0x94,
     0xC0, 0xC2, 0xC7, 0xC8, 0xCA, 0xCB, 0xEB, 0xCE, 0xCF, 0xEF, 0xD4, 0xD9, 0xF9, 0xDB, 0xAB, 0xBB},
    {0xC3, 0xE3, 0xCD, 0xCC, 0xEC, 0xD2, 0xF2, 0xD5, 0xF5, '{',  '}',  '\\', '^',  '_',  '|',  '~',
     0xC4, 0xE4, 0xD6, 0xF6, 0xDF, 0xA5, 0xA4, 0xA6, 0xC5, 0xE5, 0xD8, 0xF8, 0,    0,    0,    0},
};

// Stand-ins for what the caption set lacks.
struct Near {
    unsigned char c;
    const char* text;
};
constexpr Near kNear[] = {
    {0x80, "EUR"}, {0x82, "'"},  {0x83, "f"},  {0x84, "\x93"}, {0x85, "..."}, {0x86, "+"},  {0x87, "+"},
    {0x88, "^"},   {0x89, "%"},  {0x8A, "S"},  {0x8B, "<"},    {0x8C, "OE"},  {0x8E, "Z"},  {0x92, "'"},
    {0x96, "-"},   {0x98, "~"},  {0x9A, "s"},  {0x9B, ">"},    {0x9C, "oe"},  {0x9E, "z"},  {0x9F, "Y"},
    {0xA0, " "},   {0xA7, "S"},  {0xA8, "\""}, {0xAA, "a"},    {0xAC, "-"},   {0xAD, "-"},  {0xAF, "-"},
    {0xB1, "+-"},  {0xB2, "2"},  {0xB3, "3"},  {0xB4, "'"},    {0xB5, "u"},   {0xB6, "P"},  {0xB7, "."},
    {0xB8, ","},   {0xB9, "1"},  {0xBA, "o"},  {0xBC, "1/4"},  {0xBE, "3/4"}, {0xC6, "AE"}, {0xD0, "D"},
    {0xD7, "x"},   {0xDD, "Y"},  {0xDE, "Th"}, {0xE6, "ae"},   {0xF0, "d"},   {0xFD, "y"},  {0xFE, "th"},
    {0xFF, "y"},
};

// The plain letter under an accent, as decoders without the extended
// characters show it.
uint8_t standIn(unsigned char c) {
    static const char* const kFrom = "\xC0\xC1\xC2\xC3\xC4\xC5\xC7\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF\xD2\xD3\xD4\xD5\xD6"
                                     "\xD8\xD9\xDA\xDB\xDC\xE3\xE4\xE5\xEB\xEC\xEF\xF2\xF5\xF6\xF8\xF9\xFC\xDF";
    static const char* const kTo = "AAAAAACEEEEIIIIOOOOOOUUUUaaaeiioooouus";
    for (int i = 0; kFrom[i]; ++i)
        if (static_cast<unsigned char>(kFrom[i]) == c) return uint8_t(kTo[i]);
    switch (c) {
        case '{': return '(';
        case '}': return ')';
        case '\\': return '/';
        case '|': return '!';
        case '~': return '-';
        case '_': return '-';
        case '^': return '\'';
        case '*': return '.';
        default: return c < 0x80 ? uint8_t(c) : uint8_t('\'');
    }
}

}  // namespace

uint8_t withParity(uint8_t b) {
    b &= 0x7F;
    int ones = 0;
    for (int i = 0; i < 7; ++i) ones += (b >> i) & 1;
    return ones % 2 == 0 ? uint8_t(b | 0x80) : b;
}

bool parityOk(uint8_t b) {
    int ones = 0;
    for (int i = 0; i < 8; ++i) ones += (b >> i) & 1;
    return ones % 2 == 1;
}

Coded encode(unsigned char c) {
    Coded r;
    if (c >= 0x20 && c < 0x7F) {
        bool remapped = false;
        for (const Remap& m : kBasic) remapped = remapped || m.byte == c;
        if (!remapped) {
            r.basic = c;
            return r;
        }
    }
    for (const Remap& m : kBasic)
        if (m.cp1252 != 0 && m.cp1252 == c) {
            r.basic = m.byte;
            return r;
        }
    for (int i = 0; i < 16; ++i)
        if (kSpecial[i] != 0 && kSpecial[i] == c) {
            r.kind = Coded::Special;
            r.hi = 0x11;
            r.lo = uint8_t(0x30 + i);
            return r;
        }
    for (int set = 0; set < 2; ++set)
        for (int i = 0; i < 32; ++i)
            if (kExtended[set][i] != 0 && kExtended[set][i] == c) {
                r.kind = Coded::Extended;
                r.hi = uint8_t(0x12 + set);
                r.lo = uint8_t(0x20 + i);
                r.basic = standIn(c);
                return r;
            }
    r.kind = Coded::Near;
    r.nearText = "?";
    for (const Near& n : kNear)
        if (n.c == c) r.nearText = n.text;
    if (c < 0x20) r.nearText = " ";
    return r;
}

std::string decodeBasic(uint8_t b, std::string* nearest) {
    b &= 0x7F;
    for (const Remap& m : kBasic)
        if (m.byte == b) {
            if (m.cp1252 != 0) return std::string(1, char(m.cp1252));
            if (nearest) *nearest = "#";
            return "";
        }
    if (b < 0x20) return "";
    return std::string(1, char(b));
}

std::string decodeTwoByte(uint8_t hi, uint8_t lo, std::string* nearest) {
    hi &= 0x7F;
    lo &= 0x7F;
    unsigned char c = 0;
    if (hi == 0x11 && lo >= 0x30 && lo <= 0x3F) {
        c = kSpecial[lo - 0x30];
        if (c == 0 && nearest) *nearest = lo == 0x37 ? "#" : " ";
    } else if ((hi == 0x12 || hi == 0x13) && lo >= 0x20 && lo <= 0x3F) {
        c = kExtended[hi - 0x12][lo - 0x20];
        if (c == 0 && nearest) *nearest = hi == 0x12 ? "SM" : "+";
    }
    return c ? std::string(1, char(c)) : std::string();
}

void preambleBase(int row, uint8_t& hi, uint8_t& lo) {
    static const uint8_t kHi[16] = {0, 0x11, 0x11, 0x12, 0x12, 0x15, 0x15, 0x16, 0x16, 0x17, 0x17, 0x10, 0x13, 0x13, 0x14, 0x14};
    static const uint8_t kLo[16] = {0, 0x40, 0x60, 0x40, 0x60, 0x40, 0x60, 0x40, 0x60, 0x40, 0x60, 0x40, 0x40, 0x60, 0x40, 0x60};
    if (row < 1 || row > 15) row = 15;
    hi = kHi[row];
    lo = kLo[row];
}

int preambleRow(uint8_t hi, uint8_t lo) {
    hi &= 0x7F;
    lo &= 0x7F;
    if (hi < 0x10 || hi > 0x17 || lo < 0x40) return 0;
    for (int row = 1; row <= 15; ++row) {
        uint8_t h, l;
        preambleBase(row, h, l);
        if (h == hi && lo >= l && lo < l + 0x20) return row;
    }
    return 0;
}

int rowOfBottom(int bottom, int height, int rows) {
    if (height <= 0) return 15;
    const double v = (double(bottom) / height - 0.1) * 15.0 / 0.8;
    const int row = int(std::ceil(v - 1e-6));
    return std::clamp(row, std::clamp(rows, 1, 15), 15);
}

int bottomOfRow(int row, int height) { return int(std::lround((row / 15.0 * 0.8 + 0.1) * height)); }

}  // namespace cea608
