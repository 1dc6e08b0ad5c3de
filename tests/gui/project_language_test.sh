#!/usr/bin/env bash
# The project's language in the real window: the list beside "Import
# Text..." picked with the pointer and keys, Ctrl+S keeps it beside the
# project file, and the export dialog's BDN track carries it (read by
# python's XML parser).
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start project_language

mkdir -p "$work/L_project"
project="$work/L_project/L.KVL8"
look="$work/L_project/L.look"
write_project "$project" 720 576 1 0 \
  "A0000|Bonjour|00:00:01:00>00:00:02:00|25+25|430" "B0000|tout le monde|00:00:01:00>00:00:02:00|25+25|430"
start_kalvero "$project"

# The list opens its menu on a click; from "Language: not told" two items down is French.
click_at $((WW - 250 + 122 + 59)) 514
key Down Down Return
key ctrl+s
wait_for 10 grep -q "^Language = fr" "$look" || fail "the look file holds no language: $(cat "$look" 2>&1)"
grep -q "^##-KVL8 Project: " "$project" || fail "the project file changed its form"
grep -qi "language" "$project" && fail "the project file names the language"
pass "the chosen language is kept beside the project"

open_export_dialog
xdotool mousemove $((DX + 500)) $((DY + 97)) click 1   # Export subtitle track (BDN, the first format)
wait_for 20 xdotool search --onlyvisible --name "^Success!$" || fail "no Success! message"
dialog_key "Success!" Return
xml="$work/L_project/BDN_Output/L.xml"
wait_for 10 test -f "$xml" || fail "no BDN description"
code=$(python3 -c "import sys, xml.etree.ElementTree as E; print(E.parse(sys.argv[1]).getroot().find('Description/Language').get('Code'))" "$xml")
[ "$code" = fre ] || fail "the BDN description says $code"
pass "the BDN track carries the project's language"
echo "2 passed, 0 failed"
