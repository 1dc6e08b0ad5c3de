#pragma once
#include <string>
#include <vector>

namespace cli {
struct Context;
// kalvero-cli export png|iff IN.KVL8 [--scala 0-3]: the export dialog's PNG
// sequence or IFF/Scala export, into the folders below the project's folder.
int cmdExport(Context& c, const std::vector<std::string>& args);
// kalvero-cli capture IN.KVL8 [--row R]: the main window's screen capture of
// the set that holds row R.
int cmdCapture(Context& c, const std::vector<std::string>& args);
}  // namespace cli
