#pragma once
// What the rendering tests share: the shipped sheets and a plain style.
#include <map>
#include <string>
#include <utility>

#include "render/FontSheet.h"
#include "render/StripsConfig.h"

namespace renderfixture {

// The sheets of one size from a folder, loaded once.
inline const FontSheet& shippedSheets(const std::string& folder, int size) {
    static std::map<std::pair<std::string, int>, FontSheet> loaded;
    auto [it, fresh] = loaded.try_emplace({folder, size});
    if (fresh) {
        int dirty = 0;
        loadFontSheets(it->second, folder, size, Notice(), dirty);
    }
    return it->second;
}

// Blue strips over black, full width, left-aligned at Y 20, no word spacing.
inline StripsConfig plainStyle(int border) {
    StripsConfig s;
    s.stripsColor = Rgb{0, 0, 160};
    s.bgColor = s.presetBgColor = Rgb{0, 0, 0};
    s.borderStyle = border;
    s.blend = 255;
    s.wordSpacing = 0;
    s.stripsMode = FullWidth;
    s.centerText = false;
    s.cropStrips = 0;
    s.stripsYPos = 20;
    return s;
}

}  // namespace renderfixture
