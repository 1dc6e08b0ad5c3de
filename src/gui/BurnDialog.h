#pragma once
#include <optional>
#include <string>

class wxWindow;

// What "Burn into movie..." asks for: the movie, the new file and the
// H.264 settings.
struct BurnChoice {
    std::string movie, output;
    int crf = 18;
    std::string preset = "medium";
};

// "Burn into movie": picks the movie and the new file (.mp4 or .mkv), CRF
// and preset; shows the movie's size and says when the captions will be
// scaled to it. `last` is preselected. Nothing when the user cancels.
std::optional<BurnChoice> chooseBurn(wxWindow* parent, int projectWidth, int projectHeight, const BurnChoice& last);
