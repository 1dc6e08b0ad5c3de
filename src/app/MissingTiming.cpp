#include "app/MissingTiming.h"

#include "app/Ui.h"

const char* const kMissingTimingTitle = "Warning!";
const char* const kMissingTimingText = "Script is missing timing information like:\nHH:MM:SS:FF>HH:MM:SS:FF";

int recalculateOffOn(SubtitleList& list, float fps, Ui& ui) {
    int missing = recalculateOffOn(list, fps);
    if (missing > 0) ui.messageBox(kMissingTimingTitle, kMissingTimingText);
    return missing;
}
