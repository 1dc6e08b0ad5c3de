#pragma once
// A probe for the floor check: only io, media and gui may include libpng.
#include <png.h>
#include <string>
