#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The program's text is UTF-8 everywhere. These helpers decode it, repair
// it and tell whether it still fits the single-byte Windows-1252 code page
// that older project files and the shipped font sheets use.
namespace utf8 {

constexpr char32_t kReplacement = 0xFFFD;
// The broken bar that stands for '|' in a line text (the project file's
// column separator).
inline constexpr std::string_view kBrokenBar = "\xC2\xA6";
// No-break space.
inline constexpr std::string_view kNoBreakSpace = "\xC2\xA0";

// Decodes the character at s[i] and moves i past it. An invalid sequence
// gives U+FFFD and moves i by one byte.
char32_t next(std::string_view s, size_t& i);
// Length of the valid sequence at s[i], 0 when invalid.
size_t validLength(std::string_view s, size_t i);

void append(std::string& out, char32_t cp);
std::string encode(char32_t cp);
std::u32string decode(std::string_view s);
std::string encode(std::u32string_view s);

bool isValid(std::string_view s);
// Characters (code points) in s; invalid bytes count one each.
size_t length(std::string_view s);

// Every invalid byte sequence replaced with U+FFFD.
std::string sanitize(std::string_view s, size_t* replaced = nullptr);

// Text that may be UTF-8 or single-byte Windows-1252 (settings files,
// names from older files): valid UTF-8 is kept, anything else is read as
// Windows-1252.
std::string fromLegacy(std::string_view s);

// The bytes of a text file read as UTF-8: byte-order marks of UTF-8, UTF-16
// and UTF-32 are honoured and converted; bytes without a mark are UTF-8 when
// they are valid UTF-8 or hold any valid multi-byte sequence (then every
// invalid byte becomes U+FFFD and its line number, from 1, is listed in
// `badLines`); bytes with no multi-byte sequence at all are single-byte
// Windows-1252 text, as older tools write it. `converted` tells that the
// text was not plain ASCII or UTF-8 without a mark.
struct Decoded {
    std::string text;
    bool converted = false;
    bool legacy = false;          // read as Windows-1252
    std::vector<int> badLines;    // lines (from 1) with invalid UTF-8, each once
};
Decoded decodeTextFile(std::string_view bytes);

// Lower case of the letters of the Latin, Greek and Cyrillic alphabets
// whose two cases take the same number of bytes; the text keeps its length
// and byte positions, so matches found in it lie at the same places in s.
std::string foldCase(std::string_view s);

// A character for messages: "\"Ł\" (U+0141)", or "control character (U+0001)".
std::string describe(char32_t cp);

}  // namespace utf8
