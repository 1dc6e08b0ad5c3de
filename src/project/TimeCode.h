#pragma once
#include <optional>
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

// A row's ON and OFF time codes, either of them missing. The list keeps its
// times as these numbers; the text form "HH:MM:SS:FF>HH:MM:SS:FF" (an empty
// side for a missing one, "" for neither) is made only to be shown or saved.
struct RowTiming {
    std::optional<TimeCode> on, off;
    // The row's text when it is not the one these times make: as a
    // hand-edited file had it ("1:2:3:4>", stray spaces), so that the file
    // saves as it was read, or an ON time alone without its '>', as a
    // recording run writes it until the OFF. Empty otherwise.
    std::string verbatim;

    RowTiming() = default;
    RowTiming(std::optional<TimeCode> on, std::optional<TimeCode> off) : on(on), off(off) {}
    // From the text form, as a project file holds it (fromText).
    RowTiming(const char* text) : RowTiming(fromText(text)) {}
    RowTiming(const std::string& text) : RowTiming(fromText(text)) {}

    // A side is present when it holds anything but spaces; it reads as
    // parseTimeCode reads it.
    static RowTiming fromText(std::string_view text);
    std::string text() const;
    // Appends text() to `out` (saves building a string per row).
    void appendText(std::string& out) const;

    bool complete() const { return on.has_value() && off.has_value(); }
    bool blank() const { return !on && !off && verbatim.empty(); }
    // The same times, whatever text they were read from.
    bool sameTimes(const RowTiming& o) const { return on == o.on && off == o.off; }
    friend bool operator==(const RowTiming&, const RowTiming&) = default;
};
