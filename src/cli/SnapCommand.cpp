#include "cli/SnapCommand.h"

#include "cli/CliSupport.h"
#include "io/Files.h"
#include "timing/ShotSnap.h"

namespace cli {

int cmdSnap(Context& c, const Args& a) {
    files::setReplaceReadOnly(a.flag("--force"));
    if (a.positional.size() != 2) throw UsageError{"expected a movie and a project file"};
    SnapOptions o;
    o.within = a.number("--within", o.within);
    o.gap = a.number("--gap", o.gap);
    const std::string& movie = a.positional[0];
    if (!c.loadSettings() || !c.loadProject(a.positional[1])) return BadInput;

    ShotList shots = loadOrDetectShots(movie, &detectShotChanges);
    if (!shots.error.empty()) return c.fail(shots.error);
    if (!shots.warning.empty()) c.err << "kalvero-cli: " << shots.warning << "\n";
    std::vector<int64_t> changes = shotChangeFrames(shots.changeSeconds, c.state.fps);
    SnapReport report = snapListToShots(c.state.list, c.state.fps, changes, o);
    c.recalculateTimings();
    if (!c.writeProject(a.get("-o"))) return BadInput;
    c.out << "moved " << report.moved << " of " << report.times << " times onto " << changes.size()
          << " shot changes" << (shots.fromCache ? " (kept from " + shotCachePath(movie) + ")" : std::string())
          << "\n";
    return Ok;
}

}  // namespace cli
