#pragma once
#include <string>

#include <wx/string.h>

#include "base/Cp1252.h"

// Text crosses into wxWidgets as UTF-8 and comes back as Windows-1252.
inline wxString toWx(const std::string& single) {
    return wxString::FromUTF8(cp1252::toUtf8(single));
}
// Message texts mix single-byte text with file paths, which are UTF-8 on
// this system: a text that is valid UTF-8 with multi-byte characters is
// shown as it is, so "café" in a path does not turn into "cafÃ©".
inline wxString messageToWx(const std::string& text) {
    return cp1252::looksLikeUtf8(text) ? wxString::FromUTF8(text) : toWx(text);
}
inline std::string fromWx(const wxString& s) {
    return cp1252::fromUtf8(std::string(s.utf8_str()));
}
