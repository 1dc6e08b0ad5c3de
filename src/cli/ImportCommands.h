#pragma once
#include <string>
#include <vector>

namespace cli {
struct Context;
struct Args;
// import-srt FILE.srt -o OUT.KVL8 [--profile N|NAME] [--preset N|NAME] [--force]
int cmdImportSrt(Context& c, const Args& a);
// import-stl FILE.stl -o OUT.KVL8 [--profile N|NAME] [--preset N|NAME] [--force]
int cmdImportStl(Context& c, const Args& a);
// import-scc FILE.scc -o OUT.KVL8 [--profile N|NAME] [--preset N|NAME] [--force]
int cmdImportScc(Context& c, const Args& a);
}  // namespace cli
