#pragma once
#include <limits>

// Rows y0 .. y1 - 1 of a picture (the whole picture by default).
struct RowRange {
    int y0 = 0;
    int y1 = std::numeric_limits<int>::max();
};
