#!/usr/bin/env bash
# Installs the Debian packages Kalvero needs (once) and builds it into build/.
# Usage: scripts/setup.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"

mapfile -t packages < <(grep -v -E '^\s*(#|$)' "$root/scripts/packages.txt")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

jobs="${KALVERO_JOBS:-$(nproc 2>/dev/null || echo 2)}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${KALVERO_BUILD_TYPE:-RelWithDebInfo}"
cmake --build "$build" -j "$jobs"
