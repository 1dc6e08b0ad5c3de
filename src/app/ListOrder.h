#pragma once
#include <string>

struct AppState;
class EditorContext;
class LineEditor;

// What the list-ordered exports (the AVI movie and the IFF pictures with
// their Scala script) of the list as it is would leave out and why, for the
// export dialog before a run: "" when they keep every set.
std::string listOrderedNote(const AppState& s);

// "Sort by Time": the timed sets in the order of their ON times (one undo
// step), the selection and the fields following the list.
void sortListByTime(EditorContext& cx, LineEditor& lines);
