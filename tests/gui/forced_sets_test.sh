#!/usr/bin/env bash
# Forced sets in the real window: two sets picked with a click and a Ctrl
# click, Ctrl+Shift+F marks them, Ctrl+S keeps the marks in the project
# file's rows, and Ctrl+Z takes them back.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start forced_sets

list_top=581
row() { click_at 300 $((list_top + 18 + 9 + 19 * $1)); }
ctrl_row() {
  xdotool mousemove $((WX + 300)) $((WY + list_top + 18 + 9 + 19 * $1)) keydown ctrl click 1 keyup ctrl
  settle
}
forced_sets() { grep -a '^A' "$project" | grep -a '|forced' | cut -d'|' -f2 | tr -d '\r' | tr '\n' ' '; }

mkdir -p "$work/F_project"
project="$work/F_project/F.KVL8"
write_project "$project" 720 576 1 0 \
  "A0000|S0|00:00:01:00>00:00:02:00|25+25|430" "B0000|b0|00:00:01:00>00:00:02:00|25+25|430" \
  "A0002|S1|00:00:03:00>00:00:04:00|25+25|430" "B0002|b1|00:00:03:00>00:00:04:00|25+25|430" \
  "A0004|S2|00:00:05:00>00:00:06:00|25+25|430" "B0004|b2|00:00:05:00>00:00:06:00|25+25|430"
start_kalvero "$project"

row 0; ctrl_row 4
key ctrl+shift+f
key ctrl+s
wait_for 10 bash -c "[ \"\$(grep -a -c '|forced' '$project')\" = 2 ]" || fail "the saved project marks: $(forced_sets)"
[ "$(forced_sets)" = "S0 S2 " ] || fail "the wrong sets are forced: $(forced_sets)"
grep -a -q '^B0000|b0|[^|]*|[^|]*|430'$'\r''$' "$project" || fail "line B carries a mark of its own"
pass "Ctrl+Shift+F marks the two selected sets forced and Save keeps them"

# The export dialog's "Forced sets only": a BDN track of the two forced sets.
open_export_dialog
xdotool mousemove $((DX + 410)) $((DY + 158)) click 1   # Forced sets only
sleep 0.3
xdotool mousemove $((DX + 500)) $((DY + 97)) click 1    # Export subtitle track (BDN)
wait_for 20 xdotool search --onlyvisible --name "^Success!$" || fail "no Success! message"
dialog_key "Success!" Return
xml="$work/F_project/BDN_Output/F.xml"
wait_for 10 test -f "$xml" || fail "no BDN description"
events=$(python3 -c "import sys, xml.etree.ElementTree as E; print(' '.join(e.get('InTC') + '=' + e.get('Forced') for e in E.parse(sys.argv[1]).getroot().iter('Event')))" "$xml")
[ "$events" = "00:00:01:00=True 00:00:05:00=True" ] || fail "the forced-only track holds: $events"
dialog_click 200 317   # Cancel / Exit
wait_for 10 not_shown "^Export/Render Subtitles$" || fail "the export dialog stays open"
pass "Forced sets only writes the forced sets alone"

key ctrl+z
key ctrl+s
wait_for 10 bash -c "! grep -a -q '|forced' '$project'" || fail "Ctrl+Z left: $(forced_sets)"
pass "Ctrl+Z takes the marks back as one step"
echo "3 passed, 0 failed"
