#pragma once
#include <string>
#include <vector>

namespace cli {
struct Context;
// import-srt FILE.srt -o OUT.KVL8 [--profile N|NAME] [--preset N|NAME] [--force]
int cmdImportSrt(Context& c, const std::vector<std::string>& args);
// import-stl FILE.stl -o OUT.KVL8 [--profile N|NAME] [--preset N|NAME] [--force]
int cmdImportStl(Context& c, const std::vector<std::string>& args);
// import-scc FILE.scc -o OUT.KVL8 [--profile N|NAME] [--preset N|NAME] [--force]
int cmdImportScc(Context& c, const std::vector<std::string>& args);
}  // namespace cli
