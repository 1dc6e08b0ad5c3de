#include "app/ShotSnapping.h"

#include "app/Controller.h"
#include "app/MissingTiming.h"

SnapOutcome snapListToMovieShots(Controller& c, const std::string& moviePath, const ShotDetector& detect) {
    const ShotList shots = loadOrDetectShots(moviePath, detect);
    if (!shots.error.empty()) return {shots.error, true};
    AppState& s = c.state();
    const std::vector<int64_t> changes = shotChangeFrames(shots.changeSeconds, s.fps);
    const SnapReport report = snapListToShots(s.list, s.fps, changes, SnapOptions{});
    recalculateOffOn(s.list, s.fps, c.context().ui);
    c.listChanged();
    std::string text = "Snapped " + std::to_string(report.moved) + " of " + std::to_string(report.times) +
                       " times to " + std::to_string(changes.size()) + " shot changes";
    if (!shots.warning.empty()) return {text + "; " + shots.warning, true};
    return {text, false};
}
