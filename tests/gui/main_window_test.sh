#!/usr/bin/env bash
# Starts the program, checks the window, types two sets, saves the project
# through the real file dialog, opens it again from the command line and
# compares the files.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
# A home of its own: the single-instance lock lives there, so other copies
# of the program on this machine do not get in the way.
gui_start main_window

"$bin/kalvero" 2>"$work/stderr1" & pids+=($!)
wait_for 20 main_window || fail "the main window did not appear"
settle
window_origin
[ "$WW" = 975 ] && [ "$WH" = 786 ] || fail "window is ${WW}x${WH}, expected 975x786"
title=$(xdotool getwindowname "$(main_window)")
[ "$title" = "Dunmere's Kalvero (DUKAL) v1.0 - 06 Mar 2017  - Untitled.KVL8" ] || fail "title: $title"
pass "window size and title"

# A second copy does not start a window of its own: it hands over to this one and ends.
"$bin/kalvero" >"$work/second.out" 2>&1 & second=$!; pids+=($second)   # ended at the end, even when this fails
wait_for 10 bash -c "! kill -0 $second" || fail "the second copy did not end"
[ "$(xdotool search --onlyvisible --name "Dunmere's Kalvero" | wc -l)" = 1 ] || fail "a second main window"
pass "single instance"

# The canvas shows the start-up preset's background colour.
[ "$(pixel 10 10)" = "0,0,160" ] || fail "canvas colour $(pixel 10 10)"

# Type line A and line B of the first set.
click_at 100 671   # line A field
type_text "Hello there"
key Return
type_text "old friend"
sleep 0.5
import -window root -crop ${WW}x${WH}+${WX}+${WY} +repage "$shots/typed.png"
# The strips of the two lines: black bars on the blue canvas around the centre.
strip=$(pixel 360 432)
[ "$strip" = "0,0,0" ] || [ "$strip" = "255,255,255" ] || fail "no strip at line A: $strip"
stripB=$(pixel 360 478)
[ "$stripB" = "0,0,0" ] || [ "$stripB" = "255,255,255" ] || fail "no strip at line B: $stripB"
[ "$(pixel 100 432)" = "0,0,160" ] || fail "strip reaches too far left"
pass "typed set shows on the canvas"
key Return
type_text "Second set"
key Return
type_text "the end"
key Return

# Save through the file dialog.
click_at $((975 - 250 + 85 + 20)) 20
wait_for 10 xdotool search --onlyvisible --name "^Save Project as$" || fail "no save dialog"
sleep 0.5
dialog_key "Save Project as" ctrl+a
type_text "$work/Film.KVL8"
key Return
wait_for 10 xdotool search --onlyvisible --name "^Information$" || fail "no folder message"
dialog_key Information Return
wait_for 10 test -f "$work/Film_project/Film.KVL8" || fail "the project was not written"
pass "saved through the dialog"

saved="$work/Film_project/Film.KVL8"
grep -q $'^A0000|Hello there|||430\r$' "$saved" || fail "row A0000 not as typed: $(cat -A "$saved")"
grep -q $'^B0002|the end|||430\r$' "$saved" || fail "row B0002 not as typed"
grep -q $'^##-Number of lines/pages: 6 / 3\r$' "$saved" || fail "line count"

kill "${pids[0]}"
wait_for 10 bash -c "! kill -0 ${pids[0]}" || fail "the program did not end"

# Open it from the command line and save it under another name.
"$bin/kalvero" "$saved" 2>"$work/stderr2" & pids+=($!)
wait_for 20 main_window || fail "the main window did not appear the second time: $(tail -n 3 "$work/stderr2")"
# The sets have no timings yet: the program says so once.
wait_for 10 xdotool search --onlyvisible --name "^Warning!$" || fail "no missing-timing warning"
dialog_key "Warning!" Return
sleep 1
window_origin
title=$(xdotool getwindowname "$(main_window)")
[ "$title" = "Dunmere's Kalvero (DUKAL) v1.0 - 06 Mar 2017  - Film.KVL8" ] || fail "title after open: $title"
save_through_dialog "$work/Copy.KVL8" "$work/Copy_project/Copy.KVL8"
# (The empty last set has no Y; loading gives it the first load's fallback 0.)
diff <(grep -v '^##-Date Written' "$saved") <(grep -v '^##-Date Written' "$work/Copy_project/Copy.KVL8" | sed $'s/|0\r$/|\r/') ||
  fail "reopened project differs"
pass "reopened project saves identically"
echo "1 passed, 0 failed"
