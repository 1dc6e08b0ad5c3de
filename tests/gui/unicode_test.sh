#!/usr/bin/env bash
# Text beyond Windows-1252 typed into the line fields, a font picked with
# the font chooser's search field and a text colour picked in the colour
# dialog, as a user does it in the real window; the saved project holds
# the text as typed (UTF-8 form) and its look holds the font and colour.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start unicode

export KALVERO_GLYPH_CACHE=$work/glyphs
# Text the keyboard map lacks comes through the clipboard, as an input
# method hands it over (xdotool's spare-key mapping drops characters now and
# then): the text is offered with xclip and pasted with Ctrl+V.
paste_text() {
  printf "%s" "$1" | xclip -selection clipboard -quiet >/dev/null 2>&1 & pids+=($!)
  wait_for 5 sh -c "[ \"\$(xclip -selection clipboard -o)\" = '$1' ]" || fail "the clipboard did not take $1"
  key ctrl+v
}

"$bin/kalvero" 2>"$work/stderr" & pids+=($!)
wait_for 20 main_window || fail "the main window did not appear"
settle
window_origin

# Places in the window (PAL profile): the strips box's right column starts
# at x 725.
button_text_color() { click_at 915 203; }
button_font() { click_at 915 224; }

# The font chooser: its search field takes the keys at once; Return takes
# the first family that matches.
button_font
wait_for 10 shown "^Caption Font$" || fail "no font chooser"
settle
dialog_key "Caption Font" ctrl+a
type_text "dejavu sans m"
dialog_key "Caption Font" Return
wait_for 5 not_shown "^Caption Font$" || fail "the font chooser stayed"
pass "a font picked through the chooser's search field"

# Polish, Russian, Greek in line A; Hebrew in line B.
xdotool mousemove $((WX + 100)) $((WY + 671)); xdotool click 1; settle
type_text "Line "; paste_text "Zażółć Привет Καλημέρα"; key Return
paste_text "שלום"
settle
# The preview shows the text: the strip of line A holds white glyph pixels.
shot "$work/white.png" "$WX" $((WY + 380)) 720 120 || fail "no screenshot"
white=$(convert "$work/white.png" -fill black +opaque white -fill white -opaque white -format '%[fx:mean*w*h]' info:)
[ "${white%.*}" -gt 100 ] || fail "no white text in the preview ($white pixels)"
pass "Unicode text typed into both line fields is drawn"

# The text colour: the yellow of the dialog's palette, taken with its Select button.
button_text_color
wait_for 10 shown "^Choose colour$" || fail "no colour dialog"
sleep 0.5
dialog_origin "Choose colour"
dialog_click 396 190
dialog_click 535 252
wait_for 5 not_shown "^Choose colour$" || fail "the colour dialog stayed"
settle
shot "$work/coloured.png" "$WX" $((WY + 380)) 720 120 || fail "no screenshot"
differs "$work/white.png" "$work/coloured.png" || fail "the text colour did not change the preview"
yellow=$(convert "$work/coloured.png" -fill black +opaque yellow -fill white -opaque yellow -format '%[fx:mean*w*h]' info:)
[ "${yellow%.*}" -gt 100 ] || fail "no yellow text in the preview ($yellow pixels)"
pass "a text colour picked in the colour dialog"

save_through_dialog "$work/Unicode.KVL8" "$work/Unicode_project/Unicode.KVL8"
saved="$work/Unicode_project/Unicode.KVL8"
look="$work/Unicode_project/Unicode.look"
head -n 1 "$saved" | grep -q '^##-KVL8 Project (UTF-8): ' || fail "not the UTF-8 form: $(head -n 1 "$saved")"
grep -q '^A0000|Line Zażółć Привет Καλημέρα|' "$saved" || fail "line A not as typed: $(grep -a '^A0000' "$saved")"
grep -q '^B0000|שלום|' "$saved" || fail "line B not as typed: $(grep -a '^B0000' "$saved")"
wait_for 10 test -f "$look" || fail "no look file"
grep -q '^Preset = .*|DejaVu Sans Mono' "$look" || fail "the font is not in the look: $(cat "$look")"
grep -q '^Preset = .*|255,255,255|DejaVu' "$look" && fail "the text colour is not in the look: $(cat "$look")"
pass "the project keeps the text as typed, its look the font and colour"
