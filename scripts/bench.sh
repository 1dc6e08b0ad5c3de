#!/usr/bin/env bash
# Measures Kalvero against its peers and prints one table (Markdown).
#
#   bash scripts/bench.sh [--quick] [--no-build]
#
# --quick     smaller runs (about 3 minutes instead of about 12)
# --no-build  use the programs already in the build folder
#
# Environment: KALVERO_BUILD_DIR (default build/), KALVERO_BENCH_DIR (work
# folder for the exported files, default BUILD/bench-work; it needs about
# 20 GB free for the full run, 4 GB for --quick; emptied at the end),
# KALVERO_BENCH_SECTIONS (default "render tools gui png disk tracks startup iff avi
# overlay": the parts to run).
#
# Every figure in the table is measured in this run. Peers: the ffmpeg
# command-line tool encoding the same frames with the same codec, and dd
# writing the same number of bytes to the same disk. Earlier figures and
# goals are not measurements: they are printed after the table, as history.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KALVERO_BUILD_DIR:-$root/build}"
quick=0
do_build=1
for arg in "$@"; do
  case "$arg" in
    --quick) quick=1 ;;
    --no-build) do_build=0 ;;
    *) echo "usage: scripts/bench.sh [--quick] [--no-build]" >&2; exit 2 ;;
  esac
done

if [ $do_build = 1 ]; then
  "$root/scripts/setup.sh" "$build" >&2
fi
bin="$build/bin"
for p in kalvero-cli kalvero_bench kalvero_perf kalvero_gui_bench; do
  [ -x "$bin/$p" ] || { echo "missing $bin/$p: build first" >&2; exit 1; }
done
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed for the peer figures" >&2; exit 1; }

work="${KALVERO_BENCH_DIR:-$build/bench-work}"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

if [ $quick = 1 ]; then
  png_sets=200; iff_sets=200; avi_sets=150; peer_frames=500; raw_frames=500; gui_rounds=7
else
  png_sets=2000; iff_sets=2000; avi_sets=1500; peer_frames=3000; raw_frames=3000; gui_rounds=15
fi
srt_cues=20000
sections=" ${KALVERO_BENCH_SECTIONS:-render tools gui png disk tracks startup iff avi overlay} "
want() { [[ "$sections" == *" $1 "* ]]; }

log() { echo "[bench] $*" >&2; }

# timed NAME CMD...: runs CMD (stdout to NAME.out), sets NAME_s (wall
# seconds) and NAME_kb (peak resident memory of the largest process).
timed() {
  local name=$1; shift
  local t0 t1
  t0=$(date +%s.%N)
  if ! /usr/bin/time -f '%M' -o "$work/$name.rss" "$@" >"$work/$name.out" 2>"$work/$name.err"; then
    echo "bench: $name failed: $*" >&2
    tail -5 "$work/$name.err" >&2
    exit 1
  fi
  t1=$(date +%s.%N)
  printf -v "${name}_s" '%s' "$(echo "$t1 - $t0" | bc -l)"
  printf -v "${name}_kb" '%s' "$(tail -1 "$work/$name.rss")"
}
calc() { echo "$*" | bc -l; }
fmt() { printf "%.${2:-2}f" "$1"; }
mb() { printf "%.0f MB" "$(calc "$1 / 1024")"; }

# project NAME CUES SECONDS_PER_SET PROFILE PRESET: a project from a SubRip file.
project() {
  local name=$1 cues=$2 secs=$3 profile=$4 preset=$5
  mkdir -p "$work/${name}_project"
  "$bin/kalvero_perf" srt "$work/$name.srt" "$cues" "$secs"
  "$bin/kalvero-cli" import-srt "$work/$name.srt" -o "$work/${name}_project/$name.KVL8" \
    --profile "$profile" --preset "$preset" >/dev/null
  echo "$work/${name}_project/$name.KVL8"
}

# Each row is logged as it is measured, so a run cut short still shows the
# sections it finished.
rows=()
add_row() { rows+=("$1"); log "row: $1"; }
row() { add_row "| $1 | $2 | $3 | $4 | $5 |"; }

# spread V...: "min / median / max" of the values.
spread() {
  printf '%s\n' "$@" | sort -g | awk -v f="${SPREAD_FMT:-%.2f}" '{ v[NR] = $1 }
    END { printf f " / " f " / " f, v[1], v[int((NR + 1) / 2)], v[NR] }'
}
# rotate ROUNDS CMD1 CMD2 ...: runs the commands in turn, each round starting
# one further on (1 2 3, 2 3 1, 3 1 2, ...), so that none always goes first
# and a drift of the machine's load falls on all. rot_t[i] holds command i's
# seconds of every round, space-separated; rot_r[i] the ratios of command 1
# to command i, round by round (the runs of a round are seconds apart).
rotate() {
  local rounds=$1; shift
  local n=$# r i k t0 t1
  local -a cmds=("$@") now
  rot_t=(); rot_r=()
  for ((r = 0; r < rounds; r++)); do
    for ((k = 0; k < n; k++)); do
      i=$(( (r + k) % n ))
      t0=$(date +%s.%N)
      bash -c "${cmds[$i]}" >/dev/null 2>"$work/rotate.err" || { echo "bench: failed: ${cmds[$i]}" >&2; tail -3 "$work/rotate.err" >&2; exit 1; }
      t1=$(date +%s.%N)
      now[$i]=$(calc "$t1 - $t0")
    done
    for ((i = 0; i < n; i++)); do
      rot_t[$i]="${rot_t[$i]:-} ${now[$i]}"
      rot_r[$i]="${rot_r[$i]:-} $(calc "${now[0]} / ${now[$i]}")"
    done
  done
}
# ms V...: the values times 1000.
ms() { for v in "$@"; do calc "$v * 1000"; done; }
# history TEXT: an earlier figure or a goal, listed after the table.
notes=()
history() { notes+=("- $1"); }

# --- 1. render and preview -------------------------------------------------
if want render; then
log "render (Google Benchmark)"
"$bin/kalvero_bench" --benchmark_filter='BM_Render(Preview|Alpha|Color|Opaque)1080$' \
  --benchmark_format=csv --benchmark_min_time=0.3 2>/dev/null >"$work/render.csv"
render_ms() { awk -F, -v n="\"$1\"" '$1==n { t=$3; u=$5; gsub(/"/,"",u); if (u=="us") t/=1000; if (u=="ns") t/=1e6; printf "%.2f", t }' "$work/render.csv"; }
r_prev=$(render_ms BM_RenderPreview1080); r_alpha=$(render_ms BM_RenderAlpha1080)
r_color=$(render_ms BM_RenderColor1080); r_opaque=$(render_ms BM_RenderOpaque1080)
row "Render one 1920x1080 set: Preview / AlphaExport / ColorExport / OpaqueExport" \
  "$r_prev / $r_alpha / $r_color / $r_opaque ms" "-" "-" "-"
log "glyphs made from installed fonts (Google Benchmark)"
"$bin/kalvero_bench" --benchmark_filter='BM_(Glyphs|RenderPreview1080)' \
  --benchmark_format=csv --benchmark_min_time=0.3 2>/dev/null >"$work/glyphs.csv"
# A benchmark with a fixed iteration count is named "NAME/iterations:N".
glyph_ms() { awk -F, -v n="\"$1\"" '{ k=$1; sub(/\/iterations:[0-9]+"$/, "\"", k) } k==n { t=$3; u=$5; gsub(/"/,"",u); if (u=="us") t/=1000; if (u=="ns") t/=1e6; printf "%.2f", t }' "$work/glyphs.csv"; }
for g in GlyphsLatin1000Cold GlyphsLatin1000Cached GlyphsLatin1000CachedNoStyles GlyphsCjk1000Cold RenderPreview1080MadeGlyphs RenderPreview1080; do
  [ -n "$(glyph_ms BM_$g)" ] || { echo "bench: BM_$g gave no figure" >&2; exit 1; }
done
row "Glyphs from an installed font for a 1,000-set Latin project, 56 px, all four border styles: cold / from the glyph cache (coverage from the cache alone: $(glyph_ms BM_GlyphsLatin1000CachedNoStyles) ms)" \
  "$(glyph_ms BM_GlyphsLatin1000Cold) / $(glyph_ms BM_GlyphsLatin1000Cached) ms" "-" "-" "-"
row "Glyphs from an installed font for a CJK project of 1,000 distinct characters, 56 px, all four border styles, cold" \
  "$(glyph_ms BM_GlyphsCjk1000Cold) ms" "-" "-" "-"
row "Render one 1920x1080 set (Preview) with glyphs made from a font / with the shipped sheets" \
  "$(glyph_ms BM_RenderPreview1080MadeGlyphs) / $(glyph_ms BM_RenderPreview1080) ms" "-" \
  "$(fmt "$(calc "$(glyph_ms BM_RenderPreview1080MadeGlyphs) / $(glyph_ms BM_RenderPreview1080)")") x" "-"
history "Glyphs from an installed font: goal < 200 ms cold and < 5 ms from the glyph cache for the Latin project, < 2000 ms for the CJK one; a render with made glyphs within 10 % of one with the shipped sheets."
fi

# --- editing tools -------------------------------------------------------------
if want tools; then
log "editing tools on 40,000 rows (Google Benchmark)"
"$bin/kalvero_bench" --benchmark_filter='BM_(Tool|Window)' --benchmark_format=csv --benchmark_min_time=0.2 2>/dev/null >"$work/tools.csv"
bm_ms() { awk -F, -v n="\"BM_$1\"" '$1==n { t=$3; u=$5; gsub(/"/,"",u); if (u=="us") t/=1000; if (u=="ns") t/=1e6; printf "%.1f", t }' "$work/tools.csv"; }
tool_ms() { bm_ms "Tool$1"; }
row "Editing tools on 40,000 rows, logic only: shift / convert-rate / split+merge / import-text / merge-srt / replace (plain, regex) / check" \
  "$(tool_ms Shift) / $(tool_ms ConvertRate) / $(tool_ms SplitMerge) / $(tool_ms ImportText) / $(tool_ms MergeSrt) / $(tool_ms ReplacePlain), $(tool_ms ReplaceRegex) / $(tool_ms Check) ms" \
  "-" "-" "-"
row "The window's tools on 40,000 rows, one undo step each (sets read, tool, rows written back, preview): shift / change rate / split+merge / replace all / find (no match) / check" \
  "$(bm_ms WindowShift) / $(bm_ms WindowChangeRate) / $(bm_ms WindowSplitMerge) / $(bm_ms WindowReplaceAll) / $(bm_ms WindowFindNext) / $(bm_ms WindowCheck) ms" \
  "-" "-" "-"
history "Editing tools on 40,000 rows, logic only and in the window: goal < 100 ms each."
fi

if want gui; then
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
if [ -n "${DISPLAY:-}" ]; then xrun=(); else xrun=(xvfb-run -a -s '-screen 0 2560x1600x24'); fi
log "start-up to the painted window (5 starts)"
"${xrun[@]}" sh -c "for i in 1 2 3 4 5; do '$bin/kalvero_gui_bench' --startup; done" >"$work/startup.out" 2>"$work/startup.err"
startup_ms=$(awk '$1=="startup_ms"{print $2}' "$work/startup.out" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}')
row "Start-up to the painted window (process start to first paint, median of 5; every font sheet of the start-up size)" \
  "$startup_ms ms" "-" "-" "-"
history "Start-up to the painted window: about 250 ms in an earlier version; goal < 300 ms."

log "window benchmark under Xvfb ($srt_cues cues)"
"$bin/kalvero_perf" srt "$work/gui.srt" "$srt_cues" 3
timed gui "${xrun[@]}" "$bin/kalvero_gui_bench" "$work/gui.srt" "$work/gui_project" "$gui_rounds"
gui() { awk -v n="$1" -v c="$2" '$1==n { print $c }' "$work/gui.out"; }
gui_rows=$(gui rows 2)
# The window must show the rendered picture, pixel for pixel.
canvas_diff=$(gui canvas_pixels_differing 2)
[ "$canvas_diff" = 0 ] || { echo "bench: the window's canvas differs from the render in ${canvas_diff:-?} pixels" >&2; exit 1; }
row "Preview refresh of one keystroke in line A, in the window (render + canvas on screen), 1080p" \
  "$(gui keystroke_line_a 2) ms (max $(gui keystroke_line_a 3))" "-" "-" "$(mb "$gui_kb")"
row "of which: refreshPreview / canvas shown (ImagePanel)" \
  "$(gui refresh_preview 2) / $(gui show_canvas 2) ms" "-" "-" "-"

# --- 5. list, project files --------------------------------------------------
timed srt_cli "$bin/kalvero-cli" import-srt "$work/gui.srt" -o "$work/srt_cli.KVL8" --profile 7 --preset 7
row "SubRip import of $srt_cues cues, kalvero-cli import-srt (read, convert, write project)" \
  "$(fmt "$srt_cli_s") s" "-" "-" "$(mb "$srt_cli_kb")"
timed projfile "$bin/kalvero_perf" project "$work/srt_cli.KVL8" "$work/projfile.KVL8"
row "Project of $(awk '$1=="rows"{print $2}' "$work/projfile.out") rows: load (parse + OFF+ON) / save (format + write)" \
  "$(calc "$(awk '$1=="load_s"{print $2}' "$work/projfile.out") * 1000" | xargs printf '%.0f') / $(calc "$(awk '$1=="save_s"{print $2}' "$work/projfile.out") * 1000" | xargs printf '%.0f') ms" "-" "-" "$(mb "$projfile_kb")"
row "Window, $gui_rows rows: Import SRT / Save / Open (with repaint)" \
  "$(gui import_srt 2) / $(gui save_project 2) / $(gui open_project 2) ms" "-" "-" "(above)"
for f in select_row return_key strips_y_slider insert_single remove_single list_scroll_page list_jump_end; do
  row "Window, $gui_rows rows: $f (median, max; CPU of the program)" "$(gui $f 2) ms, $(gui $f 3) ms; CPU $(gui $f 4) ms" "-" "-" "(above)"
done

# The handlers without a window: the logic's share, with in-run peers.
timed handlers "$bin/kalvero_perf" handlers "$work/gui.srt" "$work/handlers_project"
hnd() { awk -v n="$1" -v c="$2" '$1==n { print $c }' "$work/handlers.out"; }
# Peers of the same edit: the handler with the whole list recalculated after
# it (as every step did before), and with the font sheets decoded again.
# The window cannot run the old way: its figure with the old handler is the
# window's figure plus the handlers' difference, marked as estimated.
spin_w=$(gui spin_step 2); spin_h=$(hnd spin_step 2); spin_full=$(hnd spin_step_full_recalc 2)
spin_w_full=$(calc "$spin_w + $spin_full - $spin_h")
row "Spin step, $gui_rows rows: window (median, max; CPU of the program) / handler alone" \
  "$spin_w ms, $(gui spin_step 3) ms; CPU $(gui spin_step 4) ms / $spin_h ms" \
  "the same edit recalculating the whole list: handler $spin_full ms; window about $(fmt "$spin_w_full") ms (estimated)" \
  "handler $(fmt "$(calc "$spin_full / $spin_h")" 1) x; window about $(fmt "$(calc "$spin_w_full / $spin_w")" 1) x" "-"
history "Spin step: about 13 ms in an earlier version (every step recalculated the whole list); goal < 2 ms."
prof_w=$(gui profile_change 2); prof_h=$(hnd profile_change 2); prof_dec=$(hnd profile_change_decoding 2)
prof_w_dec=$(calc "$prof_w + $prof_dec - $prof_h")
row "Profile change 1080p <-> PAL: window (median, max; CPU of the program) / handler alone" \
  "$prof_w ms, $(gui profile_change 3) ms; CPU $(gui profile_change 4) ms / $prof_h ms" \
  "the same change decoding the sheets again: handler $prof_dec ms; window about $(fmt "$prof_w_dec") ms (estimated)" \
  "handler $(fmt "$(calc "$prof_dec / $prof_h")" 1) x; window about $(fmt "$(calc "$prof_w_dec / $prof_w")" 1) x" "-"
history "Profile change: goal < 30 ms."
row "Open of $gui_rows rows: window (with repaint; CPU of the program) / handler alone" \
  "$(gui open_project 2) ms; CPU $(gui open_project 4) ms / $(hnd open_project 2) ms" "-" "-" "-"
history "Open of a long list: goal < 30 ms."
row "Editor core, $gui_rows rows, handler alone: journal write after an edit / Select All + Copy as SubRip / Undo (or Redo) of Remove All / of deleting every set" \
  "$(hnd journal_write 2) / $(hnd copy_all 2) / $(hnd undo_remove_all 2) / $(hnd undo_delete_all 2) ms" "-" "-" "-"
history "Undo and redo of Remove All on 40,000 rows: goal < 30 ms in the window; journal write per edit: goal < 1 ms."
fi

# --- 2. PNG sequence --------------------------------------------------------
if want png; then
log "PNG encoders on one 1080p caption picture (Google Benchmark)"
"$bin/kalvero_bench" --benchmark_filter='BM_Png(Zlib3|Fast)Caption1080$' \
  --benchmark_format=csv --benchmark_min_time=0.3 2>/dev/null >"$work/pngenc.csv"
enc_ms() { awk -F, -v n="\"$1\"" '$1==n { t=$3; u=$5; gsub(/"/,"",u); if (u=="us") t/=1000; if (u=="ns") t/=1e6; printf "%.2f", t }' "$work/pngenc.csv"; }
png_fast=$(enc_ms BM_PngFastCaption1080); png_zlib=$(enc_ms BM_PngZlib3Caption1080)
row "PNG encoding of one 1080p caption picture, one thread (ISA-L level 1)" "$png_fast ms" \
  "libpng, zlib level 3 (the earlier encoder), same picture: $png_zlib ms" "$(fmt "$(calc "$png_zlib / $png_fast")" 1) x faster" "-"
log "PNG sequence, $png_sets sets at 1920x1080"
png_proj=$(project png "$png_sets" 4 7 7)
timed png "$bin/kalvero-cli" export png "$png_proj"
timed pngfeed bash -o pipefail -c "'$bin/kalvero_perf' feed-png '$png_proj' > /dev/null"
# The peer's pictures are counted, not written: their size is shown beside ours.
timed pngpeer bash -o pipefail -c "'$bin/kalvero_perf' feed-png '$png_proj' | ffmpeg -v error -f rawvideo -pix_fmt rgba -s 1920x1080 -r 25 -i - -c:v png -f image2pipe - | wc -c"
png_bytes=$(du -sb "$work/png_project/PNG_Output" | cut -f1)
peer_png_bytes=$(tr -d ' ' <"$work/pngpeer.out")
row "PNG sequence, $png_sets sets at 1920x1080 (render, encode, write; $(calc "$png_bytes / $png_sets / 1024" | xargs printf '%.0f') KB per file)" \
  "$(fmt "$(calc "$png_s * 1000 / $png_sets")" 1) ms per picture" \
  "ffmpeg -c:v png: $(fmt "$(calc "$pngpeer_s * 1000 / $png_sets")" 1) ms (feeder alone $(fmt "$(calc "$pngfeed_s * 1000 / $png_sets")" 1); $(calc "$peer_png_bytes / $png_sets / 1024" | xargs printf '%.0f') KB per picture, not written)" \
  "$(fmt "$(calc "$png_s / $pngpeer_s")") x" "$(mb "$png_kb") (ffmpeg $(mb "$pngpeer_kb"))"
history "PNG sequence: 8.6 ms per picture in an earlier version; goal: at most 0.25 x the ffmpeg peer's time."
rm -rf "$work/png_project/PNG_Output"
fi

# --- PNG sequence and the disk --------------------------------------------------
if want disk; then
disk_sets=$([ $quick = 1 ] && echo 100 || echo 300)
log "PNG sequence of $disk_sets sets against writing its files alone"
disk_proj=$(project disk "$disk_sets" 4 7 7)
"$bin/kalvero-cli" export png "$disk_proj" >/dev/null
cp -r "$work/disk_project/PNG_Output" "$work/disk_files"
# The export replaces its earlier pictures, as the floors replace theirs.
rotate 5 "'$bin/kalvero-cli' export png '$disk_proj'" \
  "python3 '$root/bench/write_floor.py' once '$work/disk_files' '$work/floor_once'" \
  "python3 '$root/bench/write_floor.py' each '$work/disk_files' '$work/floor_each'"
read -r -a t_exp <<<"${rot_t[0]}"; read -r -a t_once <<<"${rot_t[1]}"; read -r -a t_each <<<"${rot_t[2]}"
read -r -a r_once <<<"${rot_r[1]}"; read -r -a r_each <<<"${rot_r[2]}"
disk_kb=$(du -sk "$work/disk_files" | cut -f1)
row "PNG sequence, $disk_sets sets at 1920x1080, whole run: render, encode, write each to a temporary and rename, one sync of the folder at the end ($(( disk_kb / 1024 )) MB; 5 rounds, rotating; min / median / max)" \
  "$(spread $(ms "${t_exp[@]}")) ms" \
  "writing the finished files alone (python, temporary + rename each): no sync per file and one syncfs at the end $(spread $(ms "${t_once[@]}")) ms; an fsync per file $(spread $(ms "${t_each[@]}")) ms" \
  "$(spread "${r_once[@]}") x the one-sync floor; $(spread "${r_each[@]}") x the fsync-per-file floor" "-"
history "PNG sequence of 300 sets: the export synced every file (equal to the fsync-per-file floor, 1.03-1.06x) in an earlier version; goal: within 2x of the one-sync floor."
rm -rf "$work/disk_project/PNG_Output" "$work/disk_files" "$work/floor_once" "$work/floor_each"
fi

# --- subtitle tracks: memory and FFmpeg's encoders -------------------------------
if want tracks; then
sup_sets=$([ $quick = 1 ] && echo 5000 || echo 50000)
log "SUP track of $sup_sets sets"
# 0.9 s a set: 50,000 sets end at 12.5 hours, within the 13 h 15 min a SUP
# file's clock can hold (a longer list is refused, as it should be).
sup_proj=$(project sup "$sup_sets" 0.9 7 7)
timed sup "$bin/kalvero-cli" export sup "$sup_proj"
timed dvbbig "$bin/kalvero-cli" export dvb "$sup_proj"
row "SUP track, $sup_sets sets at 1920x1080 (the stream written to its file as it grows)" \
  "$(fmt "$sup_s" 1) s, peak $(mb "$sup_kb")" "DVB track of the same sets: $(fmt "$dvbbig_s" 1) s, peak $(mb "$dvbbig_kb")" "-" "$(mb "$sup_kb")"
history "SUP track: the whole stream was held in memory until the end in an earlier version (458 MB at 10,000 sets, 1.6 GB at 50,000); goal: under 150 MB at 50,000."
rm -rf "$work/sup_project"

track_sets=$([ $quick = 1 ] && echo 300 || echo 2000)
log "DVB and VobSub of $track_sets sets against FFmpeg's encoders"
trk_proj=$(project trk "$track_sets" 3 1 0)
"$bin/kalvero-cli" export sup "$trk_proj" >/dev/null
sup_file="$work/trk_project/SUP_Output/trk.sup"
for kind in dvb vobsub; do
  if [ $kind = dvb ]; then peer="ffmpeg -v error -y -i '$sup_file' -map 0 -c:s dvbsub -f mpegts '$work/peer.ts'"; enc=dvbsub
  else peer="ffmpeg -v error -y -i '$sup_file' -map 0 -c:s dvdsub -f vob '$work/peer.vob'"; enc=dvdsub; fi
  rotate 3 "'$bin/kalvero-cli' export $kind '$trk_proj'" "$peer"
  read -r -a t_ours <<<"${rot_t[0]}"; read -r -a t_peer <<<"${rot_t[1]}"; read -r -a r_peer <<<"${rot_r[1]}"
  row "$kind track, $track_sets sets at 720x576, whole run (render, reduce colours, encode, write; 3 rounds, alternating; min / median / max)" \
    "$(spread "${t_ours[@]}") s" \
    "ffmpeg -c:s $enc fed the same cropped bitmaps (decoded from Kalvero's SUP of the list): $(spread "${t_peer[@]}") s" \
    "$(spread "${r_peer[@]}") x" "-"
done
history "DVB and VobSub: 5.9x and 3.5x FFmpeg's own encoders fed the same bitmaps in an earlier version; goal: under 1.5x."
rm -rf "$work/trk_project" "$work/peer.ts" "$work/peer.vob"
fi

# --- start-up -----------------------------------------------------------------------
if want startup; then
log "start-up of kalvero-cli against /bin/true"
"$bin/kalvero_perf" srt "$work/start.srt" 20000 3
"$bin/kalvero-cli" import-srt "$work/start.srt" -o "$work/start.KVL8" --profile 7 --preset 7 >/dev/null
loop20() { echo "for i in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do $1; done"; }
rotate 5 "$(loop20 "'$bin/kalvero-cli' --version")" "$(loop20 /bin/true)" "$(loop20 "'$bin/kalvero-cli' info '$work/start.KVL8'")"
read -r -a t_ver <<<"${rot_t[0]}"; read -r -a t_true <<<"${rot_t[1]}"; read -r -a t_info <<<"${rot_t[2]}"
per() { for v in "$@"; do calc "$v * 1000 / 20"; done; }
SPREAD_FMT=%.1f
row "kalvero-cli --version / info on 40,000 rows (per start, 20 starts a round, 5 rounds rotating; min / median / max)" \
  "$(spread $(per "${t_ver[@]}")) ms / $(spread $(per "${t_info[@]}")) ms" \
  "/bin/true: $(spread $(per "${t_true[@]}")) ms" "-" "-"
# CPU time per start, which a busy machine inflates far less than wall time,
# and the shared libraries the loader binds (FFmpeg's only with the movie module).
if command -v perf >/dev/null; then
  cpu_ms() { perf stat -x, -e task-clock -r 20 "$@" 2>&1 >/dev/null | awk -F, '$3=="task-clock"{printf "%.1f", $1}'; }
  libs() { ldd "$1" | grep -c '=>'; }
  row "kalvero-cli start-up, CPU time per start (perf stat task-clock, 20 starts; shared libraries bound)" \
    "--version $(cpu_ms "$bin/kalvero-cli" --version) ms, info on 40,000 rows $(cpu_ms "$bin/kalvero-cli" info "$work/start.KVL8") ms; $(libs "$bin/kalvero-cli") libraries (the movie module opens $(libs "$build/lib/kalvero/libkalvero-media.so") more when a command needs it)" \
    "/bin/true: $(cpu_ms /bin/true) ms" "-" "-"
fi
unset SPREAD_FMT
history "kalvero-cli start-up: --version 57 ms and info on 40,000 rows 69 ms in an earlier version; goal: under 10 ms and 25 ms."
fi

# --- 3. IFF / Scala ---------------------------------------------------------
if want iff; then
log "IFF/Scala, $iff_sets sets at 720x576"
iff_proj=$(project iff "$iff_sets" 4 1 0)
# One thread and all cores in the order 1, N, N, 1: neither always goes
# first, and a drift of the machine's load falls on both; the means count.
iff_ms() { calc "$(awk '$1=="iff_s"{print $2}' "$work/$1.out") * 1000 / $iff_sets"; }
for run in iff1a:-1 iffa:0 iffb:0 iff1b:-1; do
  timed "${run%%:*}" "$bin/kalvero_perf" iff "$iff_proj" "${run#*:}"
  rm -rf "$work/iff_project/IFF-SCALA_Output"
done
iff1_ms=$(calc "($(iff_ms iff1a) + $(iff_ms iff1b)) / 2")
iffn_ms=$(calc "($(iff_ms iffa) + $(iff_ms iffb)) / 2")
iff_kb=$(( iffa_kb > iffb_kb ? iffa_kb : iffb_kb ))
row "IFF + Scala export, $iff_sets sets at 720x576, render on one thread, reduce + write on one per core ($(nproc) cores; mean of 2 runs, alternating)" \
  "$(fmt "$iffn_ms" 1) ms per picture" "all on one thread: $(fmt "$iff1_ms" 1) ms" \
  "$(fmt "$(calc "$iff1_ms / $iffn_ms")") x faster" "$(mb "$iff_kb")"
history "IFF + Scala: 25.9 ms per picture on one thread in an earlier version; goal: at least 1.8 x faster on all cores."
rm -rf "$work/iff_project/IFF-SCALA_Output"
"$bin/kalvero_perf" iff-colours "$iff_proj" 500 >"$work/colours.out"
colours=$(awk '{ printf "%s%d: %d of %d (colours %d / %d / %d)", (NR>1 ? "; " : ""), NR-1, $2, $3, $4, $5, $6 }' "$work/colours.out")
row "IFF pictures of 16 colours or fewer (no quantiser), per border style (distinct colours min / median / max)" "$colours" "-" "-" "-"
fi

# --- 4. timed AVI -----------------------------------------------------------
if want avi; then
avi_proj=$(project avi "$avi_sets" 3.6 7 7)
avi_minutes=$(calc "$avi_sets * 3.6 / 60" | xargs printf '%.0f')
for codec in utvideo ffv1; do
  # Both sides throw the movie away: a 90-minute Ut Video movie is some 70 GB
  # (the codec spends at least one bit per sample), more than the disk
  # should take; the uncompressed row below measures the disk.
  # The two sides do different work: Kalvero encodes each picture once and
  # repeats its packet for the rest of its run; ffmpeg encodes every frame.
  # So the row gives the encodes of each side and the time per encoded
  # picture side by side, and the whole run's ratio as work avoided.
  log "timed AVI $codec, $avi_minutes min"
  timed avi_$codec "$bin/kalvero_perf" avi-discard "$avi_proj" "$codec"
  out="$work/avi_$codec.out"
  frames=$(awk '$1=="frames"{print $2}' "$out")
  size=$(awk '$1=="bytes"{print $2}' "$out")
  encodes=$(awk '$1=="encodes"{print $2}' "$out")
  encode_ms=$(calc "$(awk '$1=="encode_seconds"{print $2}' "$out") * 1000 / $encodes")
  timed feed_$codec bash -o pipefail -c "'$bin/kalvero_perf' feed-avi '$avi_proj' $peer_frames > /dev/null"
  timed peer_$codec bash -o pipefail -c "'$bin/kalvero_perf' feed-avi '$avi_proj' $peer_frames | ffmpeg -v error -f rawvideo -pix_fmt bgr24 -s 1920x1080 -r 25 -i - -c:v $codec -g 1 -f avi -y /dev/null"
  ours_s=$(eval echo "\$avi_${codec}_s"); peer_s=$(eval echo "\$peer_${codec}_s"); feed_s=$(eval echo "\$feed_${codec}_s")
  peer_ms=$(calc "$peer_s * 1000 / $peer_frames"); feed_ms=$(calc "$feed_s * 1000 / $peer_frames")
  peer_total=$(calc "$peer_s / $peer_frames * $frames")
  row "Timed AVI $codec, $avi_minutes min 1080p25 ($avi_sets sets, $frames frames, $(calc "$size / 1048576" | xargs printf '%.0f') MB; movie discarded)" \
    "whole run $(fmt "$ours_s" 1) s; $encodes pictures encoded, $(fmt "$encode_ms" 1) ms each (conversion + encoding), the other $((frames - encodes)) frames repeat a packet" \
    "ffmpeg -c:v $codec encodes all $frames frames: $(fmt "$peer_ms" 1) ms each with the feeder ($(fmt "$feed_ms" 1) ms of it feeding); measured on $peer_frames frames ($(fmt "$peer_s" 1) s), the whole movie about $(fmt "$peer_total" 0) s" \
    "per encoded picture $(fmt "$encode_ms" 1) against $(fmt "$peer_ms" 1) ms (the peer's with its feeder running beside it); whole run $(fmt "$(calc "$peer_total / $ours_s")" 1) x less time: work avoided ($(fmt "$(calc "$frames / $encodes")" 0) x fewer encodes), not a faster encoder" \
    "$(mb "$(eval echo "\$avi_${codec}_kb")")"
done

log "timed AVI uncompressed, $raw_frames frames"
raw_sets=$(( raw_frames / 150 )); [ $raw_sets -lt 1 ] && raw_sets=1
raw_proj=$(project raw "$raw_sets" 6 7 7)
free_kb=$(df -Pk "$work" | awk 'NR==2 { print $4 }')
need_kb=$(( raw_frames * 6075 * 2 + 1048576 ))
if [ "$free_kb" -lt "$need_kb" ]; then
  echo "bench: not enough free disk space in $work for the uncompressed run" >&2
  row "Timed AVI uncompressed" "skipped: $((free_kb / 1048576)) GB free, $((need_kb / 1048576)) GB needed" "-" "-" "-"
else
  # The disk's speed varies from minute to minute on a shared machine: dd
  # writes the same number of bytes just before and just after the export,
  # and the mean of the two is the peer.
  raw_est=$(( raw_frames * 6220800 ))
  sync
  timed dd1 dd if=/dev/zero of="$work/dd.bin" bs=1M count=$(( raw_est / 1048576 )) conv=fdatasync
  rm -f "$work/dd.bin"; sync
  timed raw "$bin/kalvero-cli" export avi "$raw_proj" --codec rawvideo
  raw_frames_done=$(grep -o 'exported [0-9]*' "$work/raw.out" | grep -o '[0-9]*')
  raw_bytes=$(stat -c %s "$work/raw_project/AVI_Output/raw_subtitles.avi")
  rm -f "$work/raw_project/AVI_Output/raw_subtitles.avi"
  sync
  mib=$(( (raw_bytes + 1048575) / 1048576 ))
  timed dd2 dd if=/dev/zero of="$work/dd.bin" bs=1M count="$mib" conv=fdatasync
  rm -f "$work/dd.bin"
  dd_s=$(calc "($dd1_s * $mib * 1048576 / $raw_est + $dd2_s) / 2")
  row "Timed AVI uncompressed, $raw_frames_done frames 1080p25 ($(calc "$raw_bytes / 1000000000" | xargs printf '%.1f') GB)" \
    "$(fmt "$raw_s" 1) s ($(calc "$raw_bytes / 1000000 / $raw_s" | xargs printf '%.0f') MB/s)" \
    "dd conv=fdatasync, same bytes, before and after: $(fmt "$dd_s" 1) s ($(calc "$raw_bytes / 1000000 / $dd_s" | xargs printf '%.0f') MB/s; $(fmt "$dd1_s" 1) s and $(fmt "$dd2_s" 1) s)" \
    "$(fmt "$(calc "$raw_s / $dd_s")") x" "$(mb "$raw_kb")"
fi
fi

# --- 6. burn-in ---------------------------------------------------------------
log "burn-in against the ffmpeg overlay filter"
burn_secs=$([ $quick = 1 ] && echo 8 || echo 20)
burn_row=$(bash "$root/bench/burn_bench.sh" "$bin" "$work/burn" "$burn_secs") || { echo "bench: burn-in failed" >&2; exit 1; }
add_row "$burn_row"

# --- 7. overlay movie, VP9 ------------------------------------------------------
if want overlay; then
log "VP9 overlay against ffmpeg's libvpx-vp9"
overlay_row=$(bash "$root/bench/overlay_bench.sh" "$bin" "$work/overlay" "$([ $quick = 1 ] && echo 6 || echo 16)" 3) ||
  { echo "bench: overlay failed" >&2; exit 1; }
add_row "$overlay_row"
history "VP9 overlay: 1.25 x ffmpeg's own libvpx encode in an earlier version (row multithreading on two threads); goal at most 1.0 x."
fi

# --- the table ----------------------------------------------------------------
echo "| What | Kalvero | Peer | Ratio | Peak memory |"
echo "|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
if [ ${#notes[@]} -gt 0 ]; then
  echo
  echo "History and goals (not measured in this run):"
  echo
  printf '%s\n' "${notes[@]}"
fi
