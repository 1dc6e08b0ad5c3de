#!/usr/bin/env bash
# Time per subtitle of each subtitle-track export against the PNG sequence,
# on 1,000 two-line sets at 1920 x 1080 (23.976 fps); the DVD track, which
# takes at most 720 x 576, on the same sets in the PAL profile. Prints a
# Markdown table.
#
#   bash bench/tracks/subtitle_tracks.sh [BUILD_DIR] [SETS]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
sets="${2:-1000}"
cli="$build/bin/kalvero-cli"
[ -x "$cli" ] || { echo "missing $cli: build first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bench_project"

# Two lines per cue, 2 s on and 0.5 s off.
python3 - "$sets" >"$work/bench.srt" <<'PY'
import sys
n = int(sys.argv[1])
def t(ms):
    return "%02d:%02d:%02d,%03d" % (ms // 3600000, ms // 60000 % 60, ms // 1000 % 60, ms % 1000)
for i in range(n):
    on = 1000 + i * 2500
    print(i + 1)
    print(t(on), "-->", t(on + 2000))
    print("Subtitle number %d with a few words" % (i + 1))
    print("and a second line, %d" % (i * 7))
    print()
PY
# Full HD 23.976 with its own preset.
"$cli" import-srt "$work/bench.srt" -o "$work/bench_project/bench.KVL8" --profile 9 --preset 7 >/dev/null
mkdir -p "$work/pal_project"
"$cli" import-srt "$work/bench.srt" -o "$work/pal_project/bench.KVL8" --profile 1 --preset 0 >/dev/null

echo "| export | seconds | ms per subtitle | vs PNG sequence |"
echo "|---|---|---|---|"
png_ms=""
for format in png bdn sup vobsub dvb srt vtt; do
  t0=$(date +%s.%N)
  project="$work/bench_project/bench.KVL8"
  [ "$format" = vobsub ] && project="$work/pal_project/bench.KVL8"
  "$cli" export "$format" "$project" >/dev/null 2>"$work/err" ||
    { echo "export $format failed: $(cat "$work/err")" >&2; exit 1; }
  t1=$(date +%s.%N)
  secs=$(echo "$t1 - $t0" | bc -l)
  ms=$(echo "$secs * 1000 / $sets" | bc -l)
  [ -z "$png_ms" ] && png_ms=$ms
  [ "$format" = vobsub ] && format="vobsub (720 x 576)"
  printf '| %s | %.2f | %.2f | %.2fx |\n' "$format" "$secs" "$ms" "$(echo "$ms / $png_ms" | bc -l)"
done
