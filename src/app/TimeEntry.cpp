#include "app/TimeEntry.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "app/ControlIds.h"
#include "app/EditorContext.h"
#include "app/Event.h"
#include "app/LineEditor.h"
#include "app/Ui.h"
#include "base/Text.h"

namespace {
// A run of 1 to 9 decimal digits.
std::optional<long long> number(std::string_view s) {
    if (s.empty() || s.size() > 9) return std::nullopt;
    long long v = 0;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

TimeCode clampedTime(long long frame, float fps, int maxHours) {
    TimeCode last{maxHours, 59, 59, roundedFps(fps) - 1};
    return timeCodeOfFrame(std::clamp<long long>(frame, 0, frameOf(last, fps)), fps);
}
}  // namespace

std::optional<TimeCode> typedTime(std::string_view text, int part, const TimeCode& now, float fps, int maxHours) {
    std::string t = text::trimSpaces(std::string(text));
    const int framesPerSecond = roundedFps(fps);
    if (t.empty() || fps <= 0 || part < 0 || part > 3) return std::nullopt;
    auto inRange = [&](const TimeCode& c) {
        return c.hh >= 0 && c.hh <= maxHours && c.mm >= 0 && c.mm < 60 && c.ss >= 0 && c.ss < 60 && c.ff >= 0 &&
               c.ff < framesPerSecond;
    };

    if (t[0] == '+' || t[0] == '-') {
        const int sign = t[0] == '-' ? -1 : 1;
        std::string_view rest = std::string_view(t).substr(1);
        bool seconds = false;
        if (!rest.empty() && (rest.back() == 's' || rest.back() == 'S' || rest.back() == 'f' || rest.back() == 'F')) {
            seconds = rest.back() == 's' || rest.back() == 'S';
            rest.remove_suffix(1);
        }
        std::optional<long long> n = number(rest);
        if (!n) return std::nullopt;
        if (!seconds) return clampedTime(frameOf(now, fps) + sign * *n, fps, maxHours);
        // Whole seconds keep the frame within the second.
        long long s = (long long)now.hh * 3600 + now.mm * 60 + now.ss + sign * *n;
        s = std::clamp<long long>(s, 0, (long long)maxHours * 3600 + 3599);
        return TimeCode{int(s / 3600), int(s / 60 % 60), int(s % 60), now.ff};
    }

    if (t.find(':') != std::string::npos) {
        std::vector<std::string> fields = text::split(t, ':');
        if (fields.size() < 2 || fields.size() > 4) return std::nullopt;
        int v[4] = {0, 0, 0, 0};
        for (size_t i = 0; i < fields.size(); ++i) {
            std::optional<long long> n = number(text::trimSpaces(fields[i]));
            if (!n || *n > 9999) return std::nullopt;
            v[4 - fields.size() + i] = int(*n);
        }
        TimeCode c{v[0], v[1], v[2], v[3]};
        if (!inRange(c)) return std::nullopt;
        return c;
    }

    std::optional<long long> n = number(t);
    if (!n) return std::nullopt;
    TimeCode c = now;
    switch (part) {
        case 0: c.hh = int(std::min<long long>(*n, 9999)); break;
        case 1: c.mm = int(std::min<long long>(*n, 9999)); break;
        case 2: c.ss = int(std::min<long long>(*n, 9999)); break;
        default:
            // More frames than a second has: a frame count from the start.
            if (*n >= framesPerSecond) {
                TimeCode last{maxHours, 59, 59, framesPerSecond - 1};
                if (*n > frameOf(last, fps)) return std::nullopt;
                return timeCodeOfFrame(*n, fps);
            }
            c.ff = int(*n);
    }
    if (!inRange(c)) return std::nullopt;
    return c;
}

bool applyTypedTime(EditorContext& cx, LineEditor& lines, int id, const std::string& text) {
    static constexpr int onIds[4] = {ctl::OnHours, ctl::OnMinutes, ctl::OnSeconds, ctl::OnFrames};
    static constexpr int offIds[4] = {ctl::OffHours, ctl::OffMinutes, ctl::OffSeconds, ctl::OffFrames};
    const bool on = std::find(std::begin(onIds), std::end(onIds), id) != std::end(onIds);
    const int* ids = on ? onIds : offIds;
    const int part = int(std::find(ids, ids + 4, id) - ids);
    if (part > 3) return false;
    RangedValue(&spins)[4] = on ? cx.s.view.on : cx.s.view.off;
    const TimeCode now{spins[0].value, spins[1].value, spins[2].value, spins[3].value};
    std::optional<TimeCode> typed = typedTime(text, part, now, cx.s.fps, spins[0].max);
    if (!typed || typed->ff > spins[3].max) {
        cx.ui.setBackground(id, Rgb{255, 150, 150});
        return false;
    }
    cx.ui.setBackground(id, Rgb{255, 255, 255});
    const int values[4] = {typed->hh, typed->mm, typed->ss, typed->ff};
    for (int i = 0; i < 4; ++i) cx.setControlValue(ids[i], values[i]);
    if (on) lines.applyOnSpins();
    else lines.applyOffSpins();
    return true;
}

bool applyTypedTimeEvent(EditorContext& cx, LineEditor& lines, const Event& e) {
    switch (e.id) {
        case ctl::OnHours: case ctl::OnMinutes: case ctl::OnSeconds: case ctl::OnFrames:
        case ctl::OffHours: case ctl::OffMinutes: case ctl::OffSeconds: case ctl::OffFrames:
            applyTypedTime(cx, lines, e.id, e.text);
            return true;
        default: return false;
    }
}
