#include "project/Proofing.h"

#include <algorithm>
#include <cstdio>
#include <regex>

#include "base/Italics.h"
#include "base/Text.h"
#include "base/Utf8.h"
#include "project/Retime.h"

namespace {

// Longer set texts are not searched with an expression: the library's
// matcher recurses once per character for some expressions.
constexpr size_t kMaxRegexText = 1000;

// The text is UTF-8: every byte of a multi-byte character counts as part
// of a word.
bool isWordChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c >= 0x80;
}

bool wordBounded(const std::string& s, size_t b, size_t e) {
    return (b == 0 || !isWordChar(static_cast<unsigned char>(s[b - 1]))) &&
           (e >= s.size() || !isWordChar(static_cast<unsigned char>(s[e])));
}

std::string withBreaks(const std::string& with) { return text::replaceAll(with, "\\n", "\n"); }

std::string setName(int k) { return "set " + std::to_string(k + 1); }

}  // namespace

struct TextSearch::Impl {
    std::regex re;
};

std::string joinedText(const SubtitleSet& set) { return set.lineA + "\n" + set.lineB; }

TextSearch::TextSearch(const FindOptions& options) : options_(options) {
    if (options.find.empty()) {
        error_ = "the search text is empty";
        return;
    }
    if (!options.regex) return;
    auto flags = std::regex::ECMAScript;
    if (!options.matchCase) flags |= std::regex::icase;
    try {
        impl_ = new Impl{std::regex(options.find, flags)};
    } catch (const std::regex_error& e) {
        error_ = "the regular expression \"" + options.find + "\" does not compile: " + e.what();
    }
}

TextSearch::~TextSearch() { delete impl_; }

std::vector<TextMatch> TextSearch::matches(const SubtitleSet& set, int index) const {
    std::vector<TextMatch> out;
    if (!error_.empty()) return out;
    const std::string s = joinedText(set);
    if (!options_.regex) {
        // Folded copies keep the byte positions of the text.
        const std::string p = options_.matchCase ? options_.find : utf8::foldCase(options_.find);
        const std::string folded = options_.matchCase ? std::string() : utf8::foldCase(s);
        const std::string& t = options_.matchCase ? s : folded;
        auto same = [&](unsigned char pc, unsigned char tc) {
            if (pc == ' ') return tc == ' ' || tc == '\n';
            return pc == tc;
        };
        for (size_t b = 0; b + p.size() <= s.size();) {
            size_t i = 0;
            while (i < p.size() && same(static_cast<unsigned char>(p[i]), static_cast<unsigned char>(t[b + i]))) ++i;
            if (i == p.size() && (!options_.wholeWord || wordBounded(s, b, b + i))) {
                out.push_back({index, b, b + i});
                b += i;
            } else {
                ++b;
            }
        }
        return out;
    }
    if (s.size() > kMaxRegexText) return out;
    std::smatch m;
    for (size_t pos = 0; pos <= s.size();) {
        auto flags = pos > 0 ? std::regex_constants::match_prev_avail : std::regex_constants::match_default;
        if (!std::regex_search(s.cbegin() + std::ptrdiff_t(pos), s.cend(), m, impl_->re, flags)) break;
        const size_t b = size_t(m.position(0)) + pos, e = b + size_t(m.length(0));
        if (!options_.wholeWord || wordBounded(s, b, e)) {
            out.push_back({index, b, e});
            pos = e > b ? e : e + 1;
        } else {
            pos = b + 1;
        }
    }
    return out;
}

std::string TextSearch::replacement(const std::string& joined, const TextMatch& m, const std::string& with) const {
    const std::string w = withBreaks(with);
    if (!options_.regex || !impl_) return w;
    std::smatch found;
    const auto flags = std::regex_constants::match_continuous |
                       (m.begin > 0 ? std::regex_constants::match_prev_avail : std::regex_constants::match_default);
    if (!std::regex_search(joined.cbegin() + std::ptrdiff_t(m.begin), joined.cend(), found, impl_->re, flags)) return w;
    return found.format(w);
}

namespace {

std::string tooLong(const std::vector<SubtitleSet>& sets, const FindOptions& o) {
    if (!o.regex) return {};
    for (size_t k = 0; k < sets.size(); ++k)
        if (sets[k].lineA.size() + sets[k].lineB.size() + 1 > kMaxRegexText)
            return setName(int(k)) + " is longer than " + std::to_string(kMaxRegexText) +
                   " characters, too long for a regular expression search";
    return {};
}

// Where the break goes in a replacement that took its place.
size_t breakInReplacement(const FindOptions& o, const TextMatch& m, size_t lineBreak,
                          const std::string& r) {
    if (r.find('\n') != std::string::npos) return std::string::npos;  // the replacement has its own
    if (!o.regex) {
        // The blank of the search text that met the break: the same blank of the replacement.
        const size_t blanks =
            size_t(std::count(o.find.begin(), o.find.begin() + std::ptrdiff_t(lineBreak - m.begin), ' '));
        size_t at = 0, seen = 0;
        for (; at < r.size(); ++at)
            if (r[at] == ' ' && seen++ == blanks) return at;
    }
    return std::string::npos;
}

// The set's text with the matches replaced; true when the break was inside a match.
bool replaceIn(SubtitleSet& set, const TextSearch& search, const FindOptions& o, const std::vector<TextMatch>& matches,
               const std::string& with) {
    const std::string joined = joinedText(set);
    const size_t lineBreak = set.lineA.size();
    std::string out;
    size_t at = 0;
    bool breakMatched = false;
    for (const TextMatch& m : matches) {
        out.append(joined, at, m.begin - at);
        std::string r = search.replacement(joined, m, with);
        if (m.begin <= lineBreak && lineBreak < m.end) {
            breakMatched = true;
            const size_t b = breakInReplacement(o, m, lineBreak, r);
            if (b < r.size()) r[b] = '\n';
        }
        out += r;
        at = m.end;
    }
    out.append(joined, at, std::string::npos);
    // Without a break the text is one line, line B.
    const size_t split = out.find('\n');
    std::string a = split == std::string::npos ? std::string() : out.substr(0, split);
    std::string b = split == std::string::npos ? out : out.substr(split + 1);
    std::replace(b.begin(), b.end(), '\n', ' ');
    a = text::replaceAll(a, "|", utf8::kBrokenBar);
    b = text::replaceAll(b, "|", utf8::kBrokenBar);
    if (breakMatched) {
        a = text::trimSpaces(a);
        b = text::trimSpaces(b);
    }
    // A last line A without its B row keeps everything in line A.
    if (!set.rows.hasLineB && !b.empty()) {
        a = text::trimSpaces(a + " " + b);
        b.clear();
    }
    const bool changed = a != set.lineA || b != set.lineB;
    set.lineA = std::move(a);
    set.lineB = std::move(b);
    return changed;
}

ReplaceResult replaceWhere(std::vector<SubtitleSet> sets, const FindOptions& o, const std::string& with,
                           const TextMatch* only) {
    ReplaceResult out;
    TextSearch search(o);
    out.error = search.error();
    if (out.error.empty()) out.error = tooLong(sets, o);
    if (!out.ok()) return out;
    if (only && (only->set < 0 || size_t(only->set) >= sets.size())) {
        out.error = setName(only->set) + " is not in the list";
        return out;
    }
    const size_t first = only ? size_t(only->set) : 0, last = only ? first + 1 : sets.size();
    for (size_t k = first; k < last; ++k) {
        std::vector<TextMatch> matches = search.matches(sets[k], int(k));
        if (only) {
            const bool there = std::find(matches.begin(), matches.end(), *only) != matches.end();
            if (!there) {
                out.error = "the text found in " + setName(only->set) + " is no longer there";
                return out;
            }
            matches = {*only};
        }
        if (matches.empty()) continue;
        out.replaced += int(matches.size());
        out.setsChanged += replaceIn(sets[k], search, o, matches, with);
    }
    out.sets = std::move(sets);
    return out;
}

}  // namespace

std::vector<TextMatch> findAll(const std::vector<SubtitleSet>& sets, const FindOptions& options, std::string& error) {
    TextSearch search(options);
    error = search.error();
    if (error.empty()) error = tooLong(sets, options);
    if (!error.empty()) return {};
    std::vector<TextMatch> out;
    for (size_t k = 0; k < sets.size(); ++k) {
        std::vector<TextMatch> m = search.matches(sets[k], int(k));
        out.insert(out.end(), m.begin(), m.end());
    }
    return out;
}

ReplaceResult replaceAll(std::vector<SubtitleSet> sets, const FindOptions& options, const std::string& with) {
    return replaceWhere(std::move(sets), options, with, nullptr);
}

ReplaceResult replaceOne(std::vector<SubtitleSet> sets, const FindOptions& options, const std::string& with,
                         const TextMatch& only) {
    return replaceWhere(std::move(sets), options, with, &only);
}

// --- checks ----------------------------------------------------------------------

namespace {

std::string fixed(double v, int decimals) {
    char b[64];
    std::snprintf(b, sizeof b, "%.*f", decimals, v);
    return b;
}

bool emptySet(const SubtitleSet& s) {
    return !s.on && !s.off && text::trimSpaces(s.lineA).empty() && text::trimSpaces(s.lineB).empty();
}

}  // namespace

std::vector<CheckFinding> checkTimings(const std::vector<SubtitleSet>& sets, float fps, const TimingCheckOptions& o) {
    std::vector<CheckFinding> out;
    const ExactRate rate = exactRate(fps);
    const int n = int(sets.size());
    std::vector<long long> onFrame(size_t(n), 0);
    for (int k = 0; k < n; ++k)
        if (sets[size_t(k)].on) onFrame[size_t(k)] = frameOf(*sets[size_t(k)].on, fps);
    // The next set below with an ON, for each set.
    std::vector<int> nextOn(size_t(n), -1);
    for (int k = n - 2; k >= 0; --k) nextOn[size_t(k)] = sets[size_t(k) + 1].on ? k + 1 : nextOn[size_t(k) + 1];

    int previousOn = -1;
    for (int k = 0; k < n; ++k) {
        const SubtitleSet& s = sets[size_t(k)];
        auto add = [&](const char* kind, std::string detail) { out.push_back({k, kind, std::move(detail)}); };
        if (!s.on || !s.off) {
            if (!emptySet(s))
                add("missing", !s.on && !s.off ? "no ON and no OFF time code" : !s.on ? "no ON time code" : "no OFF time code");
        }
        if (s.on && previousOn >= 0 && onFrame[size_t(k)] < onFrame[size_t(previousOn)])
            add("order", "starts at " + formatTimeCode(*s.on) + ", before set " + std::to_string(previousOn + 1) +
                             " above it (" + formatTimeCode(*sets[size_t(previousOn)].on) + ")");
        if (s.on) previousOn = k;
        if (!s.off) continue;
        const long long off = frameOf(*s.off, fps);
        if (const int next = nextOn[size_t(k)]; next >= 0 && off > onFrame[size_t(next)])
            add("overlap", "ends at " + formatTimeCode(*s.off) + ", after set " + std::to_string(next + 1) +
                               " starts at " + formatTimeCode(*sets[size_t(next)].on));
        if (!s.on) continue;
        const long long frames = off - onFrame[size_t(k)];
        if (frames <= 0) {
            add("timing", "its OFF " + formatTimeCode(*s.off) + " is not after its ON " + formatTimeCode(*s.on));
            continue;
        }
        if (o.minFrames > 0 && frames < o.minFrames)
            add("short", "shown for " + std::to_string(frames) + (frames == 1 ? " frame" : " frames") + ", fewer than " +
                             std::to_string(o.minFrames));
        if (o.maxCps > 0 && rate.num > 0) {
            // The italics tags are not read.
            const size_t chars = utf8::length(text::trimSpaces(italics::strip(s.lineA))) +
                                 utf8::length(text::trimSpaces(italics::strip(s.lineB)));
            const double seconds = double(frames) * double(rate.den) / double(rate.num);
            const double cps = double(chars) / seconds;
            if (cps > o.maxCps)
                add("speed", fixed(cps, 1) + " characters per second (" + std::to_string(chars) + " in " +
                                 fixed(seconds, 2) + " s), more than " + fixed(o.maxCps, o.maxCps == int(o.maxCps) ? 0 : 1));
        }
    }
    return out;
}

void sortFindings(std::vector<CheckFinding>& findings) {
    std::stable_sort(findings.begin(), findings.end(),
                     [](const CheckFinding& a, const CheckFinding& b) { return a.set < b.set; });
}
