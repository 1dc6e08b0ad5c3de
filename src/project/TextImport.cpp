#include "project/TextImport.h"

#include <algorithm>

#include "base/Text.h"
#include "base/Utf8.h"
#include "project/ProjectFile.h"
#include "project/SubtitleList.h"

namespace {

bool isControl(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v'; }

// One line of the file as a line of a set: blanks around it dropped, tabs
// as blanks, control characters left out, '|' (the project file's column
// separator) as the broken bar that looks the same.
std::string setLine(std::string_view raw) {
    std::string s;
    s.reserve(raw.size());
    for (char c : raw) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '\t') s += ' ';
        else if (c == '|') s += utf8::kBrokenBar;
        else if (!isControl(u) && c != '\f' && c != '\v') s += c;
    }
    return text::trimSpaces(s);
}

SubtitleSet newSet(std::string a, std::string b, int stripsY) {
    SubtitleSet s;
    s.lineA = std::move(a);
    s.lineB = std::move(b);
    s.y = stripsY;
    return s;
}

}  // namespace

TextImportResult importPlainText(std::string_view bytes, int stripsY) {
    TextImportResult out;
    utf8::Decoded decoded = utf8::decodeTextFile(bytes);
    out.convertedFromUtf8 = decoded.converted;
    const std::string content = std::move(decoded.text);
    size_t controls = 0;
    for (char c : content) {
        if (c == '\0') {
            out.error = "this is not a text file (it holds NUL bytes)";
            return out;
        }
        controls += isControl(static_cast<unsigned char>(c));
    }
    if (controls * 10 > content.size()) {
        out.error = "this is not a text file (" + std::to_string(controls) + " of its " +
                    std::to_string(content.size()) + " characters are control characters)";
        return out;
    }
    std::vector<std::string> block;
    auto finish = [&]() {
        if (block.empty()) return;
        std::string a, b;
        if (block.size() == 1) {
            b = std::move(block[0]);
        } else {
            a = std::move(block[0]);
            for (size_t i = 1; i < block.size(); ++i) b += (b.empty() ? "" : " ") + block[i];
        }
        out.sets.push_back(newSet(std::move(a), std::move(b), stripsY));
        block.clear();
    };
    std::string_view raw;
    for (text::LineWalk walk(content); walk.next(raw);) {
        std::string line = setLine(raw);
        if (line.empty()) finish();
        else block.push_back(std::move(line));
        if (out.sets.size() * 2 > kMaxProjectRows) {
            out.sets.clear();
            out.error = "the text makes more than " + std::to_string(kMaxProjectRows / 2) + " sets";
            return out;
        }
    }
    finish();
    if (out.sets.empty()) out.error = "there is no text in it";
    return out;
}

namespace {

struct Cue {
    long long on = 0, off = 0;
    std::string text;
    TimeCode onCode, offCode;
};

std::vector<Cue> cuesOf(std::string_view bytes, float fps, SrtImportResult& result) {
    SubtitleList list;
    list.clearList();
    result = importSrtText(bytes, fps, 0, list);
    std::vector<Cue> cues;
    cues.reserve(size_t(list.entryCount()));
    // The reader gives both rows of a cue its full timing.
    for (int row = 0; row + 1 < list.lineCount(); row += 2) {
        const SubtitleLine &a = *list.row(row), &b = *list.row(row + 1);
        Cue c;
        c.onCode = a.timing.on.value_or(TimeCode{});
        c.offCode = a.timing.off.value_or(TimeCode{});
        c.on = frameOf(c.onCode, fps);
        c.off = frameOf(c.offCode, fps);
        c.text = a.text.empty() ? b.text : b.text.empty() ? a.text : a.text + " " + b.text;
        cues.push_back(std::move(c));
    }
    std::stable_sort(cues.begin(), cues.end(), [](const Cue& x, const Cue& y) { return x.on < y.on; });
    return cues;
}

long long overlap(const Cue& x, const Cue& y) { return std::min(x.off, y.off) - std::max(x.on, y.on); }

// For each cue of `a`, the cue of `b` (both in ON order) it overlaps most;
// -1 when it overlaps none. Ties go to the earlier cue.
std::vector<int> bestPartners(const std::vector<Cue>& a, const std::vector<Cue>& b) {
    long long longest = 0;
    for (const Cue& c : b) longest = std::max(longest, c.off - c.on);
    std::vector<int> best(a.size(), -1);
    for (size_t i = 0; i < a.size(); ++i) {
        // The cues of b that start before a's OFF, back to the first that could still reach a's ON.
        auto end = std::lower_bound(b.begin(), b.end(), a[i].off, [](const Cue& c, long long v) { return c.on < v; });
        long long most = 0;
        for (auto j = end; j != b.begin();) {
            --j;
            if (j->on + longest <= a[i].on) break;
            const long long o = overlap(a[i], *j);
            if (o > 0 && o >= most) {
                most = o;
                best[i] = int(j - b.begin());
            }
        }
    }
    return best;
}

}  // namespace

TwoLanguageResult mergeTwoLanguages(std::string_view topBytes, std::string_view bottomBytes, float fps, int stripsY) {
    TwoLanguageResult out;
    const std::vector<Cue> top = cuesOf(topBytes, fps, out.top);
    const std::vector<Cue> bottom = cuesOf(bottomBytes, fps, out.bottom);
    if (top.empty() || bottom.empty()) {
        out.error = std::string(top.empty() ? "the first" : "the second") + " file holds no SubRip cue";
        return out;
    }
    const std::vector<int> forTop = bestPartners(top, bottom), forBottom = bestPartners(bottom, top);

    struct Placed {
        long long on;
        SubtitleSet set;
    };
    std::vector<Placed> placed;
    placed.reserve(top.size() + bottom.size());
    std::vector<bool> bottomTaken(bottom.size(), false);
    for (size_t i = 0; i < top.size(); ++i) {
        const int j = forTop[i];
        if (j >= 0 && forBottom[size_t(j)] == int(i)) {
            const Cue &t = top[i], &b = bottom[size_t(j)];
            SubtitleSet s = newSet(t.text, b.text, stripsY);
            s.on = t.on <= b.on ? t.onCode : b.onCode;
            s.off = t.off >= b.off ? t.offCode : b.offCode;
            placed.push_back({std::min(t.on, b.on), std::move(s)});
            bottomTaken[size_t(j)] = true;
            ++out.pairs;
        } else {
            SubtitleSet s = newSet(top[i].text, "", stripsY);
            s.on = top[i].onCode;
            s.off = top[i].offCode;
            placed.push_back({top[i].on, std::move(s)});
            ++out.topAlone;
        }
    }
    for (size_t j = 0; j < bottom.size(); ++j) {
        if (bottomTaken[j]) continue;
        SubtitleSet s = newSet("", bottom[j].text, stripsY);
        s.on = bottom[j].onCode;
        s.off = bottom[j].offCode;
        placed.push_back({bottom[j].on, std::move(s)});
        ++out.bottomAlone;
    }
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& x, const Placed& y) { return x.on < y.on; });
    out.sets.reserve(placed.size());
    for (Placed& p : placed) out.sets.push_back(std::move(p.set));
    return out;
}
