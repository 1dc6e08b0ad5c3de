#pragma once
#include <string>

#include "timing/ShotSnap.h"

class Controller;

// What "Snap to Shots" has to say in the timing window.
struct SnapOutcome {
    std::string text;
    bool problem = false;
};

// Moves every ON and OFF of the list near a shot change of the movie onto it
// (the shot changes come from the movie's cache, or `detect` finds them).
// The timing window offers it, so it is part of the Record Timings step.
SnapOutcome snapListToMovieShots(Controller& c, const std::string& moviePath, const ShotDetector& detect);
