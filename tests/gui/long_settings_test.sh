#!/usr/bin/env bash
# A settings file of 100,000 profiles and presets: the window starts in
# moments with the first 1,000 of each and one note about the rest.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start long_settings

# A program folder of its own: the program, its font sheets and the long file.
cp "$bin/kalvero" "$work/kalvero"
ln -s "$bin/includes" "$work/includes"
{
  printf '[Global]\r\nStartupProfile = 1\r\nPreset = 0\r\n[Profiles]\r\nProfile = ----- SD -----\r\n'
  for i in $(seq 1 100000); do printf 'Profile = 720|576|PAL %d|430|32|25\r\n' "$i"; done
  printf '[Presets]\r\n'
  for i in $(seq 1 100000); do printf 'Preset = P%d|0,0,0|1|0|254|0|0,0,160|0|-1|46|0|0|20\r\n' "$i"; done
} > "$work/Kalvero.ini"

start=$SECONDS
"$work/kalvero" 2>"$work/stderr" & pids+=($!)
wait_for 30 xdotool search --onlyvisible --name "^Information$" || fail "no note about the long lists"
sleep 0.5
[ -n "${KALVERO_GUI_SHOTS:-}" ] && import -window root "$KALVERO_GUI_SHOTS/long_settings_note.png"
dialog_key Information Return
wait_for 30 main_window || fail "the main window did not appear"
pass "window up after $((SECONDS - start)) s with 100,000 profiles and presets in the file"
# 100,000 presets and the start-up preset line of [Global].
grep -c "^Preset = " "$work/Kalvero.ini" | grep -qx 100001 || fail "the settings file changed"
pass "settings file kept"
