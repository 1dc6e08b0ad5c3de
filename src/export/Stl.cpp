#include "export/Stl.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/Italics.h"
#include "base/BroadcastText.h"
#include "base/Text.h"
#include "base/Utf8.h"
#include "project/BroadcastTiming.h"

namespace {

constexpr size_t kGsiSize = 1024, kTtiSize = 128, kTextSize = 112;
constexpr int kMaxBlocks = 99999;  // TNB has five digits

// Teletext codes of the text field.
constexpr char kDoubleHeight = 0x0D, kWhite = 0x07, kStartBox = 0x0B, kEndBox = 0x0A;
constexpr char kNewLine = char(0x8A), kPadding = char(0x8F);
constexpr unsigned char kItalicsOn = 0x80, kItalicsOff = 0x81;

// A teletext row holds 40 cells; the row's own codes take four of them
// before the text (double height, colour, start box twice).
constexpr int kTeletextColumns = 40, kTeletextTextColumns = 36;

void put(std::string& block, size_t at, size_t width, const std::string& value) {
    std::string v = value.substr(0, width);
    v.resize(width, ' ');
    block.replace(at, width, v);
}

std::string digits(long long v, int width) { return text::padded(v, width); }

std::string hhmmssff(const TimeCode& t) {
    return digits(t.hh, 2) + digits(t.mm, 2) + digits(t.ss, 2) + digits(t.ff, 2);
}

std::string yymmdd(const std::tm& d) {
    return digits((d.tm_year + 1900) % 100, 2) + digits(d.tm_mon + 1, 2) + digits(std::clamp(d.tm_mday, 1, 31), 2);
}

// Cuts the text field into pieces of at most 112 bytes, never between a
// diacritic and its letter.
std::vector<std::string> textPieces(const std::string& field) {
    std::vector<std::string> pieces;
    size_t at = 0;
    while (at < field.size()) {
        size_t n = std::min(kTextSize, field.size() - at);
        if (at + n < field.size()) {
            const unsigned char last = static_cast<unsigned char>(field[at + n - 1]);
            if (last >= 0xC1 && last <= 0xCF) --n;
        }
        pieces.push_back(field.substr(at, n));
        at += n;
    }
    if (pieces.empty()) pieces.emplace_back();
    return pieces;
}

// The number of displayed characters of a row in ISO 6937 (a diacritic and
// its letter are one).
int displayedLength(const std::string& row) {
    int n = 0;
    for (size_t i = 0; i < row.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(row[i]);
        if (!(b >= 0xC1 && b <= 0xCF) && !(b >= kItalicsOn && b <= 0x85)) ++n;
    }
    return n;
}

std::string countNote(int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string fpsText(float fps) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", double(fps));
    return buf;
}

}  // namespace

int stlRateFor(float fps) {
    const int r = roundedFps(fps);
    return r == 25 || r == 50 ? 25 : 30;
}

int stlLanguageCode(const std::string& iso639) {
    static const char* const kCodes[] = {
        "",   "sq", "br", "ca", "hr", "cy", "cs", "da", "de", "en", "es", "eo", "et", "eu", "fo",
        "fr", "fy", "ga", "gd", "gl", "is", "it", "se", "la", "lv", "lb", "lt", "hu", "mt", "nl",
        "no", "oc", "pl", "pt", "ro", "rm", "sr", "sk", "sl", "fi", "sv", "tr", "",   "wa"};
    const std::string code = text::lower(iso639);
    for (int i = 1; i < int(std::size(kCodes)); ++i)
        if (code == kCodes[i]) return i;
    return -1;
}

namespace {

// The rows of a set in ISO 6937, blank lines left out.
std::vector<std::string> rowsOf(const TrackSet& s, bool teletext, broadcasttext::Losses& losses) {
    std::vector<std::string> rows;
    for (const std::string* line : {&s.lineA, &s.lineB}) {
        if (blankLine(*line)) continue;
        // Open subtitles carry italics as the codes 80h (on) and 81h (off);
        // teletext has none, its text is upright.
        std::string row;
        bool italic = false;
        const std::string trimmed = text::trimSpaces(*line);
        for (const italics::Run& r : italics::runs(trimmed)) {
            if (!teletext && r.italic != italic) row += char(r.italic ? kItalicsOn : kItalicsOff);
            italic = r.italic;
            const std::string plain =
                broadcasttext::cp1252FromUtf8(text::replaceAll(r.text, utf8::kBrokenBar, "|"), &losses);
            row += broadcasttext::iso6937FromCp1252(plain, &losses);
        }
        if (italic && !teletext) row += char(kItalicsOff);
        rows.push_back(row);
    }
    return rows;
}

// The vertical position of a set's first row in the list's 23 rows.
int verticalPosition(const TrackSet& s, int lines, const StlOptions& o) {
    // Top pixel row of the first line shown: line B alone sits one strip lower.
    const int y = s.set >= 0 && size_t(s.set) < o.setY.size() ? o.setY[size_t(s.set)] : 0;
    const int top = y + (blankLine(s.lineA) ? o.stripHeight : 0);
    const int vp = broadcast::rowOfY(top, o.height);
    if (o.mode == StlMode::Teletext) return std::clamp(vp, 1, 23 - (2 * lines - 1));  // double height: two rows a line
    return std::clamp(vp, 0, 23 - (lines - 1));
}

// The text field of the rows: teletext rows in double height, white, boxed.
// Counts the longest row and the teletext rows too long to show.
std::string textField(const std::vector<std::string>& rows, bool teletext, int& maxChars, int& longRows) {
    std::string field;
    for (size_t i = 0; i < rows.size(); ++i) {
        const int length = displayedLength(rows[i]);
        maxChars = std::max(maxChars, length);
        if (teletext && length > kTeletextTextColumns) ++longRows;
        if (i > 0) field += teletext ? std::string{kNewLine, kNewLine} : std::string{kNewLine};
        if (teletext) field += std::string{kDoubleHeight, kWhite, kStartBox, kStartBox};
        field += rows[i];
        if (teletext) field += std::string{kEndBox, kEndBox};
    }
    return field;
}

// One TTI block: piece `p` of `pieces` of subtitle `number`.
std::string ttiBlock(int number, size_t p, size_t pieces, const TimeCode& in, const TimeCode& out, int vp,
                     bool centred, const std::string& piece) {
    std::string tti(kTtiSize, '\0');
    tti[0] = 0;  // subtitle group
    tti[1] = char(number & 0xFF);
    tti[2] = char((number >> 8) & 0xFF);
    tti[3] = p + 1 == pieces ? char(0xFF) : char(p);
    tti[4] = 0;  // not part of a cumulative set
    const TimeCode* times[2] = {&in, &out};
    for (int k = 0; k < 2; ++k) {
        tti[size_t(5 + 4 * k)] = char(times[k]->hh);
        tti[size_t(6 + 4 * k)] = char(times[k]->mm);
        tti[size_t(7 + 4 * k)] = char(times[k]->ss);
        tti[size_t(8 + 4 * k)] = char(times[k]->ff);
    }
    tti[13] = char(vp);
    tti[14] = char(centred ? 2 : 1);
    tti[15] = 0;  // subtitle data, not a comment
    std::string text = piece;
    text.resize(kTextSize, kPadding);
    tti.replace(16, kTextSize, text);
    return tti;
}

// The GSI block of a list of `f.blocks` blocks and `f.subtitles` subtitles.
std::string gsiBlock(const StlFile& f, const StlOptions& o, int maxChars, long long startFrames,
                     const TimeCode& firstIn) {
    const bool teletext = o.mode == StlMode::Teletext;
    std::string gsi(kGsiSize, ' ');
    put(gsi, 0, 3, "850");
    put(gsi, 3, 8, f.dfcRate == 25 ? "STL25.01" : "STL30.01");
    put(gsi, 11, 1, teletext ? "1" : "0");
    put(gsi, 12, 2, "00");
    static const char* const kHex = "0123456789ABCDEF";
    const int lc = std::clamp(o.languageCode, 0, 0x7F);
    put(gsi, 14, 2, std::string{kHex[lc >> 4], kHex[lc & 15]});
    put(gsi, 16, 32, broadcasttext::cp850FromText(o.title));
    put(gsi, 224, 6, yymmdd(o.date));
    put(gsi, 230, 6, yymmdd(o.date));
    put(gsi, 236, 2, "00");
    put(gsi, 238, 5, digits(f.blocks, 5));
    put(gsi, 243, 5, digits(f.subtitles, 5));
    put(gsi, 248, 3, digits(1, 3));
    put(gsi, 251, 2, digits(teletext ? kTeletextColumns : std::clamp(maxChars, 1, 99), 2));
    put(gsi, 253, 2, digits(23, 2));  // the rows of the vertical positions
    put(gsi, 255, 1, "1");
    put(gsi, 256, 8, hhmmssff(broadcast::labelTimeCode(startFrames, f.dfcRate)));
    put(gsi, 264, 8, hhmmssff(f.subtitles > 0 ? firstIn : broadcast::labelTimeCode(startFrames, f.dfcRate)));
    put(gsi, 272, 1, "1");
    put(gsi, 273, 1, "1");
    return gsi;
}

void addNotes(StlFile& f, float fps, const broadcasttext::Losses& losses, int longRows, int wrappedSets) {
    if (roundedFps(fps) != f.dfcRate)
        f.notes.push_back("The project runs at " + fpsText(fps) + " frames a second; the list counts " +
                          std::to_string(f.dfcRate) +
                          ": each time code keeps its hours, minutes and seconds and its frames are scaled to the "
                          "nearest frame of " + std::to_string(f.dfcRate) + ".");
    if (losses.replaced > 0)
        f.notes.push_back(countNote(losses.replaced, "character", "characters") +
                          " the EBU character table lacks became the nearest it has: " + losses.examples);
    if (longRows > 0)
        f.notes.push_back(countNote(longRows, "row is", "rows are") + " longer than the " +
                          std::to_string(kTeletextTextColumns) + " characters a teletext row shows.");
    if (wrappedSets > 0)
        f.notes.push_back(countNote(wrappedSets, "set runs", "sets run") +
                          " past 23:59:59 with the programme start added; the time codes wrap to 00:00:00.");
}

}  // namespace

StlFile writeStl(const TrackSets& trackSets, float fps, const StlOptions& o) {
    StlFile f;
    f.dfcRate = stlRateFor(fps);
    const int base = roundedFps(fps);
    const bool teletext = o.mode == StlMode::Teletext;
    const long long startFrames = broadcast::labelFrames(o.start, f.dfcRate);

    std::vector<TrackSet> sets = trackSets.sets;
    std::stable_sort(sets.begin(), sets.end(), [](const TrackSet& a, const TrackSet& b) { return a.onFrame < b.onFrame; });

    auto fileTime = [&](const TimeCode& t, bool& wrapped) {
        const TimeCode own = broadcast::rescaleTimeCode(broadcast::normalTimeCode(t, fps), base, f.dfcRate);
        const long long frames = broadcast::labelFrames(own, f.dfcRate) + startFrames;
        if (frames >= 24LL * 3600 * f.dfcRate) wrapped = true;
        return broadcast::labelTimeCode(frames, f.dfcRate);
    };

    broadcasttext::Losses losses;
    int longRows = 0, wrappedSets = 0, maxChars = 0;
    std::string blocks;
    TimeCode firstIn;
    for (const TrackSet& s : sets) {
        const std::vector<std::string> rows = rowsOf(s, teletext, losses);
        if (rows.empty()) {
            ++f.blank;
            continue;
        }
        const int vp = verticalPosition(s, int(rows.size()), o);
        const std::string field = textField(rows, teletext, maxChars, longRows);
        bool wrapped = false;
        const TimeCode in = fileTime(s.on, wrapped), out = fileTime(s.off, wrapped);
        if (wrapped) ++wrappedSets;
        if (f.subtitles == 0) firstIn = in;
        const std::vector<std::string> pieces = textPieces(field);
        if (f.blocks + int(pieces.size()) > kMaxBlocks) {
            f.error = "An EBU subtitle list holds at most " + std::to_string(kMaxBlocks) +
                      " text blocks; this project needs more.";
            return f;
        }
        for (size_t p = 0; p < pieces.size(); ++p) {
            blocks += ttiBlock(f.subtitles, p, pieces.size(), in, out, vp, o.centred, pieces[p]);
            ++f.blocks;
        }
        ++f.subtitles;
    }
    f.bytes = gsiBlock(f, o, maxChars, startFrames, firstIn) + blocks;
    addNotes(f, fps, losses, longRows, wrappedSets);
    return f;
}
