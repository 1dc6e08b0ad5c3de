#pragma once
#include <cstdint>
#include <string>

// The characters of line-21 captions (channel 1) next to Windows-1252.
namespace cea608 {

// One byte with odd parity in bit 7.
uint8_t withParity(uint8_t b);
bool parityOk(uint8_t b);

// How a Windows-1252 character is sent.
struct Coded {
    enum Kind { Basic, Special, Extended, Near } kind = Basic;
    uint8_t basic = 0;         // Basic: the byte; Extended: the stand-in shown by decoders without them
    uint8_t hi = 0, lo = 0;    // Special and Extended: the two-byte code (no parity)
    std::string nearText;      // Near: Windows-1252 text made of characters that can be sent
};
Coded encode(unsigned char c);

// The Windows-1252 text of a basic byte, a special (hi 0x11) or an
// extended (hi 0x12, 0x13) code; "" when the character has none (then
// `nearest` gets a stand-in, "?" at worst).
std::string decodeBasic(uint8_t b, std::string* nearest = nullptr);
std::string decodeTwoByte(uint8_t hi, uint8_t lo, std::string* nearest = nullptr);

// Rows 1-15: the first byte (channel 1) and the second byte's base of a
// preamble address code, and the row of a code.
void preambleBase(int row, uint8_t& hi, uint8_t& lo);
int preambleRow(uint8_t hi, uint8_t lo);  // 0 when no preamble address code

// The last row (1..15) of a caption whose last line's bottom is at pixel
// row `bottom` (the rows cover the picture from a tenth to nine tenths of
// its height), at least `rows` so that all rows fit; and the bottom pixel
// row of a row.
int rowOfBottom(int bottom, int height, int rows);
int bottomOfRow(int row, int height);

}  // namespace cea608
