#!/usr/bin/env bash
# Runs every export format on the test projects with two builds of
# kalvero-cli and compares the files byte for byte. A change that should not
# alter any output (a refactoring, a speed-up) is proved by this script.
#
#   bash scripts/compare-exports.sh --old OLD_BIN_DIR [--new NEW_BIN_DIR]
#   bash scripts/compare-exports.sh --old-rev GIT_REV [--new NEW_BIN_DIR]
#   bash scripts/compare-exports.sh --save OUT_BIN_DIR [--new NEW_BIN_DIR]
#
# A BIN_DIR holds kalvero-cli with its program files (build/bin). --old-rev
# builds kalvero-cli of that revision in build-ref/ (its files taken with git
# archive; the build folder is reused on the next run). --save copies NEW_BIN_DIR's programs to
# OUT_BIN_DIR (and their movie module from ../lib/kalvero to OUT_BIN_DIR/../lib/kalvero),
# to be the old side of a later comparison.
#
# Environment: KALVERO_BUILD_DIR (default build/), KALVERO_COMPARE_DIR (work
# folder, default BUILD/compare-work, emptied first and removed on success).
# Exit status 0 when every file is identical, 1 when any differs or is
# missing on one side (each named), 2 on a usage error.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KALVERO_BUILD_DIR:-$root/build}"
old=""; old_rev=""; save=""; new="$build/bin"
while [ $# -gt 0 ]; do
  case "$1" in
    --old) old=$2; shift 2 ;;
    --old-rev) old_rev=$2; shift 2 ;;
    --new) new=$2; shift 2 ;;
    --save) save=$2; shift 2 ;;
    *) echo "usage: scripts/compare-exports.sh (--old BIN_DIR | --old-rev REV | --save BIN_DIR) [--new BIN_DIR]" >&2; exit 2 ;;
  esac
done
[ -x "$new/kalvero-cli" ] || { echo "compare-exports: no kalvero-cli in $new: build first" >&2; exit 2; }
if [ -n "$save" ]; then
  rm -rf "$save"; mkdir -p "$save"
  cp -a "$new/." "$save/"
  # The movie module sits in lib/kalvero beside the program folder.
  if [ -d "$new/../lib/kalvero" ]; then
    mkdir -p "$save/../lib/kalvero"
    cp -a "$new/../lib/kalvero/." "$save/../lib/kalvero/"
  fi
  echo "compare-exports: saved $new as $save"
  exit 0
fi

if [ -n "$old_rev" ]; then
  ref="$root/build-ref"
  commit=$(git -C "$root" rev-parse --verify "$old_rev^{commit}")
  # The sources of that revision as files (no second checkout registered in
  # the repository); the build folder beside them is kept between runs. The
  # program needs its font sheets beside it.
  rm -rf "$ref/src"; mkdir -p "$ref/src"
  git -C "$root" archive "$commit" | tar -x -C "$ref/src"
  cmake -S "$ref/src" -B "$ref/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVERO_BUILD_GUI=OFF \
    -DKALVERO_BUILD_BENCH=OFF >/dev/null
  cmake --build "$ref/build" -j "${KALVERO_JOBS:-$(nproc)}" --target kalvero-cli fontsheets >/dev/null
  old="$ref/build/bin"
fi
[ -n "$old" ] || { echo "compare-exports: give --old, --old-rev or --save" >&2; exit 2; }
[ -x "$old/kalvero-cli" ] || { echo "compare-exports: no kalvero-cli in $old" >&2; exit 2; }
command -v ffmpeg >/dev/null || { echo "compare-exports: ffmpeg makes the test movie" >&2; exit 2; }

work="${KALVERO_COMPARE_DIR:-$build/compare-work}"
rm -rf "$work"; mkdir -p "$work/in"

# The inputs: a generated list with two lines per set (with characters that
# need escaping in XML) on PAL (profile 1, preset 0) and 1080p (profile 7,
# preset 7), a list with accented letters, italics and one-line sets on
# each, and one short test movie with sound for burn-in. (The SubRip test
# files run to two hours: too long for the movie formats.)
projects=()
make_project() {  # NAME SRT PROFILE PRESET
  mkdir -p "$work/in/$1"
  "$new/kalvero-cli" --program-dir "$new" import-srt "$2" -o "$work/in/$1/$1.KVL8" \
    --profile "$3" --preset "$4" >/dev/null
  projects+=("$1")
}
{
  for k in $(seq 0 5); do
    printf '%d\n00:00:0%d,%03d --> 00:00:0%d,%03d\nCaption number %d & <more>\nsecond line %d\n\n' \
      $((k + 1)) $((k / 2)) $((k % 2 * 500)) $((k / 2)) $((k % 2 * 500 + 400)) "$k" "$k"
  done
} > "$work/in/generated.srt"
printf '1\n00:00:00,200 --> 00:00:01,000\nBonsoir, Gérard.\n\n2\n00:00:01,040 --> 00:00:01,999\n<i>Vous êtes en retard</i>\ncomme toujours.\n\n3\n00:00:02,500 --> 00:00:03,000\nStraße – «ça»\n\n' \
  > "$work/in/accents.srt"
make_project generated_pal "$work/in/generated.srt" 1 0
make_project generated_hd "$work/in/generated.srt" 7 7
make_project accents_pal "$work/in/accents.srt" 1 0
make_project accents_hd "$work/in/accents.srt" 7 7
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=s=320x240:r=25:d=3" -f lavfi -i "sine=f=440:d=3" \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac "$work/in/movie.mp4"

# Every format with each of its choices. One line per run: the arguments
# after the project file.
runs=(
  "export png"
  "export iff --scala 0" "export iff --scala 1" "export iff --scala 2" "export iff --scala 3"
  "export avi" "export avi --codec utvideo" "export avi --codec ffv1"
  "export avi --codec mjpeg --quality 60"
  "export overlay --codec prores" "export overlay --codec qtrle" "export overlay --codec png"
  "export overlay --codec vp9" "export overlay --codec utvideo"
  "export bdn" "export bdn --indexed --lang fr"
  "export sup" "export vobsub --lang de" "export dvb"
  "export srt" "export vtt --lang fr --lang-in-name" "export ass"
  "export scc" "export stl" "export stl --teletext --start 10:00:00:00" "export stl --open"
  "burn"
)

# run_side SIDE BIN: every run on every project into SIDE/RUN/PROJECT. Both
# sides run in the same folder (some files name their own path) and are
# moved apart afterwards.
run_side() {
  local side=$1 bin=$2 i=0 p args dir
  rm -rf "$work/run"
  for args in "${runs[@]}"; do
    i=$((i + 1))
    for p in "${projects[@]}"; do
      # burn-in needs only one project of each size
      if [ "$args" = burn ] && [[ "$p" != generated_* ]]; then continue; fi
      dir="$work/run/$i/$p"
      mkdir -p "$dir"
      cp "$work/in/$p/$p.KVL8" "$dir/"
      # shellcheck disable=SC2086
      set -- $args
      if [ "$1" = burn ]; then
        "$bin/kalvero-cli" --program-dir "$bin" burn "$work/in/movie.mp4" "$dir/$p.KVL8" -o "$dir/burnt.mkv" \
          --preset ultrafast >"$dir/.out" 2>"$dir/.err" || echo "exit $?" >>"$dir/.status"
      else
        "$bin/kalvero-cli" --program-dir "$bin" "$1" "$2" "$dir/$p.KVL8" "${@:3}" \
          >"$dir/.out" 2>"$dir/.err" || echo "exit $?" >>"$dir/.status"
      fi
    done
  done
  mv "$work/run" "$work/$side"
}
echo "compare-exports: old build $old" >&2
run_side old "$old"
echo "compare-exports: new build $new" >&2
run_side new "$new"

# Every file of both sides: the same names, the same bytes.
status=0
(cd "$work/old" && find . -type f | sort) >"$work/old.list"
(cd "$work/new" && find . -type f | sort) >"$work/new.list"
if ! diff -q "$work/old.list" "$work/new.list" >/dev/null; then
  echo "compare-exports: the two builds wrote different files:" >&2
  diff "$work/old.list" "$work/new.list" | grep '^[<>]' | sed 's/^</  only old:/; s/^>/  only new:/' >&2
  status=1
fi
# Matroska and WebM files carry random identifiers (segment and track UIDs)
# and the time of writing: there the packets of every stream, their time
# stamps and sizes are compared instead (FFmpeg's framemd5).
packets() { ffmpeg -nostdin -v error -i "$1" -map 0 -c copy -f framemd5 - 2>&1; }
files=0; differing=0; by_packets=0
while read -r f; do
  [ -f "$work/new/$f" ] || continue
  files=$((files + 1))
  cmp -s "$work/old/$f" "$work/new/$f" && continue
  case "$f" in
    *.mkv|*.mks|*.webm)
      if [ "$(packets "$work/old/$f")" = "$(packets "$work/new/$f")" ]; then
        by_packets=$((by_packets + 1)); continue
      fi ;;
  esac
  if true; then
    n=${f#./}; run=${n%%/*}
    echo "compare-exports: differs: $n (run: ${runs[$((run - 1))]})" >&2
    differing=$((differing + 1)); status=1
  fi
done <"$work/old.list"
formats=$(for args in "${runs[@]}"; do set -- $args; [ "$1" = burn ] && echo burn || echo "$2"; done | sort -u | wc -l)
echo "compare-exports: ${#runs[@]} runs of $formats formats on ${#projects[@]} projects, $files files compared" \
  "($by_packets Matroska/WebM by their packets), $differing differ"
[ $status = 0 ] && rm -rf "$work"
exit $status
