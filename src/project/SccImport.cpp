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

// Reads a caption file line by line, code by code: the two caption
// memories, the mode and the captions shown so far. The first fault of the
// file ends the reading with `error` naming its place.
class SccReader {
public:
    // One line of codes after the header; false on a fault.
    bool readLine(const std::string& line, size_t index);
    // The end of the file: rolled rows and the caption on screen end with
    // its last code.
    void finish();
    // Every caption, roll-up rows two by two, in the order they came.
    std::vector<Shown> captions() const;

    std::string error;
    int otherChannel = 0, midRow = 0, parityErrors = 0;
    std::string firstParity;
    bool unended = false;  // a caption still on screen at the end

private:
    enum class Mode { None, PopOn, RollUp, PaintOn };
    // Roll-up: finished rows with the frame their first character came.
    struct RolledRow {
        long long start;
        std::string text;
        int row;
    };

    bool fail(std::string why) {
        error = std::move(why);
        return false;
    }
    bool readPair(const std::string& word, const std::string& where, int pairNumber, long long at);
    bool readControl(uint8_t hi, uint8_t lo, const std::string& where, int pairNumber, const std::string& word,
                     long long at);
    bool readMiscControl(uint8_t lo, long long at);
    void readCharacters(uint8_t hi, uint8_t lo, long long at);
    void paintOnLine(long long frame);

    void close(long long t);
    void show(const Memory& m, long long t);
    Memory& target() { return mode_ == Mode::PopOn ? hidden_ : displayed_; }
    void put(const std::string& chars, long long t);
    void finishRolledRow(long long t);

    Mode mode_ = Mode::None;
    Memory displayed_, hidden_;
    int row_ = 15, column_ = 0;
    bool channelOne_ = true;
    uint16_t lastControl_ = 0;  // the control pair just before, for the doubled codes
    std::vector<Shown> shown_;
    Shown current_;
    bool showing_ = false;
    std::vector<RolledRow> rolled_;
    long long rowStart_ = -1, rolledEnd_ = -1;  // rolledEnd_: the EDM that took the rows away
    bool standInBefore_ = false;                // the last character was a basic one
    long long lastLineFrame_ = -1, lastFrame_ = 0;
    std::string lastLineLabel_;
};

void SccReader::close(long long t) {
    if (!showing_) return;
    current_.off = t;
    shown_.push_back(current_);
    showing_ = false;
}

void SccReader::show(const Memory& m, long long t) {
    close(t);
    if (m.empty()) return;
    current_ = Shown{};
    current_.on = t;
    current_.lines = m.lines(current_.lastRow);
    showing_ = true;
}

void SccReader::put(const std::string& chars, long long t) {
    if (mode_ == Mode::None) return;
    Memory& m = target();
    // Text past the 32nd column is kept (decoders would write it over the
    // last column).
    for (char c : chars) {
        std::string& r = m.rows[size_t(row_)];
        if (size_t(column_) >= r.size()) r.resize(size_t(column_) + 1, ' ');
        r[size_t(column_)] = c;
        ++column_;
    }
    if (mode_ == Mode::RollUp && rowStart_ < 0 && !chars.empty()) rowStart_ = t;
}

void SccReader::finishRolledRow(long long t) {
    const std::string textRow = rowText(displayed_.rows[size_t(row_)]);
    if (!textRow.empty()) rolled_.push_back({rowStart_ < 0 ? t : rowStart_, textRow, row_});
    rowStart_ = -1;
}

bool SccReader::readLine(const std::string& line, size_t index) {
    const std::string where = "Line " + std::to_string(index + 1);
    if (line.size() > 65536) return fail(where + " is longer than 65536 characters; it holds no caption data.");
    TimeCode label;
    if (line.size() < 12 || !broadcast::parseStrictTimeCode(std::string_view(line).substr(0, 11), 30, label) ||
        (line[11] != '\t' && line[11] != ' '))
        return fail(where + ": \"" + line.substr(0, 20) + "\" does not begin with a time code HH:MM:SS:FF or HH:MM:SS;FF.");
    const bool drop = line[8] == ';' || line[8] == '.';
    long long frame = drop ? broadcast::dropFrameNumber(label) : broadcast::nonDropNumber(label);
    if (frame < 0) frame = 0;
    if (frame < lastLineFrame_)
        return fail(where + ": the time code " + line.substr(0, 11) + " goes back before " + lastLineLabel_ +
                    " of the line above.");
    lastLineFrame_ = frame;
    lastLineLabel_ = line.substr(0, 11);
    const std::vector<std::string> words = text::split(text::trimBlanks(line.substr(12)), ' ');
    long long t = frame;
    int pairNumber = 0;
    for (const std::string& wordRaw : words) {
        const std::string word = text::trimBlanks(wordRaw);
        if (word.empty()) continue;
        ++pairNumber;
        if (!readPair(word, where, pairNumber, t++)) return false;
    }
    paintOnLine(frame);
    return true;
}

bool SccReader::readPair(const std::string& word, const std::string& where, int pairNumber, long long at) {
    if (word.size() != 4 || !std::all_of(word.begin(), word.end(), hexDigit))
        return fail(where + ", word " + std::to_string(pairNumber) + ": \"" + word.substr(0, 12) +
                    "\" is no byte pair (four hexadecimal digits).");
    const unsigned value = unsigned(std::stoul(word, nullptr, 16));
    const uint8_t b1 = uint8_t(value >> 8), b2 = uint8_t(value & 0xFF);
    if (!cea608::parityOk(b1) || !cea608::parityOk(b2)) {
        // Writers that get the parity bit wrong are common; the codes are
        // read without it and the first place is told.
        if (parityErrors++ == 0) firstParity = where + ", pair " + std::to_string(pairNumber) + " (" + word + ")";
    }
    const uint8_t hi = b1 & 0x7F, lo = b2 & 0x7F;
    lastFrame_ = at + 1;
    if (hi == 0 && lo == 0) return true;
    if (hi >= 0x10 && hi <= 0x1F) return readControl(hi, lo, where, pairNumber, word, at);
    lastControl_ = 0;
    if (hi < 0x10) {
        if (channelOne_)
            return fail(where + ", pair " + std::to_string(pairNumber) + " (" + word +
                        "): unknown code (extended data services do not belong in a caption file).");
        return true;
    }
    if (!channelOne_) return true;
    for (uint8_t b : {hi, lo}) {
        if (b == 0) continue;
        standInBefore_ = true;
        std::string nearest = "#";
        std::string c = cea608::decodeBasic(b, &nearest);
        put(c.empty() ? nearest : c, at);
    }
    return true;
}

bool SccReader::readControl(uint8_t hi, uint8_t lo, const std::string& where, int pairNumber,
                            const std::string& word, long long at) {
    const uint16_t control = uint16_t(hi << 8 | lo);
    if (control == lastControl_) {
        lastControl_ = 0;  // the second of a doubled code
        return true;
    }
    lastControl_ = control;
    channelOne_ = hi < 0x18;
    if (!channelOne_) {
        ++otherChannel;
        return true;
    }
    if (const int pacRow = cea608::preambleRow(hi, lo)) {
        if (mode_ == Mode::RollUp && pacRow != row_) finishRolledRow(at);
        row_ = pacRow;
        column_ = (lo & 0x10) ? ((lo & 0x0E) >> 1) * 4 : 0;
        return true;
    }
    const std::string unknown = where + ", pair " + std::to_string(pairNumber) + " (" + word + "): unknown control code.";
    if (hi == 0x14 || hi == 0x15) return readMiscControl(lo, at) || fail(unknown);
    if (hi == 0x17 && lo >= 0x21 && lo <= 0x23) {
        column_ = std::min(31, column_ + (lo - 0x20));
        return true;
    }
    if ((hi == 0x11 && lo >= 0x20 && lo <= 0x2F) || (hi == 0x10 && lo >= 0x20 && lo <= 0x2F) ||
        (hi == 0x17 && lo >= 0x2D && lo <= 0x2F)) {
        // Mid-row style codes take a cell as a space; colours are not kept.
        if (hi == 0x11) {
            put(" ", at);
            ++midRow;
        }
        return true;
    }
    if ((hi == 0x11 && lo >= 0x30 && lo <= 0x3F) || ((hi == 0x12 || hi == 0x13) && lo >= 0x20 && lo <= 0x3F)) {
        readCharacters(hi, lo, at);
        return true;
    }
    return fail(unknown);
}

// The special and extended characters of channel 1.
void SccReader::readCharacters(uint8_t hi, uint8_t lo, long long at) {
    std::string nearest = "?";
    std::string c = cea608::decodeTwoByte(hi, lo, &nearest);
    if (c.empty()) c = nearest;
    // An extended character replaces the plain stand-in sent before it.
    if (hi != 0x11 && standInBefore_ && column_ > 0) --column_;
    put(c, at);
    standInBefore_ = false;
}

// The miscellaneous control codes (first byte 0x14 or 0x15); false for an
// unknown one.
bool SccReader::readMiscControl(uint8_t lo, long long at) {
    switch (lo) {
        case 0x20: mode_ = Mode::PopOn; break;
        case 0x29: mode_ = Mode::PaintOn; break;
        case 0x25:
        case 0x26:
        case 0x27:  // roll-up in 2, 3 or 4 rows
            if (mode_ != Mode::RollUp) {
                displayed_.clear();
                close(at);
                row_ = 15;
                column_ = 0;
            }
            mode_ = Mode::RollUp;
            break;
        case 0x21:  // backspace
            if (column_ > 0 && size_t(column_) <= target().rows[size_t(row_)].size())
                target().rows[size_t(row_)][size_t(--column_)] = ' ';
            break;
        case 0x24:  // delete to the end of the row
            if (size_t(column_) < target().rows[size_t(row_)].size()) target().rows[size_t(row_)].resize(size_t(column_));
            break;
        case 0x22:
        case 0x23:
        case 0x28:
        case 0x2A:
        case 0x2B: break;  // alarms, flash, text mode: nothing shown here
        case 0x2C:         // erase displayed memory
            if (mode_ == Mode::RollUp) {
                finishRolledRow(at);
                rolledEnd_ = at;
            }
            displayed_.clear();
            close(at);
            break;
        case 0x2D:  // carriage return
            if (mode_ == Mode::RollUp) {
                finishRolledRow(at);
                for (int k = 1; k < 15; ++k) displayed_.rows[size_t(k)] = displayed_.rows[size_t(k) + 1];
                displayed_.rows[15].assign(32, ' ');
                column_ = 0;
            }
            break;
        case 0x2E: hidden_.clear(); break;
        case 0x2F:  // end of caption: the hidden memory is shown
            if (mode_ == Mode::RollUp) finishRolledRow(at);
            std::swap(displayed_, hidden_);
            show(displayed_, at);
            mode_ = Mode::PopOn;
            break;
        default: return false;
    }
    return true;
}

// Paint-on text shows as it comes: the display after each line.
void SccReader::paintOnLine(long long frame) {
    if (mode_ != Mode::PaintOn || (displayed_.empty() && !showing_)) return;
    int lastRow = 15;
    const std::vector<std::string> now = displayed_.lines(lastRow);
    if (showing_ && now == current_.lines) return;
    // Text painted on to the caption on screen extends it.
    bool extends = showing_ && now.size() >= current_.lines.size();
    for (size_t k = 0; extends && k < current_.lines.size(); ++k) extends = now[k].rfind(current_.lines[k], 0) == 0;
    if (extends) {
        current_.lines = now;
        current_.lastRow = lastRow;
    } else {
        show(displayed_, frame);
    }
}

void SccReader::finish() {
    if (mode_ == Mode::RollUp) finishRolledRow(lastFrame_);
    unended = showing_;
    close(std::max(lastFrame_, current_.on + 1));
}

std::vector<Shown> SccReader::captions() const {
    std::vector<Shown> all = shown_;
    for (size_t k = 0; k < rolled_.size(); k += 2) {
        Shown s;
        s.on = rolled_[k].start;
        s.lines.push_back(rolled_[k].text);
        s.lastRow = rolled_[k].row;
        if (k + 1 < rolled_.size()) {
            s.lines.push_back(rolled_[k + 1].text);
            s.lastRow = rolled_[k + 1].row;
        }
        s.off = k + 2 < rolled_.size() ? rolled_[k + 2].start
                : rolledEnd_ > s.on    ? rolledEnd_
                                       : std::max(lastFrame_, s.on + 1);
        all.push_back(s);
    }
    std::stable_sort(all.begin(), all.end(), [](const Shown& a, const Shown& b) { return a.on < b.on; });
    return all;
}

// The sets of the captions at `fps`, placed from their last row; counts the
// captions of more than two rows and those shorter than a frame.
std::vector<SubtitleSet> setsOf(const std::vector<Shown>& captions, float fps, int height, int lineHeight,
                                int& moreRows, int& sameFrame) {
    std::vector<SubtitleSet> sets;
    const int maxY = std::max(0, height - 2 * lineHeight);
    for (const Shown& s : captions) {
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
        sets.push_back(std::move(set));
    }
    return sets;
}

// What the import could not carry over exactly.
std::vector<std::string> notesOf(const SccReader& reader, float fps, int moreRows, int sameFrame) {
    std::vector<std::string> notes;
    if (!(broadcast::ntscFamily(fps) && roundedFps(fps) == 30))
        notes.push_back("Captions run at 29.97 frames a second; each time became the nearest frame of the profile.");
    if (moreRows > 0)
        notes.push_back(countText(moreRows, "caption has", "captions have") +
                        " more than two rows; the rows after the first were joined into line B.");
    if (reader.parityErrors > 0)
        notes.push_back(countText(reader.parityErrors, "pair has", "pairs have") +
                        " a byte with even parity, the first in " + reader.firstParity +
                        "; the file may be damaged there. They were read without their parity bit.");
    if (reader.otherChannel > 0) notes.push_back("Codes of channel 2 were left out; only channel 1 is read.");
    if (reader.midRow > 0) notes.push_back("Colours and italics within rows are not kept.");
    if (sameFrame > 0)
        notes.push_back(countText(sameFrame, "caption lasts", "captions last") +
                        " less than a frame at the profile's rate and " + (sameFrame == 1 ? "was" : "were") +
                        " given one frame.");
    if (reader.unended)
        notes.push_back("The last caption is never taken away; it ends with the last code of the file.");
    return notes;
}

}  // namespace

SccImportResult importScc(std::string_view bytes, float fps, int height, int lineHeight) {
    if (bytes.size() > kMaxSccBytes)
        return failure("The file is " + std::to_string(bytes.size() >> 20) + " MB; a caption file is read up to " +
                       std::to_string(kMaxSccBytes >> 20) + " MB.");
    const std::vector<std::string_view> fileLines = text::splitLineViews(bytes);
    size_t n = 0;
    while (n < fileLines.size() && text::trimWhitespace(fileLines[n]).empty()) ++n;
    const std::string header = n < fileLines.size() ? text::trimWhitespace(fileLines[n]) : std::string();
    if (header.rfind("Scenarist_SCC V1.0", 0) != 0 && header.rfind("\xEF\xBB\xBFScenarist_SCC V1.0", 0) != 0)
        return failure("Line " + std::to_string(n + 1) + ": a caption file begins with \"Scenarist_SCC V1.0\".");
    SccReader reader;
    for (size_t i = n + 1; i < fileLines.size(); ++i) {
        const std::string line = text::trimWhitespace(fileLines[i]);
        if (!line.empty() && !reader.readLine(line, i)) return failure(reader.error);
    }
    reader.finish();

    SccImportResult r;
    int moreRows = 0, sameFrame = 0;
    r.sets = setsOf(reader.captions(), fps, height, lineHeight, moreRows, sameFrame);
    if (r.sets.empty()) return failure("The file holds no caption on channel 1.");
    r.notes = notesOf(reader, fps, moreRows, sameFrame);
    r.ok = true;
    return r;
}
