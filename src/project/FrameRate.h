#pragma once

// A frame rate as an exact fraction, the one every part of the program
// times with: the broadcast rates just below a whole number (23.976, 29.97,
// 47.952, 59.94, 119.88) are N*1000/1001, so a movie or a subtitle stream
// keeps the time codes' clock exactly; whole rates stay whole; anything else
// is kept to a thousandth of a frame, in lowest terms.
struct FrameRate {
    int num = 0, den = 1;
    double value() const { return den > 0 ? double(num) / double(den) : 0.0; }
    // A rate at all: a project whose profile gives none cannot be timed.
    bool valid() const { return num > 0 && den > 0; }
    friend bool operator==(const FrameRate&, const FrameRate&) = default;
};

// The rate behind a profile's rate; {0, 1} when it is not positive, not
// finite or above 1000 frames a second.
FrameRate frameRateOf(float fps);
