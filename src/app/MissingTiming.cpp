#include "app/MissingTiming.h"

#include "app/Ui.h"

const char* const kMissingTimingTitle = "Warning!";
const char* const kMissingTimingText = "Some sets have no complete time codes yet: each set needs an ON and an OFF time, written "
    "HH:MM:SS:FF>HH:MM:SS:FF.\nTheir OFF+ON counts stay empty until they are timed.";

int recalculateOffOn(SubtitleList& list, float fps, Ui& ui) {
    int missing = recalculateOffOn(list, fps);
    if (missing > 0) ui.messageBox(kMissingTimingTitle, kMissingTimingText);
    return missing;
}
