#!/usr/bin/env bash
# Sets Kalvero up (packages, build) and runs every test. The real-window tests
# run under a virtual X server that this script starts itself.
#
# Then the headless core tests run a second time, built with AddressSanitizer
# and UndefinedBehaviorSanitizer in build-asan/ (KALVERO_ASAN_BUILD_DIR); any
# sanitizer report fails the script. KALVERO_SKIP_SANITIZE=1 leaves that out.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KALVERO_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh" "$build"

export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export GSETTINGS_BACKEND=memory
export NO_AT_BRIDGE=1
status=0
cd "$build"
if [ -z "${DISPLAY:-}" ]; then
  xvfb-run -a -s '-screen 0 2560x1600x24' ctest --output-on-failure -j 2 || status=$?
else
  ctest --output-on-failure -j 2 || status=$?
fi

# --- Byte comparison of every export against an earlier build --------------
rev="${KALVERO_COMPARE_REV:-none}"
if [ "$rev" != none ]; then
  if git -C "$root" rev-parse --verify -q "$rev^{commit}" >/dev/null; then
    echo "== Every export against $rev"
    bash "$root/scripts/compare-exports.sh" --old-rev "$rev" --new "$build/bin" || status=$?
  else
    echo "== Byte comparison skipped: $rev is not in this clone"
  fi
fi

# --- Sanitizer stage: the core tests under ASan + UBSan --------------------
if [ "${KALVERO_SKIP_SANITIZE:-0}" != 1 ]; then
  asan="${KALVERO_ASAN_BUILD_DIR:-$root/build-asan}"
  jobs="${KALVERO_JOBS:-$(nproc 2>/dev/null || echo 2)}"
  echo "== Sanitizer build and core tests in $asan"
  cmake -S "$root" -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVERO_SANITIZE=ON \
    -DKALVERO_BUILD_GUI=OFF -DKALVERO_BUILD_BENCH=OFF >/dev/null
  cmake --build "$asan" -j "$jobs"
  export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
  export LSAN_OPTIONS="suppressions=$root/tests/reliability/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
  (cd "$asan" && ctest -L core --output-on-failure -j 2) || status=$?
fi
exit $status
