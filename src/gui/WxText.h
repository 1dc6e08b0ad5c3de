#pragma once
#include <string>

#include <wx/string.h>

#include "base/Utf8.h"

// The program's text is UTF-8; names from older single-byte files (preset
// names in a settings file) are taken as Windows-1252 when they are not.
inline wxString toWx(const std::string& text) {
    return wxString::FromUTF8(utf8::fromLegacy(text));
}
inline wxString messageToWx(const std::string& text) {
    return toWx(text);
}
inline std::string fromWx(const wxString& s) {
    return std::string(s.utf8_str());
}
