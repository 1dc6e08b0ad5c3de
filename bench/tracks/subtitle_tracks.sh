#!/usr/bin/env bash
# Time per subtitle of each subtitle-track export against the PNG sequence
# of the same project, on 1,000 two-line sets at 1920 x 1080 (23.976 fps);
# the DVD track, which takes at most 720 x 576, on the same sets in the PAL
# profile, against the PNG sequence of that PAL project. After one untimed
# warm-up run of each, every format runs ROUNDS times, alternating with its
# PNG sequence; the medians are compared. Prints a Markdown table.
#
#   bash bench/tracks/subtitle_tracks.sh [BUILD_DIR] [SETS] [ROUNDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
sets="${2:-1000}"
rounds="${3:-3}"
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

# run FORMAT PROJECT: exports, prints the wall seconds, removes the output.
run() {
  local t0 t1
  rm -rf "$(dirname "$2")"/*_Output
  t0=$(date +%s.%N)
  "$cli" export "$1" "$2" >/dev/null 2>"$work/err" || { echo "export $1 failed: $(cat "$work/err")" >&2; return 1; }
  t1=$(date +%s.%N)
  rm -rf "$(dirname "$2")"/*_Output
  echo "$t1 - $t0" | bc -l
}
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

hd="$work/bench_project/bench.KVL8"
pal="$work/pal_project/bench.KVL8"
# Warm-up: the program, the font sheets and the folders in the caches.
run png "$hd" >/dev/null || exit 1
run png "$pal" >/dev/null || exit 1

echo "| export | project | seconds (median of $rounds) | ms per subtitle | PNG sequence of the same project, ms per subtitle | vs PNG |"
echo "|---|---|---|---|---|---|"
for format in png bdn sup vobsub dvb srt vtt; do
  project=$hd; where="1920 x 1080"
  [ "$format" = vobsub ] && project=$pal && where="720 x 576"
  ours=(); pngs=()
  for ((r = 0; r < rounds; r++)); do
    # Alternating, so that a change of the machine's load falls on both.
    if [ "$format" != png ]; then
      v=$(run png "$project") || exit 1
      pngs+=("$v")
    fi
    v=$(run "$format" "$project") || exit 1
    ours+=("$v")
  done
  [ "$format" = png ] && pngs=("${ours[@]}")
  secs=$(median "${ours[@]}"); png_secs=$(median "${pngs[@]}")
  printf '| %s | %s | %.2f | %.2f | %.2f | %.2fx |\n' "$format" "$where" "$secs" "$(echo "$secs * 1000 / $sets" | bc -l)" \
    "$(echo "$png_secs * 1000 / $sets" | bc -l)" "$(echo "$secs / $png_secs" | bc -l)"
done
