#!/usr/bin/env bash
# The export dialog's video block in the real window: the transparent
# overlay movie and "Burn into movie...", each read back with ffprobe /
# ffmpeg.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start video_export
command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null || { echo "no ffmpeg tool: skipped"; exit 77; }

# PAL 25 fps: "Hello/there" from frame 25 to 50, "Good/bye" from 60 to 75.
mkdir -p "$work/film_project"
write_project "$work/film_project/demo.KVL8" 720 576 1 0 \
  "A0000|Hello|00:00:01:00>00:00:02:00||430" "B0000|there|00:00:01:00>00:00:02:00||430" \
  "A0002|Good|00:00:02:10>00:00:03:00||430" "B0002|bye|00:00:02:10>00:00:03:00||430"
ffmpeg -nostdin -v error -f lavfi -i "color=c=0x305070:s=320x240:r=25:d=4" -f lavfi -i "sine=f=440:d=4" \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest "$work/film.mp4" || fail "no test movie"

start_kalvero "$work/film_project/demo.KVL8"

# --- the overlay movie ---
open_export_dialog
[ "$DW" = 610 ] && [ "$DH" = 515 ] || fail "export dialog is ${DW}x${DH}, expected 610x515"
import -window root -crop "${DW}x${DH}+$DX+$DY" +repage "$shots/export_dialog.png"
dialog_click 130 340   # "Transparent overlay movie" (ProRes 4444 chosen)
wait_for 60 xdotool search --onlyvisible --name "^Success!$" || fail "no success message after the overlay export"
dialog_key "Success!" Return
movie="$work/film_project/OVERLAY_Output/demo_overlay.mov"
[ -f "$movie" ] || fail "no overlay movie"
info=$(ffprobe -v error -select_streams v -count_frames -show_entries stream=codec_name,pix_fmt,nb_read_frames,r_frame_rate -of csv=p=0 "$movie")
[ "$info" = "prores,yuva444p12le,25/1,75" ] || [ "$info" = "prores,yuva444p10le,25/1,75" ] || fail "overlay movie: $info"
# frame 30 carries the first set's strip (alpha), frame 10 is fully transparent
alpha() { ffmpeg -v error -i "$movie" -vf "select=eq(n\,$1),alphaextract,crop=720:60:0:430" -frames:v 1 -f rawvideo - | od -An -tu1 -v | tr -s ' ' '\n' | sort -n | tail -1; }
[ "$(alpha 10)" = 0 ] || fail "frame 10 is not transparent"
[ "$(alpha 30)" -ge 250 ] || fail "frame 30 has no opaque strip: $(alpha 30)"
pass "overlay movie from the export dialog"

# --- burn into movie ---
xdotool search --onlyvisible --name '^Export/Render Subtitles$' >/dev/null || fail "the export dialog closed after an export"
open_export_dialog
dialog_click 200 365   # "Burn into movie..."
wait_for 10 xdotool search --onlyvisible --name "^Burn into movie$" || fail "no burn dialog"
sleep 0.5
dialog_origin "Burn into movie"
import -window root -crop "${DW}x${DH}+$DX+$DY" +repage "$shots/burn_dialog_empty.png"
dialog_click 265 21; type_text "$work/film.mp4"
dialog_click 265 54; type_text "$work/burned.mkv"
sleep 0.5
import -window root -crop "${DW}x${DH}+$DX+$DY" +repage "$shots/burn_dialog.png"
dialog_click $((DW - 142)) $((DH - 22))   # "Burn"
wait_for 120 xdotool search --onlyvisible --name "^Success!$" || fail "no success message after the burn-in"
dialog_key "Success!" Return
out="$work/burned.mkv"
[ -f "$out" ] || fail "no burned movie"
info=$(ffprobe -v error -select_streams v -count_frames -show_entries stream=codec_name,width,height,nb_read_frames -of csv=p=0 "$out")
[ "$info" = "h264,320,240,100" ] || fail "burned movie: $info"
sound() { ffmpeg -v error -i "$1" -map 0:a -c copy -f data - | md5sum; }
[ "$(sound "$work/film.mp4")" = "$(sound "$out")" ] || fail "the sound was not copied as it was"
# the caption (black strip, white text) is in frame 30 and not in frame 10
luma() { ffmpeg -v error -i "$out" -vf "select=eq(n\,$1),format=gray,crop=320:30:0:190" -frames:v 1 -f rawvideo - | od -An -tu1 -v | tr -s ' ' '\n' | sort -n | sed -n "$2p"; }
[ "$(luma 10 2)" -gt 40 ] || fail "frame 10 has a caption"
[ "$(luma 30 2)" -lt 30 ] || fail "frame 30 has no black strip"
pass "burn into movie from the export dialog"

# --- Cancel while burning leaves no file ---
ffmpeg -nostdin -v error -f lavfi -i "testsrc2=s=1280x720:r=25:d=60" -f lavfi -i "sine=f=440:d=60" \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest "$work/long.mp4" || fail "no long test movie"
xdotool search --onlyvisible --name '^Export/Render Subtitles$' >/dev/null || fail "the export dialog closed after an export"
open_export_dialog
dialog_click 200 365
wait_for 10 xdotool search --onlyvisible --name "^Burn into movie$" || fail "no burn dialog the second time"
sleep 0.5
dialog_origin "Burn into movie"
dialog_click 265 21; key ctrl+a; type_text "$work/long.mp4"
dialog_click 265 54; key ctrl+a; type_text "$work/cancelled.mp4"
dialog_click $((DW - 142)) $((DH - 22))   # "Burn"
wait_for 20 xdotool search --onlyvisible --name "^Burning captions$" || fail "no progress while burning"
sleep 1
import -window root "$shots/burn_progress.png"
dialog_origin "Burning captions"
dialog_click $((DW - 60)) $((DH - 18))   # its Cancel button
wait_for 60 xdotool search --onlyvisible --name "^Info$" || fail "no message after cancelling"
dialog_key Info Return
[ ! -e "$work/cancelled.mp4" ] || fail "a cancelled burn left its movie"
ls "$work" | grep -q tmp && fail "a cancelled burn left a temporary file: $(ls "$work")"
pass "cancelled burn leaves no file"

