#!/usr/bin/env bash
# The time fields take typed time codes and keys in the real window: a time
# code typed into the ON seconds field, minute 75 refused with the field red
# and nothing written, Page Up / Up stepping seconds and frames of the OFF
# time with carries; Ctrl+S writes what the fields took.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start time_fields

mkdir -p "$work/film_project"
project=$work/film_project/demo.KVL8
write_project "$project" 720 576 1 0 \
  "A0000|Hello|00:00:01:00>00:00:02:20||430" "B0000|there|00:00:01:00>00:00:02:20||430" \
  "A0002|Good|00:00:05:00>00:00:06:00||430" "B0002|bye|00:00:05:00>00:00:06:00||430"
start_kalvero "$project"
# Places in the PAL window (the lower block starts at y 591).
field() {  # field on|off PART: the middle of a time field's number, left of its arrows
  local y=$((591 + 42 + 12)) x
  [ "$1" = off ] && y=$((591 + 102 + 12))
  case $2 in h) x=740 ;; m) x=780 ;; s) x=820 ;; f) x=860 ;; esac
  echo "$x $y"
}
click_field() { click_at $(field "$1" "$2"); }
timing_of() { grep -a "^$1|" "$project" | cut -d'|' -f3; }

click_at 300 607   # row 0: set 1
click_field on s
type_text "00:00:12:05"
key Return
key ctrl+s
wait_for 10 bash -c "grep -a -q '^A0000|Hello|00:00:12:05>00:00:02:20|' '$project'" || fail "typed ON: $(timing_of A0000)"
pass "a typed time code sets the whole ON time"

click_field off m
type_text "75"
key Return
read -r x y <<<"$(field off m)"
[ "$(pixel $((x - 8)) "$y")" = "255,150,150" ] || fail "the refused field is not red: $(pixel $((x - 8)) "$y")"
key ctrl+s
sleep 0.5
[ "$(timing_of A0000)" = "00:00:12:05>00:00:02:20" ] || fail "refused text was written: $(timing_of A0000)"
key Escape
[ "$(pixel $((x - 8)) "$y")" != "255,150,150" ] || fail "Escape did not drop the refused text"
pass "minute 75 is refused: red, nothing written"

click_field off f
xdotool key --delay 40 Prior Prior Up Up Up Up Up; settle   # 2 s and 5 frames later: 20 + 5 frames carry
key ctrl+s
wait_for 10 bash -c "grep -a -q '^A0000|Hello|00:00:12:05>00:00:05:00|' '$project'" || fail "stepped OFF: $(timing_of A0000)"
click_field off s
xdotool key Next; settle   # a second back
key ctrl+s
wait_for 10 bash -c "grep -a -q '^A0000|Hello|00:00:12:05>00:00:04:00|' '$project'" || fail "Page Down: $(timing_of A0000)"
pass "Page Up/Down step seconds and Up/Down frames, with carries"
[ "$(timing_of A0002)" = "00:00:05:00>00:00:06:00" ] || fail "set 2 changed: $(timing_of A0002)"
