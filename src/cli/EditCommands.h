#pragma once
#include <string>
#include <vector>

namespace cli {
struct Context;
struct Args;
// shift IN.KVL8 -o OUT.KVL8 (--frames N | --to HH:MM:SS:FF) [--sets K-L]
int cmdShift(Context& c, const Args& a);
// convert-rate IN.KVL8 -o OUT.KVL8 --profile P --keep time|frames
int cmdConvertRate(Context& c, const Args& a);
// import-text FILE.txt -o OUT.KVL8 [--profile P] [--preset N]
int cmdImportText(Context& c, const Args& a);
// merge-srt TOP.srt BOTTOM.srt -o OUT.KVL8 [--profile P] [--preset N]
int cmdMergeSrt(Context& c, const Args& a);
// replace IN.KVL8 -o OUT.KVL8 --find TEXT --with TEXT [--regex] [--whole-word] [--ignore-case]
int cmdReplace(Context& c, const Args& a);
// check IN.KVL8 [--max-cps N] [--min-frames N] [--safe-area PERCENT] [--lang CODE]: one
// "set K: kind: detail" line per finding; exit 0 clean, 3 with findings.
int cmdCheck(Context& c, const Args& a);
}  // namespace cli
