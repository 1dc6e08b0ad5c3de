#!/usr/bin/env bash
# A Full HD project: the DVD track is refused in the window with its limits
# named, and nothing is written; the dialog stays usable.
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

# Profile 7 of the shipped settings: 1920 x 1080, 25 fps; strips Y 810.
mkdir -p "$work/Film_project"
project="$work/Film_project/Film.KVL8"
printf '%s\r\n' "##-KVL8 Project: v1.0 - 06 Mar 2017 " "##-Resolution Width: 1920" "##-Resolution Height: 1080" \
  "##-Profile: 7" "##-Preset: 7" "##-Date Written: 09 Mar 2017 @ 14:05:09" "##-Number of lines/pages: 2 / 1" \
  "##-Word count: 2" "##-User Timed Session: 0" "##-;" \
  "A0000|Hello|00:00:01:00>00:00:02:00||810" "B0000|there|00:00:01:00>00:00:02:00||810" >"$project"

"$bin/kalvero" "$project" 2>"$work/stderr" & pids+=($!)
wait_for 20 main_window || fail "the main window did not appear"
sleep 1
window_origin
click_at $((WW - 250 + 40)) 40   # Export Files...
wait_for 10 xdotool search --onlyvisible --name "^Export/Render Subtitles$" || fail "no export dialog"
sleep 0.5
dialog=$(xdotool search --onlyvisible --name "^Export/Render Subtitles$" | tail -n 1)
eval "$(xdotool getwindowgeometry --shell "$dialog")"
DX=$X; DY=$Y
# The format list: two steps down from BDN XML to DVD VobSub.
xdotool mousemove $((DX + 500)) $((DY + 40))
sleep 0.3
xdotool click 5
sleep 0.3
xdotool click 5
sleep 0.3
import -window root -crop ${WIDTH}x${HEIGHT}+${DX}+${DY} +repage "$shots/vobsub_chosen.png"
xdotool mousemove $((DX + 500)) $((DY + 97)) click 1   # Export subtitle track
wait_for 20 xdotool search --onlyvisible --name "^Error!$" || fail "no Error! message for a DVD track of 1920 x 1080"
sleep 0.5
import -window root "$shots/vobsub_refused.png"
dialog_key "Error!" Return
wait_for 10 sh -c '! xdotool search --onlyvisible --name "^Error!$"' || fail "the message did not close"
[ ! -e "$work/Film_project/VobSub_Output" ] || fail "files were written: $(ls -R "$work/Film_project/VobSub_Output")"
xdotool search --onlyvisible --name "^Export/Render Subtitles$" >/dev/null || fail "the export dialog closed"
pass "DVD track of a Full HD project refused, nothing written"
echo "1 passed, 0 failed"
