#include "base/Italics.h"

#include <algorithm>
#include <utility>

namespace italics {

namespace {

// Calls text(piece, italic, at) for the text between tags.
template <typename F>
void walk(std::string_view line, F&& text) {
    bool italic = false;
    size_t start = 0, i = 0;
    while (i < line.size()) {
        const bool open = line.compare(i, kOpen.size(), kOpen) == 0;
        const bool close = !open && line.compare(i, kClose.size(), kClose) == 0;
        if (!open && !close) {
            ++i;
            continue;
        }
        if (i > start) text(line.substr(start, i - start), italic, start);
        italic = open;
        i += open ? kOpen.size() : kClose.size();
        start = i;
    }
    if (i > start) text(line.substr(start, i - start), italic, start);
}

// The text of slanted pieces with as few tags as they need.
std::string join(const std::string& plain, const std::vector<bool>& slant) {
    std::string out;
    bool italic = false;
    for (size_t i = 0; i < plain.size(); ++i) {
        if (slant[i] != italic) out += slant[i] ? kOpen : kClose;
        italic = slant[i];
        out += plain[i];
    }
    if (italic) out += kClose;
    return out;
}

}  // namespace

bool hasTags(std::string_view line) {
    return line.find(kOpen) != std::string_view::npos || line.find(kClose) != std::string_view::npos;
}

std::vector<Run> runs(std::string_view line) {
    std::vector<Run> out;
    walk(line, [&](std::string_view t, bool italic, size_t at) {
        if (!out.empty() && out.back().italic == italic && out.back().at + out.back().text.size() == at)
            out.back().text = line.substr(out.back().at, out.back().text.size() + t.size());
        else
            out.push_back({t, italic, at});
    });
    return out;
}

std::string strip(std::string_view line) {
    if (!hasTags(line)) return std::string(line);
    std::string out;
    walk(line, [&](std::string_view t, bool, size_t) { out += t; });
    return out;
}

std::string rewrite(std::string_view line, std::string_view open, std::string_view close, Escape escape) {
    std::string out;
    bool italic = false;
    for (const Run& r : runs(line)) {
        if (r.italic != italic) out += r.italic ? open : close;
        italic = r.italic;
        out += escape ? escape(r.text) : std::string(r.text);
    }
    if (italic) out += close;
    return out;
}

std::string toggle(std::string_view line, size_t from, size_t to) {
    if (from > to) std::swap(from, to);
    to = std::min(to, line.size());
    if (from == to) from = 0, to = line.size();
    // Each byte of the text without tags, its slant, and whether it was selected.
    std::string plain;
    std::vector<bool> slant, chosen;
    walk(line, [&](std::string_view t, bool italic, size_t at) {
        for (size_t i = 0; i < t.size(); ++i) {
            plain += t[i];
            slant.push_back(italic);
            chosen.push_back(at + i >= from && at + i < to);
        }
    });
    bool allItalic = true, any = false;
    for (size_t i = 0; i < plain.size(); ++i)
        if (chosen[i]) any = true, allItalic = allItalic && slant[i];
    if (!any) return std::string(line);
    for (size_t i = 0; i < plain.size(); ++i)
        if (chosen[i]) slant[i] = !allItalic;
    return join(plain, slant);
}

std::vector<std::string> balanceLines(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    bool carried = false;  // italics open at the end of the line before
    for (const std::string& l : lines) {
        std::string line = carried ? std::string(kOpen) + l : l;
        // The last tag decides: text that ends inside italics carries them on.
        const size_t lastOpen = line.rfind(kOpen), lastClose = line.rfind(kClose);
        carried = lastOpen != std::string::npos && (lastClose == std::string::npos || lastClose < lastOpen);
        out.push_back(rewrite(line, kOpen, kClose));
    }
    return out;
}

}  // namespace italics
