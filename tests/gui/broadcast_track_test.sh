#!/usr/bin/env bash
# Picks the EBU STL entry of the export dialog's subtitle-track list (with
# the mouse wheel, as a user may), exports, and reads the list back with the
# independent reader; then the same for the closed-caption file, read by
# FFmpeg.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start broadcast_track

mkdir -p "$work/Film_project"
project="$work/Film_project/Film.KVL8"
write_project "$project" 720 576 1 0 \
  "A0000|Hello|00:00:01:00>00:00:02:00||430" "B0000|there|00:00:01:00>00:00:02:00||430" \
  "A0002|Good|00:00:03:00>00:00:04:00||430" "B0002|bye|00:00:03:00>00:00:04:00||430"

start_kalvero "$project"

# export_entry STEPS: opens the dialog, turns the wheel STEPS notches down
# over the format list and starts the export.
export_entry() {
  open_export_dialog
  # The dialog stays open and keeps its last choice: back to the first entry.
  for _ in $(seq 12); do
    xdotool mousemove $((DX + 500)) $((DY + 41)) click 4
    sleep 0.1
  done
  for _ in $(seq "$1"); do
    xdotool mousemove $((DX + 500)) $((DY + 41)) click 5
    sleep 0.1
  done
  xdotool mousemove $((DX + 500)) $((DY + 97)) click 1   # Export subtitle track
  wait_for 20 xdotool search --onlyvisible --name "^Success!$" || fail "no Success! message"
  dialog_key "Success!" Return
}

export_entry 6
wait_for 10 test -f "$work/Film_project/STL_Output/Film.stl" || fail "no EBU subtitle list"
python3 "$here/../export/stl_check.py" "$work/Film_project/STL_Output/Film.stl" >"$work/stl.txt" ||
  fail "the list does not read back"
grep -q '^gsi DSC=1$' "$work/stl.txt" || fail "not a teletext list: $(cat "$work/stl.txt")"
grep -q '^sub 1 00:00:03:00 00:00:04:00 ' "$work/stl.txt" || fail "subtitles: $(cat "$work/stl.txt")"
grep -q '^row 0d070b0b0a0a|bye$' "$work/stl.txt" || fail "rows: $(cat "$work/stl.txt")"
pass "EBU STL from the dialog"

export_entry 7
wait_for 10 test -f "$work/Film_project/SCC_Output/Film.scc" || fail "no caption file"
ffmpeg -v error -y -i "$work/Film_project/SCC_Output/Film.scc" "$work/scc.srt" || fail "FFmpeg cannot read the captions"
grep -q '^00:00:03,00[0-9] --> 00:00:04,0[0-9][0-9]' "$work/scc.srt" || fail "caption times: $(cat "$work/scc.srt")"
grep -q 'bye' "$work/scc.srt" || fail "caption text: $(cat "$work/scc.srt")"
pass "closed captions from the dialog"
echo "2 passed, 0 failed"
