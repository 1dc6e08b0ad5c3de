// kalvero-cli render: draws one subtitle set, from a project or typed on the
// command line, into a 32-bit PNG.
#include "cli/RenderCommand.h"

#include <set>

#include "app/DataDirs.h"
#include "base/Utf8.h"
#include "base/Text.h"
#include "cli/CliSupport.h"
#include "io/Files.h"
#include "io/ImageCodecs.h"
#include "base/Cp1252.h"
#include "render/Background.h"
#include "render/Compositor.h"
#include "render/FontSheet.h"
#include "render/PresetStyle.h"
#include "settings/StyleParams.h"

namespace cli {

namespace {

RenderTarget parseTarget(const std::string& t) {
    if (t == "preview") return RenderTarget::Preview;
    if (t == "alpha") return RenderTarget::AlphaExport;
    if (t == "color" || t == "colour") return RenderTarget::ColorExport;
    if (t == "opaque") return RenderTarget::OpaqueExport;
    throw UsageError{"--target is one of preview, alpha, color, opaque"};
}

void applyOverrides(const Args& a, StripsConfig& s) {
    // The number options are those of the preset fields they override.
    auto number = [&](int Preset::*field, int value) { return a.number(presetParam(field).option, value); };
    s.fontSize = a.number("--font-size", s.fontSize);
    s.borderStyle = number(&Preset::borderStyle, s.borderStyle);
    s.blend = number(&Preset::blend, s.blend);
    s.wordSpacing = number(&Preset::wordSpacing, s.wordSpacing);
    s.stripsSpacing = number(&Preset::stripsSpacing, s.stripsSpacing);
    s.cropStrips = number(&Preset::cropStrips, s.cropStrips);
    if (a.has("--mode")) {
        std::string m = a.get("--mode");
        s.drawNoStrips = m == "none";
        if (m == "full" || m == "none") s.stripsMode = FullWidth;
        else if (m == "cut") s.stripsMode = CutToText;
        else s.stripsMode = AllText;  // the parser took only these words
    }
    if (a.flag("--center") && a.flag("--no-center")) throw UsageError{"--center and --no-center exclude each other"};
    if (a.flag("--center")) s.centerText = true;
    if (a.flag("--no-center")) s.centerText = false;
    if (a.has("--text-color")) s.textColor = parseColorArg(a.get("--text-color"));
}

}  // namespace

int cmdRender(Context& c, const Args& a) {
    files::setReplaceReadOnly(a.flag("--force"));
    RenderTarget target = parseTarget(a.get("--target", "alpha"));
    if (a.positional.size() > 1) throw UsageError{"render takes at most one project file"};
    if (!c.loadSettings()) return BadInput;

    // The set to draw, from the project or typed on the command line.
    std::vector<SubtitleSet> sets(1);
    if (a.positional.size() == 1) {
        if (a.has("--line-a") || a.has("--line-b") || a.has("--profile") || a.has("--preset"))
            throw UsageError{"a project's set is rendered with --set K; typed lines go without a project"};
        if (!c.loadProject(a.positional[0])) return BadInput;
        const int count = c.state.list.entryCount();
        int k = a.number("--set", 1);
        if (count == 0)
            return c.fail(a.positional[0] + " has " + std::to_string(c.state.list.lineCount()) +
                          (c.state.list.lineCount() == 1 ? " row" : " rows") +
                          "; a set needs two rows (line A and line B)");
        if (k > count)
            return c.fail(a.positional[0] + " has " + std::to_string(count) + " sets; there is no set " +
                          std::to_string(k));
        sets[0] = subtitleSetOf(c.state.list, k - 1);
    } else {
        if (a.has("--set")) throw UsageError{"--set needs a project file"};
        c.selectProfileAndPreset(c.profileArg(a, c.state.profileIndex), c.presetArg(a, c.state.presetIndex));
        sets[0].lineA = text::replaceAll(utf8::sanitize(a.get("--line-a")), "|", utf8::kBrokenBar);
        sets[0].lineB = text::replaceAll(utf8::sanitize(a.get("--line-b")), "|", utf8::kBrokenBar);
    }
    if (a.has("--y")) sets[0].y = a.number("--y", 0);

    const Profile& profile = *c.state.profile();
    // A project's own look, where it was saved with one, stands for its preset.
    StripsConfig style = c.look && a.positional.size() == 1 ? styleOfLook(*c.look, profile)
                                                            : styleFromPreset(*c.state.preset(), profile);
    applyOverrides(a, style);
    style.stripsYPos = profile.stripsYPos;  // for a set without a Y of its own

    FontSheet font;
    int dirty = 1;
    // A sheet that cannot be read is told once below, with the sizes there are.
    std::vector<std::string> sheetNotes;
    const std::vector<std::string> folders = fontSheetFolders(c.state.dataDirs());
    loadFontSheets(font, folders, style.fontSize,
                   [&](const std::string&, const std::string& text) { sheetNotes.push_back(text); }, dirty);
    if (!font.hasGlyphsFor(style.fontSize)) {
        const std::string sizes = availableFontSizes(folders);
        return c.fail("nothing was rendered: there is no font sheet " + fontSheetRelativePath(style.fontSize, 0) +
                      " for the font size " + std::to_string(style.fontSize) +
                      (sizes.empty() ? "; no font sheet was found at all" : "; the font sizes there are: " + sizes));
    }
    for (const std::string& note : sheetNotes) c.err << "kalvero-cli: warning: " << terminalLine(note) << "\n";
    if (!useFontArgs(c, a, font, style, {sets[0].lineA, sets[0].lineB})) return BadInput;
    warnMissingGlyphs(c, sets, font);

    Image background;
    if (a.has("--background")) {
        if (target != RenderTarget::Preview) throw UsageError{"--background applies to --target preview only"};
        Image decoded;
        std::string error;
        if (!imageio::decodeImageFile(a.get("--background"), decoded, error))
            return c.fail("cannot load the picture " + a.get("--background") + ": " + error);
        background = prepareBackground(decoded, profile.width, profile.height);
    }

    Image image(profile.width, profile.height), composite;
    if (image.empty()) return c.fail("the profile's size " + std::to_string(profile.width) + " x " +
                                     std::to_string(profile.height) + " cannot be rendered");
    RenderResult r =
        renderSet(sets, 0, style, target, font, image, background.empty() ? nullptr : &background, &composite);
    std::string error;
    if (!imageio::writePng32(a.get("-o"), r.compositeMade ? composite : image, error))
        return c.fail("cannot write " + a.get("-o") + ": " + error);
    return Ok;
}

}  // namespace cli
