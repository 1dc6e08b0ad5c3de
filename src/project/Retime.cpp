#include "project/Retime.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "base/Text.h"
#include "project/SubtitleList.h"

namespace {

bool allDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A decimal number of at most nine digits; -1 otherwise.
long long smallNumber(std::string_view s) {
    if (!allDigits(s)) return -1;
    while (s.size() > 1 && s[0] == '0') s.remove_prefix(1);
    if (s.size() > 9) return -1;
    return std::stoll(std::string(s));
}

// The last frame a time code may name: 23:59:59 and the last frame of that second.
long long lastFrameOfDay(float fps) {
    return frameOf(TimeCode{23, 59, 59, std::max(0, roundedFps(fps) - 1)}, fps);
}

std::string setName(int k) { return "set " + std::to_string(k + 1); }

// Ids follow the row index: after sets were added or removed, the sets from
// `from` on get the ids of their new place.
void renumberFrom(std::vector<SubtitleSet>& sets, size_t from) {
    for (size_t k = from; k < sets.size(); ++k) {
        SubtitleSet::Rows& r = sets[k].rows;
        if (!r.fromList) continue;
        r.idA = rowId(int(2 * k));
        r.idB = rowId(int(2 * k + 1));
    }
}

bool rangeInside(SetRange r, size_t count) { return r.first >= 0 && r.first <= r.last && size_t(r.last) < count; }

std::string rangeText(SetRange r) {
    return r.first == r.last ? setName(r.first) : "sets " + std::to_string(r.first + 1) + "-" + std::to_string(r.last + 1);
}

}  // namespace

std::string frameText(long long frame, float fps) {
    return (frame < 0 ? "-" : "") + formatTimeCode(timeCodeOfFrame(frame < 0 ? -frame : frame, fps));
}

std::optional<SetRange> parseSetRange(std::string_view text, int setCount, std::string& error) {
    const std::string t = text::trimSpaces(text);
    const size_t dash = t.find('-');
    const long long first = smallNumber(dash == std::string::npos ? std::string_view(t) : std::string_view(t).substr(0, dash));
    const long long last = dash == std::string::npos ? first : smallNumber(std::string_view(t).substr(dash + 1));
    if (first < 0 || last < 0) {
        error = "\"" + std::string(text) + "\" is not a range of sets (K or K-L, counted from 1)";
        return std::nullopt;
    }
    if (first < 1 || last < first) {
        error = "the range of sets " + t + " is empty or starts before set 1";
        return std::nullopt;
    }
    if (last > setCount) {
        error = "the range of sets " + t + " goes past the last set (" + std::to_string(setCount) + ")";
        return std::nullopt;
    }
    return SetRange{int(first - 1), int(last - 1)};
}

std::optional<TimeCode> readTimeCode(std::string_view text, float fps, std::string& error) {
    const std::vector<std::string> f = text::split(text::trimSpaces(text), ':');
    long long v[4] = {-1, -1, -1, -1};
    if (f.size() == 4)
        for (int i = 0; i < 4; ++i) v[i] = f[size_t(i)].size() <= 2 ? smallNumber(f[size_t(i)]) : -1;
    const int frames = roundedFps(fps);
    if (f.size() != 4 || v[0] < 0 || v[1] < 0 || v[2] < 0 || v[3] < 0) {
        error = "\"" + std::string(text) + "\" is not a time code (HH:MM:SS:FF)";
        return std::nullopt;
    }
    if (v[0] > 23 || v[1] > 59 || v[2] > 59 || v[3] >= frames) {
        error = "\"" + std::string(text) + "\" is not a time code: hours go to 23, minutes and seconds to 59, frames to " +
                std::to_string(frames - 1);
        return std::nullopt;
    }
    return TimeCode{int(v[0]), int(v[1]), int(v[2]), int(v[3])};
}

SetsEdit shiftSets(std::vector<SubtitleSet> sets, SetRange range, long long frames, float fps) {
    SetsEdit out;
    if (!rangeInside(range, sets.size())) {
        out.error = "the sets to shift are not all in the list";
        return out;
    }
    if (roundedFps(fps) <= 0) {
        out.error = "the frame rate is not usable";
        return out;
    }
    const long long last = lastFrameOfDay(fps);
    // Checked for every set before any moves: a refused shift changes nothing.
    for (int k = range.first; k <= range.last; ++k) {
        SubtitleSet& s = sets[size_t(k)];
        for (std::optional<TimeCode>* t : {&s.on, &s.off}) {
            if (!*t) continue;
            const long long moved = frameOf(**t, fps) + frames;
            const char* which = t == &s.on ? "ON" : "OFF";
            if (moved < 0) {
                out.error = setName(k) + ": its " + which + " " + formatTimeCode(**t) + " would go before 00:00:00:00 (to " +
                            frameText(moved, fps) + ")";
                return out;
            }
            if (moved > last) {
                out.error = setName(k) + ": its " + which + " " + formatTimeCode(**t) + " would go past " +
                            frameText(last, fps) + " (to " + frameText(moved, fps) + ")";
                return out;
            }
        }
    }
    for (int k = range.first; k <= range.last; ++k) {
        SubtitleSet& s = sets[size_t(k)];
        bool changed = false;
        for (std::optional<TimeCode>* t : {&s.on, &s.off}) {
            if (!*t) continue;
            const TimeCode moved = timeCodeOfFrame(frameOf(**t, fps) + frames, fps);
            changed |= moved != **t;
            *t = moved;
        }
        out.changed += changed;
    }
    out.sets = std::move(sets);
    return out;
}

SetsEdit shiftSetsTo(std::vector<SubtitleSet> sets, SetRange range, const TimeCode& start, float fps) {
    if (!rangeInside(range, sets.size())) return SetsEdit{{}, "the sets to shift are not all in the list", 0};
    for (int k = range.first; k <= range.last; ++k)
        if (const std::optional<TimeCode>& on = sets[size_t(k)].on) {
            const long long frames = frameOf(start, fps) - frameOf(*on, fps);
            return shiftSets(std::move(sets), range, frames, fps);
        }
    return SetsEdit{{}, "no set in " + rangeText(range) + " has an ON time code to move", 0};
}

namespace {

// Frame `frame` at rate `from` as the nearest frame at rate `to` (a half
// frame goes to the later one).
long long frameAtRate(long long frame, ExactRate from, ExactRate to) {
    // frame * from.den / from.num seconds, times to.num / to.den.
    const __int128 n = (__int128)frame * from.den * to.num;
    const __int128 d = (__int128)from.num * to.den;
    const __int128 twice = 2 * n + d;
    __int128 q = twice / (2 * d);
    if (twice % (2 * d) != 0 && twice < 0) --q;
    return (long long)q;
}

}  // namespace

SetsEdit changeFrameRate(std::vector<SubtitleSet> sets, const RateChange& c) {
    SetsEdit out;
    const ExactRate from = exactRate(c.fromFps), to = exactRate(c.toFps);
    if (from.num <= 0 || to.num <= 0 || roundedFps(c.toFps) <= 0) {
        out.error = "the frame rate is not usable";
        return out;
    }
    const bool scaleY = c.fromHeight > 0 && c.toHeight > 0 && c.fromHeight != c.toHeight;
    for (SubtitleSet& s : sets) {
        bool changed = false;
        for (std::optional<TimeCode>* t : {&s.on, &s.off}) {
            if (!*t) continue;
            const long long frame = frameOf(**t, c.fromFps);
            const long long moved = c.keep == KeepOnRateChange::Frames ? frame : frameAtRate(frame, from, to);
            const TimeCode code = timeCodeOfFrame(moved, c.toFps);
            changed |= code != **t;
            *t = code;
        }
        if (scaleY && s.y) {
            const long long scaled = (2LL * *s.y * c.toHeight + c.fromHeight) / (2LL * c.fromHeight);
            const int y = int(std::clamp<long long>(scaled, 0, std::max(0, c.maxY)));
            changed |= y != *s.y;
            s.y = y;
        }
        out.changed += changed;
    }
    out.sets = std::move(sets);
    return out;
}

SetsEdit splitSet(std::vector<SubtitleSet> sets, int k, float fps) {
    SetsEdit out;
    if (k < 0 || size_t(k) >= sets.size()) {
        out.error = setName(k) + " is not in the list";
        return out;
    }
    const SubtitleSet& s = sets[size_t(k)];
    const std::string a = text::trimSpaces(s.lineA), b = text::trimSpaces(s.lineB);
    if (a.empty() || b.empty()) {
        out.error = setName(k) + " has only one line: there is nothing to split";
        return out;
    }
    SubtitleSet first = s, second = s;
    first.lineA.clear();
    first.lineB = s.lineA;
    second.lineA.clear();
    second.lineB = s.lineB;
    second.rows = SubtitleSet::Rows{};  // a new set: its rows are made from its fields
    if (s.timed()) {
        const long long on = frameOf(*s.on, fps), off = frameOf(*s.off, fps);
        if (off > on) {
            // The share of line A's characters, rounded to the nearest frame.
            const long long cut = on + ((off - on) * 2 * (long long)a.size() + (long long)(a.size() + b.size())) /
                                           (2 * (long long)(a.size() + b.size()));
            first.off = second.on = timeCodeOfFrame(cut, fps);
        } else {
            second.on = s.on;
        }
    } else {
        // Only what there is: the ON stays with the first part, the OFF with the second.
        first.off.reset();
        second.on.reset();
    }
    sets[size_t(k)] = std::move(first);
    sets.insert(sets.begin() + k + 1, std::move(second));
    renumberFrom(sets, size_t(k) + 1);
    out.changed = 2;
    out.sets = std::move(sets);
    return out;
}

SetsEdit mergeSets(std::vector<SubtitleSet> sets, int k) {
    SetsEdit out;
    if (k < 0 || size_t(k) + 1 >= sets.size()) {
        out.error = "sets " + std::to_string(k + 1) + " and " + std::to_string(k + 2) + " are not both in the list";
        return out;
    }
    auto oneLine = [](const SubtitleSet& s) {
        const std::string a = text::trimSpaces(s.lineA), b = text::trimSpaces(s.lineB);
        return a.empty() ? b : b.empty() ? a : a + " " + b;
    };
    const SubtitleSet& second = sets[size_t(k) + 1];
    SubtitleSet merged = sets[size_t(k)];
    merged.lineA = oneLine(merged);
    merged.lineB = oneLine(second);
    if (!merged.on) merged.on = second.on;
    if (second.off) merged.off = second.off;
    sets[size_t(k)] = std::move(merged);
    sets.erase(sets.begin() + k + 1);
    renumberFrom(sets, size_t(k) + 1);
    out.changed = 1;
    out.sets = std::move(sets);
    return out;
}
