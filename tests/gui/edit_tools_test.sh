#!/usr/bin/env bash
# The editing tools in the real window: Shift moves the selected set to a
# typed time code and refuses a shift before 00:00:00:00 with a message,
# Find and Replace (Ctrl+H) replaces every whole word or one match; each
# change is one step of Ctrl+Z; the line fields offer spelling suggestions
# and "Add to my words" on a right click; the Tools button's menu opens the
# Check dialog; "Safe Areas" frames the preview; the export dialog's
# programme start reaches the track it writes; "Import Text..." adds a text
# file's blocks as sets. What the window did is read back from the
# project file Ctrl+S writes.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start edit_tools

mkdir -p "$work/P_project"
saved="$work/P_project/P.KVL8"
write_project "$saved" 720 576 1 0 \
  'A0000|One|00:00:01:00>00:00:02:00|25+25|430' 'B0000|one b|00:00:01:00>00:00:02:00|25+25|430' \
  'A0002|Two|00:00:03:00>00:00:04:00|25+25|430' 'B0002|two b|00:00:03:00>00:00:04:00|25+25|430' \
  'A0004|Three|00:00:05:00>00:00:05:10|25+10|430' 'B0004|three b|00:00:05:00>00:00:05:10|25+10|430'
# The spelling language, as the Check dialog keeps it.
mkdir -p "$HOME/.config/kalvero"
echo en_US >"$HOME/.config/kalvero/spelling-language"
start_kalvero "$saved"
# over_window: the pointer over the preview gives the main window the keys.
over_window() { xdotool mousemove $((WX + 100)) $((WY + 100)); settle; }
save() { over_window; key ctrl+s; }

# Row 0 of the list, then two rows down: set 2 is selected.
click_at 300 $((581 + 27))
key Down Down
key ctrl+shift+t
wait_for 10 xdotool search --onlyvisible --name "^Shift Times$" || fail "Ctrl+Shift+T opened no Shift dialog"
dialog_key "Shift Times" ctrl+a
type_text "00:01:00:00"
key Return
wait_for 10 not_shown "^Shift Times$" || fail "the Shift dialog stayed open"
save
wait_for 10 grep -q $'^A0002|Two|00:01:00:00>00:01:01:00|' "$saved" || fail "set 2 was not moved: $(cat "$saved")"
grep -q $'^A0000|One|00:00:01:00>00:00:02:00|' "$saved" || fail "set 1 moved with the selected set"
grep -q $'^A0004|Three|00:00:05:00>00:00:05:10|' "$saved" || fail "set 3 moved with the selected set"
pass "Shift moves the selected set to a typed time code"

# The rows and the header without its date.
content() { grep -v '^##-Date Written' "$saved" | md5sum; }
before=$(content)
over_window
key ctrl+shift+t
wait_for 10 xdotool search --onlyvisible --name "^Shift Times$" || fail "no Shift dialog the second time"
dialog_key "Shift Times" ctrl+a
key minus
type_text "99999"
key Return
wait_for 10 xdotool search --onlyvisible --name "^Warning!$" || fail "a shift before 00:00:00:00 was not refused"
dialog_key "Warning!" Return
dialog_key "Shift Times" Escape
wait_for 10 not_shown "^Shift Times$" || fail "Escape left the Shift dialog open"
save
[ "$(content)" = "$before" ] || fail "a refused shift changed the project"
key ctrl+z
save
wait_for 10 grep -q $'^A0002|Two|00:00:03:00>00:00:04:00|' "$saved" || fail "Ctrl+Z did not take the shift back"
pass "a shift before 00:00:00:00 is refused and changes nothing; Ctrl+Z takes a shift back"

over_window
key ctrl+h
wait_for 10 xdotool search --onlyvisible --name "^Find and Replace$" || fail "Ctrl+H opened no Find and Replace"
dialog_key "Find and Replace" ctrl+a
type_text "b"
key Tab
type_text "B"
key alt+w
key alt+a
dialog_key "Find and Replace" Escape
wait_for 10 not_shown "^Find and Replace$" || fail "Escape left Find and Replace open"
save
wait_for 10 grep -q $'^B0004|three B|' "$saved" || fail "Replace All did not replace: $(cat "$saved")"
grep -q $'^B0000|one B|' "$saved" && grep -q $'^B0002|two B|' "$saved" || fail "Replace All missed a set"
pass "Replace All replaces every whole word"

over_window
key ctrl+h
wait_for 10 xdotool search --onlyvisible --name "^Find and Replace$" || fail "no Find and Replace the second time"
dialog_key "Find and Replace" ctrl+a
type_text "Three"
key Tab ctrl+a
type_text "Four"
key alt+f
key alt+e
dialog_key "Find and Replace" Escape
save
wait_for 10 grep -q $'^A0004|Four|' "$saved" || fail "Replace did not replace the match found: $(cat "$saved")"
key ctrl+z
save
wait_for 10 grep -q $'^A0004|Three|' "$saved" || fail "Ctrl+Z did not take the one replacement back"
grep -q $'^B0004|three B|' "$saved" || fail "Ctrl+Z took back Replace All too"
pass "Replace takes the match found, one step of Ctrl+Z"

if [ -f /usr/share/hunspell/en_US.dic ]; then
  # Line A of set 1 (row 0 selected), then line B.
  click_at 300 $((581 + 27))
  click_at 100 $((581 + 90))
  key ctrl+a
  type_text "teh"
  # The field's menu: the misspelt word's submenu first, its first suggestion.
  xdotool mousemove $((WX + 100)) $((WY + 581 + 90)) click 3; settle
  key Down Right Return
  click_at 100 $((581 + 110))
  key ctrl+a
  type_text "Kowalski"
  xdotool mousemove $((WX + 100)) $((WY + 581 + 110)) click 3; settle
  key Down Right End Return
  save
  wait_for 10 grep -q $'^A0000|the|' "$saved" || fail "the suggestion did not replace the word: $(grep 0000 "$saved")"
  grep -q $'^B0000|Kowalski|' "$saved" || fail "line B is not as typed: $(grep 0000 "$saved")"
  grep -qx Kowalski "$HOME/.local/share/kalvero/words.txt" || fail "Add to my words kept nothing"
  pass "a right click on a misspelt word offers its suggestions and Add to my words"
fi

# The Tools button (beside the time fields): its last entry is Check...
click_at $((722 + 40)) $((581 + 193))
key Up Return
wait_for 10 xdotool search --onlyvisible --name "^Check$" || fail "the Tools menu opened no Check dialog"
dialog_key "Check" Escape
wait_for 10 not_shown "^Check$" || fail "Escape left the Check dialog open"
# Set 3 is shown for 10 frames (fewer than 20): its rows turn orange.
orange=$(import -window root -crop 500x170+$((WX + 215))+$((WY + 581 + 5)) +repage txt:- 2>/dev/null | grep -c '(255,224,150')
[ "$orange" -gt 100 ] || fail "the rows of a set with a finding are not coloured ($orange pixels)"
pass "the Tools menu opens the Check dialog; the list colours the rows of its findings"

# Safe Areas: the title safe frame (90 %: 36, 29 of 720 x 576) in yellow,
# the action safe frame (93 %: 25, 20) in green, over the preview only.
[ "$(pixel 36 29)" != "255,220,0" ] || fail "a safe-area frame before the toggle"
click_at $((807 + 40)) $((581 + 193))
wait_for 10 test "$(pixel 36 29)" = "255,220,0" || fail "no title safe frame: $(pixel 36 29)"
[ "$(pixel 25 20)" = "0,230,0" ] || fail "no action safe frame: $(pixel 25 20)"
click_at $((807 + 40)) $((581 + 193))
wait_for 10 test "$(pixel 36 29)" != "255,220,0" || fail "the frames stayed after the toggle"
pass "Safe Areas draws the action and title safe frames over the preview"

# The export dialog's programme start: a BDN track from 10:00:00:00; a
# start that is no time code is refused and writes nothing.
open_export_dialog
xdotool mousemove $((DX + 545)) $((DY + 130)) click 1; settle
key ctrl+a
type_text "10:00"
xdotool mousemove $((DX + 500)) $((DY + 97)) click 1; settle   # Export subtitle track
wait_for 10 xdotool search --onlyvisible --name "^Error!$" || fail "a start that is no time code was not refused"
dialog_key "Error!" Return
[ ! -e "$work/P_project/BDN_Output" ] || fail "a refused start wrote a track"
xdotool mousemove $((DX + 545)) $((DY + 130)) click 1; settle
key ctrl+a
type_text "10:00:00:00"
xdotool mousemove $((DX + 500)) $((DY + 97)) click 1; settle
wait_for 20 xdotool search --onlyvisible --name "^Success!$" || fail "no Success! message"
dialog_key "Success!" Return
python3 "$here/../export/bdn_check.py" "$work/P_project/BDN_Output/P.xml" >"$work/bdn.txt" ||
  fail "the BDN description does not read back"
grep -q '^events 3 10:00:01:00 10:00:05:10$' "$work/bdn.txt" || fail "events: $(cat "$work/bdn.txt")"
pass "the export dialog's programme start is added to the track's times"
xdotool mousemove $((DX + 200)) $((DY + 315)) click 1; settle   # Cancel / Exit
wait_for 10 not_shown "^Export/Render Subtitles$" || fail "the export dialog stayed open"

# Import Text... (under the strips box, below Undo): the blocks after the sets.
printf '\xef\xbb\xbfFirst block\r\nline two\r\n\r\nSecond\r\n' >"$work/more.txt"
click_at $((WW - 250 + 60)) 514
choose_file "Import Text" "$work/more.txt"
wait_for 10 xdotool search --onlyvisible --name "^Information$" || fail "Import Text said nothing"
dialog_key Information Return
save
wait_for 10 grep -q $'^A0006|First block||' "$saved" || fail "the text's first block is not set 4: $(grep 000 "$saved")"
grep -q $'^B0006|line two||' "$saved" && grep -q $'^B0008|Second||' "$saved" || fail "the blocks: $(grep 000 "$saved")"
pass "Import Text adds the blocks as untimed sets"
