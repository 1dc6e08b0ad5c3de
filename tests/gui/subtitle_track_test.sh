#!/usr/bin/env bash
# Opens a timed project, starts a subtitle track from the export dialog with
# the 8-bit palette box ticked, and reads the written BDN description and
# pictures back.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
[ -n "${DISPLAY:-}" ] || { echo "no X display: skipped"; exit 77; }
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 SDL_AUDIODRIVER=dummy

work=$(mktemp -d)
export HOME=$work
shots=${KALVERO_GUI_SHOTS:-$work}
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$work"; }
trap cleanup EXIT

mkdir -p "$work/Film_project"
project="$work/Film_project/Film.KVL8"
printf '%s\r\n' "##-KVL8 Project: v1.0 - 06 Mar 2017 " "##-Resolution Width: 720" "##-Resolution Height: 576" \
  "##-Profile: 1" "##-Preset: 0" "##-Date Written: 09 Mar 2017 @ 14:05:09" "##-Number of lines/pages: 4 / 2" \
  "##-Word count: 4" "##-User Timed Session: 0" "##-;" \
  "A0000|Hello|00:00:01:00>00:00:02:00||430" "B0000|there|00:00:01:00>00:00:02:00||430" \
  "A0002|Good|00:00:03:00>00:00:04:00||430" "B0002|bye|00:00:03:00>00:00:04:00||430" >"$project"

"$bin/kalvero" "$project" 2>"$work/stderr" & pids+=($!)
wait_for 20 main_window || fail "the main window did not appear"
sleep 1
window_origin
click_at $((975 - 250 + 40)) 40   # Export Files...
wait_for 10 xdotool search --onlyvisible --name "^Export/Render Subtitles$" || fail "no export dialog"
sleep 0.5
dialog=$(xdotool search --onlyvisible --name "^Export/Render Subtitles$" | tail -n 1)
eval "$(xdotool getwindowgeometry --shell "$dialog")"
DX=$X; DY=$Y
[ "$WIDTH" -ge 600 ] || fail "the dialog is ${WIDTH} wide; the track block does not fit"
import -window root -crop ${WIDTH}x${HEIGHT}+${DX}+${DY} +repage "$shots/export_dialog.png"
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
