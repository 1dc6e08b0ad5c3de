#include "export/TextSubtitles.h"

#include <algorithm>

#include "base/Cp1252.h"
#include "base/Text.h"

namespace {

std::string cueLine(const std::string& line, TextSubtitleFormat format) {
    std::string s = text::replaceAll(text::trimSpaces(line), "\xA6", "|");
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
