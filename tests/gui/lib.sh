# Shared helpers of the real-window tests.
set -u
# The programs keep user settings below these; the tests give them a home of their own.
unset XDG_CONFIG_HOME XDG_DATA_HOME
# fail TEXT: ends the test; with KALVERO_GUI_SHOTS set it first keeps a
# picture of the screen there as NAME_failure.png (NAME given to gui_start).
fail() {
  [ -n "${KALVERO_GUI_SHOTS:-}" ] && [ -n "${failure_shot:-}" ] &&
    import -window root "$KALVERO_GUI_SHOTS/${failure_shot}_failure.png" 2>/dev/null
  echo "FAIL: $*" >&2
  exit 1
}
pass() { echo "ok: $*"; }

# gui_start NAME [HOME]: the common start of a real-window test. Skipped
# (77) without an X display. Makes the scratch folder $work, removed at the
# end together with every program whose id is in $pids; gives the programs a
# home of their own (the single-instance lock lives there): $work itself, or
# the folder HOME below it; $shots is where screenshots go.
gui_start() {
  failure_shot=$1
  [ -n "${DISPLAY:-}" ] || { echo "no X display: skipped"; exit 77; }
  export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 SDL_AUDIODRIVER=dummy
  work=$(mktemp -d)
  shots=${KALVERO_GUI_SHOTS:-$work}
  export HOME=$work${2:+/$2}
  mkdir -p "$HOME"
  export KALVERO_TEST_SETTLE=$work/settled
  pids=()
  trap gui_cleanup EXIT
}
gui_cleanup() {
  # A test that failed while holding a key must not leave it held.
  xdotool keyup space 2>/dev/null
  local p i
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do
    for ((i = 0; i < 50; i++)); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$p" 2>/dev/null
  done
  rm -rf "$work"
}

# start_kalvero [ARGS...]: starts the program of $bin (its messages in
# $work/stderr), waits for the main window and takes its place (WX, WY, WW, WH).
start_kalvero() {
  "$bin/kalvero" "$@" 2>"$work/stderr" & pids+=($!)
  wait_for 20 main_window || fail "the main window did not appear"
  settle
  window_origin
}

# repaint_whole: hides and shows the main window, so that all of it is painted
# anew, and takes its place again.
repaint_whole() {
  xdotool windowunmap --sync "$(main_window)" 2>/dev/null || true
  xdotool windowmap --sync "$(xdotool search --name "Dunmere's Kalvero" | head -n 1)"
  settle
  window_origin
}

# save_through_dialog PATH WRITTEN: the "Save As..." button (under the
# strips box) and its file dialog answered with PATH; waits for the file WRITTEN.
save_through_dialog() {
  click_at $((WW - 250 + 40)) 470
  wait_for 10 xdotool search --onlyvisible --name "^Save Project as$" || fail "no save dialog"
  file_dialog_ready
  dialog_key "Save Project as" ctrl+a
  type_text "$1"
  key Return
  wait_for 10 xdotool search --onlyvisible --name "^Information$" && dialog_key Information Return
  wait_for 10 test -f "$2" || fail "$2 was not written"
}

# write_project PATH WIDTH HEIGHT PROFILE PRESET ROW...: a project file with
# the given rows ("A0000|text|timing||Y"), its header counting them.
write_project() {
  local path=$1 width=$2 height=$3 profile=$4 preset=$5; shift 5
  local rows=$#
  printf '%s\r\n' "##-KVL8 Project: v1.0 - 06 Mar 2017 " "##-Resolution Width: $width" \
    "##-Resolution Height: $height" "##-Profile: $profile" "##-Preset: $preset" \
    "##-Date Written: 09 Mar 2017 @ 14:05:09" "##-Number of lines/pages: $rows / $(((rows + 1) / 2))" \
    "##-Word count: $rows" "##-User Timed Session: 0" "##-;" "$@" >"$path"
}

# dialog_origin NAME: DX, DY, DW, DH of the window titled NAME.
dialog_origin() {
  local id; id=$(xdotool search --onlyvisible --name "^$1\$" | tail -n 1)
  [ -n "$id" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$id")"
  DX=$X; DY=$Y; DW=$WIDTH; DH=$HEIGHT
}
dialog_click() { xdotool mousemove $((DX + $1)) $((DY + $2)) click 1; settle; }

# open_export_dialog: "Export Files..." (its place follows the window's right
# edge) and the dialog's place DX, DY, DW, DH.
open_export_dialog() {
  click_at $((WW - 250 + 40)) 40
  wait_for 10 xdotool search --onlyvisible --name "^Export/Render Subtitles$" || fail "no export dialog"
  settle
  dialog_origin "Export/Render Subtitles"
}

# wait_for SECONDS COMMAND...: polls until the command succeeds. The limit
# is stretched threefold (KALVERO_GUI_WAIT_SCALE): on a loaded machine a
# program may take many seconds to start, and a limit only matters when
# the state never comes.
wait_for() {
  local limit=$1; shift
  local end=$((SECONDS + limit * ${KALVERO_GUI_WAIT_SCALE:-3}))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -ge $end ] && return 1
    sleep 0.2
  done
}

main_window() {
  local id; id=$(xdotool search --onlyvisible --name "Dunmere's Kalvero" 2>/dev/null | head -n 1)
  [ -n "$id" ] && echo "$id"
}

# The window sits at the centre of the screen (no window manager under Xvfb).
window_origin() {
  local id; id=$(main_window)
  eval "$(xdotool getwindowgeometry --shell "$id")"
  WX=$X; WY=$Y; WW=$WIDTH; WH=$HEIGHT
}

# pixel X Y: "r,g,b" of the screen at window coordinates.
pixel() {
  import -window root -crop 1x1+$((WX + $1))+$((WY + $2)) +repage txt:- 2>/dev/null |
    sed -n '2p' | sed -E 's/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1,\2,\3/'
}

# shot FILE X Y W H: a picture of that part of the screen (screen
# coordinates); fails when it could not be taken.
shot() {
  import -window root -crop "$4x$5+$2+$3" +repage "$1" 2>"$1.err" && [ -s "$1" ] || {
    echo "screenshot failed: $(cat "$1.err")" >&2; return 2; }
}
# pixels_differing A B: prints how many pixels differ between two pictures;
# fails when compare could not read them or printed no count.
pixels_differing() {
  local out rc
  out=$(compare -metric AE "$1" "$2" null: 2>&1); rc=$?
  [ "$rc" -le 1 ] && [[ "$out" =~ ^[0-9]+$ ]] || { echo "compare $1 $2 failed ($rc): $out" >&2; return 2; }
  echo "$out"
}
# differs A B / same A B: true only when compare ran and counted pixels.
differs() { local n; n=$(pixels_differing "$1" "$2") && [ "$n" -gt 0 ]; }
same() { local n; n=$(pixels_differing "$1" "$2") && [ "$n" = 0 ]; }

# settle: waits until the program has handled every click and key sent so
# far. The program's test hook (KALVERO_TEST_SETTLE, set by gui_start)
# answers a property set on its main window once everything before it is
# handled; a loaded machine only makes the wait longer. Without the hook
# or a window (the program ended), a short pause.
settle_seq=$((RANDOM * 1000))
# settle_window: the main window's id, read again for a second when a
# reading comes back empty (a busy X server may fail one search).
settle_window() {
  local i id
  for ((i = 0; i < 5; i++)); do
    id=$(main_window) && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}
settle() {
  local id v end
  [ -n "${KALVERO_TEST_SETTLE:-}" ] || { sleep 0.3; return 0; }
  id=$(settle_window) || { sleep 0.3; return 0; }   # no window (the program ended)
  settle_seq=$((settle_seq + 1)); v=$settle_seq
  xprop -id "$id" -f KALVERO_SETTLE 32c -set KALVERO_SETTLE "$v" 2>/dev/null || { sleep 0.3; return 0; }
  # Generous: at a load of 10 the program may take half a minute to start.
  end=$((SECONDS + 120))
  until [ "$(cat "$KALVERO_TEST_SETTLE" 2>/dev/null)" = "$v" ]; do
    # The window may have gone meanwhile (the program ended or replaced it).
    settle_window >/dev/null || return 0
    [ $SECONDS -ge $end ] && fail "the program did not handle its input within 120 s"
    sleep 0.02
  done
}

# file_dialog_ready: the toolkit's file dialog fills its folder list in the
# background, and keys typed before that start a search instead of a file
# name. It tells nobody when it is done: after the program has settled, a
# pause is the one wait left.
file_dialog_ready() { settle; sleep 0.5; }

click_at() {  # window coordinates
  xdotool mousemove $((WX + $1)) $((WY + $2)) click 1
  settle
}

type_text() { xdotool type --delay 40 "$1"; settle; }
key() { xdotool key "$@"; settle; }

# dialog_key NAME KEYS...: puts the pointer over the window titled NAME
# (keyboard focus follows the pointer without a window manager) and presses keys.
dialog_key() {
  local name=$1; shift
  local id; id=$(xdotool search --onlyvisible --name "^$name\$" | tail -n 1)
  [ -n "$id" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$id")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + 8))
  settle
  xdotool key "$@"
  settle
}

# --- Record Timings (timing_test.sh, live_timing_test.sh) ---
# timing_project PATH: three sets with old timings (no missing-timing
# warning on opening).
timing_project() {
  {
    printf '##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n'
    printf '##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n'
    printf '##-Number of lines/pages: 6 / 3\r\n##-Word count: 12\r\n##-User Timed Session: 0\r\n##-;\r\n'
    printf 'A0000|First one|00:00:09:00>00:00:09:10|225+10|430\r\nB0000|line b one|00:00:09:00>00:00:09:10|225+10|430\r\n'
    printf 'A0002|Second set|00:00:10:00>00:00:10:10|15+10|430\r\nB0002|goes here|00:00:10:00>00:00:10:10|15+10|430\r\n'
    printf 'A0004|Third and|00:00:11:00>00:00:11:10|15+10|430\r\nB0004|last set|00:00:11:00>00:00:11:10|15+10|430\r\n'
  } >"$1"
}
timing_window() {
  local id; id=$(xdotool search --onlyvisible --name "^Scaled to 50% preview of Project" 2>/dev/null | head -n 1)
  [ -n "$id" ] && echo "$id"
}
# timing_origin: TX, TY, TW, TH of the timing window.
timing_origin() {
  local id; id=$(timing_window)
  [ -n "$id" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$id")"
  TX=$X; TY=$Y; TW=$WIDTH; TH=$HEIGHT
}
# shown NAME / not_shown NAME: whether a window titled NAME (a pattern) is on screen.
shown() { [ -n "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ]; }
not_shown() { ! shown "$1"; }
# open_record_timings: the Record Timings dialog; RX, RY, RW, RH its place.
open_record_timings() {
  click_at 675 770
  wait_for 10 xdotool search --onlyvisible --name "^Record Timings$" || fail "no Record Timings dialog"
  local id; id=$(xdotool search --onlyvisible --name "^Record Timings$" | head -n 1)
  eval "$(xdotool getwindowgeometry --shell "$id")"
  RX=$X; RY=$Y; RW=$WIDTH; RH=$HEIGHT
}
# choose_file TITLE PATH: PATH typed into the file dialog titled TITLE. A
# save dialog has its name field; an open dialog gets its location field
# with Ctrl+L (typing into its list would start a search).
choose_file() {
  wait_for 10 xdotool search --onlyvisible --name "^$1\$" || fail "no '$1' dialog"
  file_dialog_ready
  case $1 in Save*) ;; *) dialog_key "$1" ctrl+l ;; esac
  dialog_key "$1" ctrl+a
  type_text "$2"
  key Return
  # The location field may take a Return for its completion while it is
  # still listing the folder: Return again until the dialog has gone. On a
  # loaded machine the dialog may take seconds to close after a Return it
  # did take, and a second Return would then land on whatever opens next
  # under the pointer (the program's message box): so wait for the dialog
  # to go before pressing again.
  local i
  for ((i = 0; i < 10; i++)); do
    wait_for 2 not_shown "^$1\$" && return 0
    dialog_key "$1" Return
  done
  fail "the '$1' dialog did not take $2"
}
