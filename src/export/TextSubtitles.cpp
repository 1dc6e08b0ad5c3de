#include "export/TextSubtitles.h"

#include <algorithm>
#include <cstdio>

#include "base/Italics.h"
#include "base/Utf8.h"
#include "base/Text.h"

namespace {

// SubRip has no escapes: a text line holding an arrow ("-->", "->", "- >")
// could be read as the time line of a new cue. A no-break space before each arrow's '>' keeps the line text for every
// reader and looks the same; our SubRip import takes it out again.
std::string breakArrows(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '>') {
            size_t j = out.size();
            while (j > 0 && (out[j - 1] == ' ' || out[j - 1] == '\t')) --j;
            if (j > 0 && out[j - 1] == '-') out += utf8::kNoBreakSpace;
        }
        out += s[i];
    }
    return out;
}

std::string vttEscaped(std::string_view piece) {
    std::string s(piece);
    s = text::replaceAll(s, "&", "&amp;");
    s = text::replaceAll(s, "<", "&lt;");
    return text::replaceAll(s, ">", "&gt;");
}

std::string cueLine(const std::string& line, TextSubtitleFormat format) {
    std::string s = text::replaceAll(utf8::sanitize(text::trimSpaces(line)), utf8::kBrokenBar, "|");
    if (format == TextSubtitleFormat::SubRip) s = breakArrows(s);
    // The italics tags are written as both formats spell them; WebVTT
    // escapes what else it would read as markup.
    if (format == TextSubtitleFormat::WebVtt) return italics::rewrite(s, italics::kOpen, italics::kClose, vttEscaped);
    return s;
}

}  // namespace

std::string nearestCueColour(Rgb c) {
    static const struct {
        const char* name;
        Rgb rgb;
    } kClasses[] = {{"white", {255, 255, 255}}, {"lime", {0, 255, 0}},    {"cyan", {0, 255, 255}},
                    {"red", {255, 0, 0}},       {"yellow", {255, 255, 0}}, {"magenta", {255, 0, 255}},
                    {"blue", {0, 0, 255}},      {"black", {0, 0, 0}}};
    const char* best = "white";
    long bestDistance = -1;
    for (const auto& k : kClasses) {
        const long dr = long(c.r) - k.rgb.r, dg = long(c.g) - k.rgb.g, db = long(c.b) - k.rgb.b;
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) bestDistance = d, best = k.name;
    }
    return best;
}

TextSubtitles writeTextSubtitles(const TrackSets& sets, float fps, TextSubtitleFormat format, Rgb textColor) {
    TextSubtitles out;
    std::string open, close;
    if (format == TextSubtitleFormat::SubRip && textColor != Rgb{255, 255, 255}) {
        char tag[32];
        std::snprintf(tag, sizeof tag, "<font color=\"#%02x%02x%02x\">", textColor.r, textColor.g, textColor.b);
        open = tag;
        close = "</font>";
    }
    const bool vtt = format == TextSubtitleFormat::WebVtt;
    const char* eol = vtt ? "\n" : "\r\n";
    const char separator = vtt ? '.' : ',';
    if (vtt) out.bytes += std::string("WEBVTT") + eol + eol;
    // WebVTT colours cue text through classes. A STYLE block could give any
    // colour, but FFmpeg's WebVTT reader (and the players built on it)
    // stops at such a block and shows no cue at all; the colour classes
    // every WebVTT reader knows need none, so the text takes the nearest
    // of them (white, the default, is left unwritten).
    if (vtt && textColor != Rgb{255, 255, 255}) {
        const std::string name = nearestCueColour(textColor);
        if (name != "white") {
            open = "<c." + name + ">";
            close = "</c>";
        }
    }
    // Cues in the order they appear on screen, whatever the list's order.
    std::vector<TrackSet> ordered = sets.sets;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const TrackSet& a, const TrackSet& b) { return a.onFrame < b.onFrame; });
    for (const TrackSet& s : ordered) {
        const bool hasA = !blankLine(s.lineA), hasB = !blankLine(s.lineB);
        if (!hasA && !hasB) {
            ++out.blank;
            continue;
        }
        ++out.cues;
        if (!vtt) out.bytes += std::to_string(out.cues) + eol;
        out.bytes += clockText(timeCodeMilliseconds(s.on, fps), separator) + " --> " +
                     clockText(timeCodeMilliseconds(s.off, fps), separator) + eol;
        if (hasA) out.bytes += open + cueLine(s.lineA, format) + close + eol;
        if (hasB) out.bytes += open + cueLine(s.lineB, format) + close + eol;
        out.bytes += eol;
    }
    return out;
}
