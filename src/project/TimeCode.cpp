#include "project/TimeCode.h"

#include <cfenv>
#include <cmath>

#include "base/Text.h"

long long frameOf(const TimeCode& t, float fps) {
    long double f = fps;
    long double value = (long double)((long long)t.hh * 3600) * f + (long double)t.mm * 60 * f + (long double)t.ss * f +
                        (long double)t.ff;
    // Halves round to even in the default rounding mode (rint is nearbyint
    // without the saved floating-point state, a single instruction here).
    return (long long)std::rintl(value);
}

std::string formatTimeCode(const TimeCode& t) {
    return text::padded(t.hh, 2) + ":" + text::padded(t.mm, 2) + ":" + text::padded(t.ss, 2) + ":" + text::padded(t.ff, 2);
}

TimeCode parseTimeCode(std::string_view s) {
    // One pass over the text; later fields are ignored.
    TimeCode t;
    int* fields[4] = {&t.hh, &t.mm, &t.ss, &t.ff};
    size_t start = 0;
    for (int n = 0; n < 4; ++n) {
        const size_t end = s.find(':', start);
        *fields[n] = text::toInt(s.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return t;
}

std::pair<std::string, std::string> splitTiming(std::string_view timing) {
    size_t gt = timing.find('>');
    if (gt == std::string_view::npos) return {std::string(timing), std::string()};
    return {std::string(timing.substr(0, gt)), std::string(timing.substr(gt + 1))};
}

int roundedFps(float fps) {
    if (!(std::fabs(fps) <= 1e6f)) return 0;  // not a frame rate (also NaN)
    return int(std::nearbyint(double(fps)));
}

TimeCode timeCodeOfFrame(long long frame, float fps) {
    TimeCode t;
    if (frame < 0) frame = 0;
    if (fps <= 0) return t;
    // A whole rate counts every second alike (frameOf is exact for it).
    if (const int n = roundedFps(fps); n > 0 && float(n) == fps) {
        const long long whole = frame / n;
        t.hh = int(whole / 3600);
        t.mm = int((whole / 60) % 60);
        t.ss = int(whole % 60);
        t.ff = int(frame % n);
        return t;
    }
    // Second S starts at frame rint(S * fps), as frameOf counts: the frame
    // belongs to the last second that starts at or before it. Going by
    // frame / fps alone would put the first frame of some seconds at 23.976
    // or 29.97 into the second before, as a frame number past its last one.
    long double seconds = (long double)frame / fps;
    long long whole = (long long)std::floor(seconds + 1e-9L);
    auto start = [fps](long long s) { return (long long)std::rintl((long double)s * fps); };
    while (whole > 0 && start(whole) > frame) --whole;
    while (start(whole + 1) <= frame) ++whole;
    long long rest = frame - start(whole);
    int maxFrame = roundedFps(fps) - 1;
    if (rest < 0) rest = 0;
    if (rest > maxFrame) rest = maxFrame;
    t.hh = int(whole / 3600);
    t.mm = int((whole / 60) % 60);
    t.ss = int(whole % 60);
    t.ff = int(rest);
    return t;
}

namespace {

void appendTimeCode(std::string& out, const TimeCode& t) {
    out += text::padded(t.hh, 2);
    for (int v : {t.mm, t.ss, t.ff}) {
        out += ':';
        if (v >= 0 && v < 10) out += '0';
        if (v >= 0 && v < 100) {
            if (v >= 10) out += char('0' + v / 10);
            out += char('0' + v % 10);
        } else {
            out += text::padded(v, 2);
        }
    }
}

std::optional<TimeCode> sideOf(std::string_view side) {
    if (side.find_first_not_of(' ') == std::string_view::npos) return std::nullopt;
    return parseTimeCode(side);
}

// "DD:DD:DD:DD": the form appendTimeCode writes for hours below 100.
bool plainTimeCode(std::string_view s) {
    if (s.size() != 11) return false;
    for (size_t i = 0; i < 11; ++i)
        if (i % 3 == 2 ? s[i] != ':' : (s[i] < '0' || s[i] > '9')) return false;
    return true;
}

}  // namespace

RowTiming RowTiming::fromText(std::string_view text) {
    RowTiming t;
    const size_t gt = text.find('>');
    const std::string_view onSide = text.substr(0, gt);
    const std::string_view offSide = gt == std::string_view::npos ? std::string_view() : text.substr(gt + 1);
    t.on = sideOf(onSide);
    t.off = sideOf(offSide);
    // Most rows are in the program's own form; anything else is kept as read.
    const bool own = text.empty() || (gt != std::string_view::npos && (onSide.empty() || plainTimeCode(onSide)) &&
                                      (offSide.empty() || plainTimeCode(offSide)) && (t.on || t.off));
    if (!own) t.verbatim = std::string(text);
    return t;
}

void RowTiming::appendText(std::string& out) const {
    if (!verbatim.empty()) {
        out += verbatim;
        return;
    }
    if (!on && !off) return;
    if (on) appendTimeCode(out, *on);
    out += '>';
    if (off) appendTimeCode(out, *off);
}

std::string RowTiming::text() const {
    std::string s;
    s.reserve(23);
    appendText(s);
    return s;
}
