#pragma once
#include <string>
#include <vector>

namespace cli {
struct Context;
struct Args;
// kalvero-cli snap: ON and OFF times moved onto the shot changes of a movie.
int cmdSnap(Context& c, const Args& a);
}  // namespace cli
