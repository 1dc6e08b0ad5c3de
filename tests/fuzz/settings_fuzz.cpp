// The settings file: profiles, presets, and the rewrite that Save Preset does.
#include <algorithm>

#include "FuzzSupport.h"
#include "project/SrtImport.h"
#include "project/SubtitleList.h"
#include "project/TimeCode.h"
#include "render/PresetStyle.h"
#include "settings/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view content = fuzzBytes(data, size);
    Settings s = parseSettings(content);

    // Every profile's frame rate and sizes go through the timing code and the style.
    for (const Profile& p : s.profiles) {
        profileDisplayText(p);
        if (p.isSeparator) continue;
        roundedFps(p.fps);
        SubtitleList list;
        list.setLineColumn(0, Column::Timing, "00:00:01:00>00:00:02:12");
        list.setLineColumn(1, Column::Timing, "00:00:01:00>00:00:02:12");
        recalculateOffOn(list, p.fps);
        srtTimeToTimeCode("00:01:02,530", p.fps);
        timeCodeOfFrame(1000, p.fps);
        for (const Preset& preset : s.presets) styleFromPreset(preset, p);
    }

    // Saving the presets keeps everything before "[Presets]" and then lists
    // exactly the presets saved.
    std::optional<std::string> rewritten = rewritePresets(content, s.presets);
    if (!rewritten) return 0;
    Settings again = parseSettings(*rewritten);
    FUZZ_CHECK(again.presets.size() >= s.presets.size());
    FUZZ_CHECK(std::equal(s.presets.begin(), s.presets.end(), again.presets.end() - std::ptrdiff_t(s.presets.size())));
    return 0;
}
