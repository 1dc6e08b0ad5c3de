#!/usr/bin/env bash
# The list follows the typing: after twelve sets typed into the line fields
# the first row on show is one of the last sets, not set 1.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start list_follow

start_kalvero
# The pointer over the canvas gives the window the keyboard; typing starts in line A.
xdotool mousemove $((WX + 100)) $((WY + 100))
settle
for i in $(seq 1 12); do
  type_text "top $i"; key Return
  type_text "bottom $i"; key Return
done
# A "!" at the end of line A of the set in the first row on show.
click_at 300 $((581 + 18 + 9))
click_at 100 671
key End
type_text "!"
save_through_dialog "$work/F.KVL8" "$work/F_project/F.KVL8"
marked=$(grep -a '^A' "$work/F_project/F.KVL8" | grep -a '!' | cut -d'|' -f2)
case "$marked" in
  "top "[6-9]"!" | "top 1"[0-2]"!" | "!") ;;
  *) fail "the first row on show after typing was the set of: '$marked'" ;;
esac
pass "the list keeps the set being typed in view"
