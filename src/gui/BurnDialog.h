#pragma once
#include <optional>
#include <string>

class wxWindow;

#include "export/BurnIn.h"

// "Burn into movie": picks the movie and the new file (.mp4 or .mkv), CRF
// and preset; shows the movie's size and says when the captions will be
// scaled to it. `last` is preselected. Nothing when the user cancels.
std::optional<BurnSettings> chooseBurn(wxWindow* parent, int projectWidth, int projectHeight, const BurnSettings& last);
