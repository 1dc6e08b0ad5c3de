#pragma once
#include "project/SubtitleList.h"

class Ui;

// The warning shown when sets lack complete time codes.
extern const char* const kMissingTimingTitle;  // "Warning!"
extern const char* const kMissingTimingText;

// Recomputes the "OFF+ON" column like recalculateOffOn(list, fps) and tells
// the user once when sets lack timing. Returns the number of such sets.
int recalculateOffOn(SubtitleList& list, float fps, Ui& ui);
