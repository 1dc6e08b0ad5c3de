#pragma once
#include <string>
#include <string_view>
#include <vector>

// Italics within a line are kept in its text as SubRip writes them: "<i>"
// starts italic text and "</i>" ends it (lower case; imports bring other
// spellings to these). Text after an "<i>" that is never closed is italic
// to the end of the line. Everything that draws or writes a line reads the
// tags from here.
namespace italics {

inline constexpr std::string_view kOpen = "<i>";
inline constexpr std::string_view kClose = "</i>";

// True when the line holds either tag.
bool hasTags(std::string_view line);

// A piece of a line with one slant, the tags taken out. `at` is the byte
// offset of its text in the line.
struct Run {
    std::string_view text;
    bool italic = false;
    size_t at = 0;
};
// The runs of a line in order; empty runs are left out.
std::vector<Run> runs(std::string_view line);

// The text without its tags.
std::string strip(std::string_view line);

// The line with each tag written as `open` / `close` and the text between
// them through `escape` (when given). Unclosed italics are closed at the end.
using Escape = std::string (*)(std::string_view);
std::string rewrite(std::string_view line, std::string_view open, std::string_view close, Escape escape = nullptr);

// Ctrl+I: the bytes from..to of the line (positions in the text with its
// tags) made italic, or upright again when they all are italic already;
// from == to takes the whole line. The tags are written anew, as few as the
// slants need.
std::string toggle(std::string_view line, size_t from, size_t to);

// The lines of one cue with italics that run over a line end closed at the
// end of that line and opened again on the next, so that each line holds
// its own italics.
std::vector<std::string> balanceLines(const std::vector<std::string>& lines);

}  // namespace italics
