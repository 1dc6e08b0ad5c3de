#include "base/Text.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace text {
namespace {
std::string trimIf(std::string_view s, bool (*isTrim)(char)) {
    size_t b = 0, e = s.size();
    while (b < e && isTrim(s[b])) ++b;
    while (e > b && isTrim(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}
}  // namespace

std::string trimSpaces(std::string_view s) {
    return trimIf(s, [](char c) { return c == ' '; });
}
std::string trimBlanks(std::string_view s) {
    return trimIf(s, [](char c) { return c == ' ' || c == '\t'; });
}
std::string trimWhitespace(std::string_view s) {
    return trimIf(s, [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; });
}

std::string field(std::string_view s, char c, int n) {
    int index = 1;
    size_t start = 0;
    for (;;) {
        size_t end = s.find(c, start);
        if (index == n) return std::string(s.substr(start, end == std::string_view::npos ? s.size() - start : end - start));
        if (end == std::string_view::npos) return {};
        start = end + 1;
        ++index;
    }
}

std::vector<std::string> split(std::string_view s, char c) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t end = s.find(c, start);
        if (end == std::string_view::npos) {
            out.emplace_back(s.substr(start));
            return out;
        }
        out.emplace_back(s.substr(start, end - start));
        start = end + 1;
    }
}

int toInt(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) {
        negative = t[i] == '-';
        ++i;
    }
    long long v = 0;
    bool any = false;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
        any = true;
        if (v < 10'000'000'000LL) v = v * 10 + (t[i] - '0');
        ++i;
    }
    if (!any) return 0;
    if (negative) v = -v;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return int(v);
}

float toFloat(std::string_view s) {
    std::string t = trimBlanks(s);
    float v = 0;
    const char* b = t.data();
    if (!t.empty() && t[0] == '+') ++b;
    auto r = std::from_chars(b, t.data() + t.size(), v);
    if (r.ec != std::errc()) return 0.0f;
    return v;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool containsIgnoreCase(std::string_view haystack, std::string_view needle) {
    return lower(haystack).find(lower(needle)) != std::string::npos;
}

std::string removeAll(std::string_view s, std::string_view what) {
    return replaceAll(s, what, "");
}

std::string removeAllIgnoreCase(std::string_view s, std::string_view what) {
    if (what.empty()) return std::string(s);
    std::string ls = lower(s), lw = lower(what), out;
    size_t pos = 0;
    for (;;) {
        size_t hit = ls.find(lw, pos);
        if (hit == std::string::npos) break;
        out.append(s.substr(pos, hit - pos));
        pos = hit + what.size();
    }
    out.append(s.substr(pos));
    return out;
}

std::string replaceAll(std::string_view s, std::string_view what, std::string_view with) {
    if (what.empty()) return std::string(s);
    std::string out;
    size_t pos = 0;
    for (;;) {
        size_t hit = s.find(what, pos);
        if (hit == std::string_view::npos) break;
        out.append(s.substr(pos, hit - pos));
        out.append(with);
        pos = hit + what.size();
    }
    out.append(s.substr(pos));
    return out;
}

std::string padded(long long value, int width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (int(digits.size()) < width) digits.insert(0, size_t(width) - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

std::vector<std::string> splitLines(std::string_view content) {
    std::vector<std::string_view> views = splitLineViews(content);
    return std::vector<std::string>(views.begin(), views.end());
}

std::vector<std::string_view> splitLineViews(std::string_view content) {
    std::vector<std::string_view> lines;
    std::string_view line;
    for (LineWalk walk(content); walk.next(line);) lines.push_back(line);
    return lines;
}

bool LineWalk::next(std::string_view& line) {
    if (pos_ >= s_.size()) return false;
    // A line ends at the first CR or LF; a CR LF pair is one ending.
    const char* base = s_.data();
    const char* lf = static_cast<const char*>(std::memchr(base + pos_, '\n', s_.size() - pos_));
    const size_t lfAt = lf ? size_t(lf - base) : s_.size();
    const char* cr = static_cast<const char*>(std::memchr(base + pos_, '\r', lfAt - pos_));
    const size_t end = cr ? size_t(cr - base) : lfAt;
    line = s_.substr(pos_, end - pos_);
    pos_ = end + 1;
    if (cr && pos_ < s_.size() && base[pos_] == '\n') ++pos_;
    return true;
}

}  // namespace text

std::string text::utf8Prefix(std::string_view s, size_t maxBytes) {
    if (s.size() <= maxBytes) return std::string(s);
    size_t cut = maxBytes;
    // Back over the continuation bytes of a character cut in two (at most
    // three, as a character has at most four bytes).
    for (int k = 0; k < 3 && cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80; ++k) --cut;
    if ((static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) cut = maxBytes;  // not UTF-8: cut as it stands
    return std::string(s.substr(0, cut));
}
