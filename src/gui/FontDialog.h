#pragma once
#include <optional>
#include <string>
#include <vector>

#include <wx/window.h>

// The font chooser of the strips box: a search field over the installed
// families and the shipped font sheets as the first choice. Return in the
// search field takes the first family that matches. "" stands for the
// shipped sheets; nothing when cancelled.
std::optional<std::string> runFontDialog(wxWindow* parent, const std::vector<std::string>& families,
                                         const std::string& current);
