#!/usr/bin/env bash
# Redraws the PNG sizes of the icon from its SVG (needs rsvg-convert from librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for s in 16 24 32 48 64 128 256; do
  mkdir -p "${s}x${s}"
  rsvg-convert -w "$s" -h "$s" org.kalvero.Kalvero.svg -o "${s}x${s}/org.kalvero.Kalvero.png"
done
