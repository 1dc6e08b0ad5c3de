#pragma once
#include <string>
#include <string_view>
#include <utility>

// HH:MM:SS:FF at the project frame rate.
struct TimeCode {
    int hh = 0, mm = 0, ss = 0, ff = 0;
    friend bool operator==(const TimeCode&, const TimeCode&) = default;
};

// Frame number: nearest integer (halves to even) of
// hh*3600*fps + mm*60*fps + ss*fps + ff, with hh*3600 an integer product and
// the rest in extended precision. fps is single precision on purpose: the
// frame rates of the settings file are read that way.
long long frameOf(const TimeCode& t, float fps);

// "HH:MM:SS:FF", every field at least two digits.
std::string formatTimeCode(const TimeCode& t);

// Splits at ':' and reads each of the four fields as a decimal integer;
// missing or non-numeric fields read as 0.
TimeCode parseTimeCode(std::string_view text);

// The parts before and after the first '>' (OFF empty when there is none).
std::pair<std::string, std::string> splitTiming(std::string_view timing);

// Time code of a frame number (used by the timing recorder).
TimeCode timeCodeOfFrame(long long frame, float fps);

// The frame rate rounded to the nearest integer, halves to even.
int roundedFps(float fps);
