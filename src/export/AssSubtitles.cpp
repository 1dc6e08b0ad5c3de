#include "export/AssSubtitles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/Italics.h"
#include "base/Utf8.h"
#include "base/Text.h"
#include "export/Language.h"
#include "render/Compositor.h"

namespace {

// Liberation Sans Bold: the line height a script's font size stands for
// (Windows ascent + descent) over the em the sheets are drawn at.
constexpr double kLineOverEm = (1854.0 + 434.0) / 2048.0;

std::string number(double v) {
    char s[32];
    std::snprintf(s, sizeof s, "%.2f", v);
    std::string t = s;
    while (t.back() == '0') t.pop_back();
    if (t.back() == '.') t.pop_back();
    return t;
}

// &HAABBGGRR: alpha 00 is opaque.
std::string colour(Rgb c, int opacity = 255) {
    char s[16];
    std::snprintf(s, sizeof s, "&H%02X%02X%02X%02X", 255 - std::clamp(opacity, 0, 255), c.b, c.g, c.r);
    return s;
}

// What the format would read as a tag or a line break, kept as text.
std::string escapedText(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '{' || c == '}') {
            out += '\\';
            out += c;
        } else if (c == '\\') {
            out += "\\\xE2\x81\xA0";  // a word joiner keeps "\N" and the like from being read as codes
        } else {
            out += c;
        }
    }
    return out;
}

// A line of a set as script text: the list's broken bar is '|' again, the
// text UTF-8, italics the override codes {\i1} and {\i0}.
std::string eventText(const std::string& line) {
    const std::string s = text::replaceAll(utf8::sanitize(text::trimSpaces(line)), utf8::kBrokenBar, "|");
    return italics::rewrite(s, "{\\i1}", "{\\i0}", escapedText);
}

std::string titleText(const std::string& name) {
    std::string s = utf8::fromLegacy(name);
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return s;
}

struct Shown {
    const TrackSet* set;
    long long on, off;
};

}  // namespace

std::string assTime(long long frame, float fps) {
    const FrameRate r = exactFrameRate(fps);
    const long long cs = std::max(0LL, frame) * 100 * r.den / r.num;
    char s[40];
    std::snprintf(s, sizeof s, "%lld:%02lld:%02lld.%02lld", cs / 360000, cs / 6000 % 60, cs / 100 % 60, cs % 100);
    return s;
}

namespace {

// The script's header and the format line of its styles.
std::string scriptHeader(int width, int height, const std::string& title, const std::string& language) {
    std::string a;
    a += "[Script Info]\n";
    a += "; Written by Kalvero\n";
    a += "Title: " + titleText(title) + "\n";
    a += "ScriptType: v4.00+\n";
    a += "WrapStyle: 2\n";
    a += "ScaledBorderAndShadow: yes\n";
    a += "YCbCr Matrix: None\n";
    a += "PlayResX: " + std::to_string(width) + "\n";
    a += "PlayResY: " + std::to_string(height) + "\n";
    if (language != language::kUndetermined && !language.empty())
        a += "Language: " + language::twoLetter(language) + "\n";
    a += "\n[V4+ Styles]\n";
    a += "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, "
         "Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, "
         "MarginR, MarginV, Encoding\n";
    return a;
}

// How much wider the sheets draw a line than the font does (pixels), and its
// letters.
void lineExtra(const AssLook& look, const std::string& line, double& extra, int& letters) {
    const std::string t = italics::strip(text::trimSpaces(line));
    const double font = look.fontWidth ? look.fontWidth(t) : 0.0;
    letters = int(t.size());
    extra = font > 0 && look.font ? measureLine(t, *look.font, 0) - font : 0.0;
}

// The letter spacing that makes the lines as wide as the sheets draw them,
// over the whole track.
double trackSpacing(const TrackSets& sets, const AssLook& look) {
    double trackExtra = 0;
    int trackLetters = 0;
    for (const TrackSet& s : sets.sets)
        for (const std::string* line : {&s.lineA, &s.lineB}) {
            if (blankLine(*line)) continue;
            double e;
            int n;
            lineExtra(look, *line, e, n);
            trackExtra += e;
            trackLetters += n;
        }
    return look.style.wordSpacing + (trackLetters > 0 ? trackExtra / trackLetters : 0.0);
}

// What the script's styles and events share.
struct Frame {
    int margin = 0;
    double fontSize = 0, padX = 0, padY = 0, spacing = 0;
    bool box = false, drawnStrips = false;
};

// The styles: the text (with its box, outline or shadow) and the strips.
std::string styleLines(const AssLook& look, const Frame& fr) {
    const StripsConfig& st = look.style;
    // The border styles: none, black outline, grey outline, grey shadow
    // right and down.
    Rgb edge{0, 0, 0}, shade{0, 0, 0};
    double outline = 0, shadow = 0;
    if (fr.box) {
        edge = shade = st.stripsColor;
        outline = fr.padX;
    } else if (st.borderStyle == 1 || st.borderStyle == 2) {
        outline = 1;
        edge = st.borderStyle == 1 ? Rgb{0, 0, 0} : Rgb{128, 128, 128};
    } else if (st.borderStyle == 3) {
        shadow = 2;
        shade = Rgb{96, 96, 96};
    }
    const int opacity = fr.box ? st.blend : 255;
    const int alignment = st.centerText ? 8 : 7;
    const int marginL = st.centerText ? 0 : int(std::lround(st.cropStrips + (fr.box ? fr.padX : fr.margin)));
    std::string a = "Style: Kalvero," + look.fontFamily + "," + number(fr.fontSize) + "," + colour(st.textColor) + "," +
                    colour({255, 255, 255}) + "," + colour(edge, opacity) + "," + colour(shade, opacity) +
                    ",-1,0,0,0,100,100," + number(fr.spacing) + ",0," + (fr.box ? "3" : "1") + "," + number(outline) +
                    "," + number(shadow) + "," + std::to_string(alignment) + "," + std::to_string(marginL) + ",0,0,1\n";
    if (fr.drawnStrips)
        a += "Style: Strip," + look.fontFamily + ",20," + colour(st.stripsColor, st.blend) + "," +
             colour(st.stripsColor, st.blend) + ",&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,0,0,7,0,0,0,1\n";
    return a;
}

// The events of one set shown from `on` to `off`: its strips, then its lines.
std::string setEvents(const TrackSet& s, long long on, long long off, int width, float fps, const AssLook& look,
                      const Frame& fr) {
    const StripsConfig& st = look.style;
    const int ownY = size_t(s.set) < look.setY.size() ? look.setY[size_t(s.set)] : 0;
    StripsConfig placed = st;
    placed.stripsYPos = resolveStripsY(ownY, st.stripsYPos);
    const std::string lines[2] = {s.lineA, s.lineB};
    RenderResult layout;
    if (look.font) layout = layoutSubtitleSet(placed, *look.font, width, s.lineA, s.lineB);
    const std::string start = assTime(on, fps), end = assTime(off, fps);
    std::string a;
    for (int k = 0; k < 2; ++k) {
        if (blankLine(lines[k])) continue;
        const int top = placed.stripsYPos + (k == 1 ? st.stripsSpacing : 0);
        if (fr.drawnStrips && look.font) {
            const auto& r = layout.lines[size_t(k)].strip;
            a += "Dialogue: 0," + start + "," + end + ",Strip,,0,0,0,strip,{\\pos(" + std::to_string(r.x) + "," +
                 std::to_string(r.y) + ")\\p1}m 0 0 l " + std::to_string(r.w) + " 0 " + std::to_string(r.w) + " " +
                 std::to_string(r.h) + " 0 " + std::to_string(r.h) + "{\\p0}\n";
        }
        const int marginV = int(std::lround(top + fr.padY));
        double extra;
        int letters;
        lineExtra(look, lines[k], extra, letters);
        std::string tags = fr.box ? "\\ybord" + number(fr.padY) : std::string();
        // A line that needs more than a pixel else gets its own spacing.
        const double own = st.wordSpacing + (letters > 0 ? extra / letters : 0.0);
        if (std::fabs((own - fr.spacing) * letters) > 0.5) tags += "\\fsp" + number(own);
        a += "Dialogue: 1," + start + "," + end + ",Kalvero,,0,0," + std::to_string(marginV) + ",," +
             (tags.empty() ? std::string() : "{" + tags + "}") + eventText(lines[k]) + "\n";
    }
    return a;
}

}  // namespace

AssSubtitles writeAssSubtitles(const TrackSets& sets, int width, int height, float fps, const AssLook& look,
                               const std::string& title, const std::string& language) {
    AssSubtitles out;
    const StripsConfig& st = look.style;
    const int stripHeight = look.font ? look.font->stripHeight : 0;
    Frame fr;
    fr.margin = width / 200;
    fr.fontSize = st.fontSize * kLineOverEm;
    // The text's line sits in the middle of the strip.
    fr.padY = std::max(0.0, (stripHeight - fr.fontSize) / 2);
    const int mode = st.drawNoStrips ? -1 : st.stripsMode;
    fr.box = mode == CutToText;
    fr.drawnStrips = mode == FullWidth || mode == AllText;
    // The box reaches as far beyond the text as the picture's strip.
    fr.padX = fr.margin - st.wordSpacing / 2.0;
    fr.spacing = trackSpacing(sets, look);

    std::string& a = out.bytes;
    a = scriptHeader(width, height, title, language) + styleLines(look, fr);
    a += "\n[Events]\n";
    a += "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";

    std::vector<Shown> shown;
    for (const TrackSet& s : sets.sets) {
        if (blankLine(s.lineA) && blankLine(s.lineB)) {
            ++out.blank;
            continue;
        }
        shown.push_back({&s, s.onFrame, s.offFrame});
    }
    std::stable_sort(shown.begin(), shown.end(), [](const Shown& x, const Shown& y) { return x.on < y.on; });
    for (size_t i = 0; i + 1 < shown.size(); ++i)
        if (shown[i + 1].on < shown[i].off && shown[i + 1].on > shown[i].on) shown[i].off = shown[i + 1].on;
    for (const Shown& sh : shown) {
        a += setEvents(*sh.set, sh.on, sh.off, width, fps, look, fr);
        ++out.events;
    }
    return out;
}
