#include "export/Scc.h"

#include <algorithm>
#include <cstdio>

#include "base/Italics.h"
#include "base/Text.h"
#include "base/BroadcastText.h"
#include "base/Utf8.h"
#include "base/Cp1252.h"
#include "project/BroadcastTiming.h"
#include "project/Cea608.h"

namespace {

constexpr int kColumns = 32;
constexpr float kSccRate = 29.97f;

// Control codes of channel 1 (first byte 0x14).
constexpr uint8_t kMisc = 0x14, kRcl = 0x20, kEdm = 0x2C, kEnm = 0x2E, kEoc = 0x2F;
constexpr uint8_t kTab = 0x17;  // tab offsets 1..3: 0x21..0x23

uint16_t pairOf(uint8_t a, uint8_t b) { return uint16_t(cea608::withParity(a) << 8 | cea608::withParity(b)); }

// One column of a row: how its character is sent.
using Cell = cea608::Coded;

std::vector<Cell> cellsOf(const std::string& line, int& nearCount, std::string& nearExamples) {
    std::vector<Cell> cells;
    for (char ch : line) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const Cell cell = cea608::encode(c);
        if (cell.kind != Cell::Near) {
            cells.push_back(cell);
            continue;
        }
        if (c != 0xA0) {
            ++nearCount;
            if (nearExamples.size() < 30 && nearExamples.find(cp1252::toUtf8(std::string(1, ch))) == std::string::npos)
                nearExamples += (nearExamples.empty() ? "" : " ") + cp1252::toUtf8(std::string(1, ch));
        }
        for (char n : cell.nearText) cells.push_back(cea608::encode(static_cast<unsigned char>(n)));
    }
    return cells;
}

bool isSpace(const Cell& c) { return c.kind == Cell::Basic && c.basic == ' '; }

// Rows of at most 32 columns, broken at spaces where one is near.
std::vector<std::vector<Cell>> wrapRows(const std::vector<Cell>& cells) {
    std::vector<std::vector<Cell>> rows;
    size_t at = 0;
    while (at < cells.size()) {
        while (at < cells.size() && isSpace(cells[at])) ++at;
        if (at >= cells.size()) break;
        size_t end = std::min(cells.size(), at + kColumns);
        if (end < cells.size() && !isSpace(cells[end])) {
            size_t space = end;
            while (space > at && !isSpace(cells[space - 1])) --space;
            if (space > at) end = space - 1;
        }
        std::vector<Cell> row(cells.begin() + long(at), cells.begin() + long(end));
        while (!row.empty() && isSpace(row.back())) row.pop_back();
        rows.push_back(row);
        at = end;
    }
    return rows;
}

// The byte pairs that load one row at `column` of `row` (1..15).
void appendRow(std::vector<uint16_t>& out, const std::vector<Cell>& cells, int row, int column) {
    uint8_t hi, lo;
    cea608::preambleBase(row, hi, lo);
    const uint16_t pac = pairOf(hi, uint8_t(lo + 0x10 + (column / 4) * 2));
    out.insert(out.end(), {pac, pac});
    if (column % 4) {
        const uint16_t tab = pairOf(kTab, uint8_t(0x20 + column % 4));
        out.insert(out.end(), {tab, tab});
    }
    int pending = -1;
    auto flush = [&] {
        if (pending >= 0) out.push_back(pairOf(uint8_t(pending), 0));
        pending = -1;
    };
    auto basic = [&](uint8_t b) {
        if (pending < 0) {
            pending = b;
        } else {
            out.push_back(pairOf(uint8_t(pending), b));
            pending = -1;
        }
    };
    for (const Cell& c : cells) {
        if (c.kind == Cell::Basic) {
            basic(c.basic);
            continue;
        }
        // The stand-in of an extended character is replaced by it.
        if (c.kind == Cell::Extended) basic(c.basic);
        flush();
        const uint16_t code = pairOf(c.hi, c.lo);
        out.insert(out.end(), {code, code});
    }
    flush();
}

struct Line {
    long long frame;
    std::vector<uint16_t> pairs;
};

std::string numbers(const std::vector<int>& sets) {
    std::string s;
    for (size_t i = 0; i < sets.size() && i < 10; ++i) s += (i ? ", " : "") + std::to_string(sets[i]);
    if (sets.size() > 10) s += ", ...";
    return s;
}

std::string fpsText(float fps) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", double(fps));
    return buf;
}

// The rows of caption cells of a set's lines, long lines wrapped; counts
// the characters replaced and the lines wrapped.
std::vector<std::vector<Cell>> rowsOf(const TrackSet& s, int& nearCount, std::string& nearExamples, int& wrapped) {
    std::vector<std::vector<Cell>> rows;
    for (const std::string* line : {&s.lineA, &s.lineB}) {
        if (blankLine(*line)) continue;
        broadcasttext::Losses outside;
        const std::string plain =
            broadcasttext::cp1252FromUtf8(text::replaceAll(italics::strip(text::trimSpaces(*line)), utf8::kBrokenBar, "|"), &outside);
        nearCount += outside.replaced;
        if (!outside.examples.empty() && nearExamples.size() < 30)
            nearExamples += (nearExamples.empty() ? "" : " ") + outside.examples;
        std::vector<std::vector<Cell>> r = wrapRows(cellsOf(plain, nearCount, nearExamples));
        if (r.size() > 1) ++wrapped;
        rows.insert(rows.end(), r.begin(), r.end());
    }
    return rows;
}

// The file: its header, then each line's time code and byte pairs.
std::string fileText(const std::vector<Line>& lines) {
    std::string bytes = "Scenarist_SCC V1.0\r\n";
    for (const Line& line : lines) {
        bytes += "\r\n" + broadcast::dropFrameText(line.frame) + "\t";
        for (size_t i = 0; i < line.pairs.size(); ++i) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "%s%04x", i ? " " : "", unsigned(line.pairs[i]));
            bytes += buf;
        }
        bytes += "\r\n";
    }
    return bytes;
}

void addNotes(SccFile& f, float fps, const std::vector<int>& late, int nearCount, const std::string& nearExamples,
              int wrapped, int overlapping) {
    const bool converted = !(broadcast::ntscFamily(fps) && roundedFps(fps) == 30);
    if (converted)
        f.notes.push_back("The project runs at " + fpsText(fps) +
                          " frames a second; captions run at 29.97: each ON and OFF became the 29.97 frame nearest "
                          "to its time.");
    if (!late.empty())
        f.notes.push_back(std::to_string(late.size()) + (late.size() == 1 ? " set comes" : " sets come") +
                          " too close to the caption before to be loaded in time and " +
                          (late.size() == 1 ? "is" : "are") + " shown late: set " + numbers(late) + ".");
    if (nearCount > 0)
        f.notes.push_back(std::to_string(nearCount) + (nearCount == 1 ? " character" : " characters") +
                          " the caption set lacks became the nearest it has: " + nearExamples);
    if (wrapped > 0)
        f.notes.push_back(std::to_string(wrapped) + (wrapped == 1 ? " line is" : " lines are") +
                          " longer than 32 characters and went on over more rows.");
    if (overlapping > 0)
        f.notes.push_back(std::to_string(overlapping) + (overlapping == 1 ? " set is" : " sets are") +
                          " still on when the next begins; each gives way to the next.");
}

}  // namespace

SccFile writeScc(const TrackSets& trackSets, float fps, const SccOptions& o) {
    SccFile f;
    std::vector<TrackSet> sets = trackSets.sets;
    std::stable_sort(sets.begin(), sets.end(), [](const TrackSet& a, const TrackSet& b) { return a.onFrame < b.onFrame; });
    int nearCount = 0, wrapped = 0, overlapping = 0;
    std::string nearExamples;
    std::vector<int> late;
    std::vector<Line> lines;
    bool havePrev = false;
    long long prevOff = 0, free = 0;  // the previous caption's OFF; the first frame after the last EOC
    for (const TrackSet& s : sets) {
        std::vector<std::vector<Cell>> rows = rowsOf(s, nearCount, nearExamples, wrapped);
        if (rows.empty()) {
            ++f.blank;
            continue;
        }
        if (rows.size() > 15) rows.resize(15);
        // Rows from the bottom of the set's lines.
        const int y = s.set >= 0 && size_t(s.set) < o.setY.size() ? o.setY[size_t(s.set)] : 0;
        const int lastRow = cea608::rowOfBottom(y + 2 * o.stripHeight, o.height, int(rows.size()));
        const int firstRow = lastRow - int(rows.size()) + 1;

        std::vector<uint16_t> load = {pairOf(kMisc, kRcl), pairOf(kMisc, kRcl), pairOf(kMisc, kEnm),
                                      pairOf(kMisc, kEnm)};
        for (size_t r = 0; r < rows.size(); ++r) {
            const int width = int(rows[r].size());
            appendRow(load, rows[r], firstRow + int(r), o.centred ? (kColumns - width) / 2 : 0);
        }
        const long long on = broadcast::convertFrame(s.onFrame, fps, kSccRate);
        const long long off = std::max(on + 1, broadcast::convertFrame(s.offFrame, fps, kSccRate));
        const long long length = (long long)load.size();

        // The previous caption is erased at its OFF when that comes two
        // frames or more before this ON; otherwise this EOC replaces it.
        long long edm = -1;
        if (havePrev) {
            if (prevOff + 2 <= on) edm = std::max(prevOff, free);
            else if (prevOff > on) ++overlapping;
        }
        auto hitsEdm = [&](long long start, long long n) { return edm >= 0 && start < edm + 2 && start + n > edm; };
        long long start = on - length;
        if (hitsEdm(start, length)) start = edm - length >= free ? edm - length : edm + 2;
        if (start < free) start = free;
        if (hitsEdm(start, length)) start = edm + 2;
        long long eoc = std::max(on, start + length);
        if (hitsEdm(eoc, 2)) eoc = edm + 2;
        if (eoc > on) late.push_back(s.set + 1);
        if (edm >= 0) lines.push_back({edm, {pairOf(kMisc, kEdm), pairOf(kMisc, kEdm)}});
        lines.push_back({start, load});
        lines.push_back({eoc, {pairOf(kMisc, kEoc), pairOf(kMisc, kEoc)}});
        free = eoc + 2;
        prevOff = std::max(off, free);
        havePrev = true;
        ++f.captions;
    }
    if (havePrev) lines.push_back({std::max(prevOff, free), {pairOf(kMisc, kEdm), pairOf(kMisc, kEdm)}});
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) { return a.frame < b.frame; });

    f.bytes = fileText(lines);
    addNotes(f, fps, late, nearCount, nearExamples, wrapped, overlapping);
    return f;
}
