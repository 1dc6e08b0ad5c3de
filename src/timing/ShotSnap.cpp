#include "timing/ShotSnap.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "io/Files.h"
#include "project/SubtitleList.h"
#include "project/TimeCode.h"

namespace {

// The change nearest to `t` within `within` frames (the earlier one on a tie).
std::optional<int64_t> nearestChange(int64_t t, const std::vector<int64_t>& changes, int within) {
    auto it = std::lower_bound(changes.begin(), changes.end(), t);
    std::optional<int64_t> best;
    if (it != changes.begin()) best = *std::prev(it);
    if (it != changes.end() && (!best || *it - t < t - *best)) best = *it;
    if (best && std::llabs(*best - t) <= within) return best;
    return std::nullopt;
}

// "HH:MM:SS:FF" with four fields of digits, nothing else.
std::optional<TimeCode> strictTimeCode(const std::string& text) {
    std::string s = text;
    while (!s.empty() && s.back() == ' ') s.pop_back();
    while (!s.empty() && s.front() == ' ') s.erase(s.begin());
    int fields = 1, digits = 0;
    for (char c : s) {
        if (c == ':') {
            if (digits == 0) return std::nullopt;
            ++fields, digits = 0;
        } else if (c >= '0' && c <= '9') {
            if (++digits > 6) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (fields != 4 || digits == 0) return std::nullopt;
    return parseTimeCode(s);
}

}  // namespace

std::vector<int64_t> shotChangeFrames(const std::vector<double>& changeSeconds, float fps) {
    std::vector<int64_t> frames;
    for (double s : changeSeconds)
        if (s > 0.0 && s < 1e7) frames.push_back(std::llround(s * double(fps)));
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    return frames;
}

SetFrames snapSet(SetFrames t, const std::vector<int64_t>& changes, SnapOptions o, int64_t earliest, int& moved) {
    SetFrames r = t;
    if (auto c = nearestChange(t.on, changes, o.within); c && *c != t.on && *c >= earliest && *c < t.off) {
        r.on = *c;
        ++moved;
    }
    if (auto c = nearestChange(t.off, changes, o.within)) {
        int64_t target = *c - o.gap;
        if (target != t.off && target > r.on) {
            r.off = target;
            ++moved;
        }
    }
    return r;
}

SnapReport snapListToShots(SubtitleList& list, float fps, const std::vector<int64_t>& changes, SnapOptions o) {
    SnapReport report;
    int64_t earliest = 0;
    for (int row = 0; row < list.lineCount(); row += 2) {
        const RowTiming& timing = list.row(row)->timing;
        std::optional<TimeCode> on = timing.on, off = timing.off;
        if (!timing.verbatim.empty()) {  // text of a hand-edited file: only plain time codes count
            auto [onText, offText] = splitTiming(timing.verbatim);
            on = strictTimeCode(onText), off = strictTimeCode(offText);
        }
        if (!on || !off) continue;
        SetFrames t{frameOf(*on, fps), frameOf(*off, fps)};
        if (t.off <= t.on) continue;  // nothing sensible to keep apart
        report.times += 2;
        SetFrames s = snapSet(t, changes, o, earliest, report.moved);
        earliest = s.off;
        if (s.on == t.on && s.off == t.off) continue;
        list.setSetTiming(row / 2, RowTiming(timeCodeOfFrame(s.on, fps), timeCodeOfFrame(s.off, fps)));
    }
    return report;
}

std::string shotCachePath(const std::string& moviePath) { return moviePath + ".shots"; }

std::string formatShotCache(const std::vector<double>& changeSeconds, uint64_t movieSize, int64_t movieMtime,
                            const std::string& contentKey) {
    std::ostringstream out;
    out << "kalvero shot changes 1\nsize " << movieSize << "\nmtime " << movieMtime << "\n";
    if (!contentKey.empty()) out << "key " << contentKey << "\n";
    char line[32];
    for (double s : changeSeconds) {
        std::snprintf(line, sizeof line, "%.6f\n", s);
        out << line;
    }
    return out.str();
}

std::optional<std::vector<double>> parseShotCache(std::string_view text, uint64_t movieSize, int64_t movieMtime,
                                                  const std::string& contentKey) {
    std::istringstream in{std::string(text)};
    std::string head, word;
    if (!std::getline(in, head) || head != "kalvero shot changes 1") return std::nullopt;
    uint64_t size = 0;
    int64_t mtime = 0;
    if (!(in >> word >> size) || word != "size" || !(in >> word >> mtime) || word != "mtime") return std::nullopt;
    if (size != movieSize || mtime != movieMtime) return std::nullopt;
    std::vector<double> seconds;
    std::string value;
    std::string key;
    const bool keyed = static_cast<bool>(in >> value) && value == "key";
    if (keyed && !(in >> key)) return std::nullopt;
    if (key != contentKey) return std::nullopt;
    for (bool first = !keyed && !value.empty(); first || in >> value; first = false) {
        char* end = nullptr;
        double s = std::strtod(value.c_str(), &end);
        if (end == value.c_str() || *end != '\0' || !(s >= 0.0 && s < 1e7)) return std::nullopt;
        seconds.push_back(s);
    }
    return seconds;
}

ShotList loadOrDetectShots(const std::string& moviePath, const ShotDetector& detect) {
    ShotList result;
    // Only a regular file, checked without waiting on a FIFO.
    if (files::Result readable = files::checkReadableFile(moviePath); !readable) {
        result.error = "cannot read the movie " + moviePath + ": " + readable.error;
        return result;
    }
    std::error_code ec;
    const std::filesystem::path movie(moviePath);
    uint64_t size = std::filesystem::file_size(movie, ec);
    if (ec) {
        result.error = "cannot read the movie " + moviePath + ": " + ec.message();
        return result;
    }
    auto time = std::filesystem::last_write_time(movie, ec);
    int64_t mtime = ec ? 0 : int64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count());

    std::string key;
    files::Result keyed = files::contentKey(moviePath, key);
    if (!keyed) {
        result.error = "cannot read the movie " + moviePath + ": " + keyed.error;
        return result;
    }
    const std::string cache = shotCachePath(moviePath);
    std::string text;
    if (files::exists(cache) && files::readFile(cache, text, 64u << 20)) {
        if (auto seconds = parseShotCache(text, size, mtime, key)) {
            result.changeSeconds = std::move(*seconds);
            result.fromCache = true;
            return result;
        }
    }
    result.error = detect(moviePath, result.changeSeconds);
    if (!result.error.empty()) return result;
    files::Result w = files::writeFileAtomic(cache, formatShotCache(result.changeSeconds, size, mtime, key));
    if (!w) result.warning = "the shot changes could not be kept in " + cache + ": " + w.error;
    return result;
}
