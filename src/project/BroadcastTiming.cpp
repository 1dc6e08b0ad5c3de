#include "project/BroadcastTiming.h"

#include <cmath>

#include "base/Text.h"

namespace broadcast {
namespace {

struct Exact {
    long long num, den;
};

Exact exactRate(float fps) {
    if (ntscFamily(fps)) return {(long long)std::llround(double(fps) * 1.001) * 1000, 1001};
    const double rounded = std::nearbyint(double(fps));
    if (std::fabs(double(fps) - rounded) < 1e-4) return {(long long)rounded * 1000, 1000};
    return {(long long)std::llround(double(fps) * 1000.0), 1000};
}

}  // namespace

bool ntscFamily(float fps) {
    for (double v : {23.976, 29.97, 47.952, 59.94, 119.88})
        if (std::fabs(double(fps) - v) < 0.005) return true;
    return false;
}

long long convertFrame(long long frame, float from, float to) {
    const Exact a = exactRate(from), b = exactRate(to);
    if (a.num * b.den == b.num * a.den) return frame;
    // frame * a.den / a.num seconds, times b.num / b.den, to the nearest.
    const long double v = (long double)frame * a.den * b.num / ((long double)a.num * b.den);
    return (long long)std::floor(v + 0.5L);
}

TimeCode normalTimeCode(const TimeCode& t, float fps) {
    const int base = roundedFps(fps);
    if (t.hh >= 0 && t.mm >= 0 && t.mm < 60 && t.ss >= 0 && t.ss < 60 && t.ff >= 0 && t.ff < base) return t;
    return timeCodeOfFrame(frameOf(t, fps), fps);
}

TimeCode timeCodeForFrame(long long frame, float fps) {
    const TimeCode t = timeCodeOfFrame(frame, fps);
    if (frameOf(t, fps) == frame || !(fps > 0)) return t;
    const long long whole = (long long)std::floor((long double)frame / fps);
    for (long long s : {whole + 1, whole, whole - 1}) {
        if (s < 0) continue;
        TimeCode c{int(s / 3600), int(s / 60 % 60), int(s % 60), 0};
        const long long rest = frame - frameOf(c, fps);
        if (rest >= 0 && rest < roundedFps(fps)) {
            c.ff = int(rest);
            if (frameOf(c, fps) == frame) return c;
        }
    }
    return t;
}

long long labelFrames(const TimeCode& t, int base) {
    return ((long long)t.hh * 3600 + (long long)t.mm * 60 + t.ss) * base + t.ff;
}

TimeCode labelTimeCode(long long frames, int base) {
    const long long day = 24LL * 3600 * base;
    frames %= day;
    if (frames < 0) frames += day;
    TimeCode t;
    t.ff = int(frames % base);
    const long long secs = frames / base;
    t.ss = int(secs % 60);
    t.mm = int(secs / 60 % 60);
    t.hh = int(secs / 3600);
    return t;
}

bool parseStrictTimeCode(std::string_view s, int base, TimeCode& out) {
    if (s.size() != 11) return false;
    for (size_t i : {2u, 5u, 8u})
        if (s[i] != ':' && s[i] != ';' && s[i] != '.') return false;
    int v[4];
    for (int k = 0; k < 4; ++k) {
        const char a = s[size_t(k) * 3], b = s[size_t(k) * 3 + 1];
        if (a < '0' || a > '9' || b < '0' || b > '9') return false;
        v[k] = (a - '0') * 10 + (b - '0');
    }
    if (v[1] > 59 || v[2] > 59 || v[3] >= base) return false;
    out = TimeCode{v[0], v[1], v[2], v[3]};
    return true;
}

std::string dropFrameText(long long frame) {
    if (frame < 0) frame = 0;
    // 17982 frames every ten minutes; two numbers skipped at each minute
    // that is not a tenth.
    const long long tens = frame / 17982, rest = frame % 17982;
    long long n = frame + 18 * tens;
    if (rest > 1) n += 2 * ((rest - 2) / 1798);
    const int ff = int(n % 30), ss = int(n / 30 % 60), mm = int(n / 1800 % 60), hh = int(n / 108000 % 24);
    return text::padded(hh, 2) + ":" + text::padded(mm, 2) + ":" + text::padded(ss, 2) + ";" + text::padded(ff, 2);
}

long long dropFrameNumber(const TimeCode& t) {
    const long long minutes = (long long)t.hh * 60 + t.mm;
    return nonDropNumber(t) - 2 * (minutes - minutes / 10);
}

TimeCode rescaleTimeCode(const TimeCode& t, int fromBase, int toBase) {
    TimeCode r = t;
    if (fromBase == toBase || fromBase <= 0 || toBase <= 0) return r;
    r.ff = int(((long long)t.ff * toBase * 2 + fromBase) / (2LL * fromBase));
    if (r.ff > toBase - 1) r.ff = toBase - 1;
    return r;
}

int rowOfY(int y, int height) {
    if (height <= 0) return 0;
    return int(((long long)y * 25 * 2 + height) / (2LL * height));
}

int yOfRow(int row, int height) { return int(((long long)row * height * 2 + 25) / 50); }

long long nonDropNumber(const TimeCode& t) { return labelFrames(t, 30); }

}  // namespace broadcast
