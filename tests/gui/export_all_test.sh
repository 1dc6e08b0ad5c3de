#!/usr/bin/env bash
# The export dialog before and after a run: it names the sets the list-ordered
# exports would leave out, "Sort by Time" puts the list in order (one Undo
# takes it back), and "Export all checked" writes several formats in one
# run, read back with FFmpeg.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start export_all
command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null || { echo "no ffmpeg tool: skipped"; exit 77; }
reddish() {  # pixels of a picture clearly more red than green
  convert "$1" txt:- | python3 -c 'import re, sys
print(sum(1 for l in sys.stdin if (m := re.search(r"#([0-9A-F]{2})([0-9A-F]{2})", l)) and int(m[1], 16) > int(m[2], 16) + 60))'
}

# Set 2 starts before set 1: AVI and Scala would leave it out.
mkdir -p "$work/film_project"
write_project "$work/film_project/demo.KVL8" 720 576 1 0 \
  "A0000|Later|00:00:03:00>00:00:04:00||430" "B0000|one|00:00:03:00>00:00:04:00||430" \
  "A0002|Earlier|00:00:01:00>00:00:02:00||430" "B0002|one|00:00:01:00>00:00:02:00||430"
start_kalvero "$work/film_project/demo.KVL8"

open_export_dialog
top=380   # the block below the video block
note_shot() { shot "$1" $((DX + 400)) $((DY + top + 20)) 205 80; }
note_shot "$work/note_before.png" || fail "no screenshot"
# The note is red while sets would be left out.
red=$(reddish "$work/note_before.png")
[ "$red" -gt 20 ] || fail "no left-out note before the run ($red red pixels)"
dialog_click 500 $((top + 117))   # Sort by Time
note_sorted() { note_shot "$work/note_after.png" && [ "$(reddish "$work/note_after.png")" = 0 ]; }
wait_for 10 note_sorted || fail "the note still names left-out sets after Sort by Time"
pass "the dialog names the left-out sets and Sort by Time mends the order"

# Check PNG sequence (item 0) and SubRip (item 4 + 4) with the keyboard, then export them all.
dialog_click 60 $((top + 30))
xdotool key space; settle
for i in 1 2 3 4 5 6 7 8; do xdotool key Down; done; settle
xdotool key space; settle
import -window root -crop "${DW}x${DH}+$DX+$DY" +repage "$shots/export_all_checked.png"
dialog_click 327 $((top + 32))   # Export all checked
wait_for 60 shown "^Success!$" || { shown "^(Warning|Error)!$" && fail "the batch did not succeed"; fail "no report after Export all checked"; }
dialog_key "Success!" Return
shown "^Export/Render Subtitles$" || fail "the export dialog closed after the batch"
srt=$(find "$work/film_project" -name '*.srt' | head -n 1)
[ -n "$srt" ] || fail "no SubRip file: $(find "$work/film_project" -type f | tr '\n' ' ')"
cues=$(ffmpeg -nostdin -v error -i "$srt" -f srt - | grep -- '-->' | tr -d '\r' | tr '\n' ' ')
[ "$cues" = "00:00:01,000 --> 00:00:02,000 00:00:03,000 --> 00:00:04,000 " ] || fail "SubRip cues: $cues"
pngs=$(find "$work/film_project/PNG_Output" -name '*.png' | wc -l)
[ "$pngs" = 2 ] || fail "$pngs PNG pictures"
for f in "$work"/film_project/PNG_Output/*.png; do
  [ "$(ffprobe -v error -show_entries stream=width,height -of csv=p=0 "$f")" = "720,576" ] || fail "$f does not decode"
done
pass "Export all checked wrote the PNG sequence and the SubRip track"

dialog_click 200 317   # Cancel / Exit
wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Export/Render Subtitles$'" || fail "the dialog stayed"
# Sort by Time was one step: Undo gives the old order back, and Save writes it.
key ctrl+z
key ctrl+s
wait_for 10 bash -c "grep -a -q '^A0000|Later|' '$work/film_project/demo.KVL8'" ||
  fail "Undo did not take Sort by Time back: $(grep -a '^A0000' "$work/film_project/demo.KVL8")"
pass "Undo takes Sort by Time back"
