#pragma once
#include <string>

#include "render/Image.h"
#include "render/StripsConfig.h"

class Ui;

// What the main window needs from the caption renderer: the font sheets of
// the current size and the render of one set into the preview images.
class PreviewRenderer {
public:
    struct FontLoad {
        bool spacingRerange = false;  // the last sheet loaded while a reload was pending
    };

    // Loads the four sheets of `size` from programDir + "includes/", telling
    // the user of each one that is missing.
    FontLoad loadFontSheets(const std::string& programDir, int size, bool dirty, Ui& ui);
    int stripHeight() const { return stripHeight_; }

    // Renders line A and B into `preview` (W x H) with the given style. With
    // a background picture, `composite` receives what the window shows.
    // Returns false when the render left `preview` to be shown as it is.
    void renderPreview(StripsConfig& style, const std::string& lineA, const std::string& lineB, Image& preview,
                       Image& composite, const Image* background);

    // Paints over the strip of every empty line (or the whole picture with
    // the background) without a full render.
    void clearLineStrips(const StripsConfig& style, bool lineAEmpty, bool lineBEmpty, Image& preview,
                         const Image* background);

private:
    int stripHeight_ = 0;
    int cellHeight_ = 0;
};
