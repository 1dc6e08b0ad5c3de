#pragma once
#include <string>

#include <wx/string.h>

#include "base/Cp1252.h"

// Text crosses into wxWidgets as UTF-8 and comes back as Windows-1252.
inline wxString toWx(const std::string& single) {
    return wxString::FromUTF8(cp1252::toUtf8(single));
}
inline std::string fromWx(const wxString& s) {
    return cp1252::fromUtf8(std::string(s.utf8_str()));
}
