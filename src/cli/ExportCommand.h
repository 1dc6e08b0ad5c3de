#pragma once
#include <string>
#include <vector>

namespace cli {
struct Context;
struct Args;
// kalvero-cli export png|iff|avi|overlay IN.KVL8 [--scala 0-3] [--codec NAME]
// [--quality 1-100]: the export dialog's PNG sequence (with its XML timeline),
// IFF/Scala export, timed AVI movie or transparent overlay movie, into the
// folders below the project's folder.
// kalvero-cli export bdn|sup|vobsub|dvb|srt|vtt IN.KVL8 [--indexed]: a
// subtitle track in the format's folder; --indexed (bdn) writes palette PNGs.
int cmdExport(Context& c, const Args& a);
// kalvero-cli capture IN.KVL8 [--row R]: the main window's screen capture of
// the set that holds row R.
int cmdCapture(Context& c, const Args& a);
// burn MOVIE PROJECT -o OUT [--crf N] [--preset NAME]
int cmdBurn(Context& c, const Args& a);
}  // namespace cli
