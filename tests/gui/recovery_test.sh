#!/usr/bin/env bash
# Crash recovery in the real window: work typed and then lost to kill -9
# comes back after "Recover unsaved work?" is answered Yes (as unsaved work,
# its project file never written), and No throws the journal away.
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
gui_start recovery
journals="$HOME/.local/state/kalvero/recovery"
journal_there() { ls "$journals"/journal-*.kvr >/dev/null 2>&1; }
journal_holds() { grep -q -- "$1" "$journals"/journal-*.kvr 2>/dev/null; }
start_and_type() {  # TEXT: a fresh window, one set typed into it
  "$bin/kalvero" 2>>"$work/stderr" & pids+=($!)
  wait_for 20 main_window || fail "the main window did not appear"
  window_origin
  xdotool mousemove $((WX + 100)) $((WY + 100))
  sleep 0.5
  type_text "$1"; key Return
  type_text "second line"; key Return
}

# crash_and_restart TEXT: waits until the journal holds TEXT, kills the
# program with kill -9 and starts it again; the start must offer the work.
crash_and_restart() {
  wait_for 10 journal_holds "$1" || fail "no journal holding '$1'"
  kill -9 "${pids[0]}"
  wait_for 10 bash -c "! kill -0 ${pids[0]}" || fail "the program did not die"
  pids=()
  "$bin/kalvero" 2>>"$work/stderr" & pids+=($!)
  wait_for 20 shown "^Question$" || fail "the start after the crash did not offer the unsaved work"
}

start_and_type "Before the crash"
crash_and_restart '|second line|'
dialog_key Question alt+y
wait_for 20 main_window || fail "the main window did not appear after recovery"
# The recovered sets have no times yet: the program says so once.
wait_for 10 shown "^Warning!$" && dialog_key "Warning!" Return
window_origin
xdotool mousemove $((WX + 100)) $((WY + 100))
key ctrl+s
wait_for 10 shown "^Save Project as$" || fail "recovered work was not unsaved work"
dialog_key "Save Project as" ctrl+a
type_text "$work/Back.KVL8"
key Return
wait_for 10 shown "^Information$" && dialog_key Information Return
wait_for 10 test -f "$work/Back_project/Back.KVL8" || fail "the recovered project was not saved"
grep -q $'^A0000|Before the crash|' "$work/Back_project/Back.KVL8" || fail "recovered rows: $(cat "$work/Back_project/Back.KVL8")"
grep -q $'^B0000|second line|' "$work/Back_project/Back.KVL8" || fail "line B was not recovered"
wait_for 10 bash -c "! ls '$journals'/journal-*.kvr" || fail "the journal stayed after a clean save"
pass "Yes restores the work lost to kill -9"

click_at 100 671   # line A of the selected set
type_text " and lost for good"
crash_and_restart 'and lost for good'
dialog_key Question alt+n
wait_for 20 main_window || fail "the main window did not appear after No"
wait_for 10 bash -c "! ls '$journals'/journal-*.kvr" || fail "No kept the journal"
pass "No discards the journal"
echo "1 passed, 0 failed"
