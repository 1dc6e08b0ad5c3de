#!/usr/bin/env bash
# Opens a timed project, starts a subtitle track from the export dialog with
# the 8-bit palette box ticked, and reads the written BDN description and
# pictures back.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start subtitle_track

mkdir -p "$work/Film_project"
project="$work/Film_project/Film.KVL8"
write_project "$project" 720 576 1 0 \
  "A0000|Hello|00:00:01:00>00:00:02:00||430" "B0000|there|00:00:01:00>00:00:02:00||430" \
  "A0002|Good|00:00:03:00>00:00:04:00||430" "B0002|bye|00:00:03:00>00:00:04:00||430"

start_kalvero "$project"
open_export_dialog
[ "$DW" -ge 600 ] || fail "the dialog is ${DW} wide; the track block does not fit"
import -window root -crop ${DW}x${DH}+${DX}+${DY} +repage "$shots/export_dialog.png"
xdotool mousemove $((DX + 410)) $((DY + 70)) click 1   # 8-bit palette PNG (BDN)
sleep 0.3
xdotool mousemove $((DX + 500)) $((DY + 97)) click 1   # Export subtitle track
wait_for 20 xdotool search --onlyvisible --name "^Success!$" || fail "no Success! message"
dialog_key "Success!" Return
wait_for 10 test -f "$work/Film_project/BDN_Output/Film.xml" || fail "no BDN description"
pass "subtitle track from the dialog"

python3 "$here/../export/bdn_check.py" "$work/Film_project/BDN_Output/Film.xml" >"$work/bdn.txt" ||
  fail "the BDN description does not read back"
grep -q '^events 2 00:00:01:00 00:00:04:00$' "$work/bdn.txt" || fail "events: $(cat "$work/bdn.txt")"
[ "$(grep -c '^event .* 8 3 Film000[12].png$' "$work/bdn.txt")" = 2 ] ||
  fail "pictures are not 8-bit palette PNGs: $(cat "$work/bdn.txt")"
pass "palette pictures as ticked"
echo "1 passed, 0 failed"
