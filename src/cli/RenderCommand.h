#pragma once
#include <string>
#include <vector>

namespace cli {
struct Context;
// kalvero-cli render: one subtitle set into a 32-bit PNG.
int cmdRender(Context& c, const std::vector<std::string>& args);
}  // namespace cli
