#include "project/StlImport.h"

#include <algorithm>

#include "base/Italics.h"
#include "base/BroadcastText.h"
#include "base/Cp1252.h"
#include "base/Text.h"
#include "project/BroadcastTiming.h"

namespace {

constexpr size_t kGsiSize = 1024, kTtiSize = 128;

std::string countText(long long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool allDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A GSI field as printable text for a message.
std::string shown(std::string_view s) {
    std::string out;
    for (char c : s) out += (c >= 0x20 && c < 0x7F) ? c : '?';
    return "\"" + out + "\"";
}

struct Block {
    int index = 0;  // 1-based block number in the file
    int sn = 0;
    TimeCode in, out;
    int vp = 0;
    std::string text;
};

StlImportResult failure(std::string error) {
    StlImportResult r;
    r.error = std::move(error);
    return r;
}

// Checks the GSI block and the file's length against it: the frame rate and
// kind of the list into `r` with the first notes, the blocks the file holds
// and the rows its vertical positions count. "" or the fault.
std::string readGsi(std::string_view bytes, StlImportResult& r, long long& held, int& gridRows) {
    const std::string_view gsi = bytes.substr(0, kGsiSize);
    const std::string_view cpn = gsi.substr(0, 3), dfc = gsi.substr(3, 8), cct = gsi.substr(12, 2);
    if (cpn != "850" && cpn != "437" && cpn != "860" && cpn != "863" && cpn != "865")
        return "GSI block: the code page number " + shown(cpn) +
               " is none of 437, 850, 860, 863 and 865; this is no EBU subtitle list.";
    if (dfc == "STL25.01") r.dfcRate = 25;
    else if (dfc == "STL30.01") r.dfcRate = 30;
    else return "GSI block: the disk format code " + shown(dfc) + " is neither STL25.01 nor STL30.01.";
    if (cct != "00") {
        static const char* const kTables[] = {"Latin/Cyrillic", "Latin/Arabic", "Latin/Greek", "Latin/Hebrew"};
        if (cct.size() == 2 && cct[0] == '0' && cct[1] >= '1' && cct[1] <= '4')
            return "GSI block: the character code table " + std::string(cct) + " (" + kTables[cct[1] - '1'] +
                   ") is not supported; only the Latin table 00 can be imported.";
        return "GSI block: the character code table " + shown(cct) + " is unknown (00 to 04 are defined).";
    }
    const char dsc = gsi[11];
    r.teletext = dsc == '1' || dsc == '2';
    const std::string_view tnbText = gsi.substr(238, 5);
    if (!allDigits(text::trimSpaces(tnbText)))
        return "GSI block: the number of TTI blocks (TNB) " + shown(tnbText) + " is not a number.";
    const long long tnb = text::toInt(text::trimSpaces(tnbText));
    const size_t rest = bytes.size() - kGsiSize;
    held = (long long)(rest / kTtiSize);
    if (rest % kTtiSize != 0)
        return "TTI block " + std::to_string(held + 1) + " is cut short: it has " +
               countText((long long)(rest % kTtiSize), "byte", "bytes") + " of 128.";
    if (tnb > held)
        return "GSI block: the list names " + countText(tnb, "TTI block", "TTI blocks") +
               " (TNB), but the file holds only " + std::to_string(held) + ".";
    if (tnb < held)
        r.notes.push_back("The GSI block names " + countText(tnb, "TTI block", "TTI blocks") + ", the file holds " +
                          std::to_string(held) + "; all of them were read.");
    if (cpn != "850")
        r.notes.push_back("The GSI block uses code page " + std::string(cpn) +
                          "; only its titles are written in it, and the project keeps none of them.");
    // MNR of open subtitles: their vertical positions count that many rows.
    const std::string mnrText = text::trimSpaces(gsi.substr(253, 2));
    const int mnr = allDigits(mnrText) ? text::toInt(mnrText) : 23;
    gridRows = r.teletext ? 25 : std::max(mnr, 1) + 2;
    return {};
}

// The subtitles of the TTI blocks, extension blocks joined; comments and
// user data counted and left out.
struct Blocks {
    std::vector<Block> subtitles;
    int comments = 0, userData = 0;
    std::string error;
};

Blocks readBlocks(std::string_view bytes, long long held, int rate) {
    Blocks out;
    Block pending;
    bool open = false;
    for (long long k = 0; k < held; ++k) {
        const std::string_view b = bytes.substr(kGsiSize + size_t(k) * kTtiSize, kTtiSize);
        const auto u = [&](size_t i) { return static_cast<unsigned char>(b[i]); };
        const int ebn = u(3), sn = u(1) | u(2) << 8;
        const std::string where = "TTI block " + std::to_string(k + 1) + " (subtitle " + std::to_string(sn) + ")";
        if (ebn == 0xFE) {
            ++out.userData;
            continue;
        }
        if (open && sn != pending.sn) {
            out.error = "TTI block " + std::to_string(k + 1) + ": subtitle " + std::to_string(pending.sn) +
                        " ends without its last extension block.";
            return out;
        }
        TimeCode t[2];
        for (int i = 0; i < 2; ++i) {
            t[i] = TimeCode{u(size_t(5 + 4 * i)), u(size_t(6 + 4 * i)), u(size_t(7 + 4 * i)), u(size_t(8 + 4 * i))};
            if (t[i].hh > 23 || t[i].mm > 59 || t[i].ss > 59 || t[i].ff >= rate) {
                out.error = where + ": the time code " + std::string(i ? "out " : "in ") + formatTimeCode(t[i]) +
                            " is not a time code at " + std::to_string(rate) + " frames a second.";
                return out;
            }
        }
        if (!open) {
            pending = Block{};
            pending.index = int(k + 1);
            pending.sn = sn;
            pending.in = t[0];
            pending.out = t[1];
            pending.vp = u(13);
            open = true;
        }
        if (u(15) != 0) {
            // A comment: not shown, not part of the subtitles.
            if (ebn == 0xFF) {
                open = false;
                ++out.comments;
            }
            continue;
        }
        // Each block's text ends at its padding.
        const std::string_view field = b.substr(16, 112);
        pending.text.append(field.substr(0, std::min(field.size(), field.find('\x8F'))));
        if (ebn == 0xFF) {
            out.subtitles.push_back(pending);
            open = false;
        }
    }
    if (open)
        out.error = "TTI block " + std::to_string(held) + ": subtitle " + std::to_string(pending.sn) +
                    " ends without its last extension block.";
    return out;
}

// The frames that come off every time code: the programme start (TCP) when
// it is a time code and some subtitle starts at or after it; the subtitles
// before it (time codes of the tape before the programme) are left out.
// When none starts after it, the TCP is no start of these subtitles and
// nothing comes off.
long long programmeStartOffset(std::string_view gsi, std::vector<Block>& subtitles, StlImportResult& r) {
    TimeCode start;
    const std::string_view tcp = gsi.substr(256, 8);
    if (allDigits(tcp)) {
        start = TimeCode{text::toInt(tcp.substr(0, 2)), text::toInt(tcp.substr(2, 2)), text::toInt(tcp.substr(4, 2)),
                         text::toInt(tcp.substr(6, 2))};
        if (start.ff >= r.dfcRate || start.mm > 59 || start.ss > 59) start = TimeCode{};
    }
    const long long startFrames = broadcast::labelFrames(start, r.dfcRate);
    int before = 0;
    for (const Block& s : subtitles) before += broadcast::labelFrames(s.in, r.dfcRate) < startFrames ? 1 : 0;
    const bool useStart = startFrames > 0 && before < int(subtitles.size());
    if (useStart && before > 0) {
        r.notes.push_back(countText(before, "subtitle starts", "subtitles start") + " before the programme start " +
                          formatTimeCode(start) + " and " + (before == 1 ? "was" : "were") + " left out.");
        subtitles.erase(std::remove_if(subtitles.begin(), subtitles.end(),
                                       [&](const Block& s) {
                                           return broadcast::labelFrames(s.in, r.dfcRate) < startFrames;
                                       }),
                        subtitles.end());
    } else if (startFrames > 0 && !useStart) {
        r.notes.push_back("Every subtitle starts before the programme start " + formatTimeCode(start) +
                          "; the time codes were taken as they are.");
    }
    return useStart ? startFrames : 0;
}

// The rows of a subtitle's text in UTF-8, blank rows left out; `coloured`
// when a teletext colour code is among them.
std::vector<std::string> textLines(const std::string& text, bool& coloured, broadcasttext::Losses& losses) {
    std::vector<std::string> rows(1);
    coloured = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::string& row = rows.back();
        if (c == 0x8F) break;
        if (c == 0x8A) {
            if (!row.empty()) rows.emplace_back();
            continue;
        }
        if (c < 0x20) {
            // Teletext codes take a cell and show as a space.
            if (c >= 0x01 && c <= 0x06) coloured = true;
            if (!row.empty() && row.back() != ' ') row += ' ';
            continue;
        }
        // Italics of open subtitles (80h on, 81h off) become the line's tags.
        if (c == 0x80 || c == 0x81) {
            row += c == 0x80 ? italics::kOpen : italics::kClose;
            continue;
        }
        if (c == 0x7F || (c >= 0x82 && c < 0xA0)) continue;  // other open-subtitle styles and spare codes
        size_t used = 1;
        std::string chars = broadcasttext::cp1252FromIso6937At(text, i, used, &losses);
        i += used - 1;
        row += cp1252::toUtf8(text::replaceAll(chars, "|", "\xA6"));
    }
    std::vector<std::string> lines;
    for (const std::string& row : italics::balanceLines(rows)) {
        std::string t = text::trimSpaces(row);
        if (!t.empty()) lines.push_back(t);
    }
    return lines;
}

// What the making of the sets counts for the notes.
struct SetCounts {
    broadcasttext::Losses losses;
    int colours = 0, moreRows = 0, empty = 0, reversed = 0;
};

// The sets of the subtitles into `r`, their time codes less `offset` at the
// profile's rate `base`, placed from their vertical positions.
void addSets(const std::vector<Block>& subtitles, long long offset, int base, int gridRows, int height,
             int lineHeight, StlImportResult& r, SetCounts& counts) {
    const int maxY = std::max(0, height - 2 * lineHeight);
    for (const Block& s : subtitles) {
        bool coloured = false;
        const std::vector<std::string> lines = textLines(s.text, coloured, counts.losses);
        if (lines.empty()) {
            ++counts.empty;
            continue;
        }
        if (coloured) ++counts.colours;
        SubtitleSet set;
        if (lines.size() == 1) {
            set.lineB = lines[0];
        } else {
            set.lineA = lines[0];
            set.lineB = lines[1];
            for (size_t i = 2; i < lines.size(); ++i) set.lineB += " " + lines[i];
            if (lines.size() > 2) ++counts.moreRows;
        }
        auto own = [&](const TimeCode& t) {
            return broadcast::rescaleTimeCode(
                broadcast::labelTimeCode(broadcast::labelFrames(t, r.dfcRate) - offset, r.dfcRate), r.dfcRate, base);
        };
        set.on = own(s.in);
        set.off = own(s.out);
        if (broadcast::labelFrames(s.out, r.dfcRate) <= broadcast::labelFrames(s.in, r.dfcRate)) ++counts.reversed;
        int top = int((long long)s.vp * height / gridRows);
        if (lines.size() == 1) top -= lineHeight;
        set.y = std::clamp(top, 0, maxY);
        r.sets.push_back(std::move(set));
    }
}

void addNotes(const SetCounts& c, const Blocks& blocks, StlImportResult& r) {
    if (c.losses.replaced > 0)
        r.notes.push_back(countText(c.losses.replaced, "character", "characters") +
                          " that Windows-1252 lacks became the nearest it has: " + c.losses.examples);
    if (c.colours > 0)
        r.notes.push_back(countText(c.colours, "subtitle has", "subtitles have") +
                          " coloured teletext text; the project shows every line in the preset's colours.");
    if (c.moreRows > 0)
        r.notes.push_back(countText(c.moreRows, "subtitle has", "subtitles have") +
                          " more than two rows; the rows after the first were joined into line B.");
    if (c.empty > 0)
        r.notes.push_back(countText(c.empty, "subtitle without text was", "subtitles without text were") + " left out.");
    if (blocks.comments > 0)
        r.notes.push_back(countText(blocks.comments, "comment was", "comments were") + " left out.");
    if (blocks.userData > 0)
        r.notes.push_back(countText(blocks.userData, "user data block was", "user data blocks were") + " left out.");
    if (c.reversed > 0)
        r.notes.push_back(countText(c.reversed, "subtitle ends", "subtitles end") + " at or before its start; " +
                          (c.reversed == 1 ? "it is" : "they are") + " kept as they are.");
}

}  // namespace

StlImportResult importStl(std::string_view bytes, float fps, int height, int lineHeight) {
    if (bytes.size() < kGsiSize)
        return failure("The file is " + countText((long long)bytes.size(), "byte", "bytes") +
                       " long; an EBU subtitle list starts with a GSI block of 1024 bytes.");
    StlImportResult r;
    long long held = 0;
    int gridRows = 25;
    if (std::string error = readGsi(bytes, r, held, gridRows); !error.empty()) return failure(error);
    Blocks blocks = readBlocks(bytes, held, r.dfcRate);
    if (!blocks.error.empty()) return failure(blocks.error);
    const long long offset = programmeStartOffset(bytes.substr(0, kGsiSize), blocks.subtitles, r);
    const int base = roundedFps(fps);
    if (base != r.dfcRate)
        r.notes.push_back("The list counts " + std::to_string(r.dfcRate) + " frames a second and the profile " +
                          std::to_string(base) + ": each time code keeps its hours, minutes and seconds and its frames "
                          "are scaled to the nearest.");
    SetCounts counts;
    addSets(blocks.subtitles, offset, base, gridRows, height, lineHeight, r, counts);
    if (r.sets.empty()) return failure("The list holds no subtitle with text.");
    addNotes(counts, blocks, r);
    r.ok = true;
    return r;
}
