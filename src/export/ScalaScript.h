#pragma once
#include <string>
#include <vector>

#include "export/SetSchedule.h"

class SubtitleList;


// The Scala versions the IFF export can target (index of the version list).
enum ScalaTarget : int {
    ScalaIc500 = 0,
    ScalaMm400 = 1,
    ScalaMm300 = 2,
    ScalaMm200 = 3,
    ScalaV1 = 4,
    Scala500V1 = 5,
};

// Entries of the version list, index = ScalaTarget.
extern const char* const kScalaVersionEntries[6];
// True for the versions the export supports (0 to 3).
bool scalaTargetSupported(int target);

extern const char* const kScalaInfoTitle;  // "Info"
extern const char* const kScalaInfoText;   // the whole-second note of MM200

// Timing of sets 0 .. rows div 2 - 1, read from the "OFF+ON" column of each
// set's line A row.
std::vector<SetTiming> setTimings(const SubtitleList& list);

// Pause value of f frames at fps: seconds with three decimals for targets
// 0 to 2; whole seconds (at least 1) for target 3, rounded up from .50 and,
// for a blank gap, otherwise one second shorter. fps must be above 0.
std::string scalaPause(long long frames, float fps, int target, bool blank);

struct ScalaScript {
    bool ok = false;
    std::string error;  // when !ok
    std::string text;   // the script, lines ending with a line feed only
    // Target 3 cannot time frames: the caller shows kScalaInfoTitle /
    // kScalaInfoText before writing anything.
    bool showInfo = false;
};

// The whole script: header, the poster event, the StandBy event, one Slide
// event per set with a Blank event between sets, and the Exit event. The
// pauses follow the schedule of the sets (export/SetSchedule.h): a set left
// out of it has no Slide event.
// `name` is the shortened project name; it is cut to 16 characters here.
// `pictured`, when given, marks the sets that have a picture (one entry per
// set); the others have no Slide event either.
ScalaScript buildScalaScript(const std::vector<SetTiming>& sets, float fps, int width, int height,
                             const std::string& name, int target, const std::vector<bool>& pictured = {});
