#!/usr/bin/env bash
# Several sets at once in the real window: Shift and Ctrl clicks select
# sets, Delete removes them as one undo step, Ctrl+C puts SubRip text on the
# desktop's clipboard (read back by xclip), SubRip text another program put
# there pastes as sets, and the list's right-click menu runs its commands.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start selection

list_top=581
row() { click_at 300 $((list_top + 18 + 9 + 19 * $1)); }   # the Nth visible row
mod_row() {  # mod_row KEY N: a click on row N with KEY held
  xdotool mousemove $((WX + 300)) $((WY + list_top + 18 + 9 + 19 * $2)) keydown "$1" click 1 keyup "$1"
  settle
}
saved_sets() { grep -a '^A' "$project" | cut -d'|' -f2 | tr '\n' ' '; }
save() { key ctrl+s; wait_for 10 bash -c "[ \"\$(stat -c %Y '$project')\" != '$1' ]" || true; }

mkdir -p "$work/S_project"
project="$work/S_project/S.KVL8"
rows=()
for i in 0 1 2 3 4; do
  id=$(printf '%04d' $((2 * i)))
  rows+=("A$id|S$i|00:00:0$((2 * i)):00>00:00:0$((2 * i + 1)):00||430" "B$id|b$i|00:00:0$((2 * i)):00>00:00:0$((2 * i + 1)):00||430")
done
write_project "$project" 720 576 1 0 "${rows[@]}"
start_kalvero "$project"

# Sets 1 .. 3 by Shift, set 1 taken away again by Ctrl: Delete removes sets 2 and 3.
row 2; mod_row shift 6; mod_row ctrl 2
key Delete
key ctrl+s
wait_for 10 bash -c "[ \"\$(grep -a -c '^A' '$project')\" = 3 ]" || fail "Delete left: $(saved_sets)"
[ "$(saved_sets)" = "S0 S1 S4 " ] || fail "Delete removed the wrong sets: $(saved_sets)"
key ctrl+z; key ctrl+s
wait_for 10 bash -c "[ \"\$(grep -a -c '^A' '$project')\" = 5 ]" || fail "Ctrl+Z did not bring both sets back"
pass "Shift and Ctrl clicks select sets; Delete removes them as one step"

# Ctrl+C: SubRip text for other programs.
row 0; mod_row shift 2
key ctrl+c
clip=$(xclip -o -selection clipboard 2>/dev/null | tr -d '\r')
expected=$'1\n00:00:00,000 --> 00:00:01,000\nS0\nb0\n\n2\n00:00:02,000 --> 00:00:03,000\nS1\nb1'
[ "$(printf '%s' "$clip" | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}')" = "$expected" ] ||
  fail "the clipboard holds: $clip"
pass "Ctrl+C puts the sets on the clipboard as SubRip text"

# Another program's SubRip text pastes after the selected set.
# xclip keeps the clipboard while it runs in the foreground (-quiet); it ends with the test.
printf '1\r\n00:00:20,000 --> 00:00:21,000\r\nFrom elsewhere\r\n\r\n' |
  xclip -i -selection clipboard -quiet >/dev/null 2>&1 & pids+=($!)
wait_for 10 bash -c "xclip -o -selection clipboard 2>/dev/null | grep -q elsewhere" || fail "xclip did not take the clipboard"
row 8
key ctrl+v
key ctrl+s

pass "SubRip text from another program pastes as a set"

# The right-click menu: "Move Up" on set 4 (row 8), the list scrolled back to its top.
key Home
xdotool mousemove $((WX + 300)) $((WY + list_top + 18 + 9 + 19 * 8)) click 3
settle
# From the bottom of the menu: Remove Single, Insert Single, Insert Set, Move Down, Move Up.
key Up Up Up Up Up Return
key ctrl+s
wait_for 10 bash -c "[ \"\$(grep -a '^A' '$project' | cut -d'|' -f2 | tr '\n' ' ')\" = 'S0 S1 S2 S4 S3  ' ]" ||
  fail "the menu's Move Up gave: $(saved_sets)"
pass "the list's menu moves the set up"

# Remove All on the saved project, then Ctrl+Z: every set is back.
row 0
click_at 337 771
key ctrl+s
wait_for 10 bash -c "[ \"\$(grep -a -c '^A' '$project')\" = 1 ]" || fail "Remove All left $(grep -a -c '^A' "$project") sets"
key ctrl+z
key ctrl+s
wait_for 10 bash -c "[ \"\$(grep -a '^A' '$project' | cut -d'|' -f2 | tr '\n' ' ')\" = 'S0 S1 S2 S4 S3  ' ]" ||
  fail "Ctrl+Z after Remove All gave: $(saved_sets)"
pass "Ctrl+Z brings back what Remove All took"
