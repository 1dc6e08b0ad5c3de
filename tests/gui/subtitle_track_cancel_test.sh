#!/usr/bin/env bash
# A long subtitle-track export stopped with the Cancel button that takes the
# export button's place: an "Info" message, no picture, description or
# temporary file left, and the dialog stays open for another try.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start subtitle_track_cancel

# 3000 timed sets, ten frames apart.
mkdir -p "$work/Film_project"
project="$work/Film_project/Film.KVL8"
rows=()
for ((k = 0; k < 3000; k++)); do
  on=$((k * 10)); off=$((on + 8))
  printf -v t '%02d:%02d:%02d:%02d>%02d:%02d:%02d:%02d' $((on / 90000)) $((on / 1500 % 60)) $((on / 25 % 60)) \
    $((on % 25)) $((off / 90000)) $((off / 1500 % 60)) $((off / 25 % 60)) $((off % 25))
  printf -v a 'A%04d|Set %d|%s||430' $((2 * k)) "$k" "$t"
  printf -v b 'B%04d|line two|%s||430' $((2 * k)) "$t"
  rows+=("$a" "$b")
done
write_project "$project" 720 576 1 0 "${rows[@]}"

# The program's test hook: the export waits before set 20 until it is
# cancelled, so Cancel always finds it under way, however fast the machine.
KALVERO_TEST_HOLD_AFTER_SETS=20 start_kalvero "$project"
open_export_dialog
xdotool mousemove $((DX + 500)) $((DY + 97)) click 1   # Export subtitle track (BDN XML)
folder="$work/Film_project/BDN_Output"
wait_for 60 sh -c "ls '$folder'/*.png" || fail "the export did not start"
settle   # the window has caught up with the run: its button is Cancel now
import -window root -crop ${DW}x${DH}+${DX}+${DY} +repage "$shots/track_running.png"
xdotool mousemove $((DX + 500)) $((DY + 97)) click 1   # the same button, now Cancel
wait_for 30 xdotool search --onlyvisible --name "^Info$" || fail "no Info message after Cancel"
import -window root "$shots/track_cancelled.png"
left=$(find "$folder" -type f | wc -l)
[ "$left" = 0 ] || fail "$left files left: $(find "$folder" -type f | head -n 3)"
dialog_key "Info" Return
wait_for 10 sh -c '! xdotool search --onlyvisible --name "^Info$"' || fail "the message did not close"
xdotool search --onlyvisible --name "^Export/Render Subtitles$" >/dev/null || fail "the export dialog closed"
pass "cancelled subtitle track leaves no file"
echo "1 passed, 0 failed"
