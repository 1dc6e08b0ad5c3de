#!/usr/bin/env bash
# VP9 overlay speed: kalvero-cli export overlay --codec vp9 against FFmpeg's
# own libvpx-vp9 encoder fed the same RGBA frames by kalvero_perf
# feed-overlay, with the same settings (yuva420p, deadline good, cpu-used 4,
# CRF 10, key frames 250 apart) and FFmpeg's own threading defaults. The two
# run in turn, ROUNDS times each; the feeder alone is timed as well.
#
#   bash bench/overlay_bench.sh BIN_DIR WORK_DIR [SECONDS] [ROUNDS]
#
# Prints one Markdown table row: what, Kalvero, peer, ratio, peak memory.
set -euo pipefail
bin=$1; work=$2; secs=${3:-8}; rounds=${4:-3}
. "$(dirname "$0")/bench_lib.sh"
mkdir -p "$work/overlay_project"
proj="$work/overlay_project/overlay.KVL8"
sets=$(( secs / 2 ))
caption_project "$proj" "$sets"
frames=$(( (2 * (sets - 1) + 1) * 25 + 12 ))

peer_cmd="'$bin/kalvero_perf' feed-overlay '$proj' $frames | ffmpeg -nostdin -v error -f rawvideo -pix_fmt rgba -s 1920x1080 -r 25 -i - \
-c:v libvpx-vp9 -pix_fmt yuva420p -deadline good -cpu-used 4 -crf 10 -b:v 0 -g 250 -f webm -y '$work/peer.webm'"
ratios=(); ours_all=(); peer_all=()
for r in $(seq 1 "$rounds"); do
  o=$(t ours "$bin/kalvero-cli" export overlay "$proj" --codec vp9 --force) || exit 1
  p=$(t peer bash -o pipefail -c "$peer_cmd") || exit 1
  ours_all+=("$o"); peer_all+=("$p"); ratios+=("$(echo "$o / $p" | bc -l)")
done
feed=$(t feed bash -o pipefail -c "'$bin/kalvero_perf' feed-overlay '$proj' $frames > /dev/null") || exit 1
ours_frames=$(ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 \
  "$work/overlay_project/OVERLAY_Output/overlay_overlay.webm")
printf '| Overlay movie VP9, %d frames 1920x1080 with alpha (%d sets; min / median / max of %d alternating runs) | %s s | ffmpeg -c:v libvpx-vp9 (its threading defaults) fed the same frames: %s s (feeder alone %.1f s) | %s x | %s MB |\n' \
  "$ours_frames" "$sets" "$rounds" "$(mmm "${ours_all[@]}")" "$(mmm "${peer_all[@]}")" "$feed" "$(mmm "${ratios[@]}")" \
  "$(awk '{ printf "%.0f", $1 / 1024 }' "$work/ours.rss")"
rm -rf "$work/overlay_project" "$work/peer.webm"
