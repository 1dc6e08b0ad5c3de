# Shared helpers of the real-window tests.
set -u
# The programs keep user settings below these; the tests give them a home of their own.
unset XDG_CONFIG_HOME XDG_DATA_HOME
fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

# wait_for SECONDS COMMAND...: polls until the command succeeds.
wait_for() {
  local limit=$1; shift
  local end=$((SECONDS + limit))
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

click_at() {  # window coordinates
  xdotool mousemove $((WX + $1)) $((WY + $2)) click 1
  sleep 0.3
}

type_text() { xdotool type --delay 40 "$1"; sleep 0.3; }
key() { xdotool key "$@"; sleep 0.3; }

# dialog_key NAME KEYS...: puts the pointer over the window titled NAME
# (keyboard focus follows the pointer without a window manager) and presses keys.
dialog_key() {
  local name=$1; shift
  local id; id=$(xdotool search --onlyvisible --name "^$name\$" | tail -n 1)
  [ -n "$id" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$id")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + 8))
  sleep 0.2
  xdotool key "$@"
  sleep 0.3
}
