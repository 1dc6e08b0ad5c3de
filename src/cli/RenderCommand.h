#pragma once
#include <string>
#include <vector>

namespace cli {
struct Context;
struct Args;
// kalvero-cli render: one subtitle set into a 32-bit PNG.
int cmdRender(Context& c, const Args& a);
}  // namespace cli
