#!/usr/bin/env bash
# A second start hands the project named on its command line to the copy
# that runs: that copy asks about its unsaved work as Open does, then opens
# the project; the second start ends at once without a message.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start instance

title() { xdotool getwindowname "$(main_window)"; }
second_start() {  # second_start ARGS...: runs in $work, waits for its end, echoes its exit code
  (cd "$work" && exec "$bin/kalvero" "$@" >"$work/second.out" 2>&1) & local p=$!; pids+=($p)
  wait_for 10 bash -c "! kill -0 $p" || fail "the second start did not end"
  wait "$p"; echo $?
}

mkdir -p "$work/films"
write_project "$work/films/Handed.KVL8" 720 576 1 0 \
  "A0000|Handed over|00:00:01:00>00:00:02:00|25+25|430" "B0000||00:00:01:00>00:00:02:00|25+25|430"
start_kalvero
window_id=$(main_window)

# Without a project the second start only brings the running copy forward.
rc=$(second_start)
[ "$rc" = 0 ] || fail "the second start without a project ended with $rc: $(cat "$work/second.out")"
! shown "^INFO$" || fail "the second start still says it is already running"
[ "$(main_window)" = "$window_id" ] || fail "the running copy's window went away"
pass "a second start without a project"

# Unsaved work in the running copy, then a second start naming a project by a
# path relative to its own working folder.
type_text "Not saved yet"
rc=$(second_start films/Handed.KVL8)
[ "$rc" = 0 ] || fail "the second start ended with $rc: $(cat "$work/second.out")"
wait_for 10 shown "^Question$" || fail "the running copy did not ask about its unsaved work"
dialog_key Question Escape   # Cancel keeps the work and the project
wait_for 5 bash -c "! xdotool search --onlyvisible --name '^Question$'" || fail "the question stayed"
case $(title) in *Handed*) fail "Cancel opened the handed project" ;; esac
pass "Cancel keeps the unsaved work"

second_start films/Handed.KVL8 >/dev/null
wait_for 10 shown "^Question$" || fail "the second hand-over did not ask"
dialog_key Question alt+n
wait_for 10 bash -c "xdotool getwindowname $window_id | grep -q -- '- Handed.KVL8$'" || fail "title: $(title)"
! shown "^INFO$" || fail "an INFO box appeared"
pass "the handed project is open in the running copy"
