#!/usr/bin/env bash
# Sets Kalvero up (packages, build) and starts it. Arguments go to the program.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
exec "$root/build/bin/kalvero" "$@"
