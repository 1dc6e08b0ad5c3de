#!/usr/bin/env bash
# Exports the same projects with two builds of kalvero-cli and compares
# every file byte for byte: a change that should not alter any output is
# proved by this run.
#
#   bash scripts/compare_exports.sh OLD_BIN_DIR NEW_BIN_DIR [FORMAT...]
#
# Each BIN_DIR holds kalvero-cli; both read the font sheets of NEW_BIN_DIR.
# FORMAT: png iff bdn bdn-indexed sup vobsub dvb capture srt vtt ass scc stl
# (the default), avi, overlay (movies of some GB at 1080p). Exit status 0 when every file is the same.
set -euo pipefail
[ $# -ge 2 ] || { sed -n 2,10p "$0" >&2; exit 2; }
old="$(cd "$1" && pwd)"; new="$(cd "$2" && pwd)"; shift 2
formats=("$@")
[ ${#formats[@]} -gt 0 ] || formats=(png iff bdn bdn-indexed sup vobsub dvb capture srt vtt ass scc stl)
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A list with short and long lines, blank sets, repeats and both profiles.
srt="$work/list.srt"
python3 - "$srt" <<'PY'
import sys
words = "the quick brown fox jumps over lazy dogs while seven wizards quietly hex Jack".split()
out = []
t = 1000
for i in range(60):
    a = " ".join(words[(i * 3) % len(words):(i * 3) % len(words) + 2 + i % 5])
    b = "" if i % 7 == 3 else " ".join(words[(i * 5) % len(words):(i * 5) % len(words) + 1 + i % 4])
    if i % 11 == 5: a, b = a.upper(), b
    if i % 13 == 6: a = "Line %d" % (i // 13)  # repeats
    def tc(ms): return "%02d:%02d:%02d,%03d" % (ms // 3600000, ms // 60000 % 60, ms // 1000 % 60, ms % 1000)
    out.append("%d\n%s --> %s\n%s\n%s\n" % (i + 1, tc(t), tc(t + 1500 + (i % 4) * 400), a, b))
    t += 2200 + (i % 3) * 300
open(sys.argv[1], "w").write("\n".join(out))
PY

# cli SIDE ARGS...: kalvero-cli of one side with the shared font sheets.
cli() { local side=$1; shift; "$side/kalvero-cli" --program-dir "$new" "$@"; }

status=0
for profile in "7 7" "1 0"; do
  set -- $profile
  for side in old new; do
    # The same folder for both sides: some files name their own path.
    dir="$work/run"
    mkdir -p "$dir"
    bin=$([ $side = old ] && echo "$old" || echo "$new")
    cli "$bin" import-srt "$srt" -o "$dir/Film.KVL8" --profile "$1" --preset "$2" >/dev/null
    for f in "${formats[@]}"; do
      case "$f" in
        bdn-indexed) cli "$bin" export bdn "$dir/Film.KVL8" --indexed >/dev/null; mv "$dir/BDN_Output" "$dir/BDN_indexed" ;;
        capture) cli "$bin" capture "$dir/Film.KVL8" --row 8 >/dev/null ;;
        avi) cli "$bin" export avi "$dir/Film.KVL8" --codec utvideo >/dev/null ;;
        overlay) cli "$bin" export overlay "$dir/Film.KVL8" --codec qtrle >/dev/null ;;
        iff|vobsub) [ "$1" = 1 ] && cli "$bin" export "$f" "$dir/Film.KVL8" >/dev/null || true ;;
        *) cli "$bin" export "$f" "$dir/Film.KVL8" >/dev/null ;;
      esac
    done
    mv "$dir" "$work/$side-p$1"
  done
  # The project files carry the time of their import, and a Matroska file
  # a random identity and the time it was made: those are compared by
  # their packets.
  for mks in "$work/new-p$1"/*/*.mks; do
    [ -e "$mks" ] || continue
    old_mks="$work/old-p$1/${mks#"$work/new-p$1/"}"
    for f in "$old_mks" "$mks"; do ffmpeg -v error -i "$f" -map 0 -c copy -f framemd5 "$f.md5"; done
    cmp -s "$old_mks.md5" "$mks.md5" || { echo "compare_exports: the packets of $mks differ" >&2; status=1; }
  done
  if ! diff -r -x '*.KVL8' -x '*.mks' "$work/old-p$1" "$work/new-p$1" >"$work/diff.txt"; then
    echo "compare_exports: profile $1: the builds differ:" >&2
    head -20 "$work/diff.txt" >&2
    status=1
  fi
  echo "profile $1: $(find "$work/new-p$1" -type f | wc -l) files compared" >&2
done
[ $status = 0 ] && echo "compare_exports: every file is the same" >&2
exit $status
