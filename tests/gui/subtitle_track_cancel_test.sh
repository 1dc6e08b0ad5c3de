#!/usr/bin/env bash
# A long subtitle-track export stopped with the Cancel button that takes the
# export button's place: an "Info" message, no picture, description or
# temporary file left, and the dialog stays open for another try.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
[ -n "${DISPLAY:-}" ] || { echo "no X display: skipped"; exit 77; }
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 SDL_AUDIODRIVER=dummy

work=$(mktemp -d)
export HOME=$work
shots=${KALVERO_GUI_SHOTS:-$work}
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$work"; }
trap cleanup EXIT

# 3000 timed sets, ten frames apart.
mkdir -p "$work/Film_project"
project="$work/Film_project/Film.KVL8"
{
  printf '%s\r\n' "##-KVL8 Project: v1.0 - 06 Mar 2017 " "##-Resolution Width: 720" "##-Resolution Height: 576" \
    "##-Profile: 1" "##-Preset: 0" "##-Date Written: 09 Mar 2017 @ 14:05:09" "##-Number of lines/pages: 6000 / 3000" \
    "##-Word count: 6000" "##-User Timed Session: 0" "##-;"
  for ((k = 0; k < 3000; k++)); do
    on=$((k * 10)); off=$((on + 8))
    tc() { printf '%02d:%02d:%02d:%02d' $(($1 / 90000)) $(($1 / 1500 % 60)) $(($1 / 25 % 60)) $(($1 % 25)); }
    t="$(tc $on)>$(tc $off)"
    printf 'A%04d|Set %d|%s||430\r\nB%04d|line two|%s||430\r\n' $((2 * k)) "$k" "$t" $((2 * k)) "$t"
  done
} >"$project"

"$bin/kalvero" "$project" 2>"$work/stderr" & pids+=($!)
wait_for 30 main_window || fail "the main window did not appear"
sleep 1
window_origin
click_at $((WW - 250 + 40)) 40   # Export Files...
wait_for 10 xdotool search --onlyvisible --name "^Export/Render Subtitles$" || fail "no export dialog"
sleep 0.5
dialog=$(xdotool search --onlyvisible --name "^Export/Render Subtitles$" | tail -n 1)
eval "$(xdotool getwindowgeometry --shell "$dialog")"
DX=$X; DY=$Y
xdotool mousemove $((DX + 500)) $((DY + 97)) click 1   # Export subtitle track (BDN XML)
folder="$work/Film_project/BDN_Output"
wait_for 60 sh -c "ls '$folder'/*.png" || fail "the export did not start"
sleep 0.5
import -window root -crop ${WIDTH}x${HEIGHT}+${DX}+${DY} +repage "$shots/track_running.png"
xdotool mousemove $((DX + 500)) $((DY + 97)) click 1   # the same button, now Cancel
wait_for 30 xdotool search --onlyvisible --name "^Info$" || fail "no Info message after Cancel"
sleep 0.5
import -window root "$shots/track_cancelled.png"
left=$(find "$folder" -type f | wc -l)
[ "$left" = 0 ] || fail "$left files left: $(find "$folder" -type f | head -n 3)"
dialog_key "Info" Return
wait_for 10 sh -c '! xdotool search --onlyvisible --name "^Info$"' || fail "the message did not close"
xdotool search --onlyvisible --name "^Export/Render Subtitles$" >/dev/null || fail "the export dialog closed"
pass "cancelled subtitle track leaves no file"
echo "1 passed, 0 failed"
