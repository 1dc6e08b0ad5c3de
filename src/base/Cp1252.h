#pragma once
#include <string>
#include <string_view>

// Conversions between the model's single-byte Windows-1252 text and UTF-8,
// used only where text enters or leaves the program (GUI, imports, CLI).
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

}  // namespace cp1252
