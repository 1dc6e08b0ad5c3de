#!/usr/bin/env bash
# Live timing measured against the movie's own clock. The test movie shows
# its frame number as black and white columns; key_probe.py reads the frame
# on the screen just before and just after each Space key-down. Six taps
# with a reaction offset of 0: every saved time lies within one frame of
# the movie at the key-down. Then 200 ms typed into the timing window: the
# times of the second run lie 5 frames (200 ms at 25 fps) earlier, and the
# offset is kept in Kalvero.ini. Last, hold mode from the selected set: the
# OFF times follow the key-ups and the earlier sets keep their times.
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start live_timing home
command -v ffmpeg >/dev/null || { echo "no ffmpeg: skipped"; exit 77; }
command -v python3 >/dev/null || { echo "no python3: skipped"; exit 77; }

# A program folder of its own: the run writes the reaction offset into its settings file.
prog=$work/prog
mkdir -p "$prog"
cp "$bin/kalvero" "$bin/Kalvero.ini" "$prog/" && cp -r "$bin/includes" "$prog/" || fail "could not copy the program"
cp "$prog/Kalvero.ini" "$work/Kalvero.ini.before"

# Twenty seconds at 25 fps: bit k of the frame number white in column k (32 pixels wide).
ffmpeg -loglevel error -y \
  -f lavfi -i "color=black:size=320x240:rate=25:duration=20,format=yuv420p,geq=lum='255*mod(trunc(N/pow(2\,trunc(X/32)))\,2)':cb=128:cr=128" \
  -f lavfi -i sine=frequency=440:duration=20:sample_rate=44100 \
  -c:v mpeg4 -q:v 2 -c:a pcm_s16le -shortest "$work/movie.avi" || fail "could not make the test movie"

project=$work/Film.KVL8
timing_project "$project"

# The frame number the timing window shows.
frame_shown() { python3 "$here/key_probe.py" "$TX" "$TY" "$TW" 320; }
# Opens the movie in the timing window and waits for its first picture.
open_movie() {
  open_record_timings
  xdotool mousemove $((RX + 150)) $((RY + 20)) click 1   # Play Movie Internally
  choose_file "Load a movie - will scale to 75%" movie.avi
  wait_for 15 timing_window || fail "no timing window"
  sleep 0.5
  timing_origin
  [ "$TW" = 480 ] || fail "timing window is $TW wide"
  standing() { [ "$(frame_shown)" -ge 1 ]; }
  wait_for 10 standing || fail "the movie's picture did not appear"
}
start_run() {
  xdotool mousemove $((TX + TW - 55)) $((TY + TH - 25)) click 1   # START!
  xdotool mousemove $((TX + 240)) $((TY + 150))                 # keys go where the pointer is
  sleep 0.3
}
wait_run_end() {
  wait_for 15 bash -c "[ -z \"\$(xdotool search --onlyvisible --name '^Scaled to 50% preview')\" ]" ||
    fail "the timing window did not close after the last OFF"
  wait_for 5 not_shown "^Record Timings$" || fail "the Record Timings dialog did not close"
}
saved_path() { SAVED=$(find "$work" -name "$1.KVL8" | head -n 1); [ -n "$SAVED" ]; }
save_as() {  # NAME: saves the project; SAVED is its path
  click_at $((975 - 250 + 40)) 470  # Save As...
  choose_file "Save Project as" "$1.KVL8"
  wait_for 10 xdotool search --onlyvisible --name "^Information$" && dialog_key Information Return
  # The dialog may open in the folder of the last save.
  wait_for 10 saved_path "$1" || fail "the project $1 was not saved"
}
frames() {  # HH:MM:SS:FF at 25 fps
  local IFS=:; set -- $1; echo $(( (10#$1 * 3600 + 10#$2 * 60 + 10#$3) * 25 + 10#$4 ))
}
# saved_frames FILE: the ON and OFF frames of the three sets, one per line.
saved_frames() {
  local row timing
  for row in A0000 A0002 A0004; do
    timing=$(grep -a "^$row|" "$1" | cut -d'|' -f3)
    frames "${timing%>*}"; frames "${timing#*>}"
  done
}
# check_times PROBE SAVED SHIFT: every saved time within one frame of the
# movie at its key-down, moved SHIFT frames earlier.
check_times() {
  local i=0 before after t
  mapfile -t got < <(saved_frames "$2")
  while read -r before after _; do
    t=${got[$i]}
    echo "tap $i: screen showed $before..$after at the key-down, saved $t (offset $3 frames)"
    [ "$after" -ge "$before" ] && [ $((after - before)) -le 2 ] || fail "tap $i: unreadable screen ($before, $after)"
    [ "$t" -ge $((before - $3 - 1)) ] && [ "$t" -le $((after - $3 + 1)) ] ||
      fail "tap $i saved at frame $t, the movie was at $before..$after (offset $3 frames)"
    i=$((i + 1))
  done <"$1"
  [ "$i" = 6 ] || fail "only $i taps measured"
}

cd "$work"
"$prog/kalvero" "$project" 2>"$work/stderr" & pids+=($!)
wait_for 20 main_window || fail "the main window did not appear"
sleep 1
window_origin

# --- run 1: no offset ------------------------------------------------------------
open_movie
start_run
python3 "$here/key_probe.py" "$TX" "$TY" "$TW" 320 0.8 0.7 0.9 0.6 0.8 0.7 >"$work/probe1" ||
  fail "key probe failed"
wait_run_end
save_as Run1
check_times "$work/probe1" "$SAVED" 0
pass "taps timed at the key-down, within one frame of the movie"

# --- run 2: 200 ms offset typed into the timing window --------------------------------
open_movie
# The offset field: right of its label, in the first row under the picture.
xdotool mousemove $((TX + 150)) $((TY + TH - 136 + 14)) click 1
sleep 0.3
xdotool key ctrl+a
type_text 200
key Tab
import -window root -crop ${TW}x${TH}+${TX}+${TY} +repage "$shots/live_timing_offset.png"
start_run
python3 "$here/key_probe.py" "$TX" "$TY" "$TW" 320 0.8 0.7 0.9 0.6 0.8 0.7 >"$work/probe2" ||
  fail "key probe failed"
wait_run_end
save_as Run2
check_times "$work/probe2" "$SAVED" 5
pass "with 200 ms the times are 5 frames earlier"

# The offset is kept in the user's copy of the settings file (made from the
# shipped one), the rest of the file as it was; the shipped file is not touched.
user="$HOME/.config/kalvero/Kalvero.ini"
grep -aq '^ReactionMs = 200'$'\r''$' "$user" || fail "ReactionMs not stored: $(grep -a Reaction "$user")"
diff <(grep -av '^ReactionMs = ' "$user") "$work/Kalvero.ini.before" >/dev/null ||
  fail "the settings file changed beyond ReactionMs"
cmp -s "$prog/Kalvero.ini" "$work/Kalvero.ini.before" || fail "the shipped settings file was written"
pass "the reaction offset is kept in the user's Kalvero.ini"

# --- run 3: from the second set, half speed, pause keys, hold mode -----------------------
run2=$SAVED
click_at 300 643   # row A0002 of the list: the second set
open_movie
# The offset field shows the stored 200; back to 0 for this run.
xdotool mousemove $((TX + 150)) $((TY + TH - 136 + 14)) click 1
sleep 0.3
xdotool key ctrl+a
type_text 0
key Tab
xdotool mousemove $((TX + 12)) $((TY + TH - 136 + 34)) click 1   # Hold mode
sleep 0.3
xdotool mousemove $((TX + 232)) $((TY + TH - 136 + 34)) click 1  # Start at the selected set
sleep 0.3
[ "$(xdotool getwindowname "$(timing_window)")" != "" ] || fail "timing window lost"
xdotool mousemove $((TX + 320)) $((TY + TH - 136 + 14)) click 1  # Speed: the list opens on 1x
sleep 0.8
xdotool key Up Up Return                                        # 0.5x
sleep 0.5
import -window root -crop ${TW}x${TH}+${TX}+${TY} +repage "$shots/live_timing_hold.png"
start_run
sleep 2
xdotool key p                                                   # pause
sleep 0.5
f0=$(frame_shown)
sleep 0.5
[ "$(frame_shown)" = "$f0" ] || fail "P did not stop the movie ($f0, then $(frame_shown))"
xdotool key Right
moved() { [ "$(frame_shown)" = "$1" ]; }
wait_for 5 moved $((f0 + 1)) || fail "Right did not step one picture on from $f0 (shows $(frame_shown))"
xdotool key Left Left
wait_for 5 moved $((f0 - 1)) || fail "Left did not step back from $((f0 + 1)) (shows $(frame_shown))"
xdotool key BackSpace
back=$((f0 - 1 - 50)); [ "$back" -lt 0 ] && back=0
wait_for 5 moved "$back" || fail "Backspace did not go back 2 s from $((f0 - 1)) (shows $(frame_shown))"
pass "P pauses, Left and Right step one picture, Backspace goes back 2 s"
xdotool key p                                                   # on again
KEY_HOLD=0.6 python3 "$here/key_probe.py" "$TX" "$TY" "$TW" 320 0.5 0.4 >"$work/probe3" ||
  fail "key probe failed"
wait_run_end
save_as Run3
mapfile -t got < <(saved_frames "$SAVED")
[ "$(grep -a '^A0000|' "$SAVED" | cut -d'|' -f3)" = "$(grep -a '^A0000|' "$run2" | cut -d'|' -f3)" ] ||
  fail "the first set, before the selected one, did not keep its times"
i=0
while read -r before after before_up after_up; do
  on=${got[$((2 * i + 2))]}; off=${got[$((2 * i + 3))]}
  echo "hold $i (set $((i + 1))): down at $before..$after, up at $before_up..$after_up; saved $on>$off"
  [ "$on" -ge $((before - 1)) ] && [ "$on" -le $((after + 1)) ] || fail "hold $i: ON $on, the movie was at $before..$after"
  [ "$off" -ge $((before_up - 1)) ] && [ "$off" -le $((after_up + 1)) ] ||
    fail "hold $i: OFF $off, the movie was at $before_up..$after_up at the key-up"
  # 0.6 s held: at full speed at least 15 frames would pass.
  [ $((off - on)) -lt 15 ] || fail "hold $i: $((off - on)) frames in 0.6 s: not half speed"
  i=$((i + 1))
done <"$work/probe3"
[ "$i" = 2 ] || fail "only $i holds measured"
pass "from the selected set, hold mode at half speed: ON at the key-down, OFF at the key-up, in movie time; the set before kept its times"

# --- Snap to Shots in the timing window: the same as the command line -----------------
run3=$SAVED
open_movie
xdotool mousemove $((TX + TW - 60)) $((TY + TH - 136 + 14)) click 1   # Snap to Shots
wait_for 60 test -f "$work/movie.avi.shots" || fail "the shot changes were not kept beside the movie"
xdotool mousemove $((TX + 240)) $((TY + 150))   # away, so the button's tool tip goes
sleep 1.5
import -window root -crop ${TW}x${TH}+${TX}+${TY} +repage "$shots/live_timing_snap.png"
xdotool mousemove $((TX + TW - 45)) $((TY + TH - 75)) click 1   # EXIT
wait_run_end
save_as Run4
"$bin/kalvero-cli" --program-dir "$prog" snap "$work/movie.avi" "$run3" -o "$work/cli.KVL8" >"$work/cli.out" ||
  fail "kalvero-cli snap failed"
grep -q "kept from" "$work/cli.out" || fail "the command line did not use the kept shot list: $(cat "$work/cli.out")"
[ "$(grep -a '^[AB]' "$SAVED" | cut -d'|' -f3)" = "$(grep -a '^[AB]' "$work/cli.KVL8" | cut -d'|' -f3)" ] ||
  fail "the window snapped otherwise than the command line ($(cat "$work/cli.out"))"
pass "Snap to Shots in the window: $(cat "$work/cli.out")"
echo "1 passed, 0 failed"
