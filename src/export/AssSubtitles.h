#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "export/SubtitleTrack.h"
#include "render/FontSheet.h"
#include "render/StripsConfig.h"

// The timed sets as an Advanced SubStation Alpha script: text that players
// and subtitle editors render themselves, styled to look like the pictures
// where the format can. The script's resolution is the project's; the font
// is the one the sheets are drawn from (Liberation Sans Bold) at the size of
// the sheets; the text is white. The strips:
//  - cut to the text: the opaque box of the text style (BorderStyle 3) in
//    the strips colour at the blend's opacity, as wide and high as the
//    picture's strip; the box takes the place of the glyphs' border;
//  - full width or all text: a filled rectangle of the strip's size on the
//    layer under the text, the text with the border style's outline or
//    shadow;
//  - no strips: the text alone with the outline or shadow.
// Each line of a set is an event of its own at the strip's Y (line B below
// line A by the strips spacing), left at the crop or centred. Times are the
// frames of the sets; a set still on when the next one starts gives way to
// it, as the picture tracks do.
struct AssLook {
    StripsConfig style;           // stripsYPos: the Y of sets without their own
    const FontSheet* font = nullptr;
    std::vector<int> setY;        // each set's own strips Y by list index (0: the style's)
    std::string fontFamily = "Liberation Sans";
    // The width of a Windows-1252 line in that font at the sheets' size,
    // letter by letter as a renderer of the script sets it: the sheets
    // give each letter a little more room, which the script's letter
    // spacing makes up. Unset or 0: no such spacing.
    std::function<double(std::string_view line)> fontWidth;
};

struct AssSubtitles {
    std::string bytes;  // the whole script, UTF-8 with LF lines
    int events = 0;     // sets shown
    int blank = 0;      // timed sets with nothing to show, left out
};

// `title` is a file-system name (kept when UTF-8, else Windows-1252);
// `language` an ISO 639 code ("und": none written).
AssSubtitles writeAssSubtitles(const TrackSets& sets, int width, int height, float fps, const AssLook& look,
                               const std::string& title, const std::string& language);

// "H:MM:SS.cc" of a frame: the last hundredth not after the frame starts,
// so that the frame itself already shows the event.
std::string assTime(long long frame, float fps);
