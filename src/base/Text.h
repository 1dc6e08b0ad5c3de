#pragma once
#include <string>
#include <string_view>
#include <vector>

// Small text helpers shared by the readers and writers of the program's
// single-byte text files.
namespace text {

std::string trimSpaces(std::string_view s);        // blanks only
std::string trimBlanks(std::string_view s);        // blanks and tabs
std::string trimWhitespace(std::string_view s);    // blanks, tabs, CR, LF, FF, VT

// Piece n (from 1) of s split at c; empty when there are fewer pieces.
std::string field(std::string_view s, char c, int n);
std::vector<std::string> split(std::string_view s, char c);

// Leading decimal integer after trimming spaces ("-3", "+4", "12abc" -> 12);
// anything else reads as 0. Values beyond int are clamped.
int toInt(std::string_view s);
// Decimal number with an optional fraction ("29.97"); 0 when not a number.
float toFloat(std::string_view s);

std::string lower(std::string_view s);
bool containsIgnoreCase(std::string_view haystack, std::string_view needle);
// Removes every occurrence of what, matching letter case exactly or not.
std::string removeAll(std::string_view s, std::string_view what);
std::string removeAllIgnoreCase(std::string_view s, std::string_view what);
std::string replaceAll(std::string_view s, std::string_view what, std::string_view with);

// Zero-padded decimal text of at least `width` characters.
std::string padded(long long value, int width);

// The longest start of s of at most maxBytes bytes that does not end inside
// a UTF-8 character (file names are UTF-8).
std::string utf8Prefix(std::string_view s, size_t maxBytes);

// Splits file content into lines ending with CR LF, LF or CR. A final line
// without an ending counts; an empty tail after the last ending does not.
std::vector<std::string> splitLines(std::string_view content);
// The same as views into `content`.
std::vector<std::string_view> splitLineViews(std::string_view content);

// The lines of splitLineViews one at a time, without a table of them.
class LineWalk {
public:
    explicit LineWalk(std::string_view content) : s_(content) {}
    // The next line, or false after the last one.
    bool next(std::string_view& line);

private:
    std::string_view s_;
    size_t pos_ = 0;
};

}  // namespace text
