#!/usr/bin/env bash
# The line editor, the unsaved-work question and the colour dialog as a user
# meets them in the real window: focus moved by the program, clicks on the
# selected row, New after editing, a non-ASCII project name, and the dialogs.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start editor

# Places in the window (PAL profile, 975 x 786).
lineA() { click_at 100 671; }
row() { click_at 300 $((607 + 19 * $1)); }  # row N of the subtitle list
button_new() { click_at 745 20; }
button_save() { click_at 832 20; }
button_quit() { click_at 945 20; }
button_remove_all() { click_at 337 771; }
title() { xdotool getwindowname "$(main_window)"; }
save_as() { save_through_dialog "$1" "$2"; }  # through the real save dialog
rows_of() { grep -a '^[AB][0-9]' "$1" | cut -d'|' -f1,2 | tr '\n' ' '; }

"$bin/kalvero" 2>"$work/stderr" & pids+=($!)
wait_for 20 main_window || fail "the main window did not appear"
settle
window_origin
# Every control has at least the size GTK needs for it.
! grep -q "Gtk-CRITICAL" "$work/stderr" || fail "GTK warnings at start-up: $(grep -c Gtk-CRITICAL "$work/stderr")"

# Return right after a commit acts on the field the caret moved to: a set
# with an empty line A is entered by pressing Return at once.
lineA
type_text "First"; key Return
type_text "set"; key Return
key Return
type_text "Only B"; key Return
type_text "Third"

# A middle row, Return twice: both fields are disabled and take no keys.
row 0
key Return
key Return
type_text "XYZ"
# A click on the row that is already selected enables them again.
row 0
lineA
key End
type_text "!"
save_as "$work/Ed.KVL8" "$work/Ed_project/Ed.KVL8"
got=$(rows_of "$work/Ed_project/Ed.KVL8")
[ "$got" = "A0000|First! B0000|set A0002| B0002|Only B A0004|Third B0004| " ] || fail "rows: $got"
pass "Return after a commit, Return twice on a middle row, a click on the selected row"
[ "$(title)" = "Dunmere's Kalvero (DUKAL) v1.0 - 06 Mar 2017  - Ed.KVL8" ] || fail "title after Save: $(title)"
pass "the title names the saved file"

# New while a row is being edited: nothing unsaved, so no question; the
# fields go back to typing new sets. A non-ASCII name shows as typed.
row 2
key Return
button_new
wait_for 10 shown "^Create new project$" || fail "no name box (or a question although nothing was unsaved)"
sleep 0.5
dialog_key "Create new project" ctrl+a
type_text "Café"
key Return
wait_for 5 not_shown "^Create new project$" || fail "the name box stayed"
[ "$(title)" = "Dunmere's Kalvero (DUKAL) v1.0 - 06 Mar 2017  - Café.KVL8" ] || fail "title after New: $(title)"
type_text "a"; key Return
type_text "b"; key Return

# Unsaved work: Quit asks; Cancel (Escape) keeps the window.
button_quit
wait_for 10 shown "^Question$" || fail "Quit did not ask about the unsaved work"
dialog_key Question Escape
wait_for 5 not_shown "^Question$" || fail "the question stayed"
sleep 0.5
kill -0 "${pids[0]}" || fail "Cancel ended the program"
save_as "$work/Café.KVL8" "$work/Café_project/Café.KVL8"
got=$(rows_of "$work/Café_project/Café.KVL8")
[ "$got" = "A0000|a B0000|b A0002| B0002| " ] || fail "rows after New: $got"
pass "New leaves the editing of a set; Quit asks only about unsaved work"

# Remove All with unsaved work asks; No goes on.
lineA
type_text "c"; key Return
row 0   # Remove All is offered with a row selected
button_remove_all
wait_for 10 shown "^Question$" || fail "Remove All did not ask"
dialog_key Question alt+n
wait_for 5 not_shown "^Question$" || fail "the question stayed (Remove All)"
sleep 0.5
import -window root -crop ${WW}x${WH}+${WX}+${WY} +repage "$shots/editor_removed.png"
# The emptied list is unsaved work as well: Quit asks, No ends the program.
button_quit
wait_for 10 shown "^Question$" || fail "Quit after Remove All did not ask"
dialog_key Question alt+n
wait_for 10 bash -c "! kill -0 ${pids[0]}" || fail "No did not end the program"
pass "Remove All asks; No goes on"

# A UTF-8 path from the command line: the title shows the name as it is.
"$bin/kalvero" "$work/Café_project/Café.KVL8" 2>"$work/stderr2" & pids+=($!)
wait_for 20 main_window || fail "the main window did not appear the second time"
# Its sets are untimed: the program says so once.
wait_for 10 shown "^Warning!$" || fail "no missing-timing warning"
dialog_key "Warning!" Return
sleep 1
window_origin
[ "$(title)" = "Dunmere's Kalvero (DUKAL) v1.0 - 06 Mar 2017  - Café.KVL8" ] || fail "title of a UTF-8 path: $(title)"
pass "UTF-8 file names in the title"
# Nothing changed since the load: Quit ends at once.
button_quit
wait_for 10 bash -c "! kill -0 ${pids[1]}" || fail "Quit without unsaved work did not end the program"
pass "Quit without unsaved work ends at once"

# The strips colour dialog opens on the chosen colour: OK without a change
# keeps the strips as they are (grey 48 at blend 190 shows as 35).
project=$work/Grey.KVL8
{
  printf '##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n'
  printf '##-Profile: 1\r\n##-Preset: 1\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n'
  printf '##-Number of lines/pages: 2 / 1\r\n##-Word count: 4\r\n##-User Timed Session: 0\r\n##-;\r\n'
  printf 'A0000|Grey one|00:00:01:00>00:00:02:00|25+25|430\r\nB0000|line b|00:00:01:00>00:00:02:00|25+25|430\r\n'
} >"$project"
"$bin/kalvero" "$project" 2>"$work/stderr3" & pids+=($!)
wait_for 20 main_window || fail "the main window did not appear the third time"
settle
window_origin
[ "$(pixel 915 180)" = "35,35,35" ] || fail "strips swatch at start: $(pixel 915 180)"
shot "$work/preset_before.png" $((WX + 875)) $((WY + 119)) 80 20 || fail "no screenshot"
for i in 1 2; do
  click_at 915 159
  wait_for 10 shown "^Choose colour$" || fail "no colour dialog"
  sleep 0.5
  dialog_key "Choose colour" Return
  wait_for 5 not_shown "^Choose colour$" || fail "the colour dialog stayed"
  sleep 0.3
  [ "$(pixel 915 180)" = "35,35,35" ] || fail "OK without a change altered the strips: $(pixel 915 180)"
done
# The dialog was answered with OK: the preset is marked as changed.
shot "$work/preset_after.png" $((WX + 875)) $((WY + 119)) 80 20 || fail "no screenshot"
differs "$work/preset_before.png" "$work/preset_after.png" ||
  fail "the colour dialog was not answered with OK"
pass "the strips colour dialog keeps the colour on OK"
kill "${pids[2]}"
wait_for 10 bash -c "! kill -0 ${pids[2]}" || fail "the program did not end (3)"

# Start-up on the NTSC profile (29.97 fps): the frame spin fields count to 29
# from the start. A program folder of its own with that start-up profile.
mkdir -p "$work/prog"
cp "$bin/kalvero" "$work/prog/"
ln -s "$(cd "$bin" && pwd)/includes" "$work/prog/includes"
sed 's/^StartupProfile = .*/StartupProfile = 2/' "$bin/Kalvero.ini" >"$work/prog/Kalvero.ini"
"$work/prog/kalvero" 2>"$work/stderr4" & pids+=($!)
wait_for 20 main_window || fail "the main window did not appear on NTSC"
settle
window_origin
[ "$WH" = 690 ] || fail "NTSC window is ${WW}x${WH}"
click_at 100 575   # line A (the lower block starts at 485)
type_text "x"; key Return
type_text "y"; key Return
click_at 300 $((485 + 26))   # row 0
list_shot() { shot "$1" $((WX + 212)) $((WY + 485)) 508 180 || fail "no screenshot of the list"; }
list_shot "$work/list_before.png"
click_at 860 $((485 + 54))   # the ON frames field
xdotool key --delay 40 Prior Prior $(printf "Up %.0s" $(seq 27))   # two seconds, 27 frames
sleep 0.5
# A spin step repaints only the rows it changed: what the list shows then is
# what a repaint of the whole window shows.
list_shot "$work/list_stepped.png"
repaint_whole
list_shot "$work/list_repainted.png"
differs "$work/list_before.png" "$work/list_stepped.png" ||
  fail "the list did not show the new ON time"
same "$work/list_stepped.png" "$work/list_repainted.png" ||
  fail "the list after spin steps differs from the list repainted whole"
pass "spin steps repaint the changed rows as a full repaint would"
save_as "$work/Ntsc.KVL8" "$work/Ntsc_project/Ntsc.KVL8"
grep -a -q '^A0000|x|00:00:02:27>|' "$work/Ntsc_project/Ntsc.KVL8" ||
  fail "frame 27 at 29.97 fps: $(grep -a '^A0000' "$work/Ntsc_project/Ntsc.KVL8")"
pass "frame spin fields count to 29 from start-up on a 29.97 profile"
echo "1 passed, 0 failed"
