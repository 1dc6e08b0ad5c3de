#include "export/ScalaScript.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "export/ExportNames.h"
#include "project/SubtitleList.h"
#include "base/Text.h"

const char* const kScalaVersionEntries[6] = {
    "Supported: Scala InfoChannel IC500 (1994)",
    "Supported: Scala MultiMedia MM400 (1994)",
    "Supported: Scala MultiMedia MM300 (1993)",
    "Warning: Scala MultiMedia MM200 (1992) - No FPS (SS:FF) support!",
    "Not supported: Scala v1.0/v1.1 (1991) - Resolution / SS:FF issue!",
    "Not supported: Scala500 v1.0 (1991) - Resolution / SS:FF issue!",
};

const char* const kScalaInfoTitle = "Info";
const char* const kScalaInfoText =
    "Please note that this version of Scala does not support\nSS:FF (Seconds:Frames) !\n\n"
    "Will automatically round timing to nearest second.\n"
    "Lowest value will however always become 1 second, either way!";

bool scalaTargetSupported(int target) {
    return target >= ScalaIc500 && target <= ScalaMm200;
}

std::vector<SetTiming> setTimings(const SubtitleList& list) {
    return setTimings(list, list.lineCount() / 2);
}

std::string scalaPause(long long frames, float fps, int target, bool blank) {
    // The seconds in single precision, written with two decimals.
    const float t = float(frames) / fps;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", double(t));
    std::string written = buffer;
    const size_t dot = written.find('.');
    const std::string whole = dot == std::string::npos ? written : written.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? "00" : written.substr(dot + 1, 2);
    const long long s = std::strtoll(whole.c_str(), nullptr, 10);  // "-0" reads as 0
    const int hundredths = std::atoi(fraction.c_str());

    if (target == ScalaMm200) {
        long long pause = hundredths >= 50 ? s + 1 : (blank ? s - 1 : s);
        if (pause <= 0) pause = 1;
        return std::to_string(pause);
    }
    return std::to_string(s) + "." + text::padded(hundredths * 10, 3);
}

namespace {

void line(std::string& out, const std::string& s) {
    out += s;
    out += '\n';
}

}  // namespace

ScalaScript buildScalaScript(const std::vector<SetTiming>& sets, float fps, int width, int height,
                             const std::string& name, int target, const std::vector<bool>& pictured) {
    ScalaScript script;
    if (!scalaTargetSupported(target)) {
        script.error = "This version of Scala is not supported.";
        return script;
    }
    if (!(fps > 0.0f) || !std::isfinite(fps)) {
        script.error = "The project has no valid frame rate.";
        return script;
    }
    script.showInfo = target == ScalaMm200;

    const std::string shortName = exportnames::name16(name);
    const std::string blankScreen = "BLANK " + std::to_string(width) + " " + std::to_string(height) + " 4 lace hires 0";
    const long long n = (long long)sets.size();
    std::string& out = script.text;

    line(out, target == ScalaMm200 ? "V2.0" : "V3.0");
    line(out, "");
    line(out, "MOUSE on");
    line(out, "");

    line(out, "EVENT \"Instructions\"");
    line(out, "PICTURE \"" + shortName + "_poster.iff\"");
    line(out, "PAUSE -1");
    line(out, "END");
    line(out, "");

    line(out, "EVENT \"Right Mouse Button to Start\"");
    line(out, blankScreen);
    line(out, "PAUSE -1");
    line(out, "END");
    line(out, "");

    std::vector<SetSlot> slots;
    for (const SetSlot& slot : scheduleSets(sets).slots)
        if (pictured.empty() || (size_t(slot.set) < pictured.size() && pictured[size_t(slot.set)])) slots.push_back(slot);
    for (size_t i = 0; i < slots.size(); ++i) {
        const long long k = slots[i].set + 1;
        line(out, "EVENT Slide" + text::padded(k, 5) + "/" + text::padded(n, 5));
        line(out, "PICTURE \"" + shortName + exportnames::pictureNumber(k) + ".iff\"");
        line(out, "PAUSE " + scalaPause(slots[i].frames(), fps, target, false));
        line(out, "END");
        line(out, "");
        if (i + 1 < slots.size()) {
            line(out, "EVENT Blank" + text::padded(k, 4) + "/" + text::padded(n - 1, 5));
            line(out, blankScreen);
            line(out, "PAUSE " + scalaPause(slots[i + 1].start - slots[i].end, fps, target, true));
            line(out, "END");
            line(out, "");
        }
    }

    line(out, "EVENT \"Right Mouse Button to Exit\"");
    line(out, blankScreen);
    line(out, "PAUSE -1");
    line(out, "EXIT");
    line(out, "END");
    script.ok = true;
    return script;
}
