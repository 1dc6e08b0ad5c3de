#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The character sets of the broadcast subtitle files next to the model's
// single-byte Windows-1252 text: the Latin table of ISO 6937 (text of EBU
// subtitle lists, accents as a non-spacing diacritic byte followed by the
// letter) and code page 850 (their header fields).
namespace broadcasttext {

// What a conversion could not carry over exactly.
struct Losses {
    int replaced = 0;        // characters written as a near one ("..." for the ellipsis)
    std::string examples;    // the first few of them, as UTF-8 text, each once
    void add(std::string_view original);
};

// Windows-1252 text as ISO 6937 bytes. A character the Latin table lacks
// becomes its nearest (en dash '-', ellipsis "...", euro "EUR") and is
// counted in `losses`.
std::string iso6937FromCp1252(std::string_view text, Losses* losses = nullptr);

// One ISO 6937 character starting at s[i] (a diacritic byte takes the letter
// after it too) as Windows-1252 text; `used` gets the bytes it took. A
// character Windows-1252 cannot hold becomes its nearest ('L' for the
// barred L, "ij", the letter without its accent) and is counted.
std::string cp1252FromIso6937At(std::string_view s, size_t i, size_t& used, Losses* losses = nullptr);

// The program's UTF-8 text as Windows-1252 for the tables above: a
// character the code page lacks becomes '?' and is counted in `losses`.
std::string cp1252FromUtf8(std::string_view utf8, Losses* losses = nullptr);

// UTF-8 (or Windows-1252 when not valid UTF-8) as code page 850; what the
// code page lacks becomes '?'.
std::string cp850FromText(std::string_view text);

// Unicode code point of a Windows-1252 byte (0 for the five unassigned ones).
uint32_t cp1252CodePoint(unsigned char byte);

}  // namespace broadcasttext
