#include "project/SccImport.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "base/Text.h"
#include "project/BroadcastTiming.h"
#include "base/Cp1252.h"
#include "project/Cea608.h"

namespace {

constexpr float kSccRate = 29.97f;

// A row's text without the blanks around it, runs of blanks as one (a
// mid-row code next to a space shows as a second space).
std::string rowText(const std::string& row) {
    std::string t = text::trimSpaces(row);
    while (t.find("  ") != std::string::npos) t = text::replaceAll(t, "  ", " ");
    return t;
}

// A caption memory: 15 rows of 32 columns.
struct Memory {
    std::array<std::string, 16> rows;
    Memory() { clear(); }
    void clear() {
        for (std::string& r : rows) r.assign(32, ' ');
    }
    bool empty() const {
        for (const std::string& r : rows)
            if (r.find_first_not_of(' ') != std::string::npos) return false;
        return true;
    }
    std::vector<std::string> lines(int& lastRow) const {
        std::vector<std::string> out;
        for (int i = 1; i <= 15; ++i) {
            const std::string t = rowText(rows[size_t(i)]);
            if (t.empty()) continue;
            out.push_back(t);
            lastRow = i;
        }
        return out;
    }
    friend bool operator==(const Memory&, const Memory&) = default;
};

struct Shown {
    long long on = 0, off = -1;
    std::vector<std::string> lines;
    int lastRow = 15;
};

std::string countText(long long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool hexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

SccImportResult failure(std::string error) {
    SccImportResult r;
    r.error = std::move(error);
    return r;
}

}  // namespace

SccImportResult importScc(std::string_view bytes, float fps, int height, int lineHeight) {
    if (bytes.size() > kMaxSccBytes)
        return failure("The file is " + std::to_string(bytes.size() >> 20) + " MB; a caption file is read up to " +
                       std::to_string(kMaxSccBytes >> 20) + " MB.");
    SccImportResult r;
    enum class Mode { None, PopOn, RollUp, PaintOn } mode = Mode::None;
    Memory displayed, hidden;
    int row = 15, column = 0, rollRows = 2;
    bool channelOne = true;
    uint16_t lastControl = 0;  // the control pair just before, for the doubled codes
    std::vector<Shown> shown;
    Shown current;
    bool showing = false;
    // Roll-up: finished rows with the frame their first character came.
    struct RolledRow {
        long long start;
        std::string text;
        int row;
    };
    std::vector<RolledRow> rolled;
    long long rowStart = -1, rolledEnd = -1;  // rolledEnd: the EDM that took the rows away
    int otherChannel = 0, midRow = 0, parityErrors = 0;
    bool standInBefore = false;  // the last character was a basic one
    std::string firstParity;
    long long lastLineFrame = -1, lastFrame = 0;
    std::string lastLineLabel;

    auto close = [&](long long t) {
        if (!showing) return;
        current.off = t;
        shown.push_back(current);
        showing = false;
    };
    auto show = [&](const Memory& m, long long t) {
        close(t);
        if (m.empty()) return;
        current = Shown{};
        current.on = t;
        current.lines = m.lines(current.lastRow);
        showing = true;
    };
    auto target = [&]() -> Memory& { return mode == Mode::PopOn ? hidden : displayed; };
    auto put = [&](const std::string& chars, long long t) {
        if (mode == Mode::None) return;
        Memory& m = target();
        // Text past the 32nd column is kept (decoders would write it over
        // the last column).
        for (char c : chars) {
            std::string& r = m.rows[size_t(row)];
            if (size_t(column) >= r.size()) r.resize(size_t(column) + 1, ' ');
            r[size_t(column)] = c;
            ++column;
        }
        if (mode == Mode::RollUp && rowStart < 0 && !chars.empty()) rowStart = t;
    };
    auto finishRolledRow = [&](long long t) {
        const std::string textRow = rowText(displayed.rows[size_t(row)]);
        if (!textRow.empty()) rolled.push_back({rowStart < 0 ? t : rowStart, textRow, row});
        rowStart = -1;
    };

    const std::vector<std::string_view> fileLines = text::splitLineViews(bytes);
    size_t n = 0;
    while (n < fileLines.size() && text::trimWhitespace(fileLines[n]).empty()) ++n;
    const std::string header = n < fileLines.size() ? text::trimWhitespace(fileLines[n]) : std::string();
    if (header.rfind("Scenarist_SCC V1.0", 0) != 0 && header.rfind("\xEF\xBB\xBFScenarist_SCC V1.0", 0) != 0)
        return failure("Line " + std::to_string(n + 1) + ": a caption file begins with \"Scenarist_SCC V1.0\".");
    for (size_t i = n + 1; i < fileLines.size(); ++i) {
        const std::string line = text::trimWhitespace(fileLines[i]);
        if (line.empty()) continue;
        const std::string where = "Line " + std::to_string(i + 1);
        if (line.size() > 65536) return failure(where + " is longer than 65536 characters; it holds no caption data.");
        TimeCode label;
        if (line.size() < 12 || !broadcast::parseStrictTimeCode(std::string_view(line).substr(0, 11), 30, label) ||
            (line[11] != '\t' && line[11] != ' '))
            return failure(where + ": \"" + line.substr(0, 20) + "\" does not begin with a time code HH:MM:SS:FF or HH:MM:SS;FF.");
        const bool drop = line[8] == ';' || line[8] == '.';
        long long frame = drop ? broadcast::dropFrameNumber(label) : broadcast::nonDropNumber(label);
        if (frame < 0) frame = 0;
        if (frame < lastLineFrame)
            return failure(where + ": the time code " + line.substr(0, 11) + " goes back before " + lastLineLabel +
                           " of the line above.");
        lastLineFrame = frame;
        lastLineLabel = line.substr(0, 11);
        const std::vector<std::string> words = text::split(text::trimBlanks(line.substr(12)), ' ');
        long long t = frame;
        int pairNumber = 0;
        for (const std::string& wordRaw : words) {
            const std::string word = text::trimBlanks(wordRaw);
            if (word.empty()) continue;
            ++pairNumber;
            if (word.size() != 4 || !std::all_of(word.begin(), word.end(), hexDigit))
                return failure(where + ", word " + std::to_string(pairNumber) + ": \"" + word.substr(0, 12) +
                               "\" is no byte pair (four hexadecimal digits).");
            const unsigned value = unsigned(std::stoul(word, nullptr, 16));
            const uint8_t b1 = uint8_t(value >> 8), b2 = uint8_t(value & 0xFF);
            if (!cea608::parityOk(b1) || !cea608::parityOk(b2)) {
                // Writers that get the parity bit wrong are common; the
                // codes are read without it and the first place is told.
                if (parityErrors++ == 0) firstParity = where + ", pair " + std::to_string(pairNumber) + " (" + word + ")";
            }
            const uint8_t hi = b1 & 0x7F, lo = b2 & 0x7F;
            const long long at = t++;
            lastFrame = t;
            if (hi == 0 && lo == 0) continue;
            if (hi >= 0x10 && hi <= 0x1F) {
                const uint16_t control = uint16_t(hi << 8 | lo);
                if (control == lastControl) {
                    lastControl = 0;  // the second of a doubled code
                    continue;
                }
                lastControl = control;
                channelOne = hi < 0x18;
                if (!channelOne) {
                    ++otherChannel;
                    continue;
                }
                if (const int pacRow = cea608::preambleRow(hi, lo)) {
                    if (mode == Mode::RollUp && pacRow != row) finishRolledRow(at);
                    row = pacRow;
                    column = (lo & 0x10) ? ((lo & 0x0E) >> 1) * 4 : 0;
                    continue;
                }
                if (hi == 0x14 || hi == 0x15) {
                    switch (lo) {
                        case 0x20: mode = Mode::PopOn; break;
                        case 0x29: mode = Mode::PaintOn; break;
                        case 0x25:
                        case 0x26:
                        case 0x27:
                            if (mode != Mode::RollUp) {
                                displayed.clear();
                                close(at);
                                row = 15;
                                column = 0;
                            }
                            mode = Mode::RollUp;
                            rollRows = lo - 0x23;
                            break;
                        case 0x21:  // backspace
                            if (column > 0 && size_t(column) <= target().rows[size_t(row)].size())
                                target().rows[size_t(row)][size_t(--column)] = ' ';
                            break;
                        case 0x24:  // delete to the end of the row
                            if (size_t(column) < target().rows[size_t(row)].size())
                                target().rows[size_t(row)].resize(size_t(column));
                            break;
                        case 0x22:
                        case 0x23:
                        case 0x28:
                        case 0x2A:
                        case 0x2B: break;  // alarms, flash, text mode: nothing shown here
                        case 0x2C:         // erase displayed memory
                            if (mode == Mode::RollUp) {
                                finishRolledRow(at);
                                rolledEnd = at;
                            }
                            displayed.clear();
                            close(at);
                            break;
                        case 0x2D:  // carriage return
                            if (mode == Mode::RollUp) {
                                finishRolledRow(at);
                                for (int k = 1; k < 15; ++k) displayed.rows[size_t(k)] = displayed.rows[size_t(k) + 1];
                                displayed.rows[15].assign(32, ' ');
                                column = 0;
                            }
                            break;
                        case 0x2E: hidden.clear(); break;
                        case 0x2F:  // end of caption: the hidden memory is shown
                            if (mode == Mode::RollUp) finishRolledRow(at);
                            std::swap(displayed, hidden);
                            show(displayed, at);
                            mode = Mode::PopOn;
                            break;
                        default:
                            return failure(where + ", pair " + std::to_string(pairNumber) + " (" + word +
                                           "): unknown control code.");
                    }
                    continue;
                }
                if (hi == 0x17 && lo >= 0x21 && lo <= 0x23) {
                    column = std::min(31, column + (lo - 0x20));
                    continue;
                }
                if ((hi == 0x11 && lo >= 0x20 && lo <= 0x2F) || (hi == 0x10 && lo >= 0x20 && lo <= 0x2F) ||
                    (hi == 0x17 && lo >= 0x2D && lo <= 0x2F)) {
                    // Mid-row style codes take a cell as a space; colours are not kept.
                    if (hi == 0x11) {
                        put(" ", at);
                        ++midRow;
                    }
                    continue;
                }
                if ((hi == 0x11 && lo >= 0x30 && lo <= 0x3F) || ((hi == 0x12 || hi == 0x13) && lo >= 0x20 && lo <= 0x3F)) {
                    std::string nearest = "?";
                    std::string c = cea608::decodeTwoByte(hi, lo, &nearest);
                    if (c.empty()) c = nearest;
                    // An extended character replaces the plain stand-in sent before it.
                    if (hi != 0x11 && standInBefore && column > 0) --column;
                    put(c, at);
                    standInBefore = false;
                    continue;
                }
                return failure(where + ", pair " + std::to_string(pairNumber) + " (" + word + "): unknown control code.");
            }
            lastControl = 0;
            if (hi < 0x10) {
                if (channelOne)
                    return failure(where + ", pair " + std::to_string(pairNumber) + " (" + word +
                                   "): unknown code (extended data services do not belong in a caption file).");
                continue;
            }
            if (!channelOne) continue;
            for (uint8_t b : {hi, lo}) {
                if (b == 0) continue;
                standInBefore = true;
                std::string nearest = "#";
                std::string c = cea608::decodeBasic(b, &nearest);
                put(c.empty() ? nearest : c, at);
            }
        }
        // Paint-on and roll-up text shows as it comes: the display after each line.
        if (mode == Mode::PaintOn && !(displayed.empty() && !showing)) {
            int lastRow = 15;
            const std::vector<std::string> now = displayed.lines(lastRow);
            if (!showing || now != current.lines) {
                // Text painted on to the caption on screen extends it.
                bool extends = showing && now.size() >= current.lines.size();
                for (size_t k = 0; extends && k < current.lines.size(); ++k)
                    extends = now[k].rfind(current.lines[k], 0) == 0;
                if (extends) {
                    current.lines = now;
                    current.lastRow = lastRow;
                } else {
                    show(displayed, frame);
                }
            }
        }
    }
    if (mode == Mode::RollUp) finishRolledRow(lastFrame);
    bool unended = showing;
    close(std::max(lastFrame, current.on + 1));

    // Roll-up rows two by two.
    for (size_t k = 0; k < rolled.size(); k += 2) {
        Shown s;
        s.on = rolled[k].start;
        s.lines.push_back(rolled[k].text);
        s.lastRow = rolled[k].row;
        if (k + 1 < rolled.size()) {
            s.lines.push_back(rolled[k + 1].text);
            s.lastRow = rolled[k + 1].row;
        }
        s.off = k + 2 < rolled.size() ? rolled[k + 2].start : rolledEnd > s.on ? rolledEnd : std::max(lastFrame, s.on + 1);
        shown.push_back(s);
    }
    std::stable_sort(shown.begin(), shown.end(), [](const Shown& a, const Shown& b) { return a.on < b.on; });

    int moreRows = 0, sameFrame = 0;
    const int maxY = std::max(0, height - 2 * lineHeight);
    for (const Shown& s : shown) {
        if (s.lines.empty()) continue;
        SubtitleSet set;
        if (s.lines.size() == 1) {
            set.lineB = s.lines[0];
        } else {
            set.lineA = s.lines[0];
            set.lineB = s.lines[1];
            for (size_t i = 2; i < s.lines.size(); ++i) set.lineB += " " + s.lines[i];
            if (s.lines.size() > 2) ++moreRows;
        }
        // The decoder speaks Windows-1252; the project's text is UTF-8.
        set.lineA = cp1252::toUtf8(text::replaceAll(set.lineA, "|", "\xA6"));
        set.lineB = cp1252::toUtf8(text::replaceAll(set.lineB, "|", "\xA6"));
        const long long on = broadcast::convertFrame(s.on, kSccRate, fps);
        long long off = broadcast::convertFrame(s.off, kSccRate, fps);
        if (off <= on) {
            ++sameFrame;
            off = on + 1;
        }
        set.on = broadcast::timeCodeForFrame(on, fps);
        set.off = broadcast::timeCodeForFrame(off, fps);
        set.y = std::clamp(cea608::bottomOfRow(s.lastRow, height) - 2 * lineHeight, 0, maxY);
        r.sets.push_back(std::move(set));
    }
    if (r.sets.empty()) return failure("The file holds no caption on channel 1.");
    if (!(broadcast::ntscFamily(fps) && roundedFps(fps) == 30))
        r.notes.push_back("Captions run at 29.97 frames a second; each time became the nearest frame of the profile.");
    if (moreRows > 0)
        r.notes.push_back(countText(moreRows, "caption has", "captions have") +
                          " more than two rows; the rows after the first were joined into line B.");
    if (parityErrors > 0)
        r.notes.push_back(countText(parityErrors, "pair has", "pairs have") +
                          " a byte with even parity, the first in " + firstParity +
                          "; the file may be damaged there. They were read without their parity bit.");
    if (otherChannel > 0) r.notes.push_back("Codes of channel 2 were left out; only channel 1 is read.");
    if (midRow > 0) r.notes.push_back("Colours and italics within rows are not kept.");
    if (sameFrame > 0)
        r.notes.push_back(countText(sameFrame, "caption lasts", "captions last") + " less than a frame at the profile's rate and " +
                          (sameFrame == 1 ? "was" : "were") + " given one frame.");
    if (unended) r.notes.push_back("The last caption is never taken away; it ends with the last code of the file.");
    (void)rollRows;
    r.ok = true;
    return r;
}
