#pragma once
#include <string>

// Test hook: with the environment variable KALVERO_TIMING_LOG naming a file,
// the timing window, the recorder and the movie player append one line per
// event to it: the X stamps of the Space key, each step recorded, and each
// setting of the movie clock. The real-window tests check recorded times
// against these instead of against how fast the screen follows, and wait on
// the lines instead of sleeping. Without the variable nothing is written.
bool timingLogOn();
void timingLog(const std::string& line);
