#!/usr/bin/env bash
# A Full HD project: the DVD track is refused in the window with its limits
# named, and nothing is written; the dialog stays usable.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start subtitle_track_refusal

# Profile 7 of the shipped settings: 1920 x 1080, 25 fps; strips Y 810.
mkdir -p "$work/Film_project"
project="$work/Film_project/Film.KVL8"
write_project "$project" 1920 1080 7 7 \
  "A0000|Hello|00:00:01:00>00:00:02:00||810" "B0000|there|00:00:01:00>00:00:02:00||810"

start_kalvero "$project"
open_export_dialog
# The format list: two steps down from BDN XML to DVD VobSub.
xdotool mousemove $((DX + 500)) $((DY + 40))
sleep 0.3
xdotool click 5
sleep 0.3
xdotool click 5
sleep 0.3
import -window root -crop ${DW}x${DH}+${DX}+${DY} +repage "$shots/vobsub_chosen.png"
xdotool mousemove $((DX + 500)) $((DY + 97)) click 1   # Export subtitle track
wait_for 20 xdotool search --onlyvisible --name "^Error!$" || fail "no Error! message for a DVD track of 1920 x 1080"
sleep 0.5
import -window root "$shots/vobsub_refused.png"
dialog_key "Error!" Return
wait_for 10 sh -c '! xdotool search --onlyvisible --name "^Error!$"' || fail "the message did not close"
[ ! -e "$work/Film_project/VobSub_Output" ] || fail "files were written: $(ls -R "$work/Film_project/VobSub_Output")"
xdotool search --onlyvisible --name "^Export/Render Subtitles$" >/dev/null || fail "the export dialog closed"
pass "DVD track of a Full HD project refused, nothing written"
echo "1 passed, 0 failed"
