#!/usr/bin/env bash
# A project's life in the real window: typing starts in line A without a
# click, Save asks once and then writes in place (Ctrl+S), Ctrl+Z and Ctrl+Y
# walk the changes, the look is kept with the project across a restart, and
# an imported SubRip file is a new project that never replaces the old one.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start project

"$bin/kalvero" 2>"$work/stderr" & pids+=($!)
wait_for 20 main_window || fail "the main window did not appear"
window_origin
# The pointer over the canvas gives the window the keyboard (no window
# manager); nothing is clicked.
xdotool mousemove $((WX + 100)) $((WY + 100))
sleep 0.5
type_text "Hello"; key Return
type_text "World"; key Return
key ctrl+s
wait_for 10 xdotool search --onlyvisible --name "^Save Project as$" || fail "a new project's Save asked for no name"
dialog_key "Save Project as" ctrl+a
type_text "$work/Show.KVL8"
key Return
wait_for 10 xdotool search --onlyvisible --name "^Information$" && dialog_key Information Return
saved="$work/Show_project/Show.KVL8"
wait_for 10 grep -q $'^A0000|Hello|' "$saved" || fail "the first keys did not reach line A: $(cat "$saved" 2>/dev/null)"
grep -q $'^B0000|World|' "$saved" || fail "line B not as typed"
pass "typing starts in line A; the first Save asks for a name"

xdotool mousemove $((WX + 100)) $((WY + 100))
type_text "Third"; key Return
type_text "set"; key Return
key ctrl+s
wait_for 10 grep -q $'^B0002|set|' "$saved" || fail "Ctrl+S did not write the project in place"
not_shown "^Save Project as$" || fail "Save asked for a name again"
pass "Save writes in place"

key ctrl+z
key ctrl+s
wait_for 10 bash -c "! grep -q '|set|' '$saved'" || fail "Ctrl+Z did not take back the typing of line B"
grep -q $'^A0002|Third|' "$saved" || fail "Ctrl+Z took back more than one step"
key ctrl+y
key ctrl+s
wait_for 10 grep -q $'^B0002|set|' "$saved" || fail "Ctrl+Y did not make the change again"
pass "Ctrl+Z and Ctrl+Y walk the typing"

# The look: Center Text off (the start-up preset centres), saved beside the project.
click_at $((WW - 250 + 15)) 245
key ctrl+s
wait_for 10 test -f "$work/Show_project/Show.look" || fail "no look file beside the project"
grep -q '^Preset = .*|0|0|[0-9]*.$' "$work/Show_project/Show.look" || fail "look: $(cat "$work/Show_project/Show.look")"
kill "${pids[0]}"
wait_for 10 bash -c "! kill -0 ${pids[0]}" || fail "the program did not end"
pids=()

"$bin/kalvero" "$saved" 2>"$work/stderr2" & pids+=($!)
wait_for 20 main_window || fail "the main window did not appear the second time"
wait_for 10 xdotool search --onlyvisible --name "^Warning!$" && dialog_key "Warning!" Return
window_origin
before=$(md5sum <"$saved")
# Saved as opened: the look file stays, so the window took the look over.
xdotool mousemove $((WX + 100)) $((WY + 100))
key ctrl+s
sleep 1
test -f "$work/Show_project/Show.look" || fail "the reopened project lost its look"
pass "the look comes back with the project"

# Import SRT: a new project named after the file; the old file stays.
printf '1\r\n00:00:01,000 --> 00:00:02,000\r\nImported\r\n\r\n' >"$work/film.srt"
before=$(md5sum <"$saved")
click_at $((WW - 250 + 165)) 20
choose_file "Import \\.SRT \\(SubRip\\) subtitle file" "$work/film.srt"
wait_for 10 bash -c "xdotool getwindowname $(main_window) | grep -q -- '- film.KVL8$'" ||
  fail "title after import: $(xdotool getwindowname "$(main_window)")"
xdotool mousemove $((WX + 100)) $((WY + 100))
key ctrl+s
wait_for 10 xdotool search --onlyvisible --name "^Save Project as$" || fail "Save after an import did not ask for a name"
dialog_key "Save Project as" Escape
[ "$(md5sum <"$saved")" = "$before" ] || fail "the import changed the earlier project file"
pass "an import is a new project"
echo "1 passed, 0 failed"
