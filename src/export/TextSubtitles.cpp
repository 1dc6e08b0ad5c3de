#include "export/TextSubtitles.h"

#include <algorithm>
#include <cstdio>

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

std::string cueLine(const std::string& line, TextSubtitleFormat format) {
    std::string s = text::replaceAll(utf8::sanitize(text::trimSpaces(line)), utf8::kBrokenBar, "|");
    if (format == TextSubtitleFormat::SubRip) s = breakArrows(s);
    if (format == TextSubtitleFormat::WebVtt) {
        s = text::replaceAll(s, "&", "&amp;");
        s = text::replaceAll(s, "<", "&lt;");
        s = text::replaceAll(s, ">", "&gt;");
    }
    return s;
}

}  // namespace

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
