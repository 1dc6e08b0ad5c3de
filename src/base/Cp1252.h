#pragma once
#include <string>
#include <string_view>

// Conversions between single-byte Windows-1252 text (older project files,
// the shipped font sheets, broadcast formats) and the program's UTF-8.
namespace cp1252 {

// Characters Windows-1252 cannot hold become '?'. Invalid UTF-8 bytes are
// taken as Windows-1252 bytes as they stand.
std::string fromUtf8(std::string_view utf8);
std::string toUtf8(std::string_view single);
// UTF-16 (without its byte-order mark) to Windows-1252; unpaired surrogates
// and characters it cannot hold become '?'.
std::string fromUtf16(std::string_view bytes, bool bigEndian);
// UTF-32 (without its byte-order mark) to Windows-1252, likewise.
std::string fromUtf32(std::string_view bytes, bool bigEndian);

// True when the bytes are valid UTF-8 and hold at least one multi-byte
// sequence (so they cannot be plain single-byte text that happens to be ASCII).
bool looksLikeUtf8(std::string_view bytes);

// The Windows-1252 byte of a character, -1 when the code page has none.
int byteOf(char32_t cp);
// True when the UTF-8 text is valid and every character has a Windows-1252
// byte, so that fromUtf8 and toUtf8 take it there and back unchanged.
bool fits(std::string_view utf8);

}  // namespace cp1252
