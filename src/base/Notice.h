#pragma once
#include <functional>
#include <string>

// How the lower floors tell the user something without knowing about
// windows: a title and a text, shown by the front end as it sees fit (a
// message box in the window, a line on stderr in the command-line tool).
using Notice = std::function<void(const std::string& title, const std::string& text)>;
