#!/usr/bin/env bash
# Sets Kalvero up (packages, build) and runs every test. The real-window tests
# run under a virtual X server that this script starts itself.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KALVERO_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh" "$build"

export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export GSETTINGS_BACKEND=memory
export NO_AT_BRIDGE=1
cd "$build"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s '-screen 0 2560x1600x24' ctest --output-on-failure -j 2
else
  exec ctest --output-on-failure -j 2
fi
