#include "export/TextSubtitles.h"

#include <algorithm>

#include "base/Cp1252.h"
#include "base/Text.h"

namespace {

// SubRip has no escapes: a text line holding an arrow ("-->", "->", "- >")
// could be read as the time line of a new cue. A no-break space (0xA0 in the
// single-byte text) before each arrow's '>' keeps the line text for every
// reader and looks the same; our SubRip import takes it out again.
std::string breakArrows(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '>') {
            size_t j = out.size();
            while (j > 0 && (out[j - 1] == ' ' || out[j - 1] == '\t')) --j;
            if (j > 0 && out[j - 1] == '-') out += '\xA0';
        }
        out += s[i];
    }
    return out;
}

std::string cueLine(const std::string& line, TextSubtitleFormat format) {
    std::string s = text::replaceAll(text::trimSpaces(line), "\xA6", "|");
    if (format == TextSubtitleFormat::SubRip) s = breakArrows(s);
    s = cp1252::toUtf8(s);
    if (format == TextSubtitleFormat::WebVtt) {
        s = text::replaceAll(s, "&", "&amp;");
        s = text::replaceAll(s, "<", "&lt;");
        s = text::replaceAll(s, ">", "&gt;");
    }
    return s;
}

}  // namespace

TextSubtitles writeTextSubtitles(const TrackSets& sets, float fps, TextSubtitleFormat format) {
    TextSubtitles out;
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
        if (hasA) out.bytes += cueLine(s.lineA, format) + eol;
        if (hasB) out.bytes += cueLine(s.lineB, format) + eol;
        out.bytes += eol;
    }
    return out;
}
