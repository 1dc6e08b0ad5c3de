#!/usr/bin/env bash
# Ctrl+I in a line field, as a user presses it in the real window: a word
# selected with the keyboard becomes italic, Ctrl+I without a selection
# makes the whole line italic, each is one undo step of its own, the
# preview leans, and the saved project keeps the tags in the text.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start italics

"$bin/kalvero" 2>"$work/stderr" & pids+=($!)
wait_for 20 main_window || fail "the main window did not appear"
settle
window_origin
preview() { shot "$1" "$WX" $((WY + 380)) 720 120 || fail "no screenshot"; }

# Line A (PAL profile): typed, then its first word selected with the keyboard.
xdotool mousemove $((WX + 100)) $((WY + 671)); xdotool click 1; settle
type_text "Slanted text"
preview "$work/typed.png"
key Home
key ctrl+shift+Right
key ctrl+i
preview "$work/word.png"
differs "$work/typed.png" "$work/word.png" || fail "Ctrl+I on a selected word did not change the preview"
pass "Ctrl+I makes the selected word italic"

# No selection: the whole line.
key End
key ctrl+i
preview "$work/line.png"
differs "$work/word.png" "$work/line.png" || fail "Ctrl+I without a selection did not change the preview"
pass "Ctrl+I without a selection makes the whole line italic"

# Undo takes back the last Ctrl+I alone: the word stays italic.
key ctrl+z
preview "$work/undone.png"
same "$work/word.png" "$work/undone.png" || fail "Undo did not give back the line with the italic word"
pass "each Ctrl+I is one undo step"

save_through_dialog "$work/Italics.KVL8" "$work/Italics_project/Italics.KVL8"
saved="$work/Italics_project/Italics.KVL8"
grep -q '^A0000|<i>Slanted</i> text|' "$saved" || fail "line A is not kept with its tags: $(grep -a '^A0000' "$saved")"
head -n 1 "$saved" | grep -q '(UTF-8)' && fail "ASCII text with tags needs no UTF-8 form: $(head -n 1 "$saved")"
pass "the saved project keeps the italics tags in the text"

# --- Characters the shipped sheets lack: opening the project warns, and each
# is drawn as a box in the preview instead of being left out.
kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; pids=()
missing="$work/Missing_project/Missing.KVL8"
mkdir -p "$work/Missing_project"
write_project "$missing" 720 576 1 0 "A0000|Жук|00:00:01:00>00:00:02:00|25+25|430" "B0000||00:00:01:00>00:00:02:00|25+25|430"
sed -i '1s/Project:/Project (UTF-8):/' "$missing"
"$bin/kalvero" "$missing" 2>"$work/stderr" & pids+=($!)
wait_for 20 shown "^Warning!$" || fail "opening a project with characters the sheets lack gave no warning"
dialog_origin "Warning!"
shot "$work/missing_warning.png" "$DX" "$DY" "$DW" "$DH" || fail "no screenshot"
dialog_key "Warning!" Return
wait_for 10 not_shown "^Warning!$" || fail "the warning stayed"
wait_for 20 main_window || fail "the main window did not appear"
settle
window_origin
shot "$work/boxes.png" "$WX" $((WY + 380)) 720 120 || fail "no screenshot"
white=$(convert "$work/boxes.png" -fill black +opaque white -fill white -opaque white -format '%[fx:mean*w*h]' info:)
[ "${white%.*}" -gt 30 ] || fail "the missing characters left no box in the preview ($white white pixels)"
pass "characters the sheets lack: a warning on opening, boxes in the preview ($white white pixels)"
