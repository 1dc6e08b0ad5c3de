#!/usr/bin/env bash
# Burn-in speed: kalvero-cli burn against the ffmpeg tool laying the PNG
# sequence of the same project over the same movie with its overlay filter
# (each picture enabled from its ON to its OFF time, read from the
# NAME_timing.csv beside the pictures). Same encoder settings on both sides
# (libx264, CRF 18, preset medium, sound copied).
#
#   bash bench/burn_bench.sh BIN_DIR WORK_DIR [SECONDS]
#
# Prints one Markdown table row: what, Kalvero, peer, ratio, peak memory.
set -euo pipefail
bin=$1; work=$2; secs=${3:-12}
. "$(dirname "$0")/bench_lib.sh"
mkdir -p "$work/burn_project"
proj="$work/burn_project/burn.KVL8"
sets=$(( secs / 2 ))
caption_project "$proj" "$sets"
movie="$work/burn_in.mp4"
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=25:d=$secs" -f lavfi -i "sine=f=440:d=$secs" \
  -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p -c:a aac "$movie"
"$bin/kalvero-cli" export png "$proj" >/dev/null

# The overlay chain from the timing table: inputs 1.. are the pictures.
inputs=(); chain=""; prev="0:v"; n=1
while IFS=, read -r picture on off start end frames; do
  [ "$picture" = picture ] && continue
  [ -z "$start" ] && continue
  inputs+=(-i "$work/burn_project/PNG_Output/$picture")
  chain+="[$prev][$n:v]overlay=enable='between(n,$start,$((end - 1)))'[v$n];"
  prev="v$n"; n=$((n + 1))
done < "$work/burn_project/PNG_Output/burn_timing.csv"
chain=${chain%;}

ours=$(t ours "$bin/kalvero-cli" burn "$movie" "$proj" -o "$work/ours.mp4" --crf 18 --preset medium) || exit 1
peer=$(t peer ffmpeg -nostdin -v error -y -i "$movie" "${inputs[@]}" -filter_complex "$chain" -map "[$prev]" -map 0:a \
  -c:v libx264 -crf 18 -preset medium -c:a copy "$work/peer.mp4") || exit 1
# Both movies are whole: every frame of the source is there.
for m in ours peer; do
  n=$(ffprobe -v error -select_streams v -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$work/$m.mp4") ||
    { echo "burn_bench: ffprobe cannot read the $m movie" >&2; exit 1; }
  [ "$n" = $((secs * 25)) ] || { echo "burn_bench: the $m movie has $n frames, not $((secs * 25))" >&2; exit 1; }
done
frames=$(ffprobe -v error -select_streams v -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$work/ours.mp4")
ours_mb=$(awk '{ printf "%.0f", $1 / 1024 }' "$work/ours.rss"); peer_mb=$(awk '{ printf "%.0f", $1 / 1024 }' "$work/peer.rss")
# CPU seconds too: on a shared machine the wall clock depends on the neighbours
ours_cpu=$(awk '{ print $2 + $3 }' "$work/ours.rss"); peer_cpu=$(awk '{ print $2 + $3 }' "$work/peer.rss")
printf '| Burn-in, %d s 1080p25 movie with sound (%d frames, %d sets; x264 CRF 18 medium) | %.1f s (%.0f fps), CPU %.1f s | ffmpeg overlay filter with the PNG sequence: %.1f s (%.0f fps), CPU %.1f s | %.2f x (CPU %.2f x) | %s MB (ffmpeg %s MB) |\n' \
  "$secs" "$frames" "$sets" "$ours" "$(echo "$frames / $ours" | bc -l)" "$ours_cpu" "$peer" "$(echo "$frames / $peer" | bc -l)" \
  "$peer_cpu" "$(echo "$peer / $ours" | bc -l)" "$(echo "$peer_cpu / $ours_cpu" | bc -l)" "$ours_mb" "$peer_mb"
# The floor: the same movie re-encoded with the same settings and no
# captions, in turn with burn-in runs; min / median / max of the ratios.
ratios=(); burns=(); plains=()
for r in 1 2 3; do
  b=$(t burn "$bin/kalvero-cli" burn "$movie" "$proj" -o "$work/ours.mp4" --crf 18 --preset medium --force) || exit 1
  p=$(t plain ffmpeg -nostdin -v error -y -i "$movie" -map 0:v -map 0:a -c:v libx264 -crf 18 -preset medium -c:a copy \
    "$work/plain.mp4") || exit 1
  burns+=("$b"); plains+=("$p"); ratios+=("$(echo "$b / $p" | bc -l)")
done
printf '| Burn-in against re-encoding alone, same movie (min / median / max of 3 alternating runs) | %s s | ffmpeg -c:v libx264 CRF 18 medium, no captions: %s s | %s x | - |\n' \
  "$(mmm "${burns[@]}")" "$(mmm "${plains[@]}")" "$(mmm "${ratios[@]}")"
rm -f "$work/ours.mp4" "$work/peer.mp4" "$work/plain.mp4" "$movie"
rm -rf "$work/burn_project"
