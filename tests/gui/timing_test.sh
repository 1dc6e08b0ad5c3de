#!/usr/bin/env bash
# Records the timings of a three-set project against a short test movie in
# the real windows: Record Timings, Play Movie Internally, START, six Space
# steps; the run ends by itself and the saved project holds the timings.
# Then the external clock: the timing window without a movie, where a held
# Space is one step. The program's timing log (KALVERO_TIMING_LOG) tells
# when a key has been handled, so the test waits for that, not for a time.
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
# A home of its own below the scratch folder: the single-instance lock lives there.
gui_start timing home
command -v ffmpeg >/dev/null || { echo "no ffmpeg: skipped"; exit 77; }

# A minute of test picture at 25 fps with a tone: long enough that the run
# cannot end with the movie before its steps on a loaded machine.
ffmpeg -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=60 \
  -f lavfi -i sine=frequency=440:duration=60:sample_rate=44100 \
  -c:v mpeg4 -q:v 5 -c:a pcm_s16le -shortest "$work/movie.avi" || fail "could not make the test movie"

project=$work/Film.KVL8
timing_project "$project"

tpixel() {  # window coordinates of the timing window
  import -window root -crop 1x1+$((TX + $1))+$((TY + $2)) +repage txt:- 2>/dev/null |
    sed -n '2p' | sed -E 's/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1,\2,\3/'
}
# The running-time labels as a picture, to see them change.
running_time_shot() { shot "$1" $((TX + TW - 225)) $((TY + TH - 45)) 113 20; }
log=$work/timing.log
log_count() { local n; n=$(grep -c -- "$1" "$log" 2>/dev/null); echo "${n:-0}"; }
log_grew() { [ "$(log_count "$1")" -gt "$2" ]; }
# One Space step: the key down until the program has recorded the step,
# then up until the program has handled that too.
space_step() {
  local steps; steps=$(log_count "^step ")
  xdotool keydown space
  wait_for 10 log_grew "^step " "$steps" || fail "Space made no step"
  xdotool keyup space
  settle
}
# The overlay strips over the picture: black pixels where the area was the movie.
overlay_shown() {
  shot "$1" "$TX" "$TY" "$TW" "$TH" &&
    [ "$(convert "$1" -crop 200x60+140+280 +repage txt:- | grep -c '#000000')" -gt 200 ]
}
# The dialog, which keeps its size.
record_timings() {
  open_record_timings
  [ "$RW" = 300 ] && [ "$RH" = 220 ] || fail "Record Timings is ${RW}x${RH}"
}

# The file dialogs open in the working folder: a plain file name is typed
# there (the location field's completion garbles long typed paths).
cd "$work"
KALVERO_TIMING_LOG=$log start_kalvero "$project"

# --- Internal: the movie plays in the timing window --------------------------------
record_timings
xdotool mousemove $((RX + 150)) $((RY + 20)) click 1   # Play Movie Internally
choose_file "Load a movie - will scale to 50%" movie.avi
wait_for 15 timing_window || fail "no timing window"
settle
timing_origin
title=$(xdotool getwindowname "$(timing_window)")
[ "$title" = "Scaled to 50% preview of Project. Movie Width: 320 x 240" ] || fail "timing window title: $title"
[ "$TW" = 480 ] && [ "$TH" = 520 ] || fail "timing window is ${TW}x${TH}, expected 480x520"
# The first picture stands still: testsrc's cyan bar where the area was blue.
wait_for 10 bash -c "[ \"\$(import -window root -crop 1x1+$((TX + 90))+$((TY + 20)) +repage txt:- | sed -n 2p | grep -o '#[0-9A-F]*')\" != '#0000A0' ]" ||
  fail "the movie's picture did not appear"
pass "timing window shows the movie"

xdotool mousemove $((TX + 240)) $((TY + 150))
running_time_shot "$work/rt0.png"
xdotool mousemove $((TX + TW - 55)) $((TY + TH - 25)) click 1   # START!
xdotool mousemove $((TX + 240)) $((TY + 150))
running_time_shot "$work/rt0.png" || fail "no screenshot"
started() { running_time_shot "$work/rt1.png" && differs "$work/rt0.png" "$work/rt1.png"; }
wait_for 10 started || fail "the running time did not start"
pass "START runs the clock"

space_step   # set 1 ON
# The set is laid over the movie: its black strips cross the picture.
wait_for 10 overlay_shown "$shots/timing_window.png" || fail "no overlay strips over the movie"
pass "the set that is ON shows over the movie"
for i in 2 3 4 5 6; do space_step; done
wait_for 10 bash -c "[ -z \"\$(xdotool search --onlyvisible --name '^Scaled to 50% preview')\" ]" ||
  fail "the timing window did not close after the last OFF"
wait_for 5 not_shown "^Record Timings$" || fail "the Record Timings dialog did not close"
pass "the last OFF ends the run"

# Save and read the timings back.
click_at $((975 - 250 + 40)) 470  # Save As...
choose_file "Save Project as" Out.KVL8
wait_for 10 xdotool search --onlyvisible --name "^Information$" && dialog_key Information Return
saved=$work/Out_project/Out.KVL8
wait_for 10 test -f "$saved" || fail "the project was not saved"
[ -n "${KALVERO_GUI_SHOTS:-}" ] && cp "$saved" "$KALVERO_GUI_SHOTS/timed.KVL8"
tc='[0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]{2}'
frames() {  # HH:MM:SS:FF at 25 fps
  local IFS=:; set -- $1; echo $(( (10#$1 * 3600 + 10#$2 * 60 + 10#$3) * 25 + 10#$4 ))
}
last=-1
for row in A0000 B0000 A0002 B0002 A0004 B0004; do
  line=$(grep -a "^$row|" "$saved" | tr -d '\r')
  echo "$line" | grep -Eq "^$row\|[^|]+\|$tc>$tc\|-?[0-9]+\+[0-9]+\|430$" || fail "row $row not timed: $line"
done
for row in A0000 A0002 A0004; do
  timing=$(grep -a "^$row|" "$saved" | cut -d'|' -f3)
  on=$(frames "${timing%>*}"); off=$(frames "${timing#*>}")
  [ "$on" -gt "$last" ] && [ "$off" -gt "$on" ] || fail "timings out of order at $row: $timing"
  [ "$on" -lt 1500 ] || fail "timing beyond the movie at $row: $timing"
  last=$off
done
session=$(grep -a '^##-User Timed Session: ' "$saved" | tr -d '\r' | sed 's/.*: //')
[ "$session" -gt 0 ] && [ $((session % 25)) = 0 ] || fail "User Timed Session: $session"
pass "timings written into the list and saved"

# --- External: the program's own clock, no movie in the window -----------------
record_timings
xdotool mousemove $((RX + 150)) $((RY + 45)) click 1   # Play Movie Externally
choose_file "Load a movie" movie.avi
# Without a program for the file the program asks whether to go on with its clock.
ask_or_window() { [ -n "$(timing_window)" ] || [ -n "$(xdotool search --onlyvisible --name '^Question$')" ]; }
wait_for 15 ask_or_window || fail "neither a player question nor the timing window"
if [ -z "$(timing_window)" ]; then
  dialog_key Question Return   # Yes
fi
wait_for 10 timing_window || fail "no timing window for the external player"
settle
timing_origin
title=$(xdotool getwindowname "$(timing_window)")
[ "$title" = "Scaled to 50% preview of Project. Project Width: 720 x 576" ] || fail "external title: $title"
[ "$(tpixel 100 100)" = "0,0,160" ] || fail "the area is not the background colour: $(tpixel 100 100)"
running_time_shot "$work/ext0.png" || fail "no screenshot"
xdotool mousemove $((TX + TW - 55)) $((TY + TH - 25)) click 1   # START!
started_ext() { running_time_shot "$work/ext1.png" && differs "$work/ext0.png" "$work/ext1.png"; }
wait_for 10 started_ext || fail "the external clock did not run"
# Space held for a while (the key repeats) is one step: the first set goes ON
# and stays ON.
xdotool mousemove $((TX + 240)) $((TY + 150))
steps=$(log_count "^step ")
xdotool keydown space
wait_for 10 log_grew "^step " "$steps" || fail "Space made no step (external)"
sleep 1.2   # held on: the key repeats
xdotool keyup space
settle
wait_for 10 overlay_shown "$shots/timing_external.png" || fail "a held Space did not leave the set ON"
[ "$(log_count "^step ")" = $((steps + 1)) ] ||
  fail "a held Space made $(($(log_count "^step ") - steps)) steps: $(grep '^step ' "$log" | tail -n 3 | tr '\n' ' ')"
# STOP ends the run and the window stays: START begins another run, and its
# Space step times set 1 again.
xdotool mousemove $((TX + TW - 55)) $((TY + TH - 25)) click 1   # STOP!
xdotool mousemove $((TX + 240)) $((TY + 150))
running_time_shot "$work/ext2.png" || fail "no screenshot"
xdotool mousemove $((TX + TW - 55)) $((TY + TH - 25)) click 1   # START! again
restarted() { running_time_shot "$work/ext3.png" && differs "$work/ext2.png" "$work/ext3.png"; }
wait_for 10 restarted || fail "START after STOP did not begin another run in the same window"
xdotool mousemove $((TX + 240)) $((TY + 150))
steps=$(log_count "^step ")
xdotool keydown space
wait_for 10 log_grew "^step " "$steps" || fail "Space made no step in the second run"
xdotool keyup space
settle
grep '^step ' "$log" | tail -n 1 | grep -q "step on set=0" || fail "the second run did not start at set 1: $(grep '^step ' "$log" | tail -n 1)"
pass "STOP and START: a second run in the same window"
xdotool mousemove $((TX + TW - 45)) $((TY + TH - 75)) click 1   # EXIT
# The first set has only its new ON time: the program says a timing is missing.
wait_for 10 xdotool search --onlyvisible --name "^Warning!$" || fail "no missing-timing warning after EXIT"
dialog_key "Warning!" Return
wait_for 10 bash -c "[ -z \"\$(xdotool search --onlyvisible --name '^Scaled to 50% preview')\" ]" ||
  fail "EXIT did not close the timing window"
wait_for 5 not_shown "^Record Timings$" || fail "the Record Timings dialog did not close (external)"
# Saved, set 1 alone has a new time, an ON time only (several steps would
# have given it an OFF time and set 2 a new ON time); sets 2 and 3 keep theirs.
before_ext=$(grep -a "^A000[024]|" "$saved" | cut -d'|' -f3 | tr -d '\r' | tr '\n' ' ')
click_at $((975 - 250 + 40)) 470  # Save As...
choose_file "Save Project as" Ext.KVL8
wait_for 10 xdotool search --onlyvisible --name "^Information$" && dialog_key Information Return
# The dialog may open in the folder of the last save.
ext_saved() { ext=$(find "$work" -name Ext.KVL8 | head -n 1); [ -n "$ext" ]; }
wait_for 10 ext_saved || fail "the project was not saved after the external run"
first=$(grep -a '^A0000|' "$ext" | cut -d'|' -f3 | tr -d '\r')
[[ "$first" =~ ^$tc\>?$ ]] || fail "set 1 after a held Space: '$first', expected an ON time alone"
on=$(frames "${first%>}")
[ "$on" -lt 1500 ] || fail "set 1's new ON time is $first: not the clock's first minute"
rest=$(grep -a "^A000[24]|" "$ext" | cut -d'|' -f3 | tr -d '\r' | tr '\n' ' ')
[ "$rest" = "$(echo "$before_ext" | cut -d' ' -f2-3) " ] || fail "sets 2 and 3 changed: '$rest', were '$before_ext'"
pass "a held Space is one step: set 1 alone has its new ON time ($first)"
pass "external clock runs and EXIT returns to the main window"
echo "1 passed, 0 failed"
