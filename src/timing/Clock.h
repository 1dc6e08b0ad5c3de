#pragma once
#include <chrono>
#include <cmath>

// Seconds of a monotonic clock (arbitrary origin).
inline double monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A media clock: a position in seconds that runs on in real time from the
// last value it was set to, unless paused. `now` is always a reading of the
// same monotonic clock.
struct Clock {
    double pts = 0.0;          // position when last set
    double ptsDrift = 0.0;     // pts - lastUpdated
    double lastUpdated = 0.0;  // monotonic time of the last set
    double speed = 1.0;
    bool paused = false;

    double get(double now) const {
        if (paused) return pts;
        return ptsDrift + now - (now - lastUpdated) * (1.0 - speed);
    }
    void set(double position, double now) {
        pts = position;
        lastUpdated = now;
        ptsDrift = position - now;
    }
    void setPaused(bool p, double now) {
        set(get(now), now);
        paused = p;
    }
};
