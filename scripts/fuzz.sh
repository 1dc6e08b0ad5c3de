#!/usr/bin/env bash
# Fuzzes every reader of outside data with libFuzzer (clang, AddressSanitizer,
# UndefinedBehaviorSanitizer), one harness after the other.
#
# Usage: scripts/fuzz.sh [SECONDS] [HARNESS...]
#        scripts/fuzz.sh --big
#   SECONDS   time per harness (default 600)
#   HARNESS   project srt settings fontsheet bmp tga image cli broadcast (default: all)
#
# Builds into build-fuzz/ (KALVERO_FUZZ_BUILD_DIR). Each harness starts from
# its seed corpus in tests/fuzz/corpus/<harness> and keeps what it finds in
# build-fuzz/corpus/<harness>; a crashing input is written to
# build-fuzz/findings/<harness>/ and the script exits non-zero. Finished runs
# print their executions per second and corpus size; the full logs are in
# build-fuzz/logs/. Environment: KALVERO_FUZZ_JOBS (build jobs, default 1),
# KALVERO_FUZZ_RSS_MB (memory limit per input, default 2048).
#
# --big runs the large-input tests instead (a 200 MB SubRip file, a project
# of 1,000,000 rows, files beyond the read limits) with the normal build in
# build/ (KALVERO_BUILD_DIR) and prints the time and peak memory of each.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

if [ "${1:-}" = "--big" ]; then
  build="${KALVERO_BUILD_DIR:-$root/build}"
  [ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DKALVERO_BUILD_GUI=OFF >/dev/null
  cmake --build "$build" -j "${KALVERO_FUZZ_JOBS:-1}" --target kalvero_tests
  export KALVERO_BIG_TESTS=1
  failed=0
  for t in ResourceLimits.FilesBeyondTheReadLimitsAreRefusedUnread ResourceLimits.ALargeProjectOpensCompletely \
           ResourceLimits.ALargeSubRipFileImportsCompletely; do
    echo "== $t"
    log="$build/big-$t.log"
    if /usr/bin/time -f "   %e s, peak %M KiB" -o "$log.time" "$build/tests/kalvero_tests" --gtest_filter="$t" >"$log" 2>&1; then
      echo "   passed"
    else
      echo "   FAILED (see $log)"
      failed=1
    fi
    cat "$log.time"
  done
  exit $failed
fi
seconds="${1:-600}"
shift || true
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(project srt settings fontsheet bmp tga image cli broadcast)
build="${KALVERO_FUZZ_BUILD_DIR:-$root/build-fuzz}"
jobs="${KALVERO_FUZZ_JOBS:-1}"

command -v clang++ >/dev/null || { echo "fuzz.sh needs clang (scripts/packages.txt)" >&2; exit 1; }
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVERO_FUZZ=ON -DKALVERO_BUILD_GUI=OFF \
  -DKALVERO_BUILD_TESTS=OFF -DKALVERO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target "${harnesses[@]/#/fuzz_}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
mkdir -p "$build/logs"
failed=0
for h in "${harnesses[@]}"; do
  corpus="$build/corpus/$h"
  findings="$build/findings/$h"
  mkdir -p "$corpus" "$findings"
  log="$build/logs/$h.log"
  echo "== $h: ${seconds}s"
  set +e
  "$build/tests/fuzz/fuzz_$h" -max_total_time="$seconds" -timeout=20 -rss_limit_mb="${KALVERO_FUZZ_RSS_MB:-2048}" \
    -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/" \
    "$corpus" "$root/tests/fuzz/corpus/$h" >"$log" 2>&1
  rc=$?
  set -e
  execs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  rate=$(grep -E '^stat::average_exec_per_sec' "$log" | awk '{print $2}')
  units=$(ls "$corpus" | wc -l)
  echo "   exit $rc, ${execs:-?} runs, ${rate:-?} runs/s, corpus $units files ($(du -sh "$corpus" | cut -f1))"
  if [ $rc -ne 0 ]; then
    failed=1
    echo "   FINDING: see $log and $findings/"
    grep -E 'ERROR:|runtime error|check failed' "$log" | head -5 | sed 's/^/   /'
  fi
done
exit $failed
