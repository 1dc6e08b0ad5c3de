#pragma once
#include <string>

// The language of a subtitle track as an ISO 639 code. Users give two
// letters (ISO 639-1, "fr") or three (ISO 639-2, "fre" or "fra"; "und" when
// the language is not told); each format is written the form it takes.
namespace language {

constexpr const char* kUndetermined = "und";

// Empty when `code` can name a track's language: two or three lowercase
// letters, two of them an ISO 639-1 code. Otherwise the reason, for the user.
std::string refusal(const std::string& code);

// ISO 639-2 (the bibliographic form where the two differ): "fr" and "fra"
// give "fre"; three letters without a two-letter code stay as they are.
std::string threeLetter(const std::string& code);

// ISO 639-1 where the language has one ("fre" and "fra" give "fr");
// otherwise the code as it is ("und").
std::string twoLetter(const std::string& code);

}  // namespace language
