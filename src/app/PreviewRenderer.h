#pragma once
#include <string>
#include <vector>

#include "render/Compositor.h"
#include "render/FontSheet.h"
#include "render/InstalledFont.h"
#include "base/Image.h"
#include "render/StripsConfig.h"

#include "app/Ui.h"

// The main window's side of the caption renderer: the font sheets of the
// current size and the render of the edited set into the preview images.
class PreviewRenderer {
public:
    // Loads the four sheets of `size`; true when the strips spacing slider
    // must be re-ranged (clears `fontSheetsDirty` then).
    // Each sheet comes from the first of `folders` whose includes/ holds it.
    bool loadFontSheets(const std::vector<std::string>& folders, int size, int& fontSheetsDirty, Ui& ui) {
        return ::loadFontSheets(sheet_, folders, size, ui.notice(), fontSheetsDirty);
    }
    // Makes glyphs from the style's installed font when the choice changed
    // (glyphs are made as lines need them). Empty, or why the font cannot
    // be used (the shipped sheets are used then).
    std::string syncFont(const StripsConfig& style) {
        const InstalledFontResult r = syncFontChoice(sheet_, style, {});
        return r.ok ? std::string() : r.error;
    }
    int stripHeight() const { return sheet_.stripHeight; }
    const FontSheet& fontSheet() const { return sheet_; }

    // Renders line A and B into `preview` with the given style; with a
    // background picture `composite` receives what the window shows. The
    // editor's style takes over the colours the preview is drawn with (with
    // drawNoStrips the preset's background colour), so that the swatch and a
    // saved preset show what the preview shows.
    const RenderResult& renderPreview(StripsConfig& style, const std::string& lineA, const std::string& lineB,
                                      Image& preview, Image& composite, const Image* background) {
        const StripsConfig drawn = renderColours(RenderTarget::Preview, style);
        style.bgColor = drawn.bgColor;
        style.mixedColor = drawn.mixedColor;
        last_ = renderSubtitleSet(RenderTarget::Preview, style, sheet_, preview, lineA, lineB, background, &composite);
        return last_;
    }
    const RenderResult& lastRender() const { return last_; }

    void clearLineStrips(const StripsConfig& style, bool lineAEmpty, bool lineBEmpty, Image& preview,
                         const Image* background) {
        clearLineStrip(preview, style, sheet_.stripHeight, lineAEmpty, lineBEmpty, background);
    }

private:
    FontSheet sheet_;
    RenderResult last_;
};
