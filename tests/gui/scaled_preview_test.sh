#!/usr/bin/env bash
# A 1080p project on a 1920 x 1080 desktop: the window would not fit at 1:1,
# so it shows the preview at 3/4 without asking, lays the controls out around
# it, and still captures at full size. Runs on a display of that size of its
# own.
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${KALVERO_SCALED_INNER:-}" ]; then
  command -v xvfb-run >/dev/null || { echo "no xvfb-run: skipped"; exit 77; }
  KALVERO_SCALED_INNER=1 exec xvfb-run -a -s '-screen 0 1920x1080x24' bash "$0" "$bin"
fi
. "$here/lib.sh"
gui_start scaled
command -v ffprobe >/dev/null || { echo "no ffprobe: skipped"; exit 77; }

# Profile 7 of the shipped settings: 1920 x 1080, 25 fps; strips Y 810.
mkdir -p "$work/Big_project"
project=$work/Big_project/Big.KVL8
{
  printf '##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 1920\r\n##-Resolution Height: 1080\r\n'
  printf '##-Profile: 7\r\n##-Preset: 7\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n'
  printf '##-Number of lines/pages: 2 / 1\r\n##-Word count: 2\r\n##-User Timed Session: 0\r\n##-;\r\n'
  printf 'A0000|Big one|00:00:01:00>00:00:02:00|25+25|810\r\nB0000|line b|00:00:01:00>00:00:02:00|25+25|810\r\n'
} >"$project"

"$bin/kalvero" "$project" 2>"$work/stderr" & pids+=($!)
wait_for 20 main_window || fail "the main window did not appear"
settle
[ -z "$(xdotool search --onlyvisible --name '^Warning!$' 2>/dev/null)" ] || fail "a question about the size was asked"
window_origin
[ "$WW" = 1695 ] && [ "$WH" = 1020 ] || fail "window is ${WW}x${WH}, expected 1695x1020"
[ $((WX + WW)) -le 1920 ] && [ $((WY + WH)) -le 1080 ] || fail "the window leaves the desktop at $WX,$WY"
# The preview: background blue at 3/4 size, ending at x 1440 where the right
# column begins; the strips of the set (Y 810 of 1080) around y 620.
strips_shown() {
  shot "$shots/scaled_window.png" "$WX" "$WY" "$WW" "$WH" &&
    [ "$(convert "$shots/scaled_window.png" -crop 1440x200+0+600 +repage txt:- | grep -c '#000000')" -gt 1000 ]
}
wait_for 10 strips_shown || fail "no strips in the scaled preview"
[ "$(pixel 20 20)" = "0,0,160" ] || fail "preview background: $(pixel 20 20)"
[ "$(pixel 1436 20)" = "0,0,160" ] || fail "preview is narrower than 1440: $(pixel 1436 20)"
[ "$(pixel 1443 20)" != "0,0,160" ] || fail "preview is wider than 1440"
pass "window fits and shows the preview at 3/4"

# The controls below the preview work: line A of the selected set.
click_at 100 $((810 + 5 + 80 + 10))
key End
type_text "!"
# Capture Screen writes the set at full size.
click_at $((1695 - 250 + 85 + 47)) 40
wait_for 10 xdotool search --onlyvisible --name "^Capture Screen$" || fail "no capture message"
dialog_key "Capture Screen" Return
capture=$(ls "$work/Big_project/Capture_Output/"*.png 2>/dev/null | head -n 1)
[ -n "$capture" ] || fail "no capture written"
size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 "$capture")
[ "$size" = "1920,1080" ] || fail "capture is $size, expected 1920,1080"
pass "controls around the scaled preview work; the capture is full size"
echo "1 passed, 0 failed"
