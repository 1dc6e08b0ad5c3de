#pragma once
#include <string>
#include <vector>

namespace cli {
struct Context;
// shift IN.KVL8 -o OUT.KVL8 (--frames N | --to HH:MM:SS:FF) [--sets K-L]
int cmdShift(Context& c, const std::vector<std::string>& args);
// convert-rate IN.KVL8 -o OUT.KVL8 --profile P --keep time|frames
int cmdConvertRate(Context& c, const std::vector<std::string>& args);
// import-text FILE.txt -o OUT.KVL8 [--profile P] [--preset N]
int cmdImportText(Context& c, const std::vector<std::string>& args);
// merge-srt TOP.srt BOTTOM.srt -o OUT.KVL8 [--profile P] [--preset N]
int cmdMergeSrt(Context& c, const std::vector<std::string>& args);
// replace IN.KVL8 -o OUT.KVL8 --find TEXT --with TEXT [--regex] [--whole-word] [--ignore-case]
int cmdReplace(Context& c, const std::vector<std::string>& args);
// check IN.KVL8 [--max-cps N] [--min-frames N] [--safe-area PERCENT] [--lang CODE]: one
// "set K: kind: detail" line per finding; exit 0 clean, 3 with findings.
int cmdCheck(Context& c, const std::vector<std::string>& args);
}  // namespace cli
